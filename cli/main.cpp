// korva-updater-cli: the real surroundings of the terminal front end (standard streams, the
// system's console and Ctrl-C, real time, the system's HID backend, the environment variable
// that may name the Bluetooth update library, the support log's place), handed to RunCli.
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/closed_output.h"
#include "cli/messages.h"
#include "cli/system_console.h"
#include "device/clock.h"
#include "device/dfu_library_setup.h"
#include "support/support_log.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  korva::RealClock clock;
  korva::cli::SystemConsole console;
  // A reader that goes away (`| head`) never ends an update: the output is dropped from then on.
  korva::cli::ClosedOutputGuard outBuffer(stdout, [](const std::string& reason) {
    const std::string text = korva::cli::ClosedOutputText(reason);
    std::cerr << korva::cli::kProgramName << ": warning: " << text << std::endl;
    korva::SupportLog(text);
  });
  std::ostream out(&outBuffer);
  korva::cli::Environment env{
      std::cin,
      out,
      std::cerr,
      console.OutIsTerminal(),
      console.Columns(),
      clock,
      console.Interrupts(),
      [] { return korva::MakeSystemHidBackend(); },
      [] { return static_cast<const char*>(std::getenv(korva::kDfuLibraryVariable)); },
      korva::DefaultSupportLogPath().string(),
      console.Inhibitor()};
  const int exitCode = korva::cli::RunCli(args, env);
  out.flush();
  return exitCode;
}
