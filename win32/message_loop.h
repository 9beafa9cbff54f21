// The GUI thread's message loop, and what it does with each message before dispatching it. A
// held key presses nothing: Return, Space, Escape and the Alt keys act only on a fresh press,
// never on the automatic repeats of a key held down, which Windows marks with the key's
// previous state (bit 30 of the key message). So Return held on the welcome window opens the
// main window and stops there, and a box or prompt that opens meanwhile takes nothing from it.
// The system's own modal loops (message boxes, the file dialog) are held to the same rule by a
// message filter hook.
#pragma once

#include <windows.h>

#include <functional>

namespace korva::win32 {

// True for the automatic repeat of a key that presses a button or ends a window.
bool IsHeldKeyRepeat(const MSG& message);

// What a loop does when the thread is asked to quit (WM_QUIT): a modal window's loop stops (and
// posts WM_QUIT again for the loop around it); a window that waits for its job's end holds the
// request until that end, since the job reports to the window.
enum class OnQuit { Stop, HoldUntilDone };

// Runs the thread's messages until `done` holds (checked after each message). Keyboard
// messages go to the dialog they are for (Tab, Return, Escape, arrow keys), minus held keys.
// Returns false when it stopped for WM_QUIT.
bool RunMessagesUntil(const std::function<bool()>& done, OnQuit onQuit = OnQuit::Stop);

// While it lives, the system's modal loops on this thread drop held keys too.
class HeldKeyFilter {
 public:
  HeldKeyFilter();
  ~HeldKeyFilter();
  HeldKeyFilter(const HeldKeyFilter&) = delete;
  HeldKeyFilter& operator=(const HeldKeyFilter&) = delete;

 private:
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
  HHOOK hook_;
};

}  // namespace korva::win32
