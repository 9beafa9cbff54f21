// The JobOwner port for a window: job messages become posted JobEvents, and the progress bar
// is prepared on the window's thread while the job thread waits for it.
#pragma once

#include <QProgressBar>

#include "jobs/job_owner.h"

namespace korva::ui {

class WindowJobOwner final : public JobOwner {
 public:
  // `window` receives the events; `bar` is the progress bar that the jobs prepare.
  WindowJobOwner(QObject* window, QProgressBar* bar) : window_(window), bar_(bar) {}

  void PostJobMessage(int message, int wParam, long lParam) override;
  void PrepareProgressBar(int total) override;

 private:
  QObject* window_;
  QProgressBar* bar_;
};

}  // namespace korva::ui
