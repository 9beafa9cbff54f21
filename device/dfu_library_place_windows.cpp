// The installed place of the Bluetooth update library on Windows: korva-dfu.dll beside the
// program, since the program comes as a zip that is unpacked anywhere.
#include <windows.h>

#include <filesystem>

#include "device/dfu_library_setup.h"

namespace korva {
namespace {
constexpr const char* kDfuLibraryFileName = "korva-dfu.dll";
}  // namespace

std::string InstalledDfuLibraryPath() {
  std::wstring program(MAX_PATH, L'\0');
  DWORD length = 0;
  while ((length = GetModuleFileNameW(nullptr, program.data(),
                                      static_cast<DWORD>(program.size()))) == program.size()) {
    program.resize(program.size() * 2);  // cut short: a longer path
  }
  program.resize(length);
  return (std::filesystem::path(program).parent_path() / kDfuLibraryFileName).string();
}

}  // namespace korva
