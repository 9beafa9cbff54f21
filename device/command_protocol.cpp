// Acknowledgement polls, "INITSTA" and "RV".
#include "device/command_protocol.h"

#include <algorithm>
#include <mutex>

#include "device/clock.h"
#include "device/hid_transport.h"
#include "device/report_builder.h"

namespace korva {

std::atomic<std::uint8_t> SequenceNumber{0};

namespace {

std::mutex g_versionMutex;
VersionRecord g_record;
VersionText g_deviceText{};

int PollAndWait(bool withValue, int value) {
  const std::uint8_t sequence = NextSequenceNumber();
  HidReport poll{};
  PayloadByte(poll, kPollSequenceByte) = sequence;
  if (withValue) PutLittleEndian16(poll, kPollValueLowByte, static_cast<std::uint16_t>(value));
  if (!WriteReport(poll, kReportId)) return 0;
  std::array<std::uint8_t, kReportLength> status{};
  for (int attempt = 0; attempt < kAckReadAttempts; ++attempt) {
    Pause(kAckReadPauseMs);
    if (!ReadReport(status.data())) return 0;
    // Older echoes and other status values are skipped; the next read is tried.
    if (status[kStatusSequenceByte] == sequence && status[kStatusByte] == kStatusAcknowledged) {
      return 1;
    }
  }
  return 0;
}

}  // namespace

VersionText MakeVersionText(const char* mcu4, const char* dsp3) {
  VersionText text{};
  text[0] = 'V';
  text[1] = 'e';
  text[2] = 'r';
  std::copy_n(mcu4, kVersionMcuLength, text.begin() + 3);
  text[3 + kVersionMcuLength] = '.';
  std::copy_n(dsp3, kVersionDspLength, text.begin() + 4 + kVersionMcuLength);
  return text;
}

std::uint8_t NextSequenceNumber() {
  std::uint8_t current = SequenceNumber.load();
  std::uint8_t next;
  do {
    next = static_cast<std::uint8_t>(current + 1);
    if (next == 0) next = 1;
  } while (!SequenceNumber.compare_exchange_weak(current, next));
  return next;
}

int WaitForAck() { return PollAndWait(false, 0); }

int SendValueWithAck(int value) { return PollAndWait(true, value); }

int InitStates() {
  HidReport report{};
  std::copy(kInitStatesText.begin(), kInitStatesText.end(), &PayloadByte(report, kCommandByte));
  if (!WriteReport(report, kReportId)) return 0;
  Pause(kInitStatesPauseMs);
  return WaitForAck();
}

int ReadVersionRecord() {
  HidReport report{};
  std::copy(kReadVersionText.begin(), kReadVersionText.end(), &PayloadByte(report, kCommandByte));
  if (!WriteReport(report, kReportId)) return 0;
  Pause(kReadVersionPauseMs);
  std::array<std::uint8_t, kReportLength> reply{};
  if (!ReadReport(reply.data())) return 0;

  VersionRecord record;
  record.stateFlags = reply[kVersionFlagsOffset];
  auto take = [&reply](auto& field, std::size_t offset) {
    std::copy_n(reply.begin() + offset, field.size(), field.begin());
  };
  take(record.mcuVersion, kVersionMcuOffset);
  take(record.mcuExtra, kVersionMcuExtraOffset);
  take(record.dspVersion, kVersionDspOffset);
  take(record.dspExtra, kVersionDspExtraOffset);
  record.byte16 = reply[kVersionByte16Offset];
  take(record.tail, kVersionTailOffset);

  std::lock_guard lock(g_versionMutex);
  g_record = record;
  return 1;
}

VersionRecord DeviceVersionRecord() {
  std::lock_guard lock(g_versionMutex);
  return g_record;
}

bool RebuildDeviceVersionText() {
  std::lock_guard lock(g_versionMutex);
  if (g_record.HasNoVersion()) return false;
  g_deviceText = MakeVersionText(g_record.mcuVersion.data(), g_record.dspVersion.data());
  return true;
}

VersionText DeviceVersionText() {
  std::lock_guard lock(g_versionMutex);
  return g_deviceText;
}

void ResetProtocolState() {
  SequenceNumber.store(0);
  std::lock_guard lock(g_versionMutex);
  g_record = VersionRecord{};
  g_deviceText = VersionText{};
}

}  // namespace korva
