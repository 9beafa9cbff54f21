// The window program's start on Windows: picks the amp on the USB cable (the default) or the
// virtual one (--simulate), opens the support log, loads the Bluetooth update library, installs
// the message boxes, the device thread and the guard against sleep and shutdown, runs the
// welcome window (with the service pages after --service) and ends when it ends.
#pragma once

namespace korva::win32 {

// Returns the process's exit status.
int RunUpdater();

}  // namespace korva::win32
