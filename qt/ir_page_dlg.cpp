// The IR page's behaviour.
#include "qt/ir_page_dlg.h"

#include "device/link_mode.h"
#include "images/file_placement.h"
#include "images/wav_file.h"
#include "jobs/job_messages.h"
#include "jobs/service_texts.h"
#include "ui_ir_page.h"

namespace korva::qt {

CIrPageDlg::CIrPageDlg(QWidget* parent)
    : CServicePageDlg(kJobAudio, parent), ui_(std::make_unique<Ui::CIrPageDlg>()) {
  ui_->setupUi(this);
  setObjectName(QStringLiteral("irPage"));
  ui_->m_cbIndex->setCurrentIndex(-1);  // no slot chosen at first
  BindCommonControls(ui_->m_progress, ui_->m_btnUpgrade, ui_->m_btnBrowse, ui_->filePath,
                     ui_->percent);
  connect(ui_->m_cbIndex, &QComboBox::currentIndexChanged, this, [this] { OnSelchangeIndex(); });
  // The slot being written does not change under the user's eyes.
  LockWhileJobRuns(ui_->m_cbIndex);
  FocusOnAltKey(Qt::Key_I, ui_->m_cbIndex);
  // The audio job reads the list's current text, on this page's thread.
  m_owner->SetSlotIndexSource([this] { return ui_->m_cbIndex->currentText().toStdString(); });
  UpdateData();
}

CIrPageDlg::~CIrPageDlg() = default;

void CIrPageDlg::OnSelchangeIndex() { m_audioIndexText = ui_->m_cbIndex->currentText(); }

std::vector<QWidget*> CIrPageDlg::KeyboardOrder() const {
  std::vector<QWidget*> order = CServicePageDlg::KeyboardOrder();
  order.insert(order.begin(), ui_->m_cbIndex);
  return order;
}

// The slot is chosen first: "Upgrade" asks for it before the file.
void CIrPageDlg::FocusFirstStep() { ui_->m_cbIndex->setFocus(); }

CIrPageDlg::Load CIrPageDlg::LoadFile(bool placeAccepted) {
  WavFile file = LoadWavFile(FilePathForOpening());
  switch (file.verdict) {
    case FileVerdict::CannotOpen:
      return Load::CannotOpen;
    case FileVerdict::TooSmall:
      ShowApplicationBox(kTextFileTooSmall);
      return Load::Refused;
    case FileVerdict::Wrong:
      ShowApplicationBox(kTextFileWrong);
      return Load::Refused;
    case FileVerdict::Accepted:
      break;
  }
  if (placeAccepted && !PlaceAudioFile(std::move(file))) {
    ShowApplicationBox(kTextFileWrong);
    return Load::Refused;
  }
  return Load::Accepted;
}

void CIrPageDlg::OnBrowse() {
  if (!ChooseFile(kWavFileFilter)) {
    UpdateData();
    return;
  }
  switch (LoadFile(false)) {
    case Load::CannotOpen:
      ShowPageBox(kTextOpenFileFailed);
      break;
    case Load::Accepted:
      UpdateData();
      m_btnUpgrade->setFocus();  // the file is good: writing it comes next
      break;
    case Load::Refused:
      break;  // the new path shows at the next refresh
  }
}

// The checks in this order, the first that fails ends it: the link is not handed to the
// Bluetooth module, a slot is chosen, the amp is there, the file opens, the file passes its rule.
void CIrPageDlg::OnUpgrade() {
  if (LinkMode.load() == kLinkBluetooth) {
    ShowPageBox(kTextLinkOnBluetooth);
    return;
  }
  if (m_audioIndexText.isEmpty()) {
    ShowPageBox(kTextSelectAudioIndex);
    return;
  }
  ContinueIfDevicePresent([this] { UpgradeFile(); });
}

void CIrPageDlg::UpgradeFile() {
  const Load load = LoadFile(true);
  if (load == Load::CannotOpen) {
    ShowApplicationBox(kTextSelectFile);
    return;
  }
  if (load == Load::Accepted) StartPageJob();
}

}  // namespace korva::qt
