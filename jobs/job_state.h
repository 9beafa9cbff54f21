// State shared by the dispatcher, the running job and the windows. Two threads touch it, so
// every value is atomic; the order of the program's steps keeps them from racing in meaning.
#pragma once

#include <atomic>
#include <cstdint>

#include "jobs/job_owner.h"

namespace korva {

// The owner of the current job; set by every StartJob call.
extern std::atomic<JobOwner*> CurrentJobOwner;
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
// update runs inside the module's library, which has no way to stop it. StartJob clears it, so
// a request never outlives its job.
extern std::atomic<bool> JobStopRequested;
void RequestJobStop();  // notes the request in the support log too

void ResetJobState();

}  // namespace korva
