// Helpers that fill a report's payload; payload byte k is report byte k + 1.
#pragma once

#include <algorithm>
#include <cstdint>

#include "device/protocol.h"

namespace korva {

inline std::uint8_t& PayloadByte(HidReport& report, std::size_t k) { return report[k + 1]; }

// Sets the two command bytes and leaves the rest of the payload as it was.
inline void SetCommand(HidReport& report, std::uint8_t command, std::uint8_t subcommand) {
  PayloadByte(report, kCommandByte) = command;
  PayloadByte(report, kSubcommandByte) = subcommand;
}

// Copies 64 bytes of data into the payload.
inline void SetData(HidReport& report, const std::uint8_t* data) {
  std::copy_n(data, kPayloadLength, report.begin() + 1);
}

// Fills the whole payload with one value.
inline void FillPayload(HidReport& report, std::uint8_t value) {
  std::fill(report.begin() + 1, report.end(), value);
}

// Writes a 16-bit value at a payload offset: low byte first, or high byte first.
inline void PutLittleEndian16(HidReport& report, std::size_t k, std::uint16_t value) {
  PayloadByte(report, k) = static_cast<std::uint8_t>(value);
  PayloadByte(report, k + 1) = static_cast<std::uint8_t>(value >> 8);
}
inline void PutBigEndian16(HidReport& report, std::size_t k, std::uint16_t value) {
  PayloadByte(report, k) = static_cast<std::uint8_t>(value >> 8);
  PayloadByte(report, k + 1) = static_cast<std::uint8_t>(value);
}

// Writes a little-endian 32-bit value at a payload offset.
inline void PutLittleEndian32(HidReport& report, std::size_t k, std::uint32_t value) {
  for (int i = 0; i < 4; ++i)
    PayloadByte(report, k + i) = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace korva
