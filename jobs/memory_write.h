// The amp's memory-write sequence: begin, address and length, the data in 64-byte reports
// acknowledged after every 256 bytes and after the last, end. The audio job writes a slot's
// descriptor and its samples with it.
#pragma once

#include <cstdint>
#include <functional>

#include "device/protocol.h"

namespace korva {

struct MemoryWrite {
  std::uint32_t address;
  std::uint32_t length;  // a multiple of 64
  std::uint8_t filler;   // in every payload byte that a command leaves unused
  int windowPauseMs;     // between the address-and-length command and its acknowledgement
};

// Writes `write.length` bytes of `data` through `hid`. `opened` (when given) runs after the
// begin command's pause, `written` (when given) after each data report. Returns false at the
// first failed write or acknowledgement, and before the next data report once the front end
// has asked the job to stop.
bool WriteMemory(HidReport& hid, const MemoryWrite& write, const std::uint8_t* data,
                 const std::function<void()>& opened, const std::function<void()>& written);

// Writes `length` bytes (a multiple of 64) of `data` to the amp's memory at `address`, with
// 0x00 in unused payload bytes. Returns 1, or sets JobStatus -1 and returns 0 (also when the
// front end asked the job to stop before the next data report).
int SendMemoryBlock(std::uint32_t address, std::uint32_t length, const std::uint8_t* data);

}  // namespace korva
