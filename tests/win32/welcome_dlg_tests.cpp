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
  Later closeMain([&] {
    HWND main = FindDialogWith(IDC_LAMP);
    mainWindowSeen = main != nullptr;
    welcomeHidden = !IsWindowVisible(welcome->Handle());
    if (main) Click(main, IDCANCEL);
  });
  int result = -1;
  PostMessageW(welcome->Handle(), WM_COMMAND, MAKEWPARAM(IDC_ENTER, BN_CLICKED), 0);
  result = welcome->RunModal(nullptr);
  EXPECT_TRUE(mainWindowSeen);
  EXPECT_TRUE(welcomeHidden);
  EXPECT_EQ(result, IDOK);
}

}  // namespace
}  // namespace korva::testing
