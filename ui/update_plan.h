// What the main update window decides and remembers: which processors need the carried
// firmware, whether "Update" may start a job, and whether the last update succeeded. Only the
// UI thread touches this state. Free of the toolkit so that it can be tested on its own.
#pragma once

#include <string>

#include "device/command_protocol.h"

namespace korva::ui {

enum UpdatePlanValue : int { kPlanNothing = 0, kPlanDspOnly = 1, kPlanMcuOnly = 2, kPlanBoth = 3 };

struct MainRoadState {
  int UpdatePlan = kPlanNothing;
  int UpdateConfirmed = 0;
  int UpdateCompleted = 0;
};

MainRoadState& MainRoad();
void ResetMainRoadState();

// The plan for a device at `device` when the program carries `embedded`. The MCU parts match
// when MCU characters 1, 3 and 4 agree (character 2 is the dot of "1.38"); the DSP parts
// match when all three DSP characters agree.
int DecideUpdatePlan(const VersionText& device, const VersionText& embedded);

// The percentage shown for `count` reports of `total`: truncated, never above 100, and 100
// for a job that announced no data reports at all.
int ProgressPercent(long count, long total);
// ProgressPercent as the window shows it: decimal digits and "%".
std::string PercentText(long count, long total);

}  // namespace korva::ui
