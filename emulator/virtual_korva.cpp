// The virtual KORVA's protocol state machine.
#include "emulator/virtual_korva.h"

#include <algorithm>
#include <cstring>

namespace korva {
namespace {

bool StartsWith(const std::uint8_t* payload, const std::uint8_t* text, std::size_t length) {
  return std::memcmp(payload, text, length) == 0;
}

std::uint8_t NextSequence(std::uint8_t s) {
  return s == 255 ? 1 : static_cast<std::uint8_t>(s + 1);
}

std::uint32_t LittleEndian32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// Where the device keeps the MCU and DSP version characters of an image it has taken.
constexpr std::size_t kAppMarkerAt = 0x10;
constexpr std::size_t kAppVersionAt = 0x14;
constexpr std::size_t kDspMarkerAt = 4;
constexpr std::size_t kDspVersionAt = 0x0A;

}  // namespace

VirtualKorva::VirtualKorva(VirtualHidBus& bus, std::string path, std::string serialNumber)
    : bus_(bus), path_(std::move(path)), serialNumber_(std::move(serialNumber)) {}

VirtualKorva::~VirtualKorva() { bus_.Detach(this); }

void VirtualKorva::Plug() {
  {
    std::lock_guard lock(mutex_);
    StartFresh();
    sequenceKnown_ = false;  // a device that powers up has seen no poll yet
  }
  bus_.Attach(this);
}

void VirtualKorva::Unplug() { bus_.Detach(this); }

bool VirtualKorva::Plugged() const { return bus_.IsAttached(this); }

void VirtualKorva::StartFresh() {
  phase_ = Phase::Idle;
  initialised_ = false;
  expectPoll_ = false;
  expectValue_ = false;
  versionReplyPending_ = false;
  lastPollAccepted_ = false;
  lastSequence_ = 0;
  previousSequence_ = 0;
  requiredGapMs_ = 0;
  requiredReadGapMs_ = 0;
  incoming_.clear();
  incomingHeader_.clear();
}

void VirtualKorva::SetFaults(const Faults& faults) {
  std::lock_guard lock(mutex_);
  faults_ = faults;
  // The counting knobs count from now.
  faultDataBase_ = dataReportsTaken_;
  faultAckBase_ = pollsAcknowledged_;
  faultWriteBase_ = writesTaken_;
  writesArrived_ = 0;
  armed_ = faults.fromWrite <= 0;
  unpluggedByFault_ = false;
}

void VirtualKorva::Arrive() {
  ++writesArrived_;
  if (!armed_ && writesArrived_ >= faults_.fromWrite) {
    armed_ = true;
    faultAckBase_ = pollsAcknowledged_;  // the acknowledgement limit counts from here
  }
}

VirtualKorva::Faults VirtualKorva::CurrentFaults() const {
  std::lock_guard lock(mutex_);
  return faults_;
}

void VirtualKorva::SetVersions(const std::string& mcu4, const std::string& dsp3,
                               std::uint8_t stateFlags) {
  std::lock_guard lock(mutex_);
  mcuVersion_ = mcu4;
  dspVersion_ = dsp3;
  stateFlags_ = stateFlags;
}

std::string VirtualKorva::McuVersion() const {
  std::lock_guard lock(mutex_);
  return mcuVersion_;
}

std::string VirtualKorva::DspVersion() const {
  std::lock_guard lock(mutex_);
  return dspVersion_;
}

void VirtualKorva::SetLinkSwitchHandler(std::function<void()> handler) {
  std::lock_guard lock(mutex_);
  linkSwitchHandler_ = std::move(handler);
}

std::vector<std::uint8_t> VirtualKorva::McuMemory() const {
  std::lock_guard lock(mutex_);
  return mcuMemory_;
}
std::vector<std::uint8_t> VirtualKorva::DspHeader() const {
  std::lock_guard lock(mutex_);
  return dspHeader_;
}
std::vector<std::uint8_t> VirtualKorva::DspMemory() const {
  std::lock_guard lock(mutex_);
  return dspMemory_;
}
std::vector<std::uint8_t> VirtualKorva::BatteryMemory() const {
  std::lock_guard lock(mutex_);
  return batteryMemory_;
}

std::vector<std::uint8_t> VirtualKorva::ReadMemory(std::uint32_t address,
                                                   std::size_t length) const {
  std::lock_guard lock(mutex_);
  std::vector<std::uint8_t> bytes(length, 0xFF);
  for (std::size_t i = 0; i < length; ++i) {
    auto it = memory_.find(address + static_cast<std::uint32_t>(i));
    if (it != memory_.end()) bytes[i] = it->second;
  }
  return bytes;
}

int VirtualKorva::CompletedUpdates() const {
  std::lock_guard lock(mutex_);
  return completedUpdates_;
}

std::vector<VirtualKorva::WireReport> VirtualKorva::Writes() const {
  std::lock_guard lock(mutex_);
  return writes_;
}

std::vector<std::string> VirtualKorva::Violations() const {
  std::lock_guard lock(mutex_);
  return violations_;
}

int VirtualKorva::DataReportsTaken() const {
  std::lock_guard lock(mutex_);
  return dataReportsTaken_;
}

int VirtualKorva::PollsTaken() const {
  std::lock_guard lock(mutex_);
  return pollsTaken_;
}

void VirtualKorva::ClearLog() {
  std::lock_guard lock(mutex_);
  writes_.clear();
  violations_.clear();
}

HidInterfaceInfo VirtualKorva::Info() const {
  return {path_, kKorvaVendorId, kKorvaProductId, serialNumber_};
}

bool VirtualKorva::CanOpen() const {
  std::lock_guard lock(mutex_);
  return !faults_.openedElsewhere && !faults_.permissionDenied;
}

HidOpenProblem VirtualKorva::OpenProblem() const {
  std::lock_guard lock(mutex_);
  if (faults_.permissionDenied) return HidOpenProblem::PermissionDenied;
  if (faults_.openedElsewhere) return HidOpenProblem::HeldElsewhere;
  return HidOpenProblem::None;
}

void VirtualKorva::Violation(const std::string& what) { violations_.push_back(what); }

void VirtualKorva::ExpectPoll(AfterPoll after, int minimumGapMs, bool withValue) {
  expectPoll_ = true;
  expectValue_ = withValue;
  afterPoll_ = after;
  requiredGapMs_ = minimumGapMs;
  gapReason_ = "pause before the acknowledgement poll";
}

bool VirtualKorva::ExpectPhase(Phase phase, const char* command) {
  if (phase_ == phase) return true;
  Violation(std::string(command) + " out of sequence");
  return false;
}

bool VirtualKorva::OnWrite(const std::uint8_t* data, std::size_t length) {
  bool detach = false;
  bool refused = false;
  std::function<void()> switchHandler;
  {
    std::lock_guard lock(mutex_);
    Arrive();
    if (armed_ && faults_.unplug && !unpluggedByFault_) {
      unpluggedByFault_ = true;  // plugged in again, it stays
      detach = true;
    }
    refused =
        detach || (armed_ && faults_.writesFail) ||
        (faults_.writesFailAfter >= 0 && writesTaken_ - faultWriteBase_ >= faults_.writesFailAfter);
    if (refused) sequenceKnown_ = false;  // the host's poll numbers move on without the device
  }
  if (refused) {
    if (detach) bus_.Detach(this);
    return false;
  }
  {
    std::lock_guard lock(mutex_);
    ++writesTaken_;
    const std::int64_t now = bus_.BusClock().NowMs();
    if (length != kReportLength) Violation("output report of " + std::to_string(length) + " bytes");
    if (data[0] != kReportId) Violation("output report with report ID " + std::to_string(data[0]));
    if (now - lastActivityMs_ < requiredGapMs_) {
      Violation(std::string(gapReason_) + ": " + std::to_string(now - lastActivityMs_) +
                " ms instead of " + std::to_string(requiredGapMs_));
    }
    requiredGapMs_ = 0;
    lastActivityMs_ = now;
    WireReport wire{now, {}};
    std::copy_n(data, std::min(length, kReportLength), wire.bytes.begin());
    writes_.push_back(wire);
    const std::uint8_t* payload = wire.bytes.data() + 1;

    const int takenBefore = dataReportsTaken_;
    const int pollsBefore = pollsTaken_;
    const Phase before = phase_;
    if (StartsWith(payload, kInitStatesText.data(), kInitStatesText.size())) {
      // "INITSTA" starts the device afresh from any state: a retry after a failed job relies on it.
      const bool known = sequenceKnown_;
      const std::uint8_t last = lastSequence_;
      StartFresh();
      sequenceKnown_ = known;
      lastSequence_ = last;
      ExpectPoll(AfterPoll::Initialised, kInitStatesPauseMs);
    } else if (expectPoll_) {
      TakePoll(payload);
    } else if (phase_ == Phase::McuData || phase_ == Phase::DspHeader || phase_ == Phase::DspData ||
               phase_ == Phase::BatteryData || phase_ == Phase::MemoryData) {
      TakeData(payload);
    } else {
      TakeCommand(payload);
    }
    writes_.back().took = dataReportsTaken_ != takenBefore ? Took::Data
                          : pollsTaken_ != pollsBefore     ? Took::Poll
                                                           : Took::Command;
    const int unplugAt = faultDataBase_ + faults_.unplugAfterDataReports;
    if (faults_.unplugAfterDataReports >= 0 && takenBefore < unplugAt &&
        dataReportsTaken_ >= unplugAt) {
      detach = true;
    }
    if (before == Phase::LinkSwitchRequested && phase_ == Phase::Idle && switchedToBluetooth_) {
      switchedToBluetooth_ = false;
      detach = true;
      switchHandler = linkSwitchHandler_;
    }
  }
  if (detach) bus_.Detach(this);
  if (switchHandler) switchHandler();
  return true;
}

void VirtualKorva::TakePoll(const std::uint8_t* payload) {
  expectPoll_ = false;
  const std::uint8_t sequence = payload[kPollSequenceByte];
  ++pollsTaken_;
  if (sequence == 0) Violation("poll with sequence number 0");
  if (sequenceKnown_ && sequence != NextSequence(lastSequence_)) {
    Violation("poll sequence number " + std::to_string(sequence) + " after " +
              std::to_string(lastSequence_));
  }
  sequenceKnown_ = true;
  previousSequence_ = lastSequence_;
  lastSequence_ = sequence;

  bool accepted = true;
  if (expectValue_) {
    const unsigned value = payload[kPollValueLowByte] | payload[kPollValueHighByte] << 8;
    if (value != (runningSum_ & 0xFFFF)) {
      Violation("battery sum " + std::to_string(value) + " instead of " +
                std::to_string(runningSum_ & 0xFFFF));
      accepted = false;
    }
    runningSum_ = 0;
  }
  if (armed_ && faults_.acknowledgeLimit >= 0 &&
      pollsAcknowledged_ - faultAckBase_ >= faults_.acknowledgeLimit) {
    accepted = false;
  }
  if (accepted) ++pollsAcknowledged_;
  lastPollAccepted_ = accepted;
  requiredReadGapMs_ = kAckReadPauseMs;

  const Phase endPhase = phase_ == Phase::McuData       ? Phase::McuEnd
                         : phase_ == Phase::DspData     ? Phase::DspEnd
                         : phase_ == Phase::BatteryData ? Phase::BatteryEnd
                         : phase_ == Phase::MemoryData  ? Phase::MemoryEnd
                                                        : phase_;
  switch (afterPoll_) {
    case AfterPoll::Nothing:
      break;
    case AfterPoll::Initialised:
      initialised_ = true;
      phase_ = Phase::Ready;
      break;
    case AfterPoll::ToData:
      if (phase_ == Phase::McuOpened2)
        phase_ = expectedReports_ > 0 ? Phase::McuData : Phase::McuEnd;
      else if (phase_ == Phase::DspOpened)
        phase_ = Phase::DspHeader;
      else if (phase_ == Phase::BatteryOpened) {
        phase_ = expectedReports_ > 0 ? Phase::BatteryData : Phase::BatteryEnd;
        requiredGapMs_ = kBatteryBeforeDataPauseMs;
        gapReason_ = "pause before the first battery data report";
      } else if (phase_ == Phase::MemoryOpened)
        phase_ = expectedReports_ > 0 ? Phase::MemoryData : Phase::MemoryEnd;
      break;
    case AfterPoll::ToHeaderDone:
      phase_ = expectedReports_ > 0 ? Phase::DspData : Phase::DspEnd;
      requiredGapMs_ = kDspAfterHeaderPauseMs;
      gapReason_ = "pause after the DSP header acknowledgement";
      break;
    case AfterPoll::DataChunk:
      if (reportsInTransfer_ >= expectedReports_) phase_ = endPhase;
      break;
    case AfterPoll::LinkSwitch:
      phase_ = Phase::LinkSwitchRequested;
      break;
  }
  afterPoll_ = AfterPoll::Nothing;
}

void VirtualKorva::TakeCommand(const std::uint8_t* payload) {
  const std::uint8_t command = payload[kCommandByte];
  const std::uint8_t sub = payload[kSubcommandByte];

  if (StartsWith(payload, kReadVersionText.data(), kReadVersionText.size())) {
    if (!initialised_ || phase_ != Phase::Ready)
      Violation("\"RV\" before an acknowledged \"INITSTA\"");
    for (std::size_t i = kReadVersionText.size(); i < kPayloadLength; ++i) {
      if (payload[i] != 0) {
        Violation("\"RV\" with a non-zero byte " + std::to_string(i));
        break;
      }
    }
    versionReplyPending_ = true;
    requiredReadGapMs_ = kReadVersionPauseMs;
    return;
  }
  if (!initialised_) {
    Violation("command " + std::to_string(command) + "," + std::to_string(sub) +
              " before \"INITSTA\"");
    return;
  }

  if (command == kMcuCommand) {
    if (sub == kMcuOpenStep1 && ExpectPhase(Phase::Ready, "0xFF 0x00")) {
      phase_ = Phase::McuOpened;
      requiredGapMs_ = kMcuOpenPauseMs;
      gapReason_ = "pause after 0xFF 0x00";
    } else if (sub == kMcuOpenStep2 && ExpectPhase(Phase::McuOpened, "0xFF 0x01")) {
      phase_ = Phase::McuOpened2;
      requiredGapMs_ = kMcuOpenPauseMs;
      gapReason_ = "pause after 0xFF 0x01";
    } else if (sub == kMcuSize && ExpectPhase(Phase::McuOpened2, "0xFF 0x02")) {
      expectedReports_ = payload[kMcuSizeBlocksByte] * static_cast<int>(kMcuReportsPerAck);
      reportsInTransfer_ = 0;
      reportsPerAck_ = static_cast<int>(kMcuReportsPerAck);
      incoming_.clear();
      ExpectPoll(AfterPoll::ToData, kMcuSizeAckPauseMs);
    } else if (sub == kMcuEnd && ExpectPhase(Phase::McuEnd, "0xFF 0x04")) {
      FinishMcu();
    } else if (sub != kMcuOpenStep1 && sub != kMcuOpenStep2 && sub != kMcuSize && sub != kMcuEnd) {
      Violation("unknown MCU command " + std::to_string(sub));
    }
    return;
  }

  if (command == kDspCommand && sub == kDspBegin) {
    if (ExpectPhase(Phase::Ready, "0x55 0xF1")) {
      phase_ = Phase::DspOpened;
      requiredGapMs_ = kDspOpenPauseMs;
      gapReason_ = "pause after 0x55 0xF1";
    }
  } else if (command == kDspCommand && sub == kDspSize) {
    if (ExpectPhase(Phase::DspOpened, "0x55 0xF2")) {
      expectedReports_ = payload[kDspCountLowByte] | payload[kDspCountHighByte] << 8;
      reportsInTransfer_ = 0;
      reportsPerAck_ = static_cast<int>(kReportsPerAckChunk);
      incoming_.clear();
      // The host pauses data length / 100 ms; the shortest data those reports can carry is
      // one byte into the last report.
      const int shortest =
          expectedReports_ > 0 ? (expectedReports_ - 1) * static_cast<int>(kPayloadLength) + 1 : 0;
      ExpectPoll(AfterPoll::ToData, shortest / kDspSizePauseDivisor);
    }
  } else if (command == kDspCommand && sub == kDspEnd) {
    if (ExpectPhase(Phase::DspEnd, "0x55 0xF3")) FinishDsp();
  } else if (command == kLinkSwitchCommand && sub == kLinkSwitchRequest) {
    if (ExpectPhase(Phase::Ready, "\"UA\"")) {
      ExpectPoll(AfterPoll::LinkSwitch, kLinkSwitchRequestPauseMs);
    }
  } else if (command == kLinkSwitchCommand && sub == kLinkSwitchExecute) {
    if (ExpectPhase(Phase::LinkSwitchRequested, "\"UB\"")) {
      phase_ = Phase::Idle;
      initialised_ = false;
      switchedToBluetooth_ = true;
    }
  } else if (command == kBatteryCommand && sub == kBatteryBegin) {
    if (ExpectPhase(Phase::Ready, "0x66 0xF1")) {
      phase_ = Phase::BatteryOpened;
      requiredGapMs_ = kBatteryCommandPauseMs;
      gapReason_ = "pause after 0x66 0xF1";
    }
  } else if (command == kBatteryCommand && sub == kBatterySize) {
    if (ExpectPhase(Phase::BatteryOpened, "0x66 0xF2")) {
      expectedReports_ = payload[kBatteryCountHighByte] << 8 | payload[kBatteryCountLowByte];
      reportsInTransfer_ = 0;
      reportsPerAck_ = static_cast<int>(kReportsPerAckChunk);
      runningSum_ = 0;
      incoming_.clear();
      ExpectPoll(AfterPoll::ToData, kBatteryCommandPauseMs);
    }
  } else if (command == kBatteryCommand && sub == kBatteryEnd) {
    if (ExpectPhase(Phase::BatteryEnd, "0x66 0xF3")) {
      batteryMemory_ = incoming_;
      ++completedUpdates_;
      phase_ = Phase::Ready;
    }
  } else if (command == kMemoryCommand && sub == kMemoryBegin) {
    if (ExpectPhase(Phase::Ready, "0x77 0xF1")) {
      phase_ = Phase::MemoryOpened;
      requiredGapMs_ = kMemoryCommandPauseMs;
      gapReason_ = "pause after 0x77 0xF1";
    }
  } else if (command == kMemoryCommand && sub == kMemoryWindow) {
    if (ExpectPhase(Phase::MemoryOpened, "0x77 0xF2")) {
      memoryAddress_ = LittleEndian32(payload + kMemoryAddressByte);
      const std::uint32_t length = LittleEndian32(payload + kMemoryLengthByte);
      if (length % kPayloadLength != 0) Violation("memory write length " + std::to_string(length));
      expectedReports_ = static_cast<int>(length / kPayloadLength);
      reportsInTransfer_ = 0;
      reportsPerAck_ = static_cast<int>(kReportsPerAckChunk);
      incoming_.clear();
      ExpectPoll(AfterPoll::ToData, static_cast<int>(length / kMemoryWindowPauseDivisor));
    }
  } else if (command == kMemoryCommand && sub == kMemoryEnd) {
    if (ExpectPhase(Phase::MemoryEnd, "0x77 0xF3")) {
      for (std::size_t i = 0; i < incoming_.size(); ++i)
        memory_[memoryAddress_ + static_cast<std::uint32_t>(i)] = incoming_[i];
      phase_ = Phase::Ready;
      requiredGapMs_ = kMemoryCommandPauseMs;
      gapReason_ = "pause after 0x77 0xF3";
    }
  } else if (sequenceKnown_ && command == NextSequence(lastSequence_)) {
    // A poll nobody asked for: the device streams its status anyway and takes the number in.
    afterPoll_ = AfterPoll::Nothing;
    expectValue_ = false;
    TakePoll(payload);
  } else {
    Violation("unknown command " + std::to_string(command) + "," + std::to_string(sub));
  }
}

void VirtualKorva::TakeData(const std::uint8_t* payload) {
  ++dataReportsTaken_;
  if (phase_ == Phase::DspHeader) {
    incomingHeader_.assign(payload, payload + kDspHeaderBytes);
    for (std::size_t i = kDspHeaderBytes; i < kPayloadLength; ++i) {
      if (payload[i] != 0xFF) {
        Violation("DSP header report byte " + std::to_string(i) + " is not 0xFF");
        break;
      }
    }
    ExpectPoll(AfterPoll::ToHeaderDone, kDspHeaderAckPauseMs);
    return;
  }
  incoming_.insert(incoming_.end(), payload, payload + kPayloadLength);
  if (phase_ == Phase::BatteryData) {
    for (std::size_t i = 0; i < kPayloadLength; ++i) runningSum_ += payload[i];
  }
  ++reportsInTransfer_;
  const bool last = reportsInTransfer_ >= expectedReports_;
  if (reportsInTransfer_ % reportsPerAck_ == 0 || (last && phase_ != Phase::McuData)) {
    const int pause = phase_ == Phase::McuData       ? kMcuBlockAckPauseMs
                      : phase_ == Phase::DspData     ? kDspDataAckPauseMs
                      : phase_ == Phase::BatteryData ? kBatterySumPauseMs
                                                     : kMemoryDataAckPauseMs;
    ExpectPoll(AfterPoll::DataChunk, pause, phase_ == Phase::BatteryData);
  }
  if (reportsInTransfer_ > expectedReports_) Violation("more data reports than announced");
}

void VirtualKorva::FinishMcu() {
  mcuMemory_ = incoming_;
  if (incoming_.size() >= kAppVersionAt + 4 &&
      std::memcmp(&incoming_[kAppMarkerAt], "APPV", 4) == 0) {
    mcuVersion_.assign(reinterpret_cast<const char*>(&incoming_[kAppVersionAt]), 4);
  }
  ++completedUpdates_;
  phase_ = Phase::Ready;
}

void VirtualKorva::FinishDsp() {
  dspHeader_ = incomingHeader_;
  dspMemory_ = incoming_;
  if (incomingHeader_.size() == kDspHeaderBytes &&
      std::memcmp(&incomingHeader_[kDspMarkerAt], "DSPV", 4) == 0) {
    dspVersion_.assign(reinterpret_cast<const char*>(&incomingHeader_[kDspVersionAt]), 3);
  }
  ++completedUpdates_;
  phase_ = Phase::Ready;
}

int VirtualKorva::OnRead(std::uint8_t* data, std::size_t length) {
  std::lock_guard lock(mutex_);
  if ((armed_ && faults_.readsTimeOut) || length < kPayloadLength) return 0;
  const std::int64_t now = bus_.BusClock().NowMs();
  if (now - lastActivityMs_ < requiredReadGapMs_) {
    Violation("read " + std::to_string(now - lastActivityMs_) +
              " ms after the last report instead of " + std::to_string(requiredReadGapMs_));
  }
  lastActivityMs_ = now;
  std::fill_n(data, kPayloadLength, 0);
  if (versionReplyPending_) {
    versionReplyPending_ = false;
    requiredReadGapMs_ = 0;
    data[kVersionFlagsOffset] = stateFlags_;
    std::copy_n(mcuVersion_.begin(), std::min(mcuVersion_.size(), kVersionMcuLength),
                data + kVersionMcuOffset);
    std::copy_n(dspVersion_.begin(), std::min(dspVersion_.size(), kVersionDspLength),
                data + kVersionDspOffset);
    return static_cast<int>(kPayloadLength);
  }
  requiredReadGapMs_ = kAckReadPauseMs;
  data[kStatusByte] = !lastPollAccepted_ ? 0 : armed_ ? faults_.statusValue : kStatusAcknowledged;
  data[kStatusSequenceByte] = armed_ && faults_.staleSequence ? previousSequence_ : lastSequence_;
  return static_cast<int>(kPayloadLength);
}

}  // namespace korva
