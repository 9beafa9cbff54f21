// The main update window's behaviour.
#include "dialogs/update_window.h"

#include "dialogs/connection_reading.h"
#include "dialogs/main_road.h"
#include "images/embedded_images.h"
#include "images/image_store.h"
#include "jobs/job_messages.h"
#include "jobs/job_state.h"
#include "jobs/prompter.h"
#include "jobs/start_job.h"
#include "jobs/update_texts.h"
#include "support/support_log.h"

namespace korva::dialogs {
namespace {

std::string Text(const VersionText& text) { return std::string(text.data(), text.size()); }

}  // namespace

UpdateWindow::UpdateWindow(UpdateWindowFace& face, DevicePort& device)
    : face_(face), device_(device), owner_(face, *this) {}

UpdateWindow::~UpdateWindow() = default;

void UpdateWindow::SetStatus(const std::string& text) { face_.SetText(UpdateText::Status, text); }

void UpdateWindow::OnOpening() {
  face_.ShowLamp(false);
  SetStatus(kTextInitializing);
  // Straight onto the controls: the display strings are still empty, and the first copy of them
  // (the next message) shows that.
  face_.SetControlText(UpdateText::UsbState, kTextDisconnected);
  face_.SetControlText(UpdateText::CurrentVersion, kTextBlank);
  face_.SetControlText(UpdateText::NewVersion, kTextBlank);
  updateEnabled_ = false;
  face_.Enable(UpdateControl::Update, false);
  face_.Enable(UpdateControl::Exit, true);
  MainRoad().UpdateCompleted = 0;
  // The poll starts once the opening steps have been made.
  pollRunning_ = true;
  ReadConnection(ReadConnectionAtOpening, true);
}

// Each tick is one reading on the device port; the next is due 500 ms after it has come back,
// however long the amp took to answer.
void UpdateWindow::OnTick() {
  timerArmed_ = false;
  ReadConnection(ReadConnectionAtTick, false);
}

void UpdateWindow::ReadConnection(ConnectionReading (*read)(), bool opening) {
  readingInFlight_ = true;
  device_.Run(life_, read, [this, opening](const ConnectionReading& reading) {
    readingInFlight_ = false;
    ShowReading(reading, opening);
    ArmPoll();
  });
}

// What the opening steps or a tick found. An amp that cannot be opened looks like an absent
// one, except that the status line says why.
void UpdateWindow::ShowReading(const ConnectionReading& reading, bool opening) {
  switch (reading.state) {
    case ConnectionReading::State::Skipped:
      break;
    case ConnectionReading::State::Absent:
    case ConnectionReading::State::NotAccessible:
      SetStatus(AmpMissingText(reading.access.access));
      face_.ShowLamp(false);
      face_.SetText(UpdateText::UsbState, kTextDisconnected);
      if (!opening) {
        face_.SetText(UpdateText::CurrentVersion, kTextBlank);
        MainRoad().UpdateCompleted = 0;
      }
      break;
    case ConnectionReading::State::InUse:
      // Connected, but another program is writing to it: this window sends nothing.
      face_.ShowLamp(true);
      face_.SetText(UpdateText::UsbState, kTextConnected);
      SetStatus(AmpInUseText(reading.holder));
      break;
    case ConnectionReading::State::InitStatesFailed:
      SetStatus(kTextInitStatesFailedCheckCable);
      face_.SetText(UpdateText::UsbState, kTextConnectError);
      break;
    case ConnectionReading::State::Connected:
      face_.ShowLamp(true);
      face_.SetText(UpdateText::UsbState, kTextConnected);
      ShowVersionTexts();
      // At the opening the "neither matches" outcome leaves "Initializing..." for the first tick.
      ApplyVersionComparison(opening);
      break;
  }
}

void UpdateWindow::ShowVersionTexts() {
  // A record without a version leaves the previous device text for the comparison.
  face_.SetText(UpdateText::CurrentVersion,
                RebuildDeviceVersionText() ? Text(DeviceVersionText()) : kTextBlank);
  LoadEmbeddedImages();
  face_.SetText(UpdateText::NewVersion, Text(EmbeddedVersionText()));
}

void UpdateWindow::ApplyVersionComparison(bool keepStatusWhenBothDiffer) {
  MainRoadState& road = MainRoad();
  road.UpdatePlan = DecideUpdatePlan(DeviceVersionText(), EmbeddedVersionText());
  road.UpdateConfirmed = road.UpdatePlan == kPlanNothing ? 0 : 1;
  // The amp is there and the plan made: "Update" is what the user presses next. A tick that
  // "Update" waited for leaves it to the start.
  if (!starting_ && !updateEnabled_) {
    updateEnabled_ = true;
    face_.Enable(UpdateControl::Update, true);
    face_.Focus(UpdateControl::Update);
  }
  if (road.UpdateCompleted == 1) return;
  if (road.UpdatePlan == kPlanBoth && keepStatusWhenBothDiffer) return;
  SetStatus(PlanStatusText(road.UpdatePlan));
}

// "Update" waits behind a tick that is being made, so the window's calls and the job's never
// meet at the amp; the buttons stay disabled while the device port looks for the amp and
// starts the job.
void UpdateWindow::OnUpdate() {
  if (starting_ || jobActive_) return;
  StopPoll();
  MainRoad().UpdateCompleted = 0;
  starting_ = true;
  EnableButtons(false);
  // The amp's lock is taken with the presence test and held until the update has ended.
  struct Found {
    DeviceAccessReport access;
    std::shared_ptr<AmpLockAttempt> lock;
  };
  device_.Run(
      life_,
      [] {
        Found found{CheckDeviceAccess(), std::make_shared<AmpLockAttempt>()};
        if (found.access.access == DeviceAccess::Ready)
          *found.lock = LockFoundAmp(found.access.path);
        return found;
      },
      [this](const Found& found) {
        ampLock_ = std::move(found.lock->lock);
        ContinueUpdate(found.access, *found.lock);
      });
}

void UpdateWindow::ContinueUpdate(const DeviceAccessReport& access, const AmpLockAttempt& lock) {
  MainRoadState& road = MainRoad();
  if (access.access != DeviceAccess::Ready) {
    const std::string missing = AmpMissingText(access.access);
    SetStatus(missing);
    AppPrompter().ShowBox(BoxKind::Window, missing);
    EndUpdateStart();
    return;
  }
  if (lock.outcome == AmpLockOutcome::HeldElsewhere) {
    SetStatus(AmpInUseText(lock.holder));
    EndUpdateStart();
    return;
  }
  if (road.UpdatePlan == kPlanNothing) road.UpdateConfirmed = face_.AskSameVersion() ? 1 : 0;
  if (road.UpdateConfirmed != 1) {
    EndUpdateStart();
    return;
  }
  EnableButtons(false);
  SetStatus(kTextStartUpdating);
  if (road.UpdatePlan == kPlanDspOnly) {
    SetStatus(kTextSameMcuFirmware);
    StartFirmwareJob(kJobDsp, kTextUpdateDspFailed, kTextClickUpdate);
  } else {
    StartFirmwareJob(kJobMcu, kTextUpdateMcuFailed, kTextClickUpdateAfterMcuStartFailed);
  }
}

// Nothing was started: the Connected buttons and the poll come back.
void UpdateWindow::EndUpdateStart() {
  starting_ = false;
  ampLock_.reset();
  EnableButtons(true);
  StartPoll();
}

// Starts a job on the device port ("INITSTA" and the job's thread); when it cannot start, says
// so and returns to the Connected buttons and poll. While it runs the poll stays stopped: the
// job's messages drive the window. StartJob's own box, when "INITSTA" fails, is asked for from
// the device port's thread.
void UpdateWindow::StartFirmwareJob(int kind, const char* failureBox,
                                    const char* statusAfterFailure) {
  jobActive_ = true;
  starting_ = true;
  if (!road_) road_ = std::make_unique<UpdateScope>();
  WindowJobOwner* owner = &owner_;
  device_.Run(
      life_, [owner, kind] { return StartJob(owner, kind); },
      [this, failureBox, statusAfterFailure](int started) {
        starting_ = false;
        if (started) return;
        jobActive_ = false;
        road_.reset();
        ampLock_.reset();
        AppPrompter().ShowBox(BoxKind::Window, failureBox);
        JobStatus.store(kJobIdle);
        EnableButtons(true);
        SetStatus(statusAfterFailure);
        CurrentTransfer.store(kTransferNone);
        StartPoll();
      });
}

void UpdateWindow::OnPrepareProgressBar(int total) {
  progress_.Prepare(total);
  face_.SetProgressRange(JobProgress::RangeFor(total));
}

void UpdateWindow::OnJobMessage(int message, int wParam, long lParam) {
  const int transfer = CurrentTransfer.load();
  const bool mcu = transfer == kTransferMcu && message == WM_MCU_JOB;
  const bool dsp = transfer == kTransferDsp && message == WM_DSP_JOB;
  if (!mcu && !dsp) return;

  switch (wParam) {
    case JOB_PROGRESS:
      SetStatus(mcu ? kTextMcuUpdating : kTextDspUpdating);
      face_.SetProgress(progress_.Position(lParam));
      face_.SetText(UpdateText::Percent, progress_.PercentText(lParam));
      break;
    case JOB_DONE:
      face_.SetProgress(0);
      face_.SetText(UpdateText::Percent, kTextBlank);
      JobStatus.store(kJobIdle);
      if (mcu) {
        SetStatus(kTextMcuUpdateDone);
        if (MainRoad().UpdatePlan == kPlanMcuOnly) {
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
      face_.SetProgress(0);
      face_.SetText(UpdateText::Percent, kTextBlank);
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
void UpdateWindow::FinishRoad(bool succeeded) {
  jobActive_ = false;
  road_.reset();
  ampLock_.reset();
  EnableButtons(true);
  SetStatus(succeeded ? kTextUpdateSucceeded : kTextUpdateFailed);
  if (succeeded) {
    // The user unplugs the amp and leaves; after a failure "Update" keeps the focus to try again.
    face_.Focus(UpdateControl::Exit);
    MainRoad().UpdateCompleted = 1;
    LoadEmbeddedImages();
  }
  StartPoll();
}

void UpdateWindow::EnableButtons(bool enabled) {
  updateEnabled_ = enabled;
  face_.Enable(UpdateControl::Update, enabled);
  face_.Enable(UpdateControl::Exit, enabled);
  if (enabled) face_.Focus(UpdateControl::Update);
}

void UpdateWindow::StartPoll() {
  pollRunning_ = true;
  ArmPoll();
}

// A reading that is being made arms the timer itself when it comes back.
void UpdateWindow::ArmPoll() {
  if (!pollRunning_ || readingInFlight_ || timerArmed_) return;
  timerArmed_ = true;
  face_.ArmPollTimer(kPollPeriodMs);
}

void UpdateWindow::StopPoll() {
  pollRunning_ = false;
  if (timerArmed_) face_.StopPollTimer();
  timerArmed_ = false;
}

}  // namespace korva::dialogs
