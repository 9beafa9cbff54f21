// What Windows is told while the program writes the amp (from an update's start until its last
// job has ended): the computer is kept from sleeping (SetThreadExecutionState, held by a thread
// of its own for as long as the update lasts, since the state belongs to the thread that set
// it and updates begin and end on different threads), and a shutdown or sign-out is held up:
// the program's windows refuse WM_QUERYENDSESSION and give Windows the reason to show,
// "Writing the amplifier's firmware" (ShutdownBlockReasonCreate).
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "jobs/update_scope.h"
#include "win32/gui_thread.h"

namespace korva::win32 {

// The program's inhibitor (SetSleepInhibitor): the awake thread, and the shutdown reason on
// the program's visible windows.
class WritingGuard final : public SleepInhibitor {
 public:
  // `gui` outlives the guard.
  explicit WritingGuard(GuiThread& gui) : gui_(gui) {}
  std::unique_ptr<Inhibition> Inhibit(std::string& problem) override;

 private:
  GuiThread& gui_;
};

// A window's answer to WM_QUERYENDSESSION: true (refuse) while an update is under way, with the
// reason given to Windows for this window.
bool RefuseEndOfSession(HWND window);

}  // namespace korva::win32
