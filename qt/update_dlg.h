// The main update window on Qt: the face of dialogs::UpdateWindow, which decides what it shows
// and does. Here: the template, the lamp's pictures, the display strings copied to their
// controls (where they differ) before every event that the window or a control receives, the
// job messages as events handled just before that copy, the poll's timer, and a window that
// stays, whatever ended the event loop, while its update is under way.
#pragma once

#include <QDialog>
#include <QPixmap>
#include <QString>
#include <memory>

#include "dialogs/update_window.h"
#include "qt/screen_reader.h"

namespace Ui {
class CUpdateDlg;
}
class QLabel;
class QProgressBar;
class QPushButton;

namespace korva::qt {

class PreTranslateFilter;

class CUpdateDlg final : public QDialog, private dialogs::UpdateWindowFace {
 public:
  static constexpr int kPollPeriodMs = dialogs::UpdateWindow::kPollPeriodMs;

  explicit CUpdateDlg(QWidget* parent = nullptr);
  // Whatever ended the event loop, a window whose update is under way stays until the update
  // has ended: its job reports to it, and an update cut short leaves the amp half-written.
  ~CUpdateDlg() override;

  // True from the start of the update's first job until its last final message has been handled.
  bool UpdateRunning() const { return m_window->UpdateRunning(); }

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
  // The face.
  void SetText(dialogs::UpdateText text, const std::string& bytes) override;
  void SetControlText(dialogs::UpdateText text, const std::string& bytes) override;
  void CopyTexts() override { UpdateData(); }
  void ShowLamp(bool connected) override;
  void SetProgressRange(int maximum) override;
  void SetProgress(int position) override;
  void Enable(dialogs::UpdateControl control, bool enabled) override;
  void Focus(dialogs::UpdateControl control) override;
  void ArmPollTimer(int ms) override;
  void StopPollTimer() override;
  bool AskSameVersion() override;
  void PostJobMessage(int message, int wParam, long lParam) override;
  void RunOnWindowThread(const std::function<void()>& call) override;

  QString& DisplayString(dialogs::UpdateText text);
  QLabel* Label(dialogs::UpdateText text) const;
  QPushButton* Button(dialogs::UpdateControl control) const;
  void UpdateData();

  std::unique_ptr<Ui::CUpdateDlg> ui_;
  QString m_strCurrentVersion;
  QString m_strNewVersion;
  QString m_strPercent;
  QString m_strStatus;
  QString m_strUsbState;

  CaptionedNames m_names;  // what screen readers call the lamp, the versions and the percentage
  QPixmap m_lampRed;
  QPixmap m_lampGreen;
  int m_pollTimerId = 0;
  bool m_initialised = false;
  bool m_copying = false;
  std::unique_ptr<dialogs::UpdateWindow> m_window;
  std::unique_ptr<PreTranslateFilter> m_preTranslate;
};

}  // namespace korva::qt
