// A job's side of the message protocol: progress messages, then exactly one final message.
// Every job reports through it, so it also keeps the support log's account of each job: its
// total, its progress at every 10 %, and its end or failure with the count. Each line is
// written before the message it describes is posted: the owner may end the program as soon as
// the final message arrives. The owner is reached through its link, taken when the job begins:
// an owner that has gone receives nothing.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>

#include "device/protocol.h"
#include "jobs/job_messages.h"
#include "jobs/job_state.h"

namespace korva {

class JobReport {
 public:
  explicit JobReport(int message) : owner_(CurrentJobOwner.link()), message_(message) {}

  void PrepareProgressBar(int total) {
    NotePrepared(total);
    owner_->With([total](JobOwner& owner) { owner.PrepareProgressBar(total); });
  }
  // The owner's answers to the audio and Bluetooth jobs' questions; empty once it has gone.
  std::string SlotIndexText() { return Ask(&JobOwner::SlotIndexText); }
  std::string StoredFileName() { return Ask(&JobOwner::StoredFileName); }
  std::string StoredFilePath() { return Ask(&JobOwner::StoredFilePath); }
  void Progress(long value) {
    NoteProgress(value);
    Post(JOB_PROGRESS, value);
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
    Post(JOB_DONE, 0);
    return 1;
  }
  // JOB_FAILED with the count; JobStatus is left as the job set it. Returns 0.
  int Failed(long count) {
    NoteEnd(JOB_FAILED, count);
    Post(JOB_FAILED, count);
    return 0;
  }
  // JobStatus -1, then JOB_FAILED with the count. Returns 0.
  int FailedWithStatus(long count) {
    JobStatus.store(kJobFailedStatus);
    return Failed(count);
  }

 private:
  void Post(int wParam, long lParam) {
    owner_->With([&](JobOwner& owner) { owner.PostJobMessage(message_, wParam, lParam); });
  }
  std::string Ask(std::string (JobOwner::*question)()) {
    std::string answer;
    owner_->With([&](JobOwner& owner) { answer = (owner.*question)(); });
    return answer;
  }
  void NotePrepared(int total);
  void NoteProgress(long count);
  void NoteEnd(int wParam, long count);

  std::shared_ptr<JobOwnerLink> owner_;
  int message_;
  long total_ = 0;      // counts at the end of the job (the DSP job's header report included)
  long lastCount_ = 0;  // the last progress count
  int loggedTenths_ = 0;
};

}  // namespace korva
