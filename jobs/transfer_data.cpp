// The data of the transfer jobs.
#include "jobs/transfer_data.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "images/image_formats.h"
#include "images/wav_file.h"

namespace korva {
namespace {

// `length` bytes from `from`, filled with 0xFF to a whole number of `multiple` bytes.
TransferData Filled(const std::uint8_t* from, std::size_t length, std::size_t multiple) {
  TransferData data;
  data.bytes.assign((length + multiple - 1) / multiple * multiple, 0xFF);
  std::copy_n(from, length, data.bytes.begin());
  return data;
}

}  // namespace

McuSend McuApplication(const ImageStore& store) {
  const std::size_t start = store.McuFullFlashLayout == 1 ? kMcuBootAreaLength : 0;
  const std::size_t length =
      std::min(store.McuImageLength > start ? store.McuImageLength - start : 0,
               std::min(kMcuSendBufferLength, store.McuImageBuffer.size() - start));
  McuSend send{Filled(store.McuImageBuffer.data() + start, length, kMcuBlockBytes), 0};
  send.blocks = send.data.bytes.size() / kMcuBlockBytes;
  return send;
}

DspSend DspImage(const ImageStore& store) {
  DspSend send{};
  send.header.fill(0xFF);
  const std::uint8_t* image = store.DspImageBuffer.data();
  const std::size_t imageLength = std::min(store.DspImageLength, store.DspImageBuffer.size());
  std::size_t dataStart = 0;
  if (imageLength == kDspFullMemoryLength) {
    std::copy_n(image + kDspFullMemoryHeaderOffset, kDspHeaderBytes, send.header.begin());
    send.dataLength = kDspFullMemoryLength;
  } else if (imageLength > 0) {
    dataStart = std::min(imageLength, kDspHeaderBytes);
    std::copy_n(image, dataStart, send.header.begin());
    send.dataLength = imageLength - dataStart;
  }
  send.data = Filled(image + dataStart, send.dataLength, kPayloadLength);
  return send;
}

std::optional<TransferData> BatteryApplication(const PageFileState& page) {
  const std::size_t start = page.BatteryFullFlashLayout == 1 ? kBatteryBootAreaLength : 0;
  const std::size_t length = page.BatteryImageLength > start ? page.BatteryImageLength - start : 0;
  if (length == 0) return TransferData{};
  if (!page.PageFileBuffer || page.PageFileBuffer->size() < start + length ||
      length > kBatteryWorkImageLength) {
    return std::nullopt;
  }
  return Filled(page.PageFileBuffer->data() + start, length, kPayloadLength);
}

std::optional<TransferData> SlotSamples(const PageFileState& page) {
  if (!page.PageFileBuffer || page.PageFileBuffer->size() < kWavHeaderLength + kSlotSampleLength)
    return std::nullopt;
  return Filled(page.PageFileBuffer->data() + kWavHeaderLength, kSlotSampleLength, kPayloadLength);
}

std::uint32_t SlotIndex(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  if (i < text.size() && text[i] == '+') ++i;
  int index = 0;
  const auto [end, error] = std::from_chars(text.data() + i, text.data() + text.size(), index);
  (void)end;
  return error == std::errc() ? static_cast<std::uint32_t>(index) : 0;
}

std::array<std::uint8_t, kSlotDescriptorLength> SlotDescriptor(
    const std::string& fileName, const std::vector<std::uint8_t>& file) {
  std::array<std::uint8_t, kSlotDescriptorLength> descriptor{};
  std::copy_n(fileName.begin(), std::min(fileName.size(), kSlotDescriptorNameLength),
              descriptor.begin());
  std::copy_n(file.begin(), kWavHeaderLength, descriptor.begin() + kSlotDescriptorHeaderOffset);
  return descriptor;
}

}  // namespace korva
