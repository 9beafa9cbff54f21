// The queue between the job thread and the terminal's main thread.
#include "cli/queue_owner.h"

#include <utility>

namespace korva::cli {

void QueueOwner::Push(OwnerEvent event) {
  event.atMs = clock_.NowMs();
  {
    std::lock_guard lock(mutex_);
    if (event.type != OwnerEvent::Type::Message) ++waitsPosted_;
    events_.push_back(std::move(event));
  }
  changed_.notify_all();
}

void QueueOwner::PushAndWait(OwnerEvent event) {
  Push(std::move(event));
  std::unique_lock lock(mutex_);
  const long ticket = waitsPosted_;
  changed_.wait(lock, [&] { return waitsHandled_ >= ticket; });
}

void QueueOwner::PostJobMessage(int message, int wParam, long lParam) {
  Push({OwnerEvent::Type::Message, message, wParam, lParam, {}});
}

void QueueOwner::PrepareProgressBar(int total) {
  PushAndWait({OwnerEvent::Type::Prepare, 0, 0, total, {}});
}

void QueueOwner::ShowBox(const std::string& text) {
  PushAndWait({OwnerEvent::Type::Box, 0, 0, 0, text});
}

void QueueOwner::SetJobInputs(std::string slotText, std::string fileName, std::string filePath) {
  slotText_ = std::move(slotText);
  fileName_ = std::move(fileName);
  filePath_ = std::move(filePath);
}

std::optional<OwnerEvent> QueueOwner::Next(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  if (!changed_.wait_for(lock, timeout, [&] { return !events_.empty(); })) return std::nullopt;
  OwnerEvent event = std::move(events_.front());
  events_.pop_front();
  return event;
}

void QueueOwner::Handled() {
  {
    std::lock_guard lock(mutex_);
    ++waitsHandled_;
  }
  changed_.notify_all();
}

}  // namespace korva::cli
