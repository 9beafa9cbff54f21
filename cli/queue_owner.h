// The terminal front end's job owner. The job thread posts its messages into a thread-safe
// queue and returns at once; the main thread takes them out in order. Preparing the progress
// bar is a queued event too, but the job thread waits until the main thread has handled it,
// as a synchronous window message would make it wait.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

#include "jobs/job_owner.h"

namespace korva::cli {

struct OwnerEvent {
  bool prepare = false;  // PrepareProgressBar(total): lParam holds the total
  int message = 0;
  int wParam = 0;
  long lParam = 0;
};

class QueueOwner final : public JobOwner {
 public:
  void PostJobMessage(int message, int wParam, long lParam) override;
  void PrepareProgressBar(int total) override;

  // Main thread: the next event, or nothing when none came within `timeout`.
  std::optional<OwnerEvent> Next(std::chrono::milliseconds timeout);
  // Main thread: the last prepare event has been handled; its job thread goes on.
  void PrepareHandled();

 private:
  void Push(const OwnerEvent& event);

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<OwnerEvent> events_;
  long preparesPosted_ = 0;
  long preparesHandled_ = 0;
};

}  // namespace korva::cli
