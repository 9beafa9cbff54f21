// The support log as the core keeps it, against the virtual amp in virtual time: a job's total,
// its progress at every tenth, its end or failure with the count, the boxes, a stop request,
// and the presence test and the plan noted only when they change.
#include <chrono>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <iomanip>
#include <sstream>

#include "device/device_access.h"
#include "device/dfu_library_setup.h"
#include "device/hid_transport.h"
#include "images/embedded_images.h"
#include "jobs/start_job.h"
#include "jobs/update_plan.h"
#include "support/support_log.h"
#include "tests/shared/scratch_folder.h"
#include "tests/shared/test_support.h"

namespace korva::testing {
namespace {

std::vector<std::string> Matching(const std::vector<std::string>& lines, const std::string& start) {
  std::vector<std::string> found;
  for (const auto& line : lines) {
    if (line.rfind(start, 0) == 0) found.push_back(line);
  }
  return found;
}

class JobLogTest : public KorvaTest {
 protected:
  // The texts of the log's lines, without time, program and process.
  std::vector<std::string> Logged() const {
    std::vector<std::string> texts;
    for (const std::string& line : FileLines(path_)) {
      const auto at = line.find("]: ");
      texts.push_back(at == std::string::npos ? line : line.substr(at + 3));
    }
    return texts;
  }
  std::vector<std::string> Stamps() const {
    std::vector<std::string> stamps;
    for (const std::string& line : FileLines(path_)) stamps.push_back(line.substr(0, 19));
    return stamps;
  }

  ScratchFolder dir_{"korva-core-log"};
  std::filesystem::path path_ = dir_ / "korva-updater.log";
  std::vector<std::string> warnings_;
  SupportLogSession session_{path_, "korva-test",
                             [this](const std::string& w) { warnings_.push_back(w); }};
};

TEST_F(JobLogTest, AFailedJobsLogHoldsTheFailureAndItsCount) {
  ASSERT_EQ(LoadEmbeddedImages(), 1);
  sim.korva.SetFaults({.unplugAfterDataReports = 300});
  const std::int64_t startMs = clock.NowMs();
  ASSERT_EQ(StartJob(&owner, kJobMcu), 1);
  const auto messages = owner.WaitForFinal();
  ASSERT_EQ(messages.back().wParam, JOB_FAILED);
  const long count = messages.back().lParam;
  ASSERT_EQ(count, 300);

  // A line at the first count of each tenth.
  EXPECT_EQ(Logged(), (std::vector<std::string>{
                          "MCU job starting", "MCU job: 752 to send", "MCU job: 10 % (76 of 752)",
                          "MCU job: 20 % (151 of 752)", "MCU job: 30 % (226 of 752)",
                          "MCU job failed: count 300 of 752"}));
  EXPECT_TRUE(warnings_.empty());

  // Virtual time ran for many seconds of protocol pauses; the log's times are the wall clock's.
  EXPECT_GT(clock.NowMs() - startMs, 5000);
  std::tm stamp{};
  stamp.tm_isdst = -1;
  std::istringstream(Stamps().back()) >> std::get_time(&stamp, "%Y-%m-%d %H:%M:%S");
  const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  EXPECT_LE(std::abs(std::difftime(now, std::mktime(&stamp))), 5.0) << Stamps().back();
}

TEST_F(JobLogTest, AWholeJobLogsEveryTenthAndItsEnd) {
  ASSERT_EQ(LoadEmbeddedImages(), 1);
  ASSERT_EQ(StartJob(&owner, kJobDsp), 1);
  ASSERT_EQ(owner.WaitForFinal().back().wParam, JOB_DONE);
  // The DSP job counts its header report too: 2148 data reports make 2149 counts.
  EXPECT_EQ(Matching(Logged(), "DSP job"),
            (std::vector<std::string>{
                "DSP job starting", "DSP job: 2149 to send", "DSP job: 10 % (215 of 2149)",
                "DSP job: 20 % (430 of 2149)", "DSP job: 30 % (645 of 2149)",
                "DSP job: 40 % (860 of 2149)", "DSP job: 50 % (1075 of 2149)",
                "DSP job: 60 % (1290 of 2149)", "DSP job: 70 % (1505 of 2149)",
                "DSP job: 80 % (1720 of 2149)", "DSP job: 90 % (1935 of 2149)",
                "DSP job: 100 % (2149 of 2149)", "DSP job done: 2149 of 2149"}));
}

TEST_F(JobLogTest, BoxesAndARefusedStartAreLogged) {
  sim.korva.SetFaults({.acknowledgeLimit = 0});
  EXPECT_EQ(StartJob(&owner, kJobMcu), 0);
  ASSERT_EQ(prompter.Texts().size(), 1u);  // the box still reaches the installed prompter
  EXPECT_EQ(Matching(Logged(), "MCU job"),
            (std::vector<std::string>{"MCU job starting", "MCU job did not start"}));
  EXPECT_EQ(Matching(Logged(), "box: "),
            std::vector<std::string>{"box: \"Fail to initialize states of device\\xA3\\xA1\""});
}

TEST_F(JobLogTest, AStopRequestIsLoggedBeforeTheFailure) {
  ASSERT_EQ(LoadEmbeddedImages(), 1);
  owner.onMessage = [](const JobMessage& m) {
    if (m.wParam == JOB_PROGRESS && m.lParam == 100) RequestJobStop();
  };
  ASSERT_EQ(StartJob(&owner, kJobMcu), 1);
  ASSERT_EQ(owner.WaitForFinal().back().lParam, 100);
  const auto logged = Logged();
  ASSERT_GE(logged.size(), 2u);
  EXPECT_EQ(logged[logged.size() - 2], "the user asked the running job to stop");
  EXPECT_EQ(logged.back(), "MCU job failed: count 100 of 752");
}

TEST_F(JobLogTest, PresenceAndPlanAreNotedWhenTheyChange) {
  sim.korva.Unplug();
  for (int tick = 0; tick < 3; ++tick) EXPECT_EQ(IsDevicePresent(), 0);
  sim.korva.SetFaults({.permissionDenied = true});
  sim.korva.Plug();
  for (int tick = 0; tick < 3; ++tick) EXPECT_EQ(IsDevicePresent(), 0);
  EXPECT_EQ(CheckDeviceAccess().access, DeviceAccess::PermissionDenied);
  sim.korva.SetFaults({});
  for (int tick = 0; tick < 3; ++tick) EXPECT_EQ(IsDevicePresent(), 1);

  const VersionText device = MakeVersionText("1.36", "192");
  const VersionText carried = MakeVersionText("1.38", "250");
  for (int tick = 0; tick < 3; ++tick) EXPECT_EQ(DecideUpdatePlan(device, carried), kPlanBoth);
  // Unplugged and plugged in again: the same plan is news once more.
  sim.korva.Unplug();
  EXPECT_EQ(IsDevicePresent(), 0);
  sim.korva.Plug();
  EXPECT_EQ(IsDevicePresent(), 1);
  EXPECT_EQ(DecideUpdatePlan(device, carried), kPlanBoth);
  EXPECT_EQ(DecideUpdatePlan(device, device), kPlanNothing);

  const std::string plan =
      "versions: the KORVA reports \"Ver1.36.192\", the updater carries \"Ver1.38.250\"; plan: "
      "MCU, then DSP";
  EXPECT_EQ(Logged(),
            (std::vector<std::string>{
                "no KORVA connected",
                "KORVA found at /dev/hidraw-korva but not usable: permission denied",
                "KORVA found at /dev/hidraw-korva",
                plan,
                "no KORVA connected",
                "KORVA found at /dev/hidraw-korva",
                plan,
                "versions: the KORVA reports \"Ver1.36.192\", the updater carries \"Ver1.36.192\"; "
                "plan: nothing differs",
            }));
}

TEST_F(JobLogTest, TheBluetoothUpdateLibraryOrItsProblemIsLogged) {
  { DfuLibraryScope loaded(ChooseDfuLibrary(KORVA_SCRIPTED_DFU, nullptr)); }
  { DfuLibraryScope missing(ChooseDfuLibrary("", nullptr)); }
  const auto logged = Logged();
  ASSERT_EQ(logged.size(), 2u);
  // The path as the program loads it: made absolute (under Wine, a Unix path gets its drive).
  EXPECT_EQ(logged[0],
            "Bluetooth update library: " + std::filesystem::absolute(KORVA_SCRIPTED_DFU).string() +
                " (named by --dfu-library)");
  EXPECT_EQ(logged[1].rfind("Bluetooth update library: none. No usable library: ", 0), 0u)
      << logged[1];
  // The problem line says where the library is looked for, escaped onto one line.
  EXPECT_NE(logged[1].find(InstalledDfuLibraryPath()), std::string::npos) << logged[1];
}

}  // namespace
}  // namespace korva::testing
