// The way back to the GUI thread on Windows: a message-only window of that thread, to which any
// thread posts calls (the device port's results, the virtual bus's device changes) or sends
// them and waits (a job that prepares its window's bar or asks for a box). The window's
// messages are dispatched by every message loop of the thread, the system's modal ones (a
// message box, the file dialog) among them.
#pragma once

#include <windows.h>

#include <functional>
#include <mutex>

#include "dialogs/gui_queue.h"

namespace korva::win32 {

class GuiThread final : public dialogs::GuiQueue {
 public:
  // On the GUI thread.
  GuiThread();
  // Drops the calls still queued, unrun.
  ~GuiThread() override;
  GuiThread(const GuiThread&) = delete;
  GuiThread& operator=(const GuiThread&) = delete;

  // Any thread: runs `call` on the GUI thread later, in the order posted.
  void Post(std::function<void()> call) override;
  // Any thread: runs `call` on the GUI thread and returns when it has run (in place on it).
  void Run(const std::function<void()>& call);

  bool OnGuiThread() const { return GetCurrentThreadId() == threadId_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND window_ = nullptr;
  DWORD threadId_;
  std::mutex mutex_;  // posts against the window's end
};

}  // namespace korva::win32
