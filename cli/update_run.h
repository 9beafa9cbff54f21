// The jobs of one update of the main road, one after the other, with its texts.
#pragma once

#include <vector>

#include "cli/cli.h"
#include "cli/interrupt_policy.h"
#include "cli/reporter.h"
#include "jobs/job_messages.h"

namespace korva::cli {

// Runs `jobs` in order and returns the exit code; every job thread has ended on return.
int RunUpdateJobs(Environment& env, Reporter& reporter, InterruptPolicy& policy,
                  const std::vector<JobKind>& jobs);

}  // namespace korva::cli
