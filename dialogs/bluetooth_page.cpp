// The Bluetooth page's behaviour.
#include "dialogs/bluetooth_page.h"

#include "device/link_mode.h"
#include "device/protocol.h"
#include "images/regular_file.h"
#include "jobs/job_messages.h"
#include "jobs/link_probe.h"

namespace korva::dialogs {
namespace {

// The module's firmware is not examined here: the update library reads it. Only a regular
// file opens (a FIFO would hold the window until a writer came).
bool FileOpens(const std::string& path) {
  return !path.empty() && RegularFile::Open(path).has_value();
}

}  // namespace

BluetoothPage::BluetoothPage(PageFace& face, BusyPromptFace& busyPrompt, DevicePort& device)
    : ServicePage(face, device, kJobBluetooth), busyPrompt_(busyPrompt) {}

void BluetoothPage::Browse() {
  if (ChooseFile(kBluetoothFileFilter)) {
    if (FileOpens(FilePath())) {
      face_.Focus(PageControl::Upgrade);  // the file opens: writing it comes next
    } else {
      ShowPageBox(kTextOpenFileFailed);
    }
  }
  face_.CopyTexts();  // also after a cancel
}

// The amp must be there, unless its link is already handed to the module (its own interface
// is gone then); then the file must open.
void BluetoothPage::Upgrade() {
  TestDevicePresent([this](bool present) {
    if (!present && LinkMode.load() != kLinkBluetooth) {
      ShowPageBox(kTextConnectDevice);
    } else if (!FileOpens(FilePath())) {
      ShowApplicationBox(kTextSelectFile);
    } else {
      StartPageJob();
    }
  });
}

// From the first 99 on, while the module finishes and restarts.
void BluetoothPage::OnJobProgress(long value) {
  if (value == kDfuProgressBeforeSuccess) busyPrompt_.ShowBusyPrompt();
}

void BluetoothPage::OnJobEnding() { busyPrompt_.HideBusyPrompt(); }

// The job's device changes went unprobed; the amp may be back after the module's restart.
void BluetoothPage::OnJobEnded() {
  device_.Run([] { SettleLinkModeAfterJob(); });
}

}  // namespace korva::dialogs
