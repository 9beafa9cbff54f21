// What every front end and the support log know of each job, in one table: its names, how its
// progress counts (the DSP job counts its header report too, so its counts run to one past the
// total it prepares the bar with), and whether it can stop between two reports when a front end
// asks it to.
#pragma once

namespace korva {

struct JobFacts {
  int kind;           // a JobKind
  int message;        // its WM_*_JOB
  const char* name;   // in the support log and in JSON: "MCU", "DSP", "BATTERY", "AUDIO", ...
  const char* label;  // what it writes, for a person: "MCU firmware", "Audio slot", ...
  int extraCounts;    // counts beyond the prepared total
  long fixedTotal;    // the total when it is known before the job prepares its bar (else 0): the
                      // audio and Bluetooth jobs can fail before they prepare it
  bool percentOnly;   // progress is a percentage, not a count of reports (the Bluetooth module)
  bool stoppable;     // honours JobStopRequested (the Bluetooth module's update runs inside its
                      // library, which cannot be stopped part-way)
};

// The entry of a job kind, or of the message a job posts; nullptr for an unknown one.
const JobFacts* JobFactsOfKind(int kind);
const JobFacts* JobFactsOfMessage(int message);

// A job's progress in whole percent: count × 100 / total, truncated, never above 100 (the DSP
// job counts its header report, so its last count is its total + 1), and 100 for a job that
// has no data report to send (a total of 0: nothing to divide by).
int ProgressPercent(long count, long total);

}  // namespace korva
