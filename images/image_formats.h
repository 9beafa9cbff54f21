// The MCU, DSP and battery-controller image forms: their lengths, markers, version fields and
// the trimming of full-flash images. Used for the carried images and for files alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace korva {

inline constexpr std::size_t kKiB = 1024;

// MCU: application-only up to 0x1A000 bytes, or a full-flash image of exactly 0x20000 bytes
// whose first 0x6000 bytes are the boot area.
inline constexpr std::size_t kMcuFullFlashLength = 0x20000;
inline constexpr std::size_t kMcuApplicationMaxLength = 0x1A000;
inline constexpr std::size_t kMcuBootAreaLength = 0x6000;
inline constexpr std::size_t kMcuMinimumLength = 0x18;

// DSP: short form below 0x80000 bytes with the header at 0, or a full-memory image of exactly
// 0x80000 bytes with the header at 0x7F000.
inline constexpr std::size_t kDspFullMemoryLength = 0x80000;
inline constexpr std::size_t kDspFullMemoryHeaderOffset = 0x7F000;
inline constexpr std::size_t kDspMinimumLength = 16;

// Battery controller: application-only up to 0x6000 bytes, or full-flash of exactly 0x8000
// bytes whose first 0x2000 bytes are the boot area.
inline constexpr std::size_t kBatteryFullFlashLength = 0x8000;
inline constexpr std::size_t kBatteryApplicationMaxLength = 0x6000;
inline constexpr std::size_t kBatteryBootAreaLength = 0x2000;
inline constexpr std::size_t kBatteryMinimumLength = 0x18;

// Markers and where they stand, relative to the application (MCU, battery) or header (DSP).
inline constexpr char kMcuMarker[] = "APPV";
inline constexpr char kDspMarker[] = "DSPV";
inline constexpr char kBatteryMarker[] = "BATV";
inline constexpr std::size_t kMarkerLength = 4;
inline constexpr std::size_t kApplicationMarkerOffset = 0x10;
inline constexpr std::size_t kDspMarkerOffset = 4;

// Version bytes that a file page shows after the marker, and the characters that the
// version texts take from them.
inline constexpr std::size_t kMcuShownVersionLength = 8;
inline constexpr std::size_t kDspShownVersionLength = 5;
inline constexpr std::size_t kBatteryShownVersionLength = 4;
inline constexpr std::size_t kMcuVersionChars = 4;  // at marker + 4
inline constexpr std::size_t kDspVersionChars = 3;  // at marker + 6 ("250" of "0.250")
inline constexpr std::size_t kDspVersionCharsSkip = 2;

// The outcome of applying an image rule.
struct ImageCheck {
  bool accepted = false;
  bool fullFlash = false;        // full-flash (MCU, battery) or full-memory (DSP) form
  std::size_t length = 0;        // accepted length: trimmed for full-flash MCU and battery
  std::size_t markerOffset = 0;  // where the marker was found
  std::string versionBytes;      // the shown version bytes after the marker (ends at a zero)
};

ImageCheck CheckMcuImage(std::span<const std::uint8_t> image);
ImageCheck CheckDspImage(std::span<const std::uint8_t> image);
ImageCheck CheckBatteryImage(std::span<const std::uint8_t> image);

// Length of a full-flash image without its trailing 0xFF bytes, rounded up to the end of the
// 1 KiB block that holds the last other byte; 0 when every byte is 0xFF.
std::size_t TrimmedLength(std::span<const std::uint8_t> image);

// The text a file page shows for an accepted image: "V " and the version bytes.
std::string VersionLabel(const ImageCheck& check);

}  // namespace korva
