// What each transfer job sends, worked out from the image stores and the page's file before
// anything is written: the bytes of its data reports, filled with 0xFF to whole reports, and
// the values that its opening commands carry.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/protocol.h"
#include "images/image_store.h"
#include "images/page_file.h"

namespace korva {

// The largest MCU application, 104 KiB: the most that the MCU job sends.
inline constexpr std::size_t kMcuSendBufferLength = 0x1A000;
// The battery controller's application part never exceeds 0x6000 bytes.
inline constexpr std::size_t kBatteryWorkImageLength = 0x6000;

// The bytes of a transfer's data reports: a whole number of 64-byte reports.
struct TransferData {
  std::vector<std::uint8_t> bytes;
  long Reports() const { return static_cast<long>(bytes.size() / kPayloadLength); }
};

// The MCU application: a full-flash image's after its boot area (which is never sent), at
// most the send buffer's 104 KiB, filled to whole 1 KiB blocks.
struct McuSend {
  TransferData data;
  std::size_t blocks;  // for the size command
};
McuSend McuApplication(const ImageStore& store);

// The DSP image: a full-memory image is sent whole, with the 16 bytes at 0x7F000 sent before
// it as the header; a short image sends its first 16 bytes as the header and the rest as data.
struct DspSend {
  std::array<std::uint8_t, kDspHeaderBytes> header;  // 0xFF beyond a shorter image
  TransferData data;
  std::size_t dataLength;  // before the fill: the size command's pause follows it
};
DspSend DspImage(const ImageStore& store);

// The application part of the page's battery file: after the boot area of a full-flash file,
// else the whole accepted length. Nothing when the buffer does not hold what its length claims.
std::optional<TransferData> BatteryApplication(const PageFileState& page);

// The samples that go into an audio slot: those right after the page's WAV header. Nothing
// when the page holds no file of at least the header and one slot's samples.
std::optional<TransferData> SlotSamples(const PageFileState& page);
// The owner's slot text as a decimal number; 0 when it holds none.
std::uint32_t SlotIndex(const std::string& text);
// The slot's descriptor: the file's name (cut at 128 bytes, with no terminator then), the
// WAV header that `file` starts with, zeros.
std::array<std::uint8_t, kSlotDescriptorLength> SlotDescriptor(
    const std::string& fileName, const std::vector<std::uint8_t>& file);

}  // namespace korva
