// korva-updater-cli's service commands in process against the virtual KORVA in virtual time:
// each command end to end, the checks in the service pages' order (nothing written to the amp
// when one fails), failures in the middle of a job with their counts, the boxes of the jobs,
// and Ctrl-C during a job that can stop and during the Bluetooth module's update.
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>

#include "cli/json_line.h"
#include "cli/messages.h"
#include "cli/options.h"
#include "cli/progress_line.h"
#include "device/device_access.h"
#include "device/dfu_library_setup.h"
#include "device/link_mode.h"
#include "images/wav_file.h"
#include "jobs/service_texts.h"
#include "tests/cli/cli_test_support.h"
#include "tests/shared/scratch_folder.h"
#include "tests/shared/scripted_dfu.h"

namespace korva::testing {
namespace {

using CliServiceTest = CliFilesTest;

// Each command once, the amp ending up holding what its job sent.
TEST_F(CliServiceTest, EachCommandEndToEnd) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::string lastLine;
    std::function<void()> expectOnTheAmp;
  };
  const std::string batteryFile = File("battery.bin", battery_);
  const std::string wavFile = File("cab.wav", wav_);
  const std::string dfuFile = File("module.dfu", Pattern(3000, 3));
  const Case cases[] = {
      {"battery",
       {"flash", "battery", batteryFile},
       "SlaveMCU Upgrade successfully!",
       [&] { EXPECT_EQ(sim.korva.BatteryMemory(), Padded(battery_, 64)); }},
      {"MCU",
       {"flash", "mcu", File("mcu.bin", mcu_)},
       "MCU Update successfully" + kWide,
       [&] {
         EXPECT_EQ(sim.korva.McuMemory(), Padded(mcu_, 1024));
         EXPECT_EQ(sim.korva.McuVersion(), "1.39");
       }},
      {"DSP",
       {"flash", "dsp", File("dsp.bin", dsp_)},
       "DSP Update successfully" + kWide,
       [&] {
         EXPECT_EQ(sim.korva.DspHeader(), Slice(dsp_, 0, 16));
         EXPECT_EQ(sim.korva.DspMemory(), Padded(Slice(dsp_, 16, dsp_.size() - 16), 64));
       }},
      {"audio slot 3",
       {"audio", "--slot", "3", wavFile},
       "Audio Upgrade successfully!",
       [&] {
         Bytes descriptor(256, 0);
         std::memcpy(descriptor.data(), "cab.wav", 7);
         std::copy_n(wav_.begin(), 44, descriptor.begin() + 128);
         EXPECT_EQ(sim.korva.ReadMemory(0x51300, 256), descriptor);
         EXPECT_EQ(sim.korva.ReadMemory(0x5E000, 0x4000), Slice(wav_, 44, 0x4000));
       }},
      {"Bluetooth module",
       {"bluetooth", dfuFile},
       "Bluetooth Upgrade successfully" + kWide,
       [&] {
         EXPECT_EQ(sim.module.UpgradedFile(), dfuFile);
         // The module was restarted and the amp is back as the HID device.
         EXPECT_TRUE(sim.korva.Plugged());
         EXPECT_FALSE(sim.module.Present());
         EXPECT_EQ(CheckDeviceAccess().access, DeviceAccess::Ready);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto run = Cli(c.args);
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.err, "");
    ASSERT_FALSE(Lines(run.out).empty());
    EXPECT_EQ(Lines(run.out).back(), c.lastLine);
    EXPECT_EQ(JobStatus.load(), kJobIdle);
    c.expectOnTheAmp();
  }
  EXPECT_TRUE(sim.korva.Violations().empty()) << sim.korva.Violations().front();
}

// The firmware commands show the file's version; the JSON events are those of `update`, the
// Bluetooth job's progress counting percent of 100.
TEST_F(CliServiceTest, VersionLineAndJsonEvents) {
  const auto battery = Cli({"flash", "battery", File("b.bin", battery_), "--json"});
  EXPECT_EQ(battery.code, 0);
  EXPECT_TRUE(Contains(battery.out, "{\"event\":\"message\",\"text\":\"Update Version: V 1.02\"}"));
  ASSERT_EQ(Events(battery.out, "job_started").size(), 1u);
  EXPECT_EQ(Number(Events(battery.out, "job_started")[0], "reports"), 16);
  EXPECT_EQ(Number(Events(battery.out, "progress").back(), "percent"), 100);
  EXPECT_EQ(Events(battery.out, "done").size(), 1u);

  const auto bluetooth = Cli({"bluetooth", File("m.dfu", Pattern(10, 1)), "--json"});
  EXPECT_EQ(bluetooth.code, 0);
  std::vector<long> percents;
  for (const auto& line : Events(bluetooth.out, "progress"))
    percents.push_back(Number(line, "percent"));
  EXPECT_EQ(percents, (std::vector<long>{0, 25, 50, 75, 99, 100}));
  EXPECT_TRUE(Contains(bluetooth.out, "\"job\":\"BLUETOOTH\""));
  // The busy prompt once, at the first 99, between the 99 and the 100.
  const auto lines = Lines(bluetooth.out);
  const auto busy = std::find_if(lines.begin(), lines.end(),
                                 [](const auto& l) { return Contains(l, "upgrading"); });
  ASSERT_NE(busy, lines.end());
  EXPECT_EQ(*busy,
            "{\"event\":\"message\",\"text\":\"BlueTooth Device is upgrading, \\n please wait for "
            "seconds . . .\"}");
  EXPECT_TRUE(Contains(*(busy - 1), "\"percent\":99"));
  EXPECT_TRUE(Contains(Result(bluetooth), "Bluetooth Upgrade successfully" + kWide));
}

// Each check that fails gives its text and exit code, and stops the command before anything
// is written to the amp; an earlier check wins over a later one.
TEST_F(CliServiceTest, ChecksInThePagesOrder) {
  struct Case {
    const char* name;
    std::function<void()> arrange;
    std::vector<std::string> args;
    int code;
    std::string err;
    std::string reason = {};  // the line below the page's text names this, where there is one
  };
  const std::string batteryFile = File("battery.bin", battery_);
  const std::string wavFile = File("cab.wav", wav_);
#ifndef _WIN32
  const std::string fifo = Folder() + "/pipe.bin";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
#endif
  // The system's words for a missing file; Windows' (and Wine's) differ from release to release.
#ifdef _WIN32
  const std::string noSuchFile = ": ";
#else
  const std::string noSuchFile = ": No such file or directory";
#endif
  const auto absent = [&] { sim.korva.Unplug(); };
  const auto handed = [&] { LinkHandedToModule(); };
  const auto present = [] {};
  const Case cases[] = {
      {"link on the module, before the missing file",
       handed,
       {"flash", "mcu", Missing()},
       3,
       "PC is connected to BlueTooth now.\nPlease upgrade the BlueTooth First!\n"},
      {"link on the module, audio",
       handed,
       {"audio", "--slot", "2", wavFile},
       3,
       "PC is connected to BlueTooth now.\nPlease upgrade the BlueTooth First!\n"},
      {"bluetooth goes on with the link on the module",
       handed,
       {"bluetooth", Missing()},
       2,
       "Please select a file!\n",
       "missing.bin" + noSuchFile},
      {"no amp, before the missing file",
       absent,
       {"flash", "battery", Missing()},
       3,
       "Please Connect Device!\n"},
      {"no amp and no module", absent, {"bluetooth", batteryFile}, 3, "Please Connect Device!\n"},
      {"missing file",
       present,
       {"flash", "dsp", Missing()},
       2,
       "Please select a file!\n",
       "cannot read " + Missing() + noSuchFile},
      {"a name that would steer the terminal",
       present,
       {"flash", "dsp", Folder() + "/\x1b[2Jgone.bin"},
       2,
       "Please select a file!\n",
       "[2Jgone.bin" + noSuchFile},
      {"empty path",
       present,
       {"audio", "--slot=1", ""},
       2,
       "Please select a file!\n",
       "no file was chosen"},
      {"a folder",
       present,
       {"bluetooth", Folder()},
       2,
       "Please select a file!\n",
       Folder() + " is a folder, not a file"},
#ifndef _WIN32
      // Refused at once: a FIFO would block the command until a writer comes.
      {"a FIFO",
       present,
       {"flash", "mcu", fifo},
       2,
       "Please select a file!\n",
       fifo + " is a FIFO, not a file"},
      {"a FIFO for the module",
       present,
       {"bluetooth", fifo},
       2,
       "Please select a file!\n",
       fifo + " is a FIFO, not a file"},
      {"a device",
       present,
       {"audio", "--slot", "1", "/dev/zero"},
       2,
       "Please select a file!\n",
       "/dev/zero is a device, not a file"},
#endif
      {"MCU file longer than the application form",
       present,
       {"flash", "mcu", File("huge.bin", WithMarker(Pattern(0x20001, 7), 0x10, "APPV1.39"))},
       2,
       "ERROR: The file for upgrading is wrong!\n",
       "huge.bin is 131073 bytes, longer than any MCU firmware file (131072 bytes at most)"},
      {"MCU file longer than the application form, within the full-flash length",
       present,
       {"flash", "mcu", File("long.bin", WithMarker(Pattern(0x1A001, 7), 0x10, "APPV1.39"))},
       2,
       "ERROR: The file for upgrading is wrong!\n"},
      {"battery marker at the wrong offset",
       present,
       {"flash", "battery", File("bad.bin", WithMarker(Pattern(1000, 31), 0x20, "BATV1.02"))},
       2,
       "ERROR: The file for upgrading is wrong!\n"},
      {"WAV of 16427 bytes",
       present,
       {"audio", "--slot", "1", File("short.wav", Wav(16427))},
       2,
       "ERROR: The file for upgrading is too small!\n",
       "short.wav is 16427 bytes, too short: an audio slot's file has at least 16428"},
      {"WAV of 44100 Hz",
       present,
       {"audio", "--slot", "1",
        File("44k.wav",
             [] {
               Bytes w = Wav(28844);
               w[24] = 0x44;
               w[25] = 0xAC;
               return w;
             }())},
       2,
       "ERROR: The file for upgrading is wrong!\n",
       "44k.wav does not begin with the one header the amp takes"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim.korva.Plug();
    sim.module.SetPresent(false);
    c.arrange();
    const auto run = Cli(c.args);
    EXPECT_EQ(run.code, c.code);
    // The page's text, then, on a line of its own, why.
    if (c.reason.empty()) {
      EXPECT_EQ(run.err, c.err);
    } else {
      ASSERT_EQ(run.err.substr(0, c.err.size()), c.err);
      const std::string why = run.err.substr(c.err.size());
      EXPECT_TRUE(Contains(why, c.reason)) << why;
      EXPECT_EQ(std::count(why.begin(), why.end(), '\n'), 1) << why;
    }
    EXPECT_EQ(run.err.find('\x1b'), std::string::npos);  // a file name never steers the terminal
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(sim.korva.Writes().empty());
    EXPECT_FALSE(sim.module.Connected());  // a probe's connection is not left open

    auto jsonArgs = c.args;
    jsonArgs.push_back("--json");
    const auto json = Cli(jsonArgs);
    EXPECT_EQ(Number(Result(json), "exit_code"), c.code);
    if (c.code == cli::kExitUsage) {
      ASSERT_EQ(Events(json.out, "file_refused").size(), 1u);
      // The reason as a JSON string holds it (a Windows path's \ escaped).
      const std::string quoted = cli::JsonQuoted(c.reason);
      EXPECT_TRUE(Contains(
          Events(json.out, "file_refused")[0],
          c.reason.empty() ? std::string("\"reason\":null") : quoted.substr(1, quoted.size() - 2)));
    }
    EXPECT_TRUE(sim.korva.Writes().empty());
  }
  // The module was only probed, never asked to update.
  const auto calls = sim.module.Calls();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "upgrade"), 0);
}

// A slot outside 1 to 7, or a command line the service commands do not take, is refused
// before the amp or the module is reached.
TEST_F(CliServiceTest, UsageErrorsReachNothing) {
  const std::string wav = File("cab.wav", wav_);
  const std::vector<std::vector<std::string>> wrong = {
      {"audio", "--slot", "0", wav},
      {"audio", "--slot", "8", wav},
      {"audio", "--slot=-1", wav},
      {"audio", "--slot", "03", wav},
      {"audio", "--slot", "3x", wav},
      {"audio", "--slot=", wav},
      {"audio", wav},
      {"audio", "--slot", "3"},
      {"audio", wav, "--slot"},
      {"flash", "mcu"},
      {"flash", "bt", wav},
      {"flash", "mcu", wav, wav},
      {"flash", "mcu", "--slot", "3", wav},
      {"bluetooth"},
      {"bluetooth", "--simulate=yes", wav},
      {"bluetooth", "--dfu-library=", wav},
  };
  for (const auto& args : wrong) {
    const auto run = Cli(args);
    EXPECT_EQ(run.code, cli::kExitUsage) << args.size();
    EXPECT_TRUE(Contains(run.err, "Try 'korva-updater-cli --help'."));
  }
  EXPECT_TRUE(Contains(Cli({"audio", "--slot", "9", wav}).err,
                       "the slot must be a number from 1 to 7, not '9'"));
  EXPECT_TRUE(sim.korva.Writes().empty());
  EXPECT_TRUE(sim.module.Calls().empty());
  const auto help = Cli({"--help"});
  for (const char* line :
       {"flash mcu FILE", "flash battery FILE", "audio --slot N FILE", "bluetooth FILE",
        "2  usage error, or FILE cannot be read or is not accepted"}) {
    EXPECT_TRUE(Contains(help.out, line)) << line;
  }
}

TEST(CliServiceOptionsTest, ServiceCommandLines) {
  struct Case {
    std::vector<std::string> args;
    cli::Command command;
    int kind;
    std::string slot;
    std::string file;
  };
  const Case cases[] = {
      {{"flash", "battery", "b.bin"}, cli::Command::Flash, kJobBattery, "", "b.bin"},
      {{"--json", "flash", "dsp", "d.bin", "--simulate"},
       cli::Command::Flash,
       kJobDsp,
       "",
       "d.bin"},
      {{"audio", "--slot=7", "x.wav"}, cli::Command::Audio, kJobAudio, "7", "x.wav"},
      {{"audio", "x.wav", "--slot", "1"}, cli::Command::Audio, kJobAudio, "1", "x.wav"},
      {{"bluetooth", "--", "-odd name.dfu"},
       cli::Command::Bluetooth,
       kJobBluetooth,
       "",
       "-odd name.dfu"},
  };
  for (const Case& c : cases) {
    const cli::Options options = cli::ParseOptions(c.args);
    EXPECT_EQ(options.error, "") << c.file;
    EXPECT_EQ(options.command, c.command);
    EXPECT_EQ(options.jobKind, c.kind);
    EXPECT_EQ(options.slot, c.slot);
    EXPECT_EQ(options.file, c.file);
  }
  EXPECT_EQ(cli::ParseOptions({"bluetooth", "m.dfu", "--dfu-library=/opt/m.so"}).dfuLibrary,
            "/opt/m.so");
}

// A job that fails part-way: exit 1, the page's failure text, the count in the JSON event, and
// the boxes that the job shows itself before its failure.
TEST_F(CliServiceTest, FailuresOfTheJobs) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    VirtualKorva::Faults faults;
    VirtualBluetoothModule::Script script;
    std::vector<std::string> boxes;  // "message" events, in order
    bool started;
    long count;
    std::string result;
  };
  const std::string batteryFile = File("battery.bin", battery_);
  const std::string wavFile = File("cab.wav", wav_);
  const std::string dfuFile = File("m.dfu", Pattern(10, 1));
  const VirtualBluetoothModule::Script fine;
  const Case cases[] = {
      // The amp vanishes after the 9th report: the 10th is not written.
      {"battery",
       {"flash", "battery", batteryFile},
       {.unplugAfterDataReports = 9},
       fine,
       {"Update Version: V 1.02"},
       true,
       9,
       "SlaveMCU Upgrade Firmware fail!\nPlease try it again!"},
      // Descriptor (4 data reports), then 40 sample reports: the acknowledgement after the
      // 40th fails.
      {"audio",
       {"audio", "--slot", "5", wavFile},
       {.unplugAfterDataReports = 44},
       fine,
       {},
       true,
       40,
       "Audio data Upgrade fail!"},
      {"Bluetooth result",
       {"bluetooth", dfuFile},
       {},
       {.result = 1},
       {"BlueTooth Device is upgrading, \n please wait for seconds . . ."},
       true,
       100,
       "Bluetooth Upgrade fail!"},
      {"Bluetooth module never answers",
       {"bluetooth", dfuFile},
       {},
       {.failedConnects = -1},
       {"Connect to BlueTooth fail!"},
       true,
       0,
       "Bluetooth Upgrade fail!"},
      {"Bluetooth restart fails",
       {"bluetooth", dfuFile},
       {},
       {.resetResult = 1},
       {"BlueTooth Device is upgrading, \n please wait for seconds . . .",
        "Reset BlueTooth Device Fail!\nPlease reset the device manually"},
       true,
       100,
       "Bluetooth Upgrade fail!"},
      // "INITSTA" is acknowledged, "UA" is not: the switch's own box, then the start failure.
      {"link switch not acknowledged",
       {"bluetooth", dfuFile},
       {.acknowledgeLimit = 1},
       fine,
       {"Fail to toggle HID to Bluetooth" + kWide},
       false,
       0,
       "Upgrade BlueTooth fail!"},
      {"battery start refused",
       {"flash", "battery", batteryFile},
       {.acknowledgeLimit = 0},
       fine,
       {"Update Version: V 1.02", "Fail to initialize states of device" + kWide},
       false,
       0,
       "Update MCU fail!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim.korva.Plug();
    sim.korva.SetFaults(c.faults);
    sim.module.SetPresent(false);
    sim.module.SetScript(c.script);
    auto args = c.args;
    args.push_back("--json");
    const auto run = Cli(args);
    EXPECT_EQ(run.code, cli::kExitUpdateFailed);
    std::vector<std::string> boxes;
    for (const auto& line : Events(run.out, "message")) {
      std::smatch match;
      ASSERT_TRUE(std::regex_search(line, match, std::regex("\"text\":\"(.*)\"\\}$")));
      boxes.push_back(std::regex_replace(match[1].str(), std::regex("\\\\n"), "\n"));
    }
    EXPECT_EQ(boxes, c.boxes);
    const auto failed = Events(run.out, "failed");
    ASSERT_EQ(failed.size(), c.started ? 1u : 0u);
    if (c.started) {
      EXPECT_EQ(Number(failed[0], "count"), c.count);
    }
    EXPECT_EQ(Number(Result(run), "exit_code"), 1);
    EXPECT_TRUE(Contains(Result(run), "\"message\":" + cli::JsonQuoted(c.result)));
    // The job's own boxes come before its failure.
    if (c.started && !c.boxes.empty()) {
      EXPECT_LT(run.out.find(cli::JsonQuoted(c.boxes.back())),
                run.out.find("{\"event\":\"failed\""));
    }
    EXPECT_EQ(JobStatus.load(), kJobIdle);
    sim.korva.SetFaults({});
  }
}

// With the amp's link already on the module (a Bluetooth update that ended without the
// module's restart), the bluetooth command goes straight to the update: no report to the amp,
// no further connection attempt.
TEST_F(CliServiceTest, BluetoothWithTheLinkAlreadyOnTheModule) {
  LinkHandedToModule();
  const auto run = Cli({"bluetooth", File("m.dfu", Pattern(10, 1))});
  EXPECT_EQ(run.code, 0);
  EXPECT_TRUE(sim.korva.Writes().empty());
  const auto calls = sim.module.Calls();
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + 3),
            (std::vector<std::string>{"connect", "lasterror", "upgrade"}));
  EXPECT_TRUE(sim.korva.Plugged());  // the module's restart brought the amp back
}

// Without a usable update library the amp could not be brought back from its module: the
// bluetooth command sends nothing, says where the library is looked for, and exits 1.
TEST_F(CliServiceTest, BluetoothWithoutTheUpdateLibraryReachesNothing) {
  const std::string library = Missing() + ".so";
  const auto run =
      Cli({"bluetooth", File("m.dfu", Pattern(10, 1)), "--device=usb", "--dfu-library=" + library});
  EXPECT_EQ(run.code, cli::kExitUpdateFailed);
  EXPECT_TRUE(sim.korva.Writes().empty());
  EXPECT_TRUE(sim.module.Calls().empty());
  EXPECT_TRUE(sim.korva.Plugged());
  EXPECT_TRUE(Contains(
      run.out, std::string(kTextBluetoothLibraryMissing) + "\nNo usable library: no file at " +
                   library +
                   " (named by --dfu-library).\nThe library is looked for at --dfu-library=PATH, "
                   "else at $KORVA_DFU_LIBRARY, else at " +
                   InstalledDfuLibraryPath() + "."))
      << run.out;
  EXPECT_EQ(run.err, "Upgrade BlueTooth fail!\n");
}

// KORVA_DFU_LIBRARY names the in-tree scripted library: the whole update runs through it.
TEST_F(CliServiceTest, BluetoothThroughTheLibraryThatTheVariableNames) {
  ScriptedDfuControls module;
  module.Script(0, {0, 60, 99, 100});
  dfuLibraryVariable = [] { return KORVA_SCRIPTED_DFU; };
  const auto run = Cli({"bluetooth", File("m.dfu", Pattern(777, 1))});
  EXPECT_EQ(run.code, 0) << run.out;
  EXPECT_EQ(Lines(run.out).back(), "Bluetooth Upgrade successfully" + kWide);
  EXPECT_EQ(
      module.Journal(),
      "connect lasterror upgrade progress progress progress progress result reset disconnect");
  EXPECT_EQ(module.UpgradedBytes(), 777);
  EXPECT_TRUE(sim.module.Calls().empty());
}

// Ctrl-C twice within 3 s stops the battery job between two reports; during the Bluetooth
// module's update it only explains, and the update runs to its end.
TEST_F(CliServiceTest, InterruptDuringServiceJobs) {
  // Two presses two job pauses apart (well within 3 s), from the `first`-th pause on.
  int pauses = 0;
  int first = 20;
  HookedClock& hooked = Hooked();
  hooked.hook = [&] {
    ++pauses;
    if (pauses == first || pauses == first + 2) interrupts.Press();
  };
  const auto battery =
      Cli({"flash", "battery", File("b.bin", WithMarker(Pattern(0x6000, 31), 0x10, "BATV1.02")),
           "--json"});
  EXPECT_EQ(battery.code, cli::kExitUpdateFailed);
  ASSERT_EQ(Events(battery.out, "warning").size(), 2u);
  EXPECT_TRUE(
      Contains(Events(battery.out, "warning")[1], "Stopping the update after the current report"));
  ASSERT_EQ(Events(battery.out, "failed").size(), 1u);
  const long count = Number(Events(battery.out, "failed")[0], "count");
  EXPECT_GT(count, 0);
  EXPECT_LT(count, 384);
  EXPECT_EQ(count, sim.korva.DataReportsTaken());
  EXPECT_TRUE(Contains(Result(battery), "SlaveMCU Upgrade Firmware fail!"));

  pauses = 0;
  first = 3;  // the module's progress polls, 100 ms apart
  sim.module.SetScript({.progress = {0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 99, 100}});
  const auto bluetooth = Cli({"bluetooth", File("m.dfu", Pattern(10, 1))});
  hooked.hook = nullptr;
  EXPECT_EQ(bluetooth.code, 0);
  EXPECT_EQ(
      bluetooth.err,
      std::string(cli::kTextModuleCannotStop) +
          "\nCtrl-C cannot end a Bluetooth update: waiting for the module to report its end.\n");
  EXPECT_EQ(Lines(bluetooth.out).back(), "Bluetooth Upgrade successfully" + kWide);
  EXPECT_FALSE(sim.module.UpgradedFile().empty());
}

TEST(CliServicePartsTest, BluetoothProgressShowsPercentOnly) {
  EXPECT_EQ(cli::ProgressBarLine({kJobBluetooth, 45, 100, 2000}, 60),
            "Bluetooth firmware [########-----------]  45%  0:02 elapsed");
  EXPECT_EQ(cli::ProgressStepLine({kJobBluetooth, 99, 100, 61000}),
            "Bluetooth firmware: 99% (1:01 elapsed)");
  EXPECT_EQ(cli::ProgressStepLine({kJobAudio, 128, 256, 7000}),
            "Audio slot: 50% (128/256 reports, 0:07 elapsed)");
}

}  // namespace
}  // namespace korva::testing
