// The single entry point of every job: records the owner, has the device initialise its
// states and starts the job's thread.
#pragma once

#include <functional>

#include "jobs/job_owner.h"

namespace korva {

// Returns 1 when the job's thread was started, 0 otherwise. Runs on the caller's (UI) thread
// and blocks for "INITSTA" (and, for the Bluetooth job, for the link switch, over three
// seconds). On a failed "INITSTA" it shows its own application box; for an
// unknown kind, or when the system gives no thread for the job, it returns 0 silently (the
// caller's own failure message follows; after the Bluetooth link switch the switch's
// JOB_FAILED 0 is posted too). The caller resets JobStatus after a 0.
// The Bluetooth job refuses with an application box of its own when no update library is
// loaded, before it sends anything to the amp.
int StartJob(JobOwner* owner, int kind);

// True from the start of StartJob until the job's thread has returned.
bool JobInProgress();
// Runs `step` (a window's own device traffic, such as a probe) unless a job is in progress,
// and holds back a StartJob of another thread until it has run. False when nothing ran.
bool RunUnlessJobInProgress(const std::function<void()>& step);

}  // namespace korva
