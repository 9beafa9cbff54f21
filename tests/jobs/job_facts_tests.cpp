// The facts that the front ends and the support log read of every job: the progress percentage
// and the lookups by kind and by message.
#include "jobs/job_facts.h"

#include <gtest/gtest.h>

#include <string>

#include "jobs/job_messages.h"

namespace korva::testing {
namespace {

TEST(JobFactsTest, ProgressPercent) {
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

// A job is found by its kind and by the message it posts, as the same entry; what is no job's
// is found as nothing.
TEST(JobFactsTest, EveryJobIsFoundByItsKindAndItsMessage) {
  const std::pair<int, int> jobs[] = {{kJobMcu, WM_MCU_JOB},
                                      {kJobDsp, WM_DSP_JOB},
                                      {kJobBattery, WM_BATTERY_JOB},
                                      {kJobAudio, WM_AUDIO_JOB},
                                      {kJobBluetooth, WM_BLUETOOTH_JOB}};
  for (const auto& [kind, message] : jobs) {
    SCOPED_TRACE(kind);
    const JobFacts* byKind = JobFactsOfKind(kind);
    ASSERT_NE(byKind, nullptr);
    EXPECT_EQ(byKind, JobFactsOfMessage(message));
    EXPECT_EQ(byKind->message, message);
  }
  EXPECT_EQ(JobFactsOfKind(3), nullptr);
  EXPECT_EQ(JobFactsOfMessage(WM_MCU_JOB - 1), nullptr);
}

}  // namespace
}  // namespace korva::testing
