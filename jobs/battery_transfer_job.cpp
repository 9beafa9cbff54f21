// The battery controller's firmware transfer: begin, the size in reports (big-endian), the
// application part in plain 64-byte data reports, a 16-bit byte sum after every 256 bytes and
// after the last report, each acknowledged, and the end command. The controller's sums are
// the only check of the data that any transfer has.
#include <algorithm>
#include <vector>

#include "device/clock.h"
#include "device/command_protocol.h"
#include "device/hid_transport.h"
#include "device/report_builder.h"
#include "images/image_formats.h"
#include "images/page_file.h"
#include "jobs/job_report.h"
#include "jobs/service_jobs.h"

namespace korva {
namespace {

// The application part of the loaded file: after the boot area of a full-flash file, else the
// whole accepted length. Returns false when the buffer does not hold what its length claims.
bool CopyApplication(std::vector<std::uint8_t>& work, std::size_t& length) {
  const PageFileState& page = PageFile();
  const std::size_t start = page.BatteryFullFlashLayout == 1 ? kBatteryBootAreaLength : 0;
  length = page.BatteryImageLength > start ? page.BatteryImageLength - start : 0;
  if (length == 0) return true;
  if (!page.PageFileBuffer || page.PageFileBuffer->size() < start + length ||
      length > work.size()) {
    return false;
  }
  std::copy_n(page.PageFileBuffer->begin() + static_cast<std::ptrdiff_t>(start), length,
              work.begin());
  return true;
}

}  // namespace

int BatteryTransferJob() {
  JobReport report(WM_BATTERY_JOB);
  HidReport hid{};
  // The 0xFF fill is what the last data report carries behind the end of the application.
  std::vector<std::uint8_t> work(kBatteryWorkImageLength, 0xFF);
  std::size_t length = 0;
  if (!CopyApplication(work, length)) return report.FailedWithStatus(0);

  const int total = report.AnnounceReports(BatteryReportTotal, length);
  if (!report.PassWriteGate()) return report.FailedWithStatus(0);

  SetCommand(hid, kBatteryCommand, kBatteryBegin);
  if (!WriteReport(hid, kReportId)) return report.FailedWithStatus(0);
  Pause(kBatteryCommandPauseMs);
  SetCommand(hid, kBatteryCommand, kBatterySize);
  PutBigEndian16(hid, kBatteryCountHighByte, static_cast<std::uint16_t>(total));
  if (!WriteReport(hid, kReportId)) return report.FailedWithStatus(0);
  Pause(kBatteryCommandPauseMs);
  if (!WaitForAck()) return report.FailedWithStatus(0);
  Pause(kBatteryBeforeDataPauseMs);

  // Four reports of 64 bytes sum to at most 65,280: the sum fits the poll's 16 bits whole.
  int sum = 0;
  long sent = 0;
  for (int k = 0; k < total; ++k) {
    if (report.StopRequested()) return report.FailedWithStatus(sent);
    const std::uint8_t* data = work.data() + static_cast<std::size_t>(k) * kPayloadLength;
    SetData(hid, data);
    for (std::size_t i = 0; i < kPayloadLength; ++i) sum += data[i];
    if (!WriteReport(hid, kReportId)) return report.FailedWithStatus(sent);
    report.Progress(++sent);
    if (sent % static_cast<long>(kReportsPerAckChunk) == 0 || k == total - 1) {
      Pause(kBatterySumPauseMs);
      if (!SendValueWithAck(sum)) return report.FailedWithStatus(sent);
      sum = 0;
    }
  }

  // The rest of the end command's payload still holds the last data report's bytes.
  SetCommand(hid, kBatteryCommand, kBatteryEnd);
  if (!WriteReport(hid, kReportId)) return report.FailedWithStatus(sent);
  Pause(kBatteryCommandPauseMs);
  PageFile().PageFileBuffer.reset();
  return report.Done();
}

}  // namespace korva
