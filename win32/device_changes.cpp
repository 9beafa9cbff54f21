// Device-change notifications for the welcome window.
#include "win32/device_changes.h"

#include <dbt.h>
// The HID header declares C functions without saying so.
extern "C" {
#include <hidsdi.h>
}

#include "emulator/virtual_hid_bus.h"

namespace korva::win32 {

void SystemHidChanges::Start(HWND window) {
  Stop();
  DEV_BROADCAST_DEVICEINTERFACE_W filter{};
  filter.dbcc_size = sizeof(filter);
  filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  HidD_GetHidGuid(&filter.dbcc_classguid);
  registration_ = RegisterDeviceNotificationW(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
}

void SystemHidChanges::Stop() {
  if (registration_) UnregisterDeviceNotification(registration_);
  registration_ = nullptr;
}

void VirtualBusChanges::Start(HWND window) {
  {
    std::lock_guard lock(target_->mutex);
    target_->window = window;
  }
  // Posted even on the GUI thread: a plug inside a probe must not probe again inside it.
  bus_.SetChangeListener([target = target_] {
    std::lock_guard lock(target->mutex);
    if (target->window) PostMessageW(target->window, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
  });
}

void VirtualBusChanges::Stop() {
  bus_.SetChangeListener({});
  std::lock_guard lock(target_->mutex);
  target_->window = nullptr;
}

}  // namespace korva::win32
