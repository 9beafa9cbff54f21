// End signals through a catcher thread and a self-pipe into the GUI thread's event loop.
#include "ui/end_signals.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <iterator>

namespace korva::ui {
namespace {

constexpr int kEndSignals[] = {SIGTERM, SIGHUP, SIGINT};

// The write end of the signal pipe, for the handler.
int g_signalWriteEnd = -1;
struct sigaction g_previous[std::size(kEndSignals)];
struct sigaction g_previousPipe;

extern "C" void WriteSignalNumber(int signal) {
  const int savedErrno = errno;
  const unsigned char byte = static_cast<unsigned char>(signal);
  // A full pipe drops the byte: thousands of signals are waiting to be read already.
  [[maybe_unused]] const ssize_t written = ::write(g_signalWriteEnd, &byte, 1);
  errno = savedErrno;
}

sigset_t EndSet() {
  sigset_t set;
  sigemptyset(&set);
  for (int signal : kEndSignals) sigaddset(&set, signal);
  return set;
}

void ClosePipe(int ends[2]) {
  for (int i = 0; i < 2; ++i) {
    if (ends[i] >= 0) ::close(ends[i]);
    ends[i] = -1;
  }
}

}  // namespace

void EndSignals::BlockEndSignals() {
  const sigset_t set = EndSet();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

EndSignals::EndSignals(std::function<void(int)> onSignal) : onSignal_(std::move(onSignal)) {
  BlockEndSignals();
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGPIPE, &ignore, &g_previousPipe);
  if (::pipe2(signalPipe_, O_CLOEXEC | O_NONBLOCK) != 0 || ::pipe2(stopPipe_, O_CLOEXEC) != 0) {
    ClosePipe(signalPipe_);
    ClosePipe(stopPipe_);
    return;  // no pipes: the signals stay blocked and end nothing, which is the safe side
  }
  g_signalWriteEnd = signalPipe_[1];
  notifier_ = new QSocketNotifier(signalPipe_[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &EndSignals::Deliver);

  struct sigaction action {};
  action.sa_handler = WriteSignalNumber;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (std::size_t i = 0; i < std::size(kEndSignals); ++i) {
    sigaction(kEndSignals[i], &action, &g_previous[i]);
  }
  // The one thread that takes the signals: it lets them in and sleeps in poll() until it is
  // stopped (a wait in which ThreadSanitizer, too, runs a handler at once).
  catcher_ = std::thread([stop = stopPipe_[0]] {
    const sigset_t set = EndSet();
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    pollfd wait{stop, POLLIN, 0};
    while (::poll(&wait, 1, -1) < 0 && errno == EINTR) {
    }
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
  });
}

EndSignals::~EndSignals() {
  if (!catcher_.joinable()) return;
  const char stop = 0;
  while (::write(stopPipe_[1], &stop, 1) < 0 && errno == EINTR) {
  }
  catcher_.join();
  for (std::size_t i = 0; i < std::size(kEndSignals); ++i) {
    sigaction(kEndSignals[i], &g_previous[i], nullptr);
  }
  sigaction(SIGPIPE, &g_previousPipe, nullptr);
  g_signalWriteEnd = -1;
  delete notifier_;
  ClosePipe(signalPipe_);
  ClosePipe(stopPipe_);
}

void EndSignals::Deliver() {
  unsigned char byte = 0;
  while (::read(signalPipe_[0], &byte, 1) == 1) onSignal_(byte);
}

}  // namespace korva::ui
