// The support log's account of a job.
#include "jobs/job_report.h"

#include <string>

#include "jobs/job_facts.h"
#include "support/support_log.h"

namespace korva {
namespace {

// Progress is logged at every tenth of the job.
constexpr int kLoggedSteps = 10;

std::string Name(int message) {
  const JobFacts* job = JobFactsOfMessage(message);
  return job ? job->name : std::string("job ") + std::to_string(message);
}

int ExtraCounts(int message) {
  const JobFacts* job = JobFactsOfMessage(message);
  return job ? job->extraCounts : 0;
}

}  // namespace

void JobReport::NotePrepared(int total) {
  total_ = total + ExtraCounts(message_);
  if (!SupportLogging()) return;
  SupportLog(Name(message_) + " job: " + std::to_string(total_) + " to send");
}

void JobReport::NoteProgress(long count) {
  lastCount_ = count;
  if (!SupportLogging()) return;
  const int percent = ProgressPercent(count, total_);
  const int tenths = percent * kLoggedSteps / 100;
  if (tenths <= loggedTenths_) return;
  loggedTenths_ = tenths;
  SupportLog(Name(message_) + " job: " + std::to_string(percent) + " % (" + std::to_string(count) +
             " of " + std::to_string(total_) + ")");
}

void JobReport::NoteEnd(int wParam, long count) {
  if (!SupportLogging()) return;
  const std::string counts = std::to_string(count) + " of " + std::to_string(total_);
  SupportLog(Name(message_) + (wParam == JOB_DONE ? " job done: " : " job failed: count ") +
             counts);
}

}  // namespace korva
