// Reading firmware and WAV files within a bound, regular files only, and the acceptance rules on
// their bytes.
#include "images/firmware_file.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "images/regular_file.h"

namespace korva {

FileRead ReadFileBounded(const std::string& path, std::size_t limit, WhenLonger whenLonger) {
  FileRead read;
  if (path.empty()) return read;
  std::optional<RegularFile> file = RegularFile::Open(path);
  if (!file) return read;
  const std::uint64_t size = file->Size();
  read.longer = size > limit;
  read.length = static_cast<std::size_t>(std::min<std::uint64_t>(size, SIZE_MAX));
  if (read.longer && whenLonger == WhenLonger::Skip) {
    read.opened = true;
    return read;
  }
  const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(size, limit));
  read.bytes.resize(want);
  std::size_t got = 0;
  while (got < want) {
    const long n = file->Read(read.bytes.data() + got, want - got);
    if (n < 0) return FileRead{};
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  if (got < want) {
    // The file shrank while it was read: what was read is all there is.
    read.bytes.resize(got);
    read.length = got;
    read.longer = false;
  }
  read.opened = true;
  return read;
}

std::size_t LargestAcceptedLength(FirmwareKind kind) {
  switch (kind) {
    case FirmwareKind::Mcu:
      return kMcuFullFlashLength;
    case FirmwareKind::Dsp:
      return kDspFullMemoryLength;
    case FirmwareKind::Battery:
      return kBatteryFullFlashLength;
  }
  return 0;
}

FirmwareFile AcceptFirmwareBytes(FirmwareKind kind, std::vector<std::uint8_t> bytes) {
  FirmwareFile file;
  file.bytes = std::move(bytes);
  switch (kind) {
    case FirmwareKind::Mcu:
      file.check = CheckMcuImage(file.bytes);
      break;
    case FirmwareKind::Dsp:
      file.check = CheckDspImage(file.bytes);
      break;
    case FirmwareKind::Battery:
      file.check = CheckBatteryImage(file.bytes);
      break;
  }
  file.verdict = file.check.accepted ? FileVerdict::Accepted : FileVerdict::Wrong;
  if (file.check.accepted) file.versionLabel = VersionLabel(file.check);
  return file;
}

FirmwareFile LoadFirmwareFile(FirmwareKind kind, const std::string& path) {
  FileRead read = ReadFileBounded(path, LargestAcceptedLength(kind), WhenLonger::Skip);
  FirmwareFile file;
  if (!read.opened) return file;  // CannotOpen
  if (read.longer) {
    file.verdict = FileVerdict::Wrong;
    return file;
  }
  return AcceptFirmwareBytes(kind, std::move(read.bytes));
}

}  // namespace korva
