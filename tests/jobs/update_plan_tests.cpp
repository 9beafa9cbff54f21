// The main road's version comparison, its status lines and jobs, and the progress percentage.
#include "jobs/update_plan.h"

#include <gtest/gtest.h>

#include <cstring>

#include "jobs/job_facts.h"
#include "jobs/update_texts.h"

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

TEST(UpdatePlanTest, StatusLinesSummariesAndJobs) {
  struct Case {
    int plan;
    const char* status;
    const char* summary;
    std::vector<JobKind> jobs;
  };
  const Case cases[] = {
      {kPlanNothing, "Same fimware, no need to update!", "nothing differs", {kJobMcu, kJobDsp}},
      {kPlanDspOnly, "Same MCU fimware, only need to update DSP firmware!", "DSP only", {kJobDsp}},
      {kPlanMcuOnly, "Same DSP fimware, only need to update MCU firmware!", "MCU only", {kJobMcu}},
      {kPlanBoth, "Click 'Update'to update the new firmware.", "MCU, then DSP", {kJobMcu, kJobDsp}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.plan);
    EXPECT_STREQ(PlanStatusText(c.plan), c.status);
    EXPECT_STREQ(PlanSummary(c.plan), c.summary);
    EXPECT_EQ(PlanJobs(c.plan), c.jobs);
  }
  // The prompt keeps its two blanks after "Are you" and no blank after "update,".
  EXPECT_NE(std::strstr(kTextSameVersionPrompt, "Are you  to update"), nullptr);
  EXPECT_NE(std::strstr(kTextSameVersionPrompt, "update,otherwize"), nullptr);
}

TEST(UpdatePlanTest, ProgressPercent) {
  struct Case {
    long count, total;
    int percent;
  };
  const Case cases[] = {
      {1, 3, 33},        {376, 752, 50}, {751, 752, 99}, {752, 752, 100},
      {2149, 2148, 100},  // the DSP job's last count includes its header report
      {6, 5, 100},       {1, 0, 100},    {0, 0, 100},    {-1, 10, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.count) + "/" + std::to_string(c.total));
    EXPECT_EQ(ProgressPercent(c.count, c.total), c.percent);
  }
}

}  // namespace
}  // namespace korva::testing
