// The interrupt rules, their words, and the stop requests they lead to.
#include "cli/interrupt_policy.h"

#include <utility>

#include "cli/job_traits.h"
#include "cli/messages.h"
#include "device/hid_dfu.h"
#include "jobs/job_messages.h"
#include "jobs/job_state.h"

namespace korva::cli {
namespace {

// A call into the update library that has not returned for this long is not a module at work
// but a library that hangs: a program asked to end stops waiting for it.
constexpr std::int64_t kDfuUnansweredMs = 2000;

const char* CauseName(Interrupt cause) {
  switch (cause) {
    case Interrupt::Terminate:
      return "SIGTERM";
    case Interrupt::HangUp:
      return "SIGHUP";
    default:
      return "Ctrl-C";
  }
}

// `format` with its one "%s" replaced by `value`.
std::string Filled(const char* format, const char* value) {
  std::string text = format;
  if (const std::size_t at = text.find("%s"); at != std::string::npos) text.replace(at, 2, value);
  return text;
}

}  // namespace

std::string InterruptWarning(int kind, Interrupt cause) {
  std::string text;
  if (cause != Interrupt::CtrlC) text = Filled(kTextAskedToEnd, CauseName(cause)) + "\n";
  text += InterruptWordsOf(kind).goesOn;
  if (FactsOf(kind).stoppable) {
    text += "\n";
    text += cause == Interrupt::CtrlC ? kTextInsistByCtrlC : kTextInsistBySignal;
  }
  return text;
}

std::string InterruptConfirmation(int kind, Interrupt cause) {
  return Filled(InterruptWordsOf(kind).confirmed, CauseName(cause));
}

InterruptPolicy::InterruptPolicy(const Clock& clock) : clock_(clock), kind_(kJobMcu) {
  ResetStopRequests();
}

InterruptPolicy::~InterruptPolicy() { ResetStopRequests(); }

void InterruptPolicy::SetJob(int kind) {
  std::lock_guard lock(mutex_);
  kind_ = kind;
}

void InterruptPolicy::OnInterrupt(Interrupt cause) {
  std::lock_guard lock(mutex_);
  // The update library may never return from a call: a program waiting on one that hangs stops
  // waiting (the call then fails, and the user hears what that leaves the module with).
  const std::int64_t waited = DfuCallWaitedMs();
  if (waited >= kDfuUnansweredMs) StopWaitingForDfuCall();
  if (stoppedBeforeWriting_ || stopConfirmed_ || waitingForModule_)
    return;  // said and done already
  if (CloseWriteGate()) {
    stoppedBeforeWriting_ = true;
    if (waited >= 0) StopWaitingForDfuCall();  // nothing written: nothing to wait for
    return;
  }
  if (rule_.OnRequest(clock_.NowMs()) == EndRequestRule::Verdict::Warn) {
    warnings_.push_back(InterruptWarning(kind_, cause));
    return;
  }
  if (FactsOf(kind_).stoppable) {
    stopConfirmed_ = true;
    RequestJobStop();
  } else {
    // The module's library cannot be stopped part-way; the program waits for its end, unless
    // the user insists while a call into the library has not returned.
    waitingForModule_ = true;
    if (waited >= 0) StopWaitingForDfuCall();
  }
  warnings_.push_back(InterruptConfirmation(kind_, cause));
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
