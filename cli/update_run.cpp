// The main road's jobs: "Start updating...", the MCU job, the DSP job, the final text.
#include "cli/update_run.h"

#include "cli/job_driver.h"
#include "cli/messages.h"
#include "jobs/update_texts.h"

namespace korva::cli {
namespace {

int RunJobs(JobDriver& driver, Reporter& reporter, const std::vector<JobKind>& jobs) {
  reporter.Note(kTextStartUpdating);
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    const JobKind kind = jobs[i];
    // A job that the user stopped before it started is not started; its result says so.
    const char* startFailed = kind == kJobMcu ? kTextUpdateMcuFailed : kTextUpdateDspFailed;
    const int exitCode = driver.Run(kind, startFailed, kTextUpdateFailed);
    if (exitCode != kExitOk) return exitCode;
    if (kind == kJobMcu && i + 1 < jobs.size()) reporter.Note(kTextMcuUpdateDone);
  }
  reporter.Result(kExitOk, kTextUpdateSucceeded);
  return kExitOk;
}

}  // namespace

int RunUpdateJobs(Environment& env, Reporter& reporter, InterruptPolicy& policy,
                  const std::vector<JobKind>& jobs) {
  JobDriver driver(env, reporter, policy);
  return driver.Execute([&] { return RunJobs(driver, reporter, jobs); });
}

}  // namespace korva::cli
