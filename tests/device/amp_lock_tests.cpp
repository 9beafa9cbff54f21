// One writer per amp: the lock excludes a second open in this process and another process,
// names its holder, goes with its holder however that ends, and leaves other amps alone; every
// spelling of an amp's path is one lock, for every environment and user; the Bluetooth module's
// lock is one for the computer. The tests with another process, device nodes and folder
// permissions are POSIX's own; Windows has its own spellings of an interface path.
#include "device/amp_lock.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>

#include "tests/shared/scratch_folder.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#endif

namespace korva::testing {
namespace {

// A path that names no file, as the virtual bus's do: its lock is a lock file.
constexpr const char* kAmp = "/dev/korva-test-absent-hidraw3";
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

#ifdef _WIN32
// One HID interface, many spellings: the lock is keyed on the instance path they all name.
TEST_F(AmpLockTest, EverySpellingOfAnInterfacePathIsOneLock) {
  const std::string path =
      "\\\\?\\hid#vid_1fc9&pid_001b#7&2b3c1f0&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}";
  EXPECT_EQ(AmpInstanceKey(path), "HID\\VID_1FC9&PID_001B\\7&2B3C1F0&0&0000");
  AmpLockAttempt held = TryLockAmp(path);
  ASSERT_EQ(held.outcome, AmpLockOutcome::Taken) << held.problem;
  for (const std::string& spelling :
       {std::string(
            "\\\\.\\HID#VID_1FC9&PID_001B#7&2B3C1F0&0&0000#{4D1E55B2-F16F-11CF-88CB-001111000030}"),
        std::string("\\\\?\\hid#vid_1fc9&pid_001b#7&2b3c1f0&0&0000")}) {
    EXPECT_EQ(TryLockAmp(spelling).outcome, AmpLockOutcome::HeldElsewhere) << spelling;
  }
  EXPECT_EQ(
      TryLockAmp(
          "\\\\?\\hid#vid_1fc9&pid_001b#7&2b3c1f0&0&0001#{4d1e55b2-f16f-11cf-88cb-001111000030}")
          .outcome,
      AmpLockOutcome::Taken);
}
#endif

// A simulation's amp is its program's own: its locks stay in the process, still excluding each
// other there, whatever another program holds in the lock files.
TEST_F(AmpLockTest, ASimulationKeepsItsLocksInItsProcess) {
  AmpLockAttempt otherProgram = TryLockAmp(kAmp);
  ASSERT_EQ(otherProgram.outcome, AmpLockOutcome::Taken);

  KeepAmpLocksInProcess(true);
  AmpLockAttempt first = TryLockAmp(kAmp);
  const AmpLockAttempt second = TryLockAmp(kAmp);
  const AmpLockAttempt another = TryLockAmp("/dev/korva-test-absent-hidraw4");
  const bool anotherHasAFile =
      std::filesystem::exists(folder / "locks" / AmpLockFileName("/dev/korva-test-absent-hidraw4"));
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
// Another process: runs `take`, reports the byte it returns, and keeps what it took until the
// test lets it end; it ends with _exit, so that nothing is let go by hand.
class OtherProcess {
 public:
  explicit OtherProcess(const std::function<char()>& take) {
    if (pipe(report_) != 0 || pipe(finish_) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      const char outcome = take();
      [[maybe_unused]] ssize_t n = write(report_[1], &outcome, 1);
      char go = 0;
      n = read(finish_[0], &go, 1);
      _exit(0);
    }
  }
  ~OtherProcess() {
    End();
    for (int fd : {report_[0], report_[1], finish_[0], finish_[1]}) close(fd);
  }
  OtherProcess(const OtherProcess&) = delete;
  OtherProcess& operator=(const OtherProcess&) = delete;

  pid_t Pid() const { return pid_; }
  char Outcome() {
    char outcome = 0;
    return read(report_[0], &outcome, 1) == 1 ? outcome : '?';
  }
  void End() {
    if (pid_ <= 0) return;
    const char go = 'x';
    [[maybe_unused]] const ssize_t n = write(finish_[1], &go, 1);
    waitpid(pid_, nullptr, 0);
    pid_ = 0;
  }

 private:
  int report_[2] = {-1, -1};
  int finish_[2] = {-1, -1};
  pid_t pid_ = -1;
};

// Keeps an attempt for the rest of a child process's short life: 'T' taken as a lock of the
// node itself (no notice), 'N' taken as a lock file, 'H' held elsewhere, 'F' none.
char Keep(AmpLockAttempt attempt) {
  const auto* kept = new AmpLockAttempt(std::move(attempt));
  switch (kept->outcome) {
    case AmpLockOutcome::Taken:
      return kept->notice.empty() ? 'T' : 'N';
    case AmpLockOutcome::HeldElsewhere:
      return 'H';
    default:
      return 'F';
  }
}

// Another process takes the lock, holds it while the test looks, and ends without releasing.
TEST_F(AmpLockTest, AnotherProcessHoldsTheAmpUntilItEnds) {
  OtherProcess other([] { return Keep(TryLockAmp(kAmp)); });
  ASSERT_EQ(other.Outcome(), 'T');

  const AmpLockAttempt blocked = TryLockAmp(kAmp);
  EXPECT_EQ(blocked.outcome, AmpLockOutcome::HeldElsewhere);
  EXPECT_EQ(blocked.holder.pid, other.Pid());
  // Another amp is free meanwhile.
  EXPECT_EQ(TryLockAmp("/dev/korva-test-absent-hidraw4").outcome, AmpLockOutcome::Taken);

  const pid_t child = other.Pid();
  other.End();
  // The file still names the ended process, but the lock is free and the file is rewritten.
  EXPECT_EQ(LockFileLines(kAmp),
            std::vector<std::string>{std::to_string(child) + " " + program_invocation_short_name});
  const AmpLockAttempt after = TryLockAmp(kAmp);
  EXPECT_EQ(after.outcome, AmpLockOutcome::Taken);
  EXPECT_EQ(LockFileLines(kAmp).front().rfind(std::to_string(getpid()) + " ", 0), 0u);
}

// The lock is the device node's own: a link to it, "/./", "//", another runtime and temporary
// folder (a shell without XDG_RUNTIME_DIR, another TMPDIR, sudo) all meet the one lock, which
// names its holder from the kernel's table, and no lock file is made.
TEST_F(AmpLockTest, EverySpellingOfTheNodeIsOneLockWhateverTheEnvironment) {
  const std::filesystem::path node = folder / "hidraw7";  // stands in for the device node
  std::ofstream(node) << "";
  std::filesystem::create_symlink(node, folder / "korva-amp");
  OtherProcess other([&] {
    setenv("XDG_RUNTIME_DIR", (folder / "elsewhere").c_str(), 1);
    setenv("TMPDIR", (folder / "other-tmp").c_str(), 1);
    SetAmpLockFolder({});  // the folder of that environment
    return Keep(TryLockAmp(node.string()));
  });
  ASSERT_EQ(other.Outcome(), 'T');
  const std::string dir = folder.Path().string();
  for (const std::string& spelling :
       {node.string(), dir + "/./hidraw7", dir + "//hidraw7", dir + "/korva-amp"}) {
    const AmpLockAttempt seen = TryLockAmp(spelling);
    EXPECT_EQ(seen.outcome, AmpLockOutcome::HeldElsewhere) << spelling;
    EXPECT_EQ(seen.holder.pid, other.Pid()) << spelling;
    EXPECT_EQ(seen.holder.program, program_invocation_short_name) << spelling;
  }
  EXPECT_FALSE(std::filesystem::exists(folder / "locks"));
  EXPECT_FALSE(std::filesystem::exists(folder / "elsewhere"));
  other.End();
  EXPECT_EQ(TryLockAmp(dir + "/korva-amp").outcome, AmpLockOutcome::Taken);
}

// A program of another user meets the same lock.
TEST_F(AmpLockTest, AnotherUsersProgramMeetsTheSameLock) {
  if (geteuid() != 0) GTEST_SKIP() << "only root can run a process as another user";
  // The node lies where the other user can reach it, as /dev is: the test's own folder may be
  // inside a home that only root may enter (a checkout in /root), so this one is made in the
  // system's temporary folder.
  char made[] = "/tmp/korva-lock-other-user-XXXXXX";
  ASSERT_NE(mkdtemp(made), nullptr);
  struct Removed {
    std::filesystem::path path;
    ~Removed() {
      std::error_code ignored;
      std::filesystem::remove_all(path, ignored);
    }
  } open{made};
  chmod(made, 0755);
  const std::filesystem::path node = open.path / "hidraw8";
  std::ofstream(node) << "";
  chmod(node.c_str(), 0644);
  AmpLockAttempt mine = TryLockAmp(node.string());
  ASSERT_EQ(mine.outcome, AmpLockOutcome::Taken) << mine.problem;
  OtherProcess nobody([&] {
    if (setgid(65534) != 0 || setuid(65534) != 0) return 'U';
    const AmpLockAttempt seen = TryLockAmp(node.string());
    return seen.outcome == AmpLockOutcome::HeldElsewhere && seen.holder.pid == getppid() ? 'H'
                                                                                         : 'F';
  });
  EXPECT_EQ(nobody.Outcome(), 'H');
}

// Where the node itself cannot hold the lock, a lock file of this user's stands in and the user
// hears it, once; a path that names no file at all (another backend's) takes it without a word.
TEST_F(AmpLockTest, ANodeThatCannotBeLockedFallsBackToALockFileAndSaysSo) {
  std::vector<std::string> warnings;
  SetAmpLockWarning([&](const std::string& text) { warnings.push_back(text); });
  const std::filesystem::path fifo = folder / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  AmpLockAttempt first = LockFoundAmp(fifo.string());
  EXPECT_EQ(first.outcome, AmpLockOutcome::Taken);
  EXPECT_NE(first.notice.find("cannot be opened to lock it (not a device node)"), std::string::npos)
      << first.notice;
  EXPECT_EQ(TryLockAmp(fifo.string()).outcome, AmpLockOutcome::HeldElsewhere);
  EXPECT_EQ(LockFileLines(fifo.string()).size(), 1u);
  const AmpLockAttempt absent = LockFoundAmp(kAmp);
  EXPECT_EQ(absent.outcome, AmpLockOutcome::Taken);
  EXPECT_EQ(absent.notice, "");
  EXPECT_EQ(warnings, std::vector<std::string>{first.notice});

  // No lock at all (a runtime folder that is not this user's own, as sudo -E leaves it): said
  // too, to the user and not only to the log.
  const auto open = folder / "open";
  std::filesystem::create_directory(open);
  chmod(open.c_str(), 0777);
  SetAmpLockFolder(open);
  SetAmpLockWarning([&](const std::string& text) { warnings.push_back(text); });
  const AmpLockAttempt none = LockFoundAmp(kAmp);
  EXPECT_EQ(none.outcome, AmpLockOutcome::NoLockFile);
  ASSERT_EQ(warnings.size(), 2u);
  EXPECT_EQ(warnings[1], "No lock for the KORVA (" + none.problem +
                             "): another program could write to it at the same time.");
  SetAmpLockWarning(nullptr);
}

// The module's lock: one for the computer (another process meets it and learns who holds it),
// shared by the claims of one program, let go with the last of them.
TEST_F(AmpLockTest, TheModuleHasOneLockSharedByTheClaimsOfAProgram) {
  AmpLockAttempt first = ClaimBluetoothModule();
  AmpLockAttempt second = ClaimBluetoothModule();
  ASSERT_EQ(first.outcome, AmpLockOutcome::Taken) << first.problem;
  ASSERT_EQ(second.outcome, AmpLockOutcome::Taken);
  const pid_t me = getpid();
  const auto heldByMe = [me] {
    const AmpLockAttempt seen = TryLockModuleSystem();
    return seen.outcome == AmpLockOutcome::HeldElsewhere && seen.holder.pid == me ? 'H' : 'F';
  };
  EXPECT_EQ(OtherProcess(heldByMe).Outcome(), 'H');
  first.lock.reset();
  EXPECT_EQ(OtherProcess(heldByMe).Outcome(), 'H');
  second.lock.reset();

  OtherProcess other([] { return Keep(TryLockModuleSystem()); });
  ASSERT_EQ(other.Outcome(), 'T');
  const AmpLockAttempt refused = ClaimBluetoothModule();
  EXPECT_EQ(refused.outcome, AmpLockOutcome::HeldElsewhere);
  EXPECT_EQ(refused.holder.pid, other.Pid());
  EXPECT_EQ(ModuleInUseText(refused.holder)
                .rfind("The KORVA's Bluetooth module is in use by " +
                           std::string(program_invocation_short_name),
                       0),
            0u);
  other.End();
  EXPECT_EQ(ClaimBluetoothModule().outcome, AmpLockOutcome::Taken);
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
