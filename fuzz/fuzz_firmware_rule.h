// The body shared by the three firmware-rule fuzzers: the rule must never read outside the
// file, and what it accepts must be consistent with the file and with the kind's forms.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "images/firmware_file.h"

namespace korva::fuzz {

// Stops the fuzzer with a crash that it records as a finding.
inline void Require(bool condition) {
  if (!condition) std::abort();
}

struct Forms {
  std::size_t fullLength;       // the one length of the full-flash (full-memory) form
  std::size_t otherMaximum;     // the longest file of the other form
  std::size_t shownVersionMax;  // version characters a page shows
};

inline int FuzzFirmwareRule(FirmwareKind kind, const Forms& forms, const std::uint8_t* data,
                            std::size_t size) {
  const FirmwareFile file = AcceptFirmwareBytes(kind, std::vector<std::uint8_t>(data, data + size));
  Require(file.bytes.size() == size);
  if (file.verdict != FileVerdict::Accepted) {
    Require(file.verdict == FileVerdict::Wrong && file.versionLabel.empty());
    return 0;
  }
  Require(size == forms.fullLength || size <= forms.otherMaximum);
  Require(file.check.fullFlash == (size == forms.fullLength));
  Require(file.check.length > 0 && file.check.length <= size);
  Require(file.check.length % 1024 == 0 || file.check.length == size);
  Require(file.check.versionBytes.size() <= forms.shownVersionMax);
  Require(file.versionLabel == "V " + file.check.versionBytes);
  return 0;
}

}  // namespace korva::fuzz
