// The window program's command line, the same on every system: the device (--simulate or
// --device=usb), the Bluetooth update library, the support log, service mode, help and version.
#pragma once

#include <string>
#include <vector>

namespace korva::dialogs {

struct StartOptions {
  bool simulate = false;
  bool service = false;  // the welcome window opens with the service pages
  bool help = false;
  bool version = false;
  std::string dfuLibrary;  // --dfu-library=PATH (empty: not given)
  std::string logFile;     // --log FILE or --log=FILE: the support log's file
  std::string error;       // set when an argument is not understood
};

// Reads the program's own arguments (without the program's name; on Linux the toolkit's have
// been taken out before), as UTF-8. Of --simulate and --device=usb the last one counts; "/?"
// asks for help on Windows.
StartOptions ParseStartOptions(const std::vector<std::string>& arguments);

}  // namespace korva::dialogs
