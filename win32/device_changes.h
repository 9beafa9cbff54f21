// Where the welcome window hears that devices came or went: WM_DEVICECHANGE. Windows sends it
// for the HID interfaces that arrive or leave once the window has registered for them; the
// virtual bus of --simulate posts the same message on every plug and unplug (from whatever
// thread made it).
#pragma once

#include <windows.h>

#include <memory>
#include <mutex>

namespace korva {
class VirtualHidBus;
}

namespace korva::win32 {

class DeviceChanges {
 public:
  virtual ~DeviceChanges() = default;
  // From now on `window` gets WM_DEVICECHANGE for the amp's kind of device; until Stop.
  virtual void Start(HWND window) = 0;
  virtual void Stop() = 0;
};

// The system's notifications for HID interfaces.
class SystemHidChanges final : public DeviceChanges {
 public:
  ~SystemHidChanges() override { Stop(); }
  void Start(HWND window) override;
  void Stop() override;

 private:
  HDEVNOTIFY registration_ = nullptr;
};

// The virtual bus's plugs and unplugs.
class VirtualBusChanges final : public DeviceChanges {
 public:
  explicit VirtualBusChanges(VirtualHidBus& bus) : bus_(bus) {}
  ~VirtualBusChanges() override { Stop(); }
  void Start(HWND window) override;
  void Stop() override;

 private:
  // Shared with the bus's listener, which may run on another thread while this goes away.
  struct Target {
    std::mutex mutex;
    HWND window = nullptr;
  };
  VirtualHidBus& bus_;
  std::shared_ptr<Target> target_ = std::make_shared<Target>();
};

}  // namespace korva::win32
