// Job messages, progress-bar preparation and the slot text, handed to the window's thread.
#include "qt/window_job_owner.h"

#include <QCoreApplication>
#include <algorithm>

#include "qt/job_event.h"
#include "qt/thread_handoff.h"

namespace korva::qt {

QEvent::Type JobEvent::EventType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

void WindowJobOwner::PostJobMessage(int message, int wParam, long lParam) {
  // Queued to the window's thread in the order the job posts; the event itself is made and
  // sent there, so that nothing of it is shared between the threads.
  QObject* window = window_;
  PostToThreadOf(window, [window, message, wParam, lParam] {
    JobEvent event(message, wParam, lParam);
    QCoreApplication::sendEvent(window, &event);
  });
}

void WindowJobOwner::PrepareProgressBar(int total) {
  // A job with nothing to send announces a total of 0; a range of 0..0 would turn the bar
  // into a busy indicator, so such a bar gets a range of one step.
  OnWindowThread([this, total] {
    preparedTotal_ = total;
    bar_->setRange(0, std::max(total, 1));
    bar_->setValue(0);
  });
}

std::string WindowJobOwner::SlotIndexText() {
  std::string text;
  if (slotIndexSource_) OnWindowThread([this, &text] { text = slotIndexSource_(); });
  return text;
}

void WindowJobOwner::OnWindowThread(const std::function<void()>& work) {
  RunOnThreadOf(window_, work);
}

}  // namespace korva::qt
