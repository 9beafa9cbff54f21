// The main thread's side of a running job.
#include "cli/job_driver.h"

#include <chrono>

#include "cli/messages.h"
#include "device/hid_dfu.h"
#include "device/protocol.h"
#include "jobs/job_messages.h"
#include "jobs/job_state.h"
#include "jobs/service_texts.h"
#include "jobs/start_job.h"
#include "jobs/update_scope.h"
#include "jobs/worker.h"

namespace korva::cli {
namespace {

// How long the main thread waits for a job event before it looks for warnings again.
constexpr std::chrono::milliseconds kIdleWait{50};

}  // namespace

int JobDriver::Execute(const std::function<int()>& body) {
  // The computer stays awake from the first job to the last, with no gap between two jobs;
  // taken and given back on this thread, after every job thread has ended.
  const UpdateScope underWay;
  PrompterScope prompterScope(prompter_);
  const int exitCode = body();
  CurrentTransfer.store(kTransferNone);
  WaitForWorkers();
  return exitCode;
}

bool JobDriver::Start(int kind) {
  if (StartJob(&owner_, kind)) return true;
  JobStatus.store(kJobIdle);
  return false;
}

int JobDriver::Result(int exitCode, const char* text) {
  ReportWarnings();
  reporter_.Result(exitCode, text);
  return exitCode;
}

int JobDriver::Run(int kind, const char* startFailedText, const char* failedText) {
  policy_.SetJob(kind);
  const auto stopping = [this] {
    return policy_.StoppedBeforeWriting() || policy_.StopConfirmed();
  };
  bool started = false;
  if (!stopping()) {
    started = Start(kind);
    if (started && Follow(kind) == Outcome::Done) return kExitOk;
  }
  if (policy_.StoppedBeforeWriting()) return Result(kExitStopped, kTextStoppedBeforeWriting);
  if (policy_.StopConfirmed()) {
    ReportWarnings();
    if (const char* stopped = InterruptWordsOf(kind).stopped) reporter_.Note(stopped);
    return Result(kExitUpdateFailed, failedText);
  }
  return Result(kExitUpdateFailed, started ? failedText : startFailedText);
}

JobDriver::Outcome JobDriver::Follow(int kind) {
  const JobFacts& facts = FactsOf(kind);
  JobProgress progress{kind, 0, facts.fixedTotal, 0};
  std::int64_t startMs = env_.clock.NowMs();
  // "job_started" comes once, before anything else of the job: at once when its total is
  // known, else when the job prepares its bar, or at its final message when it fails first.
  // A job stopped before it wrote anything has not started for the user.
  bool started = false;
  const auto startOnce = [&](std::int64_t atMs) {
    if (started || policy_.StoppedBeforeWriting()) return;
    started = true;
    startMs = atMs;
    reporter_.JobStarted(progress);
  };
  if (facts.fixedTotal > 0) startOnce(startMs);
  bool busyShown = false;
  for (;;) {
    std::optional<OwnerEvent> event = owner_.Next(kIdleWait);
    ReportWarnings();
    if (!event) continue;
    if (event->type == OwnerEvent::Type::Prepare) {
      if (!started) progress.reports = event->lParam + facts.extraCounts;
      startOnce(event->atMs);
      owner_.Handled();
      continue;
    }
    if (event->type == OwnerEvent::Type::Box) {
      reporter_.Note(event->text);
      owner_.Handled();
      continue;
    }
    if (event->message != facts.message) continue;
    startOnce(event->atMs);
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
        if (started) reporter_.JobFailed(progress);
        JobStatus.store(kJobIdle);
        return Outcome::Failed;
      default:
        break;
    }
  }
}

void JobDriver::ReportWarnings() {
  for (const std::string& warning : policy_.TakeWarnings()) reporter_.Warning(warning);
  if (const std::string stuck = TakeDfuStuckText(); !stuck.empty()) reporter_.Warning(stuck);
}

}  // namespace korva::cli
