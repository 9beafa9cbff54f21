// Job messages, progress-bar preparation and the slot text, marshalled to the window's thread.
#include "ui/window_job_owner.h"

#include <QCoreApplication>
#include <QThread>
#include <algorithm>

#include "ui/job_event.h"

namespace korva::ui {

QEvent::Type JobEvent::EventType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

void WindowJobOwner::PostJobMessage(int message, int wParam, long lParam) {
  // postEvent is thread-safe and takes ownership of the event.
  QCoreApplication::postEvent(window_, new JobEvent(message, wParam, lParam));
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
  // Called on the window's own thread (a job run in place) the queue would deadlock.
  if (QThread::currentThread() == window_->thread()) {
    work();
  } else {
    QMetaObject::invokeMethod(window_, work, Qt::BlockingQueuedConnection);
  }
}

}  // namespace korva::ui
