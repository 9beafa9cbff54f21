// The Windows face's own pieces: the held-key rule (also inside the system's modal loops), the
// way back to the GUI thread, paths between the file dialog and the core, the command line,
// and what screen readers call the controls.
#include <windows.h>

#include <gtest/gtest.h>
// After <windows.h>, which they rely on.
#include <oleacc.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "images/regular_file.h"
#include "resources/windows/resource.h"
#include "tests/shared/scratch_folder.h"
#include "tests/win32/win32_test_support.h"
#include "win32/gui_thread.h"
#include "win32/message_loop.h"
#include "win32/start_options.h"
#include "win32/wide_text.h"

namespace korva::testing {
namespace {

constexpr LPARAM kRepeat = LPARAM{1} << 30;

MSG Key(UINT message, WPARAM key, LPARAM state) { return MSG{nullptr, message, key, state, 0, {}}; }

// Only the repeats of the keys that press or end something are dropped; a fresh press of them,
// and the repeats of every other key (arrows, letters in a file name), go through.
TEST(HeldKeys, OnlyTheRepeatsOfPressingKeysAreDropped) {
  for (WPARAM key : {WPARAM{VK_RETURN}, WPARAM{VK_SPACE}, WPARAM{VK_ESCAPE}}) {
    EXPECT_TRUE(win32::IsHeldKeyRepeat(Key(WM_KEYDOWN, key, kRepeat | 1))) << key;
    EXPECT_FALSE(win32::IsHeldKeyRepeat(Key(WM_KEYDOWN, key, 1))) << key;
  }
  EXPECT_TRUE(win32::IsHeldKeyRepeat(Key(WM_CHAR, L'\r', kRepeat | 1)));
  EXPECT_TRUE(win32::IsHeldKeyRepeat(Key(WM_SYSKEYDOWN, 'U', kRepeat | 1)));  // Alt+U held
  EXPECT_TRUE(win32::IsHeldKeyRepeat(Key(WM_SYSCHAR, L'u', kRepeat | 1)));
  EXPECT_FALSE(win32::IsHeldKeyRepeat(Key(WM_SYSKEYDOWN, 'U', 1)));
  EXPECT_FALSE(win32::IsHeldKeyRepeat(Key(WM_KEYDOWN, VK_DOWN, kRepeat | 1)));
  EXPECT_FALSE(win32::IsHeldKeyRepeat(Key(WM_CHAR, L'a', kRepeat | 1)));
  EXPECT_FALSE(win32::IsHeldKeyRepeat(Key(WM_KEYUP, VK_RETURN, kRepeat | 1)));
}

// The system's modal loops (message boxes, the file dialog) hand every message to the thread's
// message filters first; while the filter lives, a held Return goes no further there either.
TEST(HeldKeys, TheSystemsModalLoopsDropThemToo) {
  MSG held = Key(WM_KEYDOWN, VK_RETURN, kRepeat | 1);
  MSG fresh = Key(WM_KEYDOWN, VK_RETURN, 1);
  {
    win32::HeldKeyFilter filter;
    EXPECT_TRUE(CallMsgFilterW(&held, MSGF_DIALOGBOX));
    EXPECT_FALSE(CallMsgFilterW(&fresh, MSGF_DIALOGBOX));
  }
  EXPECT_FALSE(CallMsgFilterW(&held, MSGF_DIALOGBOX));
}

// Calls posted from other threads run on the GUI thread in the order posted; a sent call
// returns when it has run there; calls still queued when the queue goes are dropped unrun.
TEST(GuiThread, PostedCallsRunInOrderAndSentOnesWait) {
  std::vector<int> order;
  std::atomic<bool> sentRan{false};
  std::atomic<bool> sentReturnedAfter{false};
  {
    win32::GuiThread gui;
    const DWORD guiThread = GetCurrentThreadId();
    std::thread worker([&] {
      for (int i = 0; i < 50; ++i)
        gui.Post([&order, i, guiThread] {
          if (GetCurrentThreadId() == guiThread) order.push_back(i);
        });
      gui.Run([&] { sentRan = GetCurrentThreadId() == guiThread; });
      sentReturnedAfter = sentRan.load();
    });
    ASSERT_TRUE(PumpUntil([&] { return sentReturnedAfter.load(); }));
    worker.join();
    Pump();
    gui.Post([&order] { order.push_back(-1); });  // never runs: the queue goes first
  }
  Pump();
  std::vector<int> expected(50);
  for (int i = 0; i < 50; ++i) expected[static_cast<std::size_t>(i)] = i;
  EXPECT_EQ(order, expected);
  EXPECT_TRUE(sentRan);
}

// A path from the file dialog reaches the core's files as the same file: one with accented
// letters as it is, one with letters beyond them by its short name (where the volume has one).
TEST(FilePaths, TheCoreOpensWhatTheDialogChose) {
  ScratchFolder folder;
  for (const wchar_t* name : {L"Jos\u00e9-mcu.bin", L"\u56fa\u4ef6.bin"}) {
    const std::filesystem::path path = folder.Path() / name;
    std::ofstream(path, std::ios::binary) << "firmware";
    const std::string forCore = win32::FileSystemPath(path.wstring());
    if (forCore.empty()) {
      GTEST_SKIP() << "no short name for " << win32::Utf8(name);
    }
    EXPECT_TRUE(RegularFile::Open(forCore).has_value()) << win32::Utf8(name);
    // Shown in the page as the file system names the same file.
    EXPECT_TRUE(
        std::filesystem::equivalent(std::filesystem::path(win32::ShownPath(forCore)), path));
  }
  EXPECT_EQ(win32::ShownPath(win32::FileSystemPath(L"C:\\Users\\Jos\u00e9\\a.bin")),
            L"C:\\Users\\Jos\u00e9\\a.bin");
}

// What a screen reader calls a page's controls (MSAA, which Narrator and the other readers
// read): the file box by the label in front of it, the buttons by their text. (The slot list
// is named the same way, by "Index:"; Wine's accessibility does not name list boxes.)
TEST(ScreenReaders, APagesControlsAreNamedByTheirLabels) {
  auto proc = [](HWND, UINT message, WPARAM, LPARAM) -> INT_PTR {
    return message == WM_INITDIALOG;
  };
  HWND host = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_WELCOME), nullptr,
                                 proc, 0);
  auto nameOf = [](HWND control) {
    IAccessible* accessible = nullptr;
    // __uuidof: the import library's IID_IAccessible is not the interface's number.
    if (FAILED(AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT),
                                          __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&accessible))))
      return std::string("(none)");
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    std::string text =
        accessible->get_accName(self, &name) == S_OK && name ? win32::Utf8(name) : "";
    SysFreeString(name);
    accessible->Release();
    return text;
  };
  CoInitialize(nullptr);
  HWND mcu =
      CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PAGE_MCU), host, proc, 0);
  EXPECT_EQ(nameOf(GetDlgItem(mcu, IDC_FILE_PATH)), "MCU Firmware File:");
  EXPECT_EQ(nameOf(GetDlgItem(mcu, IDC_BROWSE)), "Browse");
  EXPECT_EQ(nameOf(GetDlgItem(mcu, IDC_UPGRADE)), "Upgrade");
  HWND ir =
      CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PAGE_IR), host, proc, 0);
  EXPECT_EQ(nameOf(GetDlgItem(ir, IDC_FILE_PATH)), "IR File:");
  DestroyWindow(host);
  CoUninitialize();
}

}  // namespace
}  // namespace korva::testing
