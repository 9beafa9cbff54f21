// The Bluetooth module's firmware update. The amp is first told to hand its USB link to the
// module ("UA", acknowledged, then "UB"); the update library then connects to the module,
// writes the chosen file, and reports progress until it reads 100. Only 99 right before the
// 100, with a result of 0, is a success; the module is then restarted and disconnected.
#include <cstdint>
#include <string>

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

enum class UpdateEnd { After99, AfterOther, Stalled };

// Polls the progress every 100 ms, posting each value, until it reads 100, and says what came
// right before the 100. A value that stays the same for the stall limit ends the wait, since
// the library would otherwise be waited for forever.
UpdateEnd FollowProgress(JobReport& report) {
  int previous = 0;
  int value = 0;
  std::int64_t lastChangeMs = ProcessClock().NowMs();
  for (;;) {
    previous = value;
    value = hidDfuGetProgress() & kDfuProgressMask;
    const std::int64_t now = ProcessClock().NowMs();
    if (value != previous) lastChangeMs = now;
    report.Progress(value);
    Pause(kDfuProgressPollMs);
    if (value == kDfuProgressEnded) {
      return previous == kDfuProgressBeforeSuccess ? UpdateEnd::After99 : UpdateEnd::AfterOther;
    }
    if (now - lastChangeMs >= kDfuProgressStallLimitMs) return UpdateEnd::Stalled;
  }
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

int BluetoothUpdateJob() {
  JobReport report(WM_BLUETOOTH_JOB);
  if (LinkMode.load() != kLinkBluetooth && !ConnectToModule()) {
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
  // pass; a stalled update has no result to ask for.
  const UpdateEnd end = FollowProgress(report);
  const bool succeeded =
      end != UpdateEnd::Stalled && hidDfuGetResult() == 0 && end == UpdateEnd::After99;
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
