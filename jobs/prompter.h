// The port through which the program shows message boxes. A window box has no icon; an
// application box has the exclamation icon; both carry the program file's base name as
// caption and an OK button. Texts are the program's own bytes (some end in the GBK bytes
// 0xA3 0xA1, a full-width "!"). ShowBox returns when the user has closed the box, also when
// called from a job thread.
#pragma once

#include <string>

namespace korva {

enum class BoxKind { Window, Application };

class Prompter {
 public:
  virtual ~Prompter() = default;
  virtual void ShowBox(BoxKind kind, const std::string& text) = 0;
};

// The process-wide prompter used by the dispatcher and the jobs (not owned). Until one is
// installed, boxes are written to standard error. Every box shown through it is noted in the
// support log first.
Prompter& AppPrompter();
// Installs `prompter` (nullptr: standard error again) and returns the one it replaces.
Prompter* SetAppPrompter(Prompter* prompter);

}  // namespace korva
