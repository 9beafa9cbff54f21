// The main update window's behaviour.
#include "qt/update_dlg.h"

#include <QApplication>
#include <QTimerEvent>
#include <algorithm>

#include "device/command_protocol.h"
#include "images/embedded_images.h"
#include "images/image_store.h"
#include "jobs/job_messages.h"
#include "jobs/job_state.h"
#include "jobs/prompter.h"
#include "jobs/start_job.h"
#include "jobs/update_texts.h"
#include "qt/device_work.h"
#include "qt/dialog_template.h"
#include "qt/icons.h"
#include "qt/job_event.h"
#include "qt/pre_translate.h"
#include "qt/same_version_dlg.h"
#include "qt/screen_reader.h"
#include "qt/update_plan.h"
#include "support/support_log.h"
#include "ui_update.h"

namespace korva::qt {
namespace {

int g_pollPeriodMs = CUpdateDlg::kPollPeriodMs;

QString Text(const char* text) { return QString::fromLatin1(text); }
QString Text(const VersionText& text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

void CopyIfDifferent(QLabel* label, const QString& text) {
  if (label->text() != text) label->setText(text);
}

}  // namespace

void CUpdateDlg::SetPollPeriodForTests(int ms) { g_pollPeriodMs = ms; }

CUpdateDlg::CUpdateDlg(QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::CUpdateDlg>()),
      m_progress(nullptr),
      m_btnExit(nullptr),
      m_btnUpdate(nullptr) {
  ui_->setupUi(this);
  PrepareDialog(this, 8, FrameButtons::CloseAndMinimise);
  m_progress = ui_->m_progress;
  m_btnExit = ui_->m_btnExit;
  m_btnUpdate = ui_->m_btnUpdate;
  m_names.Add(ui_->lamp, ui_->groupUsb->title(), ui_->usbState);
  m_names.Add(ui_->currentVersion, ui_->labelCurrent->text(), ui_->currentVersion);
  m_names.Add(ui_->newVersion, ui_->labelNew->text(), ui_->newVersion);
  m_names.Add(ui_->percent, QString::fromLatin1(kPercentageCaption), ui_->percent);
  m_owner = std::make_unique<WindowJobOwner>(this, m_progress);
  connect(m_btnUpdate, &QPushButton::clicked, this, &CUpdateDlg::OnUpdate);
  connect(m_btnExit, &QPushButton::clicked, this, &CUpdateDlg::reject);
  // Sees every event of this window and its controls before it is dispatched.
  m_preTranslate = std::make_unique<PreTranslateFilter>(
      this, [this](const JobEvent& event) { HandleJobMessage(event); }, [this] { UpdateData(); });
}

CUpdateDlg::~CUpdateDlg() { FinishBeforeClosing(); }

void CUpdateDlg::FinishBeforeClosing() {
  if (!UpdateRunning()) return;
  SupportLog("the main window is closing during the update: it stays until the update has ended");
  // The job's messages keep coming until its final one; the user's input waits.
  while (UpdateRunning()) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents |
                                    QEventLoop::ExcludeUserInputEvents);
  }
}

void CUpdateDlg::showEvent(QShowEvent* event) {
  if (!m_initialised) {
    m_initialised = true;
    // The framework's own initialisation shows the still empty display strings.
    UpdateData();
    OnInitDialog();
  }
  QDialog::showEvent(event);
}

void CUpdateDlg::OnInitDialog() {
  // An own task-bar button comes with a top-level window without parent.
  const int lampSide = std::min(ui_->lamp->width(), ui_->lamp->height());
  m_lampRed = QPixmap::fromImage(PaintIcon(kIconLampRed, std::min(lampSide, kLampIconSize)));
  m_lampGreen = QPixmap::fromImage(PaintIcon(kIconLampGreen, std::min(lampSide, kLampIconSize)));
  ShowLamp(false);

  m_strStatus = Text(kTextInitializing);
  ui_->usbState->setText(Text(kTextDisconnected));
  ui_->currentVersion->setText(Text(kTextBlank));
  ui_->newVersion->setText(Text(kTextBlank));

  m_btnUpdate->setEnabled(false);
  m_btnExit->setEnabled(true);
  MainRoad().UpdateCompleted = 0;

  // The poll starts once the opening steps have been made.
  m_pollRunning = true;
  m_readingInFlight = true;
  AppDeviceWork().Run(this, dialogs::ReadConnectionAtOpening,
                      [this](const ConnectionReading& reading) {
                        m_readingInFlight = false;
                        ShowReading(reading, true);
                        ArmPollTimer();
                      });
}

// Each tick is one reading on the device thread; the next is due 500 ms after it has come
// back, however long the amp took to answer.
void CUpdateDlg::timerEvent(QTimerEvent* /*event*/) {
  if (m_pollTimerId != 0) killTimer(m_pollTimerId);
  m_pollTimerId = 0;
  CheckConnection();
}

void CUpdateDlg::CheckConnection() {
  m_readingInFlight = true;
  AppDeviceWork().Run(this, dialogs::ReadConnectionAtTick,
                      [this](const ConnectionReading& reading) {
                        m_readingInFlight = false;
                        ShowReading(reading, false);
                        ArmPollTimer();
                      });
}

// What the opening steps or a tick found. An amp that cannot be opened looks like an absent
// one, except that the status line says why.
void CUpdateDlg::ShowReading(const ConnectionReading& reading, bool opening) {
  switch (reading.state) {
    case ConnectionReading::State::Skipped:
      break;
    case ConnectionReading::State::Absent:
    case ConnectionReading::State::NotAccessible:
      m_strStatus = QString::fromStdString(dialogs::AmpMissingText(reading.access.access));
      ShowLamp(false);
      m_strUsbState = Text(kTextDisconnected);
      if (!opening) {
        m_strCurrentVersion = Text(kTextBlank);
        MainRoad().UpdateCompleted = 0;
      }
      break;
    case ConnectionReading::State::InUse:
      // Connected, but another program is writing to it: this window sends nothing.
      ShowLamp(true);
      m_strUsbState = Text(kTextConnected);
      m_strStatus = QString::fromStdString(AmpInUseText(reading.holder));
      break;
    case ConnectionReading::State::InitStatesFailed:
      m_strStatus = Text(kTextInitStatesFailedCheckCable);
      m_strUsbState = Text(kTextConnectError);
      break;
    case ConnectionReading::State::Connected:
      ShowLamp(true);
      m_strUsbState = Text(kTextConnected);
      ShowVersionTexts();
      // At the opening the "neither matches" outcome leaves "Initializing..." for the first tick.
      ApplyVersionComparison(opening);
      break;
  }
}

void CUpdateDlg::ShowVersionTexts() {
  // A record without a version leaves the previous device text for the comparison.
  if (RebuildDeviceVersionText()) {
    m_strCurrentVersion = Text(DeviceVersionText());
  } else {
    m_strCurrentVersion = Text(kTextBlank);
  }
  LoadEmbeddedImages();
  m_strNewVersion = Text(EmbeddedVersionText());
}

void CUpdateDlg::ApplyVersionComparison(bool keepStatusWhenBothDiffer) {
  MainRoadState& road = MainRoad();
  road.UpdatePlan = DecideUpdatePlan(DeviceVersionText(), EmbeddedVersionText());
  road.UpdateConfirmed = road.UpdatePlan == kPlanNothing ? 0 : 1;
  // The amp is there and the plan made: "Update" is what the user presses next. A tick that
  // "Update" waited for leaves it to the start.
  if (!m_starting && !m_btnUpdate->isEnabled()) {
    m_btnUpdate->setEnabled(true);
    m_btnUpdate->setFocus();
  }
  if (road.UpdateCompleted == 1) return;
  if (road.UpdatePlan == kPlanBoth && keepStatusWhenBothDiffer) return;
  m_strStatus = Text(PlanStatusText(road.UpdatePlan));
}

// "Update" waits behind a tick that is being made, so the window's calls and the job's never
// meet at the amp; the buttons stay disabled while the device thread looks for the amp and
// starts the job.
void CUpdateDlg::OnUpdate() {
  if (m_starting || m_jobActive) return;
  StopPollTimer();
  MainRoad().UpdateCompleted = 0;
  m_starting = true;
  EnableButtons(false);
  // The amp's lock is taken with the presence test and held until the update has ended.
  struct Found {
    DeviceAccessReport access;
    std::shared_ptr<AmpLockAttempt> lock;
  };
  AppDeviceWork().Run(
      this,
      [] {
        Found found{CheckDeviceAccess(), std::make_shared<AmpLockAttempt>()};
        if (found.access.access == DeviceAccess::Ready)
          *found.lock = LockFoundAmp(found.access.path);
        return found;
      },
      [this](const Found& found) {
        m_ampLock = std::move(found.lock->lock);
        ContinueUpdate(found.access, *found.lock);
      });
}

void CUpdateDlg::ContinueUpdate(const DeviceAccessReport& access, const AmpLockAttempt& lock) {
  MainRoadState& road = MainRoad();
  if (access.access != DeviceAccess::Ready) {
    m_strStatus = QString::fromStdString(dialogs::AmpMissingText(access.access));
    AppPrompter().ShowBox(BoxKind::Window, m_strStatus.toStdString());
    EndUpdateStart();
    return;
  }
  if (lock.outcome == AmpLockOutcome::HeldElsewhere) {
    m_strStatus = QString::fromStdString(AmpInUseText(lock.holder));
    EndUpdateStart();
    return;
  }
  if (road.UpdatePlan == kPlanNothing) {
    CSameVersionDlg prompt(this);
    prompt.exec();
  }
  if (road.UpdateConfirmed != 1) {
    EndUpdateStart();
    return;
  }
  EnableButtons(false);
  m_strStatus = Text(kTextStartUpdating);
  if (road.UpdatePlan == kPlanDspOnly) {
    m_strStatus = Text(kTextSameMcuFirmware);
    StartFirmwareJob(kJobDsp, kTextUpdateDspFailed, kTextClickUpdate);
  } else {
    StartFirmwareJob(kJobMcu, kTextUpdateMcuFailed, kTextClickUpdateAfterMcuStartFailed);
  }
}

// Nothing was started: the Connected buttons and the poll come back.
void CUpdateDlg::EndUpdateStart() {
  m_starting = false;
  m_ampLock.reset();
  EnableButtons(true);
  StartPollTimer();
}

// Starts a job on the device thread ("INITSTA" and the job's thread); when it cannot start,
// says so and returns to the Connected buttons and poll. While it runs the poll stays
// stopped: the job's messages drive the window. StartJob's own box, when "INITSTA" fails, is
// asked for from the device thread and shown here.
void CUpdateDlg::StartFirmwareJob(int kind, const char* failureBox,
                                  const char* statusAfterFailure) {
  m_jobActive = true;
  m_starting = true;
  if (!m_road) m_road = std::make_unique<UpdateScope>();
  WindowJobOwner* owner = m_owner.get();
  AppDeviceWork().Run(
      this, [owner, kind] { return StartJob(owner, kind); },
      [this, failureBox, statusAfterFailure](int started) {
        m_starting = false;
        if (started) return;
        m_jobActive = false;
        m_road.reset();
        m_ampLock.reset();
        AppPrompter().ShowBox(BoxKind::Window, failureBox);
        JobStatus.store(kJobIdle);
        EnableButtons(true);
        m_strStatus = Text(statusAfterFailure);
        CurrentTransfer.store(kTransferNone);
        StartPollTimer();
      });
}

void CUpdateDlg::HandleJobMessage(const JobEvent& event) {
  const int transfer = CurrentTransfer.load();
  const bool mcu = transfer == kTransferMcu && event.Message() == WM_MCU_JOB;
  const bool dsp = transfer == kTransferDsp && event.Message() == WM_DSP_JOB;
  if (!mcu && !dsp) return;
  MainRoadState& road = MainRoad();

  switch (event.WParam()) {
    case JOB_PROGRESS: {
      m_strStatus = Text(mcu ? kTextMcuUpdating : kTextDspUpdating);
      SetProgressValue(m_progress,
                       static_cast<int>(std::min<long>(event.LParam(), m_progress->maximum())));
      const int total = mcu ? McuReportTotal.load() : DspReportTotal.load();
      m_strPercent = QString::fromStdString(PercentText(event.LParam(), total));
      break;
    }
    case JOB_DONE:
      SetProgressValue(m_progress, 0);
      m_strPercent = Text(kTextBlank);
      JobStatus.store(kJobIdle);
      if (mcu) {
        m_strStatus = Text(kTextMcuUpdateDone);
        if (road.UpdatePlan == kPlanMcuOnly) {
          CurrentTransfer.store(kTransferNone);
          FinishRoad(true);
        } else {
          StartFirmwareJob(kJobDsp, kTextUpdateDspFailed, kTextClickUpdate);
        }
      } else {
        CurrentTransfer.store(kTransferNone);
        FinishRoad(true);
      }
      break;
    case JOB_FAILED:
      SetProgressValue(m_progress, 0);
      m_strPercent = Text(kTextBlank);
      JobStatus.store(kJobIdle);
      // The MCU job's failure leaves CurrentTransfer to the next start.
      if (dsp) CurrentTransfer.store(kTransferNone);
      FinishRoad(false);
      break;
    default:
      break;
  }
}

// The last final message of an update: buttons back, poll on again.
void CUpdateDlg::FinishRoad(bool succeeded) {
  m_jobActive = false;
  m_road.reset();
  m_ampLock.reset();
  EnableButtons(true);
  m_strStatus = Text(succeeded ? kTextUpdateSucceeded : kTextUpdateFailed);
  if (succeeded) {
    // The user unplugs the amp and leaves; after a failure "Update" keeps the focus to try again.
    m_btnExit->setFocus();
    MainRoad().UpdateCompleted = 1;
    LoadEmbeddedImages();
  }
  StartPollTimer();
}

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

void CUpdateDlg::reject() {
  // A job being started or running writes to the amp through this window.
  if (m_jobActive || m_starting) return;
  QDialog::reject();
}

void CUpdateDlg::ShowLamp(bool connected) {
  ui_->lamp->setPixmap(connected ? m_lampGreen : m_lampRed);
}

void CUpdateDlg::EnableButtons(bool enabled) {
  m_btnUpdate->setEnabled(enabled);
  m_btnExit->setEnabled(enabled);
  if (enabled) m_btnUpdate->setFocus();
}

void CUpdateDlg::StartPollTimer() {
  m_pollRunning = true;
  ArmPollTimer();
}

// A reading that is being made arms the timer itself when it comes back.
void CUpdateDlg::ArmPollTimer() {
  if (m_pollRunning && !m_readingInFlight && m_pollTimerId == 0)
    m_pollTimerId = startTimer(g_pollPeriodMs);
}

void CUpdateDlg::StopPollTimer() {
  m_pollRunning = false;
  if (m_pollTimerId != 0) killTimer(m_pollTimerId);
  m_pollTimerId = 0;
}

}  // namespace korva::qt
