// A job message as a Qt event: the message number (WM_MCU_JOB ...), wParam and lParam,
// posted by the job thread to the window that started the job.
#pragma once

#include <QEvent>

namespace korva::qt {

class JobEvent final : public QEvent {
 public:
  JobEvent(int message, int wParam, long lParam)
      : QEvent(EventType()), message_(message), wParam_(wParam), lParam_(lParam) {}

  static QEvent::Type EventType();

  int Message() const { return message_; }
  int WParam() const { return wParam_; }
  long LParam() const { return lParam_; }

 private:
  int message_;
  int wParam_;
  long lParam_;
};

}  // namespace korva::qt
