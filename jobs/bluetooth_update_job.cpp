// The Bluetooth module's firmware update. The amp is first told to hand its USB link to the
// module ("UA", acknowledged, then "UB"); the update library then connects to the module,
// writes the chosen file, and reports progress until it reads 100. Only 99 right before the
// 100, with a result of 0, is a success; the module is then restarted and disconnected. A
// progress value outside 0 to 100, one that stays the same too long, or an update that does not
// end in time is a failure: the library is not waited for forever.
#include <cstdint>
#include <mutex>
#include <string>

#include "device/amp_lock.h"
#include "device/clock.h"
#include "device/command_protocol.h"
#include "device/hid_dfu.h"
#include "device/hid_transport.h"
#include "device/link_mode.h"
#include "device/report_builder.h"
#include "jobs/job_report.h"
#include "jobs/job_texts.h"
#include "jobs/prompter.h"
#include "jobs/service_jobs.h"
#include "jobs/worker.h"
#include "support/support_log.h"

namespace korva {

std::atomic<std::uint16_t> DfuConnectAttempts{0};

namespace {

// The job's own boxes wait until the user has closed them, so that its final message always
// comes after the box.
void Say(const char* text) { AppPrompter().ShowBox(BoxKind::Application, text); }

// Up to ten attempts, one second apart. "Already connected" counts as connected.
bool ConnectToModule() {
  DfuConnectAttempts.store(0);
  for (;;) {
    if (ConnectBluetoothModuleOnce()) {
      LinkMode.store(kLinkBluetooth);
      return true;
    }
    Pause(kDfuConnectRetryPauseMs);
    const std::uint16_t failed = static_cast<std::uint16_t>(DfuConnectAttempts.load() + 1);
    DfuConnectAttempts.store(failed);
    if (failed >= kDfuConnectAttemptLimit) return false;
  }
}

enum class UpdateEnd { After99, AfterOther, Stalled, OutOfRange, TooLong };

// Polls the progress every 100 ms, posting each value, until it reads 100, and says what came
// right before the 100. A value outside 0 to 100 (also the library not answering) ends the
// update as failed and is not posted; so does a value that stays the same for the stall limit,
// and an update that has not ended within the update limit (values that go back and forth).
UpdateEnd FollowProgress(JobReport& report) {
  int previous = 0;
  int value = 0;
  const std::int64_t startMs = ProcessClock().NowMs();
  std::int64_t lastChangeMs = startMs;
  for (;;) {
    previous = value;
    value = hidDfuGetProgress() & kDfuProgressMask;
    if (value > kDfuProgressEnded) {
      SupportLog("the Bluetooth module's progress read " + std::to_string(value) +
                 ", outside 0 to 100: the update failed");
      return UpdateEnd::OutOfRange;
    }
    const std::int64_t now = ProcessClock().NowMs();
    if (value != previous) lastChangeMs = now;
    report.Progress(value);
    Pause(kDfuProgressPollMs);
    if (value == kDfuProgressEnded) {
      return previous == kDfuProgressBeforeSuccess ? UpdateEnd::After99 : UpdateEnd::AfterOther;
    }
    if (now - lastChangeMs >= kDfuProgressStallLimitMs) {
      SupportLog("the Bluetooth module's progress stayed at " + std::to_string(value) +
                 " too long: the update failed");
      return UpdateEnd::Stalled;
    }
    if (now - startMs >= kDfuUpdateLimitMs) {
      SupportLog("the Bluetooth module's update did not end in time: it failed");
      return UpdateEnd::TooLong;
    }
  }
}

std::mutex g_handedMutex;
std::unique_ptr<AmpLock> g_handedClaim;

std::unique_ptr<AmpLock> TakeHandedClaim() {
  std::lock_guard lock(g_handedMutex);
  return std::move(g_handedClaim);
}

}  // namespace

int SwitchLinkToBluetooth() {
  JobReport report(WM_BLUETOOTH_JOB);
  if (!report.PassWriteGate()) return report.FailedWithStatus(0);
  HidReport hid{};
  SetCommand(hid, kLinkSwitchCommand, kLinkSwitchRequest);
  if (!WriteReport(hid, kReportId)) return report.FailedWithStatus(0);
  Pause(kLinkSwitchRequestPauseMs);
  if (!WaitForAck()) {
    JobStatus.store(kJobFailedStatus);
    Say(kTextLinkSwitchFailed);
    return report.Failed(0);
  }
  // The switch command is the same report with 'B' as its second byte.
  SetCommand(hid, kLinkSwitchCommand, kLinkSwitchExecute);
  if (!WriteReport(hid, kReportId)) return report.FailedWithStatus(0);
  Pause(kLinkSwitchSettleMs);  // the amp switches its USB connection over to the module
  // The amp has handed its link over: without a thread for the update the switch failed.
  if (!StartWorker(BluetoothUpdateJob)) return report.FailedWithStatus(0);
  return 1;
}

void HandModuleClaimToJob(std::unique_ptr<AmpLock> claim) {
  std::lock_guard lock(g_handedMutex);
  g_handedClaim = std::move(claim);
}

int BluetoothUpdateJob() {
  JobReport report(WM_BLUETOOTH_JOB);
  std::unique_ptr<AmpLock> claim = TakeHandedClaim();
  if (!claim) {
    AmpLockAttempt attempt = ClaimBluetoothModule();
    if (attempt.outcome == AmpLockOutcome::HeldElsewhere) {
      JobStatus.store(kJobFailedStatus);
      AppPrompter().ShowBox(BoxKind::Application, ModuleInUseText(attempt.holder));
      return report.Failed(0);
    }
    claim = std::move(attempt.lock);
  }
  // The connection phase is skipped only while the library's connection is really open: after
  // a failed update the job closed it, and a second attempt connects again.
  if (!DfuConnectionOpen() && !ConnectToModule()) {
    JobStatus.store(kJobFailedStatus);
    Say(kTextBluetoothConnectFailed);
    return report.Failed(0);
  }
  report.PrepareProgressBar(kDfuProgressEnded);

  // With the link handed over before this job, the update is its first write. A connection
  // that the front end made for it is the front end's to close.
  if (!report.PassWriteGate()) return report.FailedWithStatus(0);
  const std::string path = report.StoredFilePath();
  if (hidDfuUpgrade(path.c_str(), 0) != 0) {
    hidDfuResetDevice();  // results ignored: the update did not start
    hidDfuDisconnect();
    return report.FailedWithStatus(0);
  }
  JobStatus.store(kJobRunning);

  // The result is asked for after every update that ended, though only a run through 99 can
  // pass; an update that did not end has no result to ask for.
  const UpdateEnd end = FollowProgress(report);
  const bool ended = end == UpdateEnd::After99 || end == UpdateEnd::AfterOther;
  const bool succeeded = ended && hidDfuGetResult() == 0 && end == UpdateEnd::After99;
  if (!succeeded) {
    hidDfuDisconnect();
    return report.FailedWithStatus(kDfuProgressEnded);
  }
  if (hidDfuResetDevice() != 0) {
    hidDfuDisconnect();
    JobStatus.store(kJobFailedStatus);
    Say(kTextBluetoothResetFailed);
    return report.Failed(kDfuProgressEnded);
  }
  if (hidDfuDisconnect() == 0) return report.Done();
  hidDfuDisconnect();
  JobStatus.store(kJobFailedStatus);
  Say(kTextBluetoothDisconnectFailed);
  return report.Failed(kDfuProgressEnded);
}

}  // namespace korva
