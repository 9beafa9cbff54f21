// How the computer reaches the amp right now, for a front end that has no welcome window to
// keep LinkMode up to date: the amp's own HID interface, or, when that is absent, its
// Bluetooth module in update mode (the amp has handed its USB link over, for instance after a
// Bluetooth update that ended without the module's restart).
#pragma once

#include "device/amp_lock.h"
#include "device/device_access.h"

namespace korva::cli {

// Sets LinkMode: 1 when the amp's HID interface opens; 2 when it is absent and the update
// library connects to the module ("Already connected" included) within the probe's limit; else
// 0. The library is asked under the module's lock, which lands in `module`: HeldElsewhere (and
// the library not asked) when another program uses the module. With `keepModuleConnection` a
// connection made stays open for the Bluetooth job, which then goes straight to the update, and
// the module's lock stays in `module`; otherwise both are let go again. Returns the presence
// report.
DeviceAccessReport ProbeLink(bool keepModuleConnection, AmpLockAttempt& module);

// Closes a connection that ProbeLink kept, when no job is going to use it.
void ReleaseModuleConnection();

}  // namespace korva::cli
