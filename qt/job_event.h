// A job message as a Qt event: the message number (WM_MCU_JOB ...), wParam and lParam, posted
// by the job thread to the window that started it. The windows' faces route their jobs' calls
// so: the message as an event sent to the window on its thread, where the window's step before
// each event hands it to the shared layer.
#pragma once

#include <QEvent>
#include <functional>

class QObject;

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

// Any thread: the job message reaches `window` as a JobEvent on its thread, in the order
// posted; dropped when the window has gone by then.
void PostJobEvent(QObject* window, int message, int wParam, long lParam);

}  // namespace korva::qt
