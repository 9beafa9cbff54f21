// Writing one audio slot into the amp's memory: a 256-byte descriptor that names the file and
// repeats its WAV header, then 16 KiB of samples. Both go out with the memory-write commands
// (begin, address and length, data, end); the amp acknowledges the window and every 256 bytes.
#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <string>
#include <vector>

#include "device/clock.h"
#include "device/command_protocol.h"
#include "device/hid_transport.h"
#include "device/report_builder.h"
#include "images/page_file.h"
#include "images/wav_file.h"
#include "jobs/job_report.h"
#include "jobs/service_jobs.h"

namespace korva {
namespace {

// A memory-write command: its two command bytes, the filler in every other payload byte.
void MemoryCommand(HidReport& hid, std::uint8_t subcommand, std::uint8_t filler) {
  FillPayload(hid, filler);
  SetCommand(hid, kMemoryCommand, subcommand);
}

void MemoryWindow(HidReport& hid, std::uint32_t address, std::uint32_t length,
                  std::uint8_t filler) {
  MemoryCommand(hid, kMemoryWindow, filler);
  PutLittleEndian32(hid, kMemoryAddressByte, address);
  PutLittleEndian32(hid, kMemoryLengthByte, length);
}

// Sends `reports` data reports, acknowledged after every 256 bytes and after the last one.
// `sent` counts the reports written; `written` runs after each write, before its
// acknowledgement. Returns false at the first failed write or acknowledgement, and before the
// next report once the front end has asked the job to stop.
template <typename Written>
bool SendMemoryData(HidReport& hid, const std::uint8_t* data, long reports, long& sent,
                    Written written) {
  for (long k = 0; k < reports; ++k) {
    if (JobStopRequested.load()) return false;
    SetData(hid, data + static_cast<std::size_t>(k) * kPayloadLength);
    if (!WriteReport(hid, kReportId)) return false;
    written(++sent);
    if (sent % static_cast<long>(kReportsPerAckChunk) == 0 || sent == reports) {
      Pause(kMemoryDataAckPauseMs);
      if (!WaitForAck()) return false;
    }
  }
  return true;
}

// The owner's slot text as a decimal number; 0 when it holds none.
int ParseSlotIndex(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  if (i < text.size() && text[i] == '+') ++i;
  int index = 0;
  const auto [end, error] = std::from_chars(text.data() + i, text.data() + text.size(), index);
  (void)end;
  return error == std::errc() ? index : 0;
}

// The file's name (cut at 128 bytes, with no terminator then), its WAV header, zeros.
std::array<std::uint8_t, kSlotDescriptorLength> BuildDescriptor(const std::string& fileName,
                                                                const std::uint8_t* header) {
  std::array<std::uint8_t, kSlotDescriptorLength> descriptor{};
  std::copy_n(fileName.begin(), std::min(fileName.size(), kSlotDescriptorNameLength),
              descriptor.begin());
  std::copy_n(header, kWavHeaderLength, descriptor.begin() + kSlotDescriptorHeaderOffset);
  return descriptor;
}

}  // namespace

int SendMemoryBlock(std::uint32_t address, std::uint32_t length, const std::uint8_t* data) {
  auto fail = [] {
    JobStatus.store(kJobFailedStatus);
    return 0;
  };
  HidReport hid{};
  MemoryCommand(hid, kMemoryBegin, kDescriptorFiller);
  if (!WriteReport(hid, kReportId)) return fail();
  Pause(kMemoryCommandPauseMs);
  MemoryWindow(hid, address, length, kDescriptorFiller);
  if (!WriteReport(hid, kReportId)) return fail();
  Pause(static_cast<int>(length / kMemoryWindowPauseDivisor));
  if (!WaitForAck()) return fail();
  long sent = 0;
  if (!SendMemoryData(hid, data, length / kPayloadLength, sent, [](long) {})) return fail();
  MemoryCommand(hid, kMemoryEnd, kDescriptorFiller);
  if (!WriteReport(hid, kReportId)) return fail();
  Pause(kMemoryCommandPauseMs);
  return 1;
}

int AudioTransferJob() {
  JobReport report(WM_AUDIO_JOB);
  PageFileState& page = PageFile();
  // The page accepted a file of at least the header and one slot's samples; without it there
  // is nothing to write.
  if (!page.PageFileBuffer || page.PageFileBuffer->size() < kWavHeaderLength + kSlotSampleLength) {
    return report.FailedWithStatus(0);
  }
  const std::vector<std::uint8_t> samples(
      page.PageFileBuffer->begin() + kWavHeaderLength,
      page.PageFileBuffer->begin() + kWavHeaderLength + kSlotSampleLength);
  const std::uint32_t slot = static_cast<std::uint32_t>(ParseSlotIndex(report.SlotIndexText()));
  const auto descriptor = BuildDescriptor(report.StoredFileName(), page.PageFileBuffer->data());
  if (!report.PassWriteGate()) return report.FailedWithStatus(0);

  if (!SendMemoryBlock(kSlotDescriptorBase + slot * kSlotDescriptorStride, kSlotDescriptorLength,
                       descriptor.data())) {
    return report.Failed(0);  // JobStatus is -1 already
  }

  HidReport hid{};
  MemoryCommand(hid, kMemoryBegin, kSampleFiller);
  if (!WriteReport(hid, kReportId)) return report.FailedWithStatus(0);
  Pause(kMemoryCommandPauseMs);
  const int total = static_cast<int>(kSlotSampleLength / kPayloadLength);
  AudioReportTotal.store(total);
  report.PrepareProgressBar(total);
  MemoryWindow(hid, kSlotSampleBase + slot * kSlotSampleStride, kSlotSampleLength, kSampleFiller);
  if (!WriteReport(hid, kReportId)) return report.FailedWithStatus(0);
  Pause(kSampleWindowPauseMs);
  if (!WaitForAck()) return report.FailedWithStatus(0);

  long sent = 0;
  if (!SendMemoryData(hid, samples.data(), total, sent,
                      [&report](long k) { report.Progress(k); })) {
    return report.FailedWithStatus(sent);
  }
  MemoryCommand(hid, kMemoryEnd, kSampleFiller);
  if (!WriteReport(hid, kReportId)) return report.FailedWithStatus(sent);
  Pause(kMemoryCommandPauseMs);
  page.PageFileBuffer.reset();
  return report.Done();
}

}  // namespace korva
