// Shared libraries (DLLs) through LoadLibrary.
#include "device/shared_library.h"

#include <windows.h>

#include <string>

namespace korva {
namespace {

class WindowsLibrary final : public SharedLibrary {
 public:
  explicit WindowsLibrary(HMODULE module) : module_(module) {}
  ~WindowsLibrary() override { FreeLibrary(module_); }
  WindowsLibrary(const WindowsLibrary&) = delete;
  WindowsLibrary& operator=(const WindowsLibrary&) = delete;

  LibraryFunction Find(const char* name) const override {
    return reinterpret_cast<LibraryFunction>(
        reinterpret_cast<void*>(GetProcAddress(module_, name)));
  }

 private:
  HMODULE module_;
};

// The system's text for an error code, without its line break; the code where it has none.
std::string SystemMessage(DWORD code) {
  char* text = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = length ? std::string(text, length) : "error " + std::to_string(code);
  LocalFree(text);
  message.erase(message.find_last_not_of(" \r\n.") + 1);
  return message;
}

}  // namespace

std::unique_ptr<SharedLibrary> OpenSharedLibrary(const std::string& path, std::string& error) {
  // The DLLs the library itself needs are looked for beside it first; the system shows no box
  // of its own when the file is missing or broken.
  const UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  const DWORD code = GetLastError();
  SetErrorMode(previousMode);
  if (!module) {
    error = SystemMessage(code);
    return nullptr;
  }
  return std::make_unique<WindowsLibrary>(module);
}

}  // namespace korva
