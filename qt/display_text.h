// The program's texts are single-byte strings; a few end in the GBK bytes of a full-width
// exclamation mark (0xA3 0xA1). They are kept as bytes and decoded only for display.
#pragma once

#include <QString>
#include <string>

namespace korva::qt {

// Decodes the program's text bytes as GBK (ASCII passes through unchanged).
QString DisplayText(const std::string& bytes);

}  // namespace korva::qt
