// Opening a shared library at run time and finding its functions by name: the one place that
// knows the platform's loader (dlopen here; LoadLibrary on Windows).
#pragma once

#include <memory>
#include <string>

namespace korva {

// A function of a loaded library, to be cast to its real type by the caller.
using LibraryFunction = void (*)();

class SharedLibrary {
 public:
  virtual ~SharedLibrary() = default;  // unloads the library
  // The exported function `name` (C linkage), or nullptr when the library lacks it.
  virtual LibraryFunction Find(const char* name) const = 0;
};

// Loads the library at `path` with all its symbols bound at once. On failure returns nullptr
// and puts the platform's reason into `error`.
std::unique_ptr<SharedLibrary> OpenSharedLibrary(const std::string& path, std::string& error);

}  // namespace korva
