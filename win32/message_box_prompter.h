// The program's message boxes on Windows: MessageBox with the program file's base name as
// caption and an OK button; a window box without icon, owned by the program's active window,
// an application box with the exclamation icon. A box asked for by another thread (a job, the
// device thread) is shown on the GUI thread, and the asking thread waits until it is closed.
#pragma once

#include "jobs/prompter.h"
#include "win32/gui_thread.h"

namespace korva::win32 {

class MessageBoxPrompter final : public Prompter {
 public:
  // `gui` outlives the prompter.
  explicit MessageBoxPrompter(GuiThread& gui) : gui_(gui) {}
  void ShowBox(BoxKind kind, const std::string& text) override;

 private:
  GuiThread& gui_;
};

}  // namespace korva::win32
