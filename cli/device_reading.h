// The first steps of the main road, as the main window takes them when it opens: the presence
// test, "INITSTA", "RV", the carried images and the comparison. Both commands start with them.
#pragma once

#include "cli/reporter.h"
#include "device/command_protocol.h"

namespace korva::cli {

struct DeviceReading {
  int exitCode = 0;  // kExitOk when the amp answered and the plan stands
  int plan = 0;      // UpdatePlan
  VersionText carried{};
};

DeviceReading ReadDevice(Reporter& reporter);

}  // namespace korva::cli
