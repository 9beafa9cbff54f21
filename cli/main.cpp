// korva-updater-cli: the real surroundings of the terminal front end (standard streams, the
// terminal's width, real time, SIGINT, the hidapi backend, the support log's place), handed to
// RunCli.
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/posix_interrupts.h"
#include "device/clock.h"
#include "device/dfu_library_setup.h"
#include "support/support_log.h"

namespace {

constexpr int kDefaultColumns = 80;

int TerminalColumns() {
  winsize size{};
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return kDefaultColumns;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  korva::RealClock clock;
  korva::cli::PosixInterrupts interrupts;
  const bool terminal = isatty(STDOUT_FILENO) == 1;
  korva::cli::Environment env{std::cin, std::cout, std::cerr, terminal,
                              terminal ? TerminalColumns() : kDefaultColumns, clock, interrupts,
                              [] { return korva::MakeHidapiBackend(); },
                              [] { return static_cast<const char*>(std::getenv(korva::kDfuLibraryVariable)); },
                              korva::DefaultSupportLogPath().string()};
  return korva::cli::RunCli(args, env);
}
