// SIGINT counting.
#include "cli/posix_interrupts.h"

#include <pthread.h>
#include <signal.h>

#include <atomic>

namespace korva::cli {
namespace {

std::atomic<int> g_interrupts{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs a lock-free counter");

extern "C" void CountInterrupt(int) { g_interrupts.fetch_add(1); }

void SetInterruptMask(int how) {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  pthread_sigmask(how, &set, nullptr);
}

void SetInterruptHandler(void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
}

}  // namespace

void PosixInterrupts::Arm() {
  SetInterruptMask(SIG_BLOCK);
  g_interrupts.store(0);
  SetInterruptHandler(CountInterrupt);
}

void PosixInterrupts::Disarm() {
  // A press still pending is counted (and dropped) before Ctrl-C ends the program again.
  SetInterruptMask(SIG_UNBLOCK);
  SetInterruptHandler(SIG_DFL);
}

void PosixInterrupts::Listen(const std::function<void()>& wait) {
  SetInterruptMask(SIG_UNBLOCK);
  wait();
  SetInterruptMask(SIG_BLOCK);
}

int PosixInterrupts::Take() { return g_interrupts.exchange(0); }

}  // namespace korva::cli
