// The Bluetooth page (dialog 133): updates the firmware of the amp's Bluetooth module from a
// file. "Browse" only checks that the file opens; "Upgrade" needs the amp, or its link already
// handed to the module, and a file that opens, then runs the Bluetooth job (link switch, then
// the update library). While the module finishes and restarts (progress 99) the busy prompt
// asks the user to wait; it goes before the final box opens.
#pragma once

#include <QString>
#include <memory>

#include "qt/service_page.h"

namespace Ui {
class CBluetoothPageDlg;
}

namespace korva::qt {

class CBusyPromptDlg;

class CBluetoothPageDlg final : public CServicePageDlg {
 public:
  explicit CBluetoothPageDlg(QWidget* parent = nullptr);
  ~CBluetoothPageDlg() override;

 private:
  void OnBrowse() override;
  void OnUpgrade() override;
  void OnJobProgress(long value) override;
  void OnJobEnding() override;
  void OnJobEnded() override;

  std::unique_ptr<Ui::CBluetoothPageDlg> ui_;
  QString m_strLoadedVersion;  // nothing writes it: the label beside "Loaded Version:" stays empty
  // Made at the first 99 and kept, a child of the page, for every later update.
  CBusyPromptDlg* m_busyPrompt = nullptr;
};

}  // namespace korva::qt
