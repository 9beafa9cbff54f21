// libFuzzer target: the DSP file acceptance rule on arbitrary bytes.
#include "fuzz/fuzz_firmware_rule.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace korva;
  return fuzz::FuzzFirmwareRule(
      FirmwareKind::Dsp, {kDspFullMemoryLength, kDspFullMemoryLength - 1, kDspShownVersionLength},
      data, size);
}
