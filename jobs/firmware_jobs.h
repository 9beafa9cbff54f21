// The two jobs of the main road. Each is a thread routine without argument that finds its
// image in the image stores and reports through the current job owner; the value returned
// (1 success, 0 failure) is read by nobody.
#pragma once

#include <cstddef>

namespace korva {

// MCU send buffer: the largest application, 104 KiB.
inline constexpr std::size_t kMcuSendBufferLength = 0x1A000;
// DSP send buffer: 16 header bytes and a 512 KiB data area.
inline constexpr std::size_t kDspDataAreaLength = 0x80000;

int McuTransferJob();
int DspTransferJob();

}  // namespace korva
