// The MCU firmware transfer: three opening commands, the application in 1 KiB blocks of
// sixteen 64-byte reports with an acknowledgement after each block, and the end command.
// The device's acknowledgements are the only confirmation; there is no read-back.
#include "device/clock.h"
#include "device/report_builder.h"
#include "jobs/firmware_jobs.h"
#include "jobs/transfer_job.h"

namespace korva {
namespace {

// The application's whole blocks make the last data report end a block.
constexpr DataAcks kMcuAcks{kMcuReportsPerAck, kMcuBlockAckPauseMs, false};

}  // namespace

int McuTransferJob() {
  // A failed MCU job leaves JobStatus at 1: its owner sets it back when it handles JOB_FAILED.
  TransferJob job(WM_MCU_JOB, TransferJob::Failure::KeepsStatus);
  const McuSend send = McuApplication(Images());
  if (!job.Begin(McuReportTotal, send.data.Reports())) return job.Failed();

  if (!job.Command(kMcuCommand, kMcuOpenStep1, kMcuOpenPauseMs)) return job.Failed();
  if (!job.Command(kMcuCommand, kMcuOpenStep2, kMcuOpenPauseMs)) return job.Failed();
  PayloadByte(job.Hid(), kMcuSizeBlocksByte) = static_cast<std::uint8_t>(send.blocks);
  if (!job.Command(kMcuCommand, kMcuSize)) return job.Failed();
  if (!job.AckAfter(kMcuSizeAckPauseMs)) return job.Failed();

  if (!job.SendData(send.data, kMcuAcks)) return job.Failed();
  // The rest of the end command's payload still holds the last data report's bytes.
  if (!job.Command(kMcuCommand, kMcuEnd)) return job.Failed();
  return job.Done();
}

}  // namespace korva
