// The main window's opening steps and its tick, on the device thread.
#include "dialogs/connection_reading.h"

#include "device/command_protocol.h"
#include "device/hid_transport.h"
#include "device/link_mode.h"
#include "jobs/link_probe.h"
#include "jobs/update_texts.h"

namespace korva::dialogs {
namespace {

ConnectionReading Unusable(const DeviceAccessReport& access) {
  const bool there = access.access != DeviceAccess::Absent && access.access != DeviceAccess::Ready;
  return {there ? ConnectionReading::State::NotAccessible : ConnectionReading::State::Absent,
          access};
}

// The lock is held for the exchange alone; the window's "Update" takes it anew.
ConnectionReading TalkToAmp(const DeviceAccessReport& access) {
  const AmpLockAttempt lock = LockFoundAmp(access.path);
  if (lock.outcome == AmpLockOutcome::HeldElsewhere) {
    return {ConnectionReading::State::InUse, access, lock.holder};
  }
  if (!InitStates()) return {ConnectionReading::State::InitStatesFailed, access};
  ReadVersionRecord();  // a failed read leaves the record as it was; nothing is said
  return {ConnectionReading::State::Connected, access};
}

}  // namespace

ConnectionReading ReadConnectionAtOpening() {
  if (LinkMode.load() != kLinkHid) {
    ReleaseModuleLink();
    return Unusable(CheckDeviceAccess());
  }
  // The welcome window's probe found the amp; where, says the search that every report makes.
  return TalkToAmp({DeviceAccess::Ready, SearchKorva().path});
}

ConnectionReading ReadConnectionAtTick() {
  DeviceAccessReport access;
  switch (ProbeLinkMode(ProbeForm::Full, &access)) {
    case ProbeOutcome::JobRunning:
      return {ConnectionReading::State::Skipped, access};
    case ProbeOutcome::AmpAbsent:
      return Unusable(access);
    case ProbeOutcome::AmpPresent:
      break;
  }
  return TalkToAmp(access);
}

std::string AmpMissingText(DeviceAccess access) {
  switch (access) {
    case DeviceAccess::Absent:
    case DeviceAccess::Ready:
      return kTextConnectCable;
    case DeviceAccess::PermissionDenied:
      return std::string(
                 "The KORVA is connected, but this user may not open it. Install the udev "
                 "rule ") +
             kUdevRuleName + " in /etc/udev/rules.d and reconnect the KORVA.";
    case DeviceAccess::HeldElsewhere:
      return "The KORVA is connected, but another program holds it. Close that program to update "
             "the KORVA.";
    default:
      return "The KORVA is connected, but it cannot be opened. Reconnect the KORVA.";
  }
}

}  // namespace korva::dialogs
