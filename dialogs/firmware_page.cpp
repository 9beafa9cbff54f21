// The firmware file pages' behaviour and their table of differences.
#include "dialogs/firmware_page.h"

#include "device/link_mode.h"
#include "images/file_placement.h"
#include "jobs/job_messages.h"

namespace korva::dialogs {
namespace {

constexpr FirmwarePageDifferences kPages[] = {
    {FirmwareKind::Mcu, kJobMcu, "mcuPage", "MCU Upgrade",
     "MCU Firmware File:", [](FirmwareFile file) { return PlaceMcuFile(file); }},
    {FirmwareKind::Dsp, kJobDsp, "dspPage", "DSP Upgrade",
     "DSP Firmware File:", [](FirmwareFile file) { return PlaceDspFile(file); }},
    {FirmwareKind::Battery, kJobBattery, "batteryPage", "Battery Upgrade",
     "Battery Firmware File:", [](FirmwareFile file) { return PlaceBatteryFile(std::move(file)); }},
};

}  // namespace

const FirmwarePageDifferences& FirmwarePageOf(FirmwareKind kind) {
  for (const FirmwarePageDifferences& page : kPages) {
    if (page.kind == kind) return page;
  }
  return kPages[0];
}

FirmwarePage::FirmwarePage(PageFace& face, DevicePort& device, FirmwareKind kind)
    : ServicePage(face, device, FirmwarePageOf(kind).jobKind), page_(FirmwarePageOf(kind)) {}

void FirmwarePage::Browse() {
  if (ChooseFile(kFirmwareFileFilter)) {
    const FirmwareFile file = LoadFirmwareFile(page_.kind, FilePath());
    if (file.verdict == FileVerdict::CannotOpen) {
      ShowPageBox(kTextOpenFileFailed);
    } else if (file.verdict == FileVerdict::Accepted) {
      face_.SetText(PageText::UpdateVersion, file.versionLabel);
      face_.Focus(PageControl::Upgrade);  // the file is good: writing it comes next
    } else {
      ShowPageBox(kTextFileWrong);
      face_.SetText(PageText::UpdateVersion, kTextVersionError);
    }
  }
  face_.CopyTexts();  // also after a cancel
}

// The checks in this order, the first that fails ends it: the link is not handed to the
// Bluetooth module, the amp is there, the file opens, the file passes its rule.
void FirmwarePage::Upgrade() {
  if (LinkMode.load() == kLinkBluetooth) {
    ShowPageBox(kTextLinkOnBluetooth);
    return;
  }
  ContinueIfDevicePresent([this] { UpgradeFile(); });
}

void FirmwarePage::UpgradeFile() {
  FirmwareFile file = LoadFirmwareFile(page_.kind, FilePath());
  if (file.verdict == FileVerdict::CannotOpen) {
    ShowApplicationBox(kTextSelectFile);
    return;
  }
  const std::string version = file.versionLabel;
  if (file.verdict != FileVerdict::Accepted || !page_.place(std::move(file))) {
    ShowApplicationBox(kTextFileWrong);
    face_.SetText(PageText::UpdateVersion, kTextVersionError);
    return;
  }
  face_.SetText(PageText::UpdateVersion, version);
  StartPageJob();
}

}  // namespace korva::dialogs
