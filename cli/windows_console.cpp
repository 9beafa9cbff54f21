// The Windows console: output prepared for UTF-8 and the live bar's control sequences, and
// Ctrl-C counted by a console control handler.
#include "cli/windows_console.h"

#include <atomic>

#include "cli/system_console.h"

namespace korva::cli {
namespace win32 {
namespace {

std::atomic<bool> g_armed{false};
std::atomic<int> g_interrupts{0};

class SystemCalls final : public ConsoleCalls {
 public:
  HANDLE GetStdHandle(DWORD which) override { return ::GetStdHandle(which); }
  BOOL GetConsoleMode(HANDLE console, LPDWORD mode) override { return ::GetConsoleMode(console, mode); }
  BOOL SetConsoleMode(HANDLE console, DWORD mode) override { return ::SetConsoleMode(console, mode); }
  BOOL GetConsoleScreenBufferInfo(HANDLE console, PCONSOLE_SCREEN_BUFFER_INFO info) override {
    return ::GetConsoleScreenBufferInfo(console, info);
  }
  UINT GetConsoleOutputCP() override { return ::GetConsoleOutputCP(); }
  BOOL SetConsoleOutputCP(UINT codePage) override { return ::SetConsoleOutputCP(codePage); }
  BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE handler, BOOL add) override {
    return ::SetConsoleCtrlHandler(handler, add);
  }
};

}  // namespace

ConsoleCalls& SystemConsoleCalls() {
  static SystemCalls calls;
  return calls;
}

BOOL WINAPI ConsoleInterrupts::OnControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;  // closing, logoff, shutdown
  if (!g_armed.load()) return FALSE;
  g_interrupts.fetch_add(1);
  return TRUE;
}

ConsoleInterrupts::~ConsoleInterrupts() { Disarm(); }

void ConsoleInterrupts::Arm() {
  g_interrupts.store(0);
  g_armed.store(true);
  if (!registered_) registered_ = calls_.SetConsoleCtrlHandler(OnControl, TRUE) != FALSE;
}

void ConsoleInterrupts::Disarm() {
  g_armed.store(false);
  if (registered_) calls_.SetConsoleCtrlHandler(OnControl, FALSE);
  registered_ = false;
}

int ConsoleInterrupts::Take() { return g_interrupts.exchange(0); }

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
  if (originalCodePage_ != 0 && originalCodePage_ != CP_UTF8) calls_.SetConsoleOutputCP(originalCodePage_);
}

}  // namespace win32

struct SystemConsole::State {
  win32::ConsoleOutput output{win32::SystemConsoleCalls()};
  win32::ConsoleInterrupts interrupts{win32::SystemConsoleCalls()};
};

SystemConsole::SystemConsole() : state_(std::make_unique<State>()) {}
SystemConsole::~SystemConsole() = default;

bool SystemConsole::OutIsTerminal() const { return state_->output.IsTerminal(); }
int SystemConsole::Columns() const { return state_->output.Columns(); }
InterruptSource& SystemConsole::Interrupts() { return state_->interrupts; }

}  // namespace korva::cli
