// Answering the system's modal windows in the Windows window tests.
#include "tests/win32/win32_test_support.h"

#include <commdlg.h>
#include <dlgs.h>

namespace korva::testing {
namespace {

constexpr UINT kLookEveryMs = 5;
// The control of Windows' message box that holds its text.
constexpr int kBoxTextId = 0xFFFF;

ModalAnswerer* g_answerer = nullptr;

bool IsDialogClass(HWND window) {
  wchar_t name[16] = {};
  GetClassNameW(window, name, 16);
  return std::wstring(name) == L"#32770";
}

std::vector<HWND> VisibleDialogs() {
  std::vector<HWND> found;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM list) -> BOOL {
        if (IsWindowVisible(window) && IsDialogClass(window))
          reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

std::vector<Later*> g_laters;

}  // namespace

Later::Later(std::function<void()> act, UINT afterMs)
    : Later(
          Repeating{},
          [act = std::move(act)] {
            act();
            return true;
          },
          afterMs) {}

Later::Later(Repeating, std::function<bool()> until, UINT afterMs)
    : act_(std::move(until)), everyMs_(afterMs), timer_(SetTimer(nullptr, 0, afterMs, OnTimer)) {
  g_laters.push_back(this);
}

Later::~Later() {
  KillTimer(nullptr, timer_);
  std::erase(g_laters, this);
}

void CALLBACK Later::OnTimer(HWND, UINT, UINT_PTR id, DWORD) {
  for (Later* later : g_laters) {
    if (later->timer_ != id) continue;
    // Done: no more calls, also while `act` runs a modal loop of its own.
    KillTimer(nullptr, id);
    later->timer_ = 0;
    if (!later->act_()) later->timer_ = SetTimer(nullptr, 0, later->everyMs_, OnTimer);
    return;
  }
  KillTimer(nullptr, id);
}

HWND FindDialogWith(int id) {
  for (HWND dialog : VisibleDialogs()) {
    if (GetDlgItem(dialog, id)) return dialog;
  }
  return nullptr;
}

HWND FindWindowCalled(const std::string& caption) {
  for (HWND dialog : VisibleDialogs()) {
    if (TextOf(dialog) == caption) return dialog;
  }
  return nullptr;
}

ModalAnswerer::ModalAnswerer() : timer_(SetTimer(nullptr, 0, kLookEveryMs, OnTimer)) {
  g_answerer = this;
}

ModalAnswerer::~ModalAnswerer() {
  KillTimer(nullptr, timer_);
  g_answerer = nullptr;
}

std::vector<std::string> ModalAnswerer::BoxTexts() const {
  std::vector<std::string> texts;
  for (const SeenDialog& box : boxes_) texts.push_back(box.text);
  return texts;
}

void CALLBACK ModalAnswerer::OnTimer(HWND, UINT, UINT_PTR, DWORD) {
  if (g_answerer) g_answerer->Look();
}

void ModalAnswerer::Look() {
  if (looking_) return;
  looking_ = true;
  const std::string boxCaption = win32::Utf8(win32::ProgramName());
  for (HWND dialog : VisibleDialogs()) {
    const std::string caption = TextOf(dialog);
    if (caption == boxCaption && AnswerBox(dialog)) break;
    if (GetDlgItem(dialog, cmb13) && AnswerFileDialog(dialog)) break;
  }
  looking_ = false;
}

bool ModalAnswerer::AnswerBox(HWND box) {
  HWND text = GetDlgItem(box, kBoxTextId);
  if (!text) return false;
  SeenDialog seen;
  seen.caption = TextOf(box);
  seen.text = TextOf(text);
  // The icon is a static icon control (its id differs between Windows and Wine); without one
  // it shows none.
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    const bool iconControl = (GetWindowLongPtrW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
    if (iconControl && IsWindowVisible(child) && SendMessageW(child, STM_GETICON, 0, 0) != 0)
      seen.exclamation = true;
  }
  seen.owner = GetWindow(box, GW_OWNER);
  boxes_.push_back(seen);
  if (whileBoxOpen) whileBoxOpen(seen);
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
  return true;
}

bool ModalAnswerer::AnswerFileDialog(HWND dialog) {
  if (fileAnswers_.empty()) return false;  // the test answers it itself
  ++fileDialogs_;
  fileDialogTitles.push_back(ItemText(dialog, cmb1) + "|" + ItemText(dialog, cmb13));
  const std::string path = fileAnswers_.front();
  fileAnswers_.pop_front();
  if (path.empty()) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
  } else {
    SetDlgItemTextW(dialog, cmb13, win32::Wide(path).c_str());
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
  }
  return true;
}

}  // namespace korva::testing
