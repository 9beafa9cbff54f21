// The service pages' Windows faces inside the welcome window: each page from "Browse" (the
// system's file dialog) through "Upgrade" to its final box (Windows' message box) against the
// virtual amp, what the page shows meanwhile, the busy prompt, the two kinds of box, and the
// tabs. What the pages decide is tested once, in the shared layer's tests.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "dialogs/page_host.h"
#include "dialogs/service_page.h"
#include "jobs/display_text.h"
#include "jobs/job_messages.h"
#include "jobs/service_texts.h"
#include "resources/windows/resource.h"
#include "tests/shared/file_test_support.h"
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

// A full-flash battery file whose application part is 0x1800 bytes (0xFF from 0x3500 on).
Bytes FullFlashBatteryFile() {
  Bytes bytes = FirmwareBytes(0x8000, 31, 0x2010, "BATV1.02");
  std::fill(bytes.begin() + 0x3500, bytes.end(), 0xFF);
  return bytes;
}

struct PageCase {
  const char* name;
  int tab;
  const char* fileName;
  Bytes file;
  std::string dialogShows;  // the file dialog's filter entry and first name
  const char* version;      // beside "Update Version:"; the IR and Bluetooth pages have none
  std::function<void(const Simulation&, const Bytes&, const std::string&)> expectWritten;
};

void PrintTo(const PageCase& c, std::ostream* out) { *out << c.name; }

std::vector<PageCase> AllPages() {
  return {
      {"MCU", dialogs::kTabMcu, "mcu.bin", FirmwareBytes(0x2345, 7, 0x10, "APPV1.39"),
       "*.bin|*.bin", "V 1.39",
       [](const Simulation& sim, const Bytes& file, const std::string&) {
         EXPECT_EQ(sim.korva.McuMemory(), Padded(file, 1024));
       }},
      {"DSP", dialogs::kTabDsp, "dsp.bin", FirmwareBytes(5000, 13, 4, "DSPV0.251"), "*.bin|*.bin",
       "V 0.251",
       [](const Simulation& sim, const Bytes& file, const std::string&) {
         EXPECT_EQ(sim.korva.DspMemory(), Padded(Slice(file, 16, file.size() - 16), 64));
       }},
      {"Battery", dialogs::kTabBattery, "battery.bin", FullFlashBatteryFile(), "*.bin|*.bin",
       "V 1.02",
       [](const Simulation& sim, const Bytes& file, const std::string&) {
         EXPECT_EQ(sim.korva.BatteryMemory(), Slice(file, 0x2000, 0x1800));
       }},
      {"IR", dialogs::kTabIr, "cab.wav", Wav(28844), "*.wav|*.wav", nullptr,
       [](const Simulation& sim, const Bytes& file, const std::string&) {
         // Slot 5's samples.
         EXPECT_EQ(sim.korva.ReadMemory(0x66000, 0x4000), Slice(file, 44, 0x4000));
       }},
      {"Bluetooth", dialogs::kTabBluetooth, "module.dfu", Pattern(3000, 3),
       "*.bin; *.dfu|*.bin; *.dfu", nullptr,
       [](const Simulation& sim, const Bytes&, const std::string& path) {
         EXPECT_EQ(sim.module.UpgradedFile(), path);
       }},
  };
}

class EachPageTest : public ServicePagesTest, public ::testing::WithParamInterface<PageCase> {};

TEST_P(EachPageTest, BrowseAndUpgradeThroughTheSystemsDialogsToTheFinalBox) {
  const PageCase& c = GetParam();
  ClickTab(c.tab);
  EXPECT_EQ(VisiblePages(), std::vector<int>{c.tab});
  HWND page = Page(c.tab);
  if (c.tab == dialogs::kTabIr) ChooseSlot(page, 5);
  const std::string path = folder.File(c.fileName, c.file);
  Browse(page, path);
  EXPECT_EQ(modal.fileDialogTitles, std::vector<std::string>{c.dialogShows});
  EXPECT_EQ(ItemText(page, IDC_FILE_PATH), path);
  if (c.version) {
    EXPECT_EQ(ItemText(page, IDC_UPDATE_VERSION), c.version);
  }
  EXPECT_EQ(ItemText(page, IDC_LOADED_VERSION), "");  // "info" went with the first refresh
  EXPECT_TRUE(modal.Boxes().empty());

  // While the final box is open: the bar at its end, the page not yet reset, no busy prompt.
  struct {
    int bar = -1;
    int maximum = -1;
    std::string percent;
    bool buttons = true;
    bool busyPromptUp = true;
  } atBox;
  modal.whileBoxOpen = [&](const SeenDialog&) {
    atBox = {Bar(page), BarMaximum(page), ItemText(page, IDC_PERCENT), ButtonsEnabled(page),
             FindWindowCalled("") != nullptr};
  };
  bool busyPromptSeen = false;
  bool lockedWhileRunning = false;
  Click(page, IDC_UPGRADE);
  ASSERT_TRUE(PumpUntil([&] {
    busyPromptSeen = busyPromptSeen || FindWindowCalled("") != nullptr;
    if (Bar(page) > 0)
      lockedWhileRunning = !ButtonsEnabled(page) && !IsWindowEnabled(Tabs()) &&
                           !ItemEnabled(welcome->Handle(), IDC_ENTER) &&
                           !ItemEnabled(welcome->Handle(), IDC_EXIT);
    return !welcome->Window().Host()->JobRunning() && device.Idle();
  }));

  ASSERT_EQ(modal.Boxes().size(), 1u);
  const SeenDialog box = modal.Boxes()[0];
  EXPECT_EQ(box.text,
            DisplayText(ServiceJobTextsOf(welcome->PageDlg(c.tab)->Page().JobKind()).succeeded));
  EXPECT_FALSE(box.exclamation);
  EXPECT_EQ(box.owner, welcome->Handle());
  EXPECT_TRUE(lockedWhileRunning);
  EXPECT_EQ(atBox.bar, atBox.maximum);
  EXPECT_EQ(atBox.percent, "100%");
  EXPECT_FALSE(atBox.buttons);
  EXPECT_FALSE(atBox.busyPromptUp);
  EXPECT_EQ(busyPromptSeen, c.tab == dialogs::kTabBluetooth);
  // The page is ready for the next file.
  EXPECT_EQ(Bar(page), 0);
  EXPECT_EQ(ItemText(page, IDC_PERCENT), "0%");
  EXPECT_TRUE(ButtonsEnabled(page));
  EXPECT_TRUE(IsWindowEnabled(Tabs()));
  c.expectWritten(sim, c.file, path);
  EXPECT_TRUE(sim.korva.Violations().empty());
}

INSTANTIATE_TEST_SUITE_P(Pages, EachPageTest, ::testing::ValuesIn(AllPages()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace korva::testing
