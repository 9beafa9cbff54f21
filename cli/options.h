// The command line of korva-updater-cli and its help text.
#pragma once

#include <string>
#include <vector>

namespace korva::cli {

enum class Command { Status, Update, Flash, Audio, Bluetooth, List, Help, Version };

struct Options {
  Command command = Command::Help;
  int jobKind =
      0;  // the service commands' job: kJobMcu, kJobDsp, kJobBattery, kJobAudio, kJobBluetooth
  std::string file;        // the service commands' FILE
  std::string slot;        // audio: the slot, "1" to "7"
  bool yes = false;        // answers "Update anyway?" with yes
  bool json = false;       // one JSON object per line per event
  bool simulate = false;   // the virtual KORVA instead of the USB device
  std::string dfuLibrary;  // --dfu-library=PATH: the Bluetooth update library (empty: not given)
  std::string logFile;     // --log: the support log's file instead of the default one
  std::string path;        // --path: the one amp to talk to
  std::string error;       // non-empty when the command line is wrong
};

Options ParseOptions(const std::vector<std::string>& args);
std::string HelpText();

// The words of the command line, for the shell completion's test: each command as typed
// ("flash mcu"), and each option with its alias (or nothing) and whether a value follows it.
struct OptionWords {
  std::string name;
  std::string alias;
  bool takesValue = false;
};
std::vector<std::string> CommandWords();
std::vector<OptionWords> OptionTable();

}  // namespace korva::cli
