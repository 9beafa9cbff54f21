// The device thread and the way its results come back to the GUI thread.
#include "dialogs/device_thread.h"

namespace korva::dialogs {

DeviceThread::DeviceThread(GuiQueue& gui) : gui_(gui), thread_([this] { Loop(); }) {}

DeviceThread::~DeviceThread() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    calls_.clear();
  }
  wake_.notify_all();
  thread_.join();
  *gone_ = true;
}

void DeviceThread::Call(std::weak_ptr<const void> receiver, std::function<void()> work,
                        std::function<void()> done) {
  ++*unfinished_;
  // Made, read and dropped on the GUI thread; the device thread only carries it.
  auto finish = [unfinished = unfinished_, gone = gone_, receiver = std::move(receiver),
                 done = std::move(done)] {
    --*unfinished;
    if (done && !*gone && !receiver.expired()) done();
  };
  {
    std::lock_guard lock(mutex_);
    calls_.push_back({std::move(work), std::move(finish)});
  }
  wake_.notify_one();
}

void DeviceThread::Loop() {
  for (;;) {
    Work call;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !calls_.empty(); });
      if (stopping_) return;
      call = std::move(calls_.front());
      calls_.pop_front();
    }
    call.work();
    // What the call holds (its result among it) is let go here, before the hand-off: after it
    // only the GUI thread touches the result. The queue outlives this thread.
    call.work = nullptr;
    gui_.Post(std::move(call.finish));
  }
}

}  // namespace korva::dialogs
