// The shared layer's parts: the device port's thread (order, hand-back, windows that go, its
// own end), the progress a window shows of its job, and the program's texts as the faces show
// them.
#include <atomic>
#include <future>
#include <thread>

#include "dialogs/window_job_owner.h"
#include "jobs/display_text.h"
#include "jobs/service_texts.h"
#include "tests/dialogs/dialogs_test_support.h"

namespace korva::testing {
namespace {

// Calls run one at a time, in the order asked, off the GUI thread; results come back on the GUI
// thread in the same order.
TEST(DeviceThread, RunsCallsInOrderOffTheGuiThreadAndHandsResultsBack) {
  TestGui gui;
  dialogs::DeviceThread device(gui);
  const dialogs::WindowLife life;
  const std::thread::id guiThread = std::this_thread::get_id();
  std::vector<std::thread::id> workThreads;  // the device thread's alone until it is idle
  std::vector<int> ran;
  std::vector<int> handed;
  for (int i = 0; i < 20; ++i) {
    device.Run(
        life,
        [&, i] {
          workThreads.push_back(std::this_thread::get_id());
          ran.push_back(i);
          return i * i;
        },
        [&](int square) {
          EXPECT_EQ(std::this_thread::get_id(), guiThread);
          handed.push_back(square);
        });
  }
  device.Run([&] { ran.push_back(-1); });  // a call whose end nobody waits for
  EXPECT_FALSE(device.Idle());
  ASSERT_TRUE(gui.PumpUntil([&] { return device.Idle(); }));
  std::vector<int> expectedRan;
  std::vector<int> expectedHanded;
  for (int i = 0; i < 20; ++i) {
    expectedRan.push_back(i);
    expectedHanded.push_back(i * i);
  }
  expectedRan.push_back(-1);
  EXPECT_EQ(ran, expectedRan);
  EXPECT_EQ(handed, expectedHanded);
  for (const auto& id : workThreads) {
    EXPECT_NE(id, guiThread);
    EXPECT_EQ(id, workThreads.front());
  }
}

// A result for a window that has gone by the time it comes back is dropped; the calls of
// other windows go on.
TEST(DeviceThread, AResultForAWindowThatHasGoneIsDropped) {
  TestGui gui;
  dialogs::DeviceThread device(gui);
  Gate gate;
  gate.Close();
  auto window = std::make_unique<dialogs::WindowLife>();
  const dialogs::WindowLife other;
  bool handed = false;
  bool otherHanded = false;
  device.Run(
      *window, [&] { gate.Pass(); }, [&] { handed = true; });
  device.Run(
      other, [] { return 1; }, [&](int) { otherHanded = true; });
  ASSERT_TRUE(gate.WaitUntilHeld());
  window.reset();  // while its call is being made
  gate.Open();
  ASSERT_TRUE(gui.PumpUntil([&] { return device.Idle(); }));
  EXPECT_FALSE(handed);
  EXPECT_TRUE(otherHanded);
}

// The device thread's end waits for the call in progress and drops the calls behind it, and
// the results still on their way to the GUI thread. The gate opens once the destructor has
// dropped the later call (its work goes with it): it surely waits by then.
TEST(DeviceThread, GoingAwayWaitsForTheCallInProgressAndDropsTheRest) {
  TestGui gui;
  auto device = std::make_unique<dialogs::DeviceThread>(gui);
  const dialogs::WindowLife life;
  Gate gate;
  gate.Close();
  std::atomic<bool> finished{false};
  std::atomic<bool> laterRan{false};
  bool handed = false;
  std::promise<void> dropped;
  struct Witness {
    std::promise<void>* dropped;
    ~Witness() { dropped->set_value(); }
  };
  device->Run(
      life,
      [&] {
        gate.Pass();
        finished.store(true);
      },
      [&] { handed = true; });
  device->Run([&laterRan, witness = std::make_shared<Witness>(&dropped)] { laterRan.store(true); });
  ASSERT_TRUE(gate.WaitUntilHeld());
  std::thread ending([&] { device.reset(); });
  ASSERT_EQ(dropped.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
  gate.Open();
  ending.join();
  EXPECT_TRUE(finished.load());
  EXPECT_FALSE(laterRan.load());
  gui.RunPosted();
  EXPECT_FALSE(handed);
}

// The bar and the label as a window shows its job: positions inside the range that the job's
// start gave, the percentage over the job's own total (truncated), a job without data reports
// a bar of one step at 100%.
TEST(JobProgress, FollowsTheTotalThatTheJobStartedWith) {
  dialogs::JobProgress progress;
  progress.Prepare(752);
  EXPECT_EQ(dialogs::JobProgress::RangeFor(752), 752);
  EXPECT_EQ(progress.PercentText(1), "0%");
  EXPECT_EQ(progress.PercentText(376), "50%");
  EXPECT_EQ(progress.PercentText(751), "99%");
  EXPECT_EQ(progress.Position(751), 751);
  // The DSP job counts its header report: one past the total.
  progress.Prepare(2142);
  EXPECT_EQ(progress.PercentText(2143), "100%");
  EXPECT_EQ(progress.Position(2143), 2142);
  progress.Prepare(0);
  EXPECT_EQ(dialogs::JobProgress::RangeFor(0), 1);
  EXPECT_EQ(progress.PercentText(1), "100%");
  EXPECT_EQ(progress.Position(1), 1);
}

// Every face shows the program's bytes through one conversion.
TEST(DisplayText, GivesTheProgramsBytesAsUtf8) {
  // GBK's full-width "!" and the busy prompt's line break.
  EXPECT_EQ(DisplayText(kTextMcuPageSucceeded), "MCU Update successfully\xEF\xBC\x81");
  EXPECT_EQ(DisplayText(kTextBluetoothBusy),
            "BlueTooth Device is upgrading, \n please wait for seconds . . .");
  EXPECT_EQ(DisplayText("Update MCU fail!"), "Update MCU fail!");
  // A process name or a path in UTF-8 stays as it is; a lone byte from the amp's version record
  // is its Latin-1 character; so is a lead byte without its continuation.
  EXPECT_EQ(DisplayText("korva-\xC3\xA9\xE2\x82\xAC"), "korva-\xC3\xA9\xE2\x82\xAC");
  EXPECT_EQ(DisplayText("Ver1.3\xE9.250"), "Ver1.3\xC3\xA9.250");
  EXPECT_EQ(DisplayText("\xE2\x82"), "\xC3\xA2\xC2\x82");
  EXPECT_EQ(DisplayText(std::string("V\0er", 4)), std::string("V\0er", 4));
}

}  // namespace
}  // namespace korva::testing
