// How the computer currently reaches the amp: 0 no device, 1 the amp's own HID interface,
// 2 the link was handed to the Bluetooth module and the update library is connected.
#pragma once

#include <atomic>

namespace korva {

enum LinkModeValue : int { kLinkNone = 0, kLinkHid = 1, kLinkBluetooth = 2 };

// Written by the welcome window's probe, the main window's poll and the Bluetooth job.
extern std::atomic<int> LinkMode;

}  // namespace korva
