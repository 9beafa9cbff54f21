// Writing one audio slot into the amp's memory: a 256-byte descriptor that names the file and
// repeats its WAV header, then 16 KiB of samples, each with the memory-write sequence. The
// samples' reports are the job's progress.
#include "jobs/memory_write.h"
#include "jobs/service_jobs.h"
#include "jobs/transfer_job.h"

namespace korva {

int AudioTransferJob() {
  TransferJob job(WM_AUDIO_JOB, TransferJob::Failure::SetsStatus);
  PageFileState& page = PageFile();
  // The page accepted a file of at least the header and one slot's samples; without it there
  // is nothing to write.
  const std::optional<TransferData> samples = SlotSamples(page);
  if (!samples) return job.Failed();
  const std::uint32_t slot = SlotIndex(job.Report().SlotIndexText());
  const auto descriptor = SlotDescriptor(job.Report().StoredFileName(), *page.PageFileBuffer);
  if (!job.Report().PassWriteGate()) return job.Failed();

  if (!SendMemoryBlock(kSlotDescriptorBase + slot * kSlotDescriptorStride, kSlotDescriptorLength,
                       descriptor.data())) {
    return job.Failed();
  }
  const MemoryWrite write{kSlotSampleBase + slot * kSlotSampleStride, kSlotSampleLength,
                          kSampleFiller, kSampleWindowPauseMs};
  // The bar is prepared once the samples' write has begun.
  const auto opened = [&] { job.Announce(AudioReportTotal, samples->Reports()); };
  if (!WriteMemory(job.Hid(), write, samples->bytes.data(), opened, [&] { job.CountReport(); }))
    return job.Failed();
  page.PageFileBuffer.reset();
  return job.Done();
}

}  // namespace korva
