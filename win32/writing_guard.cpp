// Sleep and shutdown held off while the amp is written.
#include "win32/writing_guard.h"

#include <condition_variable>
#include <mutex>
#include <thread>

#include "jobs/logind_inhibit.h"
#include "win32/wide_text.h"

namespace korva::win32 {
namespace {

// Gives (or takes back) the shutdown reason on every visible window of the GUI thread.
void SetShutdownReasons(bool given) {
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM given) -> BOOL {
        if (given == 0) {
          ShutdownBlockReasonDestroy(window);
        } else if (IsWindowVisible(window)) {
          ShutdownBlockReasonCreate(window, Wide(kInhibitWhy).c_str());
        }
        return TRUE;
      },
      given ? 1 : 0);
}

class Held final : public Inhibition {
 public:
  explicit Held(GuiThread& gui) : gui_(gui) {
    std::unique_lock lock(mutex_);
    awake_ = std::thread([this] { KeepAwake(); });
    changed_.wait(lock, [this] { return state_ != State::Starting; });
    gui_.Post([] { SetShutdownReasons(true); });
  }
  ~Held() override {
    {
      std::lock_guard lock(mutex_);
      state_ = State::Ending;
    }
    changed_.notify_all();
    awake_.join();
    gui_.Post([] { SetShutdownReasons(false); });
  }
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;

  bool Awake() const { return awakeOk_; }

 private:
  enum class State { Starting, Holding, Ending };

  void KeepAwake() {
    const bool ok = SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED) != 0;
    std::unique_lock lock(mutex_);
    awakeOk_ = ok;
    state_ = State::Holding;
    changed_.notify_all();
    changed_.wait(lock, [this] { return state_ == State::Ending; });
    if (ok) SetThreadExecutionState(ES_CONTINUOUS);
  }

  GuiThread& gui_;
  std::mutex mutex_;
  std::condition_variable changed_;
  State state_ = State::Starting;
  bool awakeOk_ = false;
  std::thread awake_;
};

}  // namespace

std::unique_ptr<Inhibition> WritingGuard::Inhibit(std::string& problem) {
  auto held = std::make_unique<Held>(gui_);
  if (!held->Awake()) {
    problem = "SetThreadExecutionState failed";
    return nullptr;
  }
  return held;
}

bool RefuseEndOfSession(HWND window) {
  if (!UpdateUnderWay()) return false;
  ShutdownBlockReasonCreate(window, Wide(kInhibitWhy).c_str());
  return true;
}

}  // namespace korva::win32
