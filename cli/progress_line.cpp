// Progress lines.
#include "cli/progress_line.h"

#include <algorithm>
#include <cstdio>

#include "cli/job_traits.h"
#include "cli/messages.h"
#include "jobs/job_facts.h"

namespace korva::cli {
namespace {

constexpr int kWidestBar = 40;
constexpr int kNarrowestBar = 5;

long ShownCount(const JobProgress& p) { return std::clamp(p.sent, 0L, std::max(p.reports, 0L)); }

}  // namespace

std::string FormatDuration(std::int64_t ms) {
  const std::int64_t seconds = std::max<std::int64_t>(ms, 0) / 1000;
  char text[32];
  if (seconds >= 3600) {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
  }
  return text;
}

std::optional<std::int64_t> RemainingMs(const JobProgress& p) {
  if (p.reports <= 0) return 0;  // nothing to send
  const long sent = ShownCount(p);
  if (sent <= 0) return std::nullopt;
  return p.elapsedMs * (p.reports - sent) / sent;
}

std::string ProgressBarLine(const JobProgress& p, int columns) {
  const int percent = ProgressPercent(p.sent, p.reports);
  const auto left = RemainingMs(p);
  char tail[128];
  if (FactsOf(p.kind).percentOnly) {
    std::snprintf(tail, sizeof tail, " %3d%%  %s elapsed", percent,
                  FormatDuration(p.elapsedMs).c_str());
  } else {
    std::snprintf(tail, sizeof tail, " %3d%%  %ld/%ld  %s elapsed  %s left", percent, ShownCount(p),
                  p.reports, FormatDuration(p.elapsedMs).c_str(),
                  left ? FormatDuration(*left).c_str() : "-:--");
  }
  const std::string label = JobLabel(p.kind);
  const int room =
      columns - 1 -
      static_cast<int>(label.size() + std::string(" []").size() + std::string(tail).size());
  std::string line = label;
  if (room >= kNarrowestBar) {
    const int width = std::min(room, kWidestBar);
    const int filled = width * percent / 100;
    line += " [" + std::string(filled, '#') + std::string(width - filled, '-') + "]";
  }
  line += tail;
  if (columns > 1 && static_cast<int>(line.size()) > columns - 1) line.resize(columns - 1);
  return line;
}

std::string ProgressStepLine(const JobProgress& p) {
  char text[160];
  if (FactsOf(p.kind).percentOnly) {
    std::snprintf(text, sizeof text, "%s: %d%% (%s elapsed)", JobLabel(p.kind),
                  ProgressPercent(p.sent, p.reports), FormatDuration(p.elapsedMs).c_str());
  } else {
    std::snprintf(text, sizeof text, "%s: %d%% (%ld/%ld reports, %s elapsed)", JobLabel(p.kind),
                  ProgressPercent(p.sent, p.reports), ShownCount(p), p.reports,
                  FormatDuration(p.elapsedMs).c_str());
  }
  return text;
}

int ProgressStep(const JobProgress& p) { return ProgressPercent(p.sent, p.reports) / 10; }

}  // namespace korva::cli
