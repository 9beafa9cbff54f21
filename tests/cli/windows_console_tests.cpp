// The Windows console of korva-updater-cli against a stand-in console: Ctrl-C through the
// console control handler into the same interrupt policy, the handler gone after the command,
// UTF-8 and the live bar's control sequences where the console takes them, and the console
// given back as it was; and what the advice for a refused amp names here.
#include "cli/windows_console.h"

#include <atomic>
#include <map>
#include <thread>

#include "cli/system_console.h"
#include "tests/cli/cli_test_support.h"

namespace korva::testing {

std::vector<std::string> PermissionDeniedAdviceParts() {
  return {"access denied", "Close every other program", "reconnect the amp", "administrator"};
}

namespace {

// A console as the program sees it, which remembers the control handlers registered with it
// and runs them as the system does: on a thread of their own.
class FakeConsole final : public cli::win32::ConsoleCalls {
 public:
  bool isConsole = true;  // false: the output is a pipe or a file
  bool takesVt = true;    // false: a console before Windows 10
  DWORD mode = ENABLE_PROCESSED_OUTPUT | ENABLE_WRAP_AT_EOL_OUTPUT;
  UINT codePage = 850;
  SHORT windowLeft = 0, windowRight = 119;

  // Presses a key combination; true when a handler took it, as the system asks them in turn.
  bool Send(DWORD event) {
    std::vector<PHANDLER_ROUTINE> handlers;
    {
      std::lock_guard lock(mutex_);
      handlers = handlers_;
    }
    bool handled = false;
    std::thread([&] {
      for (auto it = handlers.rbegin(); it != handlers.rend() && !handled; ++it)
        handled = (*it)(event) != FALSE;
    }).join();
    return handled;
  }
  std::size_t Handlers() {
    std::lock_guard lock(mutex_);
    return handlers_.size();
  }

  HANDLE GetStdHandle(DWORD which) override {
    return which == STD_OUTPUT_HANDLE ? kOutput : INVALID_HANDLE_VALUE;
  }
  BOOL GetConsoleMode(HANDLE console, LPDWORD out) override {
    if (console != kOutput || !isConsole) return FALSE;
    *out = mode;
    return TRUE;
  }
  BOOL SetConsoleMode(HANDLE console, DWORD wanted) override {
    if (console != kOutput || !isConsole ||
        (!takesVt && (wanted & ENABLE_VIRTUAL_TERMINAL_PROCESSING)))
      return FALSE;
    mode = wanted;
    return TRUE;
  }
  BOOL GetConsoleScreenBufferInfo(HANDLE console, PCONSOLE_SCREEN_BUFFER_INFO info) override {
    if (console != kOutput || !isConsole) return FALSE;
    *info = CONSOLE_SCREEN_BUFFER_INFO{};
    info->srWindow.Left = windowLeft;
    info->srWindow.Right = windowRight;
    return TRUE;
  }
  UINT GetConsoleOutputCP() override { return codePage; }
  BOOL SetConsoleOutputCP(UINT page) override {
    codePage = page;
    return TRUE;
  }
  BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE handler, BOOL add) override {
    std::lock_guard lock(mutex_);
    if (add) {
      handlers_.push_back(handler);
      return TRUE;
    }
    auto it = std::find(handlers_.begin(), handlers_.end(), handler);
    if (it == handlers_.end()) return FALSE;
    handlers_.erase(it);
    return TRUE;
  }
  EXECUTION_STATE SetThreadExecutionState(EXECUTION_STATE state) override {
    if (refusesExecutionState) return 0;
    const EXECUTION_STATE previous = executionState;
    executionState = state;
    return previous;
  }
  bool refusesExecutionState = false;
  EXECUTION_STATE executionState = ES_CONTINUOUS;

 private:
  static inline const HANDLE kOutput = reinterpret_cast<HANDLE>(0x40);
  std::mutex mutex_;
  std::vector<PHANDLER_ROUTINE> handlers_;
};

TEST(WindowsConsoleTest, CtrlCReachesTheProgramOnlyWhileStarted) {
  FakeConsole console;
  cli::win32::ConsoleInterrupts interrupts(console);
  EXPECT_EQ(console.Handlers(), 0u);  // before: Ctrl-C ends the program, the system's default

  std::atomic<int> presses{0};
  interrupts.Start([&](cli::Interrupt cause) {
    EXPECT_EQ(cause, cli::Interrupt::CtrlC);
    presses.fetch_add(1);
  });
  ASSERT_EQ(console.Handlers(), 1u);
  EXPECT_TRUE(console.Send(CTRL_C_EVENT));
  EXPECT_TRUE(console.Send(CTRL_BREAK_EVENT));
  EXPECT_EQ(presses.load(), 2);
  // Closing the window, logging off and shutting down are not the user's Ctrl-C: the system's
  // own handling goes on.
  EXPECT_FALSE(console.Send(CTRL_CLOSE_EVENT));
  EXPECT_EQ(presses.load(), 2);

  interrupts.Stop();
  EXPECT_EQ(console.Handlers(), 0u);
  EXPECT_FALSE(console.Send(CTRL_C_EVENT));
  EXPECT_FALSE(cli::win32::ConsoleInterrupts::OnControl(
      CTRL_C_EVENT));  // even if the system still called it
  EXPECT_EQ(presses.load(), 2);
}

// While a job runs the system is told that it is needed, until the lock goes; a system that
// does not take the call gives no lock, and says so.
TEST(WindowsConsoleTest, TheComputerIsKeptFromSleepingWhileTheLockIsHeld) {
  FakeConsole console;
  cli::win32::AwakeInhibitor inhibitor(console);
  std::string problem;
  std::unique_ptr<Inhibition> lock = inhibitor.Inhibit(problem);
  ASSERT_NE(lock, nullptr);
  EXPECT_EQ(console.executionState,
            static_cast<EXECUTION_STATE>(ES_CONTINUOUS | ES_SYSTEM_REQUIRED));
  lock.reset();
  EXPECT_EQ(console.executionState, static_cast<EXECUTION_STATE>(ES_CONTINUOUS));

  console.refusesExecutionState = true;
  EXPECT_EQ(inhibitor.Inhibit(problem), nullptr);
  EXPECT_EQ(problem, "SetThreadExecutionState failed");
}

TEST(WindowsConsoleTest, ConsoleTakesUtf8AndTheBarsSequencesAndIsGivenBack) {
  struct Case {
    const char* name;
    bool isConsole, takesVt;
    UINT codePage;
    bool terminal;
    int columns;
    UINT codePageDuring;
  };
  const Case cases[] = {
      {"a Windows 10 console", true, true, 850, true, 120, CP_UTF8},
      {"a console before Windows 10: a line per 10%", true, false, 850, false, 80, CP_UTF8},
      {"a pipe or a file", false, true, 850, false, 80, 850},
      {"a console already on UTF-8", true, true, CP_UTF8, true, 120, CP_UTF8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeConsole console;
    console.isConsole = c.isConsole;
    console.takesVt = c.takesVt;
    console.codePage = c.codePage;
    const DWORD modeBefore = console.mode;
    {
      cli::win32::ConsoleOutput output(console);
      EXPECT_EQ(output.IsTerminal(), c.terminal);
      EXPECT_EQ(output.Columns(), c.columns);
      EXPECT_EQ(console.codePage, c.codePageDuring);
      EXPECT_EQ((console.mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0, c.terminal);
    }
    EXPECT_EQ(console.mode, modeBefore);
    EXPECT_EQ(console.codePage, c.codePage);
  }
}

// Ctrl-C through the console's handler: while the amp is read it stops the command before
// anything is written (exit 5); while the MCU job writes, two presses within 3 s stop it
// between two reports.
TEST_F(CliTest, CtrlCFromTheWindowsConsole) {
  FakeConsole console;
  cli::win32::ConsoleInterrupts consoleInterrupts(console);
  HookedClock& hooked = Hooked();
  interruptSource = &consoleInterrupts;

  hooked.mainHook = [&] { EXPECT_TRUE(console.Send(CTRL_C_EVENT)); };
  const auto stopped = Cli({"update", "--json"});
  hooked.mainHook = nullptr;
  EXPECT_EQ(stopped.code, cli::kExitStopped);
  EXPECT_TRUE(Events(stopped.out, "warning").empty());
  EXPECT_EQ(sim.korva.DataReportsTaken(), 0);

  int presses = 0;
  hooked.hook = [&] {
    if (presses < 2 && sim.korva.DataReportsTaken() >= 100 + presses * 10) {
      ++presses;
      EXPECT_TRUE(console.Send(CTRL_C_EVENT));
    }
  };
  const auto run = Cli({"update", "--json"});
  hooked.hook = nullptr;
  EXPECT_EQ(run.code, cli::kExitUpdateFailed);
  const auto warnings = Events(run.out, "warning");
  ASSERT_EQ(warnings.size(), 2u);
  EXPECT_TRUE(Contains(warnings[0], "Stopping now leaves the KORVA's firmware incomplete"));
  EXPECT_TRUE(Contains(warnings[1], "Stopping the update after the current report"));
  EXPECT_LT(sim.korva.DataReportsTaken(), 752);
  EXPECT_EQ(console.Handlers(), 0u);  // after the update Ctrl-C ends the program again
}

// The system's console itself, as the tests run: their output goes into a pipe.
TEST(WindowsConsoleTest, OutputIntoAPipeIsNoTerminal) {
  DWORD mode = 0;
  if (GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode))
    GTEST_SKIP() << "the output is a console here";
  cli::SystemConsole console;
  EXPECT_FALSE(console.OutIsTerminal());
  EXPECT_EQ(console.Columns(), cli::kDefaultColumns);
}

}  // namespace
}  // namespace korva::testing
