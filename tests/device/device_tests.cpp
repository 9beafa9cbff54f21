// The HID transport and the command protocol against the virtual amp, in virtual time.
#include <algorithm>

#include "device/command_protocol.h"
#include "device/device_access.h"
#include "device/hid_transport.h"
#include "images/embedded_images.h"
#include "jobs/start_job.h"
#include "tests/shared/test_support.h"

namespace korva::testing {
namespace {

using TransportTest = KorvaTest;

TEST_F(TransportTest, AbsentDeviceFailsEveryOperationAndLeavesNoHandle) {
  sim.korva.Unplug();
  OtherHidDevice mouse("/dev/hidraw-mouse", 0x046D, 0xC077);
  OtherHidDevice sameVendor("/dev/hidraw-other", kKorvaVendorId, 0x001C);
  sim.bus.Attach(&mouse);
  sim.bus.Attach(&sameVendor);

  HidReport report{};
  std::array<std::uint8_t, kReportLength> buffer;
  buffer.fill(0xAA);
  EXPECT_EQ(OpenDevice(), 0);
  EXPECT_EQ(WriteReport(report, kReportId), 0);
  EXPECT_EQ(ReadReport(buffer.data()), 0);
  EXPECT_EQ(buffer[0], 0);
  EXPECT_EQ(mouse.writes.load() + sameVendor.writes.load(), 0);
  EXPECT_EQ(sim.bus.OpenHandles(), 0);
  sim.bus.Detach(&mouse);
  sim.bus.Detach(&sameVendor);
}

TEST_F(TransportTest, FirstMatchingInterfaceIsUsedAndOneHeldElsewhereCountsAsAbsent) {
  OtherHidDevice second("/dev/hidraw-second", kKorvaVendorId, kKorvaProductId);
  sim.bus.Attach(&second);
  HidReport report{};
  EXPECT_EQ(WriteReport(report, kReportId), 1);
  EXPECT_EQ(sim.korva.Writes().size(), 1u);
  EXPECT_EQ(second.writes.load(), 0);

  // With the first one held by another program, the next one that opens is the device.
  sim.korva.SetFaults({.openedElsewhere = true});
  EXPECT_EQ(WriteReport(report, kReportId), 1);
  EXPECT_EQ(second.writes.load(), 1);
  sim.bus.Detach(&second);
  EXPECT_EQ(IsDevicePresent(), 0);
  EXPECT_EQ(sim.bus.OpenHandles(), 0);
}

TEST_F(TransportTest, PresenceTestsOnATimerLeaveNoHandleBehind) {
  for (int tick = 0; tick < 100; ++tick) {
    ASSERT_EQ(OpenDevice(), 1);
    CloseDevice();
  }
  EXPECT_EQ(sim.bus.OpenHandles(), 0);
  EXPECT_EQ(sim.bus.TotalOpens(), 100);
}

TEST_F(TransportTest, WriteSetsReportIdAndEveryCallOpensAndClosesItsOwnHandle) {
  HidReport report{};
  report.fill(0x5A);
  ASSERT_EQ(WriteReport(report, kReportId), 1);
  ASSERT_EQ(WriteReport(report, kReportId), 1);
  const auto writes = sim.korva.Writes();
  ASSERT_EQ(writes.size(), 2u);
  EXPECT_EQ(writes[0].bytes[0], 0);
  EXPECT_EQ(writes[0].bytes[1], 0x5A);
  EXPECT_EQ(sim.bus.TotalOpens(), 2);
  EXPECT_EQ(sim.bus.OpenHandles(), 0);
}

TEST_F(TransportTest, ReadPutsPayloadFirstAndRepeatsItsLastByte) {
  ASSERT_EQ(InitStates(), 1);  // the amp now streams status reports echoing poll 1
  std::array<std::uint8_t, kReportLength> buffer{};
  ASSERT_EQ(ReadReport(buffer.data()), 1);
  EXPECT_EQ(buffer[kStatusByte], kStatusAcknowledged);
  EXPECT_EQ(buffer[kStatusSequenceByte], 1);
  EXPECT_EQ(buffer[64], buffer[63]);
}

TEST_F(TransportTest, ReadOfASilentDeviceFailsAfterTheLimit) {
  ExpectSilentReadFailsAtTheLimit();
  EXPECT_EQ(sim.bus.OpenHandles(), 0);
}

// The amp is listed once and then opened where it was found; a listing comes back only when
// that open fails, when a device change was reported, or never, with a pinned path.
class PathMemoryTest : public KorvaTest {
 protected:
  static int Write() {
    HidReport report{};
    return WriteReport(report, kReportId);
  }
};

TEST_F(PathMemoryTest, AWholeUpdateListsTheInterfacesOnceAndOpensTheAmpForEveryReport) {
  ASSERT_EQ(LoadEmbeddedImages(), 1);
  ASSERT_EQ(StartJob(&owner, kJobMcu), 1);
  ExpectCompleteRun(owner.WaitForFinal(), WM_MCU_JOB, 752);
  RecordingOwner dspOwner;
  ASSERT_EQ(StartJob(&dspOwner, kJobDsp), 1);
  ASSERT_EQ(dspOwner.WaitForFinal().back().wParam, JOB_DONE);

  EXPECT_EQ(sim.bus.Enumerations(), 1);
  // Still a handle of its own for every report: each write and each read opened the amp.
  EXPECT_EQ(sim.bus.TotalOpens(),
            static_cast<int>(sim.korva.Writes().size()) + sim.korva.PollsTaken());
  EXPECT_EQ(sim.bus.OpenHandles(), 0);
  EXPECT_EQ(sim.korva.CompletedUpdates(), 2);
  EXPECT_TRUE(sim.korva.Violations().empty()) << sim.korva.Violations().front();
}

TEST_F(PathMemoryTest, AnAmpThatMovedIsListedAgainAndFoundAtItsNewPath) {
  ASSERT_EQ(Write(), 1);
  ASSERT_EQ(Write(), 1);
  EXPECT_EQ(sim.bus.Enumerations(), 1);
  sim.korva.Unplug();
  VirtualKorva moved(sim.bus, "/dev/hidraw-korva-again");
  moved.Plug();
  ASSERT_EQ(Write(), 1);
  EXPECT_EQ(moved.Writes().size(), 1u);
  EXPECT_EQ(sim.bus.Enumerations(), 2);
  ASSERT_EQ(Write(), 1);  // and remembered there
  EXPECT_EQ(sim.bus.Enumerations(), 2);
  EXPECT_EQ(sim.bus.OpenHandles(), 0);
}

TEST_F(PathMemoryTest, APathThatAnotherDeviceTookIsNeverWrittenTo) {
  ASSERT_EQ(Write(), 1);
  sim.korva.Unplug();
  // The system hands the amp's path to a keyboard; no listing has happened since.
  OtherHidDevice keyboard("/dev/hidraw-korva", 0x046D, 0xC31C);
  sim.bus.Attach(&keyboard);
  EXPECT_EQ(Write(), 0);
  EXPECT_EQ(IsDevicePresent(), 0);
  EXPECT_EQ(keyboard.writes.load(), 0);
  EXPECT_EQ(sim.bus.Enumerations(), 3);  // the first write, then each miss lists again
  EXPECT_EQ(sim.bus.OpenHandles(), 0);
  sim.bus.Detach(&keyboard);
}

TEST_F(PathMemoryTest, AnotherAmpAtTheRememberedPathIsTakenOnlyAfterAListing) {
  sim.korva.Unplug();
  VirtualKorva first(sim.bus, "/dev/hidraw-bench", "KV-0001");
  first.Plug();
  ASSERT_EQ(Write(), 1);
  first.Unplug();
  VirtualKorva second(sim.bus, "/dev/hidraw-bench", "KV-0002");
  second.Plug();
  // Not the amp that was remembered: the listing decides, and finds the one that is there.
  ASSERT_EQ(Write(), 1);
  EXPECT_EQ(second.Writes().size(), 1u);
  EXPECT_EQ(sim.bus.Enumerations(), 2);
}

TEST_F(PathMemoryTest, ADeviceChangeOrAFailedOpenForgetsThePath) {
  ASSERT_EQ(IsDevicePresent(), 1);
  ASSERT_EQ(IsDevicePresent(), 1);
  EXPECT_EQ(sim.bus.Enumerations(), 1);
  ForgetDevicePath();
  ASSERT_EQ(IsDevicePresent(), 1);
  EXPECT_EQ(sim.bus.Enumerations(), 2);

  // Held by another program: the open by path fails, so the amp is listed again (and again).
  sim.korva.SetFaults({.openedElsewhere = true});
  EXPECT_EQ(IsDevicePresent(), 0);
  EXPECT_EQ(IsDevicePresent(), 0);
  EXPECT_EQ(sim.bus.Enumerations(), 4);
  sim.korva.SetFaults({});
  ASSERT_EQ(IsDevicePresent(), 1);
  ASSERT_EQ(IsDevicePresent(), 1);
  EXPECT_EQ(sim.bus.Enumerations(), 5);
}

TEST_F(PathMemoryTest, ListingCostsTimeOnlyWhenTheAmpMustBeLookedFor) {
  sim.bus.SetEnumerationCostMs(50);
  ASSERT_EQ(InitStates(), 1);
  EXPECT_EQ(clock.NowMs(), 50 + kInitStatesPauseMs + kAckReadPauseMs);
  const auto before = clock.NowMs();
  ASSERT_EQ(ReadVersionRecord(), 1);
  EXPECT_EQ(clock.NowMs() - before, kReadVersionPauseMs);
}

TEST_F(PathMemoryTest, APinnedPathIsTheOnlyOneOpenedAndOnlyForTheAmpFirstSeenThere) {
  VirtualKorva second(sim.bus, "/dev/hidraw-korva2", "KV-0002");
  second.Plug();
  PinDevicePath("/dev/hidraw-korva2");
  ASSERT_EQ(Write(), 1);
  ASSERT_EQ(Write(), 1);
  EXPECT_EQ(second.Writes().size(), 2u);
  EXPECT_TRUE(sim.korva.Writes().empty());
  EXPECT_EQ(sim.bus.Enumerations(), 0);

  // Gone: the other amp is not taken instead.
  second.Unplug();
  EXPECT_EQ(Write(), 0);
  EXPECT_TRUE(sim.korva.Writes().empty());
  // Another amp at the pinned path is not the one the pin meant.
  VirtualKorva stranger(sim.bus, "/dev/hidraw-korva2", "KV-0003");
  stranger.Plug();
  EXPECT_EQ(Write(), 0);
  EXPECT_TRUE(stranger.Writes().empty());
  EXPECT_EQ(CheckDeviceAccess().access, DeviceAccess::Absent);

  // A new pin starts afresh; installing a backend unpins.
  PinDevicePath("/dev/hidraw-korva2");
  EXPECT_EQ(Write(), 1);
  EXPECT_EQ(PinnedDevicePath(), "/dev/hidraw-korva2");
  SetHidBackend(&sim.bus);
  EXPECT_EQ(PinnedDevicePath(), "");
  EXPECT_EQ(sim.bus.OpenHandles(), 0);
}

TEST_F(PathMemoryTest, AccessAndTheListTellEveryAmpApartAndHonourThePin) {
  VirtualKorva second(sim.bus, "/dev/hidraw-korva2", "KV-0002");
  second.Plug();
  second.SetFaults({.permissionDenied = true});
  OtherHidDevice mouse("/dev/hidraw-mouse", 0x046D, 0xC077);
  sim.bus.Attach(&mouse);

  const std::vector<DeviceAccessReport> amps = ListKorvas();
  ASSERT_EQ(amps.size(), 2u);
  EXPECT_EQ(amps[0].path, "/dev/hidraw-korva");
  EXPECT_EQ(amps[0].access, DeviceAccess::Ready);
  EXPECT_EQ(amps[0].serialNumber, "");
  EXPECT_EQ(amps[1].path, "/dev/hidraw-korva2");
  EXPECT_EQ(amps[1].access, DeviceAccess::PermissionDenied);
  EXPECT_EQ(amps[1].serialNumber, "KV-0002");
  EXPECT_EQ(CheckDeviceAccess().path, "/dev/hidraw-korva");

  PinDevicePath("/dev/hidraw-korva2");
  const DeviceAccessReport pinned = CheckDeviceAccess();
  EXPECT_EQ(pinned.access, DeviceAccess::PermissionDenied);
  EXPECT_EQ(pinned.path, "/dev/hidraw-korva2");
  ASSERT_EQ(ListKorvas().size(), 1u);
  EXPECT_EQ(ListKorvas()[0].path, "/dev/hidraw-korva2");
  second.SetFaults({});
  const DeviceAccessReport ready = CheckDeviceAccess();
  EXPECT_EQ(ready.access, DeviceAccess::Ready);
  EXPECT_EQ(ready.serialNumber, "KV-0002");
  PinDevicePath("/dev/hidraw-mouse");
  EXPECT_EQ(CheckDeviceAccess().access, DeviceAccess::Absent);
  EXPECT_TRUE(ListKorvas().empty());
  EXPECT_EQ(mouse.writes.load(), 0);
  EXPECT_EQ(sim.bus.OpenHandles(), 0);
  sim.bus.Detach(&mouse);
}

// The bus as a backend that cannot tell what an open handle leads to (hidapi before 0.13, or
// its lookup failing): every handle's Identity() is nothing.
class UnnamingBackend final : public HidBackend {
 public:
  explicit UnnamingBackend(HidBackend& bus) : bus_(bus) {}
  std::vector<HidInterfaceInfo> Enumerate() override { return bus_.Enumerate(); }
  std::unique_ptr<HidHandle> Open(const std::string& path) override {
    std::unique_ptr<HidHandle> handle = bus_.Open(path);
    if (!handle) return nullptr;
    return std::make_unique<Unnamed>(std::move(handle));
  }

 private:
  class Unnamed final : public HidHandle {
   public:
    explicit Unnamed(std::unique_ptr<HidHandle> handle) : handle_(std::move(handle)) {}
    std::optional<HidInterfaceInfo> Identity() override { return std::nullopt; }
    int Write(const std::uint8_t* data, std::size_t length, int timeoutMs) override {
      return handle_->Write(data, length, timeoutMs);
    }
    int Read(std::uint8_t* data, std::size_t length, int timeoutMs) override {
      return handle_->Read(data, length, timeoutMs);
    }

   private:
    std::unique_ptr<HidHandle> handle_;
  };
  HidBackend& bus_;
};

// A pinned path (a typo leading to a keyboard) whose handle cannot name its device is sent
// nothing unless a fresh listing names it as the KORVA; the amp's own path still works.
TEST_F(PathMemoryTest, APinnedPathThatCannotBeNamedIsCheckedAgainstAListing) {
  OtherHidDevice keyboard;  // at /dev/hidraw-keyboard
  sim.bus.Attach(&keyboard);
  UnnamingBackend unnaming(sim.bus);
  SetHidBackend(&unnaming);
  PinDevicePath("/dev/hidraw-keyboard");
  EXPECT_EQ(Write(), 0);
  EXPECT_EQ(InitStates(), 0);
  EXPECT_EQ(CheckDeviceAccess().access, DeviceAccess::Absent);
  EXPECT_EQ(keyboard.writes, 0);

  PinDevicePath("/dev/hidraw-korva");
  EXPECT_EQ(Write(), 1);
  EXPECT_EQ(sim.korva.Writes().size(), 1u);
  SetHidBackend(&sim.bus);
  sim.bus.Detach(&keyboard);
  EXPECT_EQ(sim.bus.OpenHandles(), 0);
}

using ProtocolTest = KorvaTest;

TEST_F(ProtocolTest, InitStatesOnTheWire) {
  ASSERT_EQ(InitStates(), 1);
  const auto writes = sim.korva.Writes();
  ASSERT_EQ(writes.size(), 2u);
  EXPECT_EQ(std::string(writes[0].bytes.begin() + 1, writes[0].bytes.begin() + 8), "INITSTA");
  EXPECT_EQ(writes[1].bytes[1], 0x01);  // the first poll after start carries 1
  EXPECT_EQ(writes[1].timeMs - writes[0].timeMs, kInitStatesPauseMs);
  EXPECT_EQ(clock.NowMs(), kInitStatesPauseMs + kAckReadPauseMs);
  EXPECT_TRUE(sim.korva.Violations().empty());
}

// Acknowledges every poll at once. Bare polls outside a job cannot be told from commands by
// the amp (a poll numbered 255 reads as 0xFF 0x00), so this device stands in for it here.
class EchoDevice : public VirtualHidDevice {
 public:
  HidInterfaceInfo Info() const override {
    return {"/dev/hidraw-echo", kKorvaVendorId, kKorvaProductId};
  }
  bool OnWrite(const std::uint8_t* data, std::size_t) override {
    sequences.push_back(data[1]);
    return true;
  }
  int OnRead(std::uint8_t* data, std::size_t) override {
    data[kStatusByte] = kStatusAcknowledged;
    data[kStatusSequenceByte] = sequences.back();
    return static_cast<int>(kPayloadLength);
  }
  std::vector<std::uint8_t> sequences;
};

TEST_F(ProtocolTest, SequenceNumberWrapsFrom255To1) {
  sim.korva.Unplug();
  EchoDevice echo;
  sim.bus.Attach(&echo);
  for (int i = 1; i <= 256; ++i) ASSERT_EQ(WaitForAck(), 1) << "poll " << i;
  EXPECT_EQ(echo.sequences[254], 255);
  EXPECT_EQ(echo.sequences[255], 1);
  EXPECT_EQ(std::count(echo.sequences.begin(), echo.sequences.end(), 0), 0);
  sim.bus.Detach(&echo);
}

TEST_F(ProtocolTest, AcknowledgementRuleCornerCases) {
  ASSERT_EQ(InitStates(), 1);
  struct Case {
    const char* name;
    VirtualKorva::Faults faults;
    int expectedMs;  // time spent in WaitForAck
  };
  const Case cases[] = {
      {"status 0 on every read: five reads, then 0", {.statusValue = 0}, 5 * kAckReadPauseMs},
      {"right number but status 2 is no acknowledgement", {.statusValue = 2}, 5 * kAckReadPauseMs},
      {"an older sequence number is skipped", {.staleSequence = true}, 5 * kAckReadPauseMs},
      {"a read that times out ends the wait at once",
       {.readsTimeOut = true},
       kAckReadPauseMs + kReportTimeoutMs},
  };
  for (const Case& c : cases) {
    sim.korva.SetFaults(c.faults);
    const auto before = clock.NowMs();
    EXPECT_EQ(WaitForAck(), 0) << c.name;
    EXPECT_EQ(clock.NowMs() - before, c.expectedMs) << c.name;
  }
  // The failed polls still used their numbers: the next poll carries the next one.
  sim.korva.SetFaults({});
  EXPECT_EQ(WaitForAck(), 1);
  EXPECT_EQ(sim.korva.Writes().back().bytes[1], 6);
  EXPECT_EQ(sim.bus.OpenHandles(), 0);
}

TEST_F(ProtocolTest, SendValueWithAckCarriesTheValueLowByteFirst) {
  ASSERT_EQ(InitStates(), 1);
  SendValueWithAck(0x51234);  // only the low 16 bits count
  const auto poll = sim.korva.Writes().back();
  EXPECT_EQ(poll.Payload(0), 2);
  EXPECT_EQ(poll.Payload(1), 0x34);
  EXPECT_EQ(poll.Payload(2), 0x12);
}

TEST_F(ProtocolTest, ReadVersionRecordFillsTheRecordAndKeepsItWhenNoReplyComes) {
  ASSERT_EQ(InitStates(), 1);
  ASSERT_EQ(ReadVersionRecord(), 1);
  const auto rv = sim.korva.Writes().back();
  EXPECT_EQ(rv.Payload(0), 'R');
  EXPECT_EQ(rv.Payload(1), 'V');
  for (std::size_t k = 2; k < kPayloadLength; ++k) ASSERT_EQ(rv.Payload(k), 0) << k;
  ASSERT_TRUE(RebuildDeviceVersionText());
  EXPECT_EQ(ToString(DeviceVersionText()), "Ver1.36.192");

  sim.korva.SetFaults({.readsTimeOut = true});
  sim.korva.SetVersions("9.99", "999");
  EXPECT_EQ(ReadVersionRecord(), 0);
  const VersionRecord kept = DeviceVersionRecord();
  EXPECT_EQ(std::string(kept.mcuVersion.data(), 4), "1.36");
  EXPECT_TRUE(sim.korva.Violations().empty());
}

TEST_F(ProtocolTest, ARecordWithoutVersionLeavesTheTextAsItWas) {
  EXPECT_EQ(ToString(DeviceVersionText()), std::string(kVersionTextLength, '\0'));
  sim.korva.SetVersions("1.38", "250", kVersionFlagsNoVersion);
  ASSERT_EQ(InitStates(), 1);
  ASSERT_EQ(ReadVersionRecord(), 1);
  EXPECT_TRUE(DeviceVersionRecord().HasNoVersion());
  EXPECT_FALSE(RebuildDeviceVersionText());
  EXPECT_EQ(ToString(DeviceVersionText()), std::string(kVersionTextLength, '\0'));
}

TEST_F(ProtocolTest, InitStatesFailsWhenTheDeviceIsGoneOrSilent) {
  sim.korva.Unplug();
  EXPECT_EQ(InitStates(), 0);
  sim.korva.Plug();
  sim.korva.SetFaults({.acknowledgeLimit = 0});
  EXPECT_EQ(InitStates(), 0);
  EXPECT_EQ(sim.bus.OpenHandles(), 0);
}

}  // namespace
}  // namespace korva::testing
