// Serialises the library calls of two threads and routes them to the installed backend.
#include "device/hid_dfu.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>

#include "device/protocol.h"

namespace korva {
namespace {
NoDfuBackend g_noBackend;
std::mutex g_mutex;
DfuBackend* g_backend = &g_noBackend;
thread_local std::string t_lastError;
}  // namespace

std::string NoDfuBackend::LastError() {
  return "No Bluetooth update library on this platform";
}

void SetDfuBackend(DfuBackend* backend) {
  std::lock_guard lock(g_mutex);
  g_backend = backend ? backend : &g_noBackend;
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
  const int result = hidDfuConnect(kBluetoothVendorId, kBluetoothProductId, 0, 0, &handle);
  const char* error = hidDfuGetLastError();
  return result == 0 || std::strcmp(error, kDfuAlreadyConnected) == 0;
}

}  // namespace korva
