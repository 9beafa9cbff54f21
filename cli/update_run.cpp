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
    if (driver.Stopped()) {
      // The previous job ended before the stop reached it; this one is not started.
      reporter.Note(kTextStopped);
      reporter.Result(kExitUpdateFailed, kTextUpdateFailed);
      return kExitUpdateFailed;
    }
    const char* startFailed = kind == kJobMcu ? kTextUpdateMcuFailed : kTextUpdateDspFailed;
    const int exitCode = driver.Run(kind, startFailed, kTextUpdateFailed);
    if (exitCode != kExitOk) return exitCode;
    if (kind == kJobMcu && i + 1 < jobs.size()) reporter.Note(kTextMcuUpdateDone);
  }
  reporter.Result(kExitOk, kTextUpdateSucceeded);
  return kExitOk;
}

}  // namespace

int RunUpdateJobs(Environment& env, Reporter& reporter, const std::vector<JobKind>& jobs) {
  JobDriver driver(env, reporter);
  return driver.Execute([&] { return RunJobs(driver, reporter, jobs); });
}

}  // namespace korva::cli
