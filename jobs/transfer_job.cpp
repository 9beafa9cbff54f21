// The data-report loop and the steps that every transfer job takes.
#include "jobs/transfer_job.h"

#include <numeric>

#include "device/clock.h"
#include "device/command_protocol.h"
#include "device/hid_transport.h"
#include "device/report_builder.h"
#include "jobs/job_state.h"

namespace korva {

bool SendDataReports(HidReport& hid, const std::uint8_t* data, long reports, const DataAcks& acks,
                     const std::function<void()>& written) {
  const long perAck = static_cast<long>(acks.reportsPerAck);
  // Four reports of 64 bytes sum to at most 65,280: the battery's sum fits the poll whole.
  int sum = 0;
  for (long k = 0; k < reports; ++k) {
    if (JobStopRequested.load()) return false;
    const std::uint8_t* bytes = data + static_cast<std::size_t>(k) * kPayloadLength;
    SetData(hid, bytes);
    if (acks.byteSum) sum = std::accumulate(bytes, bytes + kPayloadLength, sum);
    if (!WriteReport(hid, kReportId)) return false;
    if (written) written();
    if ((k + 1) % perAck == 0 || k + 1 == reports) {
      Pause(acks.pauseMs);
      if (!(acks.byteSum ? SendValueWithAck(sum) : WaitForAck())) return false;
      sum = 0;
    }
  }
  return true;
}

void TransferJob::Announce(std::atomic<int>& reportTotal, long reports) {
  reportTotal.store(static_cast<int>(reports));
  report_.PrepareProgressBar(static_cast<int>(reports));
}

bool TransferJob::Begin(std::atomic<int>& reportTotal, long reports) {
  Announce(reportTotal, reports);
  return report_.PassWriteGate();
}

bool TransferJob::Command(std::uint8_t command, std::uint8_t subcommand, int pauseMs) {
  SetCommand(hid_, command, subcommand);
  if (!Write()) return false;
  if (pauseMs > 0) Pause(pauseMs);
  return true;
}

bool TransferJob::Write() { return WriteReport(hid_, kReportId) != 0; }

bool TransferJob::AckAfter(int pauseMs) {
  Pause(pauseMs);
  return WaitForAck() != 0;
}

void TransferJob::CountReport() { report_.Progress(++count_); }

bool TransferJob::SendData(const TransferData& data, const DataAcks& acks) {
  return SendDataReports(hid_, data.bytes.data(), data.Reports(), acks, [this] { CountReport(); });
}

int TransferJob::Failed() {
  return failure_ == Failure::SetsStatus ? report_.FailedWithStatus(count_)
                                         : report_.Failed(count_);
}

}  // namespace korva
