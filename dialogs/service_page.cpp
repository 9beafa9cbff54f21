// The service pages' shared behaviour.
#include "dialogs/service_page.h"

#include <filesystem>
#include <utility>

#include "device/hid_transport.h"
#include "jobs/job_messages.h"
#include "jobs/job_state.h"
#include "jobs/prompter.h"
#include "jobs/start_job.h"

namespace korva::dialogs {
namespace {

constexpr const char* kPercentIdle = "0%";

}  // namespace

ServicePage::ServicePage(PageFace& face, DevicePort& device, int jobKind)
    : face_(face), device_(device), texts_(ServiceJobTextsOf(jobKind)), owner_(face, *this) {
  face_.SetText(PageText::Percent, kPercentIdle);
}

ServicePage::~ServicePage() = default;

void ServicePage::OnBrowse() {
  if (!deviceStep_) Browse();
}

void ServicePage::OnUpgrade() {
  if (!deviceStep_) Upgrade();
}

bool ServicePage::ChooseFile(const FileFilter& filter) {
  std::optional<std::string> chosen = face_.ChooseFile(filter);
  if (!chosen) return false;
  filePath_ = std::move(*chosen);
  face_.SetFilePath(filePath_);
  return true;
}

void ServicePage::TestDevicePresent(std::function<void(bool present)> next) {
  SetDeviceStep(true);
  device_.Run(
      life_, [] { return IsDevicePresent() == 1; },
      [this, next = std::move(next)](bool present) {
        SetDeviceStep(false);
        next(present);
      });
}

void ServicePage::ContinueIfDevicePresent(std::function<void()> next) {
  TestDevicePresent([next = std::move(next)](bool present) {
    if (present) {
      next();
    } else {
      ShowPageBox(kTextConnectDevice);
    }
  });
}

void ServicePage::StartPageJob() {
  EnableControls(false);
  takingMessages_ = true;
  underWay_ = std::make_unique<UpdateScope>();
  SetJobRunning(true);
  // The jobs that need them read the file's path and its name without the folder.
  owner_.SetStoredFile(filePath_, std::filesystem::path(filePath_).filename().string());
  // The amp's lock, then "INITSTA" and for the Bluetooth job the link switch (over three
  // seconds), on the device port. An amp that another program is writing is sent nothing; else
  // its lock is held until the job's final message.
  starting_ = true;
  SetDeviceStep(true);
  struct Start {
    int started = 0;
    std::shared_ptr<AmpLockAttempt> lock;
  };
  WindowJobOwner* owner = &owner_;
  const int kind = texts_.kind;
  device_.Run(
      life_,
      [owner, kind] {
        Start start{0, std::make_shared<AmpLockAttempt>(LockFoundAmp(SearchKorva().path))};
        if (start.lock->outcome != AmpLockOutcome::HeldElsewhere)
          start.started = StartJob(owner, kind);
        return start;
      },
      [this](const Start& start) {
        // A job that ended before this answer has let its amp go already.
        if (takingMessages_) ampLock_ = std::move(start.lock->lock);
        const bool inUse = start.lock->outcome == AmpLockOutcome::HeldElsewhere;
        OnStartAnswered(start.started != 0,
                        inUse ? AmpInUseText(start.lock->holder) : std::string());
      });
}

// A failure that came before the answer is the job's when it started, and is acted on now;
// when it did not start, the failure was the start's own (the Bluetooth link switch posts one),
// and the page's start-failure box says it. An amp in use by another program was sent nothing:
// `inUseText` says who holds it.
void ServicePage::OnStartAnswered(bool started, const std::string& inUseText) {
  starting_ = false;
  SetDeviceStep(false);  // the job may have ended already, its messages having come first
  const std::optional<long> heldFailure = std::exchange(heldFailure_, std::nullopt);
  if (started) {
    if (heldFailure && takingMessages_) ActOnJobMessage(JOB_FAILED, *heldFailure);
    return;
  }
  takingMessages_ = false;
  underWay_.reset();
  ampLock_.reset();
  ShowPageBox(inUseText.empty() ? std::string(texts_.startFailed) : inUseText);
  JobStatus.store(kJobIdle);
  EnableControls(true);
  face_.Focus(PageControl::Upgrade);  // to try again
  SetJobRunning(false);
}

void ServicePage::ShowPageBox(const std::string& text) {
  AppPrompter().ShowBox(BoxKind::Window, text);
}

void ServicePage::ShowApplicationBox(const std::string& text) {
  AppPrompter().ShowBox(BoxKind::Application, text);
}

void ServicePage::OnPrepareProgressBar(int total) {
  progress_.Prepare(total);
  face_.SetProgressRange(JobProgress::RangeFor(total));
}

void ServicePage::OnJobMessage(int message, int wParam, long lParam) {
  if (!takingMessages_ || message != texts_.message) return;
  if (starting_ && wParam == JOB_FAILED) {
    heldFailure_ = lParam;
    return;
  }
  ActOnJobMessage(wParam, lParam);
}

void ServicePage::ActOnJobMessage(int wParam, long lParam) {
  switch (wParam) {
    case JOB_PROGRESS:
      face_.SetProgress(progress_.Position(lParam));
      face_.SetText(PageText::Percent, progress_.PercentText(lParam));
      OnJobProgress(lParam);
      break;
    case JOB_DONE:
      FinishJob(texts_.succeeded, true);
      break;
    case JOB_FAILED:
      FinishJob(texts_.failed, false);
      break;
    default:
      break;
  }
}

void ServicePage::FinishJob(const char* text, bool succeeded) {
  // Nothing more of this job is acted on, also while the box below runs its own loop. The update
  // is over: a program asked to end meanwhile need not wait for the box.
  takingMessages_ = false;
  underWay_.reset();
  ampLock_.reset();
  OnJobEnding();
  ShowPageBox(text);
  face_.SetProgress(0);
  face_.SetText(PageText::Percent, kPercentIdle);
  EnableControls(true);
  // After a success the next file; after a failure the same one again.
  face_.Focus(succeeded ? PageControl::Browse : PageControl::Upgrade);
  JobStatus.store(kJobIdle);
  OnJobEnded();
  SetJobRunning(false);
}

void ServicePage::EnableControls(bool enabled) {
  face_.Enable(PageControl::Browse, enabled);
  face_.Enable(PageControl::Upgrade, enabled);
  EnableOwnControls(enabled);
}

void ServicePage::SetJobRunning(bool running) {
  jobRunning_ = running;
  if (listener_) listener_();
}

void ServicePage::SetDeviceStep(bool inProgress) {
  deviceStep_ = inProgress;
  if (listener_) listener_();
}

}  // namespace korva::dialogs
