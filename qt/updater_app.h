// The program's start: picks the amp on the USB cable (the default) or the virtual one
// (--simulate), opens the support log, installs the message boxes and the file dialog, runs the
// welcome window (with the service pages after --service) and ends when it ends.
#pragma once

#include <string>
#include <vector>

namespace korva::qt {

struct StartOptions {
  bool simulate = false;
  bool service = false;  // the welcome window opens with the service pages
  bool help = false;
  std::string dfuLibrary;  // --dfu-library=PATH (empty: not given)
  bool version = false;
  std::string logFile;  // --log: the support log's file instead of the default one
  std::string error;    // set when an argument is not understood
};

// Reads the program's own arguments; the toolkit's have been taken out before.
StartOptions ParseStartOptions(const std::vector<std::string>& arguments);

class CUpdaterApp {
 public:
  // Returns the process's exit status.
  int Run(int argc, char** argv);
};

}  // namespace korva::qt
