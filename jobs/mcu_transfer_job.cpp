// The MCU firmware transfer: three opening commands, the application in 1 KiB blocks of
// sixteen 64-byte reports with an acknowledgement after each block, and the end command.
// The device's acknowledgements are the only confirmation; there is no read-back.
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

int McuTransferJob() {
  JobReport report(WM_MCU_JOB);
  const ImageStore& store = Images();

  // A full-flash image starts its application after the boot area, which is never sent.
  std::vector<std::uint8_t> send(kMcuSendBufferLength, 0xFF);
  const std::size_t start = store.McuFullFlashLayout == 1 ? kMcuBootAreaLength : 0;
  const std::size_t length =
      std::min(store.McuImageLength > start ? store.McuImageLength - start : 0, send.size());
  std::copy_n(store.McuImageBuffer.begin() + start, length, send.begin());

  // Whole KiB blocks: the tail of the last block goes out as 0xFF fill.
  const std::size_t blocks = (length + kMcuBlockBytes - 1) / kMcuBlockBytes;
  const int total = static_cast<int>(blocks * kMcuReportsPerAck);
  McuReportTotal.store(total);
  report.PrepareProgressBar(total);
  if (!report.PassWriteGate()) return report.Failed(0);

  HidReport hid{};
  SetCommand(hid, kMcuCommand, kMcuOpenStep1);
  if (!WriteReport(hid, kReportId)) return report.Failed(0);
  Pause(kMcuOpenPauseMs);
  SetCommand(hid, kMcuCommand, kMcuOpenStep2);
  if (!WriteReport(hid, kReportId)) return report.Failed(0);
  Pause(kMcuOpenPauseMs);
  SetCommand(hid, kMcuCommand, kMcuSize);
  PayloadByte(hid, kMcuSizeBlocksByte) = static_cast<std::uint8_t>(blocks);
  if (!WriteReport(hid, kReportId)) return report.Failed(0);
  Pause(kMcuSizeAckPauseMs);
  if (!WaitForAck()) return report.Failed(0);

  long sent = 0;
  for (int i = 0; i < total; ++i) {
    if (report.StopRequested()) return report.Failed(sent);
    SetData(hid, send.data() + static_cast<std::size_t>(i) * kPayloadLength);
    if (!WriteReport(hid, kReportId)) return report.Failed(sent);
    report.Progress(++sent);
    if (sent % kMcuReportsPerAck == 0) {
      Pause(kMcuBlockAckPauseMs);
      if (!WaitForAck()) return report.Failed(sent);
    }
  }

  // The rest of the end command's payload still holds the last data report's bytes.
  SetCommand(hid, kMcuCommand, kMcuEnd);
  if (!WriteReport(hid, kReportId)) return report.Failed(sent);
  return report.Done();
}

}  // namespace korva
