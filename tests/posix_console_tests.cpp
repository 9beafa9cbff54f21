// The POSIX console of korva-updater-cli: SIGINT counted while a job writes, never inside a
// job thread; and what the advice for a refused amp names here.
#include <pthread.h>
#include <signal.h>

#include <thread>

#include "cli/posix_interrupts.h"
#include "tests/cli_test_support.h"

namespace korva::testing {

std::vector<std::string> PermissionDeniedAdviceParts() {
  return {"permission denied", "70-korva.rules", "/etc/udev/rules.d/70-korva.rules", "/usr/lib/udev/rules.d",
          "uaccess", "udevadm"};
}

namespace {

// SIGINT while armed is counted, not fatal, and reaches the program only inside Listen();
// threads started while armed inherit the block.
TEST(CliPartsTest, PosixInterruptsCountOnlyWhileListening) {
  cli::PosixInterrupts interrupts;
  interrupts.Arm();
  // A thread started now has SIGINT blocked: a signal aimed at it is never handled there.
  std::thread([] { EXPECT_EQ(pthread_kill(pthread_self(), SIGINT), 0); }).join();
  raise(SIGINT);  // pending on the main thread until it listens
  EXPECT_EQ(interrupts.Take(), 0);
  interrupts.Listen([] {});
  EXPECT_EQ(interrupts.Take(), 1);  // one pending SIGINT, however often it was raised
  interrupts.Listen([] { raise(SIGINT); });
  EXPECT_EQ(interrupts.Take(), 1);
  interrupts.Disarm();
  sigset_t blocked;
  pthread_sigmask(SIG_BLOCK, nullptr, &blocked);
  EXPECT_FALSE(sigismember(&blocked, SIGINT));
  struct sigaction action {};
  sigaction(SIGINT, nullptr, &action);
  EXPECT_EQ(action.sa_handler, SIG_DFL);
}

}  // namespace
}  // namespace korva::testing
