// The update library's probe, made when a presence test misses the amp: the cable may lead
// to the amp's Bluetooth module in its update mode. The results are of no use to the caller.
#pragma once

namespace korva::ui {

void ProbeBluetoothModule();

}  // namespace korva::ui
