// The terminal front end's own words, beside the program's texts in jobs/update_texts.h, and the
// conversions that make device and program bytes safe to print.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "device/command_protocol.h"
#include "device/device_access.h"
#include "jobs/display_text.h"

namespace korva::cli {

inline constexpr const char* kProgramName = "korva-updater-cli";
inline constexpr const char* kAskUpdateAnyway = "Update anyway? [y/N]";
// Ctrl-C before anything was written: the command ends and the amp is as it was.
inline constexpr const char* kTextStoppedBeforeWriting =
    "Stopped before anything was written: the KORVA is as it was.";
// The first interrupt while a job writes: what stopping would leave behind, then how to insist.
// SIGTERM or SIGHUP is named first ("%s": the signal), as it did not come from the user's keys.
inline constexpr const char* kTextAskedToEnd =
    "Asked to end by %s: the program ends once the job is done.";
inline constexpr const char* kTextFirmwareGoesOn =
    "Stopping now leaves the KORVA's firmware incomplete, so the update goes on.";
inline constexpr const char* kTextInsistByCtrlC =
    "Press Ctrl-C again within 3 seconds to stop it anyway.";
inline constexpr const char* kTextInsistBySignal =
    "Ask again within 3 seconds (SIGTERM, SIGHUP or Ctrl-C) to stop it anyway.";
inline constexpr const char* kTextStopping = "Stopping the update after the current report...";
inline constexpr const char* kTextStopped =
    "The update was stopped: the KORVA's firmware is incomplete.\n"
    "Run the update again before you restart the KORVA.";
// Ctrl-C while the audio job writes a slot.
inline constexpr const char* kTextAudioGoesOn =
    "Stopping now leaves the audio slot incomplete, so the write goes on.";
inline constexpr const char* kTextStoppingAudio = "Stopping the write after the current report...";
inline constexpr const char* kTextStoppedAudio =
    "The write was stopped: the audio slot is incomplete.\n"
    "Write the slot again before you use it.";
// Ctrl-C once the amp has handed its link to the Bluetooth module: nothing can stop the
// module's update part-way.
inline constexpr const char* kTextModuleCannotStop =
    "The Bluetooth module's update cannot be stopped once the KORVA has handed its link to the "
    "module;\n"
    "ending the program now could leave the module without working firmware. The update goes on,\n"
    "and the program ends when the module reports the end of it.";
// "%s": Ctrl-C or the signal.
inline constexpr const char* kTextWaitingForModule =
    "%s cannot end a Bluetooth update: waiting for the module to report its end.";
inline constexpr const char* kTextCarriedImagesBroken =
    "The carried firmware images failed their checks.";

// The plan as the terminal says it: the window's status line where it tells what differs, and
// in place of the window's "Click 'Update'..." a line of the terminal's own.
const char* PlanStatusLine(int plan);
inline constexpr const char* kTextBothPartsDiffer =
    "The MCU and the DSP firmware both differ: an update writes the MCU, then the DSP firmware.";

// The user's next step when the amp is present but cannot be opened.
std::string AccessAdvice(const DeviceAccessReport& report);
// What the list command says of an amp's access: "ready" or the reason.
const char* AccessWord(DeviceAccess access);
// The word and the advice for a run with several amps connected and no --path, and for a
// --path that leads to no KORVA.
std::string AmpChosenText(const std::string& path, int connected);
std::string NoAmpAtText(const std::string& path);

// Text from the amp or from a file with every byte that is not printable ASCII shown as '?'.
std::string PrintableText(std::string_view text);
// Text (UTF-8 allowed) with every control character but the line break shown as '?'.
std::string WithoutControls(std::string_view text);
// A version text from the amp with every byte that is not printable ASCII shown as '?', so
// that the amp's bytes can never steer the terminal.
std::string PrintableVersion(const VersionText& text);

// "job" names in JSON ("MCU", "DSP", ...) and labels of the progress lines.
const char* JobName(int kind);
const char* JobLabel(int kind);

}  // namespace korva::cli
