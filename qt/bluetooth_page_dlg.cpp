// The Bluetooth page's behaviour.
#include "qt/bluetooth_page_dlg.h"

#include "device/link_mode.h"
#include "device/protocol.h"
#include "images/regular_file.h"
#include "jobs/job_messages.h"
#include "jobs/link_probe.h"
#include "jobs/service_texts.h"
#include "qt/busy_prompt_dlg.h"
#include "qt/device_work.h"
#include "ui_bluetooth_page.h"

namespace korva::qt {
namespace {

// The module's firmware is not examined here: the update library reads it. Only a regular
// file opens (a FIFO would hold the window until a writer came).
bool FileOpens(const std::string& path) {
  return !path.empty() && RegularFile::Open(path).has_value();
}

}  // namespace

CBluetoothPageDlg::CBluetoothPageDlg(QWidget* parent)
    : CServicePageDlg(kJobBluetooth, parent), ui_(std::make_unique<Ui::CBluetoothPageDlg>()) {
  ui_->setupUi(this);
  setObjectName(QStringLiteral("bluetoothPage"));
  BindCommonControls(ui_->m_progress, ui_->m_btnUpgrade, ui_->m_btnBrowse, ui_->filePath,
                     ui_->percent);
  BindText(ui_->loadedVersion, &m_strLoadedVersion);
  NameAfterCaption(ui_->loadedVersion, ui_->labelLoaded->text(), ui_->loadedVersion);
  UpdateData();
}

CBluetoothPageDlg::~CBluetoothPageDlg() = default;

void CBluetoothPageDlg::OnBrowse() {
  if (ChooseFile(kBluetoothFileFilter)) {
    if (FileOpens(FilePathForOpening())) {
      m_btnUpgrade->setFocus();  // the file opens: writing it comes next
    } else {
      ShowPageBox(kTextOpenFileFailed);
    }
  }
  UpdateData();  // also after a cancel
}

// The amp must be there, unless its link is already handed to the module (its own interface
// is gone then); then the file must open.
void CBluetoothPageDlg::OnUpgrade() {
  TestDevicePresent([this](bool present) {
    if (!present && LinkMode.load() != kLinkBluetooth) {
      ShowPageBox(kTextConnectDevice);
    } else if (!FileOpens(FilePathForOpening())) {
      ShowApplicationBox(kTextSelectFile);
    } else {
      StartPageJob();
    }
  });
}

void CBluetoothPageDlg::OnJobProgress(long value) {
  if (value != kDfuProgressBeforeSuccess) return;
  if (!m_busyPrompt) m_busyPrompt = new CBusyPromptDlg(this);
  m_busyPrompt->ShowCentredOver(this);
}

void CBluetoothPageDlg::OnJobEnding() {
  if (m_busyPrompt) m_busyPrompt->hide();
}

// The job's device changes went unprobed; the amp may be back after the module's restart.
void CBluetoothPageDlg::OnJobEnded() {
  AppDeviceWork().Run([] { SettleLinkModeAfterJob(); });
}

}  // namespace korva::qt
