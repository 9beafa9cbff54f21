// How the computer reaches the amp right now, decided in one place for both front ends.
//
// The windows' probe: the welcome window's probe at its start and on every device change, and
// the main window's poll, all call ProbeLinkMode. A presence test
// sets LinkMode (1 when the amp's own HID interface is there, else 0); when the amp is absent
// the update library is asked too, since the cable may now lead to the amp's Bluetooth module.
// While a job runs the probe does nothing at all: no presence test, no library call, LinkMode
// left alone. A Bluetooth update raises device changes itself ("UB" takes the amp's interface
// away, the module's restart brings it back), and a probe then would cut into the library's
// connection or overwrite the LinkMode that the job has just set.
#pragma once

#include "device/amp_lock.h"
#include "device/device_access.h"

namespace korva {

enum class ProbeForm {
  AtStart,  // a window opens: when the amp is absent, only a lone hidDfuDisconnect
  Full,     // a device change or a poll: when the amp is absent, connect, last error, disconnect
};

enum class ProbeOutcome {
  JobRunning,  // nothing was done
  AmpPresent,  // LinkMode 1
  AmpAbsent,   // LinkMode 0
};

// With `access`, the presence test's report lands there (why an amp that is there cannot be
// opened, for one); it is left alone while a job runs.
ProbeOutcome ProbeLinkMode(ProbeForm form, DeviceAccessReport* access = nullptr);

// For the owner of a Bluetooth job once it has handled the job's final message: the device
// changes of the job went unprobed, so LinkMode is set anew from what is found, either way: 1
// when the amp's own interface is back (after the module's restart), 2 when it is absent and
// the module answers a probe (the link is still with it, as after a failed update: another
// attempt goes straight to the module, and connects again), else 0.
void SettleLinkModeAfterJob();

// The main window's start when the amp was not found: a lone hidDfuDisconnect and LinkMode 0,
// unless a job runs.
void ReleaseModuleLink();

// The terminal program's probe, for a front end that has no welcome window to keep LinkMode
// up to date and runs one command at a time. Unlike the windows' probe it hands the link to
// the module when the amp is absent and the module answers: the amp may have handed its USB
// link over, for instance after a Bluetooth update that ended without the module's restart.
// Sets LinkMode: 1 when the amp's HID interface opens; 2 when it is absent and the update
// library connects to the module ("Already connected" included) within the probe's limit; else
// 0. The library is asked under the module's lock, which lands in `module`: HeldElsewhere (and
// the library not asked) when another program uses the module. With `keepModuleConnection` a
// connection made stays open for the Bluetooth job, which then goes straight to the update, and
// the module's lock stays in `module`; otherwise both are let go again. Returns the presence
// report.
DeviceAccessReport ProbeLinkForCommand(bool keepModuleConnection, AmpLockAttempt& module);

// Closes a connection that ProbeLinkForCommand kept, when no job is going to use it.
void ReleaseKeptModuleConnection();

}  // namespace korva
