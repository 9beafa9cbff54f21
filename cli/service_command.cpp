// A service page's "Upgrade" from the terminal. The checks run in the page's order, and the
// first that fails ends the command before anything is written to the amp: the link is not
// handed to the Bluetooth module (the bluetooth command goes on with it), the amp is there,
// the file can be read, the file passes its rule. Then the accepted file goes where its job
// reads it, and the job runs with the page's texts for each outcome.
#include "cli/service_command.h"

#include <filesystem>

#include "cli/device_reading.h"
#include "cli/job_driver.h"
#include "cli/messages.h"
#include "device/hid_dfu.h"
#include "device/link_mode.h"
#include "images/file_placement.h"
#include "jobs/job_messages.h"
#include "jobs/link_probe.h"
#include "jobs/service_texts.h"

namespace korva::cli {
namespace {

// The link and presence checks. The amp's HID interface is gone while its link is handed to
// the module: the file commands refuse then, the bluetooth command goes on without it.
int CheckLink(int kind, const DeviceAccessReport& access, Reporter& reporter) {
  const bool onModule = LinkMode.load() == kLinkBluetooth;
  if (kind != kJobBluetooth && onModule) {
    reporter.Result(kExitNoDevice, kTextLinkOnBluetooth);
    return kExitNoDevice;
  }
  if (onModule || access.access == DeviceAccess::Ready) return kExitOk;
  if (access.access == DeviceAccess::Absent) {
    reporter.Result(kExitNoDevice, kTextConnectDevice);
    return kExitNoDevice;
  }
  reporter.NotAccessible(access);
  return kExitNotAccessible;
}

const char* RejectionText(FileVerdict verdict) {
  switch (verdict) {
    case FileVerdict::CannotOpen:
      return kTextSelectFile;
    case FileVerdict::TooSmall:
      return kTextFileTooSmall;
    default:
      return kTextFileWrong;
  }
}

FirmwareKind FirmwareKindOf(int kind) {
  if (kind == kJobMcu) return FirmwareKind::Mcu;
  return kind == kJobDsp ? FirmwareKind::Dsp : FirmwareKind::Battery;
}

// Reads the file, applies its rule and puts an accepted file where its job reads it; `reason`
// says why a file was refused, where that can be said. The Bluetooth module's file is only
// opened: its library checks it.
FileVerdict CheckAndPlaceFile(int kind, const std::string& path, Reporter& reporter,
                              std::string& reason) {
  if (kind == kJobBluetooth) {
    FileRead read = ReadFileBounded(path, 0, WhenLonger::Skip);
    reason = std::move(read.reason);
    return read.opened ? FileVerdict::Accepted : FileVerdict::CannotOpen;
  }
  if (kind == kJobAudio) {
    WavFile wav = LoadWavFile(path);
    const FileVerdict verdict = wav.verdict;
    reason = std::move(wav.reason);
    if (verdict == FileVerdict::Accepted) PlaceAudioFile(std::move(wav));
    return verdict;
  }
  FirmwareFile file = LoadFirmwareFile(FirmwareKindOf(kind), path);
  reason = std::move(file.reason);
  if (file.verdict != FileVerdict::Accepted) return file.verdict;
  reporter.Note(std::string(kTextUpdateVersionLabel) + " " + PrintableText(file.versionLabel));
  if (kind == kJobMcu) return PlaceMcuFile(file) ? FileVerdict::Accepted : FileVerdict::Wrong;
  if (kind == kJobDsp) return PlaceDspFile(file) ? FileVerdict::Accepted : FileVerdict::Wrong;
  return PlaceBatteryFile(std::move(file)) ? FileVerdict::Accepted : FileVerdict::Wrong;
}

// The update library is given the full path, as a file dialog gives it.
std::string FullPath(const std::string& path) {
  std::error_code error;
  const std::filesystem::path full = std::filesystem::absolute(path, error);
  return error ? path : full.string();
}

// The module's lock for the bluetooth command, unless the probe holds it already; false, with
// the command's result said, when another program uses the module.
bool ClaimModuleOrSay(AmpLockAttempt& module, Reporter& reporter) {
  if (module.outcome == AmpLockOutcome::Taken && module.lock) return true;
  if (module.outcome != AmpLockOutcome::HeldElsewhere) module = ClaimBluetoothModule();
  if (module.outcome != AmpLockOutcome::HeldElsewhere) return true;
  reporter.InUse(kModuleLockName, module.holder, ModuleInUseText(module.holder));
  return false;
}

int RunJob(JobDriver& driver, int kind, Reporter& reporter) {
  const ServiceJobTexts& texts = ServiceJobTextsOf(kind);
  const int exitCode = driver.Run(kind, texts.startFailed, texts.failed);
  if (exitCode == kExitOk) reporter.Result(kExitOk, texts.succeeded);
  return exitCode;
}

}  // namespace

int RunServiceCommand(const Options& options, Environment& env, Reporter& reporter,
                      InterruptPolicy& policy) {
  const int kind = options.jobKind;
  AmpLockAttempt module;
  const DeviceAccessReport access = ProbeLinkForCommand(kind == kJobBluetooth, module);
  // A probe that the library never answered was given up: the user hears what that leaves.
  if (const std::string stuck = TakeDfuStuckText(); !stuck.empty()) reporter.Warning(stuck);
  if (policy.StoppedBeforeWriting()) {
    ReleaseKeptModuleConnection();
    reporter.Result(kExitStopped, kTextStoppedBeforeWriting);
    return kExitStopped;
  }
  int exitCode = kExitOk;
  if (module.outcome == AmpLockOutcome::HeldElsewhere) {
    reporter.InUse(kModuleLockName, module.holder, ModuleInUseText(module.holder));
    exitCode = kExitNotAccessible;
  }
  if (exitCode == kExitOk) exitCode = CheckLink(kind, access, reporter);
  // The amp's lock until the job has ended, and for the bluetooth command the module's. With
  // the link on the module the amp has no HID path of its own, and there is nothing to lock.
  std::unique_ptr<AmpLock> lock;
  if (exitCode == kExitOk) {
    bool inUse = false;
    lock = LockAmpOrSay(access.path, reporter, inUse);
    if (inUse) exitCode = kExitNotAccessible;
  }
  if (exitCode == kExitOk && kind == kJobBluetooth && !ClaimModuleOrSay(module, reporter))
    exitCode = kExitNotAccessible;
  if (exitCode == kExitOk) {
    std::string reason;
    const FileVerdict verdict = CheckAndPlaceFile(kind, options.file, reporter, reason);
    if (verdict != FileVerdict::Accepted) {
      reporter.FileRefused(options.file, RejectionText(verdict), reason);
      exitCode = kExitUsage;
    }
  }
  if (exitCode != kExitOk) {
    ReleaseKeptModuleConnection();
    return exitCode;
  }

  JobDriver driver(env, reporter, policy);
  driver.Owner().SetJobInputs(options.slot, std::filesystem::path(options.file).filename().string(),
                              FullPath(options.file));
  exitCode = driver.Execute([&] { return RunJob(driver, kind, reporter); });
  // Stopped before the module's update: the connection made for it is not needed any more.
  if (exitCode == kExitStopped) ReleaseKeptModuleConnection();
  return exitCode;
}

}  // namespace korva::cli
