// Ctrl-C, SIGTERM and SIGHUP for the real program on POSIX systems. While started, these signals
// are blocked in every thread but one listener thread: the main thread and the job threads (which
// inherit the block) are never cut short in a transfer. The handler only writes the signal's number
// to a pipe; the listener reads it and calls the program back, once for every signal.
#pragma once

#include <optional>
#include <thread>

#include "cli/cli.h"
#include "support/signal_pipe.h"

namespace korva::cli {

class PosixInterrupts final : public InterruptSource {
 public:
  PosixInterrupts() = default;
  ~PosixInterrupts() override { Stop(); }
  PosixInterrupts(const PosixInterrupts&) = delete;
  PosixInterrupts& operator=(const PosixInterrupts&) = delete;

  void Start(std::function<void(Interrupt)> onInterrupt) override;
  void Stop() override;
  // On standard input, waits for the answer and for an interrupt at the same time.
  std::optional<std::string> ReadAnswer(std::istream& in,
                                        const std::function<bool()>& stopped) override;

 private:
  void Listen();

  std::function<void(Interrupt)> onInterrupt_;
  std::thread listener_;
  std::optional<SignalPipe> signals_;  // the handler writes, the listener reads
  int wakePipe_[2] = {-1, -1};  // the listener writes after each interrupt, a waiting answer reads
};

}  // namespace korva::cli
