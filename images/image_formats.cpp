// Image rules. Every read is bounds-checked against the image: the rules run on arbitrary
// files chosen by the user.
#include "images/image_formats.h"

#include <algorithm>
#include <cstring>

namespace korva {
namespace {

bool HasMarker(std::span<const std::uint8_t> image, std::size_t offset, const char* marker) {
  if (offset > image.size() || image.size() - offset < kMarkerLength) return false;
  return std::memcmp(image.data() + offset, marker, kMarkerLength) == 0;
}

// The bytes after the marker, as the pages copy them into a zeroed field: the text ends at
// the first zero byte, after `maxLength` bytes, or at the end of the image.
std::string VersionAfter(std::span<const std::uint8_t> image, std::size_t markerOffset,
                         std::size_t maxLength) {
  std::string text;
  for (std::size_t i = markerOffset + kMarkerLength;
       i < image.size() && text.size() < maxLength && image[i] != 0; ++i) {
    text.push_back(static_cast<char>(image[i]));
  }
  return text;
}

// MCU and battery images share one shape: a full-flash form with a boot area that is cut
// back over trailing 0xFF, or an application-only form up to a limit.
struct FlashForm {
  std::size_t fullLength;
  std::size_t bootArea;
  std::size_t applicationMax;
  std::size_t minimum;
  const char* marker;
  std::size_t shownVersion;
};

ImageCheck CheckFlashImage(std::span<const std::uint8_t> image, const FlashForm& form) {
  ImageCheck check;
  if (image.size() == form.fullLength) {
    check.markerOffset = form.bootArea + kApplicationMarkerOffset;
    if (!HasMarker(image, check.markerOffset, form.marker)) return check;
    check.fullFlash = true;
    check.length = TrimmedLength(image);
  } else {
    if (image.size() > form.applicationMax || image.size() < form.minimum) return check;
    check.markerOffset = kApplicationMarkerOffset;
    if (!HasMarker(image, check.markerOffset, form.marker)) return check;
    check.length = image.size();
  }
  check.accepted = true;
  check.versionBytes = VersionAfter(image, check.markerOffset, form.shownVersion);
  return check;
}

}  // namespace

std::size_t TrimmedLength(std::span<const std::uint8_t> image) {
  auto last = std::find_if(image.rbegin(), image.rend(), [](std::uint8_t b) { return b != 0xFF; });
  if (last == image.rend()) return 0;
  const std::size_t index = static_cast<std::size_t>(image.rend() - last) - 1;
  return (index / kKiB + 1) * kKiB;
}

ImageCheck CheckMcuImage(std::span<const std::uint8_t> image) {
  return CheckFlashImage(image, {kMcuFullFlashLength, kMcuBootAreaLength, kMcuApplicationMaxLength,
                                 kMcuMinimumLength, kMcuMarker, kMcuShownVersionLength});
}

ImageCheck CheckBatteryImage(std::span<const std::uint8_t> image) {
  return CheckFlashImage(
      image, {kBatteryFullFlashLength, kBatteryBootAreaLength, kBatteryApplicationMaxLength,
              kBatteryMinimumLength, kBatteryMarker, kBatteryShownVersionLength});
}

ImageCheck CheckDspImage(std::span<const std::uint8_t> image) {
  ImageCheck check;
  if (image.size() == kDspFullMemoryLength) {
    check.fullFlash = true;
    check.markerOffset = kDspFullMemoryHeaderOffset + kDspMarkerOffset;
  } else {
    if (image.size() > kDspFullMemoryLength || image.size() < kDspMinimumLength) return check;
    check.markerOffset = kDspMarkerOffset;
  }
  if (!HasMarker(image, check.markerOffset, kDspMarker)) return check;
  check.accepted = true;
  check.length = image.size();
  check.versionBytes = VersionAfter(image, check.markerOffset, kDspShownVersionLength);
  return check;
}

std::string VersionLabel(const ImageCheck& check) { return "V " + check.versionBytes; }

}  // namespace korva
