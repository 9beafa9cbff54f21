// The main road against the virtual KORVA, timed: "Update"'s presence test, the MCU job, the
// DSP job, with the carried images, on a bus whose listing of the HID interfaces costs a
// given time.
#pragma once

#include <cstdint>

#include "device/clock.h"

namespace korva::bench {

struct RoadRun {
  bool succeeded = false;
  std::int64_t elapsedMs = 0;  // on `clock`
  int enumerations = 0;        // listings of the HID interfaces
  int opens = 0;               // handles opened on the amp
};

// Runs the road on `clock` (the process clock is set to it for the run).
RoadRun RunMainRoad(Clock& clock, int enumerationCostMs);

}  // namespace korva::bench
