// A window made from one of the dialog templates of korva-updater.rc, as the program's windows
// are: modeless (the service pages, the busy prompt; in tests every window) or run modally
// with the program's own message loop. The window's messages come to OnMessage. For the windows
// that own jobs it carries the job messages, which a job posts to the window's handle, and the
// calls that a job makes on the window's thread (sent messages); and it copies the window's
// display strings to their controls once after the texts changed, before anything else the
// window is sent later.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace korva::win32 {

class Dialog {
 public:
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;

  HWND Handle() const { return window_; }
  HWND Item(int id) const { return GetDlgItem(window_, id); }

  // Makes the window from its template, with `parent` as owner (a top-level window) or parent
  // (a child dialog). False when the system refused.
  bool Create(HWND parent);
  // Shows the window and runs the program's message loop until End is called; the owner is
  // disabled meanwhile, as with any modal dialog. The window stays until this object goes.
  int RunModal(HWND owner);
  // Ends a modal run with `result` (the window is hidden at once); for a modeless window, hides
  // it.
  void End(int result);
  bool Ended() const { return ended_; }

 protected:
  explicit Dialog(int templateId) : templateId_(templateId) {}
  // Destroys the window (faces whose job may still run wait for it first).
  virtual ~Dialog();

  // A message for the window. Return true when handled, with `result` the answer (as a dialog
  // procedure answers: DWLP_MSGRESULT for the messages that need one).
  virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;
  // The window's display strings to their controls (where they differ); nothing by default.
  virtual void CopyTexts() {}
  // A job message for this window, in the order posted; nothing by default.
  virtual void OnJobMessage(int /*message*/, int /*wParam*/, long /*lParam*/) {}

  // Asks for CopyTexts before the window's next messages (once, however often asked).
  void RequestCopy();
  // Any thread: posts a job message to the window; dropped when the window is gone.
  void PostJob(int message, int wParam, long lParam);
  // Any thread: runs `call` on the window's thread and returns when it has run.
  void RunOnThread(const std::function<void()>& call);

  void SetItemText(int id, const std::wstring& text);
  // The progress bar `id`: range 0 to `maximum`, step 1, position 0; or a new position.
  void SetProgressRange(int id, int maximum);
  void SetProgressPosition(int id, int position);
  void EnableItem(int id, bool enabled);
  // Moves the keyboard focus to a control, as the dialog manager does (default button too).
  void FocusItem(int id);

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

  int templateId_;
  HWND window_ = nullptr;
  bool ended_ = false;
  int result_ = 0;
  bool copyRequested_ = false;
};

}  // namespace korva::win32
