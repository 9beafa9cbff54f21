// Job messages handed to a window's thread.
#include "qt/job_event.h"

#include <QCoreApplication>

#include "qt/thread_handoff.h"

namespace korva::qt {

QEvent::Type JobEvent::EventType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

void PostJobEvent(QObject* window, int message, int wParam, long lParam) {
  // The event itself is made and sent on the window's thread, so that nothing of it is shared
  // between the threads.
  PostToThreadOf(window, [window, message, wParam, lParam] {
    JobEvent event(message, wParam, lParam);
    QCoreApplication::sendEvent(window, &event);
  });
}

}  // namespace korva::qt
