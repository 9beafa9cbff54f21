// The program's texts as UTF-8.
#include "jobs/display_text.h"

#include <cstdint>

namespace korva {
namespace {

constexpr std::string_view kGbkFullWidthExclamation = "\xA3\xA1";
constexpr std::string_view kUtf8FullWidthExclamation = "\xEF\xBC\x81";  // U+FF01

// The length of the well-formed UTF-8 sequence that starts `text`, or 0.
std::size_t Utf8SequenceLength(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
  const std::uint8_t lead = byte(0);
  std::size_t length = 0;
  std::uint8_t low = 0x80;  // the second byte's bounds: no overlong or surrogate forms
  std::uint8_t high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

}  // namespace

std::string DisplayText(std::string_view bytes) {
  std::string shown;
  shown.reserve(bytes.size());
  while (!bytes.empty()) {
    std::size_t taken = 1;
    if (bytes.starts_with(kGbkFullWidthExclamation)) {
      shown += kUtf8FullWidthExclamation;
      taken = kGbkFullWidthExclamation.size();
    } else if (bytes.starts_with("\r\n")) {
      shown += '\n';
      taken = 2;
    } else if (static_cast<std::uint8_t>(bytes[0]) < 0x80) {
      shown += bytes[0];
    } else if (const std::size_t sequence = Utf8SequenceLength(bytes); sequence != 0) {
      shown += bytes.substr(0, sequence);
      taken = sequence;
    } else {
      const auto latin1 = static_cast<std::uint8_t>(bytes[0]);
      shown += static_cast<char>(0xC0 | (latin1 >> 6));
      shown += static_cast<char>(0x80 | (latin1 & 0x3F));
    }
    bytes.remove_prefix(taken);
  }
  return shown;
}

}  // namespace korva
