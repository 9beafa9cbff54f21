// The JobOwner port of a window: a job's messages go through the window face's route to the
// window's thread; the progress bar is prepared there, with the job's report total, while the
// job waits; the audio job's slot text is asked there. The chosen file's path and name are set
// before the job starts and stay unchanged while it runs.
#pragma once

#include <string>

#include "dialogs/job_route.h"
#include "jobs/job_owner.h"

namespace korva::dialogs {

// What the owner asks of its window, on the window's thread.
class JobWindow {
 public:
  virtual ~JobWindow() = default;
  // The job's start: range 0 to `total` (its data reports), position 0. The total is the
  // divisor of the window's percentage until the next job's start.
  virtual void OnPrepareProgressBar(int total) = 0;
  // The current text of the window's slot index list (the IR page).
  virtual std::string SlotIndexText() { return {}; }
};

class WindowJobOwner final : public JobOwner {
 public:
  WindowJobOwner(JobRoute& route, JobWindow& window) : route_(route), window_(window) {}
  ~WindowJobOwner() override { CutJobLink(); }

  void PostJobMessage(int message, int wParam, long lParam) override;
  void PrepareProgressBar(int total) override;
  std::string SlotIndexText() override;
  std::string StoredFileName() override { return fileName_; }
  std::string StoredFilePath() override { return filePath_; }

  // Window thread, while no job runs.
  void SetStoredFile(std::string path, std::string name) {
    filePath_ = std::move(path);
    fileName_ = std::move(name);
  }

 private:
  JobRoute& route_;
  JobWindow& window_;
  std::string filePath_;
  std::string fileName_;
};

// A window's progress bar as its running job prepared it: positions stay inside its range, and
// the percentage is taken over the job's own report total.
class JobProgress {
 public:
  // The bar's range for a job with `total` data reports: a job with nothing to send gets one
  // step, since a range of 0 to 0 is no bar (Qt draws it as a busy indicator).
  static int RangeFor(int total);

  void Prepare(int total) { total_ = total; }
  // Where the bar stands after `count` reports: never below 0 nor past its end (the DSP job
  // counts its header report too).
  int Position(long count) const;
  // The percentage label: "33%" (whole percent, truncated, 100 at most).
  std::string PercentText(long count) const;

 private:
  int total_ = 0;
};

}  // namespace korva::dialogs
