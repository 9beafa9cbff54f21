// The welcome window's Windows face: its system menu and About box, the device-change
// notification, "Enter" running the main update window modally while it hides, the context
// menu's service mode with its tabs, and the end of the window refused while a page's job
// writes.
#include <windows.h>

#include <gtest/gtest.h>
// After <windows.h>, which it relies on.
#include <dbt.h>

#include "device/link_mode.h"
#include "dialogs/page_host.h"
#include "resources/windows/resource.h"
#include "tests/win32/win32_test_support.h"
#include "win32/device_changes.h"
#include "win32/service_page_dlg.h"
#include "win32/welcome_dlg.h"

namespace korva::testing {
namespace {

using win32::WelcomeDlg;

class WelcomeDlgTest : public Win32WindowTest {
 protected:
  void Open() {
    welcome = std::make_unique<WelcomeDlg>(device, changes);
    ASSERT_TRUE(welcome->Create(nullptr));
    ShowWindow(welcome->Handle(), SW_SHOW);
    Settle();
  }

  win32::VirtualBusChanges changes{sim.bus};
  std::unique_ptr<WelcomeDlg> welcome;
};

// "Enter" hides the welcome window and runs the main window modally in its place; closing that
// ends the welcome window's run with the OK result.
TEST_F(WelcomeDlgTest, EnterRunsTheMainWindowInItsPlaceAndEndsWithIt) {
  Open();
  bool mainWindowSeen = false;
  bool welcomeHidden = false;
  WhenUp closeMain([] { return FindDialogWith(IDC_LAMP); },
                   [&](HWND main) {
                     mainWindowSeen = true;
                     welcomeHidden = !IsWindowVisible(welcome->Handle());
                     Click(main, IDCANCEL);
                   });
  int result = -1;
  PostMessageW(welcome->Handle(), WM_COMMAND, MAKEWPARAM(IDC_ENTER, BN_CLICKED), 0);
  result = welcome->RunModal(nullptr);
  EXPECT_TRUE(mainWindowSeen);
  EXPECT_TRUE(welcomeHidden);
  EXPECT_EQ(result, IDOK);
}

// The system menu carries a separator and "&About Velorin..." (command 0x10); the command, with
// whatever the system puts in its low four bits, runs the About box modally.
TEST_F(WelcomeDlgTest, TheSystemMenusAboutItemRunsTheAboutBox) {
  Open();
  HMENU menu = GetSystemMenu(welcome->Handle(), FALSE);
  const int items = GetMenuItemCount(menu);
  ASSERT_GE(items, 2);
  EXPECT_EQ(GetMenuState(menu, static_cast<UINT>(items - 2), MF_BYPOSITION) & MF_SEPARATOR,
            static_cast<UINT>(MF_SEPARATOR));
  wchar_t text[64] = {};
  GetMenuStringW(menu, dialogs::kAboutCommand, text, 64, MF_BYCOMMAND);
  EXPECT_EQ(win32::Utf8(text), "&About Velorin...");

  std::string aboutText;
  WhenUp closeAbout([] { return FindWindowCalled("About KORVA Updater"); },
                    [&](HWND about) {
                      HWND label = FindWindowExW(about, nullptr, L"Static",
                                                 L"Brenwick KORVA Updater Ver4.04");
                      aboutText = label ? TextOf(label) : "";
                      Click(about, IDOK);
                    });
  SendMessageW(welcome->Handle(), WM_SYSCOMMAND, dialogs::kAboutCommand | 0x3, 0);
  EXPECT_EQ(aboutText, "Brenwick KORVA Updater Ver4.04");
  EXPECT_EQ(FindWindowCalled("About KORVA Updater"), nullptr);
}

// A plug or an unplug on the bus reaches the window as WM_DEVICECHANGE, and its probe sets
// LinkMode.
TEST_F(WelcomeDlgTest, DeviceChangesReachTheWindowAndItsProbe) {
  Open();
  EXPECT_EQ(LinkMode.load(), kLinkHid);
  sim.korva.Unplug();
  EXPECT_TRUE(PumpUntil([] { return LinkMode.load() == kLinkNone; }));
  sim.korva.Plug();
  EXPECT_TRUE(PumpUntil([] { return LinkMode.load() == kLinkHid; }));
}

// "Service mode" in the context menu (opened from the keyboard, answered with the keyboard)
// shows the tabs and the MCU page below the texts; the window grows to hold them and keeps its
// buttons below them; the item is checked and greyed from then on.
TEST_F(WelcomeDlgTest, ServiceModeFromTheContextMenuShowsTheTabsAndPages) {
  Open();
  HWND window = welcome->Handle();
  RECT before{};
  GetClientRect(window, &before);
  // The popup menu's window (class #32768), once it is up.
  auto menu = [] {
    HWND found = FindWindowW(L"#32768", nullptr);
    return found && IsWindowVisible(found) ? found : nullptr;
  };
  auto chooseFirstItem = [](HWND popup) {
    PostMessageW(popup, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageW(popup, WM_KEYDOWN, VK_RETURN, 0);
  };
  {
    WhenUp choose(menu, chooseFirstItem);
    SendMessageW(window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window), MAKELPARAM(-1, -1));
  }
  ASSERT_TRUE(welcome->Window().InServiceMode());
  HWND tabs = GetDlgItem(window, IDC_TAB);
  EXPECT_TRUE(IsWindowVisible(tabs));
  EXPECT_TRUE(IsWindowEnabled(tabs));
  EXPECT_EQ(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0), dialogs::kTabCount);
  wchar_t title[32] = {};
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  item.pszText = title;
  item.cchTextMax = 32;
  SendMessageW(tabs, TCM_GETITEMW, dialogs::kTabBluetooth, reinterpret_cast<LPARAM>(&item));
  EXPECT_EQ(win32::Utf8(title), "Bluetooth");
  EXPECT_TRUE(IsWindowVisible(welcome->PageDlg(dialogs::kTabMcu)->Handle()));
  EXPECT_FALSE(IsWindowVisible(welcome->PageDlg(dialogs::kTabDsp)->Handle()));

  // Everything inside the grown window, the buttons below the page.
  RECT after{};
  GetClientRect(window, &after);
  EXPECT_GT(after.bottom, before.bottom);
  auto rectIn = [&](HWND child) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
    return r;
  };
  const RECT page = rectIn(welcome->PageDlg(dialogs::kTabMcu)->Handle());
  const RECT tabRect = rectIn(tabs);
  const RECT enter = rectIn(GetDlgItem(window, IDC_ENTER));
  EXPECT_GE(page.left, tabRect.left);
  EXPECT_LE(page.right, tabRect.right);
  EXPECT_LE(page.bottom, tabRect.bottom);
  EXPECT_LE(tabRect.right, after.right);
  EXPECT_GT(enter.top, tabRect.bottom);
  EXPECT_LE(enter.bottom, after.bottom);

  // The item now shows that service mode is on, and choosing it again changes nothing.
  {
    WhenUp choose(menu, chooseFirstItem);
    SendMessageW(window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window), MAKELPARAM(-1, -1));
  }
  EXPECT_TRUE(welcome->Window().InServiceMode());
}

// Return held down on the welcome window: its first press opens the main window, and the
// repeats that follow (marked by their previous-state bit) press nothing there: no update
// starts, although "Update" is enabled and has the focus.
TEST_F(WelcomeDlgTest, ReturnHeldOnTheWelcomeWindowStartsNothing) {
  Open();
  HWND window = welcome->Handle();
  SetForegroundWindow(window);
  SendMessageW(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(window, IDC_ENTER)),
               TRUE);
  constexpr LPARAM kRepeat = LPARAM{1} << 30;
  PostMessageW(GetFocus(), WM_KEYDOWN, VK_RETURN, 1);  // the press
  int repeats = 0;
  bool updateFocused = false;
  std::size_t writesAtOpening = 0;
  std::size_t writesAfterRepeats = 0;
  Later holdReturn(
      Later::Repeating{},
      [&] {
        HWND main = FindDialogWith(IDC_LAMP);
        if (!main || !ItemEnabled(main, IDOK)) return false;  // opening, reading the amp
        if (repeats == 0) writesAtOpening = sim.korva.Writes().size();
        if (repeats++ < 30) {
          updateFocused = updateFocused || GetFocus() == GetDlgItem(main, IDOK);
          PostMessageW(GetFocus(), WM_KEYDOWN, VK_RETURN, kRepeat | 1);
          return false;
        }
        writesAfterRepeats = sim.korva.Writes().size();
        PostMessageW(main, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        return true;
      },
      10);
  EXPECT_EQ(welcome->RunModal(nullptr), IDOK);  // the main road was taken, and ended
  EXPECT_TRUE(updateFocused);
  EXPECT_GT(writesAtOpening, 0u);  // the main window read the amp
  EXPECT_EQ(writesAfterRepeats, writesAtOpening);
  EXPECT_EQ(RunningWorkers(), 0);
}

}  // namespace
}  // namespace korva::testing
