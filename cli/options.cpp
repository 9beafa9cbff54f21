// Parsing of the command line.
#include "cli/options.h"

namespace korva::cli {

Options ParseOptions(const std::vector<std::string>& args) {
  Options options;
  bool haveCommand = false;
  for (const std::string& arg : args) {
    if (arg == "--help" || arg == "-h") {
      options.command = Command::Help;
      return options;
    }
    if (arg == "--yes" || arg == "-y") {
      options.yes = true;
    } else if (arg == "--json") {
      options.json = true;
    } else if (arg == "--simulate") {
      options.simulate = true;
    } else if (arg == "--device=usb") {
      options.simulate = false;
    } else if ((arg == "status" || arg == "update") && !haveCommand) {
      options.command = arg == "status" ? Command::Status : Command::Update;
      haveCommand = true;
    } else {
      options.error = "unknown argument '" + arg + "'";
      return options;
    }
  }
  if (!haveCommand) options.error = "no command given";
  return options;
}

std::string HelpText() {
  return R"(Usage: korva-updater-cli COMMAND [OPTIONS]

Brings the firmware of a KORVA amp up to date over USB (the MCU and DSP firmware that the
updater carries).

Commands:
  status          show whether a KORVA is connected, its firmware version, the carried
                  version and what an update would write
  update          write the carried firmware: the MCU, then the DSP, as the versions say

Options:
  --yes, -y       update even when the versions already match, without asking
  --json          print one JSON object per line for every event (for scripts)
  --device=usb    use the KORVA connected by USB (the default)
  --simulate      use a virtual KORVA (it starts at firmware Ver1.36.192)
  --help, -h      show this help

Exit codes:
  0  updated, or nothing to do
  1  an update failed (or the amp did not answer)
  2  usage error
  3  no KORVA connected
  4  a KORVA is connected but cannot be opened (permission denied, or held by
     another program)

Ctrl-C during an update warns first; a second Ctrl-C within 3 seconds stops it, which
leaves the firmware incomplete until the update is run again.

Examples:
  korva-updater-cli status
  korva-updater-cli update
  korva-updater-cli update --yes --json > update.log
  korva-updater-cli update --simulate
)";
}

}  // namespace korva::cli
