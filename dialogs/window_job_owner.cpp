// A window's job owner and its job's progress as the window shows it.
#include "dialogs/window_job_owner.h"

#include <algorithm>

#include "jobs/update_plan.h"

namespace korva::dialogs {

void WindowJobOwner::PostJobMessage(int message, int wParam, long lParam) {
  route_.PostJobMessage(message, wParam, lParam);
}

void WindowJobOwner::PrepareProgressBar(int total) {
  route_.RunOnWindowThread([this, total] { window_.OnPrepareProgressBar(total); });
}

std::string WindowJobOwner::SlotIndexText() {
  std::string text;
  route_.RunOnWindowThread([this, &text] { text = window_.SlotIndexText(); });
  return text;
}

int JobProgress::RangeFor(int total) { return std::max(total, 1); }

int JobProgress::Position(long count) const {
  return static_cast<int>(std::clamp<long>(count, 0, RangeFor(total_)));
}

std::string JobProgress::PercentText(long count) const {
  return std::to_string(ProgressPercent(count, total_)) + "%";
}

}  // namespace korva::dialogs
