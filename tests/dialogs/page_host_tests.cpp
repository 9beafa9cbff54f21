// The page host's tab rule and the welcome window, with recording faces: which tab a change
// shows, which it refuses and when, the tab bar as the pages' jobs and the link go; the welcome
// window's probes, "Enter", "Exit" and service mode, and how a page's job holds it.
#include "dialogs/page_host.h"

#include "dialogs/bluetooth_page.h"
#include "dialogs/firmware_page.h"
#include "dialogs/ir_page.h"
#include "dialogs/welcome_window.h"
#include "tests/dialogs/recording_faces.h"
#include "tests/shared/file_test_support.h"

namespace korva::testing {
namespace {

using dialogs::kTabBattery;
using dialogs::kTabBluetooth;
using dialogs::kTabCount;
using dialogs::kTabDsp;
using dialogs::kTabIr;
using dialogs::kTabMcu;

// The five pages, each with a face of its own, and their host.
class PageHostTest : public DialogsTest {
 protected:
  PageHostTest()
      : mcu(faces[kTabMcu], device, FirmwareKind::Mcu),
        dsp(faces[kTabDsp], device, FirmwareKind::Dsp),
        ir(faces[kTabIr], faces[kTabIr], device),
        battery(faces[kTabBattery], device, FirmwareKind::Battery),
        bluetooth(faces[kTabBluetooth], faces[kTabBluetooth], device),
        host(hostFace, {&mcu, &dsp, &ir, &battery, &bluetooth}) {
    faces[kTabMcu].window = &mcu;
  }

  void Select(int tab) { host.OnSelchangeTab(tab); }
  std::vector<bool> TabsEnabled() const {
    std::vector<bool> enabled;
    for (int tab = 0; tab < kTabCount; ++tab) enabled.push_back(hostFace.tabEnabled.at(tab));
    return enabled;
  }

  std::array<RecordingPageFace, kTabCount> faces{RecordingPageFace{gui}, RecordingPageFace{gui},
                                                 RecordingPageFace{gui}, RecordingPageFace{gui},
                                                 RecordingPageFace{gui}};
  dialogs::FirmwarePage mcu;
  dialogs::FirmwarePage dsp;
  dialogs::IrPage ir;
  dialogs::FirmwarePage battery;
  dialogs::BluetoothPage bluetooth;
  RecordingHostFace hostFace;
  dialogs::PageHost host;
};

// Each row: the state, the tab asked for, the tab shown after it (from the battery tab).
TEST_F(PageHostTest, TheTabRule) {
  EXPECT_EQ(hostFace.shownTab, kTabMcu);
  EXPECT_TRUE(hostFace.tabBarEnabled);
  EXPECT_EQ(TabsEnabled(), std::vector<bool>(5, true));
  for (int tab : {kTabDsp, kTabIr, kTabBattery, kTabBluetooth, kTabMcu, kTabBluetooth, kTabIr}) {
    Select(tab);
    EXPECT_EQ(hostFace.shownTab, tab);
    EXPECT_EQ(host.ShownTab(), tab);
  }
  struct Row {
    const char* state;
    int linkMode;
    int jobStatus;
    int asked;
    int shown;
  };
  const Row rows[] = {
      {"idle", kLinkHid, kJobIdle, kTabDsp, kTabDsp},
      {"idle, no such tab", kLinkHid, kJobIdle, 5, kTabBattery},
      {"idle, no such tab", kLinkHid, kJobIdle, -1, kTabBattery},
      {"link with the module", kLinkBluetooth, kJobIdle, kTabMcu, kTabBattery},
      {"link with the module", kLinkBluetooth, kJobIdle, kTabIr, kTabBattery},
      {"link with the module", kLinkBluetooth, kJobIdle, kTabBluetooth, kTabBluetooth},
      {"another window's job", kLinkHid, kJobRunning, kTabMcu, kTabBattery},
      {"another window's job", kLinkHid, kJobRunning, kTabBluetooth, kTabBattery},
      {"a job that failed, not yet handled", kLinkHid, kJobFailedStatus, kTabDsp, kTabBattery},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.state) + ", tab " + std::to_string(row.asked));
    LinkMode.store(kLinkHid);
    JobStatus.store(kJobIdle);
    Select(kTabBattery);
    LinkMode.store(row.linkMode);
    JobStatus.store(row.jobStatus);
    Select(row.asked);
    EXPECT_EQ(hostFace.shownTab, row.shown);
    EXPECT_EQ(host.ShownTab(), row.shown);
  }
  JobStatus.store(kJobIdle);

  // While the link is with the module, the file pages' tabs are disabled, all but the one shown
  // (refused, as the user sees it) and the Bluetooth tab.
  LinkMode.store(kLinkHid);
  Select(kTabIr);
  LinkMode.store(kLinkBluetooth);
  host.RefreshTabs();
  EXPECT_EQ(TabsEnabled(), (std::vector<bool>{false, false, true, false, true}));
  LinkMode.store(kLinkHid);
  host.RefreshTabs();
  EXPECT_EQ(TabsEnabled(), std::vector<bool>(5, true));
}

// A page's job disables the tab bar and refuses every change from its "Upgrade" to its final
// box; the host's listener hears each change.
TEST_F(PageHostTest, APagesJobHoldsTheTabs) {
  int heard = 0;
  host.SetJobStateListener([&] { ++heard; });
  ScratchFolder folder;
  faces[kTabMcu].files.Add(folder.File("mcu.bin", FirmwareBytes(0x2345, 7, 0x10, "APPV1.39")));
  mcu.OnBrowse();
  std::optional<std::pair<bool, int>> whileRunning;
  faces[kTabMcu].afterMessage = [&](int, int wParam, long) {
    if (wParam != JOB_PROGRESS || whileRunning) return;
    Select(kTabBluetooth);
    whileRunning = std::make_pair(hostFace.tabBarEnabled, hostFace.shownTab);
  };
  mcu.OnUpgrade();
  EXPECT_TRUE(host.JobRunning());
  EXPECT_FALSE(hostFace.tabBarEnabled);
  ASSERT_TRUE(gui.PumpUntil([&] { return !host.JobRunning() && device.Idle(); }));
  EXPECT_EQ(whileRunning, std::make_pair(false, int{kTabMcu}));
  EXPECT_TRUE(hostFace.tabBarEnabled);
  EXPECT_EQ(prompter.Texts(), std::vector<std::string>{kTextMcuPageSucceeded});
  EXPECT_GE(heard, 2);
  Select(kTabDsp);
  EXPECT_EQ(hostFace.shownTab, kTabDsp);
}

class RecordingWelcomeFace final : public dialogs::WelcomeWindowFace {
 public:
  explicit RecordingWelcomeFace(dialogs::PageHost& host) : host_(host) {}
  void Enable(dialogs::WelcomeControl control, bool enabled) override {
    (control == dialogs::WelcomeControl::Enter ? enterEnabled : exitEnabled) = enabled;
  }
  void RunMainWindow() override { ++mainWindowRuns; }
  void EndWelcome(bool entered) override { ended.push_back(entered); }
  dialogs::PageHost& ShowServicePages() override {
    ++pagesShown;
    return host_;
  }

  bool enterEnabled = true;
  bool exitEnabled = true;
  int mainWindowRuns = 0;
  std::vector<bool> ended;
  int pagesShown = 0;

 private:
  dialogs::PageHost& host_;
};

// The probes: at the opening an absent amp only closes the update library; at a device change
// the library is asked too; with the amp there, LinkMode 1 and no library call.
TEST_F(PageHostTest, TheWelcomeWindowProbesAtItsOpeningAndAtEachDeviceChange) {
  RecordingWelcomeFace face(host);
  dialogs::WelcomeWindow welcome(face, device);
  sim.korva.Unplug();
  LinkMode.store(kLinkHid);
  welcome.OnOpening();
  Settle();
  EXPECT_EQ(LinkMode.load(), kLinkNone);
  EXPECT_EQ(sim.module.Calls(), (std::vector<std::string>{"disconnect"}));
  welcome.OnDeviceChange();
  Settle();
  EXPECT_EQ(sim.module.Calls(),
            (std::vector<std::string>{"disconnect", "connect", "lasterror", "disconnect"}));
  sim.korva.Plug();
  welcome.OnDeviceChange();
  Settle();
  EXPECT_EQ(LinkMode.load(), kLinkHid);
  EXPECT_EQ(sim.module.Calls().size(), 4u);
}

// "Enter" runs the main window and ends the welcome window with OK; "Exit" ends it with cancel.
// While a page's job runs neither does anything, and both buttons are disabled.
TEST_F(PageHostTest, TheWelcomeWindowStaysWhileAPagesJobRuns) {
  RecordingWelcomeFace face(host);
  dialogs::WelcomeWindow welcome(face, device);
  EXPECT_FALSE(welcome.InServiceMode());
  welcome.OnServiceMode();
  welcome.OnServiceMode();
  EXPECT_EQ(face.pagesShown, 1);
  EXPECT_EQ(welcome.Host(), &host);

  ScratchFolder folder;
  faces[kTabMcu].files.Add(folder.File("mcu.bin", FirmwareBytes(0x2345, 7, 0x10, "APPV1.39")));
  mcu.OnBrowse();
  bool tried = false;
  faces[kTabMcu].afterMessage = [&](int, int wParam, long) {
    if (wParam != JOB_PROGRESS || std::exchange(tried, true)) return;
    EXPECT_FALSE(face.enterEnabled);
    EXPECT_FALSE(face.exitEnabled);
    EXPECT_FALSE(welcome.MayEnd());
    welcome.OnEnter();
    welcome.OnExit();
  };
  mcu.OnUpgrade();
  ASSERT_TRUE(gui.PumpUntil([&] { return !host.JobRunning() && device.Idle(); }));
  EXPECT_TRUE(tried);
  EXPECT_EQ(face.mainWindowRuns, 0);
  EXPECT_TRUE(face.ended.empty());
  EXPECT_TRUE(face.enterEnabled);
  EXPECT_TRUE(face.exitEnabled);

  welcome.OnEnter();
  EXPECT_EQ(face.mainWindowRuns, 1);
  welcome.OnExit();
  EXPECT_EQ(face.ended, (std::vector<bool>{true, false}));
}

}  // namespace
}  // namespace korva::testing
