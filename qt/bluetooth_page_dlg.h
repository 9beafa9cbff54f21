// The Bluetooth page on Qt (dialog 133) and its busy prompt; what the page does is
// dialogs::BluetoothPage.
#pragma once

#include <memory>

#include "dialogs/bluetooth_page.h"
#include "qt/service_page.h"

namespace Ui {
class CBluetoothPageDlg;
}

namespace korva::qt {

class CBusyPromptDlg;

class CBluetoothPageDlg final : public CServicePageDlg, private dialogs::BusyPromptFace {
 public:
  explicit CBluetoothPageDlg(QWidget* parent = nullptr);
  ~CBluetoothPageDlg() override;

 private:
  void ShowBusyPrompt() override;
  void HideBusyPrompt() override;

  std::unique_ptr<Ui::CBluetoothPageDlg> ui_;
  // Made at its first showing and kept, a child of the page, for every later update.
  CBusyPromptDlg* m_busyPrompt = nullptr;
};

}  // namespace korva::qt
