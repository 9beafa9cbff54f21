// The welcome window on Windows (dialog 102): a thin face of dialogs::WelcomeWindow. Its system
// menu carries "&About Velorin..." (the About box), its context menu "Service mode" (the tabs
// and the service pages below its texts); it probes for the amp on every device change, also
// while it is hidden behind the main update window, which "Enter" runs.
#pragma once

#include <array>
#include <memory>

#include "dialogs/page_host.h"
#include "dialogs/welcome_window.h"
#include "win32/dialog.h"
#include "win32/icons.h"

namespace korva::win32 {

class DeviceChanges;
class ServicePageDlg;

class WelcomeDlg final : public Dialog,
                         private dialogs::WelcomeWindowFace,
                         private dialogs::PageHostFace {
 public:
  // Both outlive the window. Make the window with Create(nullptr), then RunModal.
  WelcomeDlg(dialogs::DevicePort& device, DeviceChanges& changes);
  // Returns once no page's job runs.
  ~WelcomeDlg() override;

  dialogs::WelcomeWindow& Window() { return *window_; }
  // The page of `tab`, in service mode; null before.
  ServicePageDlg* PageDlg(int tab) const { return pages_[static_cast<std::size_t>(tab)].get(); }

 private:
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  void OnInitDialog();
  void ShowContextMenu(LPARAM where);
  void OnTabNotification(const NMHDR& notification);
  // Room for the tabs and a page below the welcome texts; the buttons move below them.
  void PlaceServicePages();

  // dialogs::WelcomeWindowFace
  void Enable(dialogs::WelcomeControl control, bool enabled) override;
  void RunMainWindow() override;
  void EndWelcome(bool entered) override;
  dialogs::PageHost& ShowServicePages() override;
  // dialogs::PageHostFace
  void ShowTab(int tab) override;
  void EnableTabBar(bool enabled) override;
  void EnableTab(int tab, bool enabled) override;

  dialogs::DevicePort& device_;
  DeviceChanges& changes_;
  Icon largeIcon_, smallIcon_;
  std::unique_ptr<dialogs::WelcomeWindow> window_;
  std::array<std::unique_ptr<ServicePageDlg>, dialogs::kTabCount> pages_;
  std::unique_ptr<dialogs::PageHost> host_;
};

}  // namespace korva::win32
