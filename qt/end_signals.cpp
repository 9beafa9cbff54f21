// End signals through a catcher thread and a self-pipe into the GUI thread's event loop.
#include "qt/end_signals.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <vector>

namespace korva::qt {
namespace {

const std::vector<int> kEndSignals = {SIGTERM, SIGHUP, SIGINT};

struct sigaction g_previousPipe;

sigset_t EndSet() {
  sigset_t set;
  sigemptyset(&set);
  for (int signal : kEndSignals) sigaddset(&set, signal);
  return set;
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
  if (::pipe2(stopPipe_, O_CLOEXEC) != 0) return;  // the signals stay blocked: the safe side
  signals_.emplace(kEndSignals, SA_RESTART, /*nonBlockingRead=*/true);
  if (!signals_->Ok()) {
    signals_.reset();
    ClosePipe(stopPipe_);
    return;  // no pipe: the signals stay blocked and end nothing, which is the safe side
  }
  notifier_ = new QSocketNotifier(signals_->ReadEnd(), QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &EndSignals::Deliver);

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
  delete notifier_;
  signals_.reset();
  sigaction(SIGPIPE, &g_previousPipe, nullptr);
  ClosePipe(stopPipe_);
}

void EndSignals::Deliver() {
  unsigned char byte = 0;
  while (::read(signals_->ReadEnd(), &byte, 1) == 1) onSignal_(byte);
}

}  // namespace korva::qt
