// The probe's decision.
#include "jobs/link_probe.h"

#include "device/amp_lock.h"
#include "device/hid_dfu.h"
#include "device/hid_transport.h"
#include "device/link_mode.h"
#include "jobs/start_job.h"

namespace korva {
namespace {

// The library's part of a probe, under the module's lock: with `connect`, a connection attempt
// (under the probe's short limit) and a disconnection; else a lone disconnection. Nothing while
// another program holds the module. True when the attempt connected.
bool ProbeModule(bool connect) {
  const AmpLockAttempt claim = ClaimBluetoothModule();
  if (claim.outcome == AmpLockOutcome::HeldElsewhere) return false;
  const bool connected = connect && ConnectBluetoothModuleOnce(kDfuProbeCallLimitMs);
  hidDfuDisconnect();  // result ignored
  return connected;
}

}  // namespace

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
    ProbeModule(form == ProbeForm::Full);  // the outcome is of no use here
    LinkMode.store(kLinkNone);
    outcome = ProbeOutcome::AmpAbsent;
  });
  return outcome;
}

void SettleLinkModeAfterJob() {
  if (IsDevicePresent()) {
    LinkMode.store(kLinkHid);
  } else {
    LinkMode.store(ProbeModule(true) ? kLinkBluetooth : kLinkNone);
  }
}

void ReleaseModuleLink() {
  RunUnlessJobInProgress([] {
    ProbeModule(false);
    LinkMode.store(kLinkNone);
  });
}

}  // namespace korva
