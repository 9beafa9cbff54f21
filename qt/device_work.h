// The windows' device thread. Presence tests, "INITSTA", "RV", the update library's probe and
// the start of a job can each block for seconds on a slow bus or a silent amp, so the windows
// never make them on the GUI thread: they hand them to this one worker, which runs them one
// at a time in the order asked, and gets each result back on the GUI thread as a queued call.
// A result whose window has gone by then is dropped.
#pragma once

#include <QObject>
#include <QPointer>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>

namespace korva::qt {

class DeviceWork final : public QObject {
 public:
  // Made on the GUI thread; starts the device thread.
  DeviceWork();
  // Drops the calls that have not started and waits for the one in progress.
  ~DeviceWork() override;
  DeviceWork(const DeviceWork&) = delete;
  DeviceWork& operator=(const DeviceWork&) = delete;

  // GUI thread: runs `work` on the device thread after every call asked for before it, then
  // `done` with its result on the GUI thread, unless `receiver` is gone by then.
  template <typename Work, typename Done>
  void Run(QObject* receiver, Work work, Done done) {
    using Result = std::invoke_result_t<Work&>;
    if constexpr (std::is_void_v<Result>) {
      Enqueue(receiver, std::move(work), std::move(done));
    } else {
      auto result = std::make_shared<std::optional<Result>>();
      Enqueue(
          receiver, [work = std::move(work), result]() mutable { result->emplace(work()); },
          [done = std::move(done), result]() mutable { done(std::move(**result)); });
    }
  }
  // GUI thread: a call whose end nobody waits for.
  void Run(std::function<void()> work) { Enqueue(nullptr, std::move(work), {}); }

  // GUI thread: nothing is queued, running, or waiting to be handed back. Tests wait for it.
  bool Idle() const { return unfinished_ == 0; }

 private:
  struct Call {
    std::function<void()> work;
    std::function<void()> finish;  // GUI thread, after `work`
  };

  void Enqueue(QObject* receiver, std::function<void()> work, std::function<void()> done);
  void Loop();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Call> calls_;
  bool stopping_ = false;
  int unfinished_ = 0;  // GUI thread only
  std::thread thread_;
};

// The program's device thread (not owned): installed by the program's start, and by tests.
DeviceWork& AppDeviceWork();
void SetAppDeviceWork(DeviceWork* work);

}  // namespace korva::qt
