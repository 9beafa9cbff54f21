// Whether the KORVA can be reached, and if it is there but cannot be opened, why: a front end
// can then tell "no amp" from "no permission" and "held by another program".
#pragma once

#include <string>
#include <vector>

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
  std::string path;               // the interface found, when there is one
  std::string serialNumber = {};  // the amp's serial number, when it has one
};

// The udev rule that gives the user at the computer access to the amp on Linux.
inline constexpr const char* kUdevRuleName = "70-korva.rules";

// The presence test (open and close as a report would: no report is moved), with a diagnosis
// when the KORVA is listed but cannot be opened. Ready when any of its interfaces opens (the
// pinned one only, when a path is pinned). Notes the outcome in the support log.
DeviceAccessReport CheckDeviceAccess();

// Every connected KORVA, in listing order, each opened and closed again to tell whether it
// can be used. With a pinned path, only the amp there.
std::vector<DeviceAccessReport> ListKorvas();

// A short reason why a KORVA that is there cannot be used: "permission denied", "held by
// another program", "cannot be opened".
const char* DeviceAccessReason(DeviceAccess access);

// Notes in the support log how the KORVA can be reached, when that differs from the last note,
// so that a poll twice a second writes a line only when something changed.
void NoteDeviceAccess(const DeviceAccessReport& report);
// The same for a presence test that only knows whether it opened the KORVA at `path`; a
// refusal's reason is asked of the backend only when the refusal is news. `path` is empty
// when no KORVA was enumerated.
void NotePresenceTest(bool opened, const std::string& path);
// The number of such notes so far: what is noted after the amp was found again can say so.
unsigned DeviceAccessNotes();

}  // namespace korva
