// The presence probe of the terminal front end.
#include "cli/link_probe.h"

#include "device/hid_dfu.h"
#include "device/link_mode.h"

namespace korva::cli {

DeviceAccessReport ProbeLink(bool keepModuleConnection, AmpLockAttempt& module) {
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

void ReleaseModuleConnection() {
  if (LinkMode.load() != kLinkBluetooth) return;
  hidDfuDisconnect();  // result ignored: nothing more is done with the module
  LinkMode.store(kLinkNone);
}

}  // namespace korva::cli
