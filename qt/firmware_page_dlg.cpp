// The firmware file pages' behaviour and their table of differences.
#include "qt/firmware_page_dlg.h"

#include "device/link_mode.h"
#include "images/file_placement.h"
#include "jobs/job_messages.h"
#include "jobs/service_texts.h"
#include "ui_firmware_page.h"

namespace korva::qt {

struct FirmwarePageDifferences {
  FirmwareKind kind;  // the file rule
  int jobKind;
  const char* name;  // the page's object name
  const char* groupTitle;
  const char* fileLabel;
  // Puts an accepted file where the job reads it: the MCU and DSP files into their image
  // stores, the battery file into the page file buffer.
  int (*place)(FirmwareFile file);
};

namespace {

constexpr FirmwarePageDifferences kPages[] = {
    {FirmwareKind::Mcu, kJobMcu, "mcuPage", "MCU Upgrade",
     "MCU Firmware File:", [](FirmwareFile file) { return PlaceMcuFile(file); }},
    {FirmwareKind::Dsp, kJobDsp, "dspPage", "DSP Upgrade",
     "DSP Firmware File:", [](FirmwareFile file) { return PlaceDspFile(file); }},
    {FirmwareKind::Battery, kJobBattery, "batteryPage", "Battery Upgrade",
     "Battery Firmware File:", [](FirmwareFile file) { return PlaceBatteryFile(std::move(file)); }},
};

const FirmwarePageDifferences& DifferencesOf(FirmwareKind kind) {
  for (const FirmwarePageDifferences& page : kPages) {
    if (page.kind == kind) return page;
  }
  return kPages[0];
}

QString Text(const char* text) { return QString::fromLatin1(text); }
QString Text(const std::string& text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

CFirmwarePageDlg::CFirmwarePageDlg(FirmwareKind kind, QWidget* parent)
    : CServicePageDlg(DifferencesOf(kind).jobKind, parent),
      m_page(DifferencesOf(kind)),
      ui_(std::make_unique<Ui::CFirmwarePageDlg>()) {
  ui_->setupUi(this);
  setObjectName(QString::fromLatin1(m_page.name));
  ui_->group->setTitle(Text(m_page.groupTitle));
  ui_->labelFile->setText(Text(m_page.fileLabel));
  BindCommonControls(ui_->m_progress, ui_->m_btnUpgrade, ui_->m_btnBrowse, ui_->filePath,
                     ui_->percent);
  BindText(ui_->loadedVersion, &m_strLoadedVersion);
  BindText(ui_->updateVersion, &m_strUpdateVersion);
  NameAfterCaption(ui_->loadedVersion, ui_->labelLoaded->text(), ui_->loadedVersion);
  NameAfterCaption(ui_->updateVersion, ui_->labelUpdate->text(), ui_->updateVersion);
  UpdateData();
}

CFirmwarePageDlg::~CFirmwarePageDlg() = default;

void CFirmwarePageDlg::OnBrowse() {
  if (ChooseFile(kFirmwareFileFilter)) {
    const FirmwareFile file = LoadFirmwareFile(m_page.kind, FilePathForOpening());
    if (file.verdict == FileVerdict::CannotOpen) {
      ShowPageBox(kTextOpenFileFailed);
    } else if (file.verdict == FileVerdict::Accepted) {
      m_strUpdateVersion = Text(file.versionLabel);
      m_btnUpgrade->setFocus();  // the file is good: writing it comes next
    } else {
      ShowPageBox(kTextFileWrong);
      m_strUpdateVersion = Text(kTextVersionError);
    }
  }
  UpdateData();  // also after a cancel
}

// The checks in this order, the first that fails ends it: the link is not handed to the
// Bluetooth module, the amp is there, the file opens, the file passes its rule.
void CFirmwarePageDlg::OnUpgrade() {
  if (LinkMode.load() == kLinkBluetooth) {
    ShowPageBox(kTextLinkOnBluetooth);
    return;
  }
  ContinueIfDevicePresent([this] { UpgradeFile(); });
}

void CFirmwarePageDlg::UpgradeFile() {
  FirmwareFile file = LoadFirmwareFile(m_page.kind, FilePathForOpening());
  if (file.verdict == FileVerdict::CannotOpen) {
    ShowApplicationBox(kTextSelectFile);
    return;
  }
  const QString version = Text(file.versionLabel);
  if (file.verdict != FileVerdict::Accepted || !m_page.place(std::move(file))) {
    ShowApplicationBox(kTextFileWrong);
    m_strUpdateVersion = Text(kTextVersionError);
    return;
  }
  m_strUpdateVersion = version;
  StartPageJob();
}

}  // namespace korva::qt
