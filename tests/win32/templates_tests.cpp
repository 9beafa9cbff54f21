// The resources of korva-updater.rc as Windows reads them: every dialog template makes its
// window in its own dialog units and font, the texts that need escaping in a template come out
// as the program's own, no text is cut off in the control that shows it (the templates' own and
// the longest that the program puts there), the icons load at the sizes the windows ask for, and
// the version resource and the manifest (common controls 6, per-monitor DPI) are in force.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jobs/service_texts.h"
#include "jobs/update_texts.h"
#include "resources/windows/resource.h"
#include "support/program_version.h"
#include "tests/win32/win32_test_support.h"
#include "win32/icons.h"

namespace korva::testing {
namespace {

INT_PTR CALLBACK PlainDialog(HWND, UINT message, WPARAM, LPARAM) {
  return message == WM_INITDIALOG ? TRUE : FALSE;
}

bool IsPage(int id) { return id >= IDD_PAGE_IR && id <= IDD_PAGE_BATTERY; }

HWND Make(int id, HWND parent) {
  return CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), parent, PlainDialog,
                            0);
}

// A window made from template `id` alone (a page inside a welcome window, as the program shows
// it), destroyed with this object.
class Template {
 public:
  explicit Template(int id)
      : host_(IsPage(id) ? Make(IDD_WELCOME, nullptr) : nullptr), window_(Make(id, host_)) {}
  ~Template() {
    if (window_) DestroyWindow(window_);
    if (host_) DestroyWindow(host_);
  }
  Template(const Template&) = delete;
  Template& operator=(const Template&) = delete;
  HWND Handle() const { return window_; }

 private:
  HWND host_;
  HWND window_;
};

std::string FontName(HWND window) {
  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)), sizeof(font), &font);
  return win32::Utf8(font.lfFaceName);
}

// Why `text` does not fit `control` as the control draws it (its font, its width, words
// wrapped where it wraps them), or "" when it fits.
std::string Clipping(HWND control, const std::wstring& text) {
  RECT room{};
  GetClientRect(control, &room);
  wchar_t className[16] = {};
  GetClassNameW(control, className, 16);
  const LONG_PTR style = GetWindowLongPtrW(control, GWL_STYLE);
  const bool button = std::wstring(className) == L"Button";
  const bool groupBox = button && (style & BS_TYPEMASK) == BS_GROUPBOX;
  // A button's face has a border and a margin around its text.
  int widthTaken = button && !groupBox ? 2 * GetSystemMetrics(SM_CXEDGE) + 6 : 0;
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
  RECT needed{0, 0, room.right - widthTaken, 0};
  UINT format = DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS;
  if (!button) format |= DT_WORDBREAK;
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &needed, format);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  const int heightRoom = groupBox ? room.bottom : room.bottom;
  if (needed.right > room.right - widthTaken)
    return "needs " + std::to_string(needed.right) + " px wide, has " +
           std::to_string(room.right - widthTaken);
  if (needed.bottom > heightRoom)
    return "needs " + std::to_string(needed.bottom) + " px high, has " + std::to_string(heightRoom);
  return "";
}

constexpr int kAllTemplates[] = {
    IDD_ABOUT,          IDD_WELCOME,      IDD_PAGE_IR,     IDD_PAGE_MCU, IDD_PAGE_DSP,
    IDD_PAGE_BLUETOOTH, IDD_PAGE_BATTERY, IDD_BUSY_PROMPT, IDD_UPDATE,   IDD_SAME_VERSION};

TEST(Templates, EachMakesItsWindowInItsOwnDialogUnitsAndFont) {
  struct Expected {
    int id;
    int width;  // dialog units
    int height;
    const char* font;
  };
  const Expected expected[] = {
      {IDD_ABOUT, 235, 55, "MS Sans Serif"},      {IDD_WELCOME, 305, 182, "MS Sans Serif"},
      {IDD_UPDATE, 349, 174, "MS Sans Serif"},    {IDD_SAME_VERSION, 216, 107, "MS Sans Serif"},
      {IDD_BUSY_PROMPT, 309, 47, "MS Shell Dlg"}, {IDD_PAGE_IR, 265, 127, "System"},
      {IDD_PAGE_MCU, 265, 127, "System"},         {IDD_PAGE_DSP, 265, 127, "System"},
      {IDD_PAGE_BLUETOOTH, 265, 127, "System"},   {IDD_PAGE_BATTERY, 265, 127, "System"},
  };
  for (const Expected& e : expected) {
    Template dialog(e.id);
    ASSERT_NE(dialog.Handle(), nullptr) << e.id;
    RECT units{0, 0, e.width, e.height};
    MapDialogRect(dialog.Handle(), &units);
    RECT client{};
    GetClientRect(dialog.Handle(), &client);
    EXPECT_EQ(client.right, units.right) << e.id;
    EXPECT_EQ(client.bottom, units.bottom) << e.id;
    EXPECT_EQ(FontName(dialog.Handle()), e.font) << e.id;
  }
  // The prompt's 10 pt against the main window's 8 pt of the same face.
  Template prompt(IDD_SAME_VERSION);
  Template main(IDD_UPDATE);
  RECT promptUnit{0, 0, 4, 8};
  RECT mainUnit{0, 0, 4, 8};
  MapDialogRect(prompt.Handle(), &promptUnit);
  MapDialogRect(main.Handle(), &mainUnit);
  EXPECT_GT(promptUnit.bottom, mainUnit.bottom);
}

// The texts that a template must escape (quotes, a line break) come out as the program's own.
TEST(Templates, EscapedTextsComeOutAsTheProgramsOwn) {
  Template prompt(IDD_SAME_VERSION);
  EXPECT_EQ(ItemText(prompt.Handle(), IDC_PROMPT), kTextSameVersionPrompt);
  Template busy(IDD_BUSY_PROMPT);
  HWND busyText = FindWindowExW(busy.Handle(), nullptr, L"Static", nullptr);
  EXPECT_EQ(TextOf(busyText), kTextBluetoothBusy);
  Template welcome(IDD_WELCOME);
  EXPECT_NE(FindWindowExW(welcome.Handle(), nullptr, L"Static",
                          L"2.Press and hold the \"Guitar Cab Emulation\" button and turn on the "
                          L"KORVA."),
            nullptr);
  EXPECT_NE(FindWindowExW(welcome.Handle(), nullptr, L"Static", L"Click \"Enter\" to begin."),
            nullptr);
  wchar_t about[64] = {};
  LoadStringW(GetModuleHandleW(nullptr), IDS_ABOUT_MENU, about, 64);
  EXPECT_EQ(win32::Utf8(about), "&About Velorin...");
}

// Every text of every template, and the longest that the program shows in each control, fits
// the control that shows it.
TEST(Templates, NoTextIsCutOff) {
  for (int id : kAllTemplates) {
    Template dialog(id);
    for (HWND child = GetWindow(dialog.Handle(), GW_CHILD); child;
         child = GetWindow(child, GW_HWNDNEXT)) {
      const std::wstring text = win32::WindowText(child);
      const LONG_PTR style = GetWindowLongPtrW(child, GWL_STYLE);
      wchar_t className[16] = {};
      GetClassNameW(child, className, 16);
      const std::wstring kind(className);
      if (text.empty() || (kind != L"Static" && kind != L"Button")) continue;
      if (kind == L"Static" && (style & SS_TYPEMASK) == SS_ICON) continue;
      EXPECT_EQ(Clipping(child, text), "") << "template " << id << ": " << win32::Utf8(text);
    }
  }
  struct Shown {
    int templateId;
    int control;
    std::string text;
  };
  const Shown shown[] = {
      {IDD_UPDATE, IDC_STATUS, kTextInitStatesFailedCheckCable},
      {IDD_UPDATE, IDC_STATUS, kTextUpdateSucceeded},
      {IDD_UPDATE, IDC_STATUS, kTextSameMcuFirmware},
      {IDD_UPDATE, IDC_USB_STATE, kTextConnectError},
      {IDD_UPDATE, IDC_USB_STATE, kTextDisconnected},
      {IDD_UPDATE, IDC_CURRENT_VERSION, "Ver1.38.250"},
      {IDD_UPDATE, IDC_NEW_VERSION, "Ver1.38.250"},
      {IDD_UPDATE, IDC_PERCENT, "100%"},
      {IDD_PAGE_MCU, IDC_PERCENT, "100%"},
      {IDD_PAGE_IR, IDC_PERCENT, "100%"},
      {IDD_PAGE_BLUETOOTH, IDC_PERCENT, "100%"},
      {IDD_PAGE_MCU, IDC_UPDATE_VERSION, "V 1.38"},
      {IDD_PAGE_MCU, IDC_UPDATE_VERSION, kTextVersionError},
      {IDD_PAGE_DSP, IDC_UPDATE_VERSION, "V 0.250"},
      {IDD_PAGE_BATTERY, IDC_UPDATE_VERSION, "V 1.02"},
  };
  for (const Shown& s : shown) {
    Template dialog(s.templateId);
    EXPECT_EQ(Clipping(GetDlgItem(dialog.Handle(), s.control), win32::Shown(s.text)), "")
        << "template " << s.templateId << ": " << s.text;
  }
}

// The lamps at every size the main window asks for, and the window icon at the title bar's
// and the task bar's.
TEST(Resources, IconsLoadAtTheSizesTheWindowsAsk) {
  for (int id : {IDI_LAMP_RED, IDI_LAMP_GREEN}) {
    for (int side : {48, 96, 192}) {
      win32::Icon icon(id, side);
      ASSERT_NE(icon.Handle(), nullptr) << id << " at " << side;
      ICONINFO info{};
      ASSERT_TRUE(GetIconInfo(icon.Handle(), &info));
      BITMAP bitmap{};
      GetObjectW(info.hbmColor, sizeof(bitmap), &bitmap);
      EXPECT_EQ(bitmap.bmWidth, side) << id;
      DeleteObject(info.hbmColor);
      DeleteObject(info.hbmMask);
    }
  }
  for (int side : {16, 32, 48}) EXPECT_NE(win32::Icon(IDI_WINDOW, side).Handle(), nullptr);
  EXPECT_NE(win32::Icon(IDI_ABOUT, 32).Handle(), nullptr);
  // The About box's template shows its picture itself.
  Template about(IDD_ABOUT);
  HWND picture = FindWindowExW(about.Handle(), nullptr, L"Static", nullptr);
  EXPECT_NE(SendMessageW(picture, STM_GETICON, 0, 0), 0);
  // The lamp's control of the main window takes the 96-pixel lamp at 96 DPI.
  EXPECT_EQ(win32::LampSide(120, 100), 96);
  EXPECT_EQ(win32::LampSide(40, 40), 48);  // the smallest, however small the control
}

// The manifest is in force: today's common controls (version 6, the side-by-side assembly that
// only a manifest brings in) and per-monitor DPI awareness; and the version resource carries
// the program's version.
TEST(Resources, ManifestAndVersionAreInForce) {
  wchar_t controls[MAX_PATH] = {};
  GetModuleFileNameW(GetModuleHandleW(L"comctl32.dll"), controls, MAX_PATH);
  EXPECT_NE(win32::Utf8(controls).find("common-controls_6595b64144ccf1df_6.0."), std::string::npos)
      << win32::Utf8(controls);
  EXPECT_EQ(GetAwarenessFromDpiAwarenessContext(GetThreadDpiAwarenessContext()),
            DPI_AWARENESS_PER_MONITOR_AWARE);

  wchar_t program[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, program, MAX_PATH);
  std::vector<char> info(GetFileVersionInfoSizeW(program, nullptr));
  ASSERT_FALSE(info.empty());
  ASSERT_TRUE(GetFileVersionInfoW(program, 0, static_cast<DWORD>(info.size()), info.data()));
  wchar_t* productVersion = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\StringFileInfo\\040904B0\\ProductVersion",
                             reinterpret_cast<void**>(&productVersion), &length));
  EXPECT_EQ(win32::Utf8(productVersion), ProgramVersion());
}

}  // namespace
}  // namespace korva::testing
