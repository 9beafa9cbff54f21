// The About box, the same-version prompt and the busy prompt.
#include "win32/small_dialogs.h"

#include "resources/windows/resource.h"

namespace korva::win32 {
namespace {

bool IsButton(WPARAM wParam, int id) {
  return LOWORD(wParam) == id && HIWORD(wParam) == BN_CLICKED;
}

}  // namespace

AboutDlg::AboutDlg() : Dialog(IDD_ABOUT) {}

bool AboutDlg::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
  if (message == WM_INITDIALOG) {
    result = TRUE;  // the default button takes the focus
    return true;
  }
  if (message == WM_COMMAND && (IsButton(wParam, IDOK) || IsButton(wParam, IDCANCEL))) {
    End(LOWORD(wParam));
    return true;
  }
  return false;
}

SameVersionDlg::SameVersionDlg() : Dialog(IDD_SAME_VERSION) {}

bool SameVersionDlg::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
  if (message == WM_INITDIALOG) {
    SetWindowIcons(Handle(), largeIcon_, smallIcon_);
    FocusItem(IDCANCEL);
    result = FALSE;  // the focus is set
    return true;
  }
  if (message == WM_COMMAND && (IsButton(wParam, IDOK) || IsButton(wParam, IDCANCEL))) {
    End(LOWORD(wParam));
    return true;
  }
  return false;
}

BusyPromptDlg::BusyPromptDlg() : Dialog(IDD_BUSY_PROMPT) {}

void BusyPromptDlg::ShowOver(HWND over) {
  RECT area{};
  RECT prompt{};
  GetWindowRect(over, &area);
  GetWindowRect(Handle(), &prompt);
  const int width = prompt.right - prompt.left;
  const int height = prompt.bottom - prompt.top;
  SetWindowPos(Handle(), HWND_TOP, (area.left + area.right - width) / 2,
               (area.top + area.bottom - height) / 2, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
}

void BusyPromptDlg::Hide() { ShowWindow(Handle(), SW_HIDE); }

bool BusyPromptDlg::OnMessage(UINT message, WPARAM, LPARAM, LRESULT& result) {
  switch (message) {
    case WM_INITDIALOG:
      result = FALSE;  // nothing in it takes the focus
      return true;
    case WM_CLOSE:  // as a dialog's Cancel: hidden, and kept for the next time
      Hide();
      return true;
    default:
      return false;
  }
}

}  // namespace korva::win32
