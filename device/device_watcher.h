// Device-change notifications: the operating system (or the virtual bus) says that a USB or
// HID device came or went, without saying which. The welcome window probes for the amp on
// each one. Implementations live with the front end that owns the event loop.
#pragma once

#include <functional>

namespace korva {

class DeviceWatcher {
 public:
  virtual ~DeviceWatcher() = default;
  // Calls `onChange` on the front end's (UI) thread after every device arrival or removal.
  // Returns 1 when notifications are flowing, 0 when the system's source could not be opened.
  virtual int Start(std::function<void()> onChange) = 0;
};

}  // namespace korva
