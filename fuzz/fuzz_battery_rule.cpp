// libFuzzer target: the battery-controller file acceptance rule on arbitrary bytes.
#include "fuzz/fuzz_firmware_rule.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace korva;
  return fuzz::FuzzFirmwareRule(
      FirmwareKind::Battery,
      {kBatteryFullFlashLength, kBatteryApplicationMaxLength, kBatteryShownVersionLength}, data,
      size);
}
