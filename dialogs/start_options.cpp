// The window program's options, read in one pass.
#include "dialogs/start_options.h"

#include <string_view>

namespace korva::dialogs {
namespace {

constexpr std::string_view kDfuLibraryOption = "--dfu-library=";
constexpr std::string_view kLogOption = "--log=";

bool AsksForHelp(const std::string& argument) {
#ifdef _WIN32
  if (argument == "/?") return true;
#endif
  return argument == "--help" || argument == "-h";
}

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
    } else if (AsksForHelp(argument)) {
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

}  // namespace korva::dialogs
