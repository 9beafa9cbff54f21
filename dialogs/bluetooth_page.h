// The Bluetooth page: updates the firmware of the amp's Bluetooth module from a file. "Browse"
// only checks that the file opens; "Upgrade" needs the amp, or its link already handed to the
// module, and a file that opens, then runs the Bluetooth job (link switch, then the update
// library). While the module finishes and restarts (progress 99) the busy prompt asks the user
// to wait; it goes before the final box opens.
#pragma once

#include "dialogs/service_page.h"

namespace korva::dialogs {

// The busy prompt, beside the page's face.
class BusyPromptFace {
 public:
  virtual ~BusyPromptFace() = default;
  // Shows the busy prompt centred over the page (made at its first showing and kept for every
  // later update); shown again when it is up already.
  virtual void ShowBusyPrompt() = 0;
  // Hides it, where it is up.
  virtual void HideBusyPrompt() = 0;
};

class BluetoothPage final : public ServicePage {
 public:
  // The faces and the port outlive the page.
  BluetoothPage(PageFace& face, BusyPromptFace& busyPrompt, DevicePort& device);

 private:
  void Browse() override;
  void Upgrade() override;
  void OnJobProgress(long value) override;
  void OnJobEnding() override;
  void OnJobEnded() override;

  BusyPromptFace& busyPrompt_;
};

}  // namespace korva::dialogs
