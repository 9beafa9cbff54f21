// The Bluetooth module probe: connect, read the last error, disconnect.
#include "ui/link_probe.h"

#include "device/hid_dfu.h"

namespace korva::ui {

void ProbeBluetoothModule() {
  ConnectBluetoothModuleOnce();  // the outcome is of no use here
  hidDfuDisconnect();
}

}  // namespace korva::ui
