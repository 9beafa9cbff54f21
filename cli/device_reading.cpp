// Presence, "INITSTA", "RV" and the plan.
#include "cli/device_reading.h"

#include <optional>

#include "cli/cli.h"
#include "cli/messages.h"
#include "device/device_access.h"
#include "device/link_mode.h"
#include "images/embedded_images.h"
#include "images/image_store.h"
#include "jobs/update_plan.h"

namespace korva::cli {

std::unique_ptr<AmpLock> LockAmpOrSay(const std::string& path, Reporter& reporter, bool& inUse) {
  AmpLockAttempt attempt = LockFoundAmp(path);
  inUse = attempt.outcome == AmpLockOutcome::HeldElsewhere;
  if (inUse) reporter.InUse(path, attempt.holder, AmpInUseText(attempt.holder));
  return std::move(attempt.lock);
}

DeviceReading ReadDevice(Reporter& reporter) {
  DeviceReading reading;
  const DeviceAccessReport access = CheckDeviceAccess();
  if (access.access == DeviceAccess::Absent) {
    LinkMode.store(kLinkNone);
    reporter.Disconnected();
    reading.exitCode = kExitNoDevice;
    return reading;
  }
  if (access.access != DeviceAccess::Ready) {
    LinkMode.store(kLinkNone);
    reporter.NotAccessible(access);
    reading.exitCode = kExitNotAccessible;
    return reading;
  }
  // Nothing, not even "INITSTA", goes to an amp that another program is writing.
  bool inUse = false;
  reading.lock = LockAmpOrSay(access.path, reporter, inUse);
  if (inUse) {
    reading.exitCode = kExitNotAccessible;
    return reading;
  }
  LinkMode.store(kLinkHid);
  if (!InitStates()) {
    reporter.ConnectError();
    reading.exitCode = kExitUpdateFailed;
    return reading;
  }
  reporter.Connected(access.path);

  // As in the window: a failed "RV" leaves the record as it was, and a record whose flags say
  // "no version" leaves the text as it was; the comparison then works on that text.
  const bool versionRead = ReadVersionRecord() == 1;
  const bool rebuilt = RebuildDeviceVersionText();
  std::optional<std::string> shown;
  if (versionRead && rebuilt) shown = PrintableVersion(DeviceVersionText());

  if (!LoadEmbeddedImages()) {
    reporter.Result(kExitUpdateFailed, kTextCarriedImagesBroken);
    reading.exitCode = kExitUpdateFailed;
    return reading;
  }
  reading.carried = EmbeddedVersionText();
  reading.plan = DecideUpdatePlan(DeviceVersionText(), reading.carried);
  reporter.Versions(shown, PrintableVersion(reading.carried));
  reporter.Plan(reading.plan);
  return reading;
}

}  // namespace korva::cli
