// Reading firmware and WAV files within a bound, and the acceptance rules on their bytes.
#include "images/firmware_file.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace korva {

FileRead ReadFileBounded(const std::string& path, std::size_t limit, WhenLonger whenLonger) {
  FileRead read;
  if (path.empty()) return read;
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) return read;
  std::ifstream in(path, std::ios::binary);
  if (!in) return read;

  bool sizeKnown = false;
  if (std::filesystem::is_regular_file(path, error)) {
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (!error) {
      sizeKnown = true;
      read.length = static_cast<std::size_t>(size);
      read.longer = size > limit;
      if (read.longer && whenLonger == WhenLonger::Skip) {
        read.opened = true;
        return read;
      }
    }
  }

  // Read in pieces: a pipe or a device need not deliver everything at once.
  constexpr std::size_t kPiece = 64 * 1024;
  while (read.bytes.size() < limit) {
    const std::size_t before = read.bytes.size();
    const std::size_t want = std::min(kPiece, limit - before);
    read.bytes.resize(before + want);
    in.read(reinterpret_cast<char*>(read.bytes.data() + before), static_cast<std::streamsize>(want));
    read.bytes.resize(before + static_cast<std::size_t>(in.gcount()));
    if (!in) break;
  }
  if (in.bad()) return FileRead{};
  if (!sizeKnown && read.bytes.size() == limit && in &&
      in.peek() != std::ifstream::traits_type::eof()) {
    read.longer = true;
  }
  read.opened = true;
  if (!sizeKnown) read.length = read.bytes.size() + (read.longer ? 1 : 0);
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
