// The main road, driven the way the window drives it, without a window.
#include "bench/road_bench.h"

#include <condition_variable>
#include <mutex>

#include "device/command_protocol.h"
#include "device/device_access.h"
#include "emulator/simulation.h"
#include "images/embedded_images.h"
#include "jobs/job_messages.h"
#include "jobs/job_state.h"
#include "jobs/start_job.h"
#include "jobs/worker.h"

namespace korva::bench {
namespace {

// Waits for a job's final message.
class FinalMessage final : public JobOwner {
 public:
  void PostJobMessage(int /*message*/, int wParam, long /*lParam*/) override {
    if (wParam == JOB_PROGRESS) return;
    {
      std::lock_guard lock(mutex_);
      final_ = wParam;
    }
    arrived_.notify_all();
  }
  void PrepareProgressBar(int /*total*/) override {}

  int Wait() {
    std::unique_lock lock(mutex_);
    arrived_.wait(lock, [this] { return final_ != 0; });
    const int final = final_;
    final_ = 0;
    lock.unlock();
    WaitForWorkers();
    return final;
  }

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  int final_ = 0;
};

bool RunJob(FinalMessage& owner, int kind) {
  if (!StartJob(&owner, kind)) return false;
  const bool done = owner.Wait() == JOB_DONE;
  JobStatus.store(kJobIdle);
  return done;
}

}  // namespace

RoadRun RunMainRoad(Clock& clock, int enumerationCostMs) {
  SetProcessClock(&clock);
  RoadRun run;
  {
    Simulation sim(clock);
    sim.bus.SetEnumerationCostMs(enumerationCostMs);
    LoadEmbeddedImages();
    FinalMessage owner;
    const std::int64_t start = clock.NowMs();
    run.succeeded = CheckDeviceAccess().access == DeviceAccess::Ready && RunJob(owner, kJobMcu) &&
                    RunJob(owner, kJobDsp) && sim.korva.Violations().empty();
    run.elapsedMs = clock.NowMs() - start;
    run.enumerations = sim.bus.Enumerations();
    run.opens = sim.bus.TotalOpens();
  }
  CurrentTransfer.store(kTransferNone);
  SetProcessClock(nullptr);
  return run;
}

}  // namespace korva::bench
