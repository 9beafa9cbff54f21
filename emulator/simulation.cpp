// Wiring of the simulated amp and module.
#include "emulator/simulation.h"

#include "device/hid_dfu.h"
#include "device/hid_transport.h"

namespace korva {

Simulation::Simulation(Clock& clock) : bus(clock), korva(bus) {
  korva.SetVersions(kSimulatedMcuVersion, kSimulatedDspVersion);
  korva.SetLinkSwitchHandler([this] { module.SetPresent(true); });
  module.SetResetHandler([this] { korva.Plug(); });
  korva.Plug();
  SetHidBackend(&bus);
  SetDfuBackend(&module);
}

Simulation::~Simulation() {
  SetHidBackend(nullptr);
  SetDfuBackend(nullptr);
}

}  // namespace korva
