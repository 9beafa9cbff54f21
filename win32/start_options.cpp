// The window program's arguments on Windows, from the command line as the system keeps it.
#include "win32/start_options.h"

#include <windows.h>

#include <shellapi.h>

#include "win32/wide_text.h"

namespace korva::win32 {

std::vector<std::string> CommandLineArguments() {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  for (int i = 1; wide && i < count; ++i) arguments.push_back(Utf8(wide[i]));
  if (wide) LocalFree(wide);
  return arguments;
}

}  // namespace korva::win32
