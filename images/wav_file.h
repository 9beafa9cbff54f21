// The WAV files that the audio page writes into the amp's slots: the one header the amp takes
// (48000 Hz, mono, 24-bit PCM, 28800 data bytes) and the rule that accepts a file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "images/firmware_file.h"

namespace korva {

inline constexpr std::size_t kWavHeaderLength = 44;
// The sample bytes that go into a slot: those right after the header.
inline constexpr std::size_t kWavSlotSampleBytes = 0x4000;
// A file must be longer than this: the header and one slot's worth of samples.
inline constexpr std::size_t kWavLongestRejectedLength =
    kWavHeaderLength + kWavSlotSampleBytes - 1;  // 16427

// Every accepted file starts with exactly these 44 bytes (numbers little-endian).
inline constexpr std::array<std::uint8_t, kWavHeaderLength> WavHeaderTemplate = {
    'R',  'I',  'F',  'F',   // chunk ID
    0xA4, 0x70, 0x00, 0x00,  // RIFF chunk size 28836
    'W',  'A',  'V',  'E',   // form type
    'f',  'm',  't',  ' ',   // format chunk ID
    0x10, 0x00, 0x00, 0x00,  // format chunk size 16
    0x01, 0x00,              // PCM
    0x01, 0x00,              // mono
    0x80, 0xBB, 0x00, 0x00,  // 48000 Hz
    0x80, 0x32, 0x02, 0x00,  // 144000 bytes per second
    0x03, 0x00,              // block align 3
    0x18, 0x00,              // 24 bits per sample
    'd',  'a',  't',  'a',   // data chunk ID
    0x80, 0x70, 0x00, 0x00,  // data size 28800
};

// The rule on a file's length and first bytes: TooSmall at 16427 bytes or less, Wrong when
// the first 44 bytes differ from WavHeaderTemplate, else Accepted.
FileVerdict CheckWavBytes(std::span<const std::uint8_t> file, std::size_t fileLength);

struct WavFile {
  FileVerdict verdict = FileVerdict::CannotOpen;
  // The header and the slot's sample bytes: all of the file that a slot takes. A longer file
  // is not read further, however long it is.
  std::vector<std::uint8_t> bytes;
  std::size_t length = 0;  // the file's whole length
  std::string reason;      // why it was refused, for a person; else empty
};

// Opens `path`, reads what a slot needs and applies the rule.
WavFile LoadWavFile(const std::string& path);

}  // namespace korva
