// The jobs of one update, one after the other, driven from the main thread: StartJob, then the
// job's messages from the queue until its final one, with Ctrl-C watched in between.
#pragma once

#include <vector>

#include "cli/cli.h"
#include "cli/interrupt_policy.h"
#include "cli/queue_owner.h"
#include "cli/reporter.h"
#include "jobs/job_messages.h"

namespace korva::cli {

class UpdateRun {
 public:
  UpdateRun(Environment& env, Reporter& reporter) : env_(env), reporter_(reporter) {}
  // Runs `jobs` in order and returns the exit code; every job thread has ended on return.
  int Execute(const std::vector<JobKind>& jobs);

 private:
  enum class Outcome { Done, Failed };
  int RunJobs(const std::vector<JobKind>& jobs);
  Outcome RunJob(JobKind kind);
  void TakeInterrupts();

  Environment& env_;
  Reporter& reporter_;
  QueueOwner owner_;
  InterruptPolicy policy_;
  bool stopped_ = false;
};

}  // namespace korva::cli
