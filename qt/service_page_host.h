// The welcome window's service mode on Qt: the face of dialogs::PageHost (the tab rule). Here:
// the tab control 1001 filled with the five pages, which it owns for as long as the welcome
// window lives; the tab bar as the host says; the room that the tabs take in the window and the
// keyboard's way through them.
#pragma once

#include <QObject>
#include <array>
#include <memory>
#include <vector>

#include "dialogs/page_host.h"

class QTabWidget;
class QWidget;

namespace korva::qt {

class CServicePageDlg;
class CBluetoothPageDlg;
class CMcuPageDlg;
class CDspPageDlg;
class CBatteryPageDlg;
class CIrPageDlg;

class ServicePageHost final : public QObject, private dialogs::PageHostFace {
 public:
  static constexpr int kTabMcu = dialogs::kTabMcu;
  static constexpr int kTabDsp = dialogs::kTabDsp;
  static constexpr int kTabIr = dialogs::kTabIr;
  static constexpr int kTabBattery = dialogs::kTabBattery;
  static constexpr int kTabBluetooth = dialogs::kTabBluetooth;
  static constexpr int kTabCount = dialogs::kTabCount;

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

  dialogs::PageHost& Logic() { return *m_logic; }
  // A page's job runs (from its start until its final box is closed).
  bool JobRunning() const { return m_logic->JobRunning(); }
  int ShownTab() const { return m_logic->ShownTab(); }
  QWidget* Page(int tab) const;

 private:
  bool eventFilter(QObject* watched, QEvent* event) override;
  // The face.
  void ShowTab(int tab) override;
  void EnableTabBar(bool enabled) override;
  void EnableTab(int tab, bool enabled) override;

  void ChainFocus(const std::vector<QWidget*>& bottomRow);

  QTabWidget* m_tab;
  std::unique_ptr<CMcuPageDlg> m_pageMcu;
  std::unique_ptr<CDspPageDlg> m_pageDsp;
  std::unique_ptr<CBluetoothPageDlg> m_pageBluetooth;
  std::unique_ptr<CBatteryPageDlg> m_pageBattery;
  std::unique_ptr<CIrPageDlg> m_pageIr;
  std::array<CServicePageDlg*, kTabCount> m_pageOfTab{};
  std::unique_ptr<dialogs::PageHost> m_logic;
};

}  // namespace korva::qt
