// What an interrupt (Ctrl-C, SIGTERM, SIGHUP, and every console event that acts like them) does
// during a command, the same on every platform. Before anything has been written to the amp an
// interrupt stops the command at once: nothing is left half-done. Once a job writes, stopping
// would leave the firmware (or the audio slot) incomplete: the first interrupt only warns, and
// says why the program goes on; a second within 3 seconds of the warning stops the job between
// two reports. The Bluetooth module's update cannot be stopped once the amp has handed its link
// over; an interrupt then only says so. Interrupts come on the source's thread; the main thread
// asks for the outcome.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "device/clock.h"
#include "jobs/end_request_rule.h"

namespace korva::cli {

class InterruptPolicy {
 public:
  // A command begins: nothing written, nothing asked for.
  explicit InterruptPolicy(const Clock& clock);
  ~InterruptPolicy();
  InterruptPolicy(const InterruptPolicy&) = delete;
  InterruptPolicy& operator=(const InterruptPolicy&) = delete;

  // Main thread: the job that runs next (its words, and whether it stops between reports).
  void SetJob(int kind);
  // Any thread: one interrupt, now.
  void OnInterrupt(Interrupt cause = Interrupt::CtrlC);
  // Main thread: the warnings to show, in order, since the last call.
  std::vector<std::string> TakeWarnings();
  // The command was stopped before anything was written.
  bool StoppedBeforeWriting() const;
  // The user insisted on stopping a job that was writing.
  bool StopConfirmed() const;

 private:
  const Clock& clock_;
  mutable std::mutex mutex_;
  int kind_;
  EndRequestRule rule_;
  bool stoppedBeforeWriting_ = false;
  bool stopConfirmed_ = false;
  bool waitingForModule_ = false;
  std::vector<std::string> warnings_;
};

// What a first interrupt during a job of `kind` says, and a second within 3 seconds.
std::string InterruptWarning(int kind, Interrupt cause);
std::string InterruptConfirmation(int kind, Interrupt cause);

}  // namespace korva::cli
