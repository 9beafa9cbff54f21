// The service pages' shared behaviour.
#include "qt/service_page.h"

#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <algorithm>
#include <utility>

#include "device/hid_transport.h"
#include "jobs/job_messages.h"
#include "jobs/job_state.h"
#include "jobs/prompter.h"
#include "jobs/start_job.h"
#include "qt/device_work.h"
#include "qt/dialog_units.h"
#include "qt/job_event.h"
#include "qt/pre_translate.h"
#include "qt/update_plan.h"

namespace korva::qt {
namespace {

constexpr const char* kPercentIdle = "0%";

template <typename Control>
void CopyIfDifferent(Control* control, const QString& text) {
  if (control->text() != text) control->setText(text);
}

}  // namespace

CServicePageDlg::CServicePageDlg(int jobKind, QWidget* parent)
    : QWidget(parent),
      m_strPercent(QString::fromLatin1(kPercentIdle)),
      m_job(ServiceJobTextsOf(jobKind)) {}

CServicePageDlg::~CServicePageDlg() = default;

void CServicePageDlg::BindCommonControls(QProgressBar* progress, QPushButton* upgrade,
                                         QPushButton* browse, QLineEdit* filePath,
                                         QLabel* percent) {
  ApplyDialogUnits(this, DialogFont(kTemplatePointSize));
  m_progress = progress;
  m_btnUpgrade = upgrade;
  m_btnBrowse = browse;
  m_filePathEdit = filePath;
  // The path shows the file that Browse chose; "Upgrade" never reads what is typed there.
  m_filePathEdit->setReadOnly(true);
  BindText(percent, &m_strPercent);
  NameAfterCaption(percent, QString::fromLatin1(kPercentageCaption), percent);
  // The texts stay as they are; the keys work all the same and screen readers name them.
  m_btnBrowse->setShortcut(QKeySequence(Qt::ALT | Qt::Key_B));
  m_btnUpgrade->setShortcut(QKeySequence(Qt::ALT | Qt::Key_U));
  FocusOnAltKey(Qt::Key_F, m_filePathEdit);
  m_owner = std::make_unique<WindowJobOwner>(this, m_progress);
  connect(m_btnBrowse, &QPushButton::clicked, this, [this] {
    if (!m_deviceStep) OnBrowse();
  });
  connect(m_btnUpgrade, &QPushButton::clicked, this, [this] {
    if (!m_deviceStep) OnUpgrade();
  });
  // Sees every event of this page and its controls before it is dispatched.
  m_preTranslate = std::make_unique<PreTranslateFilter>(
      this, [this](const JobEvent& event) { HandleJobMessage(event); }, [this] { UpdateData(); });
}

void CServicePageDlg::BindText(QLabel* label, const QString* text) {
  m_texts.emplace_back(label, text);
}

void CServicePageDlg::FocusOnAltKey(Qt::Key key, QWidget* target) {
  // Only the shown page's keys act: a hidden page's shortcuts do not.
  auto* shortcut = new QShortcut(QKeySequence(Qt::ALT | key), this);
  connect(shortcut, &QShortcut::activated, target,
          [target] { target->setFocus(Qt::ShortcutFocusReason); });
}

std::vector<QWidget*> CServicePageDlg::KeyboardOrder() const {
  return {m_filePathEdit, m_btnBrowse, m_btnUpgrade};
}

void CServicePageDlg::FocusFirstStep() { m_btnBrowse->setFocus(); }

bool CServicePageDlg::ChooseFile(const FileFilter& filter) {
  std::optional<QString> chosen = AppFileChooser().ChooseFileToOpen(window(), filter);
  if (!chosen) return false;
  m_strFilePath = *chosen;
  return true;
}

std::string CServicePageDlg::FilePathForOpening() const {
  return QFile::encodeName(m_strFilePath).toStdString();
}

void CServicePageDlg::TestDevicePresent(std::function<void(bool present)> next) {
  SetDeviceStep(true);
  AppDeviceWork().Run(
      this, [] { return IsDevicePresent() == 1; },
      [this, next = std::move(next)](bool present) {
        SetDeviceStep(false);
        next(present);
      });
}

void CServicePageDlg::ContinueIfDevicePresent(std::function<void()> next) {
  TestDevicePresent([this, next = std::move(next)](bool present) {
    if (present) {
      next();
    } else {
      ShowPageBox(kTextConnectDevice);
    }
  });
}

void CServicePageDlg::StartPageJob() {
  EnableButtons(false);
  m_takingMessages = true;
  m_underWay = std::make_unique<UpdateScope>();
  SetJobRunning(true);
  // The jobs that need them read the file's path and its name without the folder.
  m_owner->SetStoredFile(FilePathForOpening(),
                         QFile::encodeName(QFileInfo(m_strFilePath).fileName()).toStdString());
  // The amp's lock, then "INITSTA" and for the Bluetooth job the link switch (over three
  // seconds), off this thread. An amp that another program is writing is sent nothing; else its
  // lock is held until the job's final message.
  m_starting = true;
  SetDeviceStep(true);
  struct Start {
    int started = 0;
    std::shared_ptr<AmpLockAttempt> lock;
  };
  WindowJobOwner* owner = m_owner.get();
  const int kind = m_job.kind;
  AppDeviceWork().Run(
      this,
      [owner, kind] {
        Start start{0, std::make_shared<AmpLockAttempt>(LockFoundAmp(SearchKorva().path))};
        if (start.lock->outcome != AmpLockOutcome::HeldElsewhere)
          start.started = StartJob(owner, kind);
        return start;
      },
      [this](const Start& start) {
        // A job that ended before this answer has let its amp go already.
        if (m_takingMessages) m_ampLock = std::move(start.lock->lock);
        const bool inUse = start.lock->outcome == AmpLockOutcome::HeldElsewhere;
        OnStartAnswered(start.started != 0,
                        inUse ? AmpInUseText(start.lock->holder) : std::string());
      });
}

// A failure that came before the answer is the job's when it started, and is acted on now;
// when it did not start, the failure was the start's own (the Bluetooth link switch posts one),
// and the page's start-failure box says it. An amp in use by another program was sent nothing:
// `inUseText` says who holds it.
void CServicePageDlg::OnStartAnswered(bool started, const std::string& inUseText) {
  m_starting = false;
  SetDeviceStep(false);  // the job may have ended already, its messages having come first
  const std::optional<long> heldFailure = std::exchange(m_heldFailure, std::nullopt);
  if (started) {
    if (heldFailure && m_takingMessages) ActOnJobMessage(JOB_FAILED, *heldFailure);
    return;
  }
  m_takingMessages = false;
  m_underWay.reset();
  m_ampLock.reset();
  if (inUseText.empty()) {
    ShowPageBox(m_job.startFailed);
  } else {
    AppPrompter().ShowBox(BoxKind::Window, inUseText);
  }
  JobStatus.store(kJobIdle);
  EnableButtons(true);
  m_btnUpgrade->setFocus();  // to try again
  SetJobRunning(false);
}

void CServicePageDlg::ShowPageBox(const char* text) {
  AppPrompter().ShowBox(BoxKind::Window, text);
}

void CServicePageDlg::ShowApplicationBox(const char* text) {
  AppPrompter().ShowBox(BoxKind::Application, text);
}

void CServicePageDlg::HandleJobMessage(const JobEvent& event) {
  if (!m_takingMessages || event.Message() != m_job.message) return;
  if (m_starting && event.WParam() == JOB_FAILED) {
    m_heldFailure = event.LParam();
    return;
  }
  ActOnJobMessage(event.WParam(), event.LParam());
}

void CServicePageDlg::ActOnJobMessage(int wParam, long lParam) {
  switch (wParam) {
    case JOB_PROGRESS:
      SetProgressValue(m_progress,
                       static_cast<int>(std::clamp<long>(lParam, 0, m_progress->maximum())));
      m_strPercent = QString::fromStdString(PercentText(lParam, m_owner->PreparedTotal()));
      OnJobProgress(lParam);
      break;
    case JOB_DONE:
      FinishJob(m_job.succeeded, true);
      break;
    case JOB_FAILED:
      FinishJob(m_job.failed, false);
      break;
    default:
      break;
  }
}

void CServicePageDlg::FinishJob(const char* text, bool succeeded) {
  // Nothing more of this job is acted on, also while the box below runs its own loop. The update
  // is over: a program asked to end meanwhile need not wait for the box.
  m_takingMessages = false;
  m_underWay.reset();
  m_ampLock.reset();
  OnJobEnding();
  ShowPageBox(text);
  SetProgressValue(m_progress, 0);
  m_strPercent = QString::fromLatin1(kPercentIdle);
  EnableButtons(true);
  // After a success the next file; after a failure the same one again.
  (succeeded ? m_btnBrowse : m_btnUpgrade)->setFocus();
  JobStatus.store(kJobIdle);
  OnJobEnded();
  SetJobRunning(false);
}

void CServicePageDlg::EnableButtons(bool enabled) {
  m_btnBrowse->setEnabled(enabled);
  m_btnUpgrade->setEnabled(enabled);
  for (QWidget* control : m_lockedWhileRunning) control->setEnabled(enabled);
}

void CServicePageDlg::SetJobRunning(bool running) {
  m_jobRunning = running;
  if (m_jobStateListener) m_jobStateListener();
}

void CServicePageDlg::SetDeviceStep(bool inProgress) {
  m_deviceStep = inProgress;
  if (m_jobStateListener) m_jobStateListener();
}

void CServicePageDlg::UpdateData() {
  if (m_copying) return;  // setting a text sends events of its own
  m_copying = true;
  CopyIfDifferent(m_filePathEdit, m_strFilePath);
  for (const auto& [label, text] : m_texts) CopyIfDifferent(label, *text);
  m_names.Refresh();
  m_copying = false;
}

void CServicePageDlg::keyPressEvent(QKeyEvent* event) {
  // Return on a page's field must not reach the welcome window's default button ("Enter"
  // would leave for the main road); Escape goes on to the window.
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

}  // namespace korva::qt
