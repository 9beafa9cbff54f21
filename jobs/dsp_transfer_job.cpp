// The DSP firmware transfer: begin and size commands, a header report of 16 bytes, the data
// in 64-byte reports with an acknowledgement after every 256 bytes and after the last report,
// and the end command.
#include <algorithm>
#include <vector>

#include "device/clock.h"
#include "device/command_protocol.h"
#include "device/hid_transport.h"
#include "device/report_builder.h"
#include "images/image_store.h"
#include "jobs/firmware_jobs.h"
#include "jobs/job_report.h"

namespace korva {

int DspTransferJob() {
  JobReport report(WM_DSP_JOB);
  const ImageStore& store = Images();

  HidReport hid{};
  FillPayload(hid, 0x00);
  std::vector<std::uint8_t> header(kDspHeaderBytes, 0xFF);
  std::vector<std::uint8_t> data(kDspDataAreaLength, 0xFF);

  // A full-memory image is sent whole, with the header that sits at 0x7F000 sent before it;
  // a short image sends its first 16 bytes as the header and the rest as data.
  const std::size_t imageLength = std::min(store.DspImageLength, store.DspImageBuffer.size());
  std::size_t dataLength = 0;
  if (imageLength == kDspFullMemoryLength) {
    std::copy_n(store.DspImageBuffer.begin() + kDspFullMemoryHeaderOffset, kDspHeaderBytes,
                header.begin());
    dataLength = kDspFullMemoryLength;
    std::copy_n(store.DspImageBuffer.begin(), dataLength, data.begin());
  } else if (imageLength > 0) {
    const std::size_t headerLength = std::min(imageLength, kDspHeaderBytes);
    std::copy_n(store.DspImageBuffer.begin(), headerLength, header.begin());
    dataLength = imageLength - headerLength;
    std::copy_n(store.DspImageBuffer.begin() + headerLength, dataLength, data.begin());
  }

  const int total = report.AnnounceReports(DspReportTotal, dataLength);
  if (!report.PassWriteGate()) return report.FailedWithStatus(0);

  SetCommand(hid, kDspCommand, kDspBegin);
  if (!WriteReport(hid, kReportId)) return report.FailedWithStatus(0);
  Pause(kDspOpenPauseMs);
  SetCommand(hid, kDspCommand, kDspSize);
  PutLittleEndian16(hid, kDspCountLowByte, static_cast<std::uint16_t>(total));
  if (!WriteReport(hid, kReportId)) return report.FailedWithStatus(0);
  Pause(static_cast<int>(dataLength / kDspSizePauseDivisor));
  if (!WaitForAck()) return report.FailedWithStatus(0);

  // The header report counts as the first report.
  FillPayload(hid, 0xFF);
  std::copy(header.begin(), header.end(), hid.begin() + 1);
  if (!WriteReport(hid, kReportId)) return report.FailedWithStatus(0);
  long sent = 1;
  report.Progress(sent);
  Pause(kDspHeaderAckPauseMs);
  if (!WaitForAck()) return report.FailedWithStatus(sent);

  Pause(kDspAfterHeaderPauseMs);
  for (int i = 0; i < total; ++i) {
    if (report.StopRequested()) return report.FailedWithStatus(sent);
    SetData(hid, data.data() + static_cast<std::size_t>(i) * kPayloadLength);
    if (!WriteReport(hid, kReportId)) return report.FailedWithStatus(sent);
    report.Progress(++sent);
    const bool chunkEnd = (static_cast<std::size_t>(i) + 1) % kReportsPerAckChunk == 0;
    if (chunkEnd || i == total - 1) {
      Pause(kDspDataAckPauseMs);
      if (!WaitForAck()) return report.FailedWithStatus(sent);
    }
  }

  SetCommand(hid, kDspCommand, kDspEnd);
  if (!WriteReport(hid, kReportId)) return report.FailedWithStatus(sent);
  Pause(kDspEndPauseMs);
  return report.Done();
}

}  // namespace korva
