// The WAV rule: long enough for a slot, and the one header the amp takes.
#include "images/wav_file.h"

#include <algorithm>
#include <string>

#include "support/support_log.h"

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
  if (!read.opened) {
    file.reason = std::move(read.reason);
    return file;  // CannotOpen
  }
  file.length = read.length;
  file.verdict = CheckWavBytes(read.bytes, read.length);
  if (file.verdict == FileVerdict::Accepted) {
    file.bytes = std::move(read.bytes);
    return file;
  }
  if (file.verdict == FileVerdict::TooSmall) {
    file.reason = path + " is " + std::to_string(read.length) +
                  " bytes, too short: an audio slot's file has at least " +
                  std::to_string(kWavLongestRejectedLength + 1);
  } else {
    file.reason = path + " does not begin with the one header the amp takes (a WAV file of " +
                  "48000 Hz, mono, 24-bit PCM)";
  }
  SupportLog("file refused as audio: " + file.reason);
  return file;
}

}  // namespace korva
