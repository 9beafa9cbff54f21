// udev monitor and virtual-bus notifications, both delivered on the UI thread.
#include "qt/device_watchers.h"

#include <libudev.h>

#include <QSocketNotifier>
#include <cstdio>
#include <cstring>

#include "emulator/virtual_hid_bus.h"
#include "qt/thread_handoff.h"

namespace korva::qt {

UdevDeviceWatcher::UdevDeviceWatcher() = default;

UdevDeviceWatcher::~UdevDeviceWatcher() {
  notifier_.reset();
  if (monitor_) udev_monitor_unref(monitor_);
  if (udev_) udev_unref(udev_);
}

int UdevDeviceWatcher::Start(std::function<void()> onChange) {
  onChange_ = std::move(onChange);
  udev_ = udev_new();
  if (udev_) monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
  // The amp's own interface is a hidraw device; its Bluetooth module a plain usb device.
  if (!monitor_ ||
      udev_monitor_filter_add_match_subsystem_devtype(monitor_, "hidraw", nullptr) < 0 ||
      udev_monitor_filter_add_match_subsystem_devtype(monitor_, "usb", "usb_device") < 0 ||
      udev_monitor_enable_receiving(monitor_) < 0) {
    std::fprintf(stderr,
                 "korva-updater: no device-change notifications (udev monitor unavailable)\n");
    return 0;
  }
  notifier_ =
      std::make_unique<QSocketNotifier>(udev_monitor_get_fd(monitor_), QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { TakeEvent(); });
  return 1;
}

void UdevDeviceWatcher::TakeEvent() {
  udev_device* device = udev_monitor_receive_device(monitor_);
  if (!device) return;
  const char* action = udev_device_get_action(device);
  const bool change =
      action && (std::strcmp(action, "add") == 0 || std::strcmp(action, "remove") == 0);
  udev_device_unref(device);
  if (change && onChange_) onChange_();
}

VirtualBusWatcher::VirtualBusWatcher(VirtualHidBus& bus)
    : bus_(bus), relay_(std::make_shared<Relay>()) {
  relay_->target = &target_;
}

VirtualBusWatcher::~VirtualBusWatcher() {
  bus_.SetChangeListener({});
  std::lock_guard lock(relay_->mutex);
  relay_->target = nullptr;
}

int VirtualBusWatcher::Start(std::function<void()> onChange) {
  {
    std::lock_guard lock(relay_->mutex);
    relay_->onChange = std::move(onChange);
  }
  bus_.SetChangeListener([relay = relay_] {
    std::lock_guard lock(relay->mutex);
    if (!relay->target) return;
    // Queued even on the UI thread: a plug inside a probe must not probe again inside it.
    PostToThreadOf(relay->target, [relay] {
      std::function<void()> onChange;
      {
        std::lock_guard lock(relay->mutex);
        onChange = relay->onChange;
      }
      if (onChange) onChange();
    });
  });
  return 1;
}

}  // namespace korva::qt
