// The terminal that korva-updater-cli runs in, as its operating system shows it: whether the
// standard output is a terminal that can redraw the live bar in place, how wide it is, Ctrl-C
// and the signals that act like it, and the lock that keeps the computer awake during a job.
// One implementation per system (posix_console.cpp, windows_console.cpp), chosen by the
// build.
#pragma once

#include <memory>

#include "cli/cli.h"

namespace korva::cli {

class SystemConsole {
 public:
  // Prepares the standard output for the program's texts (on Windows: UTF-8 and the terminal's
  // control sequences); the destructor gives the terminal back as it was.
  SystemConsole();
  ~SystemConsole();
  SystemConsole(const SystemConsole&) = delete;
  SystemConsole& operator=(const SystemConsole&) = delete;

  bool OutIsTerminal() const;
  int Columns() const;
  InterruptSource& Interrupts();
  // nullptr where the system has no such lock for the program.
  SleepInhibitor* Inhibitor();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The width assumed when the terminal does not tell its own.
inline constexpr int kDefaultColumns = 80;

}  // namespace korva::cli
