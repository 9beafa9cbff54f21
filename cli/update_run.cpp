// The update's event loop.
#include "cli/update_run.h"

#include <chrono>

#include "cli/messages.h"
#include "jobs/job_state.h"
#include "jobs/start_job.h"
#include "jobs/update_texts.h"
#include "jobs/worker.h"

namespace korva::cli {
namespace {

// How long the main thread waits for a job message before it looks at Ctrl-C again.
constexpr std::chrono::milliseconds kIdleWait{50};

}  // namespace

int UpdateRun::Execute(const std::vector<JobKind>& jobs) {
  env_.interrupts.Arm();
  const int exitCode = RunJobs(jobs);
  env_.interrupts.Disarm();
  CurrentTransfer.store(kTransferNone);
  WaitForWorkers();
  return exitCode;
}

int UpdateRun::RunJobs(const std::vector<JobKind>& jobs) {
  reporter_.Note(kTextStartUpdating);
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    const JobKind kind = jobs[i];
    if (stopped_) {
      // The previous job ended before the stop reached it; this one is not started.
      reporter_.Note(kTextStopped);
      reporter_.Result(kExitUpdateFailed, kTextUpdateFailed);
      return kExitUpdateFailed;
    }
    if (!StartJob(&owner_, kind)) {
      JobStatus.store(kJobIdle);
      reporter_.Result(kExitUpdateFailed, kind == kJobMcu ? kTextUpdateMcuFailed : kTextUpdateDspFailed);
      return kExitUpdateFailed;
    }
    const Outcome outcome = RunJob(kind);
    JobStatus.store(kJobIdle);
    if (outcome == Outcome::Failed) {
      if (stopped_) reporter_.Note(kTextStopped);
      reporter_.Result(kExitUpdateFailed, kTextUpdateFailed);
      return kExitUpdateFailed;
    }
    if (kind == kJobMcu && i + 1 < jobs.size()) reporter_.Note(kTextMcuUpdateDone);
  }
  reporter_.Result(kExitOk, kTextUpdateSucceeded);
  return kExitOk;
}

UpdateRun::Outcome UpdateRun::RunJob(JobKind kind) {
  const int expectedMessage = kind == kJobMcu ? WM_MCU_JOB : WM_DSP_JOB;
  JobProgress progress{kind, 0, 0, 0};
  std::int64_t startMs = env_.clock.NowMs();
  for (;;) {
    std::optional<OwnerEvent> event;
    env_.interrupts.Listen([&] { event = owner_.Next(kIdleWait); });
    TakeInterrupts();
    if (!event) continue;
    if (event->prepare) {
      startMs = env_.clock.NowMs();
      // The DSP job sends a header report before its data reports and counts it.
      progress.reports = event->lParam + (kind == kJobDsp ? 1 : 0);
      reporter_.JobStarted(progress);
      owner_.PrepareHandled();
      continue;
    }
    if (event->message != expectedMessage) continue;
    progress.elapsedMs = env_.clock.NowMs() - startMs;
    switch (event->wParam) {
      case JOB_PROGRESS:
        progress.sent = event->lParam;
        reporter_.Progress(progress);
        break;
      case JOB_DONE:
        reporter_.JobDone(progress);
        return Outcome::Done;
      case JOB_FAILED:
        progress.sent = event->lParam;
        reporter_.JobFailed(progress);
        return Outcome::Failed;
      default:
        break;
    }
  }
}

void UpdateRun::TakeInterrupts() {
  for (int n = env_.interrupts.Take(); n > 0; --n) {
    if (stopped_) continue;
    if (policy_.OnInterrupt(env_.clock.NowMs()) == InterruptPolicy::Action::Warn) {
      reporter_.Warning(kTextFirstInterrupt);
    } else {
      stopped_ = true;
      RequestJobStop();
      reporter_.Warning(kTextStopping);
    }
  }
}

}  // namespace korva::cli
