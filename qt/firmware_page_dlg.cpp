// The firmware file pages' face.
#include "qt/firmware_page_dlg.h"

#include "dialogs/firmware_page.h"
#include "qt/device_work.h"
#include "ui_firmware_page.h"

namespace korva::qt {

CFirmwarePageDlg::CFirmwarePageDlg(FirmwareKind kind, QWidget* parent)
    : CServicePageDlg(parent), ui_(std::make_unique<Ui::CFirmwarePageDlg>()) {
  ui_->setupUi(this);
  const dialogs::FirmwarePageDifferences& page = dialogs::FirmwarePageOf(kind);
  setObjectName(QString::fromLatin1(page.name));
  ui_->group->setTitle(QString::fromLatin1(page.groupTitle));
  ui_->labelFile->setText(QString::fromLatin1(page.fileLabel));
  BindCommonControls(ui_->m_progress, ui_->m_btnUpgrade, ui_->m_btnBrowse, ui_->filePath,
                     ui_->percent);
  // Nothing writes the label beside "Loaded Version:": it stays empty.
  BindEmpty(ui_->loadedVersion);
  BindText(ui_->updateVersion, dialogs::PageText::UpdateVersion);
  NameAfterCaption(ui_->loadedVersion, ui_->labelLoaded->text(), ui_->loadedVersion);
  NameAfterCaption(ui_->updateVersion, ui_->labelUpdate->text(), ui_->updateVersion);
  dialogs::PageFace& face = *this;
  SetLogic(std::make_unique<dialogs::FirmwarePage>(face, AppDeviceWork().Port(), kind));
}

CFirmwarePageDlg::~CFirmwarePageDlg() = default;

}  // namespace korva::qt
