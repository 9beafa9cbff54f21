// A whole virtual setup for --simulate and for tests: a HID bus with a KORVA on it and the
// Bluetooth module behind the update library, wired so that "UB" hands the link to the
// module and the module's restart brings the amp back. Installs itself as the process's HID
// and update-library backends for its lifetime.
#pragma once

#include "device/clock.h"
#include "emulator/virtual_bluetooth_module.h"
#include "emulator/virtual_hid_bus.h"
#include "emulator/virtual_korva.h"

namespace korva {

// The firmware the simulated amp starts with: older than the carried Ver1.38.250 in both
// processors, so that the main road has work to do.
inline constexpr const char* kSimulatedMcuVersion = "1.36";
inline constexpr const char* kSimulatedDspVersion = "192";

class Simulation {
 public:
  explicit Simulation(Clock& clock);
  ~Simulation();
  Simulation(const Simulation&) = delete;
  Simulation& operator=(const Simulation&) = delete;

  VirtualHidBus bus;
  VirtualKorva korva;
  VirtualBluetoothModule module;
};

}  // namespace korva
