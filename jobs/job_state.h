// State shared by the dispatcher, the running job and the windows. Two threads touch it, so
// every value is atomic; the order of the program's steps keeps them from racing in meaning.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "jobs/job_owner.h"
#include "jobs/job_owner_link.h"

namespace korva {

// The owner of the current job; set by every StartJob call. A job takes the owner's link from
// here when it begins, and reaches its owner through that link only. Its members are named
// after the atomic's, whose place it takes.
class JobOwnerSlot {
 public:
  void store(JobOwner* owner);
  // The owner, while its link is not cut; nullptr otherwise.
  JobOwner* load() const;
  // The owner's link (a cut one when there is no owner).
  std::shared_ptr<JobOwnerLink> link() const;

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<JobOwnerLink> link_;
};
extern JobOwnerSlot CurrentJobOwner;
// The kind of the job that StartJob was last asked for (its low byte); -1 before the first.
extern std::atomic<int> StartedJobKind;
// 0 idle, 1 starting or running, 2 ended well, -1 failed (see job_messages.h).
extern std::atomic<int> JobStatus;
// 1 MCU or 2 DSP while the main window's job runs; cleared by that window.
extern std::atomic<std::uint8_t> CurrentTransfer;

// Data reports of the running job: the divisor of its owner's percentage.
extern std::atomic<int> McuReportTotal;
extern std::atomic<int> DspReportTotal;
extern std::atomic<int> BatteryReportTotal;
extern std::atomic<int> AudioReportTotal;

// Set by a front end that must end the running job early (the user insisted on stopping).
// The MCU, DSP, battery and audio jobs test it before each data report and then end as after a
// failed write: JOB_FAILED with the count sent so far. The Bluetooth job cannot honour it: its
// update runs inside the module's library, which has no way to stop it. The front end that sets
// it clears it when its command starts and ends; a job that has not written yet when it is set
// writes nothing at all (PassWriteGate).
extern std::atomic<bool> JobStopRequested;
void RequestJobStop();  // notes the request in the support log too

// Whether anything has been written to the amp (or its Bluetooth module) in a front end's
// command. A front end that lets the user stop before anything is written closes the gate;
// every job, and the Bluetooth link switch, passes it right before its first report, and one
// that finds it closed ends at once with JOB_FAILED 0 having written nothing. The two sides
// meet in one atomic exchange, so a stop is either in time or finds the job writing, never
// lost in between. The window program never closes it.
enum WriteGateState : int { kGateOpen = 0, kGateWriting = 1, kGateClosed = 2 };
extern std::atomic<int> WriteGate;
// The job's side, right before its first write: true when it may write (the gate was open, or
// an earlier job of the command has written already and no stop is requested).
bool PassWriteGate();
// The front end's side: closes the gate while nothing has been written; false once a job has
// begun writing.
bool CloseWriteGate();
// A front end's command begins or ends: nothing written, nothing requested.
void ResetStopRequests();

void ResetJobState();

}  // namespace korva
