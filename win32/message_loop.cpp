// The message loop and the held-key rule.
#include "win32/message_loop.h"

namespace korva::win32 {
namespace {

constexpr LPARAM kPreviousKeyState = LPARAM{1} << 30;

bool IsPressKey(WPARAM key) { return key == VK_RETURN || key == VK_SPACE || key == VK_ESCAPE; }
bool IsPressCharacter(WPARAM character) {
  return character == L'\r' || character == L' ' || character == 0x1B;
}

bool IsDialog(HWND window) {
  return GetClassLongPtrW(window, GCW_ATOM) == reinterpret_cast<ULONG_PTR>(WC_DIALOG);
}

}  // namespace

bool IsHeldKeyRepeat(const MSG& message) {
  if ((message.lParam & kPreviousKeyState) == 0) return false;
  switch (message.message) {
    case WM_KEYDOWN:
      return IsPressKey(message.wParam);
    case WM_CHAR:
      return IsPressCharacter(message.wParam);
    case WM_SYSKEYDOWN:  // Alt with a key: a button's mnemonic, the system menu
    case WM_SYSCHAR:
      return true;
    default:
      return false;
  }
}

bool RunMessagesUntil(const std::function<bool()>& done, OnQuit onQuit) {
  MSG message;
  bool quitHeld = false;
  int quitCode = 0;
  while (!done()) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == -1) break;  // no queue to read: nothing more can come
    if (got == 0) {
      quitCode = static_cast<int>(message.wParam);
      if (onQuit == OnQuit::Stop) {
        PostQuitMessage(quitCode);
        return false;
      }
      quitHeld = true;
      continue;
    }
    if (IsHeldKeyRepeat(message)) continue;
    // A dialog's keyboard: the dialog is the top-level window that the message is for.
    HWND dialog = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
    if (dialog && IsDialog(dialog) && IsDialogMessageW(dialog, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  if (quitHeld) PostQuitMessage(quitCode);
  return true;
}

HeldKeyFilter::HeldKeyFilter()
    : hook_(SetWindowsHookExW(WH_MSGFILTER, Hook, nullptr, GetCurrentThreadId())) {}

HeldKeyFilter::~HeldKeyFilter() {
  if (hook_) UnhookWindowsHookEx(hook_);
}

LRESULT CALLBACK HeldKeyFilter::Hook(int code, WPARAM wParam, LPARAM lParam) {
  if (code >= 0 && IsHeldKeyRepeat(*reinterpret_cast<const MSG*>(lParam))) return 1;
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace korva::win32
