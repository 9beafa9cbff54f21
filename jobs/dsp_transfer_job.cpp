// The DSP firmware transfer: begin and size commands, a header report of 16 bytes, the data
// in 64-byte reports with an acknowledgement after every 256 bytes and after the last report,
// and the end command.
#include <algorithm>

#include "device/clock.h"
#include "device/report_builder.h"
#include "jobs/firmware_jobs.h"
#include "jobs/transfer_job.h"

namespace korva {
namespace {

constexpr DataAcks kDspAcks{kReportsPerAckChunk, kDspDataAckPauseMs, false};

}  // namespace

int DspTransferJob() {
  TransferJob job(WM_DSP_JOB, TransferJob::Failure::SetsStatus);
  const DspSend send = DspImage(Images());
  const long total = send.data.Reports();
  if (!job.Begin(DspReportTotal, total)) return job.Failed();

  if (!job.Command(kDspCommand, kDspBegin, kDspOpenPauseMs)) return job.Failed();
  PutLittleEndian16(job.Hid(), kDspCountLowByte, static_cast<std::uint16_t>(total));
  if (!job.Command(kDspCommand, kDspSize)) return job.Failed();
  if (!job.AckAfter(static_cast<int>(send.dataLength / kDspSizePauseDivisor))) return job.Failed();

  // The header report counts as the first report.
  FillPayload(job.Hid(), 0xFF);
  std::copy(send.header.begin(), send.header.end(), &PayloadByte(job.Hid(), 0));
  if (!job.Write()) return job.Failed();
  job.CountReport();
  if (!job.AckAfter(kDspHeaderAckPauseMs)) return job.Failed();

  Pause(kDspAfterHeaderPauseMs);
  if (!job.SendData(send.data, kDspAcks)) return job.Failed();
  if (!job.Command(kDspCommand, kDspEnd, kDspEndPauseMs)) return job.Failed();
  return job.Done();
}

}  // namespace korva
