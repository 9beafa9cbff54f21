// The presence test with a diagnosis and its notes in the support log, and the list of
// connected amps.
#include "device/device_access.h"

#include <mutex>

#include "device/hid_transport.h"
#include "support/support_log.h"

namespace korva {
namespace {

DeviceAccess FromProblem(HidOpenProblem problem) {
  switch (problem) {
    case HidOpenProblem::PermissionDenied:
      return DeviceAccess::PermissionDenied;
    case HidOpenProblem::HeldElsewhere:
      return DeviceAccess::HeldElsewhere;
    // "It opens now" after a failed open is a race with the system; no reason to give.
    case HidOpenProblem::None:
    case HidOpenProblem::Unknown:
      break;
  }
  return DeviceAccess::NotOpenable;
}

// The last access noted in the log, and the log it went to.
std::mutex g_notedMutex;
unsigned g_notedEpoch = 0;
unsigned g_notes = 0;
DeviceAccessReport g_lastNoted;

std::string AccessLine(const DeviceAccessReport& report) {
  switch (report.access) {
    case DeviceAccess::Absent:
      return "no KORVA connected";
    case DeviceAccess::Ready:
      return "KORVA found at " + report.path;
    default:
      return std::string("KORVA found at ") + report.path +
             " but not usable: " + DeviceAccessReason(report.access);
  }
}

bool IsNews(const DeviceAccessReport& report) {
  return g_notedEpoch != SupportLogEpoch() || g_lastNoted.access != report.access ||
         g_lastNoted.path != report.path;
}

// Opens the interface and closes it again; when it will not open, asks the backend why.
DeviceAccess TryOpen(HidBackend& backend, const HidInterfaceInfo& info) {
  if (auto handle = backend.Open(info.path)) {
    const std::optional<HidInterfaceInfo> identity = handle->Identity();
    if (!identity || IsKorvaInterface(*identity)) return DeviceAccess::Ready;
    return DeviceAccess::Absent;  // another device took the path since the listing
  }
  return FromProblem(backend.DiagnoseOpen(info.path));
}

}  // namespace

DeviceAccessReport CheckDeviceAccess() {
  HidBackend* backend = CurrentHidBackend();
  if (!backend) return {};
  const KorvaSearch search = SearchKorva();
  DeviceAccessReport report;
  if (search.found) {
    report = {DeviceAccess::Ready, search.path, search.serialNumber};
  } else if (!search.refusedPath.empty()) {
    report = {FromProblem(backend->DiagnoseOpen(search.refusedPath)), search.refusedPath};
  }
  NoteDeviceAccess(report);
  return report;
}

std::vector<DeviceAccessReport> ListKorvas() {
  std::vector<DeviceAccessReport> amps;
  HidBackend* backend = CurrentHidBackend();
  if (!backend) return amps;
  const std::string pinned = PinnedDevicePath();
  for (const HidInterfaceInfo& info : backend->Enumerate()) {
    if (!IsKorvaInterface(info) || (!pinned.empty() && !SameDevicePath(info.path, pinned)))
      continue;
    const DeviceAccess access = TryOpen(*backend, info);
    if (access != DeviceAccess::Absent) amps.push_back({access, info.path, info.serialNumber});
  }
  return amps;
}

const char* DeviceAccessReason(DeviceAccess access) {
  switch (access) {
    case DeviceAccess::PermissionDenied:
      return "permission denied";
    case DeviceAccess::HeldElsewhere:
      return "held by another program";
    default:
      return "cannot be opened";
  }
}

void NoteDeviceAccess(const DeviceAccessReport& report) {
  if (!SupportLogging()) return;
  {
    std::lock_guard lock(g_notedMutex);
    if (!IsNews(report)) return;
    g_notedEpoch = SupportLogEpoch();
    g_lastNoted = report;
    ++g_notes;
  }
  SupportLog(AccessLine(report));
}

void NotePresenceTest(bool opened, const std::string& path) {
  if (!SupportLogging()) return;
  if (opened || path.empty()) {
    NoteDeviceAccess({opened ? DeviceAccess::Ready : DeviceAccess::Absent, path});
    return;
  }
  {
    // Still refused at the same interface: nothing new, and no need to ask again why.
    std::lock_guard lock(g_notedMutex);
    if (g_notedEpoch == SupportLogEpoch() && g_lastNoted.path == path &&
        g_lastNoted.access != DeviceAccess::Ready && g_lastNoted.access != DeviceAccess::Absent) {
      return;
    }
  }
  HidBackend* backend = CurrentHidBackend();
  const HidOpenProblem problem = backend ? backend->DiagnoseOpen(path) : HidOpenProblem::Unknown;
  NoteDeviceAccess({FromProblem(problem), path});
}

unsigned DeviceAccessNotes() {
  std::lock_guard lock(g_notedMutex);
  return g_notes;
}

}  // namespace korva
