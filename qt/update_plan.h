// What the main update window remembers between its steps: the plan for the next "Update",
// whether "Update" may start a job, and whether the last update succeeded. Only the UI thread
// touches this state. The comparison rule itself is shared with the terminal front end.
#pragma once

#include <string>

#include "jobs/update_plan.h"

namespace korva::qt {

struct MainRoadState {
  int UpdatePlan = kPlanNothing;
  int UpdateConfirmed = 0;
  int UpdateCompleted = 0;
};

MainRoadState& MainRoad();
void ResetMainRoadState();

// ProgressPercent as the window shows it: decimal digits and "%".
std::string PercentText(long count, long total);

}  // namespace korva::qt
