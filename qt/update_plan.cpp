// The main window's state and its percentage text.
#include "qt/update_plan.h"

#include "jobs/job_facts.h"

namespace korva::qt {

MainRoadState& MainRoad() {
  static MainRoadState state;
  return state;
}

void ResetMainRoadState() { MainRoad() = MainRoadState{}; }

std::string PercentText(long count, long total) {
  return std::to_string(ProgressPercent(count, total)) + "%";
}

}  // namespace korva::qt
