// The windows' way to the amp. Presence tests, "INITSTA", "RV", the update library's probe and
// the start of a job can each block for seconds on a slow bus or a silent amp, so a window
// never makes them on the GUI thread: it hands them to its device port, which runs them one at
// a time, in the order asked, off the GUI thread, and hands each result back on the GUI thread.
// A result whose window has gone by then is dropped.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

namespace korva::dialogs {

// A window's life as its device calls see it: the results of its calls come back only while
// the window that made them lives. Each window holds one and lets it go as it goes.
class WindowLife {
 public:
  std::weak_ptr<const void> Watch() const { return token_; }

 private:
  std::shared_ptr<const int> token_ = std::make_shared<const int>(0);
};

class DevicePort {
 public:
  virtual ~DevicePort() = default;

  // GUI thread: runs `work` on the device thread after every call asked for before it, then
  // `done` on the GUI thread, unless `receiver` has expired by then. `done` may be empty.
  virtual void Call(std::weak_ptr<const void> receiver, std::function<void()> work,
                    std::function<void()> done) = 0;

  // GUI thread: as Call, with the result of `work` handed to `done` on the GUI thread.
  template <typename Work, typename Done>
  void Run(const WindowLife& life, Work work, Done done) {
    using Result = std::invoke_result_t<Work&>;
    if constexpr (std::is_void_v<Result>) {
      Call(life.Watch(), std::move(work), std::move(done));
    } else {
      // Written on the device thread before the hand-back, read on the GUI thread after it.
      auto result = std::make_shared<std::optional<Result>>();
      Call(
          life.Watch(), [work = std::move(work), result]() mutable { result->emplace(work()); },
          [done = std::move(done), result]() mutable { done(std::move(**result)); });
    }
  }
  // GUI thread: a call whose end nobody waits for.
  void Run(std::function<void()> work) { Call({}, std::move(work), {}); }
};

}  // namespace korva::dialogs
