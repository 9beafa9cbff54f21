// The Bluetooth update library's seven functions, with the arguments the program passes and
// the results it relies on. Calls from the UI thread (the presence probe) and from the job
// thread (an update) are serialised inside this layer.
#pragma once

#include <cstdint>

#include "device/dfu_backend.h"

namespace korva {

// Installs the backend (not owned); nullptr restores the one that reaches no module.
void SetDfuBackend(DfuBackend* backend);

// 0: connected to the module; any other value: not connected (see hidDfuGetLastError).
int hidDfuConnect(std::uint16_t vendorId, std::uint16_t productId, int reserved1, int reserved2,
                  int* handleOut);
// The reason for the last failure, zero-terminated; valid on the calling thread until its
// next call. "Already connected" counts as a successful connection.
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
// then hidDfuGetLastError whatever the result. True when connected, "Already connected"
// included.
bool ConnectBluetoothModuleOnce();

}  // namespace korva
