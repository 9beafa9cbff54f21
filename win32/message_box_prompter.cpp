// Message boxes through MessageBox, on the GUI thread.
#include "win32/message_box_prompter.h"

#include "win32/wide_text.h"

namespace korva::win32 {

void MessageBoxPrompter::ShowBox(BoxKind kind, const std::string& text) {
  gui_.Run([kind, &text] {
    // The window that the user works in owns the box: it stays disabled while the box is up.
    HWND owner = GetActiveWindow();
    const UINT style = MB_OK | (kind == BoxKind::Application ? MB_ICONEXCLAMATION : 0);
    MessageBoxW(owner, Shown(text).c_str(), ProgramName().c_str(), style);
  });
}

}  // namespace korva::win32
