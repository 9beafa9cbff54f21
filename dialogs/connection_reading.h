// The main update window's device calls, made on the device port's thread: the window's
// opening steps, one tick of its poll, and what each found, for the window to show on the GUI
// thread. They set LinkMode as they go.
#pragma once

#include <string>

#include "device/amp_lock.h"
#include "device/device_access.h"

namespace korva::dialogs {

struct ConnectionReading {
  enum class State {
    Skipped,           // a job is in progress: nothing was asked, nothing changes
    Absent,            // no amp (or, at the opening, none seen by the welcome window's probe)
    NotAccessible,     // an amp is there but cannot be opened: `access` says why
    InUse,             // another program holds the amp's lock (`holder`): nothing was sent
    InitStatesFailed,  // the amp did not take "INITSTA"
    Connected,         // "INITSTA" taken and "RV" asked (its result is in the version record)
  };
  State state = State::Absent;
  DeviceAccessReport access;
  AmpLockHolder holder = {};
};

// As the window opens: with LinkMode not 1 the update library is closed and the amp only
// looked at (to say why it cannot be used, when that is so); otherwise "INITSTA" and "RV".
// "INITSTA" and "RV" are sent under the amp's lock, and not at all while another program
// holds it (an "INITSTA" in the middle of its job would ruin it).
ConnectionReading ReadConnectionAtOpening();
// One tick: the presence test; without the amp the update library's probe; with it
// "INITSTA" and "RV". Nothing while a job is in progress.
ConnectionReading ReadConnectionAtTick();

// The status line for an amp that is absent, or there but cannot be opened (with the reason).
std::string AmpMissingText(DeviceAccess access);

}  // namespace korva::dialogs
