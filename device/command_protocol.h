// The command protocol on top of the transport: sequence-numbered acknowledgement polls,
// "INITSTA" (initialise the device's states) and "RV" (read the device's versions).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "device/protocol.h"

namespace korva {

// The device's reply to "RV", as far as the program keeps it.
struct VersionRecord {
  std::uint8_t stateFlags = 0;
  std::array<char, kVersionMcuLength> mcuVersion{};
  std::array<std::uint8_t, kVersionMcuExtraLength> mcuExtra{};
  std::array<char, kVersionDspLength> dspVersion{};
  std::array<std::uint8_t, kVersionDspExtraLength> dspExtra{};
  std::uint8_t byte16 = 0;
  std::array<std::uint8_t, kVersionTailLength> tail{};

  // True when state-flag bits 0 and 1 are both set: the device has no version to show.
  bool HasNoVersion() const {
    return (stateFlags & kVersionFlagsNoVersion) == kVersionFlagsNoVersion;
  }
};

// "Ver" + 4 MCU characters + "." + 3 DSP characters; all zero bytes until first built.
using VersionText = std::array<char, kVersionTextLength>;
VersionText MakeVersionText(const char* mcu4, const char* dsp3);
inline std::string ToString(const VersionText& text) {
  return std::string(text.data(), text.size());
}

// Sequence number of the last poll: 1..255, never 0 once a poll went out. Shared by the UI
// thread and the job thread, hence atomic.
extern std::atomic<std::uint8_t> SequenceNumber;

// Advances SequenceNumber (255 wraps to 1) and returns the new value.
std::uint8_t NextSequenceNumber();

// Sends a poll and reads up to five status reports, 200 ms apart, until one echoes the
// poll's number with status 1. Returns 1 then, 0 on a failed write or read or after five
// non-matching reports.
int WaitForAck();
// As WaitForAck, with the low 16 bits of `value` in the poll (low byte first).
int SendValueWithAck(int value);
// "INITSTA", 100 ms, WaitForAck. Returns 1 when the device acknowledged.
int InitStates();
// "RV", 100 ms, one input report into DeviceVersionRecord. Returns 1 when it was read;
// on failure the record keeps its previous value.
int ReadVersionRecord();

// The last record read (a copy: the window and a job may ask from different threads).
VersionRecord DeviceVersionRecord();
// Rebuilds DeviceVersionText from the record unless the record has no version to show;
// returns whether it did.
bool RebuildDeviceVersionText();
VersionText DeviceVersionText();

// Resets SequenceNumber, DeviceVersionRecord and DeviceVersionText to their start values.
void ResetProtocolState();

}  // namespace korva
