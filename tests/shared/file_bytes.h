// Bytes for the files that tests choose or name: patterns that differ from their neighbours,
// the markers of the firmware forms, WAV files with the one header the amp takes, and the
// forms in which the amp's memories hold what it was sent.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "images/wav_file.h"

namespace korva::testing {

using Bytes = std::vector<std::uint8_t>;

// `length` bytes that differ from their neighbours, varied by `seed`.
inline Bytes Pattern(std::size_t length, int seed) {
  Bytes bytes(length);
  for (std::size_t i = 0; i < length; ++i)
    bytes[i] = static_cast<std::uint8_t>(i * seed + i / 256 + 1);
  return bytes;
}
// `bytes` with `text` (a marker and its version characters) written at `at`, as far as it fits.
inline Bytes WithMarker(Bytes bytes, std::size_t at, std::string_view text) {
  if (at < bytes.size())
    std::copy_n(text.begin(), std::min(text.size(), bytes.size() - at), bytes.begin() + at);
  return bytes;
}
// An image of `length` bytes of `fill` (0xFF: an erased flash's) with its marker and version
// characters at `markerAt`, as far as they fit.
inline Bytes Image(std::size_t length, std::size_t markerAt, std::string_view markerAndVersion,
                   std::uint8_t fill = 0x11) {
  return WithMarker(Bytes(length, fill), markerAt, markerAndVersion);
}
// A firmware file of `length` bytes with its marker and version characters at `markerAt`,
// followed by zero bytes, as a page shows the version ("APPV1.39" shows as "V 1.39").
inline Bytes FirmwareBytes(std::size_t length, int seed, std::size_t markerAt,
                           std::string_view markerAndVersion) {
  Bytes bytes = WithMarker(Pattern(length, seed), markerAt, markerAndVersion);
  const std::size_t end = markerAt + markerAndVersion.size();
  for (std::size_t i = end; i < end + 4 && i < length; ++i) bytes[i] = 0;
  return bytes;
}
// A WAV file of `length` bytes that starts with the header the amp takes, its samples varied by
// `seed`.
inline Bytes Wav(std::size_t length, int seed = 5) {
  Bytes bytes = Pattern(length, seed);
  std::copy(WavHeaderTemplate.begin(), WavHeaderTemplate.end(), bytes.begin());
  return bytes;
}
// `bytes` filled up with 0xFF to a whole number of `multiple`s, as the amp's memories hold them.
inline Bytes Padded(Bytes bytes, std::size_t multiple) {
  bytes.resize((bytes.size() + multiple - 1) / multiple * multiple, 0xFF);
  return bytes;
}
inline Bytes Slice(const Bytes& bytes, std::size_t from, std::size_t length) {
  return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from),
               bytes.begin() + static_cast<std::ptrdiff_t>(from + length));
}

}  // namespace korva::testing
