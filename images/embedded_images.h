// The two firmware images that the program carries, compiled into the executable as
// resources 155 (MCU) and 156 (DSP), and their loading into the image stores.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "device/command_protocol.h"

namespace korva {

inline constexpr int kMcuResourceId = 155;
inline constexpr int kDspResourceId = 156;

// The bytes of a carried resource, or nothing when the executable has no such resource.
using ResourceLookup = std::function<std::optional<std::span<const std::uint8_t>>(int id)>;
std::optional<std::span<const std::uint8_t>> FindCarriedResource(int id);

// Copies both carried images into the image stores, checks their markers and size rules,
// trims a full-flash MCU image and takes the version characters. Returns 1 when both images
// passed, 0 otherwise. The MCU characters are kept even when the DSP check then fails.
int LoadEmbeddedImages();
// The same, from another set of resources (tests).
int LoadImagesFromResources(const ResourceLookup& lookup);

// The firmware version that the carried images hold ("Ver1.38.250"), worked out the way
// LoadEmbeddedImages does but without touching the image stores; nothing when the images fail
// their checks.
std::optional<VersionText> CarriedFirmwareVersion();
// The same as text ("Ver1.38.250"), as --version and the support log show it; empty when the
// images fail their checks.
std::string CarriedVersionText();

}  // namespace korva
