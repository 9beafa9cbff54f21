// What a service page's file-open dialog offers: one filter entry and the extension that a
// typed name without one gets. Both faces build their dialog from it.
#pragma once

namespace korva::dialogs {

struct FileFilter {
  // The entry as the user reads it and the patterns it matches: "*.bin", or several patterns
  // in one entry, "*.bin; *.dfu".
  const char* pattern;
  // "bin", or none.
  const char* defaultSuffix;
};

inline constexpr FileFilter kFirmwareFileFilter{"*.bin", "bin"};
inline constexpr FileFilter kWavFileFilter{"*.wav", "WAV"};
inline constexpr FileFilter kBluetoothFileFilter{"*.bin; *.dfu", ""};

}  // namespace korva::dialogs
