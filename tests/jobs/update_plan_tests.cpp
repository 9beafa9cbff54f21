// The main road's version comparison and the jobs of each plan.
#include "jobs/update_plan.h"

#include <gtest/gtest.h>

namespace korva::testing {
namespace {

VersionText Text(const char* mcu4, const char* dsp3) { return MakeVersionText(mcu4, dsp3); }

TEST(UpdatePlanTest, ComparisonRule) {
  struct Case {
    const char* name;
    VersionText device;
    int plan;
  };
  const VersionText carried = Text("1.38", "250");
  const Case cases[] = {
      {"equal", Text("1.38", "250"), kPlanNothing},
      {"only the second MCU character differs", Text("1x38", "250"), kPlanNothing},
      {"first MCU character", Text("2.38", "250"), kPlanMcuOnly},
      {"third MCU character", Text("1.48", "250"), kPlanMcuOnly},
      {"fourth MCU character", Text("1.39", "250"), kPlanMcuOnly},
      {"first DSP character", Text("1.38", "150"), kPlanDspOnly},
      {"second DSP character", Text("1.38", "260"), kPlanDspOnly},
      {"third DSP character", Text("1.38", "251"), kPlanDspOnly},
      {"both differ (the simulated amp)", Text("1.36", "192"), kPlanBoth},
      {"never read: all zero bytes", VersionText{}, kPlanBoth},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DecideUpdatePlan(c.device, carried), c.plan);
  }
}

// An update runs the MCU job before the DSP job; the update forced after the same-version
// prompt (plan 0) runs both.
TEST(UpdatePlanTest, JobsOfEachPlan) {
  EXPECT_EQ(PlanJobs(kPlanNothing), (std::vector<JobKind>{kJobMcu, kJobDsp}));
  EXPECT_EQ(PlanJobs(kPlanDspOnly), std::vector<JobKind>{kJobDsp});
  EXPECT_EQ(PlanJobs(kPlanMcuOnly), std::vector<JobKind>{kJobMcu});
  EXPECT_EQ(PlanJobs(kPlanBoth), (std::vector<JobKind>{kJobMcu, kJobDsp}));
}

}  // namespace
}  // namespace korva::testing
