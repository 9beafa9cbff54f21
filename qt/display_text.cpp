// The program's texts as QStrings.
#include "qt/display_text.h"

#include "jobs/display_text.h"

namespace korva::qt {

QString QtText(const std::string& bytes) { return QString::fromStdString(DisplayText(bytes)); }

}  // namespace korva::qt
