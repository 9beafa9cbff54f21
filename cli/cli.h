// korva-updater-cli: the main road of the updater, and its service jobs, from a terminal. The whole
// program is one function of its arguments and its surroundings (streams, clock, Ctrl-C, the USB
// backend), so that tests run it in process against the virtual KORVA in virtual time.
#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device/clock.h"
#include "device/hid_backend.h"
#include "jobs/update_scope.h"

namespace korva::cli {

enum ExitCode : int {
  kExitOk = 0,             // updated, written, or nothing to do
  kExitUpdateFailed = 1,   // an update failed (or the amp did not answer)
  kExitUsage = 2,          // the command line was wrong, or its FILE unreadable or not accepted
  kExitNoDevice = 3,       // no KORVA connected (or its link is handed to its Bluetooth module)
  kExitNotAccessible = 4,  // a KORVA is connected but cannot be opened
  kExitStopped = 5,  // stopped (Ctrl-C, SIGTERM, SIGHUP) before anything was written to the amp
};

// What asked the program to end: Ctrl-C (SIGINT, or the console's Ctrl-C and Ctrl-Break), or a
// request from outside the terminal: SIGTERM (kill, a shutdown) or SIGHUP (the terminal that
// runs the program went away).
enum class Interrupt { CtrlC, Terminate, HangUp };

// Ctrl-C, and whatever the platform has that acts like it, as it reaches the program. A source
// only delivers; what an interrupt does is decided in one place for every platform
// (interrupt_policy.h).
class InterruptSource {
 public:
  virtual ~InterruptSource() = default;
  // From Start() to Stop() every interrupt calls `onInterrupt` instead of ending the program,
  // on a thread that never talks to the amp, so that no transfer is cut short by it and no
  // press is lost while the main thread is busy. Start() is called on the main thread before
  // any other thread starts; Stop() after every job thread has ended, and no call follows it.
  virtual void Start(std::function<void(Interrupt)> onInterrupt) = 0;
  virtual void Stop() = 0;
  // The user's answer to a question: one line of `in` without its end; nothing at the end of
  // the input, or once `stopped` is true after an interrupt came while it waited.
  virtual std::optional<std::string> ReadAnswer(std::istream& in,
                                                const std::function<bool()>& stopped);
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
  // The lock against sleep and shutdown that is held while a job runs (nullptr: none).
  SleepInhibitor* inhibitor = nullptr;
};

// Runs the command line `args` (without the program name) and returns the exit code.
int RunCli(const std::vector<std::string>& args, Environment& env);

}  // namespace korva::cli
