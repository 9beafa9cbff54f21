// The main update window's face.
#include "qt/update_dlg.h"

#include <QApplication>
#include <QTimerEvent>
#include <algorithm>

#include "qt/device_work.h"
#include "qt/dialog_template.h"
#include "qt/display_text.h"
#include "qt/icons.h"
#include "qt/job_event.h"
#include "qt/pre_translate.h"
#include "qt/same_version_dlg.h"
#include "qt/thread_handoff.h"
#include "support/support_log.h"
#include "ui_update.h"

namespace korva::qt {
namespace {

int g_pollPeriodMs = CUpdateDlg::kPollPeriodMs;

void CopyIfDifferent(QLabel* label, const QString& text) {
  if (label->text() != text) label->setText(text);
}

}  // namespace

using dialogs::UpdateControl;
using dialogs::UpdateText;

void CUpdateDlg::SetPollPeriodForTests(int ms) { g_pollPeriodMs = ms; }

CUpdateDlg::CUpdateDlg(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::CUpdateDlg>()) {
  ui_->setupUi(this);
  PrepareDialog(this, 8, FrameButtons::CloseAndMinimise);
  m_names.Add(ui_->lamp, ui_->groupUsb->title(), ui_->usbState);
  m_names.Add(ui_->currentVersion, ui_->labelCurrent->text(), ui_->currentVersion);
  m_names.Add(ui_->newVersion, ui_->labelNew->text(), ui_->newVersion);
  m_names.Add(ui_->percent, QString::fromLatin1(kPercentageCaption), ui_->percent);
  dialogs::UpdateWindowFace& face = *this;
  m_window = std::make_unique<dialogs::UpdateWindow>(face, AppDeviceWork().Port());
  connect(ui_->m_btnUpdate, &QPushButton::clicked, this, [this] { m_window->OnUpdate(); });
  connect(ui_->m_btnExit, &QPushButton::clicked, this, &CUpdateDlg::reject);
  // Sees every event of this window and its controls before it is dispatched.
  m_preTranslate = std::make_unique<PreTranslateFilter>(
      this,
      [this](const JobEvent& event) {
        m_window->OnJobMessage(event.Message(), event.WParam(), event.LParam());
      },
      [this] { UpdateData(); });
}

CUpdateDlg::~CUpdateDlg() {
  if (m_window->UpdateRunning()) {
    SupportLog("the main window is closing during the update: it stays until the update has ended");
    // The job's messages keep coming until its final one; the user's input waits.
    while (m_window->UpdateRunning()) {
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents |
                                      QEventLoop::ExcludeUserInputEvents);
    }
  }
  m_preTranslate.reset();
  m_window.reset();
}

void CUpdateDlg::showEvent(QShowEvent* event) {
  if (!m_initialised) {
    m_initialised = true;
    // The framework's own initialisation shows the still empty display strings.
    UpdateData();
    // An own task-bar button comes with a top-level window without parent.
    const int lampSide = std::min(ui_->lamp->width(), ui_->lamp->height());
    m_lampRed = QPixmap::fromImage(PaintIcon(kIconLampRed, std::min(lampSide, kLampIconSize)));
    m_lampGreen = QPixmap::fromImage(PaintIcon(kIconLampGreen, std::min(lampSide, kLampIconSize)));
    m_window->OnOpening();
  }
  QDialog::showEvent(event);
}

// The timer goes off once per arming: the window arms it again when its reading has come back.
void CUpdateDlg::timerEvent(QTimerEvent* /*event*/) {
  if (m_pollTimerId != 0) killTimer(m_pollTimerId);
  m_pollTimerId = 0;
  m_window->OnTick();
}

void CUpdateDlg::ArmPollTimer(int ms) {
  if (m_pollTimerId != 0) killTimer(m_pollTimerId);
  m_pollTimerId = startTimer(g_pollPeriodMs == kPollPeriodMs ? ms : g_pollPeriodMs);
}

void CUpdateDlg::StopPollTimer() {
  if (m_pollTimerId != 0) killTimer(m_pollTimerId);
  m_pollTimerId = 0;
}

void CUpdateDlg::reject() {
  if (m_window->MayClose()) QDialog::reject();
}

QString& CUpdateDlg::DisplayString(UpdateText text) {
  switch (text) {
    case UpdateText::CurrentVersion:
      return m_strCurrentVersion;
    case UpdateText::NewVersion:
      return m_strNewVersion;
    case UpdateText::Percent:
      return m_strPercent;
    case UpdateText::Status:
      return m_strStatus;
    case UpdateText::UsbState:
      break;
  }
  return m_strUsbState;
}

QLabel* CUpdateDlg::Label(UpdateText text) const {
  switch (text) {
    case UpdateText::CurrentVersion:
      return ui_->currentVersion;
    case UpdateText::NewVersion:
      return ui_->newVersion;
    case UpdateText::Percent:
      return ui_->percent;
    case UpdateText::Status:
      return ui_->status;
    case UpdateText::UsbState:
      break;
  }
  return ui_->usbState;
}

QPushButton* CUpdateDlg::Button(UpdateControl control) const {
  return control == UpdateControl::Update ? ui_->m_btnUpdate : ui_->m_btnExit;
}

void CUpdateDlg::SetText(UpdateText text, const std::string& bytes) {
  DisplayString(text) = QtText(bytes);
}

void CUpdateDlg::SetControlText(UpdateText text, const std::string& bytes) {
  Label(text)->setText(QtText(bytes));
}

void CUpdateDlg::ShowLamp(bool connected) {
  ui_->lamp->setPixmap(connected ? m_lampGreen : m_lampRed);
}

void CUpdateDlg::SetProgressRange(int maximum) {
  ui_->m_progress->setRange(0, maximum);
  ui_->m_progress->setValue(0);
}

void CUpdateDlg::SetProgress(int position) { SetProgressValue(ui_->m_progress, position); }

void CUpdateDlg::Enable(UpdateControl control, bool enabled) {
  Button(control)->setEnabled(enabled);
}

void CUpdateDlg::Focus(UpdateControl control) { Button(control)->setFocus(); }

bool CUpdateDlg::AskSameVersion() {
  CSameVersionDlg prompt(this);
  return prompt.exec() == QDialog::Accepted;
}

void CUpdateDlg::PostJobMessage(int message, int wParam, long lParam) {
  PostJobEvent(this, message, wParam, lParam);
}

void CUpdateDlg::RunOnWindowThread(const std::function<void()>& call) { RunOnThreadOf(this, call); }

void CUpdateDlg::UpdateData() {
  if (m_copying) return;  // setting a text sends events of its own
  m_copying = true;
  CopyIfDifferent(ui_->currentVersion, m_strCurrentVersion);
  CopyIfDifferent(ui_->newVersion, m_strNewVersion);
  CopyIfDifferent(ui_->percent, m_strPercent);
  CopyIfDifferent(ui_->status, m_strStatus);
  CopyIfDifferent(ui_->usbState, m_strUsbState);
  m_names.Refresh();
  m_copying = false;
}

}  // namespace korva::qt
