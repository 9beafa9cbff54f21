// The battery-controller and audio-slot jobs against the virtual amp, in virtual time: bytes
// on the wire, sums, pauses, acknowledgement points, messages, and what the amp ends up
// holding in its battery memory and its slots.
#include "jobs/service_jobs.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#include "device/hid_transport.h"
#include "images/file_placement.h"
#include "jobs/job_texts.h"
#include "jobs/memory_write.h"
#include "jobs/start_job.h"
#include "tests/jobs/job_test_support.h"

namespace korva::testing {
namespace {

class ServiceJobsTest : public KorvaTest {
 protected:
  // An application-only battery file of `length` bytes, placed as the battery page does.
  Bytes UseBatteryApplication(std::size_t length) {
    const Bytes file = WithMarker(Pattern(length, 31), 0x10, "BATV1.02");
    EXPECT_EQ(PlaceBatteryFile(AcceptFirmwareBytes(FirmwareKind::Battery, file)), 1);
    return file;
  }
  // A WAV file of `length` bytes with the one accepted header, placed as the audio page does.
  Bytes UseWav(std::size_t length = 28844) {
    const Bytes file = Wav(length);
    PageFile().PageFileBuffer = file;
    return file;
  }
  // Runs a job on this thread, as its worker would after an acknowledged "INITSTA"; the
  // amp's faults are set between the two, so their counts start with the job.
  std::vector<JobMessage> RunDirect(int (*job)(), const VirtualKorva::Faults& faults,
                                    RecordingOwner& jobOwner) {
    EXPECT_EQ(InitStates(), 1);
    sim.korva.SetFaults(faults);
    CurrentJobOwner.store(&jobOwner);
    JobStatus.store(kJobRunning);
    job();
    return jobOwner.Messages();
  }
};

// ---- Battery controller ----

TEST_F(ServiceJobsTest, BatteryApplicationOf0x6000Bytes) {
  const Bytes file = UseBatteryApplication(0x6000);
  const auto start = clock.NowMs();
  ASSERT_EQ(StartJob(&owner, kJobBattery), 1);
  const auto messages = owner.WaitForFinal();

  ExpectCompleteRun(messages, WM_BATTERY_JOB, 384);
  EXPECT_EQ(BatteryReportTotal.load(), 384);
  EXPECT_EQ(owner.ProgressTotals(), std::vector<int>{384});
  EXPECT_EQ(JobStatus.load(), kJobSucceeded);
  EXPECT_FALSE(PageFile().PageFileBuffer.has_value());

  const auto w = Writes();
  ASSERT_TRUE(IsCommand(w[2], 0x66, 0xF1));
  ASSERT_TRUE(IsCommand(w[3], 0x66, 0xF2));
  EXPECT_EQ(w[3].Payload(2), 0x01);  // 384, big-endian
  EXPECT_EQ(w[3].Payload(3), 0x80);
  EXPECT_TRUE(std::all_of(w[3].bytes.begin() + 5, w[3].bytes.end(), [](auto b) { return b == 0; }));
  EXPECT_EQ(w[3].timeMs - w[2].timeMs, 50);
  EXPECT_EQ(w[4].timeMs - w[3].timeMs, 50);          // the size's acknowledgement poll
  EXPECT_EQ(w[5].timeMs - w[4].timeMs, 200 + 1000);  // its read, then the 1000 ms pause
  EXPECT_TRUE(IsCommand(w.back(), 0x66, 0xF3));
  // 384 data reports and 96 value polls between the size poll and the end command.
  EXPECT_EQ(w.size(), 2u + 3 + 384 + 96 + 1);
  EXPECT_EQ(sim.korva.PollsTaken(), 1 + 1 + 96);
  // INITSTA 300, begin 50, size 50 + 200, 1000, 96 × (50 + 200), end 50.
  EXPECT_EQ(clock.NowMs() - start, 300 + 50 + 250 + 1000 + 96 * 250 + 50);

  EXPECT_EQ(sim.korva.BatteryMemory(), file);
  EXPECT_TRUE(sim.korva.Violations().empty()) << sim.korva.Violations().front();
  EXPECT_EQ(sim.bus.OpenHandles(), 0);
}

TEST_F(ServiceJobsTest, BatteryValuePollsCarryTheSumOfTheirChunk) {
  // 1000 bytes: 16 reports, the last one 40 bytes of data and 24 of 0xFF fill.
  Bytes file = UseBatteryApplication(1000);
  std::fill(file.begin() + 256, file.begin() + 512, 0xFF);  // chunk 2 sums to 0xFF00
  std::fill(file.begin() + 512, file.begin() + 768, 0x00);  // chunk 3 sums to 0x1234
  std::fill(file.begin() + 512, file.begin() + 530, 0xFF);
  file[530] = 0x46;
  PageFile().PageFileBuffer = file;
  ASSERT_EQ(StartJob(&owner, kJobBattery), 1);
  ASSERT_EQ(owner.WaitForFinal().back().wParam, JOB_DONE);

  Bytes expectedMemory = file;
  expectedMemory.resize(1024, 0xFF);
  EXPECT_EQ(sim.korva.BatteryMemory(), expectedMemory);

  // After INITSTA, its poll, begin, size and the size poll: groups of 4 data reports + 1 poll.
  const auto w = Writes();
  ASSERT_EQ(w.size(), 5u + 4 * 5 + 1);
  std::vector<unsigned> sums;
  for (int chunk = 0; chunk < 4; ++chunk) {
    const auto& poll = w[5 + chunk * 5 + 4];
    EXPECT_EQ(poll.timeMs - w[5 + chunk * 5 + 3].timeMs, 50);
    sums.push_back(poll.Payload(1) | poll.Payload(2) << 8);
  }
  auto chunkSum = [&](std::size_t from) {
    return std::accumulate(expectedMemory.begin() + from, expectedMemory.begin() + from + 256, 0u);
  };
  EXPECT_EQ(sums, (std::vector<unsigned>{chunkSum(0), 0xFF00, 0x1234, chunkSum(768)}));
  EXPECT_EQ(w[5 + 2 * 5 + 4].Payload(1), 0x34);
  EXPECT_EQ(w[5 + 2 * 5 + 4].Payload(2), 0x12);
  // The end command still carries bytes 2 to 63 of the last data report.
  EXPECT_TRUE(std::equal(w.back().bytes.begin() + 3, w.back().bytes.end(),
                         w[w.size() - 3].bytes.begin() + 3));
  EXPECT_TRUE(sim.korva.Violations().empty()) << sim.korva.Violations().front();
}

TEST_F(ServiceJobsTest, BatteryValuePollsAfterEveryFourthAndTheLastReport) {
  struct Case {
    std::size_t length;
    std::vector<int> pollsAfter;
  };
  for (const Case& c : {Case{5 * 64, {4, 5}}, Case{8 * 64, {4, 8}}, Case{0x18, {1}}}) {
    SCOPED_TRACE(c.length);
    sim.korva.ClearLog();
    RecordingOwner caseOwner;
    UseBatteryApplication(c.length);
    ASSERT_EQ(StartJob(&caseOwner, kJobBattery), 1);
    ASSERT_EQ(caseOwner.WaitForFinal().back().wParam, JOB_DONE);
    const auto w = Writes();
    std::vector<int> pollsAfter;
    int data = 0;
    for (std::size_t i = 5; i + 1 < w.size(); ++i) {
      if (w[i].timeMs - w[i - 1].timeMs == kBatterySumPauseMs)
        pollsAfter.push_back(data);
      else
        ++data;
    }
    EXPECT_EQ(pollsAfter, c.pollsAfter);
    EXPECT_TRUE(sim.korva.Violations().empty()) << sim.korva.Violations().front();
  }
}

TEST_F(ServiceJobsTest, FullFlashBatteryFileSkipsItsBootArea) {
  Bytes file(0x8000, 0xFF);
  std::fill(file.begin(), file.begin() + 0x2000, 0xB0);  // boot area
  for (std::size_t i = 0x2000; i < 0x7400; ++i) file[i] = static_cast<std::uint8_t>(i % 251);
  std::memcpy(&file[0x2010], "BATV2.00", 8);
  file[0x73FF] = 0x42;
  ASSERT_EQ(PlaceBatteryFile(AcceptFirmwareBytes(FirmwareKind::Battery, file)), 1);
  EXPECT_EQ(PageFile().BatteryImageLength, 0x7400u);
  EXPECT_EQ(PageFile().BatteryFullFlashLayout, 1);

  ASSERT_EQ(StartJob(&owner, kJobBattery), 1);
  ASSERT_EQ(owner.WaitForFinal().back().wParam, JOB_DONE);
  EXPECT_EQ(BatteryReportTotal.load(), 336);  // L = 0x5400
  const auto w = Writes();
  EXPECT_EQ(PayloadOf(w[5]), Bytes(file.begin() + 0x2000, file.begin() + 0x2040));
  EXPECT_EQ(sim.korva.BatteryMemory(), Bytes(file.begin() + 0x2000, file.begin() + 0x7400));
  EXPECT_TRUE(sim.korva.Violations().empty()) << sim.korva.Violations().front();
}

struct JobFault {
  const char* name;
  VirtualKorva::Faults faults;
  long failedCount;
  long lastProgress;  // the last progress message before the failure (0: none)
};

TEST_F(ServiceJobsTest, BatteryFailuresEndInOneFailureWithTheirCount) {
  // 16 reports: begin, size, poll, then 4 × (4 data + value poll), end.
  const JobFault cases[] = {
      {"begin not written", {.writesFail = true}, 0, 0},
      {"size not written", {.writesFailAfter = 1}, 0, 0},
      {"size not acknowledged", {.acknowledgeLimit = 0}, 0, 0},
      {"data report 9 not written", {.writesFailAfter = 3 + 8 + 2}, 8, 8},
      {"value poll after report 8 not acknowledged", {.acknowledgeLimit = 2}, 8, 8},
      {"amp gone after report 8", {.unplugAfterDataReports = 8}, 8, 8},
      {"last value poll not acknowledged", {.acknowledgeLimit = 4}, 16, 16},
      {"end not written", {.writesFailAfter = 3 + 16 + 4}, 16, 16},
  };
  for (const JobFault& c : cases) {
    SCOPED_TRACE(c.name);
    ResetJobState();
    sim.korva.SetFaults({});
    sim.korva.Plug();
    UseBatteryApplication(1000);
    RecordingOwner caseOwner;
    const auto messages = RunDirect(BatteryTransferJob, c.faults, caseOwner);
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back(), (JobMessage{WM_BATTERY_JOB, JOB_FAILED, c.failedCount}));
    EXPECT_EQ(FinalCount(messages), 1);
    const auto progress = caseOwner.ProgressValues();
    EXPECT_EQ(progress.empty() ? 0 : progress.back(), c.lastProgress);
    EXPECT_EQ(JobStatus.load(), kJobFailedStatus);
    EXPECT_TRUE(PageFile().PageFileBuffer.has_value());  // kept for another try
    EXPECT_EQ(sim.bus.OpenHandles(), 0);
  }
}

TEST_F(ServiceJobsTest, BatteryFileShorterThanItsLengthSendsNothing) {
  UseBatteryApplication(0x400);
  PageFile().PageFileBuffer->resize(0x200);
  const auto messages = RunDirect(BatteryTransferJob, {}, owner);
  EXPECT_EQ(messages, (std::vector<JobMessage>{{WM_BATTERY_JOB, JOB_FAILED, 0}}));
  EXPECT_EQ(Writes().size(), 2u);  // INITSTA and its poll only
  EXPECT_EQ(JobStatus.load(), kJobFailedStatus);
}

// ---- Audio slots ----

TEST_F(ServiceJobsTest, AudioSlot3HoldsDescriptorAndSamples) {
  const Bytes file = UseWav();
  owner.slotIndexText = "3";
  owner.fileName = "cab.wav";
  const auto start = clock.NowMs();
  ASSERT_EQ(StartJob(&owner, kJobAudio), 1);
  const auto messages = owner.WaitForFinal();

  ExpectCompleteRun(messages, WM_AUDIO_JOB, 256);
  EXPECT_EQ(AudioReportTotal.load(), 256);
  EXPECT_EQ(owner.ProgressTotals(), std::vector<int>{256});
  EXPECT_EQ(JobStatus.load(), kJobSucceeded);
  EXPECT_FALSE(PageFile().PageFileBuffer.has_value());

  Bytes descriptor(256, 0);
  std::memcpy(descriptor.data(), "cab.wav", 7);
  std::copy(file.begin(), file.begin() + 44, descriptor.begin() + 128);
  EXPECT_EQ(sim.korva.ReadMemory(0x51300, 256), descriptor);
  EXPECT_EQ(sim.korva.ReadMemory(0x5E000, 0x4000),
            Bytes(file.begin() + 44, file.begin() + 44 + 0x4000));
  // Nothing written next to the slot.
  EXPECT_EQ(sim.korva.ReadMemory(0x5E000 + 0x4000, 1), Bytes{0xFF});

  const auto w = Writes();
  // Descriptor: begin, window, poll, 4 data, poll, end; samples: begin, window, poll, ...
  ASSERT_EQ(w.size(), 2u + 9 + 3 + 256 + 64 + 1);
  Bytes descriptorWindow(64, 0x00);
  const Bytes descriptorHead = {0x77, 0xF2, 0x00, 0x13, 0x05, 0x00, 0x00, 0x01, 0x00, 0x00};
  std::copy(descriptorHead.begin(), descriptorHead.end(), descriptorWindow.begin());
  EXPECT_EQ(PayloadOf(w[3]), descriptorWindow);
  Bytes sampleWindow(64, 0xFF);
  const Bytes sampleHead = {0x77, 0xF2, 0x00, 0xE0, 0x05, 0x00, 0x00, 0x40, 0x00, 0x00};
  std::copy(sampleHead.begin(), sampleHead.end(), sampleWindow.begin());
  EXPECT_EQ(PayloadOf(w[12]), sampleWindow);
  Bytes sampleBegin(64, 0xFF);
  sampleBegin[0] = 0x77;
  sampleBegin[1] = 0xF1;
  EXPECT_EQ(PayloadOf(w[11]), sampleBegin);
  EXPECT_TRUE(IsCommand(w.back(), 0x77, 0xF3));
  EXPECT_EQ(w[4].timeMs - w[3].timeMs, 1);  // 256 / 150 ms before the window's poll
  EXPECT_EQ(w[13].timeMs - w[12].timeMs, 1000);
  EXPECT_EQ(sim.korva.PollsTaken(), 1 + 67);
  // INITSTA 300; descriptor 50 + 1 + 200 + (10 + 200) + 50; samples 50 + 1000 + 200
  // + 64 × (10 + 200) + 50.
  EXPECT_EQ(clock.NowMs() - start, 300 + 511 + 1300 + 64 * 210);
  EXPECT_TRUE(sim.korva.Violations().empty()) << sim.korva.Violations().front();
}

TEST_F(ServiceJobsTest, AudioSlotAddressesAndNames) {
  struct Case {
    std::string slotText;
    std::string fileName;
    std::uint32_t descriptorAt;
    std::uint32_t samplesAt;
  };
  const std::string longName = std::string(126, 'n') + ".wav";  // 130 characters
  const Case cases[] = {
      {"1", "a.wav", 0x51100, 0x56000},
      {"5", longName, 0x51500, 0x66000},
      {"7", "x.wav", 0x51700, 0x6E000},
      {"none", "z.wav", 0x51000, 0x52000},  // no number reads as slot 0
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.slotText);
    sim.korva.ClearLog();
    const Bytes file = UseWav(16428);
    RecordingOwner caseOwner;
    caseOwner.slotIndexText = c.slotText;
    caseOwner.fileName = c.fileName;
    ASSERT_EQ(StartJob(&caseOwner, kJobAudio), 1);
    ASSERT_EQ(caseOwner.WaitForFinal().back().wParam, JOB_DONE);

    const Bytes descriptor = sim.korva.ReadMemory(c.descriptorAt, 256);
    const std::size_t nameBytes = std::min<std::size_t>(c.fileName.size(), 128);
    EXPECT_EQ(std::string(descriptor.begin(), descriptor.begin() + nameBytes),
              c.fileName.substr(0, nameBytes));
    EXPECT_TRUE(std::all_of(descriptor.begin() + nameBytes, descriptor.begin() + 128,
                            [](auto b) { return b == 0; }));
    EXPECT_TRUE(std::equal(file.begin(), file.begin() + 44, descriptor.begin() + 128));
    EXPECT_TRUE(
        std::all_of(descriptor.begin() + 172, descriptor.end(), [](auto b) { return b == 0; }));
    EXPECT_EQ(sim.korva.ReadMemory(c.samplesAt, 0x4000), Bytes(file.begin() + 44, file.end()));
    const auto w = Writes();
    EXPECT_EQ(w[3].Payload(2) | w[3].Payload(3) << 8 | w[3].Payload(4) << 16,
              static_cast<int>(c.descriptorAt));
    EXPECT_TRUE(sim.korva.Violations().empty()) << sim.korva.Violations().front();
  }
}

TEST_F(ServiceJobsTest, AudioFailuresEndInOneFailureWithTheirCount) {
  // Descriptor: 9 writes and 2 acknowledgements; samples: begin, window, its acknowledgement,
  // then 64 × (4 data + poll), end.
  const JobFault cases[] = {
      {"descriptor begin not written", {.writesFail = true}, 0, 0},
      {"descriptor window not acknowledged", {.acknowledgeLimit = 0}, 0, 0},
      {"descriptor data not acknowledged", {.acknowledgeLimit = 1}, 0, 0},
      {"descriptor end not written", {.writesFailAfter = 8}, 0, 0},
      {"sample begin not written", {.writesFailAfter = 9}, 0, 0},
      {"sample window not written", {.writesFailAfter = 10}, 0, 0},
      {"sample window not acknowledged", {.acknowledgeLimit = 2}, 0, 0},
      {"sample data report 1 not written", {.writesFailAfter = 12}, 0, 0},
      {"acknowledgements stop after report 36", {.acknowledgeLimit = 3 + 9}, 40, 40},
      {"amp gone after sample report 100", {.unplugAfterDataReports = 4 + 100}, 100, 100},
      {"sample end not written", {.writesFailAfter = 12 + 256 + 64}, 256, 256},
  };
  // Copied from strings made once: GCC 12 at -O3 wrongly warns (-Wrestrict, its bug 105329)
  // about a one-character literal assigned to a std::string inside this loop.
  const std::string slot = "2";
  const std::string fileName = "ir.wav";
  for (const JobFault& c : cases) {
    SCOPED_TRACE(c.name);
    ResetJobState();
    sim.korva.SetFaults({});
    sim.korva.Plug();
    UseWav();
    RecordingOwner caseOwner;
    caseOwner.slotIndexText = slot;
    caseOwner.fileName = fileName;
    const auto messages = RunDirect(AudioTransferJob, c.faults, caseOwner);
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back(), (JobMessage{WM_AUDIO_JOB, JOB_FAILED, c.failedCount}));
    EXPECT_EQ(FinalCount(messages), 1);
    const auto progress = caseOwner.ProgressValues();
    EXPECT_EQ(static_cast<long>(progress.size()), c.lastProgress);
    EXPECT_EQ(JobStatus.load(), kJobFailedStatus);
    EXPECT_TRUE(PageFile().PageFileBuffer.has_value());
    EXPECT_EQ(sim.bus.OpenHandles(), 0);
  }
}

TEST_F(ServiceJobsTest, SendMemoryBlockWritesWhereItIsTold) {
  ASSERT_EQ(InitStates(), 1);
  Bytes data(512);
  std::iota(data.begin(), data.end(), 0);
  ASSERT_EQ(SendMemoryBlock(0x60000, 512, data.data()), 1);
  EXPECT_EQ(sim.korva.ReadMemory(0x60000, 512), data);
  EXPECT_EQ(sim.korva.PollsTaken(), 1 + 1 + 2);
  EXPECT_EQ(JobStatus.load(), kJobIdle);  // success leaves it alone
  sim.korva.SetFaults({.acknowledgeLimit = 0});
  ASSERT_EQ(InitStates(), 0);
  sim.korva.SetFaults({});
  ASSERT_EQ(InitStates(), 1);
  sim.korva.SetFaults({.writesFailAfter = 2});
  EXPECT_EQ(SendMemoryBlock(0x60000, 512, data.data()), 0);
  EXPECT_EQ(JobStatus.load(), kJobFailedStatus);
}

TEST_F(ServiceJobsTest, AudioWithoutALoadedFileSendsNothing) {
  const auto messages = RunDirect(AudioTransferJob, {}, owner);
  EXPECT_EQ(messages, (std::vector<JobMessage>{{WM_AUDIO_JOB, JOB_FAILED, 0}}));
  EXPECT_EQ(Writes().size(), 2u);
}

TEST_F(ServiceJobsTest, StartJobRefusedInitStatesForTheServiceJobs) {
  sim.korva.SetFaults({.acknowledgeLimit = 0});
  LinkMode.store(kLinkHid);
  for (int kind : {kJobBattery, kJobAudio, kJobBluetooth}) {
    SCOPED_TRACE(kind);
    EXPECT_EQ(StartJob(&owner, kind), 0);
    EXPECT_EQ(JobStatus.load(), kJobRunning);  // the caller resets it
  }
  EXPECT_EQ(prompter.Texts(), std::vector<std::string>(3, kTextInitStatesFailedWide));
  for (const auto& box : prompter.Boxes()) EXPECT_EQ(box.kind, BoxKind::Application);
  EXPECT_EQ(RunningWorkers(), 0);
  EXPECT_TRUE(owner.Messages().empty());
  // No link switch was tried.
  for (const auto& w : Writes()) EXPECT_NE(w.Payload(0), kLinkSwitchCommand);
}

}  // namespace
}  // namespace korva::testing
