// The main update window: watches the amp on a 500 ms poll, shows the USB lamp and state,
// the amp's firmware version and the carried one, and on "Update" runs the MCU job, the DSP
// job or both, following them with bar, percentage and status line. Its texts live in display
// strings that are copied to the controls, where they differ, before every event the window
// receives; the job messages are handled just before that copy. Every call to the amp (the
// opening steps, each tick, "Update"'s presence test and the start of a job) runs on the
// device thread; the window shows what comes back.
#pragma once

#include <QDialog>
#include <QPixmap>
#include <QString>
#include <memory>

#include "dialogs/connection_reading.h"
#include "jobs/update_scope.h"
#include "qt/screen_reader.h"
#include "qt/window_job_owner.h"

namespace Ui {
class CUpdateDlg;
}
class QProgressBar;
class QPushButton;

namespace korva::qt {

using dialogs::ConnectionReading;

class JobEvent;
class PreTranslateFilter;

class CUpdateDlg final : public QDialog {
 public:
  static constexpr int kPollPeriodMs = 500;

  explicit CUpdateDlg(QWidget* parent = nullptr);
  // Whatever ended the event loop, a window whose update is under way stays until the update
  // has ended: its job reports to it, and an update cut short leaves the amp half-written.
  ~CUpdateDlg() override;

  // True from "Update" until the update's last final message has been handled.
  bool UpdateRunning() const { return m_road != nullptr; }

  // Exit, Escape and the close box: refused while a job writes to the amp.
  void reject() override;

  // The poll's timer id while it waits for the next tick; 0 while a tick or the opening steps
  // are being made, and while the poll is stopped.
  int PollTimerId() const { return m_pollTimerId; }
  // Tests deliver the poll's ticks themselves with a period this long.
  static void SetPollPeriodForTests(int ms);

 protected:
  void showEvent(QShowEvent* event) override;
  void timerEvent(QTimerEvent* event) override;

 private:
  void OnInitDialog();
  void CheckConnection();
  void ShowReading(const ConnectionReading& reading, bool opening);
  void ShowVersionTexts();
  void ApplyVersionComparison(bool keepStatusWhenBothDiffer);
  void OnUpdate();
  void ContinueUpdate(const DeviceAccessReport& access, const AmpLockAttempt& lock);
  void EndUpdateStart();
  void StartFirmwareJob(int kind, const char* failureBox, const char* statusAfterFailure);
  void HandleJobMessage(const JobEvent& event);
  void FinishRoad(bool succeeded);
  void FinishBeforeClosing();
  void UpdateData();

  void ShowLamp(bool connected);
  void EnableButtons(bool enabled);
  void StartPollTimer();
  void StopPollTimer();
  void ArmPollTimer();

  std::unique_ptr<Ui::CUpdateDlg> ui_;
  QProgressBar* m_progress;
  QPushButton* m_btnExit;
  QPushButton* m_btnUpdate;
  QString m_strCurrentVersion;
  QString m_strNewVersion;
  QString m_strPercent;
  QString m_strStatus;
  QString m_strUsbState;

  CaptionedNames m_names;  // what screen readers call the lamp, the versions and the percentage
  QPixmap m_lampRed;
  QPixmap m_lampGreen;
  std::unique_ptr<WindowJobOwner> m_owner;
  std::unique_ptr<PreTranslateFilter> m_preTranslate;
  std::unique_ptr<UpdateScope> m_road;  // the update under way, across its jobs
  std::unique_ptr<AmpLock> m_ampLock;   // from "Update"'s presence test to the update's end
  int m_pollTimerId = 0;
  bool m_pollRunning = false;      // the poll is on (its next tick may wait behind a reading)
  bool m_readingInFlight = false;  // the opening steps or a tick are on the device thread
  bool m_initialised = false;
  bool m_starting = false;   // from "Update" until a job started or the road was given up
  bool m_jobActive = false;  // from a job's start until its last final message
  bool m_copying = false;
};

}  // namespace korva::qt
