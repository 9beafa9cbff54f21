// How the terminal front end follows each kind of job: the job message it posts, its names,
// how its progress counts, whether it can be stopped between two reports, and its words when
// the user presses Ctrl-C while it writes.
#pragma once

namespace korva::cli {

// What an interrupt says while a job writes (interrupt_policy.h puts the words together).
struct InterruptWords {
  const char* goesOn;     // the first press: what stopping would leave behind
  const char* confirmed;  // the second press within 3 seconds ("%s": what asked)
  const char* stopped;    // after a job that was stopped (nothing for a job that cannot stop)
};

struct JobTraits {
  int kind;
  int message;        // WM_*_JOB
  const char* name;   // "job" in JSON: "MCU", "DSP", "BATTERY", "AUDIO", "BLUETOOTH"
  const char* label;  // the start of its progress lines
  int extraReports;   // reports counted beyond the prepared total (the DSP header report)
  long fixedTotal;    // the total when it is known before the job prepares its bar (else 0): the
                      // audio and Bluetooth jobs can fail before they prepare it
  bool percentOnly;   // progress is a percentage, not a count of reports (the Bluetooth module)
  bool stoppable;     // honours a stop request between two reports
  const InterruptWords& words;
};

// The traits of a job kind; an unknown kind gets the MCU job's.
const JobTraits& TraitsOf(int kind);

}  // namespace korva::cli
