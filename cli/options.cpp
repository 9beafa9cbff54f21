// Parsing of the command line.
#include "cli/options.h"

#include "jobs/job_messages.h"

namespace korva::cli {
namespace {

// The amp has seven audio slots; the audio job would write any other number elsewhere in its
// memory, so nothing else gets past the command line.
constexpr const char* kDfuLibraryOption = "--dfu-library=";

bool IsSlot(const std::string& text) { return text.size() == 1 && text[0] >= '1' && text[0] <= '7'; }

// Gives the command its job kind and file from the words after the command's name.
void TakeOperands(Options& options, const std::vector<std::string>& words) {
  const std::string& command = words[0];
  std::size_t expected = 1;
  if (command == "status" || command == "update") {
    options.command = command == "status" ? Command::Status : Command::Update;
  } else if (command == "list") {
    options.command = Command::List;
  } else if (command == "flash") {
    options.command = Command::Flash;
    expected = 3;
    const std::string target = words.size() > 1 ? words[1] : "";
    if (target == "mcu") {
      options.jobKind = kJobMcu;
    } else if (target == "dsp") {
      options.jobKind = kJobDsp;
    } else if (target == "battery") {
      options.jobKind = kJobBattery;
    } else {
      options.error = "flash needs mcu, dsp or battery, then FILE";
      return;
    }
  } else if (command == "audio" || command == "bluetooth") {
    options.command = command == "audio" ? Command::Audio : Command::Bluetooth;
    options.jobKind = command == "audio" ? kJobAudio : kJobBluetooth;
    expected = 2;
  } else {
    options.error = "unknown command '" + command + "'";
    return;
  }
  if (words.size() < expected) {
    options.error = command + " needs a FILE";
  } else if (words.size() > expected) {
    options.error = "unexpected argument '" + words[expected] + "'";
  } else if (expected > 1) {
    options.file = words.back();
  }
}

}  // namespace

Options ParseOptions(const std::vector<std::string>& args) {
  Options options;
  std::vector<std::string> words;
  bool slotGiven = false;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
      words.push_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--help" || arg == "-h") {
      options = Options{};
      return options;
    } else if (arg == "--version") {
      options = Options{};
      options.command = Command::Version;
      return options;
    } else if (arg == "--log" || arg.rfind("--log=", 0) == 0) {
      if (arg == "--log" && i + 1 == args.size()) {
        options.error = "--log needs a FILE";
        return options;
      }
      options.logFile = arg == "--log" ? args[++i] : arg.substr(std::string("--log=").size());
      if (options.logFile.empty()) {
        options.error = "--log needs a FILE";
        return options;
      }
    } else if (arg == "--yes" || arg == "-y") {
      options.yes = true;
    } else if (arg == "--json") {
      options.json = true;
    } else if (arg == "--simulate") {
      options.simulate = true;
    } else if (arg == "--device=usb") {
      options.simulate = false;
    } else if (arg.rfind(kDfuLibraryOption, 0) == 0) {
      options.dfuLibrary = arg.substr(std::string(kDfuLibraryOption).size());
      if (options.dfuLibrary.empty()) {
        options.error = "--dfu-library= needs the path of the Bluetooth update library";
        return options;
      }
    } else if (arg == "--path" || arg.rfind("--path=", 0) == 0) {
      options.path = arg == "--path" ? (i + 1 < args.size() ? args[++i] : "") : arg.substr(std::string("--path=").size());
      if (options.path.empty()) {
        options.error = "--path needs the path of a KORVA ('korva-updater-cli list' shows them)";
        return options;
      }
    } else if (arg == "--slot" || arg.rfind("--slot=", 0) == 0) {
      if (arg == "--slot" && i + 1 == args.size()) {
        options.error = "--slot needs a number from 1 to 7";
        return options;
      }
      options.slot = arg == "--slot" ? args[++i] : arg.substr(std::string("--slot=").size());
      slotGiven = true;
    } else {
      options.error = "unknown argument '" + arg + "'";
      return options;
    }
  }
  if (words.empty()) {
    options.error = "no command given";
    return options;
  }
  TakeOperands(options, words);
  if (!options.error.empty()) return options;
  if (options.command == Command::Audio && !slotGiven) {
    options.error = "audio needs --slot N, N from 1 to 7";
  } else if (options.command != Command::Audio && slotGiven) {
    options.error = "--slot belongs to the audio command";
  } else if (slotGiven && !IsSlot(options.slot)) {
    options.error = "the slot must be a number from 1 to 7, not '" + options.slot + "'";
  }
  return options;
}

std::string HelpText() {
  return R"(Usage: korva-updater-cli COMMAND [OPTIONS]

Brings the firmware of a KORVA amp up to date over USB (the MCU and DSP
firmware that the updater carries), and writes service files: firmware
files, audio slots, the firmware of the amp's Bluetooth module.

Commands:
  status               whether a KORVA is connected, its firmware version, the
                       carried version and what an update would write
  update               write the carried firmware: the MCU, then the DSP, as
                       the versions say
  flash mcu FILE       write an MCU firmware file (*.bin)
  flash dsp FILE       write a DSP firmware file
  flash battery FILE   write a battery controller (SlaveMCU) firmware file
  audio --slot N FILE  write a WAV file (48000 Hz, mono, 24-bit, the one
                       header the amp takes) into audio slot N, 1 to 7
  bluetooth FILE       write a firmware file (*.bin, *.dfu) into the amp's
                       Bluetooth module: the amp hands its USB link to the
                       module, the module's update library writes the file,
                       the module restarts and the amp comes back
  list                 every connected KORVA: its path, its serial number
                       where it has one, and whether it can be opened

The service commands check what the service pages check, in the same order:
the amp's link is not handed to its Bluetooth module (bluetooth: it may be),
a KORVA is connected, FILE can be read, FILE is accepted (its form and
length; a firmware file's version is shown).

Several amps: with more than one KORVA connected, a command uses the first
that opens and says so; --path chooses another. Several korva-updater-cli
processes, each with its own --path, update several amps at once.

Options:
  --path PATH          use only the KORVA at PATH (as 'list' shows it)
  --slot N, --slot=N   the audio slot, 1 to 7
  --yes, -y            update even when the versions already match
  --json               one JSON object per line for every event (for scripts)
  --device=usb         use the KORVA connected by USB (the default)
  --simulate           use a virtual KORVA (it starts at firmware Ver1.36.192)
  --dfu-library=PATH   the Bluetooth update library for the bluetooth command
                       (else $KORVA_DFU_LIBRARY, else the installed place)
  --log FILE           append the support log to FILE instead of
                       $XDG_STATE_HOME/korva-updater/korva-updater.log
                       (~/.local/state/korva-updater/ when that is unset)
  --help, -h           show this help
  --version            show the program's version and the carried firmware's

Exit codes:
  0  updated, written, or nothing to do
  1  an update failed (or the amp did not answer)
  2  usage error, or FILE cannot be read or is not accepted
  3  no KORVA connected, or its link is handed to its Bluetooth module
     (run 'korva-updater-cli bluetooth FILE' first)
  4  a KORVA is connected but cannot be opened (permission denied, or held
     by another program)

Ctrl-C during an update warns first; a second Ctrl-C within 3 seconds stops
it, which leaves the firmware incomplete until the update is run again. A
Bluetooth update cannot be stopped: it runs inside the module's update
library, and the program waits for its end.

Examples:
  korva-updater-cli status
  korva-updater-cli update
  korva-updater-cli update --yes --json > update.log
  korva-updater-cli update --simulate
  korva-updater-cli flash battery battery_v1.02.bin
  korva-updater-cli audio --slot 3 cab.wav
  korva-updater-cli bluetooth module.dfu --json
  korva-updater-cli list
  korva-updater-cli update --yes --path /dev/hidraw3
)";
}

}  // namespace korva::cli
