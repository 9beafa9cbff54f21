// The single entry point of every job: records the owner, has the device initialise its
// states and starts the job's thread.
#pragma once

#include "jobs/job_owner.h"

namespace korva {

// Returns 1 when the job's thread was started, 0 otherwise. Runs on the caller's (UI) thread
// and blocks for "INITSTA" (and, for the Bluetooth job, for the link switch, over three
// seconds). On a failed "INITSTA" it shows its own application box; for an
// unknown kind it returns 0 silently. The caller resets JobStatus after a 0.
int StartJob(JobOwner* owner, int kind);

}  // namespace korva
