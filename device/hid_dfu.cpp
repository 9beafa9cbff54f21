// Serialises the library calls of two threads and routes them to the installed backend.
#include "device/hid_dfu.h"

#include <mutex>
#include <optional>

#include "device/protocol.h"

namespace korva {
namespace {

constexpr const char* kNoLibraryLoaded = "No Bluetooth update library was loaded.";

std::mutex g_mutex;
std::optional<NoDfuBackend> g_none{std::in_place, kNoLibraryLoaded};
DfuBackend* g_backend = &*g_none;
thread_local std::string t_lastError;

}  // namespace

void SetDfuBackend(DfuBackend* backend) {
  if (!backend) {
    SetNoDfuBackend(kNoLibraryLoaded);
    return;
  }
  std::lock_guard lock(g_mutex);
  g_backend = backend;
}

void SetNoDfuBackend(const std::string& reason) {
  std::lock_guard lock(g_mutex);
  g_none.emplace(reason);
  g_backend = &*g_none;
}

bool HaveDfuBackend() {
  std::lock_guard lock(g_mutex);
  return g_backend != &*g_none;
}

std::string NoDfuBackendReason() {
  std::lock_guard lock(g_mutex);
  return g_backend == &*g_none ? g_none->Reason() : std::string();
}

int hidDfuConnect(std::uint16_t vendorId, std::uint16_t productId, int reserved1, int reserved2,
                  int* handleOut) {
  std::lock_guard lock(g_mutex);
  return g_backend->Connect(vendorId, productId, reserved1, reserved2, handleOut);
}

const char* hidDfuGetLastError() {
  std::lock_guard lock(g_mutex);
  t_lastError = g_backend->LastError();
  return t_lastError.c_str();
}

int hidDfuUpgrade(const char* filePath, int reserved) {
  std::lock_guard lock(g_mutex);
  return g_backend->Upgrade(filePath ? filePath : "", reserved);
}

int hidDfuGetProgress() {
  std::lock_guard lock(g_mutex);
  return g_backend->Progress();
}

int hidDfuGetResult() {
  std::lock_guard lock(g_mutex);
  return g_backend->Result();
}

int hidDfuResetDevice() {
  std::lock_guard lock(g_mutex);
  return g_backend->ResetDevice();
}

int hidDfuDisconnect() {
  std::lock_guard lock(g_mutex);
  return g_backend->Disconnect();
}

bool ConnectBluetoothModuleOnce() {
  int handle = 0;  // the library wants a variable of ours; it is never read
  std::lock_guard lock(g_mutex);
  const int result = g_backend->Connect(kBluetoothVendorId, kBluetoothProductId, 0, 0, &handle);
  const std::string error = g_backend->LastError();
  return result == 0 || error == kDfuAlreadyConnected;
}

}  // namespace korva
