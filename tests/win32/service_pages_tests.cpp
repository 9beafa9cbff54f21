// The service pages' Windows faces inside the welcome window: each page from "Browse" (the
// system's file dialog) through "Upgrade" to its final box (Windows' message box) against the
// virtual amp, what the page shows meanwhile, the busy prompt, the two kinds of box, and the
// tabs. What the pages decide is tested once, in the shared layer's tests.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>

#include "dialogs/page_host.h"
#include "dialogs/service_page.h"
#include "jobs/display_text.h"
#include "jobs/job_messages.h"
#include "jobs/service_texts.h"
#include "resources/windows/resource.h"
#include "tests/shared/file_test_support.h"
#include "tests/shared/service_page_cases.h"
#include "tests/win32/win32_test_support.h"
#include "win32/device_changes.h"
#include "win32/service_page_dlg.h"
#include "win32/welcome_dlg.h"

namespace korva::testing {
namespace {

using dialogs::PageTab;

// The welcome window in service mode against the virtual amp.
class ServicePagesTest : public Win32WindowTest {
 protected:
  ServicePagesTest() {
    welcome = std::make_unique<win32::WelcomeDlg>(device, changes);
    EXPECT_TRUE(welcome->Create(nullptr));
    ShowWindow(welcome->Handle(), SW_SHOW);
    welcome->Window().OnServiceMode();
    Settle();
  }
  ~ServicePagesTest() override { welcome.reset(); }

  HWND Page(int tab) { return welcome->PageDlg(tab)->Handle(); }
  HWND Tabs() { return GetDlgItem(welcome->Handle(), IDC_TAB); }
  // A click on a tab, as the tab control reports it to its dialog.
  void ClickTab(int tab) {
    NMHDR notification{Tabs(), IDC_TAB, static_cast<UINT>(TCN_SELCHANGING)};
    SendMessageW(welcome->Handle(), WM_NOTIFY, IDC_TAB, reinterpret_cast<LPARAM>(&notification));
    SendMessageW(Tabs(), TCM_SETCURSEL, static_cast<WPARAM>(tab), 0);
    notification.code = static_cast<UINT>(TCN_SELCHANGE);
    SendMessageW(welcome->Handle(), WM_NOTIFY, IDC_TAB, reinterpret_cast<LPARAM>(&notification));
  }
  int SelectedTab() { return static_cast<int>(SendMessageW(Tabs(), TCM_GETCURSEL, 0, 0)); }
  std::vector<int> VisiblePages() {
    std::vector<int> visible;
    for (int tab = 0; tab < dialogs::kTabCount; ++tab)
      if (IsWindowVisible(Page(tab))) visible.push_back(tab);
    return visible;
  }
  void Browse(HWND page, const std::string& path) {
    modal.ChooseFile(path);
    Click(page, IDC_BROWSE);
    Pump();
  }
  // The user's choice in the slot list: the list changes, and tells its dialog.
  void ChooseSlot(HWND page, int slot) {
    SendDlgItemMessageW(page, IDC_SLOT_INDEX, CB_SETCURSEL, static_cast<WPARAM>(slot - 1), 0);
    SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_SLOT_INDEX, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(GetDlgItem(page, IDC_SLOT_INDEX)));
  }
  bool WaitForIdle() {
    return PumpUntil([&] { return !welcome->Window().Host()->JobRunning() && device.Idle(); });
  }
  static int Bar(HWND page) {
    return static_cast<int>(SendDlgItemMessageW(page, IDC_PROGRESS, PBM_GETPOS, 0, 0));
  }
  static int BarMaximum(HWND page) {
    return static_cast<int>(SendDlgItemMessageW(page, IDC_PROGRESS, PBM_GETRANGE, FALSE, 0));
  }
  static bool ButtonsEnabled(HWND page) {
    return ItemEnabled(page, IDC_BROWSE) && ItemEnabled(page, IDC_UPGRADE);
  }

  win32::VirtualBusChanges changes{sim.bus};
  std::unique_ptr<win32::WelcomeDlg> welcome;
  ScratchFolder folder;
};

// What a page showed on its way through Browse and Upgrade to its final box.
struct PageRun {
  std::vector<SeenDialog> boxes;
  bool lockedWhileRunning = false;  // the page, the tabs, Enter and Exit, at a progress message
  bool busyPromptSeen = false;
  // While the final box was open: the bar at its end, the page not yet reset, no busy prompt.
  int barAtBox = -1;
  int maximumAtBox = -1;
  std::string percentAtBox;
  bool buttonsAtBox = true;
  bool busyPromptAtBox = true;
};

class PageRoadTest : public ServicePagesTest {
 protected:
  // Opens `tab` (slot 5 on the IR page), chooses `path` in the file dialog, presses Upgrade and
  // follows the job to its final box.
  PageRun Run(int tab, const std::string& path) {
    ClickTab(tab);
    EXPECT_EQ(VisiblePages(), std::vector<int>{tab});
    HWND page = Page(tab);
    if (tab == dialogs::kTabIr) ChooseSlot(page, 5);
    Browse(page, path);
    EXPECT_EQ(ItemText(page, IDC_FILE_PATH), path);
    EXPECT_EQ(ItemText(page, IDC_LOADED_VERSION), "");  // "info" went with the first refresh
    EXPECT_TRUE(modal.Boxes().empty());

    PageRun run;
    modal.whileBoxOpen = [&](const SeenDialog&) {
      run.barAtBox = Bar(page);
      run.maximumAtBox = BarMaximum(page);
      run.percentAtBox = ItemText(page, IDC_PERCENT);
      run.buttonsAtBox = ButtonsEnabled(page);
      run.busyPromptAtBox = FindWindowCalled("") != nullptr;
    };
    Click(page, IDC_UPGRADE);
    EXPECT_TRUE(PumpUntil([&] {
      run.busyPromptSeen = run.busyPromptSeen || FindWindowCalled("") != nullptr;
      if (Bar(page) > 0)
        run.lockedWhileRunning = !ButtonsEnabled(page) && !IsWindowEnabled(Tabs()) &&
                                 !ItemEnabled(welcome->Handle(), IDC_ENTER) &&
                                 !ItemEnabled(welcome->Handle(), IDC_EXIT);
      return !welcome->Window().Host()->JobRunning() && device.Idle();
    }));
    run.boxes = modal.Boxes();
    // The page is ready for the next file.
    EXPECT_EQ(Bar(page), 0);
    EXPECT_EQ(ItemText(page, IDC_PERCENT), "0%");
    EXPECT_TRUE(ButtonsEnabled(page));
    EXPECT_TRUE(IsWindowEnabled(Tabs()));
    EXPECT_TRUE(sim.korva.Violations().empty());
    return run;
  }

  // One success box: the page's text as the user reads it, a window box owned by the window.
  void ExpectSuccessBox(const PageRun& run, int jobKind) {
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].text, DisplayText(ServiceJobTextsOf(jobKind).succeeded));
    EXPECT_FALSE(run.boxes[0].exclamation);
    EXPECT_EQ(run.boxes[0].owner, welcome->Handle());
    EXPECT_TRUE(run.lockedWhileRunning);
    EXPECT_EQ(run.barAtBox, run.maximumAtBox);
    EXPECT_EQ(run.percentAtBox, "100%");
    EXPECT_FALSE(run.buttonsAtBox);
    EXPECT_FALSE(run.busyPromptAtBox);
  }
};

int TabOf(int jobKind) {
  switch (jobKind) {
    case kJobDsp:
      return dialogs::kTabDsp;
    case kJobBattery:
      return dialogs::kTabBattery;
    case kJobAudio:
      return dialogs::kTabIr;
    default:
      return dialogs::kTabMcu;
  }
}

class EachFilePageTest : public PageRoadTest, public ::testing::WithParamInterface<PageCase> {};

TEST_P(EachFilePageTest, BrowseAndUpgradeThroughTheSystemsDialogsToTheFinalBox) {
  const PageCase& c = GetParam();
  const int tab = TabOf(c.jobKind);
  const PageRun run = Run(tab, folder.File(c.fileName, c.file));
  // The file dialog offered the page's one filter entry, and its pattern as the first name.
  const std::string pattern = std::string(c.filter).substr(0, std::string(c.filter).find(' '));
  EXPECT_EQ(modal.fileDialogTitles, std::vector<std::string>{pattern + "|" + pattern});
  if (c.version) {
    EXPECT_EQ(ItemText(Page(tab), IDC_UPDATE_VERSION), c.version);
  }
  ExpectSuccessBox(run, c.jobKind);
  EXPECT_FALSE(run.busyPromptSeen);
  c.expectOnTheAmp(sim.korva, c.file);
}

INSTANTIATE_TEST_SUITE_P(Pages, EachFilePageTest, ::testing::ValuesIn(FilePageCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// The Bluetooth page: its busy prompt (dialog 145, a window of its own) is up from 99% on and
// gone before the final box; the update library gets the chosen file.
TEST_F(PageRoadTest, TheBluetoothPageShowsItsBusyPromptUntilTheFinalBox) {
  const std::string path = folder.File("module.dfu", Pattern(3000, 3));
  const PageRun run = Run(dialogs::kTabBluetooth, path);
  EXPECT_EQ(modal.fileDialogTitles, std::vector<std::string>{"*.bin; *.dfu|*.bin; *.dfu"});
  ExpectSuccessBox(run, kJobBluetooth);
  EXPECT_TRUE(run.busyPromptSeen);
  EXPECT_EQ(sim.module.UpgradedFile(), path);
}

// The two kinds of box as Windows shows them: an application box has the exclamation icon, a
// page box none; both carry the program's name and are owned by the welcome window. A file
// dialog that is cancelled leaves the path as it was.
TEST_F(ServicePagesTest, PageBoxesAndApplicationBoxesAndACancelledDialog) {
  HWND mcu = Page(dialogs::kTabMcu);
  Click(mcu, IDC_UPGRADE);  // no file chosen yet
  Settle();
  ClickTab(dialogs::kTabIr);
  HWND ir = Page(dialogs::kTabIr);
  Click(ir, IDC_UPGRADE);  // no slot chosen yet
  Settle();
  ASSERT_EQ(modal.Boxes().size(), 2u);
  EXPECT_EQ(modal.Boxes()[0].text, kTextSelectFile);
  EXPECT_TRUE(modal.Boxes()[0].exclamation);
  EXPECT_EQ(modal.Boxes()[1].text, kTextSelectAudioIndex);
  EXPECT_FALSE(modal.Boxes()[1].exclamation);
  for (const SeenDialog& box : modal.Boxes()) {
    EXPECT_EQ(box.caption, win32::Utf8(win32::ProgramName()));
    EXPECT_EQ(box.owner, welcome->Handle());
  }

  const std::string path = folder.File("cab.wav", Wav(28844));
  Browse(ir, path);
  modal.CancelFileDialog();
  Click(ir, IDC_BROWSE);
  EXPECT_EQ(modal.FileDialogsSeen(), 2);
  EXPECT_EQ(ItemText(ir, IDC_FILE_PATH), path);
}

// While a page's job writes: the tab bar is disabled and a change of tab is put back, Enter and
// Exit are disabled, and closing the window is refused; after the job all comes back.
TEST_F(ServicePagesTest, WhileAPagesJobWritesTheTabsAndTheWindowStay) {
  HookedClock hooked(clock);
  Gate gate;
  std::atomic<bool> held{false};
  std::atomic<int> pauses{0};
  hooked.hook = [&] {
    if (++pauses != 10) return;
    held = true;
    gate.Pass();
  };
  SetProcessClock(&hooked);
  HWND mcu = Page(dialogs::kTabMcu);
  Browse(mcu, folder.File("mcu.bin", FirmwareBytes(0x9000, 7, 0x10, "APPV1.39")));
  gate.Close();
  Click(mcu, IDC_UPGRADE);
  ASSERT_TRUE(PumpUntil([&] { return held.load(); }));
  Pump();

  EXPECT_FALSE(IsWindowEnabled(Tabs()));
  ClickTab(dialogs::kTabDsp);
  EXPECT_EQ(SelectedTab(), dialogs::kTabMcu);
  EXPECT_EQ(VisiblePages(), std::vector<int>{dialogs::kTabMcu});
  EXPECT_FALSE(ItemEnabled(welcome->Handle(), IDC_ENTER));
  EXPECT_FALSE(ItemEnabled(welcome->Handle(), IDC_EXIT));
  SendMessageW(welcome->Handle(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(welcome->Ended());
  EXPECT_FALSE(SendMessageW(welcome->Handle(), WM_QUERYENDSESSION, 0, 0));

  gate.Open();
  ASSERT_TRUE(WaitForIdle());
  EXPECT_TRUE(IsWindowEnabled(Tabs()));
  EXPECT_TRUE(ItemEnabled(welcome->Handle(), IDC_EXIT));
  ClickTab(dialogs::kTabDsp);
  EXPECT_EQ(VisiblePages(), std::vector<int>{dialogs::kTabDsp});
  SetProcessClock(&clock);
}

}  // namespace
}  // namespace korva::testing
