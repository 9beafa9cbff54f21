// The service pages' file-open dialog: the system's common dialog with the page's one filter
// entry ("*.bin", "*.wav", "*.bin; *.dfu"), that pattern as the first file name, and the
// extension that a name typed without one gets.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "dialogs/file_filter.h"

namespace korva::win32 {

// The chosen file's path (see FileSystemPath), or nothing when the user cancelled.
std::optional<std::string> ChooseFileToOpen(HWND owner, const dialogs::FileFilter& filter);

}  // namespace korva::win32
