// The terminal program's lock against sleep and shutdown, through sd-bus, against a stand-in
// logind on a private bus: what every inhibitor must do, and a job that holds the lock.
#include "cli/sd_bus_inhibitor.h"

#include "images/embedded_images.h"
#include "jobs/start_job.h"
#include "tests/shared/inhibitor_contract.h"
#include "tests/shared/test_support.h"

namespace korva::testing {
namespace {

INSTANTIATE_TYPED_TEST_SUITE_P(SdBus, InhibitorContract, cli::SdBusInhibitor);

class SdBusJobTest : public KorvaTest {
 protected:
  ScratchFolder folder{"korva-bus"};
  PrivateBus bus{folder.Path()};
};

TEST_F(SdBusJobTest, AnUpdateHoldsLogindsLockUntilItsJobHasEnded) {
  ASSERT_TRUE(bus.StartLogind());
  cli::SdBusInhibitor inhibitor(bus.Address());
  std::vector<std::string> said;
  SetSleepInhibitor(&inhibitor, [&](const std::string& text) { said.push_back(text); });
  ASSERT_EQ(LoadEmbeddedImages(), 1);
  bool heldAtTheLastReport = false;
  owner.onMessage = [&](const JobMessage& message) {
    if (message.lParam == 752) heldAtTheLastReport = !bus.WaitForRecordWithin("released 1", {});
  };
  ASSERT_EQ(StartJob(&owner, kJobMcu), 1);
  ExpectCompleteRun(owner.WaitForFinal(), WM_MCU_JOB, 752);
  SetSleepInhibitor(nullptr, nullptr);
  EXPECT_TRUE(heldAtTheLastReport);
  EXPECT_TRUE(bus.WaitForRecord("released 1"));
  EXPECT_EQ(bus.Record()[1], PrivateBus::ProgramsInhibitCall());
  EXPECT_TRUE(said.empty());
}

}  // namespace
}  // namespace korva::testing
