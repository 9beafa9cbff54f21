// The two ways in which another thread hands work to a window's thread: queued (returns at
// once) and blocking (returns when the work has run there). Qt carries both through its event
// queue under locks of its own, which ThreadSanitizer cannot see (the distribution's Qt is not
// built with it); these functions tell it where the hand-off happens, so that what one thread
// wrote before the hand-off counts as seen by the work on the other side, and back again.
// Everything that goes from a job thread to a window goes through here.
#pragma once

#include <functional>

class QObject;

namespace korva::qt {

// Runs `work` on the thread of `context`, later, in order with the other work posted there.
void PostToThreadOf(QObject* context, std::function<void()> work);

// Runs `work` on the thread of `context` and returns when it has run (at once, in place, when
// called on that thread).
void RunOnThreadOf(QObject* context, const std::function<void()>& work);

}  // namespace korva::qt
