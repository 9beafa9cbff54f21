// How the program's texts are shown. They are single-byte strings, kept as the bytes the
// program has always used; a few end in the GBK code page's full-width exclamation mark (0xA3
// 0xA1), and the busy prompt breaks its line with "\r\n". Every front end (the terminal, the Qt
// windows, the Win32 windows) shows them through this one conversion.
#pragma once

#include <string>
#include <string_view>

namespace korva {

// The text as UTF-8: 0xA3 0xA1 becomes U+FF01, "\r\n" a plain "\n"; UTF-8 already in it (a
// path, a process name) stays, and any other byte above 0x7F (a version character from the amp)
// is taken as the Latin-1 character of that number.
std::string DisplayText(std::string_view bytes);

}  // namespace korva
