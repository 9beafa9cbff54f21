// The window program's end signals: each SIGTERM, SIGHUP and SIGINT arrives once, in order, as
// a call on the GUI thread, whichever thread the system picks; threads started meanwhile never
// take one; SIGPIPE ends nothing; the previous handlers come back.
#include "qt/end_signals.h"

#include <signal.h>

#include <QThread>
#include <atomic>

#include "tests/qt/qt_test_support.h"

namespace korva::testing {
namespace {

TEST(EndSignalsTest, EachSignalArrivesOnceOnTheGuiThreadAndOthersNeverTakeOne) {
  struct sigaction before {};
  sigaction(SIGTERM, nullptr, &before);
  std::vector<int> delivered;
  bool onGuiThread = true;
  {
    qt::EndSignals endSignals([&](int signal) {
      delivered.push_back(signal);
      onGuiThread = onGuiThread && QThread::currentThread() == qApp->thread();
    });
    // A thread started now inherits the block: it never runs the handler, and a signal sent to
    // it stays pending there instead of ending or interrupting it.
    std::atomic<bool> blockedInThread{false};
    std::thread([&] {
      sigset_t mask;
      pthread_sigmask(SIG_BLOCK, nullptr, &mask);
      blockedInThread =
          sigismember(&mask, SIGTERM) && sigismember(&mask, SIGHUP) && sigismember(&mask, SIGINT);
    }).join();
    EXPECT_TRUE(blockedInThread.load());

    // One at a time: the system merges a signal with one of its kind still pending.
    for (int signal : {SIGTERM, SIGHUP, SIGINT, SIGTERM}) {
      const std::size_t before = delivered.size();
      kill(getpid(), signal);
      ASSERT_TRUE(WaitUntil([&] { return delivered.size() > before; }, 10000)) << signal;
    }
    // A broken pipe ends nothing.
    raise(SIGPIPE);
  }
  EXPECT_EQ(delivered, (std::vector<int>{SIGTERM, SIGHUP, SIGINT, SIGTERM}));
  EXPECT_TRUE(onGuiThread);
  struct sigaction after {};
  sigaction(SIGTERM, nullptr, &after);
  EXPECT_EQ(after.sa_handler, before.sa_handler);
}

}  // namespace
}  // namespace korva::testing
