// The interrupt rules, their words, and the stop requests they lead to.
#include "cli/interrupt_policy.h"

#include <utility>

#include "cli/job_traits.h"
#include "cli/messages.h"
#include "jobs/job_messages.h"
#include "jobs/job_state.h"

namespace korva::cli {
namespace {

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
  if (stoppedBeforeWriting_ || stopConfirmed_ || waitingForModule_)
    return;  // said and done already
  if (CloseWriteGate()) {
    stoppedBeforeWriting_ = true;
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
    // The module's library cannot be stopped part-way; the program waits for its end either way.
    waitingForModule_ = true;
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
