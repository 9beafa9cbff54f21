// Whether the KORVA can be reached, and if it is there but cannot be opened, why: a front end
// can then tell "no amp" from "no permission" and "held by another program".
#pragma once

#include <string>

namespace korva {

enum class DeviceAccess {
  Absent,            // no interface with the KORVA's IDs
  Ready,             // found and opened
  PermissionDenied,  // found; the user may not open it
  HeldElsewhere,     // found; another program holds it
  NotOpenable,       // found; it does not open for another reason
};

struct DeviceAccessReport {
  DeviceAccess access = DeviceAccess::Absent;
  std::string path;  // the interface found, when there is one
};

// The presence test (enumerate, open, close: no report is moved), with a diagnosis when the
// KORVA is enumerated but cannot be opened. Ready when any of its interfaces opens.
DeviceAccessReport CheckDeviceAccess();

}  // namespace korva
