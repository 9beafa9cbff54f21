// The Bluetooth update library's seven functions, with the arguments the program passes and
// the results it relies on. Calls from the UI side (the presence probe) and from the job
// thread (an update) are serialised inside this layer. Behind it stands a library loaded at
// run time, the virtual module, or nothing: then a Bluetooth update refuses to start.
//
// A loaded library is code the program does not know, and a call into it may never return.
// Its calls are therefore made on a thread of their own while the caller waits with a limit
// (by the process clock): a call that outlasts it, or that the program stops waiting for
// because it was asked to end, leaves the library "stuck". From then on no call goes into it
// (each fails at once), and it is never unloaded, since its thread may still be inside it.
#pragma once

#include <cstdint>
#include <string>

#include "device/dfu_backend.h"

namespace korva {

// How long a caller waits for one call into a loaded library: a probe's connection attempt,
// and every other call (an update's connection included, which may take the module a while).
inline constexpr int kDfuProbeCallLimitMs = 5'000;
inline constexpr int kDfuCallLimitMs = 60'000;

// Installs the backend (not owned); nullptr leaves the layer without one. A new backend starts
// with no connection and not stuck.
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
// Progress of the running update in percent in the low 8 bits; 100 when it has ended. -1 when
// the library did not answer.
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
// come between (its error text would otherwise answer the wrong call), waited for at most
// `limitMs`. True when connected, "Already connected" included.
bool ConnectBluetoothModuleOnce(int limitMs = kDfuCallLimitMs);

// True while the library's connection to the module is open: from a connection attempt that
// succeeded ("Already connected" included) until the next hidDfuDisconnect, whatever its result
// (a connection that may still be open is connected again, which "Already connected" allows).
bool DfuConnectionOpen();

// True once a call did not return: see above.
bool DfuLibraryStuck();
// How long the call in progress has been waited for, by the process clock; -1 while none.
std::int64_t DfuCallWaitedMs();
// Stops waiting for the call in progress, for a program that was asked to end while it waits
// on the library: that call fails at once and the library is stuck. False when no call was in
// progress.
bool StopWaitingForDfuCall();
// For the user of a program that stopped waiting for the library: which call did not return,
// and what that leaves the module with. Empty while the library is not stuck.
std::string DfuStuckText();
// The same, once: empty after the first call that returned it (until the library is stuck
// again behind a new backend).
std::string TakeDfuStuckText();

}  // namespace korva
