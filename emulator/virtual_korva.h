// A strict model of the KORVA's side of the HID protocol, written from the command table and
// the job sequences. It acknowledges polls by echoing their sequence number, answers "RV",
// takes the MCU, DSP, battery and memory-write sequences into its own memories, reports new
// versions once an MCU or DSP update has ended, checks the battery sums, hands its link to
// the Bluetooth module on "UB", and records every protocol violation it sees, including a
// host that does not wait the protocol's pauses. Fault knobs make it misbehave on purpose.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "device/protocol.h"
#include "emulator/virtual_hid_bus.h"

namespace korva {

// Where the virtual KORVA shows up unless a bench of several asks for other paths.
inline constexpr const char* kVirtualKorvaPath = "/dev/hidraw-korva";

class VirtualKorva final : public VirtualHidDevice {
 public:
  struct Faults {
    bool openedElsewhere = false;   // the interface cannot be opened: another program holds it
    bool permissionDenied = false;  // the interface cannot be opened: the user lacks the right
    // Counted from the moment the faults are set:
    int unplugAfterDataReports = -1;  // vanishes once it has taken this many data reports
    int writesFailAfter = -1;         // takes this many output reports, then every write fails
    // These hold from the output report numbered `fromWrite` on (1: the first one after the
    // faults were set; 0: at once), so that a fault can hit one chosen phase of a job:
    int fromWrite = 0;
    bool unplug = false;        // vanishes as that report arrives, which then fails
    int acknowledgeLimit = -1;  // acknowledges this many polls, then answers status 0
    std::uint8_t statusValue = kStatusAcknowledged;  // status given to an accepted poll
    bool staleSequence = false;                      // echoes the poll before the last one
    bool readsTimeOut = false;                       // no input report ever comes
    bool writesFail = false;                         // every output report fails
  };

  // How the device took a report it was sent.
  enum class Took { Command, Poll, Data };

  // One report the host wrote, with the virtual time at which it arrived.
  struct WireReport {
    std::int64_t timeMs;
    HidReport bytes;
    Took took = Took::Command;
    std::uint8_t Payload(std::size_t k) const { return bytes[k + 1]; }
  };

  // `serialNumber` empty: the amp reports none.
  explicit VirtualKorva(VirtualHidBus& bus, std::string path = kVirtualKorvaPath,
                        std::string serialNumber = "");
  ~VirtualKorva() override;
  VirtualKorva(const VirtualKorva&) = delete;
  VirtualKorva& operator=(const VirtualKorva&) = delete;

  // Plugging in is a power-up: the protocol state starts afresh. Memories are kept.
  void Plug();
  void Unplug();
  bool Plugged() const;

  void SetFaults(const Faults& faults);
  Faults CurrentFaults() const;
  void SetVersions(const std::string& mcu4, const std::string& dsp3, std::uint8_t stateFlags = 0);
  std::string McuVersion() const;
  std::string DspVersion() const;

  // Called (outside the device's lock) when "UB" hands the link to the Bluetooth module.
  void SetLinkSwitchHandler(std::function<void()> handler);

  // What the device holds after completed transfers.
  std::vector<std::uint8_t> McuMemory() const;      // application bytes, whole KiB blocks
  std::vector<std::uint8_t> DspHeader() const;      // the 16 header bytes
  std::vector<std::uint8_t> DspMemory() const;      // data reports, whole 64-byte reports
  std::vector<std::uint8_t> BatteryMemory() const;  // data reports, whole 64-byte reports
  // Bytes written by memory-write sequences, by device address (unwritten bytes read 0xFF).
  std::vector<std::uint8_t> ReadMemory(std::uint32_t address, std::size_t length) const;
  int CompletedUpdates() const;

  std::vector<WireReport> Writes() const;
  std::vector<std::string> Violations() const;
  int DataReportsTaken() const;
  int PollsTaken() const;
  void ClearLog();

  // VirtualHidDevice
  HidInterfaceInfo Info() const override;
  bool CanOpen() const override;
  HidOpenProblem OpenProblem() const override;
  bool OnWrite(const std::uint8_t* data, std::size_t length) override;
  int OnRead(std::uint8_t* data, std::size_t length) override;

 private:
  enum class Phase {
    Idle,        // needs "INITSTA"
    Ready,       // takes "RV" or a job's opening command
    McuOpened,   // after 0xFF 0x00
    McuOpened2,  // after 0xFF 0x01
    McuData,
    McuEnd,     // all blocks taken; expects 0xFF 0x04
    DspOpened,  // after 0x55 0xF1
    DspHeader,
    DspData,
    DspEnd,
    BatteryOpened,
    BatteryData,
    BatteryEnd,
    MemoryOpened,
    MemoryData,
    MemoryEnd,
    LinkSwitchRequested,  // "UA" acknowledged; expects "UB"
  };
  // What an accepted poll leads to.
  enum class AfterPoll { Nothing, Initialised, ToData, ToHeaderDone, DataChunk, LinkSwitch };

  void Violation(const std::string& what);
  void ExpectPoll(AfterPoll after, int minimumGapMs, bool withValue = false);
  void TakePoll(const std::uint8_t* payload);
  void TakeCommand(const std::uint8_t* payload);
  void TakeData(const std::uint8_t* payload);
  bool ExpectPhase(Phase phase, const char* command);
  // Counts one arriving output report and arms the faults at their report.
  void Arrive();
  void FinishMcu();
  void FinishDsp();
  void StartFresh();

  VirtualHidBus& bus_;
  std::string path_;
  std::string serialNumber_;
  mutable std::mutex mutex_;
  Faults faults_;

  std::string mcuVersion_ = "1.38";
  std::string dspVersion_ = "250";
  std::uint8_t stateFlags_ = 0;

  Phase phase_ = Phase::Idle;
  bool initialised_ = false;
  bool expectPoll_ = false;
  bool expectValue_ = false;
  AfterPoll afterPoll_ = AfterPoll::Nothing;
  bool versionReplyPending_ = false;
  bool lastPollAccepted_ = false;
  std::uint8_t lastSequence_ = 0;
  std::uint8_t previousSequence_ = 0;
  int pollsTaken_ = 0;
  int pollsAcknowledged_ = 0;
  int faultDataBase_ = 0;  // data reports taken when the faults were set
  int faultAckBase_ = 0;   // polls acknowledged when the faults were set
  int writesTaken_ = 0;
  int faultWriteBase_ = 0;  // output reports taken when the faults were set
  int writesArrived_ =
      0;                // output reports that arrived since the faults were set, refused ones too
  bool armed_ = false;  // the faults of `fromWrite` on hold
  bool unpluggedByFault_ = false;
  bool sequenceKnown_ = false;
  bool switchedToBluetooth_ = false;
  std::int64_t lastActivityMs_ = 0;
  int requiredGapMs_ = 0;
  int requiredReadGapMs_ = 0;
  const char* gapReason_ = "";

  // The transfer in progress.
  int expectedReports_ = 0;
  int reportsInTransfer_ = 0;
  int reportsPerAck_ = 0;
  std::vector<std::uint8_t> incoming_;
  std::vector<std::uint8_t> incomingHeader_;
  std::uint32_t runningSum_ = 0;
  std::uint32_t memoryAddress_ = 0;

  std::vector<std::uint8_t> mcuMemory_;
  std::vector<std::uint8_t> dspHeader_;
  std::vector<std::uint8_t> dspMemory_;
  std::vector<std::uint8_t> batteryMemory_;
  std::map<std::uint32_t, std::uint8_t> memory_;
  int completedUpdates_ = 0;

  int dataReportsTaken_ = 0;
  std::vector<WireReport> writes_;
  std::vector<std::string> violations_;
  std::function<void()> linkSwitchHandler_;
};

}  // namespace korva
