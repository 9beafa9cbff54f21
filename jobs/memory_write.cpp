// The memory-write sequence.
#include "jobs/memory_write.h"

#include "device/clock.h"
#include "device/command_protocol.h"
#include "device/hid_transport.h"
#include "device/report_builder.h"
#include "jobs/job_state.h"
#include "jobs/transfer_job.h"

namespace korva {
namespace {

constexpr DataAcks kMemoryAcks{kReportsPerAckChunk, kMemoryDataAckPauseMs, false};

// A memory-write command with the filler in every payload byte it leaves unused.
void MemoryCommand(HidReport& hid, std::uint8_t subcommand, std::uint8_t filler) {
  FillPayload(hid, filler);
  SetCommand(hid, kMemoryCommand, subcommand);
}

}  // namespace

bool WriteMemory(HidReport& hid, const MemoryWrite& write, const std::uint8_t* data,
                 const std::function<void()>& opened, const std::function<void()>& written) {
  MemoryCommand(hid, kMemoryBegin, write.filler);
  if (!WriteReport(hid, kReportId)) return false;
  Pause(kMemoryCommandPauseMs);
  if (opened) opened();
  MemoryCommand(hid, kMemoryWindow, write.filler);
  PutLittleEndian32(hid, kMemoryAddressByte, write.address);
  PutLittleEndian32(hid, kMemoryLengthByte, write.length);
  if (!WriteReport(hid, kReportId)) return false;
  Pause(write.windowPauseMs);
  if (!WaitForAck()) return false;
  if (!SendDataReports(hid, data, write.length / kPayloadLength, kMemoryAcks, written))
    return false;
  MemoryCommand(hid, kMemoryEnd, write.filler);
  if (!WriteReport(hid, kReportId)) return false;
  Pause(kMemoryCommandPauseMs);
  return true;
}

int SendMemoryBlock(std::uint32_t address, std::uint32_t length, const std::uint8_t* data) {
  HidReport hid{};
  const int windowPauseMs = static_cast<int>(length / kMemoryWindowPauseDivisor);
  if (WriteMemory(hid, {address, length, kDescriptorFiller, windowPauseMs}, data, nullptr,
                  nullptr)) {
    return 1;
  }
  JobStatus.store(kJobFailedStatus);
  return 0;
}

}  // namespace korva
