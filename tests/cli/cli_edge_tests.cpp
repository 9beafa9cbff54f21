// korva-updater-cli at its edges: Ctrl-C before anything is written (at every point before a
// job's first report, two quick presses included), the JSON stream's one result on every way
// out, and command lines with options given twice or where they do not belong.
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <algorithm>
#include <map>
#include <regex>

#include "cli/messages.h"
#include "cli/options.h"
#include "jobs/service_texts.h"
#include "tests/cli/cli_test_support.h"

namespace korva::testing {
namespace {

class CliEdgeTest : public CliFilesTest {
 protected:
  // Nothing but the reading and "INITSTA" reached the amp: no opening command, no data, no
  // link switch.
  bool OnlyReadingOnTheWire() const {
    for (const auto& w : sim.korva.Writes()) {
      const bool initStates =
          std::equal(kInitStatesText.begin(), kInitStatesText.end(), w.bytes.begin() + 1);
      const bool readVersion =
          std::equal(kReadVersionText.begin(), kReadVersionText.end(), w.bytes.begin() + 1);
      if (w.took != VirtualKorva::Took::Poll && !initStates && !readVersion) return false;
    }
    return true;
  }
  int ModuleUpdates() const {
    const auto calls = sim.module.Calls();
    return static_cast<int>(std::count(calls.begin(), calls.end(), "upgrade"));
  }
};

// The checks that every JSON stream passes: one object per line, exactly one "result" and it
// comes last with the program's exit code, and every "failed" or "done" after its own
// "job_started", with the totals that the start announced.
void ExpectWellFormedJson(const CliRun& run) {
  const auto lines = Lines(run.out);
  ASSERT_FALSE(lines.empty());
  std::map<std::string, long> started;  // job → reports, while it runs
  int results = 0;
  for (const auto& line : lines) {
    std::smatch match;
    ASSERT_TRUE(std::regex_search(line, match, std::regex("^\\{\"event\":\"([a-z_]+)\".*\\}$")))
        << line;
    const std::string event = match[1];
    std::smatch job;
    const bool hasJob = std::regex_search(line, job, std::regex("\"job\":\"([A-Z]+)\""));
    if (event == "job_started") {
      ASSERT_TRUE(hasJob);
      EXPECT_EQ(started.count(job[1]), 0u) << line;
      started[job[1]] = Number(line, "reports");
    } else if (event == "failed" || event == "done" || event == "progress") {
      ASSERT_TRUE(hasJob);
      ASSERT_EQ(started.count(job[1]), 1u) << "no job_started before " << line;
      if (event != "done") {
        EXPECT_EQ(Number(line, "reports"), started[job[1]]) << line;
        EXPECT_GE(Number(line, "count") == -999 ? Number(line, "sent") : Number(line, "count"), 0)
            << line;
      }
      if (event == "failed") {
        EXPECT_LE(Number(line, "count"), started[job[1]]) << line;
      }
      if (event != "progress") started.erase(job[1]);
    } else if (event == "result") {
      ++results;
    }
  }
  EXPECT_EQ(results, 1);
  EXPECT_TRUE(Contains(lines.back(),
                       "{\"event\":\"result\",\"exit_code\":" + std::to_string(run.code) + ","))
      << lines.back();
  EXPECT_TRUE(started.empty()) << "a job_started without its end";
}

// Ctrl-C at each point before a job writes its first report ends the command with exit 5 and
// its own words, and nothing but the reading and "INITSTA" reaches the amp; no warning about
// incomplete firmware is shown, however many presses. Once the amp has handed its link to the
// Bluetooth module, the update goes on and the presses only say that it cannot be stopped.
TEST_F(CliEdgeTest, StopBeforeAnythingIsWritten) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::vector<int> pressAtMainPause;  // a press after each of these pauses of the main thread
    int pressesAtQuestion;
    int exitCode;
    int warnings;
  };
  // The main thread pauses: the reading's "INITSTA" (1) and its acknowledgement (2), "RV" (3);
  // then StartJob's "INITSTA" (4) and its acknowledgement (5). The service commands do not
  // read versions: their StartJob pauses are 1 and 2, the link switch's 3 to 5.
  const std::string battery = File("battery.bin", battery_);
  const std::string wav = File("cab.wav", wav_);
  const std::string dfu = File("module.dfu", Pattern(100, 3));
  const Case cases[] = {
      {"status: a press during the reading", {"status"}, {1}, 0, 5, 0},
      {"update: a press during the reading's INITSTA", {"update"}, {1}, 0, 5, 0},
      {"update: two presses at 0.1 s and 0.2 s", {"update"}, {1, 2}, 0, 5, 0},
      {"update: two quick presses during the reading's INITSTA", {"update"}, {1, 1}, 0, 5, 0},
      {"update: two presses during the job's INITSTA", {"update"}, {4, 4}, 0, 5, 0},
      {"update: a press at the question", {"update"}, {}, 1, 5, 0},
      {"update: two presses at the question", {"update"}, {}, 2, 5, 0},
      {"battery: a press during the job's INITSTA", {"flash", "battery", battery}, {1}, 0, 5, 0},
      {"audio: a press during the job's INITSTA", {"audio", "--slot", "4", wav}, {2}, 0, 5, 0},
      {"bluetooth: a press before the link switch", {"bluetooth", dfu}, {2}, 0, 5, 0},
      {"bluetooth: two presses after the switch cannot stop the update",
       {"bluetooth", dfu},
       {5, 5},
       0,
       0,
       2},
  };
  HookedClock& hooked = Hooked();
  for (const Case& c : cases) {
    for (const bool json : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (json ? ", JSON" : ""));
      sim.korva.Plug();
      sim.korva.ClearLog();
      sim.module.SetPresent(false);
      sim.korva.SetVersions(c.pressesAtQuestion > 0 ? "1.38" : "1.36",
                            c.pressesAtQuestion > 0 ? "250" : "192");
      const int updatesBefore = ModuleUpdates();
      const int completedBefore = sim.korva.CompletedUpdates();
      int pauses = 0;
      hooked.mainHook = [&] {
        ++pauses;
        for (int at : c.pressAtMainPause) {
          if (at == pauses) {
            EXPECT_TRUE(interrupts.Press());
          }
        }
      };
      interrupts.pressesAtQuestion = c.pressesAtQuestion;
      auto args = c.args;
      if (json) args.push_back("--json");
      const auto run = Cli(args, "y\n");
      hooked.mainHook = nullptr;
      interrupts.pressesAtQuestion = 0;

      EXPECT_EQ(run.code, c.exitCode);
      if (c.exitCode == cli::kExitStopped) {
        EXPECT_TRUE(OnlyReadingOnTheWire());
        EXPECT_EQ(sim.korva.CompletedUpdates(), completedBefore);
        EXPECT_EQ(ModuleUpdates(), updatesBefore);
        EXPECT_FALSE(sim.module.Connected());  // a connection made for the job is closed again
      } else {
        EXPECT_EQ(ModuleUpdates(), updatesBefore + 1);
      }
      EXPECT_EQ(JobStatus.load(), kJobIdle);
      if (json) {
        ExpectWellFormedJson(run);
        EXPECT_EQ(static_cast<int>(Events(run.out, "warning").size()), c.warnings);
        if (c.exitCode == cli::kExitStopped) {
          EXPECT_TRUE(Contains(Result(run), cli::kTextStoppedBeforeWriting));
          EXPECT_TRUE(Events(run.out, "job_started").empty());
        }
      } else {
        EXPECT_FALSE(Contains(run.err, "incomplete"));
        EXPECT_EQ(Contains(run.err, cli::kTextStoppedBeforeWriting),
                  c.exitCode == cli::kExitStopped);
      }
    }
  }
  EXPECT_TRUE(sim.korva.Violations().empty()) << sim.korva.Violations().front();
}

// Ctrl-C twice while the audio job writes its samples stops it between two reports, in the
// words of an audio slot, not of firmware.
TEST_F(CliEdgeTest, StoppedAudioSlotSpeaksOfTheSlot) {
  // The descriptor's 4 data reports, then 20 of the samples: both presses at once.
  PressWhileWriting({.firstAtReport = 4 + 20, .secondAtReport = 4 + 20});
  const auto run = Cli({"audio", "--slot", "2", File("ir.wav", wav_)});
  EXPECT_EQ(run.code, cli::kExitUpdateFailed);
  EXPECT_TRUE(Contains(run.err, cli::kTextAudioGoesOn));
  EXPECT_TRUE(Contains(run.err, cli::kTextStoppingAudio));
  EXPECT_TRUE(Contains(run.out, "The write was stopped: the audio slot is incomplete."));
  EXPECT_FALSE(Contains(run.err + run.out, "firmware"));
  EXPECT_TRUE(Contains(run.err, "Audio slot: failed after 20 of 256 reports.")) << run.err;
  EXPECT_EQ(Lines(run.err).back(), kTextAudioFailed);
}

// Every way out of a --json run ends with exactly one "result", the last line, whose exit code
// is the program's; a job that fails before it prepared its bar still starts before it fails,
// with its real total.
TEST_F(CliEdgeTest, JsonEndsWithOneResultOnEveryWayOut) {
  struct Case {
    const char* name;
    std::function<void()> arrange;
    std::vector<std::string> args;
    std::string input;
    int exitCode;
    std::string failedJob;  // the job of the "failed" event, with its count and total
    long count;
    long reports;
  };
  const std::string battery = File("battery.bin", battery_);
  const std::string wav = File("cab.wav", wav_);
  const std::string dfu = File("module.dfu", Pattern(100, 3));
#ifndef _WIN32
  const std::string fifo = Folder() + "/pipe.bin";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
#else
  const std::string fifo = "NUL";  // a device: refused the same way
#endif
  const auto nothing = [] {};
  const auto faults = [this](VirtualKorva::Faults f) {
    return [this, f] { sim.korva.SetFaults(f); };
  };
  const Case cases[] = {
      {"status", nothing, {"status"}, "", 0, "", 0, 0},
      {"status, no amp", [this] { sim.korva.Unplug(); }, {"status"}, "", 3, "", 0, 0},
      {"status, permission denied",
       faults({.permissionDenied = true}),
       {"status"},
       "",
       4,
       "",
       0,
       0},
      {"update, held by another program",
       faults({.openedElsewhere = true}),
       {"update"},
       "",
       4,
       "",
       0,
       0},
      {"status, INITSTA refused", faults({.acknowledgeLimit = 0}), {"status"}, "", 1, "", 0, 0},
      {"list", nothing, {"list"}, "", 0, "", 0, 0},
      {"list, no amp", [this] { sim.korva.Unplug(); }, {"list"}, "", 3, "", 0, 0},
      {"a path with no KORVA",
       nothing,
       {"status", "--path", "/dev/hidraw-nothing"},
       "",
       3,
       "",
       0,
       0},
      {"update, same version, answered no",
       [this] { sim.korva.SetVersions("1.38", "250"); },
       {"update"},
       "n\n",
       0,
       "",
       0,
       0},
      {"update, the DSP job fails",
       faults({.unplugAfterDataReports = 752 + 100}),
       {"update"},
       "",
       1,
       "DSP",
       100,
       2149},
      {"a usage error after --json", nothing, {"--json", "status", "--yes"}, "", 2, "", 0, 0},
      {"a usage error before --json",
       nothing,
       {"audio", "--slot", "3", "--slot", "4", wav},
       "",
       2,
       "",
       0,
       0},
      {"an unknown option", nothing, {"--frobnicate", "update"}, "", 2, "", 0, 0},
      {"a FIFO as FILE", nothing, {"flash", "mcu", fifo}, "", 2, "", 0, 0},
      {"link on the module",
       [this] { LinkHandedToModule(); },
       {"flash", "battery", battery},
       "",
       3,
       "",
       0,
       0},
      {"battery start refused",
       faults({.acknowledgeLimit = 0}),
       {"flash", "battery", battery},
       "",
       1,
       "",
       0,
       0},
      // The descriptor's window is not acknowledged: nothing of the samples went out.
      {"audio fails before its samples",
       faults({.acknowledgeLimit = 1}),
       {"audio", "--slot", "3", wav},
       "",
       1,
       "AUDIO",
       0,
       256},
      {"Bluetooth module never answers",
       [this] { sim.module.SetScript({.failedConnects = -1}); },
       {"bluetooth", dfu},
       "",
       1,
       "BLUETOOTH",
       0,
       100},
      {"link switch not acknowledged",
       faults({.acknowledgeLimit = 1}),
       {"bluetooth", dfu},
       "",
       1,
       "",
       0,
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim.korva.SetFaults({});
    sim.korva.Plug();
    sim.korva.SetVersions("1.36", "192");
    sim.module.SetPresent(false);
    sim.module.SetScript({});
    c.arrange();
    auto args = c.args;
    args.push_back("--json");
    const auto run = Cli(args, c.input);
    EXPECT_EQ(run.code, c.exitCode);
    ExpectWellFormedJson(run);
    const auto failed = Events(run.out, "failed");
    ASSERT_EQ(failed.size(), c.failedJob.empty() ? 0u : 1u);
    if (!c.failedJob.empty()) {
      EXPECT_TRUE(Contains(failed[0], "\"job\":\"" + c.failedJob + "\""));
      EXPECT_EQ(Number(failed[0], "count"), c.count);
      EXPECT_EQ(Number(failed[0], "reports"), c.reports);
    }
    EXPECT_EQ(JobStatus.load(), kJobIdle);
  }
}

// Options given twice, options that set the same thing, and options on a command they do not
// belong to are usage errors; nothing reaches the amp.
TEST_F(CliEdgeTest, RepeatedAndMisplacedOptions) {
  const std::string wav = File("cab.wav", wav_);
  struct Case {
    std::vector<std::string> args;
    std::string error;
  };
  const Case cases[] = {
      {{"audio", "--slot", "3", "--slot", "4", wav}, "--slot is given more than once"},
      {{"audio", "--slot=3", wav, "--slot", "3"}, "--slot is given more than once"},
      {{"status", "--yes"}, "--yes belongs to the update command"},
      {{"-y", "flash", "mcu", wav}, "--yes belongs to the update command"},
      {{"update", "--slot", "3"}, "--slot belongs to the audio command"},
      {{"--json", "status", "--json"}, "--json is given more than once"},
      {{"--simulate", "status", "--device=usb"}, "--simulate and --device exclude each other"},
      {{"status", "--device=serial"},
       "--device takes only 'usb' (or use --simulate), not 'serial'"},
      {{"status", "--json=yes"}, "--json takes no value"},
      {{"update", "--yes", "-y"}, "--yes is given more than once"},
      {{"flash"}, "flash needs mcu, dsp or battery, then FILE"},
      {{"flash", "mcu"}, "flash mcu needs a FILE"},
      {{"status", "now"}, "unexpected argument 'now'"},
      {{"audio", wav}, "audio needs --slot N, N from 1 to 7"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error);
    EXPECT_EQ(cli::ParseOptions(c.args).error, c.error);
    const auto run = Cli(c.args);
    EXPECT_EQ(run.code, cli::kExitUsage);
    EXPECT_EQ(run.err, "korva-updater-cli: " + c.error + "\nTry 'korva-updater-cli --help'.\n");
  }
  EXPECT_TRUE(sim.korva.Writes().empty());
  // Each option once, where it belongs, in any place on the line.
  for (const auto& args :
       std::vector<std::vector<std::string>>{{"update", "-y", "--json", "--simulate"},
                                             {"--device", "usb", "status"},
                                             {"--json", "audio", wav, "--slot=7"}}) {
    EXPECT_EQ(cli::ParseOptions(args).error, "");
  }
}

}  // namespace
}  // namespace korva::testing
