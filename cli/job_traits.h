// How the terminal front end follows each kind of job: the job's facts, from the one table that
// the support log reads too (jobs/job_facts.h), and its words when the user presses Ctrl-C
// while it writes.
#pragma once

#include "jobs/job_facts.h"

namespace korva::cli {

// What an interrupt says while a job writes (interrupt_policy.h puts the words together).
struct InterruptWords {
  const char* goesOn;     // the first press: what stopping would leave behind
  const char* confirmed;  // the second press within 3 seconds ("%s": what asked)
  const char* stopped;    // after a job that was stopped (nothing for a job that cannot stop)
};

// The facts of a job kind; an unknown kind gets the MCU job's.
const JobFacts& FactsOf(int kind);
// The words of an interrupt during a job of `kind`.
const InterruptWords& InterruptWordsOf(int kind);

}  // namespace korva::cli
