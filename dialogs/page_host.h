// The welcome window's service mode: tab control 1001 with the tabs "MCU", "DSP", "IR",
// "Battery" and "Bluetooth", and below them the page of the selected tab. Tab and page always
// agree. The tab rule: a change of tab is refused while a job runs (any window's: JobStatus is
// not 0, or a page's job is being started), and, for the four file pages, while the amp's link
// is handed to its Bluetooth module, whose page is then the only way back. The face's tab bar
// follows: disabled while a page's job runs, the file pages' tabs disabled while the link is
// with the module.
#pragma once

#include <array>
#include <functional>

namespace korva::dialogs {

class ServicePage;

enum PageTab : int {
  kTabMcu = 0,
  kTabDsp = 1,
  kTabIr = 2,
  kTabBattery = 3,
  kTabBluetooth = 4,
  kTabCount = 5
};
inline constexpr const char* kTabTitles[kTabCount] = {"MCU", "DSP", "IR", "Battery", "Bluetooth"};

class PageHostFace {
 public:
  virtual ~PageHostFace() = default;
  // Selects `tab` and shows its page alone. Also puts the selection back after a refused
  // change.
  virtual void ShowTab(int tab) = 0;
  virtual void EnableTabBar(bool enabled) = 0;
  virtual void EnableTab(int tab, bool enabled) = 0;
};

class PageHost {
 public:
  // The pages in the tabs' order; the face and the pages outlive the host. Shows the MCU page.
  PageHost(PageHostFace& face, const std::array<ServicePage*, kTabCount>& pages);
  PageHost(const PageHost&) = delete;
  PageHost& operator=(const PageHost&) = delete;

  // The tab rule, on every change of the selected tab (by the user, the keyboard or code).
  void OnSelchangeTab(int index);
  // The tab bar's state, from the pages' jobs and LinkMode. The face calls it before its tab
  // bar acts on a click or a key (the link may have changed since); the host calls it whenever
  // a page's job starts or ends.
  void RefreshTabs();

  // A page's job runs (from its start until its final box has been closed).
  bool JobRunning() const;
  int ShownTab() const { return shown_; }
  ServicePage& Page(int tab) const { return *pages_[static_cast<std::size_t>(tab)]; }
  // Called whenever a page's job starts or ends, after the tabs have followed.
  void SetJobStateListener(std::function<void()> listener) { listener_ = std::move(listener); }

 private:
  bool MayShow(int index) const;
  void OnPageJobStateChanged();

  PageHostFace& face_;
  std::array<ServicePage*, kTabCount> pages_;
  int shown_ = kTabMcu;
  std::function<void()> listener_;
};

}  // namespace korva::dialogs
