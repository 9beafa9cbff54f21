// The terminal front end's words.
#include "cli/messages.h"

#include "cli/job_traits.h"
#include "cli/system_texts.h"
#include "jobs/update_plan.h"

namespace korva::cli {

std::string AccessAdvice(const DeviceAccessReport& report) {
  const std::string found = "A KORVA is connected at " + report.path + ", but ";
  switch (report.access) {
    case DeviceAccess::PermissionDenied:
      return found + PermissionDeniedAdvice();
    case DeviceAccess::HeldElsewhere:
      return found +
             "another program holds it. Close that program (another updater, for example) and try "
             "again.";
    default:
      return found + "it cannot be opened. Reconnect the amp and try again.";
  }
}

const char* AccessWord(DeviceAccess access) {
  return access == DeviceAccess::Ready ? "ready" : DeviceAccessReason(access);
}

std::string AmpChosenText(const std::string& path, int connected) {
  return std::to_string(connected) + " KORVAs are connected; this run uses the first, " + path +
         ". To use another, add --path PATH ('korva-updater-cli list' shows them).";
}

std::string NoAmpAtText(const std::string& path) {
  return "No KORVA at " + path + " ('korva-updater-cli list' shows the connected ones).";
}

std::string PrintableText(std::string_view text) {
  std::string shown;
  for (char c : text) shown += c >= 0x20 && c < 0x7F ? c : '?';
  return shown;
}

std::string WithoutControls(std::string_view text) {
  std::string shown;
  for (char c : text) shown += ((c >= 0 && c < 0x20) || c == 0x7F) && c != '\n' ? '?' : c;
  return shown;
}

std::string PrintableVersion(const VersionText& text) {
  return PrintableText({text.data(), text.size()});
}

const char* PlanStatusLine(int plan) {
  return plan == kPlanBoth ? kTextBothPartsDiffer : PlanStatusText(plan);
}

const char* JobName(int kind) { return FactsOf(kind).name; }
const char* JobLabel(int kind) { return FactsOf(kind).label; }

}  // namespace korva::cli
