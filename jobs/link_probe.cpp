// The probes' decisions.
#include "jobs/link_probe.h"

#include "device/hid_dfu.h"
#include "device/hid_transport.h"
#include "device/link_mode.h"
#include "jobs/start_job.h"

namespace korva {

ProbeOutcome ProbeLinkMode(ProbeForm form, DeviceAccessReport* access) {
  ProbeOutcome outcome = ProbeOutcome::JobRunning;
  RunUnlessJobInProgress([&] {
    const DeviceAccessReport found = CheckDeviceAccess();
    if (access) *access = found;
    if (found.access == DeviceAccess::Ready) {
      LinkMode.store(kLinkHid);
      outcome = ProbeOutcome::AmpPresent;
      return;
    }
    if (form == ProbeForm::Full) ConnectBluetoothModuleOnce();  // the outcome is of no use here
    hidDfuDisconnect();                                         // result ignored
    LinkMode.store(kLinkNone);
    outcome = ProbeOutcome::AmpAbsent;
  });
  return outcome;
}

void SettleLinkModeAfterJob() {
  if (IsDevicePresent()) LinkMode.store(kLinkHid);
}

void ReleaseModuleLink() {
  RunUnlessJobInProgress([] {
    hidDfuDisconnect();  // result ignored
    LinkMode.store(kLinkNone);
  });
}

DeviceAccessReport ProbeLinkForCommand(bool keepModuleConnection) {
  const DeviceAccessReport access = CheckDeviceAccess();
  if (access.access != DeviceAccess::Absent) {
    LinkMode.store(access.access == DeviceAccess::Ready ? kLinkHid : kLinkNone);
    return access;
  }
  const bool connected = ConnectBluetoothModuleOnce();
  if (!connected || !keepModuleConnection)
    hidDfuDisconnect();  // result ignored, as the windows' probe does
  LinkMode.store(connected ? kLinkBluetooth : kLinkNone);
  return access;
}

void ReleaseKeptModuleConnection() {
  if (LinkMode.load() != kLinkBluetooth) return;
  hidDfuDisconnect();  // result ignored: nothing more is done with the module
  LinkMode.store(kLinkNone);
}

}  // namespace korva
