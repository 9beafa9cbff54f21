// The files of the four file pages (MCU, DSP, battery, IR) for the tests that drive the pages,
// with or without a toolkit: each page's good file, the version it shows, a file its rule
// refuses, its dialog's filter, and what the amp holds once the file is written (the IR page's
// into slot 5).
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <ostream>
#include <vector>

#include "emulator/virtual_korva.h"
#include "jobs/job_messages.h"
#include "jobs/service_texts.h"
#include "tests/shared/file_bytes.h"

namespace korva::testing {

// A full-flash battery file: boot area, marker, application, and 0xFF from 0x3500 on, so that
// the accepted length ends at 0x3800 and the application part is 0x1800 bytes.
inline Bytes FullFlashBatteryFile() {
  Bytes bytes = FirmwareBytes(0x8000, 31, 0x2010, "BATV1.02");
  std::fill(bytes.begin() + 0x3500, bytes.end(), 0xFF);
  return bytes;
}

struct PageCase {
  const char* name;
  int jobKind;
  const char* fileName;
  Bytes file;
  const char* version;  // beside "Update Version:" after Browse; none on the IR page
  Bytes refusedFile;    // a file that the page's rule refuses at Upgrade
  const char* refusedText;
  const char* filter;  // the dialog's pattern and default extension
  std::function<void(const VirtualKorva&, const Bytes&)> expectOnTheAmp;
};

inline void PrintTo(const PageCase& c, std::ostream* out) { *out << c.name; }

inline std::vector<PageCase> FilePageCases() {
  return {
      {"MCU", kJobMcu, "mcu.bin", FirmwareBytes(0x2345, 7, 0x10, "APPV1.39"), "V 1.39",
       Pattern(0x2345, 7), kTextFileWrong, "*.bin bin",
       [](const VirtualKorva& amp, const Bytes& file) {
         EXPECT_EQ(amp.McuMemory(), Padded(file, 1024));
         EXPECT_EQ(amp.McuVersion(), "1.39");
       }},
      {"DSP", kJobDsp, "dsp.bin", FirmwareBytes(5000, 13, 4, "DSPV0.251"), "V 0.251",
       Pattern(5000, 13), kTextFileWrong, "*.bin bin",
       [](const VirtualKorva& amp, const Bytes& file) {
         EXPECT_EQ(amp.DspHeader(), Slice(file, 0, 16));
         EXPECT_EQ(amp.DspMemory(), Padded(Slice(file, 16, file.size() - 16), 64));
         EXPECT_EQ(amp.DspVersion(), "251");
       }},
      {"Battery", kJobBattery, "battery.bin", FullFlashBatteryFile(), "V 1.02", Pattern(0x6001, 31),
       kTextFileWrong, "*.bin bin",
       [](const VirtualKorva& amp, const Bytes& file) {
         // The boot area is not sent; the application part ends with its 1 KiB block.
         EXPECT_EQ(amp.BatteryMemory(), Slice(file, 0x2000, 0x1800));
       }},
      {"IR", kJobAudio, "cab.wav", Wav(28844), nullptr, Wav(16427), kTextFileTooSmall, "*.wav WAV",
       [](const VirtualKorva& amp, const Bytes& file) {
         // Slot 5: its descriptor names the file and repeats its header; then 16 KiB of samples.
         Bytes descriptor(256, 0);
         std::memcpy(descriptor.data(), "cab.wav", 7);
         std::copy_n(file.begin(), 44, descriptor.begin() + 128);
         EXPECT_EQ(amp.ReadMemory(0x51500, 256), descriptor);
         EXPECT_EQ(amp.ReadMemory(0x66000, 0x4000), Slice(file, 44, 0x4000));
         EXPECT_EQ(amp.ReadMemory(0x51400, 256), Bytes(256, 0xFF));  // no other slot written
       }},
  };
}

}  // namespace korva::testing
