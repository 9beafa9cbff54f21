// How the terminal front end follows each kind of job: the job message it posts, its names,
// how its progress counts, and whether it can be stopped between two reports.
#pragma once

namespace korva::cli {

struct JobTraits {
  int kind;
  int message;        // WM_*_JOB
  const char* name;   // "job" in JSON: "MCU", "DSP", "BATTERY", "AUDIO", "BLUETOOTH"
  const char* label;  // the start of its progress lines
  int extraReports;   // reports counted beyond the prepared total (the DSP header report)
  bool percentOnly;   // progress is a percentage, not a count of reports (the Bluetooth module)
  bool stoppable;     // honours a stop request between two reports
};

// The traits of a job kind; an unknown kind gets the MCU job's.
const JobTraits& TraitsOf(int kind);

}  // namespace korva::cli
