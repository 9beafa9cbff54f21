// The Windows console for korva-updater-cli: UTF-8 output and virtual-terminal sequences for
// the live bar, put back as they were at the end, Ctrl-C through SetConsoleCtrlHandler, and the
// computer kept from sleeping during a job. The system calls sit behind an interface, so that
// tests can stand in for the console.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

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
  virtual EXECUTION_STATE SetThreadExecutionState(EXECUTION_STATE state) = 0;
};

ConsoleCalls& SystemConsoleCalls();

// Windows' counterpart of logind's lock: while held, the thread that took it tells the system
// that it is needed (ES_SYSTEM_REQUIRED), so the computer does not go to sleep; released, it
// says so no more. The state belongs to that thread: the terminal front end takes and releases
// the lock on its main thread (cli/job_driver.h). Windows has no such lock against shutting down.
class AwakeInhibitor final : public SleepInhibitor {
 public:
  explicit AwakeInhibitor(ConsoleCalls& calls) : calls_(calls) {}
  std::unique_ptr<Inhibition> Inhibit(std::string& problem) override;

 private:
  ConsoleCalls& calls_;
};

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
