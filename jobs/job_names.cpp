// The table of job names.
#include "jobs/job_names.h"

#include "jobs/job_messages.h"

namespace korva {
namespace {

constexpr JobName kJobNames[] = {
    {kJobMcu, WM_MCU_JOB, "MCU", 0, true},
    {kJobDsp, WM_DSP_JOB, "DSP", 1, true},
    {kJobBattery, WM_BATTERY_JOB, "BATTERY", 0, true},
    {kJobAudio, WM_AUDIO_JOB, "AUDIO", 0, true},
    {kJobBluetooth, WM_BLUETOOTH_JOB, "BLUETOOTH", 0, false},
};

}  // namespace

const JobName* JobNameOfKind(int kind) {
  for (const JobName& job : kJobNames) {
    if (job.kind == kind) return &job;
  }
  return nullptr;
}

const JobName* JobNameOfMessage(int message) {
  for (const JobName& job : kJobNames) {
    if (job.message == message) return &job;
  }
  return nullptr;
}

}  // namespace korva
