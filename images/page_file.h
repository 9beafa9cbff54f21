// The file last loaded by a service page, and what the battery job needs to know about it.
// Loading replaces what the buffer held; the battery and audio jobs release it after success.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace korva {

struct PageFileState {
  std::optional<std::vector<std::uint8_t>> PageFileBuffer;
  std::size_t BatteryImageLength = 0;
  int BatteryFullFlashLayout = 0;
};

PageFileState& PageFile();
void ResetPageFileState();

}  // namespace korva
