// Jobs driven from the main thread: StartJob, then the job's events from the queue until its
// final message, with the warnings of Ctrl-C and the job thread's boxes shown as they come.
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

  JobDriver(Environment& env, Reporter& reporter, InterruptPolicy& policy)
      : env_(env), reporter_(reporter), policy_(policy) {}
  // Shows the jobs' boxes and holds the update's scope (the lock against sleep and shutdown)
  // while `body` runs; on return every job thread has ended. Returns what `body` returns.
  int Execute(const std::function<int()>& body);
  // StartJob with this driver's queue as owner. On a refusal JobStatus is set back to 0, as
  // the windows do, and false returned.
  bool Start(int kind);
  // Follows the started job until its final message; JobStatus is then set back to 0.
  Outcome Follow(int kind);
  // Start and Follow, and the result of a job that did not end well: stopped before anything
  // was written, stopped by the user while it wrote (`failedText` after the job's note),
  // `startFailedText` when it could not start, `failedText` when it failed. A job is not
  // started once the user has stopped the command. Returns kExitOk when the job ended well.
  int Run(int kind, const char* startFailedText, const char* failedText);
  QueueOwner& Owner() { return owner_; }

 private:
  // The warnings of Ctrl-C that came since the last call.
  void ReportWarnings();
  int Result(int exitCode, const char* text);

  Environment& env_;
  Reporter& reporter_;
  InterruptPolicy& policy_;
  QueueOwner owner_{env_.clock};
  ReportingPrompter prompter_{reporter_, &owner_};
};

}  // namespace korva::cli
