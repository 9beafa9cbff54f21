// The Bluetooth module probe: connect, read the last error, disconnect.
#include "ui/link_probe.h"

#include "device/hid_dfu.h"
#include "device/protocol.h"

namespace korva::ui {

void ProbeBluetoothModule() {
  int handle = 0;  // the library's out-value, never read
  hidDfuConnect(kBluetoothVendorId, kBluetoothProductId, 0, 0, &handle);
  hidDfuGetLastError();
  hidDfuDisconnect();
}

}  // namespace korva::ui
