// Placing accepted files where their jobs read them.
#include "images/file_placement.h"

#include <algorithm>

#include "images/image_store.h"
#include "images/page_file.h"

namespace korva {
namespace {

bool Accepted(const FirmwareFile& file, std::size_t capacity) {
  return file.verdict == FileVerdict::Accepted && file.bytes.size() <= capacity;
}

}  // namespace

int PlaceMcuFile(const FirmwareFile& file) {
  ImageStore& store = Images();
  if (!Accepted(file, store.McuImageBuffer.size())) return 0;
  std::copy(file.bytes.begin(), file.bytes.end(), store.McuImageBuffer.begin());
  store.McuImageLength = file.check.length;
  store.McuFullFlashLayout = file.check.fullFlash ? 1 : 0;
  PageFile().PageFileBuffer.reset();
  return 1;
}

int PlaceDspFile(const FirmwareFile& file) {
  ImageStore& store = Images();
  if (!Accepted(file, store.DspImageBuffer.size())) return 0;
  std::copy(file.bytes.begin(), file.bytes.end(), store.DspImageBuffer.begin());
  store.DspImageLength = file.bytes.size();
  PageFile().PageFileBuffer.reset();
  return 1;
}

int PlaceBatteryFile(FirmwareFile file) {
  if (!Accepted(file, kBatteryFullFlashLength)) return 0;
  PageFileState& page = PageFile();
  page.BatteryImageLength = file.check.length;
  page.BatteryFullFlashLayout = file.check.fullFlash ? 1 : 0;
  page.PageFileBuffer = std::move(file.bytes);
  return 1;
}

int PlaceAudioFile(WavFile file) {
  if (file.verdict != FileVerdict::Accepted) return 0;
  PageFile().PageFileBuffer = std::move(file.bytes);
  return 1;
}

}  // namespace korva
