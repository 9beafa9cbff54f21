// Texts between the program and the Win32 API: the program keeps UTF-8 (and its own bytes,
// shown through DisplayText), the windows take UTF-16. Controls are given a text only when it
// differs from what they show, so that a window that is refreshed often neither flickers nor
// announces an unchanged text to a screen reader.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace korva::win32 {

std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);
// One of the program's texts as the user reads it (0xA3 0xA1 as U+FF01, and so on).
std::wstring Shown(std::string_view bytes);

std::wstring WindowText(HWND window);
// Sets the text unless the window shows it already.
void SetTextIfDifferent(HWND window, const std::wstring& text);

// A path from the system (the file dialog) in the form in which the core's files take it back:
// the core opens std::filesystem::path(std::string), which reads each byte as one character
// (Latin-1) on Windows. A path with characters beyond that is given by its short (8.3) name
// where the volume has one; empty when neither form names the file.
std::string FileSystemPath(const std::wstring& path);
// Such a path as the user reads it.
std::wstring ShownPath(std::string_view path);

// The program file's base name ("korva-updater"): the caption of every message box.
std::wstring ProgramName();

}  // namespace korva::win32
