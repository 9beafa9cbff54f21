// The probe's decision.
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

}  // namespace korva
