// The IR page's behaviour.
#include "dialogs/ir_page.h"

#include "device/link_mode.h"
#include "images/file_placement.h"
#include "images/wav_file.h"
#include "jobs/job_messages.h"

namespace korva::dialogs {

IrPage::IrPage(PageFace& face, SlotListFace& slotList, DevicePort& device)
    : ServicePage(face, device, kJobAudio), slotList_(slotList) {}

void IrPage::OnSelchangeIndex() { audioIndexText_ = slotList_.SlotListText(); }

// The audio job reads the list's current text, on this page's thread.
std::string IrPage::SlotIndexText() { return slotList_.SlotListText(); }

// The slot being written does not change under the user's eyes.
void IrPage::EnableOwnControls(bool enabled) { face_.Enable(PageControl::SlotList, enabled); }

IrPage::Load IrPage::LoadFile(bool place) {
  WavFile file = LoadWavFile(FilePath());
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
  if (place && !PlaceAudioFile(std::move(file))) {
    ShowApplicationBox(kTextFileWrong);
    return Load::Refused;
  }
  return Load::Accepted;
}

void IrPage::Browse() {
  if (!ChooseFile(kWavFileFilter)) {
    face_.CopyTexts();
    return;
  }
  switch (LoadFile(false)) {
    case Load::CannotOpen:
      ShowPageBox(kTextOpenFileFailed);
      break;
    case Load::Accepted:
      face_.CopyTexts();
      face_.Focus(PageControl::Upgrade);  // the file is good: writing it comes next
      break;
    case Load::Refused:
      break;  // the new path shows at the next refresh
  }
}

// The checks in this order, the first that fails ends it: the link is not handed to the
// Bluetooth module, a slot is chosen, the amp is there, the file opens, the file passes its rule.
void IrPage::Upgrade() {
  if (LinkMode.load() == kLinkBluetooth) {
    ShowPageBox(kTextLinkOnBluetooth);
    return;
  }
  if (audioIndexText_.empty()) {
    ShowPageBox(kTextSelectAudioIndex);
    return;
  }
  ContinueIfDevicePresent([this] { UpgradeFile(); });
}

void IrPage::UpgradeFile() {
  const Load load = LoadFile(true);
  if (load == Load::CannotOpen) {
    ShowApplicationBox(kTextSelectFile);
    return;
  }
  if (load == Load::Accepted) StartPageJob();
}

}  // namespace korva::dialogs
