// The device port on a thread of its own: one worker that makes the windows' device calls in
// the order asked and hands each result back through the face's GUI queue. The same for every
// face; only the queue differs.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "dialogs/device_port.h"
#include "dialogs/gui_queue.h"

namespace korva::dialogs {

class DeviceThread final : public DevicePort {
 public:
  // GUI thread: starts the device thread; results go back through `gui`, which outlives this.
  explicit DeviceThread(GuiQueue& gui);
  // Drops the calls that have not started and waits for the one in progress. Results still
  // queued for the GUI thread are dropped when they come to run.
  ~DeviceThread() override;
  DeviceThread(const DeviceThread&) = delete;
  DeviceThread& operator=(const DeviceThread&) = delete;

  void Call(std::weak_ptr<const void> receiver, std::function<void()> work,
            std::function<void()> done) override;

  // GUI thread: nothing is queued, running, or waiting to be handed back. Tests wait for it.
  bool Idle() const { return *unfinished_ == 0; }

 private:
  struct Work {
    std::function<void()> work;
    std::function<void()> finish;  // GUI thread, after `work`
  };

  void Loop();

  GuiQueue& gui_;
  // Counted on the GUI thread; shared with the hand-backs, which may outlive this object.
  std::shared_ptr<int> unfinished_ = std::make_shared<int>(0);
  std::shared_ptr<bool> gone_ = std::make_shared<bool>(false);  // GUI thread only, likewise
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Work> calls_;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace korva::dialogs
