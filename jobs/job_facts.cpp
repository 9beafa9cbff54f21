// The table of job facts.
#include "jobs/job_facts.h"

#include <algorithm>

#include "device/protocol.h"
#include "jobs/job_messages.h"

namespace korva {
namespace {

// The slot's descriptor goes out before the samples' bar is prepared.
constexpr long kAudioReports = kSlotSampleLength / kPayloadLength;

constexpr JobFacts kJobFacts[] = {
    {kJobMcu, WM_MCU_JOB, "MCU", "MCU firmware", 0, 0, false, true},
    // The DSP job sends a header report before its data reports and counts it.
    {kJobDsp, WM_DSP_JOB, "DSP", "DSP firmware", 1, 0, false, true},
    {kJobBattery, WM_BATTERY_JOB, "BATTERY", "Battery firmware", 0, 0, false, true},
    {kJobAudio, WM_AUDIO_JOB, "AUDIO", "Audio slot", 0, kAudioReports, false, true},
    {kJobBluetooth, WM_BLUETOOTH_JOB, "BLUETOOTH", "Bluetooth firmware", 0, kDfuProgressEnded, true,
     false},
};

}  // namespace

const JobFacts* JobFactsOfKind(int kind) {
  for (const JobFacts& job : kJobFacts) {
    if (job.kind == kind) return &job;
  }
  return nullptr;
}

const JobFacts* JobFactsOfMessage(int message) {
  for (const JobFacts& job : kJobFacts) {
    if (job.message == message) return &job;
  }
  return nullptr;
}

int ProgressPercent(long count, long total) {
  if (total <= 0) return 100;  // nothing to send: all of it is done
  return static_cast<int>(std::clamp(count, 0L, total) * 100 / total);
}

}  // namespace korva
