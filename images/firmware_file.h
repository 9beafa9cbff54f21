// Firmware files chosen on the service pages or named on the command line: how they are read
// and which of them are accepted. Shared by every front end; nothing here shows a message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "images/image_formats.h"

namespace korva {

enum class FirmwareKind { Mcu, Dsp, Battery };

// What became of a file. The front ends turn each into their own text ("Open file fail!" or
// "Please select a file!" for CannotOpen, "ERROR: The file for upgrading is wrong!" for Wrong).
enum class FileVerdict { Accepted, CannotOpen, TooSmall, Wrong };

struct FirmwareFile {
  FileVerdict verdict = FileVerdict::CannotOpen;
  std::vector<std::uint8_t> bytes;  // the whole file when it was read
  ImageCheck check;                 // the rule's outcome (trimmed length, form, version bytes)
  std::string versionLabel;         // "V " and the version text when accepted, else empty
  std::string reason;  // why it was refused, for a person, where that can be said; else empty
};

// The longest file that the kind's rule can accept: its full-flash (full-memory) length.
std::size_t LargestAcceptedLength(FirmwareKind kind);

// Applies the kind's acceptance rule to bytes already in memory.
FirmwareFile AcceptFirmwareBytes(FirmwareKind kind, std::vector<std::uint8_t> bytes);

// Opens and reads `path` and applies the kind's rule. A file longer than the rule can accept
// is rejected by its length before it is read.
FirmwareFile LoadFirmwareFile(FirmwareKind kind, const std::string& path);

// How a bounded read of a file ended.
struct FileRead {
  bool opened = false;
  bool longer = false;  // the file holds more than the limit
  std::vector<std::uint8_t>
      bytes;               // at most the limit; nothing when the file is longer and skipped
  std::size_t length = 0;  // the file's length
  std::string reason;      // why it was not opened or read, for a person
};

// What to do with a file that is longer than the limit: leave it unread (a firmware file that
// no rule accepts) or read its first `limit` bytes (a WAV file, of which a slot takes only the
// start).
enum class WhenLonger { Skip, ReadPrefix };

// Reads at most `limit` bytes of `path`, measured before it is read. Only a regular file is
// read: an empty path, a path that cannot be opened or read, and anything that is not a regular
// file (a folder, a FIFO, a device, a socket) give `opened` false, without blocking; the pages
// show "Open file fail!" or "Please select a file!" for it, as for a missing file, and
// `reason` says why. The support log notes every file that could not be read, and why.
FileRead ReadFileBounded(const std::string& path, std::size_t limit, WhenLonger whenLonger);

}  // namespace korva
