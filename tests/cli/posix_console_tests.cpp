// The POSIX console of korva-updater-cli: every SIGINT reaches the program on its listener
// thread, never inside a job thread, also while a question waits for its answer; a closed
// output that never ends the program; and what the advice for a refused amp names here.
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iostream>
#include <mutex>
#include <thread>
#include <utility>

#include "cli/closed_output.h"
#include "cli/posix_interrupts.h"
#include "cli/system_console.h"
#include "tests/cli/cli_test_support.h"

namespace korva::testing {

std::vector<std::string> PermissionDeniedAdviceParts() {
  return {"permission denied",     "70-korva.rules", "/etc/udev/rules.d/70-korva.rules",
          "/usr/lib/udev/rules.d", "uaccess",        "udevadm"};
}

namespace {

// Waits (in real time, at most 10 s) until `done` holds.
bool WaitInRealTime(const std::function<bool()>& done) {
  for (int i = 0; i < 1000 && !done(); ++i) std::this_thread::sleep_for(10ms);
  return done();
}

// Real SIGINT, SIGTERM and SIGHUP: each one reaches the callback as what it is, on the listener
// thread; the main thread and the threads started while listening never see one; afterwards
// each ends a program again, as the system's default has it.
TEST(CliPartsTest, PosixInterruptsDeliverEverySignal) {
  const std::pair<int, cli::Interrupt> sent[] = {{SIGINT, cli::Interrupt::CtrlC},
                                                 {SIGTERM, cli::Interrupt::Terminate},
                                                 {SIGHUP, cli::Interrupt::HangUp},
                                                 {SIGINT, cli::Interrupt::CtrlC}};
  cli::PosixInterrupts interrupts;
  std::mutex mutex;
  std::vector<cli::Interrupt> delivered;
  std::atomic<bool> onMainThread{false};
  const auto mainThread = std::this_thread::get_id();
  interrupts.Start([&](cli::Interrupt cause) {
    if (std::this_thread::get_id() == mainThread) onMainThread.store(true);
    std::lock_guard lock(mutex);
    delivered.push_back(cause);
  });
  const auto count = [&] {
    std::lock_guard lock(mutex);
    return delivered.size();
  };
  // A job thread started now has the three blocked.
  std::thread([&] {
    sigset_t blocked;
    pthread_sigmask(SIG_BLOCK, nullptr, &blocked);
    for (const auto& [signal, cause] : sent) EXPECT_TRUE(sigismember(&blocked, signal)) << signal;
  }).join();
  for (std::size_t n = 0; n < std::size(sent); ++n) {
    ASSERT_EQ(kill(getpid(), sent[n].first), 0);
    EXPECT_TRUE(WaitInRealTime([&] { return count() == n + 1; })) << n;
  }
  EXPECT_FALSE(onMainThread.load());
  interrupts.Stop();
  {
    std::lock_guard lock(mutex);
    ASSERT_EQ(delivered.size(), std::size(sent));
    for (std::size_t n = 0; n < std::size(sent); ++n) EXPECT_EQ(delivered[n], sent[n].second) << n;
  }
  sigset_t blocked;
  pthread_sigmask(SIG_BLOCK, nullptr, &blocked);
  for (const auto& [signal, cause] : sent) {
    EXPECT_FALSE(sigismember(&blocked, signal)) << signal;
    struct sigaction action {};
    sigaction(signal, nullptr, &action);
    EXPECT_EQ(action.sa_handler, SIG_DFL) << signal;
  }
}

// The question's answer from standard input, and a Ctrl-C that comes while it waits: the wait
// ends at once, without an answer.
TEST(CliPartsTest, PosixInterruptsEndAWaitingQuestion) {
  int input[2];
  ASSERT_EQ(pipe(input), 0);
  const int savedStdin = dup(STDIN_FILENO);
  ASSERT_EQ(dup2(input[0], STDIN_FILENO), STDIN_FILENO);
  cli::PosixInterrupts interrupts;
  std::atomic<bool> stopped{false};
  interrupts.Start([&](cli::Interrupt) { stopped.store(true); });
  const auto isStopped = [&] { return stopped.load(); };

  ASSERT_EQ(write(input[1], " yes\nmore", 9), 9);
  EXPECT_EQ(interrupts.ReadAnswer(std::cin, isStopped), std::optional<std::string>(" yes"));

  std::thread presser([] {
    std::this_thread::sleep_for(50ms);
    kill(getpid(), SIGINT);
  });
  EXPECT_EQ(interrupts.ReadAnswer(std::cin, isStopped), std::nullopt);  // "more" has no end yet
  presser.join();
  EXPECT_TRUE(stopped.load());
  interrupts.Stop();

  dup2(savedStdin, STDIN_FILENO);
  close(savedStdin);
  close(input[0]);
  close(input[1]);
}

// A reader that goes away (`| head`): the first failed write is said once, the stream never
// fails, and what follows is dropped, so the update behind it goes on.
TEST(CliPartsTest, AClosedOutputIsSaidOnceAndNeverEndsTheProgram) {
  cli::SystemConsole console;  // ignores SIGPIPE, as the program does
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  std::FILE* file = fdopen(ends[1], "w");
  ASSERT_NE(file, nullptr);
  std::vector<std::string> said;
  cli::ClosedOutputGuard guard(file, [&](const std::string& reason) { said.push_back(reason); });
  std::ostream out(&guard);

  out << "MCU firmware: 10 %" << std::endl;
  char read[64] = {};
  ASSERT_EQ(::read(ends[0], read, sizeof read), 19);
  EXPECT_EQ(std::string(read, 19), "MCU firmware: 10 %\n");

  close(ends[0]);  // the reader goes
  for (int line = 0; line < 3; ++line)
    out << "MCU firmware: " << 20 + 10 * line << " %" << std::endl;
  EXPECT_TRUE(out.good());
  EXPECT_TRUE(guard.Closed());
  EXPECT_EQ(said, std::vector<std::string>{std::strerror(EPIPE)});
  EXPECT_NE(cli::ClosedOutputText(said[0]).find("the update goes on"), std::string::npos);
  std::fclose(file);
}

}  // namespace
}  // namespace korva::testing
