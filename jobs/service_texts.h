// The service pages' words, byte for byte (misspellings and capitals included), as the pages
// show them in their boxes. The pages and the terminal front end both take them from here.
#pragma once

#include "jobs/job_messages.h"
#include "jobs/job_texts.h"
#include "jobs/update_texts.h"

namespace korva {

// The checks of "Upgrade", in the order in which the pages make them.
inline constexpr const char* kTextLinkOnBluetooth =
    "PC is connected to BlueTooth now.\nPlease upgrade the BlueTooth First!";
inline constexpr const char* kTextSelectAudioIndex = "please select the index of the audio";
inline constexpr const char* kTextConnectDevice = "Please Connect Device!";
inline constexpr const char* kTextSelectFile = "Please select a file!";
inline constexpr const char* kTextOpenFileFailed = "Open file fail!";
inline constexpr const char* kTextFileWrong = "ERROR: The file for upgrading is wrong!";
inline constexpr const char* kTextFileTooSmall = "ERROR: The file for upgrading is too small!";
// Beside the version of an accepted file: "V " and its version text, or this on a rejected one.
inline constexpr const char* kTextVersionError = "ERROR!";
inline constexpr const char* kTextUpdateVersionLabel = "Update Version:";

// Start failures (StartJob returned 0): the MCU and DSP pages (and the battery page, which
// reuses the MCU text) say what the main window says, kTextUpdateMcuFailed and
// kTextUpdateDspFailed of update_texts.h.
inline constexpr const char* kTextStartAudioFailed = "Upgrade Audio fail!";
inline constexpr const char* kTextStartBluetoothFailed = "Upgrade BlueTooth fail!";

// Final texts of the jobs.
inline constexpr const char* kTextMcuPageSucceeded =
    "MCU Update successfully" KORVA_FULLWIDTH_EXCLAMATION;
inline constexpr const char* kTextMcuPageFailed = "MCU Firmware Update fail!";
inline constexpr const char* kTextDspPageSucceeded =
    "DSP Update successfully" KORVA_FULLWIDTH_EXCLAMATION;
inline constexpr const char* kTextDspPageFailed = "DSP Firmware Update fail!";
inline constexpr const char* kTextBatterySucceeded = "SlaveMCU Upgrade successfully!";
inline constexpr const char* kTextBatteryFailed =
    "SlaveMCU Upgrade Firmware fail!\nPlease try it again!";
inline constexpr const char* kTextAudioSucceeded = "Audio Upgrade successfully!";
inline constexpr const char* kTextAudioFailed = "Audio data Upgrade fail!";
inline constexpr const char* kTextBluetoothSucceeded =
    "Bluetooth Upgrade successfully" KORVA_FULLWIDTH_EXCLAMATION;
inline constexpr const char* kTextBluetoothFailed = "Bluetooth Upgrade fail!";

// What each service page says about its job, by job kind: the page box when StartJob refuses
// it, and the page box of its final message.
struct ServiceJobTexts {
  int kind;
  int message;  // the job's WM_*_JOB
  const char* startFailed;
  const char* succeeded;
  const char* failed;
};

inline constexpr ServiceJobTexts kServiceJobTexts[] = {
    {kJobMcu, WM_MCU_JOB, kTextUpdateMcuFailed, kTextMcuPageSucceeded, kTextMcuPageFailed},
    {kJobDsp, WM_DSP_JOB, kTextUpdateDspFailed, kTextDspPageSucceeded, kTextDspPageFailed},
    {kJobBattery, WM_BATTERY_JOB, kTextUpdateMcuFailed, kTextBatterySucceeded, kTextBatteryFailed},
    {kJobAudio, WM_AUDIO_JOB, kTextStartAudioFailed, kTextAudioSucceeded, kTextAudioFailed},
    {kJobBluetooth, WM_BLUETOOTH_JOB, kTextStartBluetoothFailed, kTextBluetoothSucceeded,
     kTextBluetoothFailed},
};

// The texts of a service job kind; an unknown kind gets the MCU page's.
constexpr const ServiceJobTexts& ServiceJobTextsOf(int kind) {
  for (const ServiceJobTexts& texts : kServiceJobTexts) {
    if (texts.kind == kind) return texts;
  }
  return kServiceJobTexts[0];
}

// The busy prompt while the module finishes, from its first progress value 99 on.
inline constexpr const char* kTextBluetoothBusy =
    "BlueTooth Device is upgrading, \r\n please wait for seconds . . .";

}  // namespace korva
