// The presence test with a diagnosis.
#include "device/device_access.h"

#include "device/hid_transport.h"

namespace korva {
namespace {

DeviceAccess FromProblem(HidOpenProblem problem) {
  switch (problem) {
    case HidOpenProblem::PermissionDenied: return DeviceAccess::PermissionDenied;
    case HidOpenProblem::HeldElsewhere: return DeviceAccess::HeldElsewhere;
    // "It opens now" after a failed open is a race with the system; no reason to give.
    case HidOpenProblem::None:
    case HidOpenProblem::Unknown: break;
  }
  return DeviceAccess::NotOpenable;
}

}  // namespace

DeviceAccessReport CheckDeviceAccess() {
  HidBackend* backend = CurrentHidBackend();
  if (!backend) return {};
  DeviceAccessReport refused;
  for (const HidInterfaceInfo& info : backend->Enumerate()) {
    if (!IsKorvaInterface(info)) continue;
    if (backend->Open(info.path)) return {DeviceAccess::Ready, info.path};  // closed again at once
    if (refused.access == DeviceAccess::Absent) refused = {FromProblem(backend->DiagnoseOpen(info.path)), info.path};
  }
  return refused;
}

}  // namespace korva
