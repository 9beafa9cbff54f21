// The terminal front end's own words, beside the program's texts in jobs/update_texts.h, and the
// conversions that make device and program bytes safe to print.
#pragma once

#include <optional>
#include <string>

#include "device/command_protocol.h"
#include "device/device_access.h"

namespace korva::cli {

inline constexpr const char* kUdevRuleName = "70-korva.rules";
inline constexpr const char* kAskUpdateAnyway = "Update anyway? [y/N]";
inline constexpr const char* kTextFirstInterrupt =
    "Stopping now leaves the KORVA's firmware incomplete, so the update goes on.\n"
    "Press Ctrl-C again within 3 seconds to stop it anyway.";
inline constexpr const char* kTextStopping = "Stopping the update after the current report...";
inline constexpr const char* kTextStopped =
    "The update was stopped: the KORVA's firmware is incomplete.\n"
    "Run the update again before you restart the KORVA.";
inline constexpr const char* kTextCarriedImagesBroken = "The carried firmware images failed their checks.";

// The user's next step when the amp is present but cannot be opened.
std::string AccessAdvice(const DeviceAccessReport& report);
// A short reason for scripts: "permission denied", "held by another program", "cannot be opened".
const char* AccessReason(DeviceAccess access);

// A program text for the terminal: GBK's full-width "!" (0xA3 0xA1) becomes its UTF-8 form.
std::string DisplayText(const std::string& text);
// A version text from the amp with every byte that is not printable ASCII shown as '?', so
// that the amp's bytes can never steer the terminal.
std::string PrintableVersion(const VersionText& text);

// "job" names in JSON ("MCU", "DSP") and labels of the progress lines.
const char* JobName(int kind);
const char* JobLabel(int kind);

}  // namespace korva::cli
