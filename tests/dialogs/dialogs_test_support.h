// The shared window layer's tests without a toolkit: the test's own thread plays the GUI thread
// and takes the calls handed back to it from a queue; recording faces keep what each window
// told them (its display strings, the texts on its controls, enabled controls, focus, bar,
// lamp, timer) and answer its prompts and file dialogs from a script. Virtual time and the
// virtual KORVA come from the shared fixture.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>

#include "dialogs/device_thread.h"
#include "dialogs/gui_queue.h"
#include "dialogs/main_road.h"
#include "tests/shared/test_support.h"

namespace korva::testing {

// The GUI thread's queue: calls posted from any thread, run by the test's thread when it pumps.
class TestGui final : public dialogs::GuiQueue {
 public:
  void Post(std::function<void()> call) override {
    {
      std::lock_guard lock(mutex_);
      calls_.push_back(std::move(call));
    }
    posted_.notify_all();
  }
  // Runs the posted calls, waiting for more, until `done` holds; false after 30 s of real time.
  // `done` is looked at again after each call and every millisecond meanwhile, since other
  // threads may make it hold without posting anything.
  bool PumpUntil(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::function<void()> call;
      {
        std::unique_lock lock(mutex_);
        if (!posted_.wait_for(lock, std::chrono::milliseconds(1), [&] { return !calls_.empty(); }))
          continue;
        call = std::move(calls_.front());
        calls_.pop_front();
      }
      call();
    }
    return true;
  }
  // Runs what has been posted so far.
  void RunPosted() {
    for (;;) {
      std::function<void()> call;
      {
        std::lock_guard lock(mutex_);
        if (calls_.empty()) return;
        call = std::move(calls_.front());
        calls_.pop_front();
      }
      call();
    }
  }
  bool OnGuiThread() const { return std::this_thread::get_id() == gui_; }

 private:
  const std::thread::id gui_ = std::this_thread::get_id();
  std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<std::function<void()>> calls_;
};

// A face with the route of a window's jobs: messages queued to the test's thread, where they
// reach the window's step and then the face's copy of its texts; blocking calls wait there.
template <typename Face, typename Window>
class RoutedFace : public Face {
 public:
  explicit RoutedFace(TestGui& gui) : gui_(gui) {}

  void PostJobMessage(int message, int wParam, long lParam) override {
    gui_.Post([this, alive = std::weak_ptr<const int>(alive_), message, wParam, lParam] {
      if (alive.expired() || !window) return;
      if (beforeMessage) beforeMessage(message, wParam, lParam);
      window->OnJobMessage(message, wParam, lParam);
      this->CopyTexts();
      if (afterMessage) afterMessage(message, wParam, lParam);
    });
  }
  void RunOnWindowThread(const std::function<void()>& call) override {
    if (gui_.OnGuiThread()) {
      call();
      return;
    }
    std::mutex mutex;
    std::condition_variable ran;
    bool done = false;
    gui_.Post([&] {
      call();
      std::lock_guard lock(mutex);
      done = true;
      ran.notify_all();
    });
    std::unique_lock lock(mutex);
    ran.wait(lock, [&] { return done; });
  }

  Window* window = nullptr;
  // Around the window's handling of each job message, on the test's thread.
  std::function<void(int message, int wParam, long lParam)> beforeMessage;
  std::function<void(int message, int wParam, long lParam)> afterMessage;

 private:
  TestGui& gui_;
  std::shared_ptr<const int> alive_ = std::make_shared<const int>(0);
};

// A script of answers for a face's prompts or file dialogs; a question without an answer fails
// the test.
template <typename Answer>
class Answers {
 public:
  void Add(Answer answer) { answers_.push_back(std::move(answer)); }
  Answer Next(const char* what) {
    if (answers_.empty()) {
      ADD_FAILURE() << "a " << what << " that the test did not expect";
      return Answer{};
    }
    Answer answer = std::move(answers_.front());
    answers_.pop_front();
    return answer;
  }
  bool Empty() const { return answers_.empty(); }

 private:
  std::deque<Answer> answers_;
};

// Resets the windows' state and runs a device thread that hands back to the test's thread.
class DialogsTest : public KorvaTest {
 protected:
  DialogsTest() { dialogs::ResetMainRoadState(); }

  // The device thread has made every call asked of it, and its results have been handed back.
  void Settle() {
    ASSERT_TRUE(gui.PumpUntil([&] { return device.Idle(); })) << "stuck";
  }

  TestGui gui;
  // Destroyed before the virtual amp: its thread may be using it.
  dialogs::DeviceThread device{gui};
};

}  // namespace korva::testing
