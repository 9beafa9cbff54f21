// The windows without behaviour of their own: the About box (dialog 100), the same-version
// prompt (157) and the Bluetooth page's busy prompt (145).
#pragma once

#include "win32/dialog.h"
#include "win32/icons.h"

namespace korva::win32 {

// "OK", Return, Escape and the close box close it.
class AboutDlg final : public Dialog {
 public:
  AboutDlg();

 private:
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
};

// "Yes" (IDOK) or "No" (IDCANCEL, also Escape and the close box); "No" is the default and has
// the focus.
class SameVersionDlg final : public Dialog {
 public:
  SameVersionDlg();

 private:
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  Icon largeIcon_, smallIcon_;
};

// Asks the user to wait while the Bluetooth module finishes; no buttons, no system menu.
// Made once and shown again at every later update.
class BusyPromptDlg final : public Dialog {
 public:
  BusyPromptDlg();
  // Centred over `over`, shown (and brought up again when it is up already).
  void ShowOver(HWND over);
  void Hide();

 private:
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
};

}  // namespace korva::win32
