// The IR page: writes a WAV file into one of the amp's audio slots 1 to 7. The user picks the
// slot from the index list and the file with "Browse"; "Upgrade" checks the link, the slot, the
// amp and the file (long enough, and exactly the one header the amp takes) and runs the audio
// job, which asks the page for the slot's text and takes the file's name for the slot.
#pragma once

#include <string>

#include "dialogs/service_page.h"

namespace korva::dialogs {

// The index list's items, in order; none is chosen at first.
inline constexpr const char* kSlotItems[] = {"1", "2", "3", "4", "5", "6", "7"};

// The index list, beside the page's face.
class SlotListFace {
 public:
  virtual ~SlotListFace() = default;
  // The list's current text (empty while none is chosen).
  virtual std::string SlotListText() = 0;
};

class IrPage final : public ServicePage {
 public:
  // The faces and the port outlive the page.
  IrPage(PageFace& face, SlotListFace& slotList, DevicePort& device);

  // The index list's choice changed.
  void OnSelchangeIndex();

 private:
  enum class Load { Accepted, Refused, CannotOpen };

  void Browse() override;
  void Upgrade() override;
  std::string SlotIndexText() override;
  void EnableOwnControls(bool enabled) override;
  void UpgradeFile();
  // The WAV rule on the chosen file, with its box when the file is refused; the accepted file
  // (its header and one slot of samples) goes into the page file buffer when `place` is set.
  Load LoadFile(bool place);

  SlotListFace& slotList_;
  std::string audioIndexText_;  // the index last chosen; empty until the first choice
};

}  // namespace korva::dialogs
