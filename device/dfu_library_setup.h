// Which Bluetooth update library the program uses, and that library installed behind the
// library layer for the program's life. Both front ends choose it the same way: the path of
// --dfu-library=PATH, else the environment variable KORVA_DFU_LIBRARY, else the installed
// place. A library that cannot be used leaves the program without a Bluetooth backend, and
// the problem names the path or the function that failed and where the library is looked for.
#pragma once

#include <memory>
#include <string>

#include "device/dfu_library.h"

namespace korva {

inline constexpr const char* kDfuLibraryVariable = "KORVA_DFU_LIBRARY";

enum class DfuLibrarySource { Option, Variable, InstalledPlace };

struct DfuLibraryChoice {
  std::string path;
  DfuLibrarySource source = DfuLibrarySource::InstalledPlace;
};

// `optionValue`: --dfu-library's value (empty when not given); `variableValue`: the
// variable's value (nullptr when unset; an empty value counts as unset).
DfuLibraryChoice ChooseDfuLibrary(const std::string& optionValue, const char* variableValue);
// Where an installed program looks when neither names a library: a place fixed by the build
// on Linux, the library's file beside the program on Windows.
std::string InstalledDfuLibraryPath();

class DfuLibraryScope {
 public:
  // Loads the chosen library and installs it; on failure installs none, with the problem.
  explicit DfuLibraryScope(const DfuLibraryChoice& choice);
  // Leaves the layer without a backend, then unloads the library.
  ~DfuLibraryScope();
  DfuLibraryScope(const DfuLibraryScope&) = delete;
  DfuLibraryScope& operator=(const DfuLibraryScope&) = delete;

  bool Loaded() const { return library_ != nullptr; }
  // Empty when loaded.
  const std::string& Problem() const { return problem_; }
  // A failure that the program should mention at its start: anything but an installed place
  // without a file, which is how most computers are (no Bluetooth service there).
  bool WorthMentioning() const;

 private:
  std::unique_ptr<DfuLibrary> library_;
  DfuLibrary::Failure failure_ = DfuLibrary::Failure::None;
  DfuLibrarySource source_;
  std::string problem_;
};

}  // namespace korva
