// The window program's options.
#include "win32/start_options.h"

#include <windows.h>

#include <shellapi.h>

#include "win32/wide_text.h"

namespace korva::win32 {
namespace {

constexpr std::string_view kDfuLibraryOption = "--dfu-library=";
constexpr std::string_view kLogOption = "--log=";

}  // namespace

StartOptions ParseStartOptions(const std::vector<std::string>& arguments) {
  StartOptions options;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--simulate") {
      options.simulate = true;
    } else if (argument == "--device=usb") {
      options.simulate = false;
    } else if (argument.starts_with(kDfuLibraryOption)) {
      options.dfuLibrary = argument.substr(kDfuLibraryOption.size());
      if (options.dfuLibrary.empty())
        options.error = "--dfu-library= needs the path of the Bluetooth update library";
    } else if (argument == "--service") {
      options.service = true;
    } else if (argument == "--help" || argument == "-h" || argument == "/?") {
      options.help = true;
    } else if (argument == "--version") {
      options.version = true;
    } else if (argument == "--log" && i + 1 < arguments.size()) {
      options.logFile = arguments[++i];
    } else if (argument.starts_with(kLogOption) && argument.size() > kLogOption.size()) {
      options.logFile = argument.substr(kLogOption.size());
    } else {
      options.error = argument == "--log" || argument == kLogOption
                          ? "--log needs a FILE"
                          : "unknown argument: " + argument;
    }
  }
  return options;
}

std::vector<std::string> CommandLineArguments() {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  for (int i = 1; wide && i < count; ++i) arguments.push_back(Utf8(wide[i]));
  if (wide) LocalFree(wide);
  return arguments;
}

}  // namespace korva::win32
