// The main road's decision: which of the amp's two processors need the carried firmware,
// worked out from the version text the amp reports and the carried one, with the status line
// and the jobs that go with each outcome. Shared by the main window and the terminal front end.
#pragma once

#include <vector>

#include "device/command_protocol.h"
#include "jobs/job_messages.h"

namespace korva {

// Values of UpdatePlan.
enum UpdatePlanValue : int {
  kPlanNothing = 0,  // both parts match
  kPlanDspOnly = 1,  // the MCU parts match
  kPlanMcuOnly = 2,  // the DSP parts match
  kPlanBoth = 3,     // neither part matches
};

// MCU characters 1, 3 and 4 of the two texts are equal. Character 2 is not compared: it is the
// dot of a version such as 1.38.
bool McuPartsMatch(const VersionText& device, const VersionText& carried);
// All three DSP characters are equal.
bool DspPartsMatch(const VersionText& device, const VersionText& carried);
// The plan: the first of "both match", "MCU matches", "DSP matches", "neither" that applies.
// The versions and the plan are noted in the support log when they differ from the last
// note, or the amp was found again since.
int DecideUpdatePlan(const VersionText& device, const VersionText& carried);

// The status line that the main window shows for a plan (kTextSameFirmware ...).
const char* PlanStatusText(int plan);
// A short name: "nothing differs", "DSP only", "MCU only", "MCU, then DSP".
const char* PlanSummary(int plan);
// The name for scripts: "nothing", "dsp_only", "mcu_only", "mcu_then_dsp".
const char* PlanName(int plan);
// The jobs that an update runs for a plan, in order. Plan 0 is the update forced after the
// same-version prompt: MCU, then DSP, as when neither part matches.
std::vector<JobKind> PlanJobs(int plan);

}  // namespace korva
