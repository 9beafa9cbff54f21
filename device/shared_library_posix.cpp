// Shared libraries through dlopen.
#include "device/shared_library.h"

#include <dlfcn.h>

namespace korva {
namespace {

class PosixLibrary final : public SharedLibrary {
 public:
  explicit PosixLibrary(void* handle) : handle_(handle) {}
  ~PosixLibrary() override { dlclose(handle_); }
  PosixLibrary(const PosixLibrary&) = delete;
  PosixLibrary& operator=(const PosixLibrary&) = delete;

  LibraryFunction Find(const char* name) const override {
    return reinterpret_cast<LibraryFunction>(dlsym(handle_, name));
  }

 private:
  void* handle_;
};

}  // namespace

std::unique_ptr<SharedLibrary> OpenSharedLibrary(const std::string& path, std::string& error) {
  // RTLD_LOCAL: the library's own symbols never stand in for ours or another library's.
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* reason = dlerror();
    error = reason ? reason : "cannot be loaded";
    return nullptr;
  }
  return std::make_unique<PosixLibrary>(handle);
}

}  // namespace korva
