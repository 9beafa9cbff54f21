// The version comparison of the main road.
#include "jobs/update_plan.h"

#include <algorithm>
#include <mutex>

#include "device/device_access.h"
#include "jobs/update_texts.h"
#include "support/support_log.h"

namespace korva {
namespace {

// Positions in the 11-character text: "Ver", MCU characters 1 to 4, ".", DSP characters 1 to 3.
constexpr std::size_t kMcuStart = 3;
constexpr std::size_t kDspStart = kMcuStart + kVersionMcuLength + 1;
// MCU characters 1, 3 and 4 (zero-based 0, 2, 3); the second is the version's dot.
constexpr std::size_t kComparedMcuChars[] = {0, 2, 3};

// What each plan is called, by UpdatePlanValue: the main window's status line, the log's
// summary, the name for scripts.
struct PlanWords {
  const char* status;
  const char* summary;
  const char* name;
};
constexpr PlanWords kPlanWords[] = {
    {kTextSameFirmware, "nothing differs", "nothing"},
    {kTextSameMcuFirmware, "DSP only", "dsp_only"},
    {kTextSameDspFirmware, "MCU only", "mcu_only"},
    {kTextClickUpdate, "MCU, then DSP", "mcu_then_dsp"},
};
// Any other value counts as "neither part matches", as the update treats it.
const PlanWords& WordsOf(int plan) {
  return kPlanWords[plan >= kPlanNothing && plan <= kPlanBoth ? plan : kPlanBoth];
}

// The versions and the plan last noted in the support log, and when: the same decision after
// the amp was found again is noted again.
struct PlanNote {
  unsigned epoch = 0;
  unsigned accessNotes = 0;
  VersionText device{};
  VersionText carried{};
  int plan = -1;
  bool operator==(const PlanNote&) const = default;
};
std::mutex g_planNoteMutex;
PlanNote g_lastPlanNote;

void NotePlan(const VersionText& device, const VersionText& carried, int plan) {
  if (!SupportLogging()) return;
  const PlanNote note{SupportLogEpoch(), DeviceAccessNotes(), device, carried, plan};
  {
    std::lock_guard lock(g_planNoteMutex);
    if (note == g_lastPlanNote) return;
    g_lastPlanNote = note;
  }
  SupportLog("versions: the KORVA reports " + LogQuoted(ToString(device)) +
             ", the updater carries " + LogQuoted(ToString(carried)) +
             "; plan: " + PlanSummary(plan));
}

}  // namespace

bool McuPartsMatch(const VersionText& device, const VersionText& carried) {
  return std::all_of(
      std::begin(kComparedMcuChars), std::end(kComparedMcuChars),
      [&](std::size_t k) { return device[kMcuStart + k] == carried[kMcuStart + k]; });
}

bool DspPartsMatch(const VersionText& device, const VersionText& carried) {
  return std::equal(device.begin() + kDspStart, device.begin() + kDspStart + kVersionDspLength,
                    carried.begin() + kDspStart);
}

int DecideUpdatePlan(const VersionText& device, const VersionText& carried) {
  const bool mcu = McuPartsMatch(device, carried);
  const bool dsp = DspPartsMatch(device, carried);
  int plan = kPlanBoth;
  if (mcu && dsp) {
    plan = kPlanNothing;
  } else if (mcu) {
    plan = kPlanDspOnly;
  } else if (dsp) {
    plan = kPlanMcuOnly;
  }
  NotePlan(device, carried, plan);
  return plan;
}

const char* PlanStatusText(int plan) { return WordsOf(plan).status; }
const char* PlanSummary(int plan) { return WordsOf(plan).summary; }
const char* PlanName(int plan) { return WordsOf(plan).name; }

std::vector<JobKind> PlanJobs(int plan) {
  switch (plan) {
    case kPlanDspOnly:
      return {kJobDsp};
    case kPlanMcuOnly:
      return {kJobMcu};
    default:
      return {kJobMcu, kJobDsp};
  }
}

}  // namespace korva
