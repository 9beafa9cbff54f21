// Helpers for the Windows window tests, which run under Wine (its null graphics driver: the
// windows exist and draw into memory, no display is needed). The windows are made from their
// templates in this process and driven by messages as a user drives them: button clicks, list
// choices, tab changes, keys. Message boxes are Windows' own and the file dialog is the
// system's, answered from a timer while they run their modal loops; what they said is recorded.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "device/hid_transport.h"
#include "dialogs/device_thread.h"
#include "dialogs/main_road.h"
#include "tests/shared/test_support.h"
#include "win32/gui_thread.h"
#include "win32/message_box_prompter.h"
#include "win32/update_dlg.h"
#include "win32/wide_text.h"

namespace korva::testing {

// Runs the thread's messages (as the program's loop does, held keys aside) until `done` holds,
// looking after each message; false after `timeoutMs` of real time.
inline bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 30000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  MSG message;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
      continue;
    }
    HWND root = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
    if (root && IsDialogMessageW(root, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return true;
}

// Runs what is queued now (and what that queues), then returns.
inline void Pump() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

inline std::string TextOf(HWND window) { return win32::Utf8(win32::WindowText(window)); }
inline std::string ItemText(HWND dialog, int id) { return TextOf(GetDlgItem(dialog, id)); }
inline bool ItemEnabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)); }

// A click as the user makes it: the button's own BM_CLICK (a disabled button takes none).
inline void Click(HWND dialog, int id) {
  HWND button = GetDlgItem(dialog, id);
  ASSERT_NE(button, nullptr) << "no control " << id;
  if (IsWindowEnabled(button)) SendMessageW(button, BM_CLICK, 0, 0);
}

// Runs `act` once from a timer, inside whatever modal loop the thread runs by then; or, with
// Repeating, runs `until` every `afterMs` until it returns true.
class Later {
 public:
  struct Repeating {};
  explicit Later(std::function<void()> act, UINT afterMs = 10);
  Later(Repeating, std::function<bool()> until, UINT afterMs);
  ~Later();
  Later(const Later&) = delete;
  Later& operator=(const Later&) = delete;

 private:
  static void CALLBACK OnTimer(HWND, UINT, UINT_PTR id, DWORD);
  std::function<bool()> act_;  // true: done
  UINT everyMs_;
  UINT_PTR timer_;
};

// Runs `act` on the window that `find` finds, once it is up (looked for every 10 ms, inside
// whatever modal loop the thread runs by then).
class WhenUp {
 public:
  WhenUp(std::function<HWND()> find, std::function<void(HWND)> act)
      : later_(
            Later::Repeating{},
            [find = std::move(find), act = std::move(act)] {
              HWND window = find();
              if (window) act(window);
              return window != nullptr;
            },
            10) {}

 private:
  Later later_;
};

// The visible top-level window of this thread that has control `id` (a dialog of ours, told
// apart from the others by a control only it has), or with `caption`; null when none.
HWND FindDialogWith(int id);
HWND FindWindowCalled(const std::string& caption);

// A message box or another system dialog that was up, as it looked, and how it was answered.
struct SeenDialog {
  std::string caption;
  std::string text;          // a message box's text
  bool exclamation = false;  // a message box with an icon (the application box)
  HWND owner = nullptr;
};

// The thread's modal windows, answered from a timer that looks for them every few
// milliseconds: every message box is recorded and closed with OK (after `whileBoxOpen`, if
// set); file dialogs get the next answer queued by ChooseFile or CancelFileDialog.
class ModalAnswerer {
 public:
  ModalAnswerer();
  ~ModalAnswerer();
  ModalAnswerer(const ModalAnswerer&) = delete;
  ModalAnswerer& operator=(const ModalAnswerer&) = delete;

  std::vector<SeenDialog> Boxes() const { return boxes_; }
  std::vector<std::string> BoxTexts() const;
  // Answers for the file dialogs to come, in order.
  void ChooseFile(const std::string& path) { fileAnswers_.push_back(path); }
  void CancelFileDialog() { fileAnswers_.push_back({}); }
  int FileDialogsSeen() const { return fileDialogs_; }
  // The file dialog's filter list and first file name, as the dialog showed them.
  std::vector<std::string> fileDialogTitles;

  // Runs when a message box is found, before it is answered (the box is open meanwhile).
  std::function<void(const SeenDialog&)> whileBoxOpen;

 private:
  static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
  void Look();
  bool AnswerBox(HWND box);
  bool AnswerFileDialog(HWND dialog);

  UINT_PTR timer_;
  std::vector<SeenDialog> boxes_;
  std::deque<std::string> fileAnswers_;
  int fileDialogs_ = 0;
  bool looking_ = false;
};

// Virtual time, the virtual amp, the device thread and the real message boxes.
class Win32WindowTest : public KorvaTest {
 protected:
  Win32WindowTest() {
    dialogs::ResetMainRoadState();
    // The tests deliver the poll's ticks themselves (WM_TIMER).
    win32::UpdateDlg::SetPollPeriodForTests(kNoTickMs);
    SetAppPrompter(&boxes);
  }
  ~Win32WindowTest() override {
    SetAppPrompter(nullptr);
    win32::UpdateDlg::SetPollPeriodForTests(0);
  }

  // Until the device thread has made every call the windows asked for and its results have
  // been shown.
  void Settle() {
    ASSERT_TRUE(PumpUntil([&] { return device.Idle(); })) << "the device thread is stuck";
    Pump();
  }

  // The main update window as "Enter" opens it, with LinkMode as the welcome window's probe
  // left it, its opening steps made.
  std::unique_ptr<win32::UpdateDlg> OpenMainWindow() {
    LinkMode.store(IsDevicePresent() ? kLinkHid : kLinkNone);
    auto window = std::make_unique<win32::UpdateDlg>(device);
    EXPECT_TRUE(window->Create(nullptr));
    ShowWindow(window->Handle(), SW_SHOW);
    Settle();
    return window;
  }

  // One tick of the running poll, made and shown.
  void Tick(win32::UpdateDlg& window) {
    WaitForWorkers();
    Settle();
    ASSERT_TRUE(window.Window().PollArmed()) << "the poll is stopped";
    SendMessageW(window.Handle(), WM_TIMER, win32::UpdateDlg::kPollTimer, 0);
    Settle();
  }

  // Until the window's update (started already) has ended and its job threads have returned.
  void WaitForRoad(win32::UpdateDlg& window) {
    ASSERT_TRUE(PumpUntil([&] { return !window.Window().UpdateRunning(); }));
    WaitForWorkers();
    Settle();
  }

  static constexpr int kNoTickMs = 3600 * 1000;
  win32::GuiThread gui;
  win32::MessageBoxPrompter boxes{gui};
  ModalAnswerer modal;
  // Destroyed before the virtual amp and the GUI queue: its thread may be using them.
  dialogs::DeviceThread device{gui};
};

}  // namespace korva::testing
