// The version comparison and the percentage.
#include "ui/update_plan.h"

#include <algorithm>
#include <array>

namespace korva::ui {
namespace {

// Positions in the version text "VerM.MM.DDD" ("Ver" + 4 MCU + "." + 3 DSP characters).
constexpr std::size_t kMcuFirst = 3;
constexpr std::array<std::size_t, 3> kComparedMcuChars = {kMcuFirst + 0, kMcuFirst + 2, kMcuFirst + 3};
constexpr std::size_t kDspFirst = kMcuFirst + kVersionMcuLength + 1;

}  // namespace

MainRoadState& MainRoad() {
  static MainRoadState state;
  return state;
}

void ResetMainRoadState() { MainRoad() = MainRoadState{}; }

int DecideUpdatePlan(const VersionText& device, const VersionText& embedded) {
  const bool mcuMatches = std::all_of(kComparedMcuChars.begin(), kComparedMcuChars.end(),
                                      [&](std::size_t i) { return device[i] == embedded[i]; });
  const bool dspMatches = std::equal(device.begin() + kDspFirst, device.begin() + kDspFirst + kVersionDspLength,
                                     embedded.begin() + kDspFirst);
  if (mcuMatches && dspMatches) return kPlanNothing;
  if (mcuMatches) return kPlanDspOnly;
  if (dspMatches) return kPlanMcuOnly;
  return kPlanBoth;
}

int ProgressPercent(long count, long total) {
  // The DSP job counts its header report, so its last progress is one past the total; a DSP
  // image of only a header announces a total of 0.
  if (total <= 0) return 100;
  return static_cast<int>(std::clamp(count, 0L, total) * 100 / total);
}

std::string PercentText(long count, long total) { return std::to_string(ProgressPercent(count, total)) + "%"; }

}  // namespace korva::ui
