// The common file-open dialog.
#include "win32/file_dialog.h"

#include <commdlg.h>

#include "win32/wide_text.h"

namespace korva::win32 {
namespace {

// Room for a long path: the dialog refuses a name that does not fit.
constexpr std::size_t kPathRoom = 32768;

}  // namespace

std::optional<std::string> ChooseFileToOpen(HWND owner, const dialogs::FileFilter& filter) {
  const std::wstring shown = Wide(filter.pattern);
  // The dialog takes the patterns of one entry separated by ";" alone.
  std::wstring patterns;
  for (wchar_t c : shown) {
    if (c != L' ') patterns += c;
  }
  // One entry: what the user reads, then its patterns; the list ends with an empty string.
  std::wstring filterList = shown + L'\0' + patterns + L'\0' + L'\0';
  std::wstring file(kPathRoom, L'\0');
  file.replace(0, shown.size(), shown);
  const std::wstring suffix = Wide(filter.defaultSuffix);

  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filterList.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.lpstrDefExt = suffix.empty() ? nullptr : suffix.c_str();
  // The program's current folder stays as it was.
  dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR;
  if (!GetOpenFileNameW(&dialog)) return std::nullopt;
  file.resize(file.find(L'\0'));
  return FileSystemPath(file);
}

}  // namespace korva::win32
