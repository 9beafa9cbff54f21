// Writes pictures of every Windows window into the build's screenshots/ folder, taken inside
// Wine from each window's own device context (BitBlt): the welcome window, the main window
// connected and halfway through the update, the same-version prompt, the About box, and each
// service page in the welcome window (the MCU and IR pages halfway through a file, the
// Bluetooth page with its busy prompt at 99%). A tool, not a test: it only checks that each
// picture was written. The README's pictures in docs/ are copies of these.
#include <windows.h>

#include <gtest/gtest.h>
// After <windows.h>: GDI+ wants the COM declarations that it brings.
#include <objidl.h>
// GDI+ writes the pictures as PNG.
#include <gdiplus.h>

#include <atomic>
#include <filesystem>

#include "dialogs/page_host.h"
#include "resources/windows/resource.h"
#include "tests/shared/file_test_support.h"
#include "tests/shared/service_page_cases.h"
#include "tests/win32/win32_test_support.h"
#include "win32/device_changes.h"
#include "win32/service_page_dlg.h"
#include "win32/small_dialogs.h"
#include "win32/welcome_dlg.h"

namespace korva::testing {
namespace {

// The PNG encoder of GDI+.
constexpr CLSID kPngEncoder = {
    0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};

// The folder given by the build, a Linux path, as Wine's drive Z: shows it.
std::wstring PictureFolder() {
  std::wstring folder = win32::Wide(KORVA_SCREENSHOT_DIR);
  if (!folder.empty() && folder[0] == L'/') folder = L"Z:" + folder;
  return folder;
}

// A window's picture, frame and all, with the windows in `over` drawn in front of it where they
// stand.
HBITMAP Picture(HWND window, const std::vector<HWND>& over = {}) {
  RedrawWindow(window, nullptr, nullptr,
               RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
  RECT frame{};
  GetWindowRect(window, &frame);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  HDC windowDc = GetWindowDC(window);
  HDC memory = CreateCompatibleDC(windowDc);
  HBITMAP bitmap = CreateCompatibleBitmap(windowDc, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, windowDc, 0, 0, SRCCOPY);
  ReleaseDC(window, windowDc);
  for (HWND in : over) {
    RedrawWindow(in, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    RECT at{};
    GetWindowRect(in, &at);
    HDC inDc = GetWindowDC(in);
    BitBlt(memory, at.left - frame.left, at.top - frame.top, at.right - at.left, at.bottom - at.top,
           inDc, 0, 0, SRCCOPY);
    ReleaseDC(in, inDc);
  }
  SelectObject(memory, old);
  DeleteDC(memory);
  return bitmap;
}

class Screenshots : public Win32WindowTest {
 protected:
  Screenshots() {
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&gdiplus_, &input, nullptr);
    std::filesystem::create_directories(std::filesystem::path(PictureFolder()));
  }
  ~Screenshots() override { Gdiplus::GdiplusShutdown(gdiplus_); }

  static void Save(HWND window, const char* name, const std::vector<HWND>& over = {}) {
    HBITMAP bitmap = Picture(window, over);
    Gdiplus::GpBitmap* image = nullptr;
    ASSERT_EQ(Gdiplus::DllExports::GdipCreateBitmapFromHBITMAP(bitmap, nullptr, &image),
              Gdiplus::Ok);
    const std::wstring path = PictureFolder() + L"\\" + win32::Wide(name) + L".png";
    EXPECT_EQ(Gdiplus::DllExports::GdipSaveImageToFile(image, path.c_str(), &kPngEncoder, nullptr),
              Gdiplus::Ok)
        << name;
    Gdiplus::DllExports::GdipDisposeImage(image);
    DeleteObject(bitmap);
  }

  // Holds job threads after `pauses` protocol pauses, until Release.
  void HoldAfter(int pauses) {
    hooked_.hook = [this, pauses] {
      if (++pauses_ != pauses) return;
      held_ = true;
      gate_.Pass();
    };
    gate_.Close();
    SetProcessClock(&hooked_);
  }
  bool WaitUntilHeld() {
    return PumpUntil([this] { return held_.load(); });
  }
  void Release() {
    gate_.Open();
    held_ = false;
  }

  ULONG_PTR gdiplus_ = 0;
  HookedClock hooked_{clock};
  Gate gate_;
  std::atomic<int> pauses_{0};
  std::atomic<bool> held_{false};
  ScratchFolder folder;
};

TEST_F(Screenshots, MainRoad) {
  win32::VirtualBusChanges changes(sim.bus);
  {
    win32::WelcomeDlg welcome(device, changes);
    ASSERT_TRUE(welcome.Create(nullptr));
    ShowWindow(welcome.Handle(), SW_SHOW);
    Settle();
    Save(welcome.Handle(), "windows-welcome");
    WhenUp closeAbout([] { return FindWindowCalled("About KORVA Updater"); },
                      [&](HWND about) {
                        Save(about, "windows-about");
                        Click(about, IDOK);
                      });
    SendMessageW(welcome.Handle(), WM_SYSCOMMAND, dialogs::kAboutCommand, 0);
  }

  auto main = OpenMainWindow();
  Tick(*main);
  Save(main->Handle(), "windows-main-connected");
  HoldAfter(60);
  Click(main->Handle(), IDOK);
  ASSERT_TRUE(WaitUntilHeld());
  Pump();
  Save(main->Handle(), "windows-main-updating");
  Release();
  WaitForRoad(*main);
  Tick(*main);  // the poll reads the amp's new version; the success text stays
  Save(main->Handle(), "windows-main-done");
  main.reset();

  sim.korva.SetVersions("1.38", "250");
  main = OpenMainWindow();
  WhenUp savePrompt([] { return FindDialogWith(IDC_PROMPT); },
                    [&](HWND prompt) {
                      Save(main->Handle(), "windows-same-version", {prompt});
                      Click(prompt, IDCANCEL);
                    });
  Click(main->Handle(), IDOK);
  Settle();
}

TEST_F(Screenshots, ServicePages) {
  win32::VirtualBusChanges changes(sim.bus);
  win32::WelcomeDlg welcome(device, changes);
  ASSERT_TRUE(welcome.Create(nullptr));
  ShowWindow(welcome.Handle(), SW_SHOW);
  welcome.Window().OnServiceMode();
  Settle();
  auto open = [&](int tab) {
    SendDlgItemMessageW(welcome.Handle(), IDC_TAB, TCM_SETCURSEL, static_cast<WPARAM>(tab), 0);
    welcome.Window().Host()->OnSelchangeTab(tab);
    return welcome.PageDlg(tab)->Handle();
  };
  auto browse = [&](HWND page, const std::string& path) {
    modal.ChooseFile(path);
    Click(page, IDC_BROWSE);
    Pump();
  };
  auto pageIdle = [&] { return !welcome.Window().Host()->JobRunning() && device.Idle(); };
  // The page's job held after `pauses` protocol pauses while the picture is taken.
  auto saveRunning = [&](HWND page, int pauses, const char* name) {
    pauses_ = 0;
    HoldAfter(pauses);
    Click(page, IDC_UPGRADE);
    ASSERT_TRUE(WaitUntilHeld());
    Pump();
    Save(welcome.Handle(), name);
    Release();
    ASSERT_TRUE(PumpUntil(pageIdle));
  };

  HWND mcu = open(dialogs::kTabMcu);
  browse(mcu, folder.File("KORVA-MCU-1.39.bin", FirmwareBytes(0x9000, 7, 0x10, "APPV1.39")));
  saveRunning(mcu, 50, "windows-service-mcu");

  HWND dsp = open(dialogs::kTabDsp);
  browse(dsp, folder.File("KORVA-DSP-251.bin", FirmwareBytes(5000, 13, 4, "DSPV0.251")));
  Save(welcome.Handle(), "windows-service-dsp");

  HWND battery = open(dialogs::kTabBattery);
  browse(battery, folder.File("KORVA-battery-1.02.bin", FullFlashBatteryFile()));
  Save(welcome.Handle(), "windows-service-battery");

  HWND ir = open(dialogs::kTabIr);
  SendDlgItemMessageW(ir, IDC_SLOT_INDEX, CB_SETCURSEL, 4, 0);
  SendMessageW(ir, WM_COMMAND, MAKEWPARAM(IDC_SLOT_INDEX, CBN_SELCHANGE), 0);
  browse(ir, folder.File("cab-1x12.wav", Wav(28844)));
  saveRunning(ir, 100, "windows-service-ir");

  // The module holds its update at its last poll, after the 99% that brings up the prompt.
  HWND bluetooth = open(dialogs::kTabBluetooth);
  browse(bluetooth, folder.File("KORVA-BT-2.1.dfu", Pattern(3000, 3)));
  Gate lastPoll;
  std::atomic<bool> atLastPoll{false};
  lastPoll.Close();
  sim.module.SetProgressHandler([&](int value) {
    if (value != 100) return;
    atLastPoll = true;
    lastPoll.Pass();
  });
  Click(bluetooth, IDC_UPGRADE);
  ASSERT_TRUE(PumpUntil([&] { return atLastPoll.load() && FindWindowCalled("") != nullptr; }));
  Pump();
  Save(welcome.Handle(), "windows-service-bluetooth", {FindWindowCalled("")});
  lastPoll.Open();
  ASSERT_TRUE(PumpUntil(pageIdle));
  sim.module.SetProgressHandler({});
  SetProcessClock(&clock);
}

}  // namespace
}  // namespace korva::testing
