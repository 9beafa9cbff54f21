// One writer per amp: the lock excludes a second open in this process and another process,
// names its holder, goes with its holder however that ends, and leaves other amps alone. The
// tests with another process and with folder permissions are POSIX's own.
#include "device/amp_lock.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "tests/shared/scratch_folder.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace korva::testing {
namespace {

constexpr const char* kAmp = "/dev/hidraw3";
// The name under which this test program records itself.
constexpr const char* kThisProgram = "device_tests";

long ThisProcess() {
#ifdef _WIN32
  return static_cast<long>(GetCurrentProcessId());
#else
  return getpid();
#endif
}

class AmpLockTest : public ::testing::Test {
 protected:
  AmpLockTest() { SetAmpLockFolder(folder / "locks"); }
  ~AmpLockTest() override { SetAmpLockFolder({}); }

  std::vector<std::string> LockFileLines(const std::string& amp) {
    return FileLines(folder / "locks" / AmpLockFileName(amp));
  }

  ScratchFolder folder{"korva-lock"};
};

TEST_F(AmpLockTest, ASecondOpenFindsTheAmpHeldAndLearnsWhoHoldsIt) {
  AmpLockAttempt first = TryLockAmp(kAmp);
  ASSERT_EQ(first.outcome, AmpLockOutcome::Taken) << first.problem;
  const std::string me = std::to_string(ThisProcess());
  EXPECT_EQ(LockFileLines(kAmp), std::vector<std::string>{me + " " + kThisProgram});

  const AmpLockAttempt second = TryLockAmp(kAmp);
  EXPECT_EQ(second.outcome, AmpLockOutcome::HeldElsewhere);
  EXPECT_EQ(second.lock, nullptr);
  EXPECT_EQ(second.holder.pid, ThisProcess());
  EXPECT_EQ(AmpHolderText(second.holder), std::string(kThisProgram) + " (process " + me + ")");

  // Released, it names nobody and can be taken again.
  first.lock.reset();
  EXPECT_TRUE(LockFileLines(kAmp).empty());
  EXPECT_EQ(TryLockAmp(kAmp).outcome, AmpLockOutcome::Taken);
}

TEST_F(AmpLockTest, SeparateAmpsHaveSeparateLocks) {
  // Paths that a careless escaping would fold into one file name.
  const std::vector<std::string> amps = {"/dev/hidraw3", "/dev/hidraw4", "/dev/a_b",
                                         "/dev/a/b",     "/dev/a%2Fb",   "1-1.4:1.0"};
  std::vector<AmpLockAttempt> held;
  for (const std::string& amp : amps) {
    held.push_back(TryLockAmp(amp));
    EXPECT_EQ(held.back().outcome, AmpLockOutcome::Taken) << amp;
  }
  std::map<std::string, int> names;
  for (const std::string& amp : amps) ++names[AmpLockFileName(amp)];
  EXPECT_EQ(names.size(), amps.size());
  EXPECT_EQ(AmpLockFileName("/dev/hidraw3"), "amp-%2Fdev%2Fhidraw3.lock");
}

// A simulation's amp is its program's own: its locks stay in the process, still excluding each
// other there, whatever another program holds in the lock files.
TEST_F(AmpLockTest, ASimulationKeepsItsLocksInItsProcess) {
  AmpLockAttempt otherProgram = TryLockAmp(kAmp);
  ASSERT_EQ(otherProgram.outcome, AmpLockOutcome::Taken);

  KeepAmpLocksInProcess(true);
  AmpLockAttempt first = TryLockAmp(kAmp);
  const AmpLockAttempt second = TryLockAmp(kAmp);
  const AmpLockAttempt another = TryLockAmp("/dev/hidraw4");
  const bool anotherHasAFile =
      std::filesystem::exists(folder / "locks" / AmpLockFileName("/dev/hidraw4"));
  first.lock.reset();
  const AmpLockOutcome afterRelease = TryLockAmp(kAmp).outcome;
  KeepAmpLocksInProcess(false);

  EXPECT_EQ(first.outcome, AmpLockOutcome::Taken);
  EXPECT_EQ(second.outcome, AmpLockOutcome::HeldElsewhere);
  EXPECT_EQ(second.holder.pid, ThisProcess());
  EXPECT_EQ(second.holder.program, kThisProgram);
  EXPECT_EQ(afterRelease, AmpLockOutcome::Taken);
  EXPECT_EQ(another.outcome, AmpLockOutcome::Taken);
  EXPECT_FALSE(anotherHasAFile);
  // The lock file is as the other program left it, and counts again.
  EXPECT_EQ(LockFileLines(kAmp),
            std::vector<std::string>{std::to_string(ThisProcess()) + " " + kThisProgram});
  EXPECT_EQ(TryLockAmp(kAmp).outcome, AmpLockOutcome::HeldElsewhere);
}

TEST(AmpHolderRecordTest, ARecordNamesItsProcessAndProgramOrNobody) {
  EXPECT_EQ(AmpHolderRecord(4242, "korva-updater-cli"), "4242 korva-updater-cli\n");
  const AmpLockHolder holder = ParseAmpHolderRecord("4242 korva-updater-cli\n");
  EXPECT_EQ(holder.pid, 4242);
  EXPECT_EQ(holder.program, "korva-updater-cli");
  // Bytes that could steer a terminal are shown as '?'.
  EXPECT_EQ(ParseAmpHolderRecord("7 evil\x1b[2J\n").program, "evil?[2J");
  for (const char* broken : {"", "\n", " korva", "12x korva", "korva 12", "123456789012 korva"}) {
    EXPECT_EQ(ParseAmpHolderRecord(broken).pid, 0) << broken;
  }
}

#ifndef _WIN32
// Another process takes the lock, holds it while the test looks, and ends without releasing.
TEST_F(AmpLockTest, AnotherProcessHoldsTheAmpUntilItEnds) {
  int taken[2];
  int finish[2];
  ASSERT_EQ(pipe(taken), 0);
  ASSERT_EQ(pipe(finish), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    AmpLockAttempt attempt = TryLockAmp(kAmp);
    const char outcome = attempt.outcome == AmpLockOutcome::Taken ? 'T' : 'F';
    [[maybe_unused]] ssize_t n = write(taken[1], &outcome, 1);
    char go = 0;
    n = read(finish[0], &go, 1);
    _exit(0);  // no destructor runs: the system lets the lock go
  }
  char outcome = 0;
  ASSERT_EQ(read(taken[0], &outcome, 1), 1);
  EXPECT_EQ(outcome, 'T');

  const AmpLockAttempt blocked = TryLockAmp(kAmp);
  EXPECT_EQ(blocked.outcome, AmpLockOutcome::HeldElsewhere);
  EXPECT_EQ(blocked.holder.pid, child);
  // Another amp is free meanwhile.
  EXPECT_EQ(TryLockAmp("/dev/hidraw4").outcome, AmpLockOutcome::Taken);

  const char go = 'x';
  ASSERT_EQ(write(finish[1], &go, 1), 1);
  ASSERT_EQ(waitpid(child, nullptr, 0), child);
  // The file still names the ended process, but the lock is free and the file is rewritten.
  EXPECT_EQ(LockFileLines(kAmp),
            std::vector<std::string>{std::to_string(child) + " " + program_invocation_short_name});
  const AmpLockAttempt after = TryLockAmp(kAmp);
  EXPECT_EQ(after.outcome, AmpLockOutcome::Taken);
  EXPECT_EQ(LockFileLines(kAmp).front().rfind(std::to_string(getpid()) + " ", 0), 0u);
  for (int fd : {taken[0], taken[1], finish[0], finish[1]}) close(fd);
}

TEST_F(AmpLockTest, AFolderThatCannotHoldLocksIsSaidAndNothingIsHeld) {
  // A file where the folder would be.
  std::ofstream(folder / "file") << "x";
  SetAmpLockFolder(folder / "file" / "locks");
  AmpLockAttempt attempt = TryLockAmp(kAmp);
  EXPECT_EQ(attempt.outcome, AmpLockOutcome::NoLockFile);
  EXPECT_EQ(attempt.lock, nullptr);
  EXPECT_NE(attempt.problem.find("cannot be made"), std::string::npos) << attempt.problem;

  // A folder that others may write into (as in the shared temporary folder) is not trusted.
  const auto open = folder / "open";
  std::filesystem::create_directory(open);
  chmod(open.c_str(), 0777);
  SetAmpLockFolder(open);
  attempt = TryLockAmp(kAmp);
  EXPECT_EQ(attempt.outcome, AmpLockOutcome::NoLockFile);
  EXPECT_NE(attempt.problem.find("not a private folder"), std::string::npos) << attempt.problem;
}

TEST(AmpLockFolderTest, TheRuntimeFolderOfTheDesktopElseAPrivateTemporaryOne) {
  const auto with = [](std::optional<std::string> runtime) {
    return [runtime](const char* name) -> std::optional<std::string> {
      return std::string(name) == "XDG_RUNTIME_DIR" ? runtime : std::nullopt;
    };
  };
  EXPECT_EQ(DefaultAmpLockFolder(with("/run/user/1000")), "/run/user/1000/korva-updater");
  const std::filesystem::path fallback = DefaultAmpLockFolder(with(std::nullopt));
  EXPECT_EQ(fallback.filename(), "korva-updater-" + std::to_string(geteuid()));
  // A relative runtime folder is invalid and ignored.
  EXPECT_EQ(DefaultAmpLockFolder(with("run/user/1000")), fallback);
  EXPECT_EQ(AmpHolderText({}), "another program");
}

#endif  // _WIN32

}  // namespace
}  // namespace korva::testing
