// The main update window's state between its steps.
#include "dialogs/main_road.h"

namespace korva::dialogs {

MainRoadState& MainRoad() {
  static MainRoadState state;
  return state;
}

void ResetMainRoadState() { MainRoad() = MainRoadState{}; }

}  // namespace korva::dialogs
