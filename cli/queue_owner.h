// The terminal front end's job owner. The job thread posts its messages into a thread-safe
// queue and returns at once; the main thread takes them out in order. Preparing the progress
// bar and showing a box are queued events too, but the job thread waits until the main thread
// has handled them, as a synchronous window message or a message box would make it wait.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

#include "device/clock.h"
#include "jobs/job_owner.h"

namespace korva::cli {

struct OwnerEvent {
  enum class Type { Message, Prepare, Box };
  Type type = Type::Message;
  int message = 0;
  int wParam = 0;
  long lParam = 0;   // Prepare: the total
  std::string text;  // Box: its text
  // When the job thread posted it: the time a report left, however far behind the main thread
  // is in taking the events out.
  std::int64_t atMs = 0;
};

class QueueOwner final : public JobOwner {
 public:
  // `clock` stamps every event as it is posted.
  explicit QueueOwner(const Clock& clock) : clock_(clock) {}
  ~QueueOwner() override { CutJobLink(); }

  void PostJobMessage(int message, int wParam, long lParam) override;
  void PrepareProgressBar(int total) override;
  // Job thread: queues a box and returns once the main thread has shown it.
  void ShowBox(const std::string& text);

  // The inputs of the service jobs; set on the main thread before the job starts.
  void SetJobInputs(std::string slotText, std::string fileName, std::string filePath);
  std::string SlotIndexText() override { return slotText_; }
  std::string StoredFileName() override { return fileName_; }
  std::string StoredFilePath() override { return filePath_; }

  // Main thread: the next event, or nothing when none came within `timeout`.
  std::optional<OwnerEvent> Next(std::chrono::milliseconds timeout);
  // Main thread: the last Prepare or Box event has been handled; its job thread goes on.
  void Handled();

 private:
  void Push(OwnerEvent event);
  void PushAndWait(OwnerEvent event);

  const Clock& clock_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<OwnerEvent> events_;
  long waitsPosted_ = 0;
  long waitsHandled_ = 0;
  std::string slotText_;
  std::string fileName_;
  std::string filePath_;
};

}  // namespace korva::cli
