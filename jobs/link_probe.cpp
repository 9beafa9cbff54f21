// The probes' decisions.
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

DeviceAccessReport ProbeLinkForCommand(bool keepModuleConnection, AmpLockAttempt& module) {
  const DeviceAccessReport access = CheckDeviceAccess();
  if (access.access != DeviceAccess::Absent) {
    LinkMode.store(access.access == DeviceAccess::Ready ? kLinkHid : kLinkNone);
    return access;
  }
  module = ClaimBluetoothModule();
  if (module.outcome == AmpLockOutcome::HeldElsewhere) {
    LinkMode.store(kLinkNone);
    return access;
  }
  const bool connected = ConnectBluetoothModuleOnce(kDfuProbeCallLimitMs);
  if (!connected || !keepModuleConnection) {
    hidDfuDisconnect();  // result ignored, as the windows' probe does
    module.lock.reset();
  }
  LinkMode.store(connected ? kLinkBluetooth : kLinkNone);
  return access;
}

void ReleaseKeptModuleConnection() {
  if (LinkMode.load() != kLinkBluetooth) return;
  hidDfuDisconnect();  // result ignored: nothing more is done with the module
  LinkMode.store(kLinkNone);
}

}  // namespace korva
