// Where an accepted file goes before its job starts: the MCU and DSP files into their image
// stores, the battery and audio files into PageFileBuffer. Called by the service pages and
// the terminal front end on the UI thread, never while a job runs.
#pragma once

#include "images/firmware_file.h"
#include "images/wav_file.h"

namespace korva {

// Each returns 1 when the file was accepted and placed, 0 (placing nothing) otherwise.
// MCU: the whole file into McuImageBuffer, its length set to the accepted (trimmed) length,
// McuFullFlashLayout to its form; PageFileBuffer released.
int PlaceMcuFile(const FirmwareFile& file);
// DSP: the whole file into DspImageBuffer, its length set to the file length; PageFileBuffer
// released.
int PlaceDspFile(const FirmwareFile& file);
// Battery: the file stays in PageFileBuffer with BatteryImageLength and BatteryFullFlashLayout;
// the battery job releases it when it succeeds.
int PlaceBatteryFile(FirmwareFile file);
// Audio: the file's header and slot samples into PageFileBuffer; the audio job releases it.
int PlaceAudioFile(WavFile file);

}  // namespace korva
