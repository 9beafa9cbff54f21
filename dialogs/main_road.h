// What the main update window remembers between its steps: the plan for the next "Update",
// whether "Update" may start a job, and whether the last update succeeded. Process-wide, as
// the window's own state; only the GUI thread touches it. The comparison rule itself is the
// one the terminal program uses (jobs/update_plan.h).
#pragma once

#include "jobs/update_plan.h"

namespace korva::dialogs {

struct MainRoadState {
  int UpdatePlan = kPlanNothing;
  int UpdateConfirmed = 0;  // 1: "Update" may start a job
  int UpdateCompleted = 0;  // 1: the success text stays while the amp stays connected
};

MainRoadState& MainRoad();
void ResetMainRoadState();

}  // namespace korva::dialogs
