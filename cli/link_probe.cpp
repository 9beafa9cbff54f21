// The presence probe of the terminal front end.
#include "cli/link_probe.h"

#include <cstring>

#include "device/hid_dfu.h"
#include "device/link_mode.h"
#include "device/protocol.h"

namespace korva::cli {

DeviceAccessReport ProbeLink(bool keepModuleConnection) {
  const DeviceAccessReport access = CheckDeviceAccess();
  if (access.access != DeviceAccess::Absent) {
    LinkMode.store(access.access == DeviceAccess::Ready ? kLinkHid : kLinkNone);
    return access;
  }
  int handle = 0;  // the library wants a variable of ours; it is never read
  const int result = hidDfuConnect(kBluetoothVendorId, kBluetoothProductId, 0, 0, &handle);
  const char* error = hidDfuGetLastError();  // asked whatever the result, as the job asks it
  const bool connected = result == 0 || std::strcmp(error, kDfuAlreadyConnected) == 0;
  if (!connected || !keepModuleConnection) hidDfuDisconnect();  // result ignored, as the windows' probe does
  LinkMode.store(connected ? kLinkBluetooth : kLinkNone);
  return access;
}

void ReleaseModuleConnection() {
  if (LinkMode.load() != kLinkBluetooth) return;
  hidDfuDisconnect();  // result ignored: nothing more is done with the module
  LinkMode.store(kLinkNone);
}

}  // namespace korva::cli
