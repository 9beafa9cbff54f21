// Message boxes through MessageBox, on the GUI thread.
#include "win32/message_box_prompter.h"

#include "win32/wide_text.h"

namespace korva::win32 {
namespace {

// The window that the user works in: the active one, or, while another program is in front,
// this thread's frontmost window that takes input. It owns the box, and stays disabled while
// the box is up.
HWND BoxOwner() {
  if (HWND active = GetActiveWindow()) return active;
  const DWORD thread = GetCurrentThreadId();
  for (HWND window = GetTopWindow(nullptr); window; window = GetWindow(window, GW_HWNDNEXT)) {
    if (GetWindowThreadProcessId(window, nullptr) == thread && IsWindowVisible(window) &&
        IsWindowEnabled(window))
      return window;
  }
  return nullptr;
}

}  // namespace

void MessageBoxPrompter::ShowBox(BoxKind kind, const std::string& text) {
  gui_.Run([kind, &text] {
    HWND owner = BoxOwner();
    const UINT style = MB_OK | (kind == BoxKind::Application ? MB_ICONEXCLAMATION : 0);
    MessageBoxW(owner, Shown(text).c_str(), ProgramName().c_str(), style);
  });
}

}  // namespace korva::win32
