// Loading the carried images into the image stores.
#include "images/embedded_images.h"

#include <algorithm>
#include <memory>

#include "images/image_store.h"

namespace korva {
namespace {

// Copies a resource into its buffer. A missing resource leaves buffer and length as they were;
// one larger than its buffer is not copied and fails the load.
bool CopyResource(const ResourceLookup& lookup, int id, std::vector<std::uint8_t>& buffer,
                  std::size_t& length) {
  auto resource = lookup(id);
  if (!resource) return true;
  if (resource->size() > buffer.size()) return false;
  length = resource->size();
  std::copy(resource->begin(), resource->end(), buffer.begin());
  return true;
}

int LoadInto(ImageStore& store, const ResourceLookup& lookup) {
  const bool mcuCopied =
      CopyResource(lookup, kMcuResourceId, store.McuImageBuffer, store.McuImageLength);
  const bool dspCopied =
      CopyResource(lookup, kDspResourceId, store.DspImageBuffer, store.DspImageLength);
  if (!mcuCopied || !dspCopied) return 0;

  const std::span<const std::uint8_t> mcu(store.McuImageBuffer.data(), store.McuImageLength);
  const ImageCheck mcuCheck = CheckMcuImage(mcu);
  if (!mcuCheck.accepted) return 0;
  store.McuFullFlashLayout = mcuCheck.fullFlash ? 1 : 0;
  store.McuImageLength = mcuCheck.length;
  std::copy_n(mcu.begin() + mcuCheck.markerOffset + kMarkerLength, kMcuVersionChars,
              store.McuVersionChars.begin());

  const std::span<const std::uint8_t> dsp(store.DspImageBuffer.data(), store.DspImageLength);
  const ImageCheck dspCheck = CheckDspImage(dsp);
  if (!dspCheck.accepted) return 0;
  std::copy_n(dsp.begin() + dspCheck.markerOffset + kMarkerLength + kDspVersionCharsSkip,
              kDspVersionChars, store.DspVersionChars.begin());
  return 1;
}

}  // namespace

int LoadEmbeddedImages() { return LoadImagesFromResources(FindCarriedResource); }

int LoadImagesFromResources(const ResourceLookup& lookup) { return LoadInto(Images(), lookup); }

std::optional<VersionText> CarriedFirmwareVersion() {
  auto store = std::make_unique<ImageStore>();
  if (!LoadInto(*store, FindCarriedResource)) return std::nullopt;
  return MakeVersionText(store->McuVersionChars.data(), store->DspVersionChars.data());
}

std::string CarriedVersionText() {
  const auto carried = CarriedFirmwareVersion();
  return carried ? ToString(*carried) : "";
}

}  // namespace korva
