// The first steps of the main road, as the main window takes them when it opens: the presence
// test, "INITSTA", "RV", the carried images and the comparison. Both commands start with them.
#pragma once

#include <memory>

#include "cli/reporter.h"
#include "device/amp_lock.h"
#include "device/command_protocol.h"

namespace korva::cli {

struct DeviceReading {
  int exitCode = 0;  // kExitOk when the amp answered and the plan stands
  int plan = 0;      // UpdatePlan
  VersionText carried{};
  // The amp's lock, taken with the presence test; the command keeps the reading (and so the
  // lock) until its jobs have ended. None where no lock file can be made.
  std::unique_ptr<AmpLock> lock;
};

// The amp's lock for a command that found it at `path`; nullptr when none can be had. When
// another program holds it, that is the command's result (exit 4) and `inUse` is set.
std::unique_ptr<AmpLock> LockAmpOrSay(const std::string& path, Reporter& reporter, bool& inUse);

DeviceReading ReadDevice(Reporter& reporter);

}  // namespace korva::cli
