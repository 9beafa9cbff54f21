// Signals into calls: a handler that writes one byte, a listener thread that reads it.
#include "cli/posix_interrupts.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <iostream>
#include <vector>

namespace korva::cli {
namespace {

// The signals that ask the program to end, and what each is to it.
struct RoutedSignal {
  int signal;
  Interrupt cause;
};
constexpr RoutedSignal kRoutedSignals[] = {
    {SIGINT, Interrupt::CtrlC}, {SIGTERM, Interrupt::Terminate}, {SIGHUP, Interrupt::HangUp}};
// Written by Stop() to end the listener; no signal has the number 0.
constexpr unsigned char kStopListening = 0;

sigset_t g_previousMask;

std::vector<int> RoutedSignals() {
  std::vector<int> signals;
  for (const RoutedSignal& routed : kRoutedSignals) signals.push_back(routed.signal);
  return signals;
}

Interrupt CauseOf(int signal) {
  for (const RoutedSignal& routed : kRoutedSignals) {
    if (routed.signal == signal) return routed.cause;
  }
  return Interrupt::CtrlC;
}

void WriteByte(int fd, unsigned char byte) {
  while (::write(fd, &byte, 1) < 0 && errno == EINTR) {
  }
}

// Reads one byte; false at the end or after an error.
bool ReadByte(int fd, unsigned char& byte) {
  for (;;) {
    const ssize_t got = ::read(fd, &byte, 1);
    if (got == 1) return true;
    if (got == 0 || errno != EINTR) return false;
  }
}

}  // namespace

void PosixInterrupts::Start(std::function<void(Interrupt)> onInterrupt) {
  if (listener_.joinable()) return;
  onInterrupt_ = std::move(onInterrupt);
  if (::pipe2(wakePipe_, O_CLOEXEC) != 0) return;  // no listener: Ctrl-C keeps ending the program

  // No SA_RESTART: the signal only ever interrupts the listener's read, which reads again. A
  // handler run late (as ThreadSanitizer runs it, at the next call) thus still gets its turn.
  signals_.emplace(RoutedSignals(), 0, /*nonBlockingRead=*/false);
  if (!signals_->Ok()) {
    signals_.reset();
    ClosePipe(wakePipe_);
    return;
  }
  // Blocked here, and so in every thread started from now on; the listener lets them in. One
  // that comes before the block only writes its byte a moment early.
  const sigset_t routed = signals_->Set();
  pthread_sigmask(SIG_BLOCK, &routed, &g_previousMask);
  listener_ = std::thread([this] { Listen(); });
}

void PosixInterrupts::Listen() {
  const sigset_t routed = signals_->Set();
  pthread_sigmask(SIG_UNBLOCK, &routed, nullptr);
  unsigned char byte = 0;
  while (ReadByte(signals_->ReadEnd(), byte) && byte != kStopListening) {
    onInterrupt_(CauseOf(byte));
    WriteByte(wakePipe_[1], 1);
  }
  pthread_sigmask(SIG_BLOCK, &routed, nullptr);
}

void PosixInterrupts::Stop() {
  if (!listener_.joinable()) return;
  WriteByte(signals_->WriteEnd(), kStopListening);
  listener_.join();
  // A signal that came after the listener ended is still blocked on this thread: let it in to
  // the handler (it only writes to the pipe) before the previous action comes back.
  const sigset_t routed = signals_->Set();
  pthread_sigmask(SIG_UNBLOCK, &routed, nullptr);
  pthread_sigmask(SIG_SETMASK, &g_previousMask, nullptr);
  signals_.reset();
  ClosePipe(wakePipe_);
}

std::optional<std::string> PosixInterrupts::ReadAnswer(std::istream& in,
                                                       const std::function<bool()>& stopped) {
  if (&in != &std::cin || !listener_.joinable()) return InterruptSource::ReadAnswer(in, stopped);
  // Standard input is read here byte by byte, past its stream: nothing else reads it.
  std::string line;
  for (;;) {
    if (stopped()) return std::nullopt;
    pollfd waits[2] = {{STDIN_FILENO, POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
    if (::poll(waits, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    unsigned char byte = 0;
    if (waits[1].revents != 0) ReadByte(wakePipe_[0], byte);
    if (waits[0].revents == 0) continue;
    if (!ReadByte(STDIN_FILENO, byte)) return line.empty() ? std::nullopt : std::optional(line);
    if (byte == '\n') return line;
    line += static_cast<char>(byte);
  }
}

}  // namespace korva::cli
