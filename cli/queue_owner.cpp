// The queue between the job thread and the terminal's main thread.
#include "cli/queue_owner.h"

namespace korva::cli {

void QueueOwner::Push(const OwnerEvent& event) {
  {
    std::lock_guard lock(mutex_);
    events_.push_back(event);
    if (event.prepare) ++preparesPosted_;
  }
  changed_.notify_all();
}

void QueueOwner::PostJobMessage(int message, int wParam, long lParam) { Push({false, message, wParam, lParam}); }

void QueueOwner::PrepareProgressBar(int total) {
  Push({true, 0, 0, total});
  std::unique_lock lock(mutex_);
  const long ticket = preparesPosted_;
  changed_.wait(lock, [&] { return preparesHandled_ >= ticket; });
}

std::optional<OwnerEvent> QueueOwner::Next(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  if (!changed_.wait_for(lock, timeout, [&] { return !events_.empty(); })) return std::nullopt;
  OwnerEvent event = events_.front();
  events_.pop_front();
  return event;
}

void QueueOwner::PrepareHandled() {
  {
    std::lock_guard lock(mutex_);
    ++preparesHandled_;
  }
  changed_.notify_all();
}

}  // namespace korva::cli
