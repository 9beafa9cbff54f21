// The welcome window's service mode: its tab control 1001 carries the tabs "MCU", "DSP", "IR",
// "Battery" and "Bluetooth", and below them the page of the selected tab. The host owns the
// five pages for as long as the welcome window lives. Tab and page always agree: a change of
// tab is refused while a job runs (the tab bar is disabled then) and, for the four file pages,
// while the amp's link is handed to its Bluetooth module, whose page is the only way back.
#pragma once

#include <QObject>
#include <array>
#include <functional>
#include <memory>
#include <vector>

class QTabWidget;
class QWidget;

namespace korva::qt {

class CServicePageDlg;
class CBluetoothPageDlg;
class CMcuPageDlg;
class CDspPageDlg;
class CBatteryPageDlg;
class CIrPageDlg;

class ServicePageHost final : public QObject {
 public:
  enum Tab : int {
    kTabMcu = 0,
    kTabDsp = 1,
    kTabIr = 2,
    kTabBattery = 3,
    kTabBluetooth = 4,
    kTabCount = 5
  };

  // Fills `tab` with the five pages and shows the MCU page.
  explicit ServicePageHost(QTabWidget* tab);
  // Returns only once no page's job runs: a job must never report to a page that is gone.
  ~ServicePageHost() override;
  ServicePageHost(const ServicePageHost&) = delete;
  ServicePageHost& operator=(const ServicePageHost&) = delete;

  // Gives `window` room for the tabs and a page below `above`, and moves `bottomRow` (the
  // window's buttons) below them, keeping their distance from the right edge. The keyboard
  // goes the same way: the tabs, the shown page's controls, then `bottomRow`; the focus starts
  // on the shown page.
  void PlaceIn(QWidget* window, QWidget* above, const std::vector<QWidget*>& bottomRow);

  // A page's job runs (from its start until its final box is closed).
  bool JobRunning() const;
  // Called whenever a page's job starts or ends.
  void SetJobStateListener(std::function<void()> listener) {
    m_jobStateListener = std::move(listener);
  }

  int ShownTab() const { return m_shown; }
  QWidget* Page(int tab) const;

 private:
  bool eventFilter(QObject* watched, QEvent* event) override;
  // The tab rule, on every change of the selected tab.
  void OnSelchangeTab(int index);
  bool MayShow(int index) const;
  // The tab bar's state: disabled while a job runs, the file pages' tabs while the link is
  // handed to the Bluetooth module.
  void RefreshTabs();
  void OnPageJobStateChanged();
  void ChainFocus(const std::vector<QWidget*>& bottomRow);

  QTabWidget* m_tab;
  std::unique_ptr<CMcuPageDlg> m_pageMcu;
  std::unique_ptr<CDspPageDlg> m_pageDsp;
  std::unique_ptr<CBluetoothPageDlg> m_pageBluetooth;
  std::unique_ptr<CBatteryPageDlg> m_pageBattery;
  std::unique_ptr<CIrPageDlg> m_pageIr;
  std::array<CServicePageDlg*, kTabCount> m_pageOfTab{};
  int m_shown = kTabMcu;
  std::function<void()> m_jobStateListener;
};

}  // namespace korva::qt
