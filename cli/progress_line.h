// How one job's progress is drawn: a live bar line for a terminal, or a plain line per 10%
// step for a log or a pipe.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "cli/reporter.h"

namespace korva::cli {

// "m:ss", or "h:mm:ss" from an hour on.
std::string FormatDuration(std::int64_t ms);
// The time left at the pace so far; nothing before the first report.
std::optional<std::int64_t> RemainingMs(const JobProgress& progress);
// Label, bar, percentage, reports sent of all, elapsed and remaining time (a job that reports
// only a percentage: label, bar, percentage and elapsed time), in fewer than
// `columns` characters (the bar shrinks first, then the line is cut), so that it never wraps.
std::string ProgressBarLine(const JobProgress& progress, int columns);
// "MCU firmware: 10% (76/752 reports, 0:01 elapsed)".
std::string ProgressStepLine(const JobProgress& progress);
// The 10% step that a progress has reached: 0 to 10.
int ProgressStep(const JobProgress& progress);

}  // namespace korva::cli
