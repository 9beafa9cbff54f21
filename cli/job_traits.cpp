// The terminal front end's words for each job.
#include "cli/job_traits.h"

#include "cli/messages.h"
#include "jobs/job_messages.h"

namespace korva::cli {
namespace {

constexpr InterruptWords kFirmwareWords{kTextFirmwareGoesOn, kTextStopping, kTextStopped};
constexpr InterruptWords kAudioWords{kTextAudioGoesOn, kTextStoppingAudio, kTextStoppedAudio};
// The module's update runs inside its library and cannot be stopped from outside.
constexpr InterruptWords kModuleWords{kTextModuleCannotStop, kTextWaitingForModule, nullptr};

}  // namespace

const JobFacts& FactsOf(int kind) {
  const JobFacts* facts = JobFactsOfKind(kind);
  return facts ? *facts : *JobFactsOfKind(kJobMcu);
}

const InterruptWords& InterruptWordsOf(int kind) {
  switch (kind) {
    case kJobAudio:
      return kAudioWords;
    case kJobBluetooth:
      return kModuleWords;
    default:
      return kFirmwareWords;
  }
}

}  // namespace korva::cli
