// The service jobs: the battery controller's firmware and an audio slot, both sent from
// PageFileBuffer over the amp's HID link, and the Bluetooth module's firmware, written by the
// update library after the amp has handed its USB link to the module. Each job routine takes
// no argument, reports through the current job owner and returns 1 or 0, read by nobody.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "device/amp_lock.h"

namespace korva {

int BatteryTransferJob();
int AudioTransferJob();

// Failed connection attempts of the Bluetooth job's current connection phase; 10 means it
// gave up.
extern std::atomic<std::uint16_t> DfuConnectAttempts;

// "UA" (acknowledged), "UB", 3000 ms, then BluetoothUpdateJob on its own thread. Runs on the
// UI thread. Returns 1 when the job was started; on failure sets JobStatus -1, posts
// WM_BLUETOOTH_JOB (JOB_FAILED, 0) and returns 0.
int SwitchLinkToBluetooth();
// Connects to the module unless the library's connection is already open, and writes the
// page's file into it. It holds the module's lock for its whole run: the claim that StartJob
// handed it, else one of its own; a module that another program holds fails the job with an
// application box naming the holder.
int BluetoothUpdateJob();
// The module claim that the next BluetoothUpdateJob takes over (nullptr drops one that no job
// took).
void HandModuleClaimToJob(std::unique_ptr<AmpLock> claim);

}  // namespace korva
