// The terminal on Linux and other POSIX systems: isatty, the window size from the terminal
// driver, SIGINT, SIGTERM and SIGHUP counted by PosixInterrupts, logind's inhibitor lock
// through sd-bus, and SIGPIPE ignored: a reader that goes away
// (`| head`) never ends an update; the write fails instead (closed_output.h).
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "cli/posix_interrupts.h"
#include "cli/sd_bus_inhibitor.h"
#include "cli/system_console.h"

namespace korva::cli {

struct SystemConsole::State {
  bool terminal = false;
  int columns = kDefaultColumns;
  PosixInterrupts interrupts;
  SdBusInhibitor inhibitor;
};

SystemConsole::SystemConsole() : state_(std::make_unique<State>()) {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGPIPE, &ignore, nullptr);
  state_->terminal = isatty(STDOUT_FILENO) == 1;
  winsize size{};
  if (state_->terminal && ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
    state_->columns = size.ws_col;
  }
}

SystemConsole::~SystemConsole() = default;

bool SystemConsole::OutIsTerminal() const { return state_->terminal; }
int SystemConsole::Columns() const { return state_->columns; }
InterruptSource& SystemConsole::Interrupts() { return state_->interrupts; }
SleepInhibitor* SystemConsole::Inhibitor() { return &state_->inhibitor; }

}  // namespace korva::cli
