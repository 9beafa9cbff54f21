// A job's lifetime against its owner's and the system's: an owner that goes while its job
// runs is never touched again (these tests run under AddressSanitizer), and a job whose
// thread cannot start is a job that did not start, counted nowhere.
#include <atomic>
#include <future>
#include <system_error>
#include <thread>

#include "device/hid_dfu.h"
#include "images/embedded_images.h"
#include "images/wav_file.h"
#include "jobs/job_owner_link.h"
#include "jobs/start_job.h"
#include "tests/shared/test_support.h"

namespace korva::testing {
namespace {

// While it lives, every thread start fails as it does when the system has no thread to give.
class NoThreadsScope {
 public:
  NoThreadsScope() {
    SetThreadStarter([this](std::function<void()>) {
      refused.fetch_add(1);
      throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    });
  }
  ~NoThreadsScope() { SetThreadStarter(nullptr); }
  NoThreadsScope(const NoThreadsScope&) = delete;
  NoThreadsScope& operator=(const NoThreadsScope&) = delete;

  std::atomic<int> refused{0};
};

class JobLifetimeTest : public KorvaTest {};

TEST_F(JobLifetimeTest, AJobWhoseThreadCannotStartDidNotStart) {
  ASSERT_EQ(LoadEmbeddedImages(), 1);
  PageFile().PageFileBuffer = std::vector<std::uint8_t>(kWavHeaderLength + kSlotSampleLength, 0x11);
  {
    NoThreadsScope noThreads;
    for (int kind : {kJobMcu, kJobDsp, kJobBattery, kJobAudio}) {
      SCOPED_TRACE(kind);
      EXPECT_EQ(StartJob(&owner, kind), 0);
      EXPECT_EQ(RunningWorkers(), 0);
      EXPECT_FALSE(JobInProgress());
      JobStatus.store(kJobIdle);  // as the caller does after a 0
    }
    EXPECT_EQ(noThreads.refused.load(), 4);
    // No message, no box of the dispatcher: the caller's own failure message is the one.
    EXPECT_TRUE(owner.Messages().empty());
    EXPECT_TRUE(prompter.Boxes().empty());
    // Only "INITSTA" and its acknowledgement reached the amp each time.
    EXPECT_EQ(sim.korva.Writes().size(), 4u * 2);
  }
  // With threads again, the next start runs its job to the end.
  ASSERT_EQ(StartJob(&owner, kJobMcu), 1);
  ExpectCompleteRun(owner.WaitForFinal(), WM_MCU_JOB, 752);
  EXPECT_EQ(RunningWorkers(), 0);
}

TEST_F(JobLifetimeTest, ABluetoothUpdateWhoseThreadCannotStartFailsAsItsSwitchWould) {
  owner.filePath = "/firmware/module.dfu";
  LinkMode.store(kLinkHid);
  NoThreadsScope noThreads;
  // The amp has handed its link over when the thread is asked for: the switch failed.
  EXPECT_EQ(StartJob(&owner, kJobBluetooth), 0);
  EXPECT_EQ(owner.Messages(), (std::vector<JobMessage>{{WM_BLUETOOTH_JOB, JOB_FAILED, 0}}));
  EXPECT_EQ(JobStatus.load(), kJobFailedStatus);
  // Already handed over: nothing is posted, the caller says it.
  LinkMode.store(kLinkBluetooth);
  EXPECT_EQ(StartJob(&owner, kJobBluetooth), 0);
  EXPECT_EQ(owner.Messages().size(), 1u);
  EXPECT_EQ(RunningWorkers(), 0);
  EXPECT_EQ(noThreads.refused.load(), 2);
  EXPECT_TRUE(sim.module.Calls().empty());
}

// The owner goes at the 100th report while the job goes on writing: the job never reaches it
// again, and the amp still receives the whole image.
TEST_F(JobLifetimeTest, AnOwnerThatGoesWhileItsJobRunsIsNeverReachedAgain) {
  ASSERT_EQ(LoadEmbeddedImages(), 1);
  auto doomed = std::make_unique<RecordingOwner>();
  std::promise<void> atReport100;
  std::atomic<int> seenBeforeCut{0};
  RecordingOwner* raw = doomed.get();
  doomed->onMessage = [&, raw](const JobMessage& message) {
    seenBeforeCut.fetch_add(1);
    if (message.lParam != 100 || message.wParam != JOB_PROGRESS) return;
    atReport100.set_value();
    // Stays inside the call until the cut has begun (for at most 10 s), so the cut must wait
    // for it.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (raw->Link()->LeadsTo(raw) && std::chrono::steady_clock::now() < giveUp)
      std::this_thread::yield();
  };
  ASSERT_EQ(StartJob(doomed.get(), kJobMcu), 1);
  atReport100.get_future().wait();
  doomed.reset();
  WaitForWorkers();

  EXPECT_EQ(seenBeforeCut.load(), 100);
  EXPECT_EQ(CurrentJobOwner.load(), nullptr);
  EXPECT_EQ(JobStatus.load(), kJobSucceeded);
  EXPECT_EQ(sim.korva.McuMemory(), CarriedMcuMemory());
  EXPECT_TRUE(sim.korva.Violations().empty()) << sim.korva.Violations().front();
}

// An owner whose synchronous call is still running: the cut returns only after it.
class BlockingOwner final : public JobOwner {
 public:
  ~BlockingOwner() override { CutJobLink(); }
  void PostJobMessage(int, int, long) override {}
  void PrepareProgressBar(int) override {
    entered.set_value();
    release.get_future().wait();
    left.store(true);
  }
  std::promise<void> entered;
  std::promise<void> release;
  std::atomic<bool> left{false};
};

TEST(JobOwnerLinkTest, ACutWaitsForTheCallInProgressAndStopsTheNext) {
  BlockingOwner owner;
  const std::shared_ptr<JobOwnerLink> link = owner.Link();
  std::thread job([&] { EXPECT_TRUE(link->With([](JobOwner& o) { o.PrepareProgressBar(1); })); });
  owner.entered.get_future().wait();

  std::atomic<bool> leftBeforeCutReturned{false};
  std::thread cutter([&] {
    link->Cut();
    leftBeforeCutReturned.store(owner.left.load());
  });
  // The cut has begun (the link no longer leads to the owner); the call is let go only now,
  // and the cut returns after it.
  while (link->LeadsTo(&owner)) std::this_thread::yield();
  owner.release.set_value();
  cutter.join();
  job.join();
  EXPECT_TRUE(leftBeforeCutReturned.load());

  bool reached = false;
  EXPECT_FALSE(link->With([&](JobOwner&) { reached = true; }));
  EXPECT_FALSE(reached);
}

}  // namespace
}  // namespace korva::testing
