// The main thread's side of a running job.
#include "cli/job_driver.h"

#include <chrono>

#include "cli/messages.h"
#include "device/protocol.h"
#include "jobs/job_messages.h"
#include "jobs/job_state.h"
#include "jobs/service_texts.h"
#include "jobs/start_job.h"
#include "jobs/worker.h"

namespace korva::cli {
namespace {

// How long the main thread waits for a job event before it looks at Ctrl-C again.
constexpr std::chrono::milliseconds kIdleWait{50};

}  // namespace

int JobDriver::Execute(const std::function<int()>& body) {
  PrompterScope prompterScope(prompter_);
  env_.interrupts.Arm();
  const int exitCode = body();
  env_.interrupts.Disarm();
  CurrentTransfer.store(kTransferNone);
  WaitForWorkers();
  return exitCode;
}

bool JobDriver::Start(int kind) {
  if (StartJob(&owner_, kind)) return true;
  JobStatus.store(kJobIdle);
  return false;
}

int JobDriver::Run(int kind, const char* startFailedText, const char* failedText) {
  if (!Start(kind)) {
    reporter_.Result(kExitUpdateFailed, startFailedText);
    return kExitUpdateFailed;
  }
  if (Follow(kind) == Outcome::Failed) {
    if (stopped_) reporter_.Note(kTextStopped);
    reporter_.Result(kExitUpdateFailed, failedText);
    return kExitUpdateFailed;
  }
  return kExitOk;
}

JobDriver::Outcome JobDriver::Follow(int kind) {
  const JobTraits& traits = TraitsOf(kind);
  JobProgress progress{kind, 0, 0, 0};
  std::int64_t startMs = env_.clock.NowMs();
  bool busyShown = false;
  for (;;) {
    std::optional<OwnerEvent> event;
    env_.interrupts.Listen([&] { event = owner_.Next(kIdleWait); });
    TakeInterrupts(traits);
    if (!event) continue;
    if (event->type == OwnerEvent::Type::Prepare) {
      startMs = event->atMs;
      progress.reports = event->lParam + traits.extraReports;
      reporter_.JobStarted(progress);
      owner_.Handled();
      continue;
    }
    if (event->type == OwnerEvent::Type::Box) {
      reporter_.Note(event->text);
      owner_.Handled();
      continue;
    }
    if (event->message != traits.message) continue;
    progress.elapsedMs = event->atMs - startMs;
    switch (event->wParam) {
      case JOB_PROGRESS:
        progress.sent = event->lParam;
        reporter_.Progress(progress);
        // The Bluetooth page asks the user to wait from the module's first 99 on.
        if (kind == kJobBluetooth && event->lParam == kDfuProgressBeforeSuccess && !busyShown) {
          busyShown = true;
          reporter_.Note(kTextBluetoothBusy);
        }
        break;
      case JOB_DONE:
        reporter_.JobDone(progress);
        JobStatus.store(kJobIdle);
        return Outcome::Done;
      case JOB_FAILED:
        progress.sent = event->lParam;
        reporter_.JobFailed(progress);
        JobStatus.store(kJobIdle);
        return Outcome::Failed;
      default:
        break;
    }
  }
}

void JobDriver::TakeInterrupts(const JobTraits& traits) {
  for (int n = env_.interrupts.Take(); n > 0; --n) {
    if (stopped_ || waitingForModule_) continue;
    const bool confirmed = policy_.OnInterrupt(env_.clock.NowMs()) == InterruptPolicy::Action::Stop;
    if (!traits.stoppable) {
      // The module's library cannot be stopped part-way; the program waits for its end either way.
      waitingForModule_ = confirmed;
      reporter_.Warning(confirmed ? kTextWaitingForModule : kTextModuleCannotStop);
    } else if (confirmed) {
      stopped_ = true;
      RequestJobStop();
      reporter_.Warning(kTextStopping);
    } else {
      reporter_.Warning(kTextFirstInterrupt);
    }
  }
}

}  // namespace korva::cli
