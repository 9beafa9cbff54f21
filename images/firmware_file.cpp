// Reading firmware and WAV files within a bound, regular files only, and the acceptance rules on
// their bytes.
#include "images/firmware_file.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "images/regular_file.h"
#include "support/support_log.h"

namespace korva {
namespace {

const char* KindName(FirmwareKind kind) {
  switch (kind) {
    case FirmwareKind::Mcu:
      return "MCU";
    case FirmwareKind::Dsp:
      return "DSP";
    case FirmwareKind::Battery:
      return "battery controller";
  }
  return "";
}

FileRead Unread(std::string reason) {
  SupportLog("file not read: " + reason);
  FileRead read;
  read.reason = std::move(reason);
  return read;
}

}  // namespace

FileRead ReadFileBounded(const std::string& path, std::size_t limit, WhenLonger whenLonger) {
  if (path.empty()) return Unread("no file was chosen");
  std::string why;
  std::optional<RegularFile> file = RegularFile::Open(path, &why);
  if (!file) return Unread(why);
  FileRead read;
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
    if (n < 0) return Unread("cannot read " + path + ": the read failed");
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
  if (!read.opened) {
    file.reason = std::move(read.reason);
    return file;  // CannotOpen
  }
  if (read.longer) {
    file.verdict = FileVerdict::Wrong;
    file.reason = path + " is " + std::to_string(read.length) + " bytes, longer than any " +
                  KindName(kind) + " firmware file (" +
                  std::to_string(LargestAcceptedLength(kind)) + " bytes at most)";
  } else {
    file = AcceptFirmwareBytes(kind, std::move(read.bytes));
  }
  if (file.verdict != FileVerdict::Accepted) {
    SupportLog(std::string("file refused as ") + KindName(kind) +
               " firmware: " + (file.reason.empty() ? path : file.reason));
  }
  return file;
}

}  // namespace korva
