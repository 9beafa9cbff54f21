// The main road's words, byte for byte (misspellings included), as the main update window
// shows them. The window and the terminal front end both take them from here.
#pragma once

namespace korva {

// Connection and version lines.
inline constexpr const char* kTextInitializing = "Initializing...";
inline constexpr const char* kTextConnected = "Connected";
inline constexpr const char* kTextDisconnected = "Disconnected";
inline constexpr const char* kTextConnectError = "Connect Error!";
// The version line of a device that has no version to show, and the emptied percentage.
inline constexpr const char* kTextBlank = " ";
inline constexpr const char* kTextConnectCable =
    "Please connect a micro USB cable and restart the KORVA!";
inline constexpr const char* kTextInitStatesFailedCheckCable =
    "Fail to initialize states of device! Please check the USB cable and restart the KORVA.";
inline constexpr const char* kTextCurrentVersionLabel = "Current firmware version:";
inline constexpr const char* kTextNewVersionLabel = "Version to be updated:";

// The comparison's status lines.
inline constexpr const char* kTextSameFirmware = "Same fimware, no need to update!";
inline constexpr const char* kTextSameMcuFirmware =
    "Same MCU fimware, only need to update DSP firmware!";
inline constexpr const char* kTextSameDspFirmware =
    "Same DSP fimware, only need to update MCU firmware!";
inline constexpr const char* kTextClickUpdate = "Click 'Update'to update the new firmware.";
// After a failed start of the MCU job the window words it with a blank after the quote.
inline constexpr const char* kTextClickUpdateAfterMcuStartFailed =
    "Click 'Update' to update the new firmware.";

// The prompt when both versions already match ("Yes" / "No", "No" the default).
inline constexpr const char* kTextSameVersionPrompt =
    "The firmware version to be updated is same as the current firmware version. Are you  to "
    "update the "
    "software? Press \"Yes\" to update,otherwize press \"No\".";

// While and after the jobs run.
inline constexpr const char* kTextStartUpdating = "Start updating...";
inline constexpr const char* kTextMcuUpdating = "MCU firmware is updating...";
inline constexpr const char* kTextDspUpdating = "DSP firmware is updating...";
inline constexpr const char* kTextMcuUpdateDone = "MCU firmware update successfully!";
inline constexpr const char* kTextUpdateSucceeded =
    "Update successfully! Please disconnect the USB cable and restart the KORVA.";
inline constexpr const char* kTextUpdateFailed = "Firmware updated fail!";
inline constexpr const char* kTextUpdateMcuFailed = "Update MCU fail!";
inline constexpr const char* kTextUpdateDspFailed = "Update DSP fail!";

}  // namespace korva
