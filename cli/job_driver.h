// Jobs driven from the main thread: StartJob, then the job's events from the queue until its
// final message, with Ctrl-C watched in between and the job thread's boxes shown as they come.
// The main road and the service commands both run their jobs through it.
#pragma once

#include <functional>

#include "cli/cli.h"
#include "cli/interrupt_policy.h"
#include "cli/job_traits.h"
#include "cli/queue_owner.h"
#include "cli/reporter.h"
#include "cli/reporting_prompter.h"

namespace korva::cli {

class JobDriver {
 public:
  enum class Outcome { Done, Failed };

  JobDriver(Environment& env, Reporter& reporter) : env_(env), reporter_(reporter) {}
  // Counts Ctrl-C and shows the jobs' boxes while `body` runs; on return every job thread has
  // ended. Returns what `body` returns.
  int Execute(const std::function<int()>& body);
  // StartJob with this driver's queue as owner. On a refusal JobStatus is set back to 0, as
  // the windows do, and false returned.
  bool Start(int kind);
  // Follows the started job until its final message; JobStatus is then set back to 0.
  Outcome Follow(int kind);
  // Start and Follow, saying how a job that did not end well ended: `startFailedText` when it
  // could not start, `failedText` (after a note when the user stopped it) when it failed.
  // Returns kExitOk when the job ended well, kExitUpdateFailed otherwise.
  int Run(int kind, const char* startFailedText, const char* failedText);
  // The user insisted on stopping (a second Ctrl-C within 3 s during a job that can stop).
  bool Stopped() const { return stopped_; }
  QueueOwner& Owner() { return owner_; }

 private:
  void TakeInterrupts(const JobTraits& traits);

  Environment& env_;
  Reporter& reporter_;
  QueueOwner owner_{env_.clock};
  ReportingPrompter prompter_{reporter_, &owner_};
  InterruptPolicy policy_;
  bool stopped_ = false;
  bool waitingForModule_ = false;
};

}  // namespace korva::cli
