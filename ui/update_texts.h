// The texts of the main update window, byte for byte as the amp's owners know them
// (misspellings included).
#pragma once

namespace korva::ui {

inline constexpr const char* kTextInitializing = "Initializing...";
inline constexpr const char* kTextConnectCable = "Please connect a micro USB cable and restart the KORVA!";
inline constexpr const char* kTextInitStatesFailedCheckCable =
    "Fail to initialize states of device! Please check the USB cable and restart the KORVA.";
inline constexpr const char* kTextDisconnected = "Disconnected";
inline constexpr const char* kTextConnected = "Connected";
inline constexpr const char* kTextConnectError = "Connect Error!";
inline constexpr const char* kTextBlank = " ";

inline constexpr const char* kTextSameFirmware = "Same fimware, no need to update!";
inline constexpr const char* kTextSameMcuFirmware = "Same MCU fimware, only need to update DSP firmware!";
inline constexpr const char* kTextSameDspFirmware = "Same DSP fimware, only need to update MCU firmware!";
inline constexpr const char* kTextClickUpdate = "Click 'Update'to update the new firmware.";
// After a failed MCU start the text has a blank after the closing quote.
inline constexpr const char* kTextClickUpdateAfterMcuStartFailed = "Click 'Update' to update the new firmware.";

inline constexpr const char* kTextStartUpdating = "Start updating...";
inline constexpr const char* kTextMcuUpdating = "MCU firmware is updating...";
inline constexpr const char* kTextMcuUpdateDone = "MCU firmware update successfully!";
inline constexpr const char* kTextDspUpdating = "DSP firmware is updating...";
inline constexpr const char* kTextUpdateSucceeded =
    "Update successfully! Please disconnect the USB cable and restart the KORVA.";
inline constexpr const char* kTextUpdateFailed = "Firmware updated fail!";
inline constexpr const char* kTextUpdateMcuFailed = "Update MCU fail!";
inline constexpr const char* kTextUpdateDspFailed = "Update DSP fail!";

}  // namespace korva::ui
