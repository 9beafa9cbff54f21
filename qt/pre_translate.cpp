// The windows' step before each event.
#include "qt/pre_translate.h"

#include <QCoreApplication>
#include <QWidget>

#include "qt/job_event.h"

namespace korva::qt {

PreTranslateFilter::PreTranslateFilter(QWidget* window,
                                       std::function<void(const JobEvent&)> onJobMessage,
                                       std::function<void()> updateData)
    : window_(window), onJobMessage_(std::move(onJobMessage)), updateData_(std::move(updateData)) {
  QCoreApplication::instance()->installEventFilter(this);
}

PreTranslateFilter::~PreTranslateFilter() { QCoreApplication::instance()->removeEventFilter(this); }

bool PreTranslateFilter::eventFilter(QObject* watched, QEvent* event) {
  auto* widget = qobject_cast<QWidget*>(watched);
  if (widget && (widget == window_ || window_->isAncestorOf(widget))) {
    if (watched == window_ && event->type() == JobEvent::EventType()) {
      onJobMessage_(static_cast<const JobEvent&>(*event));
    }
    updateData_();
  }
  return false;  // never consumed: the event goes on to its receiver
}

}  // namespace korva::qt
