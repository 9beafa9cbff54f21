// The Bluetooth page's face.
#include "qt/bluetooth_page_dlg.h"

#include "qt/busy_prompt_dlg.h"
#include "qt/device_work.h"
#include "ui_bluetooth_page.h"

namespace korva::qt {

CBluetoothPageDlg::CBluetoothPageDlg(QWidget* parent)
    : CServicePageDlg(parent), ui_(std::make_unique<Ui::CBluetoothPageDlg>()) {
  ui_->setupUi(this);
  setObjectName(QStringLiteral("bluetoothPage"));
  BindCommonControls(ui_->m_progress, ui_->m_btnUpgrade, ui_->m_btnBrowse, ui_->filePath,
                     ui_->percent);
  // Nothing writes the label beside "Loaded Version:": it stays empty.
  BindEmpty(ui_->loadedVersion);
  NameAfterCaption(ui_->loadedVersion, ui_->labelLoaded->text(), ui_->loadedVersion);
  dialogs::PageFace& face = *this;
  dialogs::BusyPromptFace& busyPrompt = *this;
  SetLogic(std::make_unique<dialogs::BluetoothPage>(face, busyPrompt, AppDeviceWork().Port()));
}

CBluetoothPageDlg::~CBluetoothPageDlg() = default;

void CBluetoothPageDlg::ShowBusyPrompt() {
  if (!m_busyPrompt) m_busyPrompt = new CBusyPromptDlg(this);
  m_busyPrompt->ShowCentredOver(this);
}

void CBluetoothPageDlg::HideBusyPrompt() {
  if (m_busyPrompt) m_busyPrompt->hide();
}

}  // namespace korva::qt
