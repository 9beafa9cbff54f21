// What each job is called in the support log, how its counts read (the DSP job counts its
// header report too, so its counts run to one past the total it prepares the bar with), and
// whether it can stop between two reports when a front end asks it to.
#pragma once

namespace korva {

struct JobName {
  int kind;          // a JobKind
  int message;       // its WM_*_JOB
  const char* name;  // "MCU", "DSP", "BATTERY", "AUDIO", "BLUETOOTH"
  int extraCounts;   // counts beyond the prepared total
  bool stoppable;    // honours JobStopRequested (the Bluetooth module's update runs inside its
                     // library, which cannot be stopped part-way)
};

// The entry of a job kind, or of the message a job posts; nullptr for an unknown one.
const JobName* JobNameOfKind(int kind);
const JobName* JobNameOfMessage(int message);

}  // namespace korva
