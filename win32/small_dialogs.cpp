// The About box, the same-version prompt and the busy prompt.
#include "win32/small_dialogs.h"

#include "resources/windows/resource.h"

namespace korva::win32 {
namespace {

// OK (Return) or Cancel (Escape, the close box): the button's id, else 0.
int OkOrCancel(UINT message, WPARAM wParam) {
  if (message != WM_COMMAND || HIWORD(wParam) != BN_CLICKED) return 0;
  return LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL ? LOWORD(wParam) : 0;
}

}  // namespace

AboutDlg::AboutDlg() : Dialog(IDD_ABOUT) {}

bool AboutDlg::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
  if (message == WM_INITDIALOG) {
    result = TRUE;  // the default button takes the focus
  } else if (const int button = OkOrCancel(message, wParam)) {
    End(button);
  } else {
    return false;
  }
  return true;
}

SameVersionDlg::SameVersionDlg() : Dialog(IDD_SAME_VERSION) {}

bool SameVersionDlg::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
  if (message == WM_INITDIALOG) {
    SetWindowIcons(Handle(), largeIcon_, smallIcon_);
    FocusItem(IDCANCEL);
    result = FALSE;  // the focus is set
  } else if (const int button = OkOrCancel(message, wParam)) {
    End(button);
  } else {
    return false;
  }
  return true;
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
