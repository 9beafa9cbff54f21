// Boxes as report lines, from whichever thread shows them.
#include "cli/reporting_prompter.h"

namespace korva::cli {

void ReportingPrompter::ShowBox(BoxKind, const std::string& text) {
  if (jobQueue_ && std::this_thread::get_id() != mainThread_) {
    jobQueue_->ShowBox(text);
  } else {
    reporter_.Note(text);
  }
}

}  // namespace korva::cli
