// The program's start: picks the amp on the USB cable (the default) or the virtual one
// (--simulate), opens the support log, installs the message boxes and the file dialog, runs the
// welcome window (with the service pages after --service) and ends when it ends.
#pragma once

namespace korva::qt {

class CUpdaterApp {
 public:
  // Returns the process's exit status.
  int Run(int argc, char** argv);
};

}  // namespace korva::qt
