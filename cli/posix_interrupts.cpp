// Signals into calls: a handler that writes one byte, a listener thread that reads it.
#include "cli/posix_interrupts.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <iostream>

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

// The write end of the signal pipe, for the handler.
int g_signalWriteEnd = -1;
struct sigaction g_previous[std::size(kRoutedSignals)];
sigset_t g_previousMask;

extern "C" void WriteSignalNumber(int signal) {
  const int savedErrno = errno;
  const unsigned char byte = static_cast<unsigned char>(signal);
  // A full pipe drops the byte: hundreds of presses are waiting to be read already.
  [[maybe_unused]] const ssize_t written = ::write(g_signalWriteEnd, &byte, 1);
  errno = savedErrno;
}

sigset_t RoutedSet() {
  sigset_t set;
  sigemptyset(&set);
  for (const RoutedSignal& routed : kRoutedSignals) sigaddset(&set, routed.signal);
  return set;
}

Interrupt CauseOf(int signal) {
  for (const RoutedSignal& routed : kRoutedSignals) {
    if (routed.signal == signal) return routed.cause;
  }
  return Interrupt::CtrlC;
}

bool MakePipe(int ends[2]) { return ::pipe2(ends, O_CLOEXEC) == 0; }

void ClosePipe(int ends[2]) {
  for (int i = 0; i < 2; ++i) {
    if (ends[i] >= 0) ::close(ends[i]);
    ends[i] = -1;
  }
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
  if (!MakePipe(signalPipe_) || !MakePipe(wakePipe_)) {
    ClosePipe(signalPipe_);
    ClosePipe(wakePipe_);
    return;  // no pipes, no listener: Ctrl-C keeps ending the program
  }
  // The handler must never block on a full pipe.
  ::fcntl(signalPipe_[1], F_SETFL, O_NONBLOCK);
  g_signalWriteEnd = signalPipe_[1];

  // Blocked here, and so in every thread started from now on; the listener lets them in.
  const sigset_t routed = RoutedSet();
  pthread_sigmask(SIG_BLOCK, &routed, &g_previousMask);
  // No SA_RESTART: the signal only ever interrupts the listener's read, which reads again. A
  // handler run late (as ThreadSanitizer runs it, at the next call) thus still gets its turn.
  struct sigaction action {};
  action.sa_handler = WriteSignalNumber;
  sigemptyset(&action.sa_mask);
  for (std::size_t i = 0; i < std::size(kRoutedSignals); ++i) {
    sigaction(kRoutedSignals[i].signal, &action, &g_previous[i]);
  }
  listener_ = std::thread([this] { Listen(); });
}

void PosixInterrupts::Listen() {
  const sigset_t routed = RoutedSet();
  pthread_sigmask(SIG_UNBLOCK, &routed, nullptr);
  unsigned char byte = 0;
  while (ReadByte(signalPipe_[0], byte) && byte != kStopListening) {
    onInterrupt_(CauseOf(byte));
    WriteByte(wakePipe_[1], 1);
  }
  pthread_sigmask(SIG_BLOCK, &routed, nullptr);
}

void PosixInterrupts::Stop() {
  if (!listener_.joinable()) return;
  WriteByte(signalPipe_[1], kStopListening);
  listener_.join();
  // A signal that came after the listener ended is still blocked on this thread: let it in to
  // the handler (it only writes to the pipe) before the previous action comes back.
  const sigset_t routed = RoutedSet();
  pthread_sigmask(SIG_UNBLOCK, &routed, nullptr);
  pthread_sigmask(SIG_SETMASK, &g_previousMask, nullptr);
  for (std::size_t i = 0; i < std::size(kRoutedSignals); ++i) {
    sigaction(kRoutedSignals[i].signal, &g_previous[i], nullptr);
  }
  g_signalWriteEnd = -1;
  ClosePipe(signalPipe_);
  ClosePipe(wakePipe_);
}

std::optional<std::string> PosixInterrupts::ReadAnswer(std::istream& in, const std::function<bool()>& stopped) {
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
