// The device thread and the way its results come back to the GUI thread.
#include "qt/device_work.h"

#include <QThread>
#include <atomic>
#include <cassert>

#include "qt/thread_handoff.h"

namespace korva::qt {
namespace {
std::atomic<DeviceWork*> g_appDeviceWork{nullptr};
}  // namespace

DeviceWork::DeviceWork() : thread_([this] { Loop(); }) {}

DeviceWork::~DeviceWork() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    calls_.clear();
  }
  wake_.notify_all();
  thread_.join();
  // Results still queued to this object are dropped with it.
}

void DeviceWork::Enqueue(QObject* receiver, std::function<void()> work,
                         std::function<void()> done) {
  assert(QThread::currentThread() == thread());
  ++unfinished_;
  // The guard is made, read and cleared on the GUI thread; the device thread only carries it.
  auto finish = [this, guard = QPointer<QObject>(receiver), watched = receiver != nullptr,
                 done = std::move(done)] {
    if (done && (!watched || guard)) done();
    --unfinished_;
  };
  {
    std::lock_guard lock(mutex_);
    calls_.push_back({std::move(work), std::move(finish)});
  }
  wake_.notify_one();
}

void DeviceWork::Loop() {
  for (;;) {
    Call call;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !calls_.empty(); });
      if (stopping_) return;
      call = std::move(calls_.front());
      calls_.pop_front();
    }
    call.work();
    // What the call holds (its result among it) is let go here, before the hand-off: after
    // it only the GUI thread touches the result. `this` outlives the post: the destructor
    // joins this thread before the object goes.
    call.work = nullptr;
    PostToThreadOf(this, std::move(call.finish));
  }
}

DeviceWork& AppDeviceWork() {
  DeviceWork* work = g_appDeviceWork.load();
  assert(work && "no device thread installed");
  return *work;
}

void SetAppDeviceWork(DeviceWork* work) { g_appDeviceWork.store(work); }

}  // namespace korva::qt
