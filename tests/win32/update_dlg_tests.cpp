// The main update window's Windows face against the virtual amp: what reaches its controls,
// the poll on its window timer, the same-version prompt as a real modal dialog, the jobs'
// messages posted to its handle, and the end of the window and of the session refused while
// a job writes. What the window decides is tested once, in the shared layer's tests.
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

#include "jobs/job_messages.h"
#include "jobs/update_scope.h"
#include "jobs/update_texts.h"
#include "resources/windows/resource.h"
#include "tests/win32/win32_test_support.h"
#include "win32/message_loop.h"

namespace korva::testing {
namespace {

using win32::UpdateDlg;

class UpdateDlgTest : public Win32WindowTest {
 protected:
  std::string Text(int id) { return ItemText(window->Handle(), id); }
  int BarPosition() {
    return static_cast<int>(SendDlgItemMessageW(window->Handle(), IDC_PROGRESS, PBM_GETPOS, 0, 0));
  }
  int BarMaximum() {
    return static_cast<int>(
        SendDlgItemMessageW(window->Handle(), IDC_PROGRESS, PBM_GETRANGE, FALSE, 0));
  }
  HICON Lamp() {
    return reinterpret_cast<HICON>(
        SendDlgItemMessageW(window->Handle(), IDC_LAMP, STM_GETICON, 0, 0));
  }

  std::unique_ptr<UpdateDlg> window;
};

// The whole main road through the window's own controls: the carried firmware goes into the
// virtual amp, and the window ends as the user is told to go on.
TEST_F(UpdateDlgTest, MainRoadToSuccessThroughTheControls) {
  window = OpenMainWindow();
  HWND dialog = window->Handle();
  EXPECT_EQ(Text(IDC_USB_STATE), "Connected");
  EXPECT_EQ(Text(IDC_CURRENT_VERSION), "Ver1.36.192");
  EXPECT_EQ(Text(IDC_NEW_VERSION), "Ver1.38.250");
  EXPECT_EQ(Text(IDC_STATUS), kTextInitializing);  // neither part matches: left for the tick
  EXPECT_TRUE(ItemEnabled(dialog, IDOK));
  const HICON green = Lamp();
  EXPECT_NE(green, nullptr);

  Tick(*window);
  EXPECT_EQ(Text(IDC_STATUS), kTextClickUpdate);

  // Bar, percentage and status line between the jobs' messages: the bar's range is the job's
  // report total, and the label the whole percent of its position.
  Click(dialog, IDOK);
  EXPECT_FALSE(ItemEnabled(dialog, IDOK));
  EXPECT_FALSE(ItemEnabled(dialog, IDCANCEL));
  ASSERT_TRUE(PumpUntil([&] { return window->Window().UpdateRunning(); }));
  std::set<int> maxima;
  int samples = 0;
  ASSERT_TRUE(PumpUntil([&] {
    if (BarPosition() > 0) {
      ++samples;
      maxima.insert(BarMaximum());
      EXPECT_EQ(Text(IDC_PERCENT), std::to_string(BarPosition() * 100 / BarMaximum()) + "%");
      const std::string status = Text(IDC_STATUS);
      EXPECT_TRUE(status == kTextMcuUpdating || status == kTextDspUpdating) << status;
    }
    return !window->Window().UpdateRunning();
  }));
  WaitForRoad(*window);
  EXPECT_GT(samples, 0);
  EXPECT_EQ(maxima, (std::set<int>{752, static_cast<int>(kCarriedDspReports)}));  // MCU, then DSP
  EXPECT_EQ(Text(IDC_STATUS), kTextUpdateSucceeded);
  EXPECT_EQ(Text(IDC_PERCENT), " ");
  EXPECT_EQ(BarPosition(), 0);
  EXPECT_TRUE(ItemEnabled(dialog, IDOK));
  EXPECT_TRUE(ItemEnabled(dialog, IDCANCEL));
  EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDCANCEL));  // the user unplugs and leaves
  EXPECT_TRUE(modal.Boxes().empty());
  EXPECT_EQ(sim.korva.McuMemory(), CarriedMcuMemory());
  EXPECT_EQ(sim.korva.DspMemory(), CarriedDspMemory());
  EXPECT_TRUE(sim.korva.Violations().empty());
  // The poll runs again and keeps the success text while the amp stays.
  Tick(*window);
  EXPECT_EQ(Text(IDC_STATUS), kTextUpdateSucceeded);
}

// The prompt is dialog 157, run modally over the disabled main window, with "No" focused;
// "No" starts nothing, "Yes" the MCU job.
TEST_F(UpdateDlgTest, SameVersionPromptIsAModalDialogWithNoFocused) {
  sim.korva.SetVersions("1.38", "250");
  window = OpenMainWindow();
  HWND dialog = window->Handle();
  Tick(*window);
  EXPECT_EQ(Text(IDC_STATUS), kTextSameFirmware);

  for (int answer : {IDCANCEL, IDOK}) {
    std::string promptText;
    bool focusedNo = false;
    bool ownerDisabled = false;
    WhenUp answerPrompt([] { return FindDialogWith(IDC_PROMPT); },
                        [&](HWND prompt) {
                          promptText = ItemText(prompt, IDC_PROMPT);
                          focusedNo = GetFocus() == GetDlgItem(prompt, IDCANCEL);
                          ownerDisabled = !IsWindowEnabled(dialog);
                          Click(prompt, answer);
                        });
    const std::size_t writesBefore = sim.korva.Writes().size();
    Click(dialog, IDOK);
    Settle();
    EXPECT_EQ(promptText, kTextSameVersionPrompt);
    EXPECT_TRUE(focusedNo);
    EXPECT_TRUE(ownerDisabled);
    EXPECT_TRUE(IsWindowEnabled(dialog));
    if (answer == IDCANCEL) {
      EXPECT_FALSE(window->Window().UpdateRunning());
      EXPECT_TRUE(window->Window().PollArmed());
      EXPECT_EQ(sim.korva.Writes().size(), writesBefore);
    }
  }
  WaitForRoad(*window);
  EXPECT_EQ(Text(IDC_STATUS), kTextUpdateSucceeded);  // "Yes" ran the road
}

// Without the amp: red lamp, "Disconnected", "Update" disabled; an amp that goes after the
// window saw it gives "Update" a window box: the program's name as caption, no icon, owned by
// the main window.
TEST_F(UpdateDlgTest, AnAmpThatWentGivesAWindowBoxOwnedByTheMainWindow) {
  sim.korva.Unplug();
  window = OpenMainWindow();
  HWND dialog = window->Handle();
  EXPECT_EQ(Text(IDC_USB_STATE), "Disconnected");
  EXPECT_EQ(Text(IDC_STATUS), kTextConnectCable);
  EXPECT_FALSE(ItemEnabled(dialog, IDOK));
  const HICON red = Lamp();

  sim.korva.Plug();
  Tick(*window);
  EXPECT_EQ(Text(IDC_USB_STATE), "Connected");
  EXPECT_NE(Lamp(), red);
  EXPECT_TRUE(ItemEnabled(dialog, IDOK));

  sim.korva.Unplug();
  Click(dialog, IDOK);
  Settle();
  ASSERT_EQ(modal.Boxes().size(), 1u);
  const SeenDialog box = modal.Boxes()[0];
  EXPECT_EQ(box.text, kTextConnectCable);
  EXPECT_EQ(box.caption, win32::Utf8(win32::ProgramName()));
  EXPECT_FALSE(box.exclamation);
  EXPECT_EQ(box.owner, dialog);
  EXPECT_EQ(Text(IDC_STATUS), kTextConnectCable);
  Tick(*window);
  EXPECT_EQ(Lamp(), red);
}

// Return on the focused "Update" in the program's message loop: a held key's repeat presses
// nothing, a fresh press starts the update.
TEST_F(UpdateDlgTest, ReturnStartsTheUpdateOnAFreshPressOnly) {
  window = OpenMainWindow();
  HWND update = GetDlgItem(window->Handle(), IDOK);
  SetActiveWindow(window->Handle());
  ASSERT_EQ(GetFocus(), update);
  constexpr LPARAM kRepeat = LPARAM{1} << 30;
  // The key, then a call queued behind it: once that has run, the key has been dealt with.
  auto press = [&](LPARAM keyState) {
    PostMessageW(update, WM_KEYDOWN, VK_RETURN, keyState | 1);
    bool behind = false;
    gui.Post([&behind] { behind = true; });
    win32::RunMessagesUntil([&] { return behind; });
  };
  press(kRepeat);
  EXPECT_TRUE(ItemEnabled(window->Handle(), IDOK));  // "Update" disables itself when pressed
  EXPECT_FALSE(window->Window().UpdateRunning());
  press(0);
  EXPECT_FALSE(ItemEnabled(window->Handle(), IDOK));
  Settle();
  WaitForRoad(*window);
  EXPECT_EQ(Text(IDC_STATUS), kTextUpdateSucceeded);
}

// Another program's window in front of this thread's windows, for as long as it lives: a
// window of a thread of its own that takes the foreground.
class AnotherProgramInFront {
 public:
  AnotherProgramInFront()
      : thread_([this] {
          HWND front = CreateWindowExW(0, L"STATIC", L"another program", WS_POPUP | WS_VISIBLE, 0,
                                       0, 50, 50, nullptr, nullptr, nullptr, nullptr);
          SetForegroundWindow(front);
          inFront_ = true;
          MSG message;
          while (!done_) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
          }
          DestroyWindow(front);
        }) {}
  ~AnotherProgramInFront() {
    done_ = true;
    thread_.join();
  }
  bool InFront() const { return inFront_; }

 private:
  std::atomic<bool> inFront_{false};
  std::atomic<bool> done_{false};
  std::thread thread_;
};

// While another program is in front, a box still belongs to the window that the user works in:
// it keeps that window disabled until it is closed.
TEST_F(UpdateDlgTest, ABoxIsOwnedByTheWindowAlsoWhileAnotherProgramIsInFront) {
  window = OpenMainWindow();
  AnotherProgramInFront other;
  ASSERT_TRUE(PumpUntil([&] { return other.InFront() && GetActiveWindow() == nullptr; }, 5000))
      << "this window stays active while another thread's window is in front";
  bool ownerDisabledWhileUp = false;
  modal.whileBoxOpen = [&](const SeenDialog&) {
    ownerDisabledWhileUp = !IsWindowEnabled(window->Handle());
  };
  AppPrompter().ShowBox(BoxKind::Window, kTextConnectCable);
  ASSERT_EQ(modal.Boxes().size(), 1u);
  EXPECT_EQ(modal.Boxes()[0].owner, window->Handle());
  EXPECT_TRUE(ownerDisabledWhileUp);
}

// While a job writes: Exit is disabled, and Escape, the close box and the end of the Windows
// session are refused; the window that is destroyed meanwhile stays until the update's end,
// so the amp gets all of its firmware.
TEST_F(UpdateDlgTest, WhileAJobWritesTheWindowAndTheSessionStay) {
  HookedClock hooked(clock);
  Gate gate;
  std::atomic<int> pauses{0};
  std::atomic<bool> held{false};
  hooked.hook = [&] {
    if (++pauses != 200) return;
    held = true;
    gate.Pass();
  };
  SetProcessClock(&hooked);
  window = OpenMainWindow();
  HWND dialog = window->Handle();
  gate.Close();
  Click(dialog, IDOK);
  ASSERT_TRUE(PumpUntil([&] { return held.load(); }));

  SendMessageW(dialog, WM_CLOSE, 0, 0);
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);  // Escape's command
  EXPECT_FALSE(window->Ended());
  EXPECT_TRUE(IsWindowVisible(dialog));
  EXPECT_FALSE(SendMessageW(dialog, WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP));
  EXPECT_FALSE(ItemEnabled(dialog, IDCANCEL));

  Later openGate([&] { gate.Open(); }, 50);
  window.reset();  // waits for the road's end, taking the jobs' messages meanwhile
  WaitForWorkers();
  EXPECT_EQ(sim.korva.McuMemory(), CarriedMcuMemory());
  EXPECT_EQ(sim.korva.DspMemory(), CarriedDspMemory());
  EXPECT_FALSE(UpdateUnderWay());
  SetProcessClock(&clock);
}

}  // namespace
}  // namespace korva::testing
