// The dispatcher and the MCU and DSP jobs against the virtual amp: bytes on the wire, pauses,
// acknowledgement points, messages and what the amp ends up holding, in virtual time.
#include <algorithm>
#include <cstring>

#include "device/hid_dfu.h"
#include "device/hid_transport.h"
#include "images/embedded_images.h"
#include "images/file_placement.h"
#include "jobs/firmware_jobs.h"
#include "jobs/job_texts.h"
#include "jobs/start_job.h"
#include "tests/jobs/job_test_support.h"

namespace korva::testing {
namespace {

class JobsTest : public KorvaTest {
 protected:
  // Puts an application-only MCU image of `length` bytes into the store.
  void UseMcuApplication(std::size_t length) {
    const Bytes image = WithMarker(Pattern(length, 7), 0x10, "APPV2.00");
    ImageStore& store = Images();
    std::copy(image.begin(), image.end(), store.McuImageBuffer.begin());
    store.McuImageLength = length;
    store.McuFullFlashLayout = 0;
  }
  // Puts a short-form DSP image of `length` bytes into the store.
  void UseDspImage(std::size_t length) {
    const Bytes image = WithMarker(Pattern(length, 13), 4, "DSPV0.300");
    ImageStore& store = Images();
    std::copy(image.begin(), image.end(), store.DspImageBuffer.begin());
    store.DspImageLength = length;
  }

  std::vector<JobMessage> Run(int kind) {
    EXPECT_EQ(StartJob(&owner, kind), 1);
    return owner.WaitForFinal();
  }
};

TEST_F(JobsTest, McuJobWithTheCarriedImage) {
  ASSERT_EQ(LoadEmbeddedImages(), 1);
  const auto messages = Run(kJobMcu);

  ExpectCompleteRun(messages, WM_MCU_JOB, 752);
  EXPECT_EQ(McuReportTotal.load(), 752);
  EXPECT_EQ(owner.ProgressTotals(), std::vector<int>{752});
  EXPECT_EQ(JobStatus.load(), kJobSucceeded);
  EXPECT_EQ(CurrentTransfer.load(), kTransferMcu);

  const auto w = Writes();
  // "INITSTA" and its poll, the three opening commands, the size poll.
  EXPECT_TRUE(IsCommand(w[2], 0xFF, 0x00));
  EXPECT_TRUE(IsCommand(w[3], 0xFF, 0x01));
  EXPECT_TRUE(IsCommand(w[4], 0xFF, 0x02));
  EXPECT_EQ(w[4].Payload(2), 0x2F);
  EXPECT_EQ(w[3].timeMs - w[2].timeMs, 50);
  EXPECT_EQ(w[4].timeMs - w[3].timeMs, 50);
  EXPECT_EQ(w[5].timeMs - w[4].timeMs, 2000);
  // 752 data reports and 47 block polls follow, then the end command: 48 polls in the job.
  EXPECT_EQ(sim.korva.PollsTaken(), 1 + 48);
  EXPECT_TRUE(IsCommand(w.back(), 0xFF, 0x04));
  EXPECT_EQ(w.size(), 2u + 3 + 1 + 752 + 47 + 1);

  // The amp holds the image, padded with 0xFF to whole KiB, and reports the new MCU version.
  EXPECT_EQ(sim.korva.McuMemory(), CarriedMcuMemory());
  EXPECT_EQ(sim.korva.McuVersion(), "1.38");
  EXPECT_TRUE(sim.korva.Violations().empty()) << sim.korva.Violations().front();
  EXPECT_EQ(sim.bus.OpenHandles(), 0);
}

TEST_F(JobsTest, DspJobWithTheCarriedImage) {
  ASSERT_EQ(LoadEmbeddedImages(), 1);
  const auto before = clock.NowMs();
  const auto messages = Run(kJobDsp);

  // The header report counts as the first: 2149 progress messages for 2148 data reports.
  ASSERT_EQ(messages.size(), 2150u);
  EXPECT_EQ(messages[2148], (JobMessage{WM_DSP_JOB, JOB_PROGRESS, 2149}));
  EXPECT_EQ(messages.back(), (JobMessage{WM_DSP_JOB, JOB_DONE, 0}));
  EXPECT_EQ(DspReportTotal.load(), 2148);
  EXPECT_EQ(CurrentTransfer.load(), kTransferDsp);

  const auto w = Writes();
  EXPECT_TRUE(IsCommand(w[2], 0x55, 0xF1));
  EXPECT_TRUE(IsCommand(w[3], 0x55, 0xF2));
  EXPECT_EQ(w[3].Payload(2), 0x64);
  EXPECT_EQ(w[3].Payload(3), 0x08);
  EXPECT_EQ(w[4].timeMs - w[3].timeMs, 1374);
  // Header report: four zero bytes, "DSPV0.250", three zero bytes, 48 bytes of 0xFF.
  const auto& header = w[5];
  const std::uint8_t expectedHeader[16] = {0,   0,   0,   0,   'D', 'S', 'P', 'V',
                                           '0', '.', '2', '5', '0', 0,   0,   0};
  EXPECT_TRUE(std::equal(expectedHeader, expectedHeader + 16, header.bytes.begin() + 1));
  EXPECT_TRUE(
      std::all_of(header.bytes.begin() + 17, header.bytes.end(), [](auto b) { return b == 0xFF; }));
  EXPECT_TRUE(IsCommand(w.back(), 0x55, 0xF3));
  // One poll after the size, one after the header, 537 in the data.
  EXPECT_EQ(sim.korva.PollsTaken(), 1 + 1 + 1 + 537);

  // INITSTA 300 + begin 50 + size 1374 + ack 200 + header 10 + 200 + 50
  // + 537 × (30 + 200) + end 50.
  EXPECT_EQ(clock.NowMs() - before, 300 + 50 + 1374 + 200 + 10 + 200 + 50 + 537 * 230 + 50);

  EXPECT_EQ(sim.korva.DspMemory(), CarriedDspMemory());
  EXPECT_EQ(sim.korva.DspVersion(), "250");
  EXPECT_TRUE(sim.korva.Violations().empty()) << sim.korva.Violations().front();
}

TEST_F(JobsTest, McuApplicationOf1025BytesPadsItsSecondBlock) {
  UseMcuApplication(1025);
  const auto messages = Run(kJobMcu);
  EXPECT_EQ(McuReportTotal.load(), 32);
  EXPECT_EQ(messages.back().wParam, JOB_DONE);
  const auto memory = sim.korva.McuMemory();
  ASSERT_EQ(memory.size(), 2048u);
  // Report 17 carries the 1025th byte and 63 bytes of 0xFF; reports 18 to 32 are all 0xFF.
  EXPECT_EQ(memory[1024], Images().McuImageBuffer[1024]);
  EXPECT_TRUE(std::all_of(memory.begin() + 1025, memory.end(), [](auto b) { return b == 0xFF; }));
  EXPECT_EQ(Writes()[4].Payload(2), 2);
  EXPECT_TRUE(sim.korva.Violations().empty());
}

TEST_F(JobsTest, FullFlashMcuImageSendsOnlyTheApplication) {
  ImageStore& store = Images();
  std::fill(store.McuImageBuffer.begin(), store.McuImageBuffer.end(), 0xFF);
  std::fill(store.McuImageBuffer.begin(), store.McuImageBuffer.begin() + 0x6000,
            0xB0);  // boot area
  std::memcpy(&store.McuImageBuffer[0x6010], "APPV1.40", 8);
  store.McuImageBuffer[0x7FFF] = 0x42;
  const ImageCheck check = CheckMcuImage(std::span(store.McuImageBuffer));
  ASSERT_TRUE(check.accepted);
  ASSERT_EQ(check.length, 0x8000u);
  store.McuImageLength = check.length;
  store.McuFullFlashLayout = 1;

  Run(kJobMcu);
  EXPECT_EQ(McuReportTotal.load(), 128);
  const auto memory = sim.korva.McuMemory();
  ASSERT_EQ(memory.size(), 0x2000u);
  EXPECT_EQ(memory[0x10], 'A');
  EXPECT_EQ(memory[0x1FFF], 0x42);
  EXPECT_EQ(sim.korva.McuVersion(), "1.40");
}

TEST_F(JobsTest, EmptyMcuApplicationSendsOpeningAndEndOnly) {
  UseMcuApplication(0);
  const auto messages = Run(kJobMcu);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].wParam, JOB_DONE);
  const auto w = Writes();
  ASSERT_EQ(w.size(), 2u + 3 + 1 + 1);
  EXPECT_EQ(w[4].Payload(2), 0);
  EXPECT_TRUE(IsCommand(w.back(), 0xFF, 0x04));
  EXPECT_TRUE(sim.korva.Violations().empty());
}

TEST_F(JobsTest, DspAcknowledgementPointsAndSmallImages) {
  // Five data reports: acknowledgements after the header, after report 4 and after report 5.
  UseDspImage(16 + 5 * 64 - 10);
  Run(kJobDsp);
  auto w = Writes();
  std::vector<int> pollAfter;  // number of data reports sent before each poll in the data
  int dataSent = 0;
  for (std::size_t i = 7; i + 1 < w.size(); ++i) {  // after the header's poll
    if (w[i].timeMs - w[i - 1].timeMs == kDspDataAckPauseMs)
      pollAfter.push_back(dataSent);
    else
      ++dataSent;
  }
  EXPECT_EQ(pollAfter, (std::vector<int>{4, 5}));
  EXPECT_EQ(sim.korva.PollsTaken(), 1 + 1 + 1 + 2);
  EXPECT_TRUE(sim.korva.Violations().empty());

  // A 16-byte image: header, no data report, end command, and still JOB_DONE.
  sim.korva.ClearLog();
  UseDspImage(16);
  const auto messages = Run(kJobDsp);
  EXPECT_EQ(DspReportTotal.load(), 0);
  w = Writes();
  ASSERT_EQ(w.size(), 2u + 2 + 1 + 1 + 1 + 1);  // INITSTA, poll, F1, F2, poll, header, poll, F3
  EXPECT_TRUE(IsCommand(w.back(), 0x55, 0xF3));
  EXPECT_EQ(messages.back().wParam, JOB_DONE);
}

TEST_F(JobsTest, FullMemoryDspImage) {
  ImageStore& store = Images();
  for (std::size_t i = 0; i < kDspFullMemoryLength; ++i)
    store.DspImageBuffer[i] = static_cast<std::uint8_t>(i >> 3);
  std::memcpy(&store.DspImageBuffer[0x7F000], "\0\0\0\0DSPV0.251\0\0\0", 16);
  store.DspImageLength = kDspFullMemoryLength;
  const auto before = clock.NowMs();
  Run(kJobDsp);
  const auto w = Writes();
  EXPECT_EQ(w[3].Payload(2), 0x00);
  EXPECT_EQ(w[3].Payload(3), 0x20);
  EXPECT_EQ(w[4].timeMs - w[3].timeMs, 5242);
  EXPECT_EQ(sim.korva.DspMemory(), store.DspImageBuffer);
  EXPECT_EQ(sim.korva.DspVersion(), "251");
  EXPECT_GT(clock.NowMs() - before, 5242);
}

TEST_F(JobsTest, StartJobRefusedInitStates) {
  sim.korva.SetFaults({.acknowledgeLimit = 0});
  EXPECT_EQ(StartJob(&owner, kJobDsp), 0);
  EXPECT_EQ(StartJob(&owner, kJobMcu), 0);
  EXPECT_EQ(prompter.Texts(),
            (std::vector<std::string>{"Fail to initialize states of device!",
                                      "Fail to initialize states of device\xA3\xA1"}));
  for (const auto& box : prompter.Boxes()) EXPECT_EQ(box.kind, BoxKind::Application);
  EXPECT_EQ(RunningWorkers(), 0);
  EXPECT_TRUE(owner.Messages().empty());
  EXPECT_EQ(CurrentTransfer.load(), kTransferNone);
  EXPECT_EQ(JobStatus.load(), kJobRunning);  // the caller resets it
}

TEST_F(JobsTest, UnknownKindStartsNothingAndSaysNothing) {
  EXPECT_EQ(StartJob(&owner, 3), 0);
  EXPECT_EQ(JobStatus.load(), kJobRunning);
  EXPECT_EQ(CurrentJobOwner.load(), &owner);
  EXPECT_TRUE(prompter.Boxes().empty());
  EXPECT_TRUE(sim.korva.Writes().empty());
  // Only the low byte of the kind counts: 0x101 is the MCU job.
  UseMcuApplication(64);
  EXPECT_EQ(StartJob(&owner, 0x101), 1);
  EXPECT_EQ(owner.WaitForFinal().back().message, WM_MCU_JOB);
}

// Every fault ends in exactly one JOB_FAILED with the right count, the last message.
struct FaultCase {
  const char* name;
  int kind;
  std::function<void(VirtualKorva&, RecordingOwner&)> arrange;
  long failedCount;
  int expectedStatus;
};

TEST_F(JobsTest, FaultsEndInOneFailure) {
  const FaultCase cases[] = {
      {"MCU: acknowledgements stop during the 19th KiB block", kJobMcu,
       [](VirtualKorva& k, RecordingOwner&) { k.SetFaults({.acknowledgeLimit = 20}); }, 304,
       kJobRunning},
      {"MCU: unplugged after 100 data reports", kJobMcu,
       [](VirtualKorva& k, RecordingOwner&) { k.SetFaults({.unplugAfterDataReports = 100}); }, 100,
       kJobRunning},
      {"MCU: the size command is never acknowledged", kJobMcu,
       [](VirtualKorva& k, RecordingOwner&) { k.SetFaults({.acknowledgeLimit = 1}); }, 0,
       kJobRunning},
      {"MCU: status reports stop coming after report 40", kJobMcu,
       [](VirtualKorva& k, RecordingOwner& o) {
         o.onMessage = [&k](const JobMessage& m) {
           if (m.lParam == 40) k.SetFaults({.readsTimeOut = true});
         };
       },
       48, kJobRunning},
      {"DSP: unplugged after the header and 99 data reports", kJobDsp,
       [](VirtualKorva& k, RecordingOwner&) { k.SetFaults({.unplugAfterDataReports = 100}); }, 100,
       kJobFailedStatus},
      {"DSP: the header is not acknowledged", kJobDsp,
       [](VirtualKorva& k, RecordingOwner&) { k.SetFaults({.acknowledgeLimit = 2}); }, 1,
       kJobFailedStatus},
      {"DSP: status reports stop coming after report 10", kJobDsp,
       [](VirtualKorva& k, RecordingOwner& o) {
         o.onMessage = [&k](const JobMessage& m) {
           if (m.lParam == 10) k.SetFaults({.readsTimeOut = true});
         };
       },
       13, kJobFailedStatus},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.name);
    ResetJobState();
    ASSERT_EQ(LoadEmbeddedImages(), 1);
    RecordingOwner caseOwner;
    sim.korva.SetFaults({});
    sim.korva.Plug();
    c.arrange(sim.korva, caseOwner);
    ASSERT_EQ(StartJob(&caseOwner, c.kind), 1);
    const auto messages = caseOwner.WaitForFinal();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back().wParam, JOB_FAILED);
    EXPECT_EQ(messages.back().lParam, c.failedCount);
    EXPECT_EQ(FinalCount(messages), 1);
    // Every counted report was announced before the failure.
    EXPECT_EQ(caseOwner.ProgressValues().size(), static_cast<std::size_t>(c.failedCount));
    EXPECT_EQ(JobStatus.load(), c.expectedStatus);
    EXPECT_EQ(sim.bus.OpenHandles(), 0);
    caseOwner.onMessage = nullptr;
  }
}

// A stop request from the front end ends the job before its next data report, as a failed
// write would; while the request stands, a new job ends at its write gate without writing
// anything; once the front end has cleared it, the amp takes a complete retry (the battery and
// audio jobs keep their file after a failure, so the retry sends it again).
TEST_F(JobsTest, StopRequestEndsTheJobBetweenReports) {
  struct StopCase {
    const char* name;
    int kind;
    long stopAt;
    int expectedStatus;
    int reportsBefore;  // data reports the amp takes before the counted ones (the slot descriptor)
  };
  const StopCase cases[] = {
      {"MCU stopped after report 100", kJobMcu, 100, kJobRunning, 0},
      {"DSP stopped after the header and 49 data reports", kJobDsp, 50, kJobFailedStatus, 0},
      {"battery stopped after report 9, between two sums", kJobBattery, 9, kJobFailedStatus, 0},
      {"audio stopped after sample report 40", kJobAudio, 40, kJobFailedStatus, 4},
  };
  const auto messageOf = [](int kind) {
    return kind == kJobMcu       ? WM_MCU_JOB
           : kind == kJobDsp     ? WM_DSP_JOB
           : kind == kJobBattery ? WM_BATTERY_JOB
                                 : WM_AUDIO_JOB;
  };
  ASSERT_EQ(LoadEmbeddedImages(), 1);
  const Bytes battery = Image(0x1000, 0x10, "BATV1.02", 0x5A);
  const Bytes wav = Wav(28844);
  for (const StopCase& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.kind == kJobBattery) {
      ASSERT_EQ(PlaceBatteryFile(AcceptFirmwareBytes(FirmwareKind::Battery, battery)), 1);
    } else if (c.kind == kJobAudio) {
      PageFile().PageFileBuffer = wav;
    }
    RecordingOwner caseOwner;
    caseOwner.slotIndexText = "2";
    caseOwner.onMessage = [&c](const JobMessage& m) {
      if (m.wParam == JOB_PROGRESS && m.lParam == c.stopAt) RequestJobStop();
    };
    const int takenBefore = sim.korva.DataReportsTaken();
    ASSERT_EQ(StartJob(&caseOwner, c.kind), 1);
    const auto messages = caseOwner.WaitForFinal();
    EXPECT_EQ(messages.back().wParam, JOB_FAILED);
    EXPECT_EQ(messages.back().lParam, c.stopAt);
    EXPECT_EQ(caseOwner.ProgressValues().size(), static_cast<std::size_t>(c.stopAt));
    EXPECT_EQ(sim.korva.DataReportsTaken() - takenBefore, c.reportsBefore + c.stopAt);
    EXPECT_EQ(JobStatus.load(), c.expectedStatus);

    // The request still stands: the next job writes nothing beyond "INITSTA" and its poll.
    RecordingOwner blockedOwner;
    blockedOwner.slotIndexText = "2";
    const std::size_t writesBefore = Writes().size();
    ASSERT_EQ(StartJob(&blockedOwner, c.kind), 1);
    EXPECT_EQ(blockedOwner.WaitForFinal(),
              (std::vector<JobMessage>{{messageOf(c.kind), JOB_FAILED, 0}}));
    EXPECT_EQ(Writes().size(), writesBefore + 2);

    ResetStopRequests();
    RecordingOwner retryOwner;
    retryOwner.slotIndexText = "2";
    ASSERT_EQ(StartJob(&retryOwner, c.kind), 1);
    EXPECT_EQ(retryOwner.WaitForFinal().back().wParam, JOB_DONE);
  }
  EXPECT_EQ(sim.korva.CompletedUpdates(), 3);  // the slot writes are memory writes, not updates
  EXPECT_EQ(sim.korva.BatteryMemory(), battery);
  EXPECT_EQ(sim.korva.ReadMemory(0x5A000, 0x4000),
            std::vector<std::uint8_t>(wav.begin() + 44, wav.begin() + 44 + 0x4000));
  EXPECT_TRUE(sim.korva.Violations().empty()) << sim.korva.Violations().front();
}

// A front end that closed the write gate before a job wrote anything: every job, and the
// Bluetooth link switch, ends at the gate with one JOB_FAILED 0; nothing goes to the amp after
// "INITSTA" and nothing to the module. Once a job has passed the gate, closing it fails.
TEST_F(JobsTest, ClosedWriteGateStopsEveryJobBeforeItWrites) {
  struct Case {
    const char* name;
    int kind;
    int message;
    int link;
    int startResult;
    int status;
  };
  const Case cases[] = {
      {"MCU", kJobMcu, WM_MCU_JOB, kLinkHid, 1, kJobRunning},
      {"DSP", kJobDsp, WM_DSP_JOB, kLinkHid, 1, kJobFailedStatus},
      {"battery", kJobBattery, WM_BATTERY_JOB, kLinkHid, 1, kJobFailedStatus},
      {"audio", kJobAudio, WM_AUDIO_JOB, kLinkHid, 1, kJobFailedStatus},
      {"Bluetooth, before the link switch", kJobBluetooth, WM_BLUETOOTH_JOB, kLinkHid, 0,
       kJobFailedStatus},
      {"Bluetooth, link already on the module", kJobBluetooth, WM_BLUETOOTH_JOB, kLinkBluetooth, 1,
       kJobFailedStatus},
  };
  ASSERT_EQ(LoadEmbeddedImages(), 1);
  ASSERT_EQ(PlaceBatteryFile(
                AcceptFirmwareBytes(FirmwareKind::Battery, Image(0x400, 0x10, "BATV1.02", 0x5A))),
            1);
  PageFile().PageFileBuffer = Wav(28844);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.link == kLinkBluetooth) {
      sim.korva.Unplug();
      sim.module.SetPresent(true);
      ASSERT_TRUE(ConnectBluetoothModuleOnce());
    }
    LinkMode.store(c.link);
    ResetStopRequests();
    ASSERT_TRUE(CloseWriteGate());
    const std::size_t writesBefore = Writes().size();
    RecordingOwner caseOwner;
    EXPECT_EQ(StartJob(&caseOwner, c.kind), c.startResult);
    EXPECT_EQ(caseOwner.WaitForFinal(), (std::vector<JobMessage>{{c.message, JOB_FAILED, 0}}));
    EXPECT_EQ(JobStatus.load(), c.status);
    const auto w = Writes();
    ASSERT_EQ(w.size(), writesBefore + (c.link == kLinkHid ? 2 : 0));  // "INITSTA" and its poll
    const auto calls = sim.module.Calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "upgrade"), 0);
    EXPECT_EQ(sim.bus.OpenHandles(), 0);
  }
  EXPECT_TRUE(PageFile().PageFileBuffer.has_value());  // the files stay for another try

  // The two sides meet once: whoever comes first decides.
  ResetStopRequests();
  EXPECT_TRUE(PassWriteGate());
  EXPECT_FALSE(CloseWriteGate());
  EXPECT_TRUE(PassWriteGate());  // a second job of the same command writes on
  RequestJobStop();
  EXPECT_FALSE(PassWriteGate());  // but not once the user has asked to stop
  ResetStopRequests();
  EXPECT_TRUE(CloseWriteGate());
  EXPECT_TRUE(CloseWriteGate());
  EXPECT_FALSE(PassWriteGate());
}

// The main road in virtual time: the MCU job, then the DSP job, through StartJob, with the
// carried images. The amp ends up holding both images and reports the carried version.
TEST_F(JobsTest, EndToEndMainRoad) {
  ASSERT_EQ(LoadEmbeddedImages(), 1);
  const auto start = clock.NowMs();
  std::atomic<std::int64_t> mcuEnd{-1};
  owner.onMessage = [&](const JobMessage& m) {
    if (m == JobMessage{WM_MCU_JOB, JOB_DONE, 0}) mcuEnd = clock.NowMs();
  };
  ASSERT_EQ(StartJob(&owner, kJobMcu), 1);
  ASSERT_EQ(owner.WaitForFinal(1).back(), (JobMessage{WM_MCU_JOB, JOB_DONE, 0}));
  ASSERT_EQ(StartJob(&owner, kJobDsp), 1);
  ASSERT_EQ(owner.WaitForFinal(2).back(), (JobMessage{WM_DSP_JOB, JOB_DONE, 0}));

  // Pauses the protocol prescribes (each acknowledgement answered at its first read, 200 ms):
  //   MCU: INITSTA 100 + 200, opening 50 + 50, size 2000 + 200, 47 blocks × (50 + 200)
  //   DSP: INITSTA 100 + 200, begin 50, size 1374 + 200, header 10 + 200, 50,
  //        537 chunks × (30 + 200), end 50
  EXPECT_EQ(mcuEnd.load() - start, 300 + 100 + 2200 + 47 * 250);
  EXPECT_EQ(clock.NowMs() - mcuEnd.load(), 300 + 50 + 1574 + 210 + 50 + 537 * 230 + 50);
  EXPECT_EQ(clock.NowMs() - start, 140094);

  ASSERT_EQ(InitStates(), 1);
  ASSERT_EQ(ReadVersionRecord(), 1);
  ASSERT_TRUE(RebuildDeviceVersionText());
  EXPECT_EQ(ToString(DeviceVersionText()), "Ver1.38.250");
  EXPECT_EQ(sim.korva.CompletedUpdates(), 2);
  EXPECT_EQ(sim.korva.McuMemory().size(), 47u * 1024);
  EXPECT_EQ(sim.korva.DspMemory().size(), 2148u * 64);
  EXPECT_TRUE(sim.korva.Violations().empty()) << sim.korva.Violations().front();
  EXPECT_EQ(sim.bus.OpenHandles(), 0);
}

}  // namespace
}  // namespace korva::testing
