// korva-updater-cli around its jobs: SIGTERM and SIGHUP held off while a job writes (a second
// within 3 s stops it, and the next run updates the amp), one writer per amp (an amp that
// another program holds is left alone: exit 4, naming the holder), and the lock against sleep
// and shutdown, held from the first job to the last.
#include <memory>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "device/amp_lock.h"
#include "device/hid_transport.h"
#include "jobs/update_texts.h"
#include "tests/cli/cli_test_support.h"

namespace korva::testing {
namespace {

using cli::Interrupt;

// Signals while the MCU job writes: a first at `firstAtReport` data reports, a second `gapMs`
// after it (negative: none).
TEST_F(CliTest, EndSignalsWhileWritingAreHeldOffAndASecondWithin3SecondsStops) {
  struct Case {
    const char* name;
    Interrupt first;
    Interrupt second;
    std::int64_t gapMs;
    int exitCode;
    const char* firstWords;
  };
  const Case cases[] = {
      {"SIGTERM is named, held off, and the update ends well", Interrupt::Terminate,
       Interrupt::Terminate, -1, 0,
       "Asked to end by SIGTERM: the program ends once the job is done."},
      {"SIGHUP (a closed terminal) the same", Interrupt::HangUp, Interrupt::HangUp, -1, 0,
       "Asked to end by SIGHUP: the program ends once the job is done."},
      {"SIGHUP, then SIGTERM within 3 s stops between two reports", Interrupt::HangUp,
       Interrupt::Terminate, 2500, 1, "Asked to end by SIGHUP"},
      {"SIGTERM, then Ctrl-C within 3 s stops too", Interrupt::Terminate, Interrupt::CtrlC, 100, 1,
       "Asked to end by SIGTERM"},
      {"a second SIGTERM after 3 s only warns again", Interrupt::Terminate, Interrupt::Terminate,
       3500, 0, "Asked to end by SIGTERM"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim.korva.SetVersions("1.36", "192");
    const int updatesBefore = sim.korva.CompletedUpdates();
    const int takenBefore = sim.korva.DataReportsTaken();
    PressWhileWriting(
        {.firstAtReport = 200, .gapMs = c.gapMs, .first = c.first, .second = c.second});
    const auto run = Cli({"update", "--yes"});
    Hooked().hook = nullptr;
    EXPECT_EQ(run.code, c.exitCode);
    EXPECT_TRUE(Contains(run.err, c.firstWords)) << run.err;
    EXPECT_TRUE(
        Contains(run.err,
                 "Stopping now leaves the KORVA's firmware incomplete, so the update goes on.\n"
                 "Ask again within 3 seconds (SIGTERM, SIGHUP or Ctrl-C) to stop it anyway."))
        << run.err;
    if (c.exitCode == 0) {
      EXPECT_EQ(sim.korva.CompletedUpdates() - updatesBefore, 2);
      EXPECT_EQ(Lines(run.out).back(), std::string(kTextUpdateSucceeded));
      continue;
    }
    // Stopped: the MCU job ended between two reports, the DSP job never started.
    EXPECT_EQ(sim.korva.CompletedUpdates(), updatesBefore);
    EXPECT_LT(sim.korva.DataReportsTaken() - takenBefore, 752);
    EXPECT_TRUE(Contains(run.out, "Run the update again before you restart the KORVA."));
    // The next run finds the amp half-written and updates it.
    const auto again = Cli({"update", "--yes"});
    EXPECT_EQ(again.code, 0) << again.err;
    ExpectCarriedFirmwareOnTheAmp();
  }
}

// A signal while the amp is only read (here: at the "Update anyway?" question) ends the command
// at once: nothing has been written.
TEST_F(CliTest, AnEndSignalBeforeAnythingIsWrittenEndsTheCommandAtOnce) {
  sim.korva.SetVersions("1.38", "250");  // the carried firmware already: the question comes
  for (const Interrupt cause : {Interrupt::Terminate, Interrupt::HangUp}) {
    interrupts.pressesAtQuestion = 1;
    interrupts.causeAtQuestion = cause;
    const int takenBefore = sim.korva.DataReportsTaken();
    const auto run = Cli({"update", "--json"});
    EXPECT_EQ(run.code, cli::kExitStopped);
    EXPECT_EQ(Number(Events(run.out, "result")[0], "exit_code"), cli::kExitStopped);
    EXPECT_TRUE(Events(run.out, "job_started").empty());
    EXPECT_EQ(sim.korva.DataReportsTaken(), takenBefore);
  }
}

// The amp at the path that every command finds.
std::string AmpPath() { return SearchKorva().path; }

// Another process (here: another open of the lock file, which excludes as another process does)
// holds the amp: every command that would talk to it says who holds it, exits 4, and sends it
// nothing, not even "INITSTA".
TEST_F(CliFilesTest, AnAmpThatAnotherProgramHoldsIsLeftAlone) {
  sim.korva.SetVersions("1.36", "192");
  AmpLockAttempt other = TryLockAmp(AmpPath());
  ASSERT_EQ(other.outcome, AmpLockOutcome::Taken);
  const AmpLockAttempt seen = TryLockAmp(AmpPath());
  ASSERT_EQ(seen.outcome, AmpLockOutcome::HeldElsewhere);
  ASSERT_GT(seen.holder.pid, 0);
  const std::string inUse = AmpInUseText(seen.holder);

  const std::vector<std::vector<std::string>> commands = {
      {"status"},
      {"update", "--yes"},
      {"flash", "mcu", File("m.bin", mcu_)},
      {"audio", "--slot", "2", File("a.wav", wav_)},
  };
  for (const auto& args : commands) {
    SCOPED_TRACE(args[0]);
    const std::size_t writesBefore = Writes().size();
    const auto run = Cli(args);
    EXPECT_EQ(run.code, cli::kExitNotAccessible);
    EXPECT_EQ(run.err, inUse + "\n");
    EXPECT_EQ(Writes().size(), writesBefore);
  }
  const auto json = Cli({"update", "--yes", "--json"});
  EXPECT_EQ(json.code, cli::kExitNotAccessible);
  ASSERT_EQ(Events(json.out, "in_use").size(), 1u);
  EXPECT_EQ(Number(Events(json.out, "in_use")[0], "pid"), seen.holder.pid);
  EXPECT_TRUE(Contains(Events(json.out, "in_use")[0], "\"path\":\"" + AmpPath() + "\""));
  EXPECT_EQ(Number(Result(json), "exit_code"), cli::kExitNotAccessible);

  // Once the other program lets go, the amp is updated.
  other.lock.reset();
  const auto run = Cli({"update", "--yes"});
  EXPECT_EQ(run.code, 0) << run.err;
  ExpectCarriedFirmwareOnTheAmp();
}

// The command holds the amp from its presence test to its last job's end, and lets go after.
TEST_F(CliTest, TheAmpIsHeldFromThePresenceTestUntilTheLastJobHasEnded) {
  sim.korva.SetVersions("1.36", "192");
  int looked = 0;
  int heldElsewhere = 0;
  Hooked().hook = [&] {
    if (sim.korva.DataReportsTaken() % 200 != 1) return;
    ++looked;
    if (TryLockAmp(AmpPath()).outcome == AmpLockOutcome::HeldElsewhere) ++heldElsewhere;
  };
  const auto run = Cli({"update", "--yes"});
  Hooked().hook = nullptr;
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_GT(looked, 0);
  EXPECT_EQ(heldElsewhere, looked);
  EXPECT_EQ(TryLockAmp(AmpPath()).outcome, AmpLockOutcome::Taken);
}

// Two amps on the bench: holding one leaves the other free.
TEST_F(CliTest, SeparateAmpsAreHeldSeparately) {
  VirtualKorva second(sim.bus, "/dev/hidraw-korva2", "KV-0002");
  second.SetVersions("1.36", "192");
  second.Plug();
  AmpLockAttempt first = TryLockAmp(AmpPath());
  ASSERT_EQ(first.outcome, AmpLockOutcome::Taken);
  const auto held = Cli({"status", "--path", AmpPath()});
  EXPECT_EQ(held.code, cli::kExitNotAccessible);
  const auto free = Cli({"update", "--yes", "--path", "/dev/hidraw-korva2"});
  EXPECT_EQ(free.code, 0) << free.err;
  EXPECT_EQ(second.McuVersion(), "1.38");
}

// A stand-in for the system's lock against sleep and shutdown that counts its locks.
class CountingInhibitor final : public SleepInhibitor {
 public:
  std::unique_ptr<Inhibition> Inhibit(std::string& problem) override {
    ++taken;
    if (refuse) {
      problem = "no system bus: a test without one";
      return nullptr;
    }
    return std::make_unique<Held>(held);
  }
  bool refuse = false;
  int taken = 0;
  std::atomic<int> held{0};

 private:
  class Held final : public Inhibition {
   public:
    explicit Held(std::atomic<int>& held) : held_(held) { held_.fetch_add(1); }
    ~Held() override { held_.fetch_sub(1); }

   private:
    std::atomic<int>& held_;
  };
};

// From the MCU job's first report to the DSP job's last the computer is kept awake, with one
// lock across both jobs; it is given back when the command ends. Without a lock to be had the
// update goes on, and that is said once.
TEST_F(CliTest, TheComputerIsKeptAwakeFromTheFirstJobToTheLast) {
  CountingInhibitor system;
  inhibitor = &system;
  sim.korva.SetVersions("1.36", "192");
  int looked = 0;
  int awake = 0;
  Hooked().hook = [&] {
    ++looked;
    if (system.held.load() == 1) ++awake;
  };
  const auto run = Cli({"update", "--yes"});
  Hooked().hook = nullptr;
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_GT(looked, 1000);
  EXPECT_EQ(awake, looked);
  EXPECT_EQ(system.taken, 1);
  EXPECT_EQ(system.held.load(), 0);
  EXPECT_TRUE(run.err.empty()) << run.err;

  system.refuse = true;
  sim.korva.SetVersions("1.36", "192");
  const auto without = Cli({"update", "--yes", "--json"});
  EXPECT_EQ(without.code, 0);
  const auto warnings = Events(without.out, "warning");
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_TRUE(Contains(warnings[0],
                       "The computer cannot be kept from sleeping or shutting down during the "
                       "update (no system bus: a test without one); the update goes on"));
  EXPECT_EQ(sim.korva.CompletedUpdates(), 4);

  // Reading the amp alone holds nothing.
  system.refuse = false;
  EXPECT_EQ(Cli({"status"}).code, 0);
  EXPECT_EQ(system.taken, 2);
}

}  // namespace
}  // namespace korva::testing
