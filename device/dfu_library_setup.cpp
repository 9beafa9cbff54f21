// Choosing, loading and installing the update library.
#include "device/dfu_library_setup.h"

#include <filesystem>
#include <vector>

#include "device/hid_dfu.h"
#include "support/support_log.h"

namespace korva {
namespace {

const char* SourceText(DfuLibrarySource source) {
  switch (source) {
    case DfuLibrarySource::Option:
      return "named by --dfu-library";
    case DfuLibrarySource::Variable:
      return "named by KORVA_DFU_LIBRARY";
    default:
      return "the installed place";
  }
}

// Relative paths are taken from the current folder, as a user typing one expects, not from
// the loader's search path.
std::string AbsolutePath(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return error ? path : absolute.string();
}

}  // namespace

DfuLibraryChoice ChooseDfuLibrary(const std::string& optionValue, const char* variableValue) {
  if (!optionValue.empty()) return {optionValue, DfuLibrarySource::Option};
  if (variableValue && *variableValue) return {variableValue, DfuLibrarySource::Variable};
  return {InstalledDfuLibraryPath(), DfuLibrarySource::InstalledPlace};
}

DfuLibraryScope::DfuLibraryScope(const DfuLibraryChoice& choice) : source_(choice.source) {
  DfuLibrary::Loaded loaded = DfuLibrary::Load(AbsolutePath(choice.path));
  if (loaded.library) {
    library_ = std::move(loaded.library);
    SetDfuBackend(library_.get());
    SupportLog(std::string("Bluetooth update library: ") + AbsolutePath(choice.path) + " (" +
               SourceText(source_) + ")");
    return;
  }
  failure_ = loaded.failure;
  problem_ = "No usable library: " + loaded.problem + " (" + SourceText(source_) + ").\n" +
             "The library is looked for at --dfu-library=PATH, else at $" + kDfuLibraryVariable +
             ", else at " + InstalledDfuLibraryPath() + ".";
  SetNoDfuBackend(problem_);
  SupportLog("Bluetooth update library: none. " + problem_);
}

DfuLibraryScope::~DfuLibraryScope() {
  const bool stuck = DfuLibraryStuck();
  SetDfuBackend(nullptr);  // no call can reach the library once it is gone
  // A call that never returned is still inside the library: it stays loaded until the end,
  // held where the process can still see it.
  if (stuck) {
    static auto* const kept = new std::vector<std::unique_ptr<DfuLibrary>>;
    kept->push_back(std::move(library_));
  }
}

bool DfuLibraryScope::WorthMentioning() const {
  if (Loaded()) return false;
  return !(failure_ == DfuLibrary::Failure::NoFile && source_ == DfuLibrarySource::InstalledPlace);
}

}  // namespace korva
