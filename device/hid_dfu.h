// The Bluetooth update library's seven functions, with the arguments the program passes and
// the results it relies on. Calls from the UI side (the presence probe) and from the job
// thread (an update) are serialised inside this layer. Behind it stands a library loaded at
// run time, the virtual module, or nothing: then a Bluetooth update refuses to start.
#pragma once

#include <cstdint>
#include <string>

#include "device/dfu_backend.h"

namespace korva {

// Installs the backend (not owned); nullptr leaves the layer without one.
void SetDfuBackend(DfuBackend* backend);
// Leaves the layer without a backend; `reason` says which library failed, and where the
// library is looked for.
void SetNoDfuBackend(const std::string& reason);
// False while no backend is installed: no module can be reached.
bool HaveDfuBackend();
// Why there is no backend; empty while there is one.
std::string NoDfuBackendReason();

// 0: connected to the module; any other value: not connected. Its reason belongs to this call
// only when read in the same step: ConnectBluetoothModuleOnce.
int hidDfuConnect(std::uint16_t vendorId, std::uint16_t productId, int reserved1, int reserved2,
                  int* handleOut);
// The reason for the last failure, zero-terminated; valid on the calling thread until its
// next call.
const char* hidDfuGetLastError();
// 0: the update of the file at `filePath` has started and runs on after the call returns.
int hidDfuUpgrade(const char* filePath, int reserved);
// Progress of the running update in percent in the low 8 bits; 100 when it has ended.
int hidDfuGetProgress();
// 0: the update that has just ended succeeded.
int hidDfuGetResult();
// 0: the module was restarted.
int hidDfuResetDevice();
// 0: the connection was closed.
int hidDfuDisconnect();

// The text by which the library reports a connection that was already open.
inline constexpr const char* kDfuAlreadyConnected = "Already connected";

// One connection attempt to the amp's Bluetooth module: hidDfuConnect with the module's IDs,
// then hidDfuGetLastError whatever the result, as one step that no call of another thread can
// come between (its error text would otherwise answer the wrong call). True when connected,
// "Already connected" included.
bool ConnectBluetoothModuleOnce();

}  // namespace korva
