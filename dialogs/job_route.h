// How a running job reaches the window that started it, given by that window's face. The job
// runs on a thread of its own; the face carries its calls to the window's thread: Qt as events
// queued to the window, Win32 as posted and sent window messages.
#pragma once

#include <functional>

namespace korva::dialogs {

class JobRoute {
 public:
  virtual ~JobRoute() = default;
  // Any thread: queues the job message to the window's thread and returns at once. There the
  // face hands it to the window's OnJobMessage, in the order posted, and then shows the window's
  // display strings (the window's step before each message it receives). A message for a
  // window that has gone is dropped.
  virtual void PostJobMessage(int message, int wParam, long lParam) = 0;
  // Any thread: runs `call` on the window's thread and returns when it has run (in place when
  // called on that thread).
  virtual void RunOnWindowThread(const std::function<void()>& call) = 0;
};

}  // namespace korva::dialogs
