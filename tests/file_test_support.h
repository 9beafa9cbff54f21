// Files for the tests that choose them as a user would: byte patterns with the markers of the
// firmware forms, WAV files with the one header the amp takes, and a scratch folder that is
// removed with the test.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "images/wav_file.h"

namespace korva::testing {

using Bytes = std::vector<std::uint8_t>;

// `length` bytes that differ from their neighbours, varied by `seed`.
inline Bytes Pattern(std::size_t length, int seed) {
  Bytes bytes(length);
  for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<std::uint8_t>(i * seed + i / 256 + 1);
  return bytes;
}
// `bytes` with `text` (a marker and its version characters) written at `at`.
inline Bytes WithMarker(Bytes bytes, std::size_t at, const char* text) {
  std::memcpy(&bytes[at], text, std::strlen(text));
  return bytes;
}
// A firmware file of `length` bytes with its marker and version characters at `markerAt`,
// followed by zero bytes, as a page shows the version ("APPV1.39" shows as "V 1.39").
inline Bytes FirmwareBytes(std::size_t length, int seed, std::size_t markerAt, const char* markerAndVersion) {
  Bytes bytes = WithMarker(Pattern(length, seed), markerAt, markerAndVersion);
  const std::size_t end = markerAt + std::strlen(markerAndVersion);
  for (std::size_t i = end; i < end + 4 && i < length; ++i) bytes[i] = 0;
  return bytes;
}
// A WAV file of `length` bytes that starts with the header the amp takes.
inline Bytes Wav(std::size_t length) {
  Bytes bytes = Pattern(length, 5);
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

// A folder of its own for the running test, named after it unless given a name.
class ScratchFolder {
 public:
  explicit ScratchFolder(std::string name = {}) {
    if (name.empty()) {
      const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
      name = std::string("korva-") + info->test_suite_name() + "-" + info->name();
    }
    for (char& c : name) {
      if (c == '/') c = '-';
    }
    path_ = std::filesystem::path(::testing::TempDir()) / name;
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() { std::filesystem::remove_all(path_); }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // Writes (or overwrites) the file `name` and returns its full path.
  std::string File(const std::string& name, const Bytes& bytes) const {
    const std::filesystem::path path = path_ / name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path.string();
  }
  std::string PathOf(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace korva::testing
