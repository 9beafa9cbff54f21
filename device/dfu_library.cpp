// Loading the update library and forwarding the layer's calls to its seven functions.
#include "device/dfu_library.h"

#include <cstring>
#include <filesystem>

#include "device/korva_dfu.h"

namespace korva {
namespace {

// A last-error text longer than this is cut: it is shown to the user, and a library that
// forgot the terminating zero must not take the program with it.
constexpr std::size_t kLastErrorLimit = 1024;

}  // namespace

// The functions' types come from the contract's own declarations, so that the header and the
// loader cannot disagree.
struct DfuLibrary::Functions {
  decltype(&::hidDfuConnect) connect = nullptr;
  decltype(&::hidDfuGetLastError) lastError = nullptr;
  decltype(&::hidDfuUpgrade) upgrade = nullptr;
  decltype(&::hidDfuGetProgress) progress = nullptr;
  decltype(&::hidDfuGetResult) result = nullptr;
  decltype(&::hidDfuResetDevice) reset = nullptr;
  decltype(&::hidDfuDisconnect) disconnect = nullptr;
};

namespace {

template <typename Function>
bool Bind(const SharedLibrary& library, const char* name, Function& slot) {
  slot = reinterpret_cast<Function>(library.Find(name));
  return slot != nullptr;
}

}  // namespace

DfuLibrary::Loaded DfuLibrary::Load(const std::string& path) {
  Loaded loaded;
  std::error_code error;
  if (!std::filesystem::exists(path, error)) {
    loaded.failure = Failure::NoFile;
    loaded.problem = "no file at " + path;
    return loaded;
  }
  std::string reason;
  std::unique_ptr<SharedLibrary> library = OpenSharedLibrary(path, reason);
  if (!library) {
    loaded.failure = Failure::CannotLoad;
    loaded.problem = path + " cannot be loaded: " + reason;
    return loaded;
  }
  auto functions = std::make_unique<Functions>();
  const char* missing = nullptr;
  auto bind = [&](const char* name, auto& slot) {
    if (!missing && !Bind(*library, name, slot)) missing = name;
  };
  bind("hidDfuConnect", functions->connect);
  bind("hidDfuGetLastError", functions->lastError);
  bind("hidDfuUpgrade", functions->upgrade);
  bind("hidDfuGetProgress", functions->progress);
  bind("hidDfuGetResult", functions->result);
  bind("hidDfuResetDevice", functions->reset);
  bind("hidDfuDisconnect", functions->disconnect);
  if (missing) {
    loaded.failure = Failure::MissingFunction;
    loaded.problem = path + " lacks the function " + missing;
    return loaded;
  }
  loaded.library.reset(new DfuLibrary(std::move(library), std::move(functions)));
  return loaded;
}

DfuLibrary::DfuLibrary(std::unique_ptr<SharedLibrary> library, std::unique_ptr<Functions> functions)
    : library_(std::move(library)), functions_(std::move(functions)) {}

DfuLibrary::~DfuLibrary() = default;

int DfuLibrary::Connect(std::uint16_t vendorId, std::uint16_t productId, int reserved1,
                        int reserved2, int* handleOut) {
  return functions_->connect(vendorId, productId, reserved1, reserved2, handleOut);
}

std::string DfuLibrary::LastError() {
  const char* text = functions_->lastError();
  if (!text) return {};
  return std::string(text, strnlen(text, kLastErrorLimit));
}

int DfuLibrary::Upgrade(const std::string& filePath, int reserved) {
  return functions_->upgrade(filePath.c_str(), reserved);
}

int DfuLibrary::Progress() { return functions_->progress(); }
int DfuLibrary::Result() { return functions_->result(); }
int DfuLibrary::ResetDevice() { return functions_->reset(); }
int DfuLibrary::Disconnect() { return functions_->disconnect(); }

}  // namespace korva
