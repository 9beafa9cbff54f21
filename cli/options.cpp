// The command line, read through two tables: the commands with their operands, and the options
// with the commands they belong to. A new command or option is one more row; an option given
// twice, two options that set the same thing, and an option on a command it does not belong to
// are usage errors.
#include "cli/options.h"

#include <algorithm>
#include <sstream>

#include "jobs/job_messages.h"

namespace korva::cli {
namespace {

using CommandSet = unsigned;
constexpr CommandSet Only(Command command) { return 1u << static_cast<unsigned>(command); }
// The commands that reach the amp (list included: it opens each one to see whether it can).
constexpr CommandSet kDeviceCommands = Only(Command::Status) | Only(Command::Update) |
                                       Only(Command::Flash) | Only(Command::Audio) |
                                       Only(Command::Bluetooth) | Only(Command::List);

struct CommandSpec {
  const char* words;  // as typed: "flash mcu"
  Command command;
  int jobKind;
  bool takesFile;  // FILE follows the words
};

constexpr CommandSpec kCommands[] = {
    {"status", Command::Status, 0, false},
    {"update", Command::Update, 0, false},
    {"flash mcu", Command::Flash, kJobMcu, true},
    {"flash dsp", Command::Flash, kJobDsp, true},
    {"flash battery", Command::Flash, kJobBattery, true},
    {"audio", Command::Audio, kJobAudio, true},
    {"bluetooth", Command::Bluetooth, kJobBluetooth, true},
    {"list", Command::List, 0, false},
};

// The amp has seven audio slots; the audio job would write any other number elsewhere in its
// memory, so nothing else gets past the command line.
bool IsSlot(const std::string& text) {
  return text.size() == 1 && text[0] >= '1' && text[0] <= '7';
}

// Takes an option's value into the options; says what is wrong with it, or nothing.
using Apply = std::string (*)(Options& options, const std::string& value);

struct OptionSpec {
  const char* name;       // "--slot"
  const char* alias;      // "-y", or nothing
  const char* value;      // what its value is, for messages ("N"); nothing for a flag
  const char* setting;    // options that set the same thing exclude each other
  CommandSet commands;    // the commands it belongs to
  const char* belongsTo;  // the same, for a person
  Apply apply;
};

constexpr OptionSpec kOptions[] = {
    {"--slot", nullptr, "a number from 1 to 7", "slot", Only(Command::Audio), "the audio command",
     [](Options& options, const std::string& value) -> std::string {
       if (!IsSlot(value)) return "the slot must be a number from 1 to 7, not '" + value + "'";
       options.slot = value;
       return {};
     }},
    {"--yes", "-y", nullptr, "yes", Only(Command::Update), "the update command",
     [](Options& options, const std::string&) -> std::string {
       options.yes = true;
       return {};
     }},
    {"--json", nullptr, nullptr, "json", kDeviceCommands, "the commands that reach the amp",
     [](Options& options, const std::string&) -> std::string {
       options.json = true;
       return {};
     }},
    {"--simulate", nullptr, nullptr, "device", kDeviceCommands, "the commands that reach the amp",
     [](Options& options, const std::string&) -> std::string {
       options.simulate = true;
       return {};
     }},
    {"--device", nullptr, "usb", "device", kDeviceCommands, "the commands that reach the amp",
     [](Options& options, const std::string& value) -> std::string {
       if (value != "usb")
         return "--device takes only 'usb' (or use --simulate), not '" + value + "'";
       options.simulate = false;
       return {};
     }},
    {"--dfu-library", nullptr, "PATH", "dfu-library", kDeviceCommands,
     "the commands that reach the amp",
     [](Options& options, const std::string& value) -> std::string {
       if (value.empty()) return "--dfu-library= needs the path of the Bluetooth update library";
       options.dfuLibrary = value;
       return {};
     }},
    {"--path", nullptr, "the path of a KORVA ('korva-updater-cli list' shows them)", "path",
     kDeviceCommands, "the commands that reach the amp",
     [](Options& options, const std::string& value) -> std::string {
       if (value.empty())
         return "--path needs the path of a KORVA ('korva-updater-cli list' shows them)";
       options.path = value;
       return {};
     }},
    {"--log", nullptr, "a FILE", "log", kDeviceCommands, "the commands that reach the amp",
     [](Options& options, const std::string& value) -> std::string {
       if (value.empty()) return "--log needs a FILE";
       options.logFile = value;
       return {};
     }},
};

const OptionSpec* FindOption(const std::string& name) {
  for (const OptionSpec& row : kOptions) {
    if (name == row.name || (row.alias && name == row.alias)) return &row;
  }
  return nullptr;
}

std::vector<std::string> Split(const char* words) {
  std::istringstream stream(words);
  std::vector<std::string> parts;
  for (std::string part; stream >> part;) parts.push_back(part);
  return parts;
}

// The command that the leading words name, its FILE and its job; or what is wrong.
std::string TakeCommand(Options& options, const std::vector<std::string>& words) {
  if (words.empty()) return "no command given";
  const CommandSpec* found = nullptr;
  std::size_t used = 0;
  std::vector<std::string> next;  // what may follow the first word, when it is not enough
  for (const CommandSpec& row : kCommands) {
    const std::vector<std::string> parts = Split(row.words);
    if (parts[0] != words[0]) continue;
    if (parts.size() > 1) next.push_back(parts[1]);
    if (words.size() >= parts.size() && std::equal(parts.begin(), parts.end(), words.begin())) {
      found = &row;
      used = parts.size();
    }
  }
  if (!found && next.empty()) return "unknown command '" + words[0] + "'";
  if (!found) {
    std::string choices = next[0];
    for (std::size_t i = 1; i < next.size(); ++i)
      choices += (i + 1 == next.size() ? " or " : ", ") + next[i];
    return words[0] + " needs " + choices + ", then FILE";
  }
  options.command = found->command;
  options.jobKind = found->jobKind;
  const std::size_t expected = used + (found->takesFile ? 1 : 0);
  if (words.size() < expected) return std::string(found->words) + " needs a FILE";
  if (words.size() > expected) return "unexpected argument '" + words[expected] + "'";
  if (found->takesFile) options.file = words.back();
  return {};
}

}  // namespace

Options ParseOptions(const std::vector<std::string>& args) {
  Options options;
  std::string error;  // the first thing wrong; the scan goes on, so that --json still counts
  const auto fail = [&error](const std::string& what) {
    if (error.empty()) error = what;
  };
  std::vector<std::string> words;
  std::vector<const OptionSpec*> given;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      words.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (arg == "--help" || arg == "-h") return Options{};
    if (arg == "--version") {
      Options version;
      version.command = Command::Version;
      return version;
    }
    const std::size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    const OptionSpec* row = FindOption(name);
    if (!row) {
      fail("unknown argument '" + arg + "'");
      continue;
    }
    std::string value;
    if (equals != std::string::npos) {
      if (!row->value) {
        fail(name + " takes no value");
        continue;
      }
      value = arg.substr(equals + 1);
    } else if (row->value) {
      if (i + 1 == args.size()) {
        fail(name + " needs " + row->value);
        continue;
      }
      value = args[++i];
    }
    const auto same = std::find_if(given.begin(), given.end(), [row](const OptionSpec* other) {
      return std::string(other->setting) == row->setting;
    });
    if (same != given.end()) {
      fail(*same == row ? std::string(row->name) + " is given more than once"
                        : std::string((*same)->name) + " and " + row->name + " exclude each other");
      continue;
    }
    given.push_back(row);
    fail(row->apply(options, value));
  }
  if (error.empty()) error = TakeCommand(options, words);
  for (const OptionSpec* row : given) {
    if (error.empty() && (row->commands & Only(options.command)) == 0) {
      error = std::string(row->name) + " belongs to " + row->belongsTo;
    }
  }
  if (error.empty() && options.command == Command::Audio && options.slot.empty()) {
    error = "audio needs --slot N, N from 1 to 7";
  }
  options.error = error;
  return options;
}

std::vector<std::string> CommandWords() {
  std::vector<std::string> words;
  for (const CommandSpec& row : kCommands) words.emplace_back(row.words);
  return words;
}

std::vector<OptionWords> OptionTable() {
  std::vector<OptionWords> table;
  for (const OptionSpec& row : kOptions)
    table.push_back({row.name, row.alias ? row.alias : "", row.value != nullptr});
  return table;
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
a KORVA is connected, FILE is a regular file that can be read (not a folder,
FIFO or device), FILE is accepted (its form and length; a firmware file's
version is shown).

Several amps: with more than one KORVA connected, a command uses the first
that opens and says so; --path chooses another. Several korva-updater-cli
processes, each with its own --path, update several amps at once.

Options (each at most once, and only where it belongs):
  --path PATH          use only the KORVA at PATH (as 'list' shows it)
  --slot N, --slot=N   audio: the slot, 1 to 7
  --yes, -y            update: update even when the versions already match
  --json               one JSON object per line for every event, ending with
                       one "result" (for scripts)
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
  5  stopped by Ctrl-C (or SIGTERM, SIGHUP) before anything was written: the
     KORVA is as it was

Ctrl-C before anything is written to the amp stops the command at once.
Once a job writes, Ctrl-C warns first, since stopping would leave the
firmware (or the audio slot) incomplete; a second Ctrl-C within 3 seconds
stops the job between two reports, and the update must be run again. A
Bluetooth update cannot be stopped once the amp has handed its link to the
module: it runs inside the module's update library, and the program waits
for its end. SIGTERM and SIGHUP (a closed terminal) count as Ctrl-C, and
are named when they come. While a job writes, the computer is kept from
sleeping and shutting down, and a second program finds the amp in use.

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
