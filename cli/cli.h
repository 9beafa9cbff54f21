// korva-updater-cli: the main road of the updater, and its service jobs, from a terminal. The whole program is one
// function of its arguments and its surroundings (streams, clock, Ctrl-C, the USB backend), so
// that tests run it in process against the virtual KORVA in virtual time.
#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "device/clock.h"
#include "device/hid_backend.h"

namespace korva::cli {

enum ExitCode : int {
  kExitOk = 0,             // updated, written, or nothing to do
  kExitUpdateFailed = 1,   // an update failed (or the amp did not answer)
  kExitUsage = 2,          // the command line was wrong, or its FILE unreadable or not accepted
  kExitNoDevice = 3,       // no KORVA connected (or its link is handed to its Bluetooth module)
  kExitNotAccessible = 4,  // a KORVA is connected but cannot be opened
};

// Ctrl-C as the update sees it. The program counts interrupts only while a job writes; at other
// times Ctrl-C ends it as usual, since nothing is half-written then.
class InterruptSource {
 public:
  virtual ~InterruptSource() = default;
  // From Arm() to Disarm() an interrupt is counted instead of ending the program. Called on the
  // main thread before the first job thread starts and after the last final message.
  virtual void Arm() {}
  virtual void Disarm() {}
  // Runs the main thread's idle wait; interrupts may arrive during it and only then, so that
  // no device transfer is ever cut short by one.
  virtual void Listen(const std::function<void()>& wait) { wait(); }
  // The interrupts counted since the last call.
  virtual int Take() = 0;
};

struct Environment {
  std::istream& in;
  std::ostream& out;
  std::ostream& err;
  bool outIsTerminal = false;
  int columns = 80;
  Clock& clock;  // elapsed and remaining times; the simulated amp's clock
  InterruptSource& interrupts;
  // Makes the backend of --device=usb; when empty, the backend already installed is used.
  std::function<std::unique_ptr<HidBackend>()> makeUsbBackend;
  // Gives the value of KORVA_DFU_LIBRARY (nullptr when unset). When empty, and --dfu-library is
  // not given, the update library backend already installed is used.
  std::function<const char*()> dfuLibraryVariable;
  // The support log's file when no --log is given; empty: no log.
  std::string defaultLogPath;
};

// Runs the command line `args` (without the program name) and returns the exit code.
int RunCli(const std::vector<std::string>& args, Environment& env);

}  // namespace korva::cli
