// The main update window on Windows (dialog 152): a thin face of dialogs::UpdateWindow. It
// shows what the window decides (texts, lamp, bar, buttons, focus), runs its poll on a window
// timer, takes its job's messages as posted window messages, and asks the same-version
// question with dialog 157. Exit, Escape and the close box are refused while a job writes,
// and so is the end of the Windows session.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "dialogs/update_window.h"
#include "win32/dialog.h"
#include "win32/icons.h"

namespace korva::win32 {

class UpdateDlg final : public Dialog, private dialogs::UpdateWindowFace {
 public:
  // `device` outlives the window. Make the window with Create (it opens itself: the opening
  // steps run as it is made), then RunModal or, in tests, drive it as it is.
  explicit UpdateDlg(dialogs::DevicePort& device);
  // A window whose update is under way stays until the update has ended: its job reports to it,
  // and an update cut short leaves the amp half-written. Its messages keep coming meanwhile.
  ~UpdateDlg() override;

  dialogs::UpdateWindow& Window() { return *window_; }

  // The poll's timer id (WM_TIMER's wParam).
  static constexpr UINT_PTR kPollTimer = 1;
  // Tests deliver the poll's ticks themselves: the timer then waits this long instead.
  static void SetPollPeriodForTests(int ms);

 private:
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  void CopyTexts() override;
  void OnJobMessage(int message, int wParam, long lParam) override;
  void LoadLamps();

  // dialogs::UpdateWindowFace
  void PostJobMessage(int message, int wParam, long lParam) override;
  void RunOnWindowThread(const std::function<void()>& call) override;
  void SetText(dialogs::UpdateText text, const std::string& bytes) override;
  void SetControlText(dialogs::UpdateText text, const std::string& bytes) override;
  void ShowLamp(bool connected) override;
  void SetProgressRange(int maximum) override;
  void SetProgress(int position) override;
  void Enable(dialogs::UpdateControl control, bool enabled) override;
  void Focus(dialogs::UpdateControl control) override;
  void ArmPollTimer(int ms) override;
  void StopPollTimer() override;
  bool AskSameVersion() override;

  std::array<std::wstring, 5> texts_;  // the display strings, by UpdateText
  Icon largeIcon_, smallIcon_;
  Icon lampRed_, lampGreen_;
  bool lampGreenShown_ = false;
  std::unique_ptr<dialogs::UpdateWindow> window_;
};

}  // namespace korva::win32
