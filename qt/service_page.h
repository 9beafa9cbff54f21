// What every service page shares: the file path with "Browse" and "Upgrade", the progress bar
// and percent label of its job, and the way it follows that job. Its texts live in display
// strings that are copied to their controls, where they differ, before every event that the
// page or one of its controls receives; the page's job messages are handled just before that
// copy. A page acts on its job's messages only while that job runs, and on each one once,
// also when it arrives while one of the page's boxes is open: the final box comes first, the
// reset after it.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "device/amp_lock.h"
#include "jobs/service_texts.h"
#include "jobs/update_scope.h"
#include "qt/file_chooser.h"
#include "qt/screen_reader.h"
#include "qt/window_job_owner.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace korva::qt {

class JobEvent;
class PreTranslateFilter;

class CServicePageDlg : public QWidget {
 public:
  ~CServicePageDlg() override;
  CServicePageDlg(const CServicePageDlg&) = delete;
  CServicePageDlg& operator=(const CServicePageDlg&) = delete;

  // From the start of the page's job until its final box has been closed and the page reset,
  // and while "Upgrade" waits for the device thread.
  bool JobRunning() const { return m_jobRunning || m_deviceStep; }
  // Called on every change of JobRunning (the page host follows it).
  void SetJobStateListener(std::function<void()> listener) {
    m_jobStateListener = std::move(listener);
  }

  // The page's controls in the order the keyboard visits them: top to bottom, left to right.
  virtual std::vector<QWidget*> KeyboardOrder() const;
  // Gives the keyboard focus to what the user does first on this page.
  virtual void FocusFirstStep();

  // The pages' dialog templates are declared at this font size.
  static constexpr int kTemplatePointSize = 10;

 protected:
  CServicePageDlg(int jobKind, QWidget* parent);

  // After the template is set up: the controls that every page has, the conversion from dialog
  // units, Browse and Upgrade wired to their handlers, their Alt+letter keys (Alt+F goes to
  // the file path).
  void BindCommonControls(QProgressBar* progress, QPushButton* upgrade, QPushButton* browse,
                          QLineEdit* filePath, QLabel* percent);
  // A display string that the refresh copies into `label`.
  void BindText(QLabel* label, const QString* text);
  // `target` is called `caption` and the text of `source` for screen readers.
  void NameAfterCaption(QWidget* target, const QString& caption, const QLabel* source) {
    m_names.Add(target, caption, source);
  }
  // `key` with Alt moves the focus to `target`, as a label's underlined letter would.
  void FocusOnAltKey(Qt::Key key, QWidget* target);
  // A control that is disabled with "Browse" and "Upgrade" while the page's job runs.
  void LockWhileJobRuns(QWidget* control) { m_lockedWhileRunning.push_back(control); }

  virtual void OnBrowse() = 0;
  virtual void OnUpgrade() = 0;
  // What a page adds to following its job: each progress value once the bar shows it, the
  // moment before the final box opens, and the moment after the box when the page is reset.
  virtual void OnJobProgress(long /*value*/) {}
  virtual void OnJobEnding() {}
  virtual void OnJobEnded() {}

  // Shows the file dialog with `filter`; false when the user cancelled. Sets m_strFilePath.
  bool ChooseFile(const FileFilter& filter);
  // m_strFilePath as the file system takes it.
  std::string FilePathForOpening() const;

  // The two steps of "Upgrade" that talk to the amp, each on the device thread; "Browse" and
  // "Upgrade" do nothing while one is there. The presence test: `next` gets its answer on
  // this page's thread.
  void TestDevicePresent(std::function<void(bool present)> next);
  // The presence test, then `next` when the amp is there, else "Please Connect Device!".
  void ContinueIfDevicePresent(std::function<void()> next);
  // Disables "Browse" and "Upgrade" and starts the page's job, which may read the chosen file's
  // path and name. When it cannot start: the page's start-failure box, JobStatus 0, the buttons
  // enabled again. When another program holds the amp's lock: a page box naming it, and nothing
  // is sent.
  void StartPageJob();

  // A page box, owned by the page's window.
  static void ShowPageBox(const char* text);
  // An application box.
  static void ShowApplicationBox(const char* text);

  // Copies every display string into its control where they differ.
  void UpdateData();

  void keyPressEvent(QKeyEvent* event) override;

  QProgressBar* m_progress = nullptr;
  QPushButton* m_btnUpgrade = nullptr;
  QPushButton* m_btnBrowse = nullptr;
  QString m_strFilePath;
  QString m_strPercent;
  std::unique_ptr<WindowJobOwner> m_owner;

 private:
  void HandleJobMessage(const JobEvent& event);
  void ActOnJobMessage(int wParam, long lParam);
  // StartJob's answer, back from the device thread.
  void OnStartAnswered(bool started, const std::string& inUseText);
  // The final box, then the page back to idle.
  void FinishJob(const char* text, bool succeeded);
  void EnableButtons(bool enabled);
  // Each tells the job state's listener, since JobRunning follows both.
  void SetJobRunning(bool running);
  void SetDeviceStep(bool inProgress);

  const ServiceJobTexts& m_job;
  QLineEdit* m_filePathEdit = nullptr;
  std::vector<std::pair<QLabel*, const QString*>> m_texts;
  CaptionedNames m_names;
  std::vector<QWidget*> m_lockedWhileRunning;
  bool m_jobRunning = false;
  std::unique_ptr<UpdateScope> m_underWay;  // from the start until the job's final message
  std::unique_ptr<AmpLock> m_ampLock;       // the same
  bool m_takingMessages = false;            // the job runs and its final message has not come yet
  bool m_deviceStep = false;                // a presence test or StartJob is on the device thread
  bool m_starting = false;                  // StartJob is; a failure waits for its answer
  std::optional<long> m_heldFailure;        // the lParam of a failure that came before its answer
  bool m_copying = false;
  std::function<void()> m_jobStateListener;
  std::unique_ptr<PreTranslateFilter> m_preTranslate;
};

}  // namespace korva::qt
