// The WAV rule: long enough for a slot, and the one header the amp takes.
#include "images/wav_file.h"

#include <algorithm>

namespace korva {

FileVerdict CheckWavBytes(std::span<const std::uint8_t> file, std::size_t fileLength) {
  if (fileLength <= kWavLongestRejectedLength || file.size() < kWavHeaderLength) {
    return FileVerdict::TooSmall;
  }
  if (!std::equal(WavHeaderTemplate.begin(), WavHeaderTemplate.end(), file.begin())) {
    return FileVerdict::Wrong;
  }
  return FileVerdict::Accepted;
}

WavFile LoadWavFile(const std::string& path) {
  // A slot takes the header and 16384 sample bytes; nothing after them is read.
  FileRead read = ReadFileBounded(path, kWavLongestRejectedLength + 1, WhenLonger::ReadPrefix);
  WavFile file;
  if (!read.opened) return file;  // CannotOpen
  file.length = read.length;
  file.verdict = CheckWavBytes(read.bytes, read.length);
  if (file.verdict == FileVerdict::Accepted) file.bytes = std::move(read.bytes);
  return file;
}

}  // namespace korva
