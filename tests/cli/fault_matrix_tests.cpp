// Every job against every fault that the virtual KORVA can inject, in every phase of the job
// (its opening commands, its data reports, an acknowledgement, its end command), and the
// Bluetooth job against the faults of its link switch and of the module, in virtual time and
// through the terminal front end's job driver. Each run must end in exactly one final message
// with the count that the job's failure table gives, leave no handle open and no thread
// running, leave the front end idle, and a retry once the fault is cleared must write the
// right data into the amp.
#include <algorithm>
#include <sstream>

#include "cli/interrupt_policy.h"
#include "cli/job_driver.h"
#include "images/file_placement.h"
#include "jobs/link_probe.h"
#include "jobs/service_texts.h"
#include "tests/cli/cli_test_support.h"

namespace korva::testing {
namespace {

using namespace std::chrono_literals;
using Took = VirtualKorva::Took;
using Wire = std::vector<VirtualKorva::WireReport>;

constexpr long kDone = -2;  // the job ends well: the fault comes too late to touch it
constexpr const char* kStartFailed = "start failed";
constexpr const char* kFailed = "failed";

enum Fault {
  kUnplug,
  kNoAck,
  kWrongStatus,
  kStaleSequence,
  kReadsTimeOut,
  kWriteFails,
  kFaultCount
};
constexpr const char* kFaultNames[kFaultCount] = {"unplugged",      "no acknowledgement",
                                                  "wrong status",   "stale sequence",
                                                  "reads time out", "write fails"};

// The fault, beginning as the device is sent its report number `write`.
VirtualKorva::Faults FaultFrom(Fault fault, int write) {
  VirtualKorva::Faults faults{.fromWrite = write};
  switch (fault) {
    case kUnplug:
      faults.unplug = true;
      break;
    case kNoAck:
      faults.acknowledgeLimit = 0;
      break;
    case kWrongStatus:
      faults.statusValue = 2;
      break;
    case kStaleSequence:
      faults.staleSequence = true;
      break;
    case kReadsTimeOut:
      faults.readsTimeOut = true;
      break;
    default:
      faults.writesFail = true;
      break;
  }
  return faults;
}

// A point in a job, found in the wire log of a clean run: a command by its two bytes (the n-th
// of them) or the n-th report that the device took as data, or the report right after either
// (the acknowledgement poll that follows it).
struct Target {
  bool command;
  int nth;
  std::uint8_t a = 0, b = 0;
  bool next = false;
  // The number of the report (1: the first of the run) that the target is.
  int Find(const Wire& wire) const {
    int seen = 0;
    for (std::size_t i = 0; i < wire.size(); ++i) {
      const auto& w = wire[i];
      const bool match = command ? w.took == Took::Command && w.Payload(0) == a && w.Payload(1) == b
                                 : w.took == Took::Data;
      if (match && ++seen == nth) return static_cast<int>(i) + (next ? 2 : 1);
    }
    ADD_FAILURE() << "no such report in the clean run";
    return 0;
  }
};
Target Command(std::uint8_t a, std::uint8_t b, int nth = 1) { return {true, nth, a, b}; }
Target Data(int nth) { return {false, nth}; }
Target PollAfterData(int nth) { return {false, nth, 0, 0, true}; }
Target PollAfterCommand(std::uint8_t a, std::uint8_t b) { return {true, 1, a, b, true}; }

// One phase of a job and what its failure table says for each fault there: the count of its
// JOB_FAILED, or kDone.
struct Row {
  const char* phase;
  Target target;
  long expected[kFaultCount];
};

// What the front end showed of one run.
class MatrixReporter final : public cli::Reporter {
 public:
  void Disconnected() override {}
  void NotAccessible(const DeviceAccessReport&) override {}
  void InUse(const std::string&, const AmpLockHolder&, const std::string&) override {}
  void ConnectError() override {}
  void Connected(const std::string&) override {}
  void Amp(const DeviceAccessReport&) override {}
  void AmpChosen(const std::string&, int) override {}
  void NoAmpAt(const std::string&) override {}
  void FileRefused(const std::string&, const std::string&, const std::string&) override {}
  void Versions(const std::optional<std::string>&, const std::string&) override {}
  void Plan(int) override {}
  void Ask(const std::string&) override {}
  void Note(const std::string& text) override { notes.push_back(text); }
  void Warning(const std::string&) override {}
  void JobStarted(const cli::JobProgress&) override { ++started; }
  void Progress(const cli::JobProgress&) override {}
  void JobDone(const cli::JobProgress&) override { Final(kDone); }
  void JobFailed(const cli::JobProgress& p) override { Final(p.sent); }
  void Result(int, const std::string&) override {}

  void Final(long count) {
    finals.push_back(count);
    statusAtFinal = JobStatus.load();  // before the front end sets it back
  }
  int started = 0;
  std::vector<long> finals;  // kDone or the failure's count
  int statusAtFinal = 0;
  std::vector<std::string> notes;
};

// A job as the matrix runs it: its file for a run (each run's differs, so that what the amp
// holds after a retry can only come from that retry), the status its failure leaves, and what
// the amp must hold after a run that ended well.
struct JobSpec {
  int kind;
  int message;
  int statusAfterFailure;  // JobStatus as the job leaves it when it posts JOB_FAILED
  std::function<void(int run)> place;
  std::function<void(int run)> expectHeld;
};

class FaultMatrixTest : public CliFilesTest {
 protected:
  struct Run {
    int exitCode;
    std::vector<long> finals;  // the job's final messages: followed by the driver, then left over
    int statusAtFinal;
    std::vector<std::string> notes;  // the boxes shown
    int started;                     // jobs that the front end saw start
  };

  // The job through the terminal front end: the link probe, then the driver.
  Run RunJob(const JobSpec& job) {
    job.place(++runs_);
    std::istringstream in;
    std::ostringstream out, err;
    cli::Environment env{in, out, err, false, 80, clock, interrupts, {}, {}, ""};
    MatrixReporter reporter;
    cli::InterruptPolicy policy(clock);
    AmpLockAttempt module;
    ProbeLinkForCommand(job.kind == kJobBluetooth, module);
    cli::JobDriver driver(env, reporter, policy);
    driver.Owner().SetJobInputs("3", "ir.wav", dfuPath_);
    const int code = driver.Execute([&] { return driver.Run(job.kind, kStartFailed, kFailed); });
    Run run{code, reporter.finals, reporter.statusAtFinal, reporter.notes, reporter.started};
    // Whatever is still queued came after the driver stopped following the job.
    while (const auto event = driver.Owner().Next(0ms)) {
      if (event->type == cli::OwnerEvent::Type::Message && event->message == job.message &&
          event->wParam != JOB_PROGRESS) {
        run.finals.push_back(event->wParam == JOB_DONE ? kDone : event->lParam);
      } else {
        ADD_FAILURE() << "an event after the job's end";
      }
    }
    return run;
  }

  // The front end is idle again, as after any job: nothing runs, nothing is open.
  void ExpectIdle() {
    EXPECT_EQ(RunningWorkers(), 0);
    EXPECT_EQ(sim.bus.OpenHandles(), 0);
    EXPECT_EQ(JobStatus.load(), kJobIdle);
    EXPECT_EQ(CurrentTransfer.load(), kTransferNone);
  }

  // The fault cleared, the amp plugged in again after a moment: the job runs to its end.
  void ExpectRetryWorks(const JobSpec& job) {
    sim.korva.SetFaults({});
    sim.module.SetScript({});
    if (!sim.korva.Plugged() && !sim.module.Present()) sim.korva.Plug();
    clock.Pause(1000);
    const Run retry = RunJob(job);
    EXPECT_EQ(retry.exitCode, cli::kExitOk);
    EXPECT_EQ(retry.finals, std::vector<long>{kDone});
    job.expectHeld(runs_);
    ExpectIdle();
  }

  void RunMatrix(const JobSpec& job, const std::vector<Row>& rows) {
    // A clean run tells where each phase lies on the wire.
    sim.korva.ClearLog();
    sim.korva.SetFaults({});
    const Run clean = RunJob(job);
    ASSERT_EQ(clean.finals, std::vector<long>{kDone});
    job.expectHeld(runs_);
    const Wire wire = sim.korva.Writes();
    for (const Row& row : rows) {
      const int write = row.target.Find(wire);
      for (int f = 0; f < kFaultCount; ++f) {
        SCOPED_TRACE(std::string(row.phase) + ", " + kFaultNames[f]);
        clock.Pause(1000);
        sim.korva.SetFaults(FaultFrom(static_cast<Fault>(f), write));
        const Run run = RunJob(job);
        const long expected = row.expected[f];
        EXPECT_EQ(run.finals, std::vector<long>{expected});
        EXPECT_EQ(run.exitCode, expected == kDone ? cli::kExitOk : cli::kExitUpdateFailed);
        EXPECT_EQ(run.statusAtFinal, expected == kDone ? kJobSucceeded : job.statusAfterFailure);
        ExpectIdle();
        ExpectRetryWorks(job);
      }
    }
    for (const auto& v : sim.korva.Violations()) ADD_FAILURE() << v;
  }

  // The files of run `run`.
  static Bytes Mcu(int run) { return WithMarker(Pattern(0x2345, 2 * run + 1), 0x10, "APPV1.39"); }
  static Bytes Dsp(int run) { return WithMarker(Pattern(5000, 2 * run + 1), 4, "DSPV251"); }
  static Bytes Battery(int run) { return WithMarker(Pattern(1000, 2 * run + 1), 0x10, "BATV1.02"); }
  static Bytes Audio(int run) { return Wav(28844, 2 * run + 1); }

  JobSpec FirmwareJob(int kind) {
    switch (kind) {
      case kJobMcu:
        return {kJobMcu, WM_MCU_JOB, kJobRunning,
                [](int run) {
                  ASSERT_EQ(PlaceMcuFile(AcceptFirmwareBytes(FirmwareKind::Mcu, Mcu(run))), 1);
                },
                [this](int run) { EXPECT_EQ(sim.korva.McuMemory(), Padded(Mcu(run), 1024)); }};
      case kJobDsp:
        return {kJobDsp, WM_DSP_JOB, kJobFailedStatus,
                [](int run) {
                  ASSERT_EQ(PlaceDspFile(AcceptFirmwareBytes(FirmwareKind::Dsp, Dsp(run))), 1);
                },
                [this](int run) {
                  EXPECT_EQ(sim.korva.DspHeader(), Slice(Dsp(run), 0, 16));
                  EXPECT_EQ(sim.korva.DspMemory(), Padded(Slice(Dsp(run), 16, 5000 - 16), 64));
                }};
      case kJobBattery:
        return {
            kJobBattery, WM_BATTERY_JOB, kJobFailedStatus,
            [](int run) {
              ASSERT_EQ(PlaceBatteryFile(AcceptFirmwareBytes(FirmwareKind::Battery, Battery(run))),
                        1);
            },
            [this](int run) { EXPECT_EQ(sim.korva.BatteryMemory(), Padded(Battery(run), 64)); }};
      default:
        return {kJobAudio, WM_AUDIO_JOB, kJobFailedStatus,
                [this](int run) {
                  ASSERT_EQ(PlaceAudioFile(LoadWavFile(File("ir.wav", Audio(run)))), 1);
                },
                [this](int run) {
                  Bytes descriptor(256, 0);
                  std::copy_n("ir.wav", 6, descriptor.begin());
                  std::copy_n(Audio(run).begin(), 44, descriptor.begin() + 128);
                  EXPECT_EQ(sim.korva.ReadMemory(0x51300, 256), descriptor);
                  EXPECT_EQ(sim.korva.ReadMemory(0x5E000, 0x4000), Slice(Audio(run), 44, 0x4000));
                }};
    }
  }

  int runs_ = 0;
  std::string dfuPath_;
};

// The MCU job: 9 KiB, 144 data reports, an acknowledgement after every 16th. Its failures
// leave JobStatus as StartJob set it.
TEST_F(FaultMatrixTest, McuJob) {
  //                                                   unplug  no ack  status  stale  timeout  write
  RunMatrix(FirmwareJob(kJobMcu),
            {
                {"opening step 1", Command(0xFF, 0x00), {0, 0, 0, 0, 0, 0}},
                {"opening step 2", Command(0xFF, 0x01), {0, 0, 0, 0, 0, 0}},
                {"size command", Command(0xFF, 0x02), {0, 0, 0, 0, 0, 0}},
                {"data report 6", Data(6), {5, 16, 16, 16, 16, 5}},
                {"acknowledgement after report 16", PollAfterData(16), {16, 16, 16, 16, 16, 16}},
                {"last acknowledgement", PollAfterData(144), {144, 144, 144, 144, 144, 144}},
                {"end command", Command(0xFF, 0x04), {144, kDone, kDone, kDone, kDone, 144}},
            });
}

// The DSP job: a header report (counted as report 1), 78 data reports with an acknowledgement
// after every 4th and after the last. Every failure sets JobStatus -1.
TEST_F(FaultMatrixTest, DspJob) {
  //                                                   unplug  no ack  status  stale  timeout  write
  RunMatrix(
      FirmwareJob(kJobDsp),
      {
          {"begin command", Command(0x55, 0xF1), {0, 0, 0, 0, 0, 0}},
          {"size command", Command(0x55, 0xF2), {0, 0, 0, 0, 0, 0}},
          {"header report", Data(1), {0, 1, 1, 1, 1, 0}},
          {"data report 6", Data(7), {6, 9, 9, 9, 9, 6}},
          {"acknowledgement after data report 4", PollAfterData(5), {5, 5, 5, 5, 5, 5}},
          {"acknowledgement after the last report", PollAfterData(79), {79, 79, 79, 79, 79, 79}},
          {"end command", Command(0x55, 0xF3), {79, kDone, kDone, kDone, kDone, 79}},
      });
}

// The battery job: 16 data reports, a value poll with their sum after every 4th.
TEST_F(FaultMatrixTest, BatteryJob) {
  //                                                   unplug  no ack  status  stale  timeout  write
  RunMatrix(FirmwareJob(kJobBattery),
            {
                {"begin command", Command(0x66, 0xF1), {0, 0, 0, 0, 0, 0}},
                {"size command", Command(0x66, 0xF2), {0, 0, 0, 0, 0, 0}},
                {"data report 6", Data(6), {5, 8, 8, 8, 8, 5}},
                {"value poll after report 4", PollAfterData(4), {4, 4, 4, 4, 4, 4}},
                {"last value poll", PollAfterData(16), {16, 16, 16, 16, 16, 16}},
                {"end command", Command(0x66, 0xF3), {16, kDone, kDone, kDone, kDone, 16}},
            });
}

// The audio job: the slot's descriptor (4 data reports, not counted), then 256 sample reports
// with an acknowledgement after every 4th.
TEST_F(FaultMatrixTest, AudioJob) {
  //                                                   unplug  no ack  status  stale  timeout  write
  RunMatrix(FirmwareJob(kJobAudio),
            {
                {"descriptor begin", Command(0x77, 0xF1, 1), {0, 0, 0, 0, 0, 0}},
                {"descriptor window", Command(0x77, 0xF2, 1), {0, 0, 0, 0, 0, 0}},
                {"descriptor data report 2", Data(2), {0, 0, 0, 0, 0, 0}},
                {"descriptor end", Command(0x77, 0xF3, 1), {0, 0, 0, 0, 0, 0}},
                {"samples begin", Command(0x77, 0xF1, 2), {0, 0, 0, 0, 0, 0}},
                {"samples window", Command(0x77, 0xF2, 2), {0, 0, 0, 0, 0, 0}},
                {"sample report 6", Data(4 + 6), {5, 8, 8, 8, 8, 5}},
                {"acknowledgement after sample 4", PollAfterData(4 + 4), {4, 4, 4, 4, 4, 4}},
                {"last acknowledgement", PollAfterData(4 + 256), {256, 256, 256, 256, 256, 256}},
                {"samples end", Command(0x77, 0xF3, 2), {256, kDone, kDone, kDone, kDone, 256}},
            });
}

// The Bluetooth job: the amp's link switch ("UA", its acknowledgement, "UB") against every fault
// of the amp, then the module's faults. A failed switch is a failed start: StartJob returns 0
// after the switch posted its one JOB_FAILED 0 (with its box when "UA" was not acknowledged);
// the job's own failures post 0 before the update ran and 100 after it.
TEST_F(FaultMatrixTest, BluetoothJob) {
  const JobSpec job{kJobBluetooth, WM_BLUETOOTH_JOB, kJobFailedStatus,
                    [this](int run) {
                      dfuPath_ = File("module-" + std::to_string(run) + ".dfu", Pattern(100, run));
                    },
                    [this](int) {
                      EXPECT_EQ(sim.module.UpgradedFile(), dfuPath_);
                      // Restarted, disconnected, and the amp is back on its own interface.
                      EXPECT_FALSE(sim.module.Present());
                      EXPECT_FALSE(sim.module.Connected());
                      EXPECT_EQ(CheckDeviceAccess().access, DeviceAccess::Ready);
                    }};
  struct Outcome {
    long final;       // the count of the one final message, or kDone
    bool started;     // false: the link switch failed, StartJob returned 0
    const char* box;  // the box shown before the final message, if any
  };
  const Outcome refused{0, false, nullptr};
  const Outcome notToggled{0, false, kTextLinkSwitchFailed};
  const Outcome done{kDone, true, nullptr};
  const auto expect = [&](const Run& run, const Outcome& outcome) {
    EXPECT_EQ(run.finals, std::vector<long>{outcome.final});
    EXPECT_EQ(run.started, outcome.started ? 1 : 0);
    EXPECT_EQ(run.exitCode, outcome.final == kDone ? cli::kExitOk : cli::kExitUpdateFailed);
    if (outcome.started) {
      EXPECT_EQ(run.statusAtFinal, outcome.final == kDone ? kJobSucceeded : kJobFailedStatus);
    }
    std::vector<std::string> boxes = run.notes;
    boxes.erase(std::remove(boxes.begin(), boxes.end(), kTextBluetoothBusy), boxes.end());
    EXPECT_EQ(boxes,
              outcome.box ? std::vector<std::string>{outcome.box} : std::vector<std::string>{});
    ExpectIdle();
  };

  sim.korva.ClearLog();
  const Run clean = RunJob(job);
  ASSERT_EQ(clean.finals, std::vector<long>{kDone});
  job.expectHeld(runs_);
  const Wire wire = sim.korva.Writes();
  struct SwitchRow {
    const char* phase;
    Target target;
    Outcome outcomes[kFaultCount];
  };
  //                                          unplug    no ack      status      stale       timeout
  //                                          write
  const SwitchRow switchRows[] = {
      {"switch request",
       Command(0x55, 0x41),
       {refused, notToggled, notToggled, notToggled, notToggled, refused}},
      {"its acknowledgement",
       PollAfterCommand(0x55, 0x41),
       {notToggled, notToggled, notToggled, notToggled, notToggled, notToggled}},
      {"switch command", Command(0x55, 0x42), {refused, done, done, done, done, refused}},
  };
  for (const SwitchRow& row : switchRows) {
    const int write = row.target.Find(wire);
    for (int f = 0; f < kFaultCount; ++f) {
      SCOPED_TRACE(std::string(row.phase) + ", " + kFaultNames[f]);
      clock.Pause(1000);
      sim.korva.SetFaults(FaultFrom(static_cast<Fault>(f), write));
      expect(RunJob(job), row.outcomes[f]);
      ExpectRetryWorks(job);
    }
  }

  struct ModuleRow {
    const char* fault;
    VirtualBluetoothModule::Script script;
    Outcome outcome;
  };
  const ModuleRow moduleRows[] = {
      {"the module never answers", {.failedConnects = -1}, {0, true, kTextBluetoothConnectFailed}},
      {"the update is refused", {.upgradeResult = 1}, {0, true, nullptr}},
      {"the update ends with a result", {.result = 1}, {100, true, nullptr}},
      {"100 without 99 before it", {.progress = {0, 50, 98, 100}}, {100, true, nullptr}},
      {"the progress stalls", {.progress = {10, 20}}, {100, true, nullptr}},
      {"the restart fails", {.resetResult = 1}, {100, true, kTextBluetoothResetFailed}},
      {"the disconnection fails",
       {.disconnectResults = {1}},
       {100, true, kTextBluetoothDisconnectFailed}},
  };
  for (const ModuleRow& row : moduleRows) {
    SCOPED_TRACE(row.fault);
    clock.Pause(1000);
    sim.module.SetScript(row.script);
    expect(RunJob(job), row.outcome);
    ExpectRetryWorks(job);
  }
  for (const auto& v : sim.korva.Violations()) ADD_FAILURE() << v;
}

}  // namespace
}  // namespace korva::testing
