// The Windows console: output prepared for UTF-8 and the live bar's control sequences, and
// Ctrl-C handed on by a console control handler.
#include "cli/windows_console.h"

#include <mutex>

#include "cli/system_console.h"

namespace korva::cli {
namespace win32 {
namespace {

// What the handler calls while started; the lock keeps Stop() from returning while a press is
// being handed on.
std::mutex g_mutex;
std::function<void(Interrupt)> g_onInterrupt;

class SystemCalls final : public ConsoleCalls {
 public:
  HANDLE GetStdHandle(DWORD which) override { return ::GetStdHandle(which); }
  BOOL GetConsoleMode(HANDLE console, LPDWORD mode) override {
    return ::GetConsoleMode(console, mode);
  }
  BOOL SetConsoleMode(HANDLE console, DWORD mode) override {
    return ::SetConsoleMode(console, mode);
  }
  BOOL GetConsoleScreenBufferInfo(HANDLE console, PCONSOLE_SCREEN_BUFFER_INFO info) override {
    return ::GetConsoleScreenBufferInfo(console, info);
  }
  UINT GetConsoleOutputCP() override { return ::GetConsoleOutputCP(); }
  BOOL SetConsoleOutputCP(UINT codePage) override { return ::SetConsoleOutputCP(codePage); }
  BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE handler, BOOL add) override {
    return ::SetConsoleCtrlHandler(handler, add);
  }
  EXECUTION_STATE SetThreadExecutionState(EXECUTION_STATE state) override {
    return ::SetThreadExecutionState(state);
  }
};

// The system is needed for as long as this lives.
class Awake final : public Inhibition {
 public:
  explicit Awake(ConsoleCalls& calls) : calls_(calls) {}
  ~Awake() override { calls_.SetThreadExecutionState(ES_CONTINUOUS); }
  Awake(const Awake&) = delete;
  Awake& operator=(const Awake&) = delete;

 private:
  ConsoleCalls& calls_;
};

}  // namespace

std::unique_ptr<Inhibition> AwakeInhibitor::Inhibit(std::string& problem) {
  if (calls_.SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED) == 0) {
    problem = "SetThreadExecutionState failed";
    return nullptr;
  }
  return std::make_unique<Awake>(calls_);
}

ConsoleCalls& SystemConsoleCalls() {
  static SystemCalls calls;
  return calls;
}

BOOL WINAPI ConsoleInterrupts::OnControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
    return FALSE;  // closing, logoff, shutdown
  std::lock_guard lock(g_mutex);
  if (!g_onInterrupt) return FALSE;
  g_onInterrupt(Interrupt::CtrlC);
  return TRUE;
}

ConsoleInterrupts::~ConsoleInterrupts() { Stop(); }

void ConsoleInterrupts::Start(std::function<void(Interrupt)> onInterrupt) {
  {
    std::lock_guard lock(g_mutex);
    g_onInterrupt = std::move(onInterrupt);
  }
  if (!registered_) registered_ = calls_.SetConsoleCtrlHandler(OnControl, TRUE) != FALSE;
}

void ConsoleInterrupts::Stop() {
  if (registered_) calls_.SetConsoleCtrlHandler(OnControl, FALSE);
  registered_ = false;
  std::lock_guard lock(g_mutex);
  g_onInterrupt = nullptr;
}

ConsoleOutput::ConsoleOutput(ConsoleCalls& calls) : calls_(calls), columns_(kDefaultColumns) {
  output_ = calls_.GetStdHandle(STD_OUTPUT_HANDLE);
  if (output_ == nullptr || output_ == INVALID_HANDLE_VALUE) return;
  if (!calls_.GetConsoleMode(output_, &originalMode_)) return;  // a pipe or a file
  // The program's texts are UTF-8 (the full-width exclamation mark some of them end in).
  originalCodePage_ = calls_.GetConsoleOutputCP();
  if (originalCodePage_ != CP_UTF8 && !calls_.SetConsoleOutputCP(CP_UTF8)) originalCodePage_ = 0;
  const DWORD wanted = originalMode_ | ENABLE_PROCESSED_OUTPUT | ENABLE_VIRTUAL_TERMINAL_PROCESSING;
  if (wanted != originalMode_) {
    if (!calls_.SetConsoleMode(output_, wanted)) return;  // an older console: plain lines
    modeChanged_ = true;
  }
  terminal_ = true;
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (calls_.GetConsoleScreenBufferInfo(output_, &info)) {
    const int width = info.srWindow.Right - info.srWindow.Left + 1;
    if (width > 0) columns_ = width;
  }
}

ConsoleOutput::~ConsoleOutput() {
  if (modeChanged_) calls_.SetConsoleMode(output_, originalMode_);
  if (originalCodePage_ != 0 && originalCodePage_ != CP_UTF8)
    calls_.SetConsoleOutputCP(originalCodePage_);
}

}  // namespace win32

struct SystemConsole::State {
  win32::ConsoleOutput output{win32::SystemConsoleCalls()};
  win32::ConsoleInterrupts interrupts{win32::SystemConsoleCalls()};
  win32::AwakeInhibitor inhibitor{win32::SystemConsoleCalls()};
};

SystemConsole::SystemConsole() : state_(std::make_unique<State>()) {}
SystemConsole::~SystemConsole() = default;

bool SystemConsole::OutIsTerminal() const { return state_->output.IsTerminal(); }
int SystemConsole::Columns() const { return state_->output.Columns(); }
InterruptSource& SystemConsole::Interrupts() { return state_->interrupts; }
SleepInhibitor* SystemConsole::Inhibitor() { return &state_->inhibitor; }

}  // namespace korva::cli
