// The table of job traits.
#include "cli/job_traits.h"

#include "cli/messages.h"
#include "device/protocol.h"
#include "jobs/job_messages.h"

namespace korva::cli {
namespace {

constexpr InterruptWords kFirmwareWords{kTextFirmwareGoesOn, kTextStopping, kTextStopped};
constexpr InterruptWords kAudioWords{kTextAudioGoesOn, kTextStoppingAudio, kTextStoppedAudio};
constexpr InterruptWords kModuleWords{kTextModuleCannotStop, kTextWaitingForModule, nullptr};

constexpr long kAudioReports = kSlotSampleLength / kPayloadLength;

constexpr JobTraits kTraits[] = {
    {kJobMcu, WM_MCU_JOB, "MCU", "MCU firmware", 0, 0, false, true, kFirmwareWords},
    // The DSP job sends a header report before its data reports and counts it.
    {kJobDsp, WM_DSP_JOB, "DSP", "DSP firmware", 1, 0, false, true, kFirmwareWords},
    {kJobBattery, WM_BATTERY_JOB, "BATTERY", "Battery firmware", 0, 0, false, true, kFirmwareWords},
    // The slot's descriptor goes out before the samples' bar is prepared.
    {kJobAudio, WM_AUDIO_JOB, "AUDIO", "Audio slot", 0, kAudioReports, false, true, kAudioWords},
    // The module's update runs inside its library: it reports a percentage and cannot be
    // stopped from outside.
    {kJobBluetooth, WM_BLUETOOTH_JOB, "BLUETOOTH", "Bluetooth firmware", 0, kDfuProgressEnded, true,
     false, kModuleWords},
};

}  // namespace

const JobTraits& TraitsOf(int kind) {
  for (const JobTraits& traits : kTraits) {
    if (traits.kind == kind) return traits;
  }
  return kTraits[0];
}

}  // namespace korva::cli
