// The program's texts as Qt shows them: their bytes through DisplayText (jobs/display_text.h).
#pragma once

#include <QString>
#include <string>

namespace korva::qt {

QString QtText(const std::string& bytes);

}  // namespace korva::qt
