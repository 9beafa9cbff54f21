// Signals as bytes on a pipe.
#include "support/signal_pipe.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace korva {
namespace {

// The write end of the signal pipe, for the handler.
int g_signalWriteEnd = -1;

extern "C" void WriteSignalNumber(int signal) {
  const int savedErrno = errno;
  const unsigned char byte = static_cast<unsigned char>(signal);
  // A full pipe drops the byte: thousands of signals are waiting to be read already.
  [[maybe_unused]] const ssize_t written = ::write(g_signalWriteEnd, &byte, 1);
  errno = savedErrno;
}

}  // namespace

SignalPipe::SignalPipe(std::vector<int> routed, int flags, bool nonBlockingRead)
    : signals_(std::move(routed)), previous_(signals_.size()) {
  if (::pipe2(ends_, O_CLOEXEC) != 0) {
    ends_[0] = ends_[1] = -1;
    return;
  }
  ::fcntl(ends_[1], F_SETFL, O_NONBLOCK);
  if (nonBlockingRead) ::fcntl(ends_[0], F_SETFL, O_NONBLOCK);
  g_signalWriteEnd = ends_[1];
  struct sigaction action {};
  action.sa_handler = WriteSignalNumber;
  action.sa_flags = flags;
  sigemptyset(&action.sa_mask);
  for (std::size_t i = 0; i < signals_.size(); ++i) sigaction(signals_[i], &action, &previous_[i]);
}

SignalPipe::~SignalPipe() {
  if (!Ok()) return;
  for (std::size_t i = 0; i < signals_.size(); ++i) sigaction(signals_[i], &previous_[i], nullptr);
  g_signalWriteEnd = -1;
  ClosePipe(ends_);
}

sigset_t SignalPipe::Set() const {
  sigset_t set;
  sigemptyset(&set);
  for (const int signal : signals_) sigaddset(&set, signal);
  return set;
}

void ClosePipe(int ends[2]) {
  for (int i = 0; i < 2; ++i) {
    if (ends[i] >= 0) ::close(ends[i]);
    ends[i] = -1;
  }
}

}  // namespace korva
