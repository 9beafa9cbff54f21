// StartJob: owner, "INITSTA", CurrentTransfer, worker thread.
#include "jobs/start_job.h"

#include <atomic>
#include <mutex>
#include <string>

#include "device/amp_lock.h"
#include "device/command_protocol.h"
#include "device/hid_dfu.h"
#include "device/link_mode.h"
#include "jobs/firmware_jobs.h"
#include "jobs/job_facts.h"
#include "jobs/job_messages.h"
#include "jobs/job_state.h"
#include "jobs/job_texts.h"
#include "jobs/prompter.h"
#include "jobs/service_jobs.h"
#include "jobs/update_scope.h"
#include "jobs/worker.h"
#include "support/support_log.h"

namespace korva {
namespace {

// Taken by a probe for its whole run and by StartJob to count itself in, so that a probe and a
// job never overlap.
std::mutex g_jobGate;
std::atomic<int> g_starting{0};

// Counts a StartJob call in for its whole run; a started job's thread counts from then on. The
// update is under way from here on: the Bluetooth link switch already belongs to it.
class StartingScope {
 public:
  StartingScope() {
    std::lock_guard lock(g_jobGate);
    g_starting.fetch_add(1);
  }
  ~StartingScope() { g_starting.fetch_sub(1); }
  StartingScope(const StartingScope&) = delete;
  StartingScope& operator=(const StartingScope&) = delete;

 private:
  UpdateScope underWay_;
};

// "INITSTA" before every job; the box says so when the device does not take it.
bool InitStatesOrSay(const char* failureText) {
  if (InitStates()) return true;
  AppPrompter().ShowBox(BoxKind::Application, failureText);
  return false;
}

// The Bluetooth job's start: straight to the update while the link is with the module, else
// "INITSTA" and the link switch, which starts the job.
int StartBluetoothJob() {
  if (LinkMode.load() == kLinkBluetooth) return StartWorker(BluetoothUpdateJob) ? 1 : 0;
  if (!InitStatesOrSay(kTextInitStatesFailedWide)) return 0;
  if (SwitchLinkToBluetooth()) return 1;
  JobStatus.store(kJobFailedStatus);
  return 0;
}

// StartJob itself, without its note in the support log.
int StartKind(JobOwner* owner, int kind) {
  CurrentJobOwner.store(owner);
  StartedJobKind.store(kind & 0xFF);
  JobStatus.store(kJobRunning);
  switch (kind & 0xFF) {
    case kJobMcu:
      if (!InitStatesOrSay(kTextInitStatesFailedWide)) return 0;
      CurrentTransfer.store(kTransferMcu);
      return StartWorker(McuTransferJob) ? 1 : 0;
    case kJobDsp:
      if (!InitStatesOrSay(kTextInitStatesFailed)) return 0;
      CurrentTransfer.store(kTransferDsp);
      return StartWorker(DspTransferJob) ? 1 : 0;
    case kJobBluetooth: {
      // Without an update library the module could not be reached once the amp has handed
      // its link over ("UB" cannot be undone from here), so nothing is sent.
      if (!HaveDfuBackend()) {
        AppPrompter().ShowBox(BoxKind::Application, std::string(kTextBluetoothLibraryMissing) +
                                                        "\n" + NoDfuBackendReason());
        return 0;
      }
      // Nor with a library that did not return from a call: it is called no more.
      if (DfuLibraryStuck()) {
        AppPrompter().ShowBox(BoxKind::Application, DfuStuckText());
        return 0;
      }
      // Nor while another program uses the module: the job could not reach it.
      AmpLockAttempt claim = ClaimBluetoothModule();
      if (claim.outcome == AmpLockOutcome::HeldElsewhere) {
        AppPrompter().ShowBox(BoxKind::Application, ModuleInUseText(claim.holder));
        return 0;
      }
      HandModuleClaimToJob(std::move(claim.lock));
      const int started = StartBluetoothJob();
      if (!started) HandModuleClaimToJob(nullptr);
      return started;
    }
    case kJobBattery:
      if (!InitStatesOrSay(kTextInitStatesFailedWide)) return 0;
      return StartWorker(BatteryTransferJob) ? 1 : 0;
    case kJobAudio:
      if (!InitStatesOrSay(kTextInitStatesFailedWide)) return 0;
      return StartWorker(AudioTransferJob) ? 1 : 0;
    default:
      return 0;
  }
}

}  // namespace

bool JobInProgress() { return g_starting.load() > 0 || RunningWorkers() > 0; }

bool RunUnlessJobInProgress(const std::function<void()>& step) {
  std::lock_guard lock(g_jobGate);
  if (JobInProgress()) return false;
  step();
  return true;
}

int StartJob(JobOwner* owner, int kind) {
  const StartingScope starting;
  const JobFacts* job = JobFactsOfKind(kind & 0xFF);
  const std::string name =
      job ? std::string(job->name) + " job" : std::string("job kind ") + std::to_string(kind);
  SupportLog(name + " starting");
  const int started = StartKind(owner, kind);
  if (!started) SupportLog(name + " did not start");
  return started;
}

}  // namespace korva
