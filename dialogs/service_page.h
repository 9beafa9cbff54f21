// What every service page does, without a toolkit: the file chosen with "Browse", "Upgrade"
// with its checks and the start of the page's job, and following that job with the bar and
// the percent label to its final box. A page acts on its job's messages only while that job
// runs, and on each one once, also when it arrives while one of the page's boxes is open: the
// final box comes first, the reset after it. The firmware, IR and Bluetooth pages add their
// own checks (firmware_page.h, ir_page.h, bluetooth_page.h).
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "device/amp_lock.h"
#include "dialogs/device_port.h"
#include "dialogs/file_filter.h"
#include "dialogs/job_route.h"
#include "dialogs/window_job_owner.h"
#include "jobs/service_texts.h"
#include "jobs/update_scope.h"

namespace korva::dialogs {

// The page's texts beside the file path: the percent label and, on the firmware pages, the
// chosen file's version ("V 1.39" or "ERROR!").
enum class PageText { Percent, UpdateVersion };
// SlotList: the IR page's index list, locked with the buttons while the job runs.
enum class PageControl { Browse, Upgrade, SlotList };

// What a service page asks of its face, on the GUI thread. Texts are the program's bytes.
class PageFace : public JobRoute {
 public:
  // The file-open dialog with `filter`: the chosen file's full path as the file system takes
  // it, or nothing when the user cancelled.
  virtual std::optional<std::string> ChooseFile(const FileFilter& filter) = 0;
  // Display strings, copied to their controls before the page's next message (where they
  // differ) or at CopyTexts. The path is shown as the file system names it.
  virtual void SetFilePath(const std::string& path) = 0;
  virtual void SetText(PageText text, const std::string& bytes) = 0;
  virtual void CopyTexts() = 0;
  // The bar's range 0 to `maximum`, position 0.
  virtual void SetProgressRange(int maximum) = 0;
  virtual void SetProgress(int position) = 0;
  virtual void Enable(PageControl control, bool enabled) = 0;
  virtual void Focus(PageControl control) = 0;
};

class ServicePage : private JobWindow {
 public:
  ~ServicePage() override;
  ServicePage(const ServicePage&) = delete;
  ServicePage& operator=(const ServicePage&) = delete;

  // The page's steps, each called by the face on the GUI thread. "Browse" and "Upgrade" do
  // nothing while the page waits for the device port.
  void OnBrowse();
  void OnUpgrade();
  // A job message, before the face's copy of the display strings.
  void OnJobMessage(int message, int wParam, long lParam);

  // From the start of "Upgrade"'s first call to the device port until the job's final box has
  // been closed and the page reset (or the start given up).
  bool JobRunning() const { return jobRunning_ || deviceStep_; }
  // Called on every change of JobRunning (the page host follows it).
  void SetJobStateListener(std::function<void()> listener) { listener_ = std::move(listener); }
  // The job kind that the page starts.
  int JobKind() const { return texts_.kind; }

 protected:
  // Made once the face's controls exist: sets the percent label to "0%".
  ServicePage(PageFace& face, DevicePort& device, int jobKind);

  virtual void Browse() = 0;
  virtual void Upgrade() = 0;
  // What a page adds to following its job: each progress value once the bar shows it, the
  // moment before the final box opens, and the moment after the box, when the page is reset.
  virtual void OnJobProgress(long /*value*/) {}
  virtual void OnJobEnding() {}
  virtual void OnJobEnded() {}
  // A page's own controls that are locked with "Browse" and "Upgrade" while its job runs.
  virtual void EnableOwnControls(bool /*enabled*/) {}

  // Shows the file dialog with `filter`; false when the user cancelled. Keeps the chosen path.
  bool ChooseFile(const FileFilter& filter);
  const std::string& FilePath() const { return filePath_; }

  // The presence test on the device port: `next` gets its answer on the GUI thread.
  void TestDevicePresent(std::function<void(bool present)> next);
  // The presence test, then `next` when the amp is there, else the page box "Please Connect
  // Device!".
  void ContinueIfDevicePresent(std::function<void()> next);
  // Disables the page's controls and starts its job, which may read the chosen file's path and
  // name. When it cannot start: the page's start-failure box, JobStatus 0, the controls enabled
  // again. When another program holds the amp's lock: a page box naming it, and nothing is
  // sent.
  void StartPageJob();

  // A page box, owned by the page's window, and an application box.
  static void ShowPageBox(const std::string& text);
  static void ShowApplicationBox(const std::string& text);

  PageFace& face_;
  DevicePort& device_;
  WindowLife life_;

 private:
  void OnPrepareProgressBar(int total) override;
  void ActOnJobMessage(int wParam, long lParam);
  // StartJob's answer, back from the device port.
  void OnStartAnswered(bool started, const std::string& inUseText);
  // The final box, then the page back to idle.
  void FinishJob(const char* text, bool succeeded);
  void EnableControls(bool enabled);
  void SetJobRunning(bool running);
  void SetDeviceStep(bool inProgress);

  const ServiceJobTexts& texts_;
  WindowJobOwner owner_;
  JobProgress progress_;
  std::string filePath_;
  bool jobRunning_ = false;
  std::unique_ptr<UpdateScope> underWay_;  // from the start until the job's final message
  std::unique_ptr<AmpLock> ampLock_;       // the same
  bool takingMessages_ = false;            // the job runs and its final message has not come yet
  bool deviceStep_ = false;                // a presence test or StartJob is on the device port
  bool starting_ = false;                  // StartJob is; a failure waits for its answer
  std::optional<long> heldFailure_;        // the lParam of a failure that came before its answer
  std::function<void()> listener_;
};

}  // namespace korva::dialogs
