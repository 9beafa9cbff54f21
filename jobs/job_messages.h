// The job kinds and the messages by which a running job reports to the window that started it:
// the message number names the job, wParam says what happened, lParam carries a number.
#pragma once

namespace korva {

// The byte that selects a job; any other value starts nothing.
enum JobKind : int {
  kJobDsp = 0,
  kJobMcu = 1,
  kJobBluetooth = 6,
  kJobBattery = 7,
  kJobAudio = 8,
};

// Message numbers (the first user message number plus 20 to 24).
inline constexpr int kUserMessageBase = 0x0400;
inline constexpr int WM_MCU_JOB = kUserMessageBase + 20;        // 1044
inline constexpr int WM_DSP_JOB = kUserMessageBase + 21;        // 1045
inline constexpr int WM_BLUETOOTH_JOB = kUserMessageBase + 22;  // 1046
inline constexpr int WM_BATTERY_JOB = kUserMessageBase + 23;    // 1047
inline constexpr int WM_AUDIO_JOB = kUserMessageBase + 24;      // 1048

// wParam values.
inline constexpr int JOB_PROGRESS = 1;  // lParam: reports sent so far (Bluetooth: percent)
inline constexpr int JOB_DONE = 2;      // lParam: 0; the last message of a job that succeeded
inline constexpr int JOB_FAILED = -1;   // lParam: reports sent before the failure; the last message

// Values of CurrentTransfer: which of the main window's two jobs is running.
inline constexpr int kTransferNone = 0;
inline constexpr int kTransferMcu = 1;
inline constexpr int kTransferDsp = 2;

// Values of JobStatus.
inline constexpr int kJobIdle = 0;
inline constexpr int kJobRunning = 1;
inline constexpr int kJobSucceeded = 2;
inline constexpr int kJobFailedStatus = -1;

}  // namespace korva
