// The KORVA's USB identity and command set: every report layout, command code and protocol
// pause is declared here once, by name, so that the jobs and the virtual device read alike.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace korva {

// USB identity of the amp's own HID interface.
inline constexpr std::uint16_t kKorvaVendorId = 0x1FC9;
inline constexpr std::uint16_t kKorvaProductId = 0x001B;

// USB identity of the Bluetooth module once the amp has handed its link over.
inline constexpr std::uint16_t kBluetoothVendorId = 0x0ECB;
inline constexpr std::uint16_t kBluetoothProductId = 0x1EDC;

// One report: report ID 0 in byte 0, then 64 payload bytes.
inline constexpr std::size_t kPayloadLength = 64;
inline constexpr std::size_t kReportLength = kPayloadLength + 1;
inline constexpr std::uint8_t kReportId = 0;
using HidReport = std::array<std::uint8_t, kReportLength>;

// Every single report moves within this limit or counts as failed.
inline constexpr int kReportTimeoutMs = 3000;

// Status report as the acknowledgement rule reads it (payload offsets).
inline constexpr std::size_t kStatusByte = 0;
inline constexpr std::size_t kStatusSequenceByte = 63;
inline constexpr std::uint8_t kStatusAcknowledged = 1;

// Acknowledgement rule: up to five status reads, each after a pause.
inline constexpr int kAckReadAttempts = 5;
inline constexpr int kAckReadPauseMs = 200;

// Poll layout (payload offsets).
inline constexpr std::size_t kPollSequenceByte = 0;
inline constexpr std::size_t kPollValueLowByte = 1;
inline constexpr std::size_t kPollValueHighByte = 2;

// Commands are identified by their first two payload bytes (or a text).
inline constexpr std::size_t kCommandByte = 0;
inline constexpr std::size_t kSubcommandByte = 1;
inline constexpr std::array<std::uint8_t, 7> kInitStatesText = {'I', 'N', 'I', 'T', 'S', 'T', 'A'};
inline constexpr std::array<std::uint8_t, 2> kReadVersionText = {'R', 'V'};
inline constexpr int kInitStatesPauseMs = 100;
inline constexpr int kReadVersionPauseMs = 100;

// Switching the USB link from the amp's HID interface to the Bluetooth module.
inline constexpr std::uint8_t kLinkSwitchCommand = 0x55;  // 'U'
inline constexpr std::uint8_t kLinkSwitchRequest = 0x41;  // 'A', acknowledged
inline constexpr std::uint8_t kLinkSwitchExecute = 0x42;  // 'B', the HID interface goes away
inline constexpr int kLinkSwitchRequestPauseMs = 50;
inline constexpr int kLinkSwitchSettleMs = 3000;

// MCU firmware: size in 1 KiB blocks (one byte), an acknowledgement after every block.
inline constexpr std::uint8_t kMcuCommand = 0xFF;
inline constexpr std::uint8_t kMcuOpenStep1 = 0x00;
inline constexpr std::uint8_t kMcuOpenStep2 = 0x01;
inline constexpr std::uint8_t kMcuSize = 0x02;
inline constexpr std::uint8_t kMcuEnd = 0x04;
inline constexpr std::size_t kMcuSizeBlocksByte = 2;
inline constexpr int kMcuOpenPauseMs = 50;
inline constexpr int kMcuSizeAckPauseMs = 2000;
inline constexpr int kMcuBlockAckPauseMs = 50;
inline constexpr std::size_t kMcuBlockBytes = 1024;
inline constexpr std::size_t kMcuReportsPerAck = kMcuBlockBytes / kPayloadLength;  // 16

// DSP firmware: size in reports (16 bits little-endian), a 16-byte header report first.
inline constexpr std::uint8_t kDspCommand = 0x55;
inline constexpr std::uint8_t kDspBegin = 0xF1;
inline constexpr std::uint8_t kDspSize = 0xF2;
inline constexpr std::uint8_t kDspEnd = 0xF3;
inline constexpr std::size_t kDspCountLowByte = 2;
inline constexpr std::size_t kDspCountHighByte = 3;
inline constexpr std::size_t kDspHeaderBytes = 16;
inline constexpr int kDspOpenPauseMs = 50;
inline constexpr int kDspSizePauseDivisor = 100;  // pause = data length / 100 ms
inline constexpr int kDspHeaderAckPauseMs = 10;
inline constexpr int kDspAfterHeaderPauseMs = 50;
inline constexpr int kDspDataAckPauseMs = 30;
inline constexpr int kDspEndPauseMs = 50;

// Data of the DSP, battery and memory-write transfers is acknowledged every 256 bytes.
inline constexpr std::size_t kAckChunkBytes = 256;
inline constexpr std::size_t kReportsPerAckChunk = kAckChunkBytes / kPayloadLength;  // 4

// Battery controller: size in reports (16 bits big-endian), a byte sum after every 256 bytes.
inline constexpr std::uint8_t kBatteryCommand = 0x66;
inline constexpr std::uint8_t kBatteryBegin = 0xF1;
inline constexpr std::uint8_t kBatterySize = 0xF2;
inline constexpr std::uint8_t kBatteryEnd = 0xF3;
inline constexpr std::size_t kBatteryCountHighByte = 2;
inline constexpr std::size_t kBatteryCountLowByte = 3;
inline constexpr int kBatteryCommandPauseMs = 50;
inline constexpr int kBatteryBeforeDataPauseMs = 1000;
inline constexpr int kBatterySumPauseMs = 50;

// Memory write (audio slots): address and length, 32 bits little-endian each.
inline constexpr std::uint8_t kMemoryCommand = 0x77;
inline constexpr std::uint8_t kMemoryBegin = 0xF1;
inline constexpr std::uint8_t kMemoryWindow = 0xF2;
inline constexpr std::uint8_t kMemoryEnd = 0xF3;
inline constexpr std::size_t kMemoryAddressByte = 2;
inline constexpr std::size_t kMemoryLengthByte = 6;
inline constexpr int kMemoryCommandPauseMs = 50;
inline constexpr int kMemoryWindowPauseDivisor = 150;  // pause = length / 150 ms
inline constexpr int kMemoryDataAckPauseMs = 10;

// Audio slots in the amp's memory: a 256-byte descriptor and 16 KiB of samples per slot.
inline constexpr std::uint32_t kSlotDescriptorBase = 0x51000;
inline constexpr std::uint32_t kSlotDescriptorStride = 0x100;
inline constexpr std::uint32_t kSlotDescriptorLength = 256;
inline constexpr std::size_t kSlotDescriptorNameLength =
    128;  // name, zero-filled, no terminator when full
inline constexpr std::size_t kSlotDescriptorHeaderOffset = 128;  // the file's 44-byte WAV header
inline constexpr std::uint32_t kSlotSampleBase = 0x52000;
inline constexpr std::uint32_t kSlotSampleStride = 0x4000;
inline constexpr std::uint32_t kSlotSampleLength = 0x4000;
inline constexpr std::uint8_t kDescriptorFiller =
    0x00;                                            // unused payload bytes of the descriptor write
inline constexpr std::uint8_t kSampleFiller = 0xFF;  // unused payload bytes of the sample write
inline constexpr int kSampleWindowPauseMs = 1000;

// The Bluetooth module behind the update library: connection attempts one second apart, then
// the update's progress polled every 100 ms until it reads 100; only 99 right before it means
// success.
inline constexpr int kDfuConnectAttemptLimit = 10;
inline constexpr int kDfuConnectRetryPauseMs = 1000;
inline constexpr int kDfuProgressPollMs = 100;
inline constexpr int kDfuProgressEnded = 100;
inline constexpr int kDfuProgressBeforeSuccess = 99;
inline constexpr int kDfuProgressMask = 0xFF;  // the percentage stands in the low 8 bits
// A progress value that has not moved for this long means the update has stalled; an update that
// has not ended after the longer limit has failed, however its value moves.
inline constexpr int kDfuProgressStallLimitMs = 300'000;
inline constexpr int kDfuUpdateLimitMs = 1'800'000;

// Reply to "RV" (payload offsets).
inline constexpr std::size_t kVersionFlagsOffset = 0;
inline constexpr std::uint8_t kVersionFlagsNoVersion = 0x03;  // bits 0 and 1 both set
inline constexpr std::size_t kVersionMcuOffset = 1;
inline constexpr std::size_t kVersionMcuLength = 4;
inline constexpr std::size_t kVersionMcuExtraOffset = 5;
inline constexpr std::size_t kVersionMcuExtraLength = 4;
inline constexpr std::size_t kVersionDspOffset = 11;
inline constexpr std::size_t kVersionDspLength = 3;
inline constexpr std::size_t kVersionDspExtraOffset = 14;
inline constexpr std::size_t kVersionDspExtraLength = 2;
inline constexpr std::size_t kVersionByte16Offset = 16;
inline constexpr std::size_t kVersionTailOffset = 21;
inline constexpr std::size_t kVersionTailLength = 4;

// "Ver" + 4 MCU characters + "." + 3 DSP characters.
inline constexpr std::size_t kVersionTextLength = 11;

}  // namespace korva
