// StartJob: owner, "INITSTA", CurrentTransfer, worker thread.
#include "jobs/start_job.h"

#include "device/command_protocol.h"
#include "device/link_mode.h"
#include "jobs/firmware_jobs.h"
#include "jobs/job_messages.h"
#include "jobs/job_state.h"
#include "jobs/job_texts.h"
#include "jobs/prompter.h"
#include "jobs/service_jobs.h"
#include "jobs/worker.h"

namespace korva {
namespace {

// "INITSTA" before every job; the box says so when the device does not take it.
bool InitStatesOrSay(const char* failureText) {
  if (InitStates()) return true;
  AppPrompter().ShowBox(BoxKind::Application, failureText);
  return false;
}

}  // namespace

int StartJob(JobOwner* owner, int kind) {
  CurrentJobOwner.store(owner);
  JobStatus.store(kJobRunning);
  JobStopRequested.store(false);
  switch (kind & 0xFF) {
    case kJobMcu:
      if (!InitStatesOrSay(kTextInitStatesFailedWide)) return 0;
      CurrentTransfer.store(kTransferMcu);
      StartWorker(McuTransferJob);
      return 1;
    case kJobDsp:
      if (!InitStatesOrSay(kTextInitStatesFailed)) return 0;
      CurrentTransfer.store(kTransferDsp);
      StartWorker(DspTransferJob);
      return 1;
    case kJobBluetooth:
      // Already handed over to the module: no "INITSTA", no switch, straight to the update.
      if (LinkMode.load() == kLinkBluetooth) {
        StartWorker(BluetoothUpdateJob);
        return 1;
      }
      if (!InitStatesOrSay(kTextInitStatesFailedWide)) return 0;
      if (SwitchLinkToBluetooth()) return 1;
      JobStatus.store(kJobFailedStatus);
      return 0;
    case kJobBattery:
      if (!InitStatesOrSay(kTextInitStatesFailedWide)) return 0;
      StartWorker(BatteryTransferJob);
      return 1;
    case kJobAudio:
      if (!InitStatesOrSay(kTextInitStatesFailedWide)) return 0;
      StartWorker(AudioTransferJob);
      return 1;
    default:
      return 0;
  }
}

}  // namespace korva
