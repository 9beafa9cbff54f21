// korva-updater-cli in process against the virtual KORVA in virtual time: the commands, their
// texts and exit codes, the JSON events, the y/N prompt, failures, the not-accessible amp and
// Ctrl-C during a job; then the pieces the front end is made of.
#include "cli/cli.h"

#include <algorithm>
#include <regex>
#include <sstream>
#include <thread>

#include "cli/interrupt_policy.h"
#include "cli/json_line.h"
#include "cli/messages.h"
#include "cli/progress_line.h"
#include "cli/queue_owner.h"
#include "device/amp_lock.h"
#include "device/device_access.h"
#include "device/hid_transport.h"
#include "images/embedded_images.h"
#include "jobs/update_texts.h"
#include "tests/cli/cli_test_support.h"

namespace korva::testing {
namespace {

using namespace std::chrono_literals;

TEST_F(CliTest, UsageAndHelp) {
  const auto help = Cli({"--help"});
  EXPECT_EQ(help.code, 0);
  for (const char* line :
       {"0  updated, written, or nothing to do", "1  an update failed", "2  usage error",
        "3  no KORVA connected", "4  a KORVA is connected but cannot be opened",
        "5  stopped by Ctrl-C (or SIGTERM, SIGHUP) before anything was written"}) {
    EXPECT_TRUE(Contains(help.out, line)) << line;
  }
  const std::vector<std::vector<std::string>> wrong = {{},
                                                       {"flash"},
                                                       {"status", "--frobnicate"},
                                                       {"status", "update"},
                                                       {"--device=serial", "status"}};
  for (const auto& args : wrong) {
    const auto run = Cli(args);
    EXPECT_EQ(run.code, cli::kExitUsage);
    EXPECT_TRUE(Contains(run.err, "--help"));
  }
  EXPECT_TRUE(sim.korva.Writes().empty());
}

TEST_F(CliTest, StatusWithAndWithoutTheAmp) {
  const auto status = Cli({"status"});
  EXPECT_EQ(status.code, 0);
  EXPECT_EQ(Lines(status.out),
            (std::vector<std::string>{"KORVA: Connected (/dev/hidraw-korva)",
                                      "Current firmware version: Ver1.36.192",
                                      "Version to be updated:    Ver1.38.250",
                                      "Plan: MCU, then DSP", cli::kTextBothPartsDiffer}));
  // The window's traffic: "INITSTA", its poll, "RV"; nothing written to the amp's memories.
  EXPECT_EQ(sim.korva.Writes().size(), 3u);
  EXPECT_EQ(sim.korva.CompletedUpdates(), 0);
  EXPECT_EQ(LinkMode.load(), kLinkHid);

  sim.korva.Unplug();
  for (const bool json : {false, true}) {
    const auto absent = json ? Cli({"status", "--json"}) : Cli({"status", "--device=usb"});
    EXPECT_EQ(absent.code, cli::kExitNoDevice);
    EXPECT_EQ(LinkMode.load(), kLinkNone);
    if (json) {
      EXPECT_EQ(Events(absent.out, "disconnected").size(), 1u);
      EXPECT_TRUE(Contains(absent.out, kTextConnectCable));
    } else {
      EXPECT_EQ(absent.err, std::string(kTextConnectCable) + "\n");
    }
  }
}

TEST_F(CliTest, PlanTexts) {
  struct Case {
    const char* mcu;
    const char* dsp;
    std::uint8_t flags;
    int plan;
    std::vector<std::string> lines;  // after the "Connected" line
  };
  const Case cases[] = {
      {"1.38",
       "250",
       0,
       0,
       {"Current firmware version: Ver1.38.250", "Version to be updated:    Ver1.38.250",
        "Plan: nothing differs", "Same fimware, no need to update!"}},
      {"1.38",
       "192",
       0,
       1,
       {"Current firmware version: Ver1.38.192", "Version to be updated:    Ver1.38.250",
        "Plan: DSP only", "Same MCU fimware, only need to update DSP firmware!"}},
      {"1x38",
       "192",
       0,
       1,
       {"Current firmware version: Ver1x38.192", "Version to be updated:    Ver1.38.250",
        "Plan: DSP only", "Same MCU fimware, only need to update DSP firmware!"}},
      {"1.36",
       "250",
       0,
       2,
       {"Current firmware version: Ver1.36.250", "Version to be updated:    Ver1.38.250",
        "Plan: MCU only", "Same DSP fimware, only need to update MCU firmware!"}},
      // No version to show: the text stays all zero, so neither part matches.
      {"1.38",
       "250",
       kVersionFlagsNoVersion,
       3,
       {"Current firmware version: (none reported)", "Version to be updated:    Ver1.38.250",
        "Plan: MCU, then DSP", cli::kTextBothPartsDiffer}},
      // Bytes that are no printable text never reach the terminal as they are.
      {"1\x1b[2",
       "2\n0",
       0,
       3,
       {"Current firmware version: Ver1?[2.2?0", "Version to be updated:    Ver1.38.250",
        "Plan: MCU, then DSP", cli::kTextBothPartsDiffer}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.mcu) + "." + c.dsp);
    ResetProtocolState();
    sim.korva.SetVersions(c.mcu, c.dsp, c.flags);
    const auto text = Cli({"status"});
    EXPECT_EQ(text.code, 0);
    auto lines = Lines(text.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()), c.lines);

    ResetProtocolState();
    const auto json = Cli({"status", "--json"});
    // For scripts: the plan by name and number, and the status line the terminal shows.
    const char* const names[] = {"nothing", "dsp_only", "mcu_only", "mcu_then_dsp"};
    ASSERT_EQ(Events(json.out, "plan").size(), 1u);
    const std::string plan = Events(json.out, "plan")[0];
    EXPECT_TRUE(Contains(plan, std::string("\"plan\":\"") + names[c.plan] + "\"")) << plan;
    EXPECT_EQ(Number(plan, "plan_number"), c.plan);
    EXPECT_TRUE(Contains(plan, "\"status\":" + cli::JsonQuoted(c.lines.back()))) << plan;
    EXPECT_FALSE(Contains(plan, "Click")) << plan;
    EXPECT_EQ(Contains(Events(json.out, "versions")[0], "\"device\":null"),
              c.flags == kVersionFlagsNoVersion);
  }
}

TEST_F(CliTest, AmpThatCannotBeOpened) {
  struct Case {
    VirtualKorva::Faults faults;
    const char* reason;
    std::vector<std::string> advice;
  };
  const Case cases[] = {
      {{.permissionDenied = true}, "permission denied", PermissionDeniedAdviceParts()},
      {{.openedElsewhere = true}, "held by another program", {"another program holds it"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reason);
    sim.korva.SetFaults(c.faults);
    const auto text = Cli({"update", "--yes"});
    EXPECT_EQ(text.code, cli::kExitNotAccessible);
    EXPECT_TRUE(Contains(text.err, "A KORVA is connected at /dev/hidraw-korva"));
    for (const auto& part : c.advice) EXPECT_TRUE(Contains(text.err, part)) << part;
    const auto json = Cli({"status", "--json"});
    EXPECT_EQ(json.code, cli::kExitNotAccessible);
    ASSERT_EQ(Events(json.out, "not_accessible").size(), 1u);
    EXPECT_TRUE(Contains(json.out, std::string("\"reason\":\"") + c.reason + "\""));
  }
  EXPECT_TRUE(sim.korva.Writes().empty());
}

TEST_F(CliTest, DeviceAccessDiagnosis) {
  struct Case {
    bool plugged;
    VirtualKorva::Faults faults;
    DeviceAccess access;
  };
  const Case cases[] = {
      {true, {}, DeviceAccess::Ready},
      {false, {}, DeviceAccess::Absent},
      {true, {.permissionDenied = true}, DeviceAccess::PermissionDenied},
      {true, {.openedElsewhere = true}, DeviceAccess::HeldElsewhere},
  };
  for (const Case& c : cases) {
    c.plugged ? sim.korva.Plug() : sim.korva.Unplug();
    sim.korva.SetFaults(c.faults);
    const DeviceAccessReport report = CheckDeviceAccess();
    EXPECT_EQ(report.access, c.access);
    EXPECT_EQ(report.path, c.plugged ? "/dev/hidraw-korva" : "");
    EXPECT_EQ(sim.bus.OpenHandles(), 0);
  }
}

TEST_F(CliTest, AmpThatDoesNotTakeInitStates) {
  sim.korva.SetFaults({.acknowledgeLimit = 0});
  const auto run = Cli({"update"});
  EXPECT_EQ(run.code, cli::kExitUpdateFailed);
  EXPECT_EQ(run.err, std::string(kTextInitStatesFailedCheckCable) + "\n");
  EXPECT_EQ(sim.korva.DataReportsTaken(), 0);
}

// The whole main road into a log: the amp ends up holding the carried firmware, each job
// writes one line per 10% step, and the time taken is the protocol's pauses exactly.
TEST_F(CliTest, FullUpdateIntoALog) {
  const auto start = clock.NowMs();
  const auto run = Cli({"update"});
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.err, "");
  ExpectCarriedFirmwareOnTheAmp();
  EXPECT_EQ(sim.korva.CompletedUpdates(), 2);
  // The reading before the jobs ("INITSTA" 100 + 200, "RV" 100), then both jobs (140094).
  EXPECT_EQ(clock.NowMs() - start, 400 + 140094);

  const auto lines = Lines(run.out);
  for (const std::string label : {"MCU firmware: ", "DSP firmware: "}) {
    std::vector<std::string> steps;
    for (const auto& line : lines) {
      if (line.rfind(label, 0) == 0 && Contains(line, "%"))
        steps.push_back(line.substr(label.size(), 4));
    }
    EXPECT_EQ(steps, (std::vector<std::string>{"10% ", "20% ", "30% ", "40% ", "50% ", "60% ",
                                               "70% ", "80% ", "90% ", "100%"}))
        << label;
  }
  EXPECT_TRUE(Contains(run.out, "MCU firmware: writing 752 reports"));
  EXPECT_TRUE(Contains(run.out, "DSP firmware: 100% (2149/2149 reports"));
  EXPECT_TRUE(Contains(run.out, "Start updating...\n"));
  EXPECT_TRUE(Contains(run.out, "MCU firmware update successfully!\n"));
  EXPECT_EQ(lines.back(), kTextUpdateSucceeded);
  EXPECT_EQ(JobStatus.load(), kJobIdle);
  EXPECT_EQ(CurrentTransfer.load(), kTransferNone);
  EXPECT_EQ(interrupts.started, 1);
  EXPECT_EQ(interrupts.stopped, 1);

  // Run again: the amp now holds the carried version, so there is nothing to do.
  const auto again = Cli({"status"});
  EXPECT_TRUE(Contains(again.out, "Current firmware version: Ver1.38.250\n"));
  EXPECT_TRUE(Contains(again.out, "Plan: nothing differs\n"));
}

TEST_F(CliTest, FullUpdateAsJson) {
  const auto run = Cli({"update", "--json"});
  EXPECT_EQ(run.code, 0);
  std::vector<std::string> order;
  for (const auto& line : Lines(run.out)) {
    std::smatch match;
    ASSERT_TRUE(std::regex_search(line, match, std::regex("^\\{\"event\":\"([a-z_]+)\".*\\}$")))
        << line;
    if (match[1] != "progress" && (order.empty() || order.back() != match[1]))
      order.push_back(match[1]);
  }
  EXPECT_EQ(order,
            (std::vector<std::string>{"connected", "versions", "plan", "message", "job_started",
                                      "done", "message", "job_started", "done", "result"}));
  for (const char* job : {"MCU", "DSP"}) {
    std::vector<long> percents;
    for (const auto& line : Events(run.out, "progress")) {
      if (Contains(line, std::string("\"job\":\"") + job + "\""))
        percents.push_back(Number(line, "percent"));
    }
    ASSERT_FALSE(percents.empty());
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_EQ(std::adjacent_find(percents.begin(), percents.end()), percents.end());
    EXPECT_EQ(percents.back(), 100);
  }
  EXPECT_EQ(Number(Events(run.out, "job_started")[0], "reports"), 752);
  EXPECT_EQ(Number(Events(run.out, "job_started")[1], "reports"), 2149);
  EXPECT_EQ(Number(Events(run.out, "result")[0], "exit_code"), 0);
  EXPECT_TRUE(Contains(Events(run.out, "result")[0], kTextUpdateSucceeded));
  ExpectCarriedFirmwareOnTheAmp();
}

TEST_F(CliTest, SameVersionPrompt) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::string input;
    bool asked;
    bool updates;
  };
  const Case cases[] = {
      {"no", {"update"}, "n\n", true, false},
      {"empty line: the default", {"update"}, "\n", true, false},
      {"end of input: the default", {"update"}, "", true, false},
      {"something else", {"update"}, "sure\n", true, false},
      {"yes", {"update"}, "y\n", true, true},
      {"YES", {"update"}, " YES \n", true, true},
      {"--yes answers for the user", {"update", "--yes"}, "", false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim.korva.SetVersions("1.38", "250");
    const int updatesBefore = sim.korva.CompletedUpdates();
    const auto run = Cli(c.args, c.input);
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(Contains(run.out, "Same fimware, no need to update!\nUpdate anyway? [y/N] "),
              c.asked);
    // "Yes" runs MCU, then DSP.
    EXPECT_EQ(sim.korva.CompletedUpdates() - updatesBefore, c.updates ? 2 : 0);
    EXPECT_EQ(Contains(run.out, kTextUpdateSucceeded), c.updates);
    EXPECT_EQ(Contains(run.out, "Nothing to do: the KORVA already holds Ver1.38.250."), !c.updates);
  }
  EXPECT_TRUE(sim.korva.Violations().empty()) << sim.korva.Violations().front();
}

TEST_F(CliTest, FailureInTheMiddleOfTheDspJob) {
  // The MCU job's 752 reports, then the DSP header and 999 data reports.
  sim.korva.SetFaults({.unplugAfterDataReports = 752 + 1000});
  const auto json = Cli({"update", "--json"});
  EXPECT_EQ(json.code, cli::kExitUpdateFailed);
  ASSERT_EQ(Events(json.out, "failed").size(), 1u);
  const std::string failed = Events(json.out, "failed")[0];
  EXPECT_TRUE(Contains(failed, "\"job\":\"DSP\""));
  EXPECT_EQ(Number(failed, "count"), 1000);
  EXPECT_EQ(Number(Events(json.out, "result")[0], "exit_code"), 1);
  EXPECT_TRUE(Contains(Events(json.out, "result")[0], kTextUpdateFailed));
  EXPECT_EQ(JobStatus.load(), kJobIdle);

  // The same in text: the failure and the program's final text on the error stream.
  sim.korva.SetFaults({});
  sim.korva.Plug();
  sim.korva.SetVersions("1.38", "192");
  sim.korva.SetFaults({.unplugAfterDataReports = 1000});
  const auto text = Cli({"update"});
  EXPECT_EQ(text.code, cli::kExitUpdateFailed);
  EXPECT_EQ(text.err, "DSP firmware: failed after 1000 of 2149 reports.\n" +
                          std::string(kTextUpdateFailed) + "\n");
}

TEST_F(CliTest, FailedStartOfAJob) {
  // The reading's "INITSTA" is acknowledged, StartJob's is not.
  sim.korva.SetFaults({.acknowledgeLimit = 1});
  const auto run = Cli({"update"});
  EXPECT_EQ(run.code, cli::kExitUpdateFailed);
  EXPECT_TRUE(Contains(run.out, "Fail to initialize states of device\xEF\xBC\x81\n"));
  EXPECT_EQ(run.err, std::string(kTextUpdateMcuFailed) + "\n");
  EXPECT_EQ(JobStatus.load(), kJobIdle);
}

// Ctrl-C during the MCU job: a first press once the amp has taken `firstAtReport` data reports,
// a second `gapMs` later or once it has taken `secondAtReport`.
TEST_F(CliTest, InterruptWhileWriting) {
  struct Case {
    const char* name;
    int firstAtReport;
    std::int64_t gapMs;  // negative: no second press by time
    int secondAtReport;  // negative: no second press by count
    int exitCode;
    int warnings;  // including "Stopping the update..."
    int jobsCompleted;
  };
  const Case cases[] = {
      {"one press warns and goes on", 100, -1, -1, 0, 1, 2},
      {"a second press within 3 s stops between two reports", 100, 1000, -1, 1, 2, 0},
      {"a second press after 3 s warns again", 100, 4000, -1, 0, 2, 2},
      {"a stop after the last MCU report ends the MCU job; the DSP job is not started", 700, -1,
       752, 1, 2, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim.korva.SetVersions("1.36", "192");
    const int updatesBefore = sim.korva.CompletedUpdates();
    const int takenBefore = sim.korva.DataReportsTaken();
    PressWhileWriting({c.firstAtReport, c.gapMs, c.secondAtReport});
    const auto run = Cli({"update", "--json"});
    Hooked().hook = nullptr;
    EXPECT_EQ(run.code, c.exitCode);
    const auto warnings = Events(run.out, "warning");
    ASSERT_EQ(static_cast<int>(warnings.size()), c.warnings);
    EXPECT_TRUE(Contains(warnings[0], "Stopping now leaves the KORVA's firmware incomplete"));
    EXPECT_EQ(sim.korva.CompletedUpdates() - updatesBefore, c.jobsCompleted);
    if (c.exitCode == 0) continue;

    EXPECT_TRUE(Contains(warnings.back(), "Stopping the update after the current report"));
    EXPECT_TRUE(Contains(run.out, "Run the update again"));
    EXPECT_EQ(Events(run.out, "job_started").size(), 1u);
    if (c.jobsCompleted == 0) {
      // Stopped between two reports of the MCU job: its count is what the amp took.
      ASSERT_EQ(Events(run.out, "failed").size(), 1u);
      EXPECT_TRUE(Contains(Events(run.out, "failed")[0], "\"job\":\"MCU\""));
      EXPECT_EQ(Number(Events(run.out, "failed")[0], "count"),
                sim.korva.DataReportsTaken() - takenBefore);
      EXPECT_LT(sim.korva.DataReportsTaken() - takenBefore, 752);
    }
  }
  for (const auto& v : sim.korva.Violations()) ADD_FAILURE() << v;
  EXPECT_EQ(interrupts.started, 4);
  EXPECT_EQ(interrupts.stopped, 4);
}

// A bench of amps: the list, --path, and a run without --path among several amps.
class CliBenchTest : public CliTest {
 protected:
  CliBenchTest() : second(sim.bus, "/dev/hidraw-korva2", "KV-0002") {
    second.SetVersions("1.36", "192");
    second.Plug();
  }
  VirtualKorva second;
};

TEST_F(CliBenchTest, ListShowsEveryAmpWithItsSerialNumberAndWhetherItOpens) {
  second.SetFaults({.permissionDenied = true});
  const auto text = Cli({"list"});
  EXPECT_EQ(text.code, 0);
  EXPECT_EQ(Lines(text.out),
            (std::vector<std::string>{"/dev/hidraw-korva  (no serial number)  ready",
                                      "/dev/hidraw-korva2  serial KV-0002  permission denied",
                                      "2 KORVAs connected."}));
  const auto json = Cli({"list", "--json"});
  EXPECT_EQ(
      Events(json.out, "amp"),
      (std::vector<std::string>{
          R"({"event":"amp","path":"/dev/hidraw-korva","serial":null,"access":"ready"})",
          R"({"event":"amp","path":"/dev/hidraw-korva2","serial":"KV-0002","access":"permission denied"})"}));
  EXPECT_EQ(Number(Events(json.out, "result")[0], "exit_code"), 0);
  EXPECT_EQ(Lines(Cli({"list", "--path", "/dev/hidraw-korva2"}).out).size(), 2u);

  sim.korva.Unplug();
  second.Unplug();
  const auto none = Cli({"list"});
  EXPECT_EQ(none.code, cli::kExitNoDevice);
  EXPECT_EQ(none.out, "");
  EXPECT_TRUE(sim.korva.Writes().empty());
  EXPECT_TRUE(second.Writes().empty());
  EXPECT_EQ(sim.bus.OpenHandles(), 0);
}

TEST_F(CliBenchTest, PathUpdatesThatAmpAndNoOther) {
  const auto run = Cli({"update", "--yes", "--path=/dev/hidraw-korva2"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_TRUE(Contains(run.out, "KORVA: Connected (/dev/hidraw-korva2)"));
  EXPECT_FALSE(Contains(run.out, "KORVAs are connected"));
  EXPECT_EQ(second.CompletedUpdates(), 2);
  EXPECT_EQ(second.McuVersion(), "1.38");
  EXPECT_TRUE(sim.korva.Writes().empty());
  EXPECT_TRUE(second.Violations().empty()) << second.Violations().front();
  EXPECT_EQ(PinnedDevicePath(), "");  // the pin ends with the run

  const auto nowhere = Cli({"status", "--path", "/dev/hidraw-keyboard"});
  EXPECT_EQ(nowhere.code, cli::kExitNoDevice);
  EXPECT_TRUE(Contains(nowhere.err, "No KORVA at /dev/hidraw-keyboard"));
  const auto service =
      Cli({"flash", "mcu", "missing.bin", "--path", "/dev/hidraw-korva2", "--json"});
  EXPECT_EQ(service.code, cli::kExitUsage);  // got as far as the file: the amp was there
  EXPECT_TRUE(Events(service.out, "no_amp_at").empty());
}

TEST_F(CliBenchTest, WithoutAPathTheFirstAmpIsUsedAndNamedAndNoOtherIsEverWritten) {
  const auto status = Cli({"status"});
  EXPECT_EQ(status.code, 0);
  EXPECT_EQ(Lines(status.out).front(),
            "2 KORVAs are connected; this run uses the first, /dev/hidraw-korva. To use another, "
            "add --path PATH "
            "('korva-updater-cli list' shows them).");
  const auto json = Cli({"status", "--json"});
  ASSERT_EQ(Events(json.out, "amp_chosen").size(), 1u);
  EXPECT_EQ(Number(Events(json.out, "amp_chosen")[0], "connected"), 2);

  // The chosen amp vanishes in the middle of the MCU job: the run does not go on with the other.
  Hooked().hook = [&] {
    if (sim.korva.DataReportsTaken() >= 100 && sim.korva.Plugged()) sim.korva.Unplug();
  };
  const auto update = Cli({"update", "--yes"});
  EXPECT_EQ(update.code, cli::kExitUpdateFailed);
  EXPECT_TRUE(second.Writes().empty());
  EXPECT_EQ(second.CompletedUpdates(), 0);
}

TEST_F(CliTest, ProgressBarOnATerminal) {
  // The bar is redrawn every 100 ms of the job's virtual time, counted from when each report
  // left, however late the main thread takes the job's events.
  const auto run = Cli({"update"}, "", true, 72);
  EXPECT_EQ(run.code, 0);
  std::vector<std::string> bars;
  for (const auto& line : Lines(run.out)) {
    std::istringstream parts(line);
    for (std::string part; std::getline(parts, part, '\r');) {
      if (Contains(part, "firmware [")) bars.push_back(part.substr(0, part.find("\x1b[K")));
    }
  }
  // Each acknowledgement holds the job for more than 100 ms: a bar at least for each of the 47
  // MCU blocks and the 537 DSP chunks.
  ASSERT_GE(bars.size(), 47u + 537u);
  for (const auto& bar : bars) {
    EXPECT_LT(bar.size(), 72u) << bar;
    EXPECT_FALSE(Contains(bar, "101%"));
  }
  EXPECT_TRUE(Contains(run.out, "100%  752/752"));
  EXPECT_TRUE(Contains(run.out, "100%  2149/2149"));
  // Every bar line is ended before the next text.
  EXPECT_TRUE(Contains(run.out, "\x1b[K\nMCU firmware update successfully!\n"));
  EXPECT_EQ(Lines(run.out).back(), kTextUpdateSucceeded);
}

// The run brings its own virtual KORVA, which no other program can reach: another simulation,
// holding the lock of the same path, does not keep it from its amp.
TEST_F(CliTest, SimulatedAmpStartsAtAnOlderFirmwareAndIsTheRunsOwn) {
  sim.korva.Unplug();
  AmpLockAttempt otherSimulation = TryLockAmp(kVirtualKorvaPath);
  ASSERT_EQ(otherSimulation.outcome, AmpLockOutcome::Taken);
  const auto run = Cli({"update", "--simulate", "--json"});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_TRUE(Contains(Events(run.out, "versions")[0], "\"device\":\"Ver1.36.192\""));
  EXPECT_EQ(Number(Events(run.out, "result")[0], "exit_code"), 0);
  // Back to the lock files for the amps on the cable.
  EXPECT_EQ(TryLockAmp(kVirtualKorvaPath).outcome, AmpLockOutcome::HeldElsewhere);
}

TEST(CliPartsTest, ProgressLines) {
  struct Case {
    cli::JobProgress progress;
    int columns;
    std::string line;
  };
  const Case cases[] = {
      // The bar takes the room that the rest of the line leaves, up to 40 characters.
      {{kJobMcu, 376, 752, 6000},
       80,
       "MCU firmware [############-------------]  50%  376/752  0:06 elapsed  0:06 left"},
      {{kJobMcu, 376, 752, 6000},
       200,
       "MCU firmware [####################--------------------]  50%  376/752  0:06 elapsed  0:06 "
       "left"},
      {{kJobDsp, 0, 2149, 0}, 60, "DSP firmware [------]   0%  0/2149  0:00 elapsed  -:-- left"},
      // Too narrow for a bar: the line is cut, never wrapped.
      {{kJobDsp, 2149, 2149, 125000}, 30, "DSP firmware 100%  2149/2149 "},
      // A count beyond its total (or a total of 0) never shows more than 100%.
      {{kJobDsp, 7, 5, 3000}, 60, "DSP firmware [#########] 100%  5/5  0:03 elapsed  0:00 left"},
      {{kJobMcu, 0, 0, 0}, 60, "MCU firmware [#########] 100%  0/0  0:00 elapsed  0:00 left"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(cli::ProgressBarLine(c.progress, c.columns), c.line);
  }
  EXPECT_EQ(cli::ProgressStepLine({kJobMcu, 76, 752, 1500}),
            "MCU firmware: 10% (76/752 reports, 0:01 elapsed)");
  EXPECT_EQ(cli::FormatDuration(3723000), "1:02:03");
  EXPECT_EQ(cli::FormatDuration(-5), "0:00");
}

// The rules of an interrupt, press by press: before anything is written the first press stops
// the command; while a job writes, a second press within 3 s of the warning stops it (a job
// that can stop) or only says so (the Bluetooth module). SIGTERM and SIGHUP follow the same
// rules, and their words name them.
TEST(CliPartsTest, InterruptPolicy) {
  enum Seen { StopBeforeWriting, Warning, Confirmed, Nothing };
  using cli::Interrupt;
  const std::string firmware =
      "Stopping now leaves the KORVA's firmware incomplete, so the update goes on.\n";
  const std::string byCtrlC = "Press Ctrl-C again within 3 seconds to stop it anyway.";
  const std::string bySignal =
      "Ask again within 3 seconds (SIGTERM, SIGHUP or Ctrl-C) to stop it anyway.";
  const std::string sigterm = "Asked to end by SIGTERM: the program ends once the job is done.\n";
  const std::string sighup = "Asked to end by SIGHUP: the program ends once the job is done.\n";
  const std::string stopping = "Stopping the update after the current report...";
  struct Press {
    std::int64_t atMs;
    Seen seen;
    std::string said;  // the one warning of a Warning or Confirmed press
    Interrupt cause = Interrupt::CtrlC;
  };
  struct Row {
    const char* name;
    int kind;
    bool writing;  // a job has passed the write gate before the presses
    std::vector<Press> presses;
    bool stopRequested;  // the running job was asked to stop
  };
  const Row rows[] = {
      {"before writing: one press stops, the next says nothing",
       kJobMcu,
       false,
       {{0, StopBeforeWriting, ""}, {10, Nothing, ""}},
       false},
      {"before writing: SIGTERM stops at once too",
       kJobMcu,
       false,
       {{0, StopBeforeWriting, "", Interrupt::Terminate}},
       false},
      {"writing: warn, then stop within 3 s",
       kJobMcu,
       true,
       {{10000, Warning, firmware + byCtrlC}, {13000, Confirmed, stopping}},
       true},
      {"writing: a press after 3 s warns again",
       kJobDsp,
       true,
       {{10000, Warning, firmware + byCtrlC},
        {13001, Warning, firmware + byCtrlC},
        {16001, Confirmed, stopping},
        {16002, Nothing, ""}},
       true},
      {"writing: SIGTERM is named and held off, a SIGHUP within 3 s stops",
       kJobMcu,
       true,
       {{0, Warning, sigterm + firmware + bySignal, Interrupt::Terminate},
        {2000, Confirmed, stopping, Interrupt::HangUp}},
       true},
      {"writing: SIGHUP, then Ctrl-C after 3 s warns in Ctrl-C's words",
       kJobMcu,
       true,
       {{0, Warning, sighup + firmware + bySignal, Interrupt::HangUp},
        {3001, Warning, firmware + byCtrlC}},
       false},
      {"audio: its own words",
       kJobAudio,
       true,
       {{0, Warning,
         "Stopping now leaves the audio slot incomplete, so the write goes on.\n" + byCtrlC},
        {0, Confirmed, "Stopping the write after the current report..."}},
       true},
      {"Bluetooth: cannot stop, then waits",
       kJobBluetooth,
       true,
       {{0, Warning, cli::kTextModuleCannotStop},
        {500, Confirmed,
         "Ctrl-C cannot end a Bluetooth update: waiting for the module to report its end."},
        {600, Nothing, ""}},
       false},
      {"Bluetooth: SIGTERM is named",
       kJobBluetooth,
       true,
       {{0, Warning, sigterm + cli::kTextModuleCannotStop, Interrupt::Terminate},
        {500, Confirmed,
         "SIGTERM cannot end a Bluetooth update: waiting for the module to report its end.",
         Interrupt::Terminate}},
       false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    VirtualClock clock;
    cli::InterruptPolicy policy(clock);
    EXPECT_EQ(WriteGate.load(), kGateOpen);
    policy.SetJob(row.kind);
    if (row.writing) {
      ASSERT_TRUE(PassWriteGate());
    }
    for (const Press& press : row.presses) {
      clock.Pause(static_cast<int>(press.atMs - clock.NowMs()));
      policy.OnInterrupt(press.cause);
      const auto warnings = policy.TakeWarnings();
      switch (press.seen) {
        case StopBeforeWriting:
          EXPECT_TRUE(warnings.empty());
          EXPECT_TRUE(policy.StoppedBeforeWriting());
          EXPECT_FALSE(PassWriteGate());  // the job that comes next writes nothing
          break;
        case Warning:
        case Confirmed:
          EXPECT_EQ(warnings, std::vector<std::string>{press.said}) << press.atMs;
          break;
        case Nothing:
          EXPECT_TRUE(warnings.empty());
          break;
      }
    }
    EXPECT_EQ(JobStopRequested.load(), row.stopRequested);
    EXPECT_EQ(policy.StopConfirmed(), row.stopRequested);
    EXPECT_EQ(policy.StoppedBeforeWriting(), !row.writing);
  }
  // A command that ends leaves nothing behind for the next one.
  EXPECT_EQ(WriteGate.load(), kGateOpen);
  EXPECT_FALSE(JobStopRequested.load());
}

// The job thread waits in PrepareProgressBar until the main thread has handled it; messages
// come out in the order they went in, each with the time it was posted, however late the main
// thread takes it.
TEST(CliPartsTest, QueueOwnerPreparesSynchronously) {
  VirtualClock clock;
  cli::QueueOwner owner(clock);
  std::mutex mutex;
  std::vector<std::string> order;
  const auto note = [&](const char* step) {
    std::lock_guard lock(mutex);
    order.push_back(step);
  };
  std::thread job([&] {
    owner.PrepareProgressBar(752);
    note("prepared");
    clock.Pause(250);
    owner.PostJobMessage(WM_MCU_JOB, JOB_PROGRESS, 1);
    clock.Pause(250);
    owner.PostJobMessage(WM_MCU_JOB, JOB_DONE, 0);
  });
  const auto prepare = owner.Next(5s);
  ASSERT_TRUE(prepare && prepare->type == cli::OwnerEvent::Type::Prepare);
  EXPECT_EQ(prepare->lParam, 752);
  note("handled");
  owner.Handled();
  const auto first = owner.Next(5s);
  const auto second = owner.Next(5s);
  job.join();
  EXPECT_EQ(order, (std::vector<std::string>{"handled", "prepared"}));
  ASSERT_TRUE(first && second);
  EXPECT_EQ(first->wParam, JOB_PROGRESS);
  EXPECT_EQ(second->wParam, JOB_DONE);
  EXPECT_EQ(prepare->atMs, 0);
  EXPECT_EQ(first->atMs, 250);
  EXPECT_EQ(second->atMs, 500);
}

}  // namespace
}  // namespace korva::testing
