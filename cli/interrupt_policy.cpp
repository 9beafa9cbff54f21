// The interrupt rules, and the stop requests they lead to.
#include "cli/interrupt_policy.h"

#include <utility>

#include "cli/job_traits.h"
#include "jobs/job_messages.h"
#include "jobs/job_state.h"

namespace korva::cli {

InterruptPolicy::InterruptPolicy(const Clock& clock) : clock_(clock), kind_(kJobMcu) { ResetStopRequests(); }

InterruptPolicy::~InterruptPolicy() { ResetStopRequests(); }

void InterruptPolicy::SetJob(int kind) {
  std::lock_guard lock(mutex_);
  kind_ = kind;
}

void InterruptPolicy::OnInterrupt() {
  std::lock_guard lock(mutex_);
  if (stoppedBeforeWriting_ || stopConfirmed_ || waitingForModule_) return;  // said and done already
  if (CloseWriteGate()) {
    stoppedBeforeWriting_ = true;
    return;
  }
  const std::int64_t now = clock_.NowMs();
  const bool confirmed = warnedAtMs_ && now - *warnedAtMs_ <= kConfirmStopWithinMs;
  if (!confirmed) warnedAtMs_ = now;
  const JobTraits& traits = TraitsOf(kind_);
  if (!traits.stoppable) {
    // The module's library cannot be stopped part-way; the program waits for its end either way.
    waitingForModule_ = confirmed;
    warnings_.push_back(confirmed ? traits.words.confirmed : traits.words.warning);
  } else if (confirmed) {
    stopConfirmed_ = true;
    RequestJobStop();
    warnings_.push_back(traits.words.confirmed);
  } else {
    warnings_.push_back(traits.words.warning);
  }
}

std::vector<std::string> InterruptPolicy::TakeWarnings() {
  std::lock_guard lock(mutex_);
  return std::exchange(warnings_, {});
}

bool InterruptPolicy::StoppedBeforeWriting() const {
  std::lock_guard lock(mutex_);
  return stoppedBeforeWriting_;
}

bool InterruptPolicy::StopConfirmed() const {
  std::lock_guard lock(mutex_);
  return stopConfirmed_;
}

}  // namespace korva::cli
