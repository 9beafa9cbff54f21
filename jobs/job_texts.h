// Texts that the dispatcher and the jobs show themselves, byte for byte.
#pragma once

namespace korva {

// GBK's full-width exclamation mark (U+FF01).
#define KORVA_FULLWIDTH_EXCLAMATION "\xA3\xA1"

inline constexpr const char* kTextInitStatesFailed = "Fail to initialize states of device!";
inline constexpr const char* kTextInitStatesFailedWide =
    "Fail to initialize states of device" KORVA_FULLWIDTH_EXCLAMATION;

// The Bluetooth link switch and update.
inline constexpr const char* kTextLinkSwitchFailed =
    "Fail to toggle HID to Bluetooth" KORVA_FULLWIDTH_EXCLAMATION;
inline constexpr const char* kTextBluetoothConnectFailed = "Connect to BlueTooth fail!";
inline constexpr const char* kTextBluetoothResetFailed =
    "Reset BlueTooth Device Fail!\nPlease reset the device manually";
inline constexpr const char* kTextBluetoothDisconnectFailed = "Disconnect BlueTooth Device Fail!!!";
// A Bluetooth update refused before it starts; the library layer's reason follows on the next
// line (which library failed, and where the library is looked for).
inline constexpr const char* kTextBluetoothLibraryMissing =
    "The Bluetooth update library is missing, so the Bluetooth module cannot be updated.";

}  // namespace korva
