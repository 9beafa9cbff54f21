// The two-press rule for Ctrl-C.
#include "cli/interrupt_policy.h"

namespace korva::cli {

InterruptPolicy::Action InterruptPolicy::OnInterrupt(std::int64_t nowMs) {
  if (warnedAtMs_ && nowMs - *warnedAtMs_ <= kConfirmStopWithinMs) return Action::Stop;
  warnedAtMs_ = nowMs;
  return Action::Warn;
}

}  // namespace korva::cli
