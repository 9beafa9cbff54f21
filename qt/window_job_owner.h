// The JobOwner port for a window: job messages become JobEvents that the window receives on its
// own thread, in order, and the progress bar is prepared there while the job thread waits. A
// service page also gives its job the inputs it asks for: the slot index text (read on the window's
// thread) and the chosen file's path and name (set before the job starts, unchanged while it runs).
#pragma once

#include <QProgressBar>
#include <functional>
#include <string>

#include "jobs/job_owner.h"

namespace korva::qt {

class WindowJobOwner final : public JobOwner {
 public:
  // `window` receives the events; `bar` is the progress bar that the jobs prepare.
  WindowJobOwner(QObject* window, QProgressBar* bar) : window_(window), bar_(bar) {}
  ~WindowJobOwner() override { CutJobLink(); }

  void PostJobMessage(int message, int wParam, long lParam) override;
  void PrepareProgressBar(int total) override;
  std::string SlotIndexText() override;
  std::string StoredFileName() override { return fileName_; }
  std::string StoredFilePath() override { return filePath_; }

  // The total of the last prepared bar: the divisor of the window's percentage. Read on the
  // window's thread.
  int PreparedTotal() const { return preparedTotal_; }

  // Window thread, while no job runs.
  void SetSlotIndexSource(std::function<std::string()> source) {
    slotIndexSource_ = std::move(source);
  }
  void SetStoredFile(std::string path, std::string name) {
    filePath_ = std::move(path);
    fileName_ = std::move(name);
  }

 private:
  // Runs `work` on the window's thread and returns when it has run.
  void OnWindowThread(const std::function<void()>& work);

  QObject* window_;
  QProgressBar* bar_;
  int preparedTotal_ = 0;
  std::function<std::string()> slotIndexSource_;
  std::string filePath_;
  std::string fileName_;
};

}  // namespace korva::qt
