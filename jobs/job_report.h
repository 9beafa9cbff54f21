// A job's side of the message protocol: progress messages, then exactly one final message.
// Every job reports through it, so it also keeps the support log's account of each job: its
// total, its progress at every 10 %, and its end or failure with the count. Each line is
// written before the message it describes is posted: the owner may end the program as soon as
// the final message arrives.
#pragma once

#include <atomic>
#include <cstddef>

#include "device/protocol.h"
#include "jobs/job_messages.h"
#include "jobs/job_state.h"

namespace korva {

class JobReport {
 public:
  explicit JobReport(int message) : owner_(CurrentJobOwner.load()), message_(message) {}

  JobOwner* Owner() const { return owner_; }
  void PrepareProgressBar(int total) {
    NotePrepared(total);
    owner_->PrepareProgressBar(total);
  }
  // The number of 64-byte data reports that carry `dataBytes`, published in the job's report
  // total (its owner's percentage divisor) before the owner's bar is prepared with it.
  int AnnounceReports(std::atomic<int>& reportTotal, std::size_t dataBytes) {
    const int total = static_cast<int>((dataBytes + kPayloadLength - 1) / kPayloadLength);
    reportTotal.store(total);
    PrepareProgressBar(total);
    return total;
  }
  void Progress(long value) {
    NoteProgress(value);
    owner_->PostJobMessage(message_, JOB_PROGRESS, value);
  }
  // True when the front end asked the job to end before its next report.
  bool StopRequested() const { return JobStopRequested.load(); }
  // Right before the job's first report: false when the front end has stopped its command
  // before anything was written, and the job must end without writing.
  bool PassWriteGate() const { return korva::PassWriteGate(); }

  // JobStatus 2, then JOB_DONE. Returns the job's success value, 1.
  int Done() {
    JobStatus.store(kJobSucceeded);
    NoteEnd(JOB_DONE, lastCount_);
    owner_->PostJobMessage(message_, JOB_DONE, 0);
    return 1;
  }
  // JOB_FAILED with the count; JobStatus is left as the job set it. Returns 0.
  int Failed(long count) {
    NoteEnd(JOB_FAILED, count);
    owner_->PostJobMessage(message_, JOB_FAILED, count);
    return 0;
  }
  // JobStatus -1, then JOB_FAILED with the count. Returns 0.
  int FailedWithStatus(long count) {
    JobStatus.store(kJobFailedStatus);
    return Failed(count);
  }

 private:
  void NotePrepared(int total);
  void NoteProgress(long count);
  void NoteEnd(int wParam, long count);

  JobOwner* owner_;
  int message_;
  long total_ = 0;      // counts at the end of the job (the DSP job's header report included)
  long lastCount_ = 0;  // the last progress count
  int loggedTenths_ = 0;
};

}  // namespace korva
