// Signals as bytes on a pipe, for the POSIX builds of both programs. A signal handler may do
// next to nothing safely; this one only writes the signal's number into a pipe, and a thread of
// the program reads the bytes and acts on them in its own time.
#pragma once

#include <signal.h>

#include <vector>

namespace korva {

// One at a time in a process: the handler writes to the pipe of the one that exists.
class SignalPipe {
 public:
  // Routes the `routed` signals to the pipe, with `flags` for their actions (SA_RESTART, or 0
  // so that a waiting call returns at once). The write end never blocks; the read end blocks
  // unless `nonBlockingRead`. Without a pipe, Ok() is false and no action is touched.
  SignalPipe(std::vector<int> routed, int flags, bool nonBlockingRead);
  // Puts the signals' previous actions back and closes the pipe.
  ~SignalPipe();
  SignalPipe(const SignalPipe&) = delete;
  SignalPipe& operator=(const SignalPipe&) = delete;

  bool Ok() const { return ends_[0] >= 0; }
  int ReadEnd() const { return ends_[0]; }
  // For a byte of the program's own, e.g. one that tells the reading thread to end.
  int WriteEnd() const { return ends_[1]; }
  // The routed signals, for blocking and unblocking them.
  sigset_t Set() const;

 private:
  std::vector<int> signals_;
  std::vector<struct sigaction> previous_;
  int ends_[2] = {-1, -1};
};

// Closes both ends of a pipe that are open and marks them closed.
void ClosePipe(int ends[2]);

}  // namespace korva
