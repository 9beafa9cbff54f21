// The terminal front end's words.
#include "cli/messages.h"

#include "jobs/job_messages.h"

namespace korva::cli {

std::string AccessAdvice(const DeviceAccessReport& report) {
  const std::string found = "A KORVA is connected at " + report.path + ", but ";
  switch (report.access) {
    case DeviceAccess::PermissionDenied:
      return found + "this user may not open it (permission denied).\n"
             "Install the udev rule " + kUdevRuleName + " that comes with the updater as /etc/udev/rules.d/" +
             kUdevRuleName + " (packages put it in /usr/lib/udev/rules.d/); it gives the logged-in user "
             "access (TAG+=\"uaccess\"). Then run 'sudo udevadm control --reload && sudo udevadm trigger' "
             "and reconnect the amp.";
    case DeviceAccess::HeldElsewhere:
      return found + "another program holds it. Close that program (another updater, for example) and try "
             "again.";
    default:
      return found + "it cannot be opened. Reconnect the amp and try again.";
  }
}

const char* AccessReason(DeviceAccess access) {
  switch (access) {
    case DeviceAccess::PermissionDenied: return "permission denied";
    case DeviceAccess::HeldElsewhere: return "held by another program";
    default: return "cannot be opened";
  }
}

std::string DisplayText(const std::string& text) {
  static const std::string gbkWide = "\xA3\xA1";
  static const std::string utf8Wide = "\xEF\xBC\x81";  // U+FF01
  std::string shown = text;
  for (std::size_t at = shown.find(gbkWide); at != std::string::npos; at = shown.find(gbkWide, at)) {
    shown.replace(at, gbkWide.size(), utf8Wide);
    at += utf8Wide.size();
  }
  return shown;
}

std::string PrintableVersion(const VersionText& text) {
  std::string shown;
  for (char c : text) shown += c >= 0x20 && c < 0x7F ? c : '?';
  return shown;
}

const char* JobName(int kind) { return kind == kJobMcu ? "MCU" : "DSP"; }
const char* JobLabel(int kind) { return kind == kJobMcu ? "MCU firmware" : "DSP firmware"; }

}  // namespace korva::cli
