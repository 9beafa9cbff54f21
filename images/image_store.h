// The process-wide image stores that the MCU and DSP jobs send from. They are filled from the
// carried images (LoadEmbeddedImages) or from files chosen on the service pages, and live for
// the whole process. Only the UI thread writes them, and never while a job runs.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "device/command_protocol.h"
#include "images/image_formats.h"

namespace korva {

struct ImageStore {
  std::vector<std::uint8_t> McuImageBuffer = std::vector<std::uint8_t>(kMcuFullFlashLength);
  std::size_t McuImageLength = 0;
  int McuFullFlashLayout = 0;
  std::vector<std::uint8_t> DspImageBuffer = std::vector<std::uint8_t>(kDspFullMemoryLength);
  std::size_t DspImageLength = 0;
  // Version characters of the carried images: they keep their last values when a check fails.
  std::array<char, kMcuVersionChars> McuVersionChars{};
  std::array<char, kDspVersionChars> DspVersionChars{};
};

ImageStore& Images();
void ResetImageStore();

// "Ver" + the 4 MCU characters + "." + the 3 DSP characters.
VersionText EmbeddedVersionText();

}  // namespace korva
