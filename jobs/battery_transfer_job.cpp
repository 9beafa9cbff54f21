// The battery controller's firmware transfer: begin, the size in reports (big-endian), the
// application part in plain 64-byte data reports, a 16-bit byte sum after every 256 bytes and
// after the last report, each acknowledged, and the end command. The controller's sums are
// the only check of the data that any transfer has.
#include "device/clock.h"
#include "device/report_builder.h"
#include "jobs/service_jobs.h"
#include "jobs/transfer_job.h"

namespace korva {
namespace {

constexpr DataAcks kBatteryAcks{kReportsPerAckChunk, kBatterySumPauseMs, true};

}  // namespace

int BatteryTransferJob() {
  TransferJob job(WM_BATTERY_JOB, TransferJob::Failure::SetsStatus);
  PageFileState& page = PageFile();
  const std::optional<TransferData> application = BatteryApplication(page);
  if (!application) return job.Failed();
  const long total = application->Reports();
  if (!job.Begin(BatteryReportTotal, total)) return job.Failed();

  if (!job.Command(kBatteryCommand, kBatteryBegin, kBatteryCommandPauseMs)) return job.Failed();
  PutBigEndian16(job.Hid(), kBatteryCountHighByte, static_cast<std::uint16_t>(total));
  if (!job.Command(kBatteryCommand, kBatterySize)) return job.Failed();
  if (!job.AckAfter(kBatteryCommandPauseMs)) return job.Failed();
  Pause(kBatteryBeforeDataPauseMs);

  if (!job.SendData(*application, kBatteryAcks)) return job.Failed();
  // The rest of the end command's payload still holds the last data report's bytes.
  if (!job.Command(kBatteryCommand, kBatteryEnd, kBatteryCommandPauseMs)) return job.Failed();
  page.PageFileBuffer.reset();
  return job.Done();
}

}  // namespace korva
