// The Windows console for korva-updater-cli: UTF-8 output and virtual-terminal sequences for
// the live bar, put back as they were at the end, and Ctrl-C through SetConsoleCtrlHandler. The
// console calls sit behind an interface, so that tests can stand in for the console.
#pragma once

#include <windows.h>

#include "cli/cli.h"

namespace korva::cli::win32 {

class ConsoleCalls {
 public:
  virtual ~ConsoleCalls() = default;
  virtual HANDLE GetStdHandle(DWORD which) = 0;
  virtual BOOL GetConsoleMode(HANDLE console, LPDWORD mode) = 0;
  virtual BOOL SetConsoleMode(HANDLE console, DWORD mode) = 0;
  virtual BOOL GetConsoleScreenBufferInfo(HANDLE console, PCONSOLE_SCREEN_BUFFER_INFO info) = 0;
  virtual UINT GetConsoleOutputCP() = 0;
  virtual BOOL SetConsoleOutputCP(UINT codePage) = 0;
  virtual BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE handler, BOOL add) = 0;
};

ConsoleCalls& SystemConsoleCalls();

// Ctrl-C (and Ctrl-Break) from Start() to Stop(): the handler, which the system runs on a
// thread of its own, hands the press to the program's interrupt policy, the same as on every
// system; the job threads are never interrupted. Before and after, the system's default applies
// and the program ends. A console read that waits for an answer is ended by the press itself.
class ConsoleInterrupts final : public InterruptSource {
 public:
  explicit ConsoleInterrupts(ConsoleCalls& calls) : calls_(calls) {}
  ~ConsoleInterrupts() override;
  ConsoleInterrupts(const ConsoleInterrupts&) = delete;
  ConsoleInterrupts& operator=(const ConsoleInterrupts&) = delete;

  void Start(std::function<void(Interrupt)> onInterrupt) override;
  void Stop() override;

  // The handler that Start() registers.
  static BOOL WINAPI OnControl(DWORD event);

 private:
  ConsoleCalls& calls_;
  bool registered_ = false;
};

// The standard output's console, prepared for the program and given back when destroyed. On
// a console that cannot take virtual-terminal sequences (before Windows 10), and into a pipe
// or a file, the output does not count as a terminal: each job then writes a line per 10%.
class ConsoleOutput {
 public:
  explicit ConsoleOutput(ConsoleCalls& calls);
  ~ConsoleOutput();
  ConsoleOutput(const ConsoleOutput&) = delete;
  ConsoleOutput& operator=(const ConsoleOutput&) = delete;

  bool IsTerminal() const { return terminal_; }
  int Columns() const { return columns_; }

 private:
  ConsoleCalls& calls_;
  HANDLE output_ = nullptr;
  bool terminal_ = false;
  int columns_;
  bool modeChanged_ = false;
  DWORD originalMode_ = 0;
  UINT originalCodePage_ = 0;
};

}  // namespace korva::cli::win32
