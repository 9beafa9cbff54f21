// The way back to a front end's GUI thread, which each face gives the shared window layer: Qt
// queues a call to an object of that thread, Win32 posts a message to a window of it, the
// tests queue it for their own thread. Everything that a worker thread hands to the windows
// goes through a face's queue; the windows themselves never see a thread.
#pragma once

#include <functional>

namespace korva::dialogs {

class GuiQueue {
 public:
  virtual ~GuiQueue() = default;
  // Any thread: runs `call` on the GUI thread later, after every call posted before it, and
  // returns at once. A call still queued when the face's queue goes away is dropped unrun.
  virtual void Post(std::function<void()> call) = 0;
};

}  // namespace korva::dialogs
