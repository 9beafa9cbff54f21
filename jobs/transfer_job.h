// What the MCU, DSP, battery and audio jobs share: the report they build their commands in,
// the count of reports that their owner sees, the data reports with their acknowledgements,
// and the job's one final message. Each job's own file holds only its opening and end
// commands and the data that tells its data reports apart (DataAcks).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "device/protocol.h"
#include "jobs/job_report.h"
#include "jobs/transfer_data.h"

namespace korva {

// How a transfer's data reports are acknowledged: a poll after every `reportsPerAck` data
// reports and after the last one, each `pauseMs` after the report before it. With `byteSum`
// the poll carries the 16-bit sum of the bytes sent since the last poll, which the battery
// controller checks; otherwise it carries nothing but its sequence number.
struct DataAcks {
  std::size_t reportsPerAck;
  int pauseMs;
  bool byteSum;
};

// Sends `reports` 64-byte data reports from `data` through `hid`, acknowledged as `acks` says;
// `written` (when given) runs after each write, before its acknowledgement. Returns false at
// the first failed write or acknowledgement, and before the next report once the front end
// has asked the job to stop.
bool SendDataReports(HidReport& hid, const std::uint8_t* data, long reports, const DataAcks& acks,
                     const std::function<void()>& written);

class TransferJob {
 public:
  // What a failure does to JobStatus: the MCU job leaves it as it stands, the other jobs set
  // it to -1 before their final message.
  enum class Failure { KeepsStatus, SetsStatus };

  TransferJob(int message, Failure failure) : report_(message), failure_(failure) {}

  JobReport& Report() { return report_; }
  // The report that the job's commands are built in. A command changes only what it sets:
  // the rest of the payload still holds what the report before it carried.
  HidReport& Hid() { return hid_; }

  // Publishes the job's report total (its owner's percentage divisor), then prepares the
  // owner's bar with it.
  void Announce(std::atomic<int>& reportTotal, long reports);
  // Announce, then the write gate right before the first report: false when the front end
  // has stopped its command before anything was written, and the job must end unwritten.
  bool Begin(std::atomic<int>& reportTotal, long reports);
  // Sets the two command bytes and writes the report, then pauses `pauseMs` (none for 0).
  // False when the write failed.
  bool Command(std::uint8_t command, std::uint8_t subcommand, int pauseMs = 0);
  // Writes the report as it stands. False when the write failed.
  bool Write();
  // Pauses `pauseMs`, then waits for the device's acknowledgement. False without one.
  bool AckAfter(int pauseMs);
  // Counts one more report and shows the count to the owner as progress.
  void CountReport();
  // The data reports, each counted and shown as progress. False at the first failure or
  // once the front end has asked the job to stop.
  bool SendData(const TransferData& data, const DataAcks& acks);

  // JOB_FAILED with the count so far (JobStatus as the job's Failure says). Returns 0.
  int Failed();
  // JobStatus 2, then JOB_DONE. Returns 1.
  int Done() { return report_.Done(); }

 private:
  JobReport report_;
  HidReport hid_{};
  Failure failure_;
  long count_ = 0;
};

}  // namespace korva
