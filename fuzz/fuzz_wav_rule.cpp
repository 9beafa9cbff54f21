// libFuzzer target: the WAV rule on arbitrary bytes. Accepted files start with the template
// and are long enough for a slot; nothing else is accepted.
#include <algorithm>

#include "fuzz/fuzz_firmware_rule.h"
#include "images/wav_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace korva;
  const FileVerdict verdict = CheckWavBytes({data, size}, size);
  const bool longEnough = size > kWavLongestRejectedLength;
  fuzz::Require((verdict == FileVerdict::TooSmall) == !longEnough);
  if (longEnough) {
    const bool header = std::equal(WavHeaderTemplate.begin(), WavHeaderTemplate.end(), data);
    fuzz::Require((verdict == FileVerdict::Accepted) == header);
    fuzz::Require(verdict == FileVerdict::Accepted || verdict == FileVerdict::Wrong);
  }
  return 0;
}
