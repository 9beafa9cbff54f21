// Windows from dialog templates, and the messages that carry jobs and text copies to them.
#include "win32/dialog.h"

#include <commctrl.h>

#include "jobs/job_messages.h"
#include "win32/message_loop.h"
#include "win32/wide_text.h"

namespace korva::win32 {
namespace {

// The window's private messages, above the job messages (WM_USER + 20 to 24).
constexpr UINT kCopyTexts = WM_APP + 10;
constexpr UINT kRunHere = WM_APP + 11;  // lParam: a const std::function<void()>*

bool IsJobMessage(UINT message) { return message >= WM_MCU_JOB && message <= WM_AUDIO_JOB; }

}  // namespace

Dialog::~Dialog() {
  if (window_) {
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);  // nothing more reaches this object
    DestroyWindow(window_);
  }
}

bool Dialog::Create(HWND parent) {
  window_ = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId_), parent,
                               DialogProc, reinterpret_cast<LPARAM>(this));
  return window_ != nullptr;
}

int Dialog::RunModal(HWND owner) {
  ended_ = false;
  const bool ownerWasEnabled = owner && IsWindowEnabled(owner);
  if (ownerWasEnabled) EnableWindow(owner, FALSE);
  ShowWindow(window_, SW_SHOW);
  SetForegroundWindow(window_);
  RunMessagesUntil([this] { return ended_; });
  // The owner comes back before this window goes, so that the system activates it.
  if (ownerWasEnabled) EnableWindow(owner, TRUE);
  ShowWindow(window_, SW_HIDE);
  return result_;
}

void Dialog::End(int result) {
  result_ = result;
  ended_ = true;
  ShowWindow(window_, SW_HIDE);
}

void Dialog::RequestCopy() {
  if (copyRequested_ || !window_) return;
  copyRequested_ = PostMessageW(window_, kCopyTexts, 0, 0) != 0;
}

void Dialog::PostJob(int message, int wParam, long lParam) {
  PostMessageW(window_, static_cast<UINT>(message), static_cast<WPARAM>(wParam),
               static_cast<LPARAM>(lParam));
}

void Dialog::RunOnThread(const std::function<void()>& call) {
  if (GetWindowThreadProcessId(window_, nullptr) == GetCurrentThreadId()) {
    call();
  } else {
    SendMessageW(window_, kRunHere, 0, reinterpret_cast<LPARAM>(&call));
  }
}

void Dialog::SetItemText(int id, const std::wstring& text) { SetTextIfDifferent(Item(id), text); }

void Dialog::SetProgressRange(int id, int maximum) {
  SendMessageW(Item(id), PBM_SETRANGE32, 0, maximum);
  SendMessageW(Item(id), PBM_SETSTEP, 1, 0);
  SendMessageW(Item(id), PBM_SETPOS, 0, 0);
}

void Dialog::SetProgressPosition(int id, int position) {
  SendMessageW(Item(id), PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void Dialog::EnableItem(int id, bool enabled) {
  HWND item = Item(id);
  // A disabled control keeps no focus: the dialog manager moves it on, as the user would.
  if (!enabled && GetFocus() == item)
    SendMessageW(GetAncestor(window_, GA_ROOT), WM_NEXTDLGCTL, 0, FALSE);
  EnableWindow(item, enabled ? TRUE : FALSE);
}

void Dialog::FocusItem(int id) {
  HWND item = Item(id);
  // The top-level dialog keeps the focus of its child dialogs (the service pages) too.
  if (item && IsWindowEnabled(item))
    SendMessageW(GetAncestor(window_, GA_ROOT), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(item),
                 TRUE);
}

INT_PTR CALLBACK Dialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(window, GWLP_USERDATA, lParam);
    reinterpret_cast<Dialog*>(lParam)->window_ = window;
  }
  auto* dialog = reinterpret_cast<Dialog*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  return dialog ? dialog->Dispatch(message, wParam, lParam) : FALSE;
}

INT_PTR Dialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  if (IsJobMessage(message)) {
    OnJobMessage(static_cast<int>(message), static_cast<int>(wParam), static_cast<long>(lParam));
    copyRequested_ = false;
    CopyTexts();
    return TRUE;
  }
  switch (message) {
    case kCopyTexts:
      copyRequested_ = false;
      CopyTexts();
      return TRUE;
    case kRunHere:
      (*reinterpret_cast<const std::function<void()>*>(lParam))();
      return TRUE;
    default:
      break;
  }
  LRESULT result = 0;
  if (!OnMessage(message, wParam, lParam, result)) return FALSE;
  // The messages whose answer is the procedure's own return value; the rest answer through
  // DWLP_MSGRESULT.
  switch (message) {
    case WM_INITDIALOG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_QUERYDRAGICON:
      return static_cast<INT_PTR>(result);
    default:
      SetWindowLongPtrW(window_, DWLP_MSGRESULT, result);
      return TRUE;
  }
}

}  // namespace korva::win32
