// The two sources of device-change notifications: the udev monitor of the real system
// (hidraw and usb devices added or removed), and the virtual bus of --simulate and the tests,
// whose plug and unplug may happen on a job thread. Both deliver on the UI thread.
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <mutex>

#include "device/device_watcher.h"

class QSocketNotifier;
struct udev;
struct udev_monitor;

namespace korva {
class VirtualHidBus;
}

namespace korva::qt {

class UdevDeviceWatcher final : public DeviceWatcher {
 public:
  UdevDeviceWatcher();
  ~UdevDeviceWatcher() override;
  UdevDeviceWatcher(const UdevDeviceWatcher&) = delete;
  UdevDeviceWatcher& operator=(const UdevDeviceWatcher&) = delete;

  int Start(std::function<void()> onChange) override;

 private:
  void TakeEvent();

  udev* udev_ = nullptr;
  udev_monitor* monitor_ = nullptr;
  std::unique_ptr<QSocketNotifier> notifier_;
  std::function<void()> onChange_;
};

class VirtualBusWatcher final : public DeviceWatcher {
 public:
  // Must be made on the UI thread.
  explicit VirtualBusWatcher(VirtualHidBus& bus);
  ~VirtualBusWatcher() override;
  VirtualBusWatcher(const VirtualBusWatcher&) = delete;
  VirtualBusWatcher& operator=(const VirtualBusWatcher&) = delete;

  int Start(std::function<void()> onChange) override;

 private:
  // Shared with the bus's listener, which may still run on another thread while the watcher
  // goes away: the lock and the cleared target make a late notification a no-op.
  struct Relay {
    std::mutex mutex;
    QObject* target = nullptr;
    std::function<void()> onChange;
  };

  VirtualHidBus& bus_;
  QObject target_;
  std::shared_ptr<Relay> relay_;
};

}  // namespace korva::qt
