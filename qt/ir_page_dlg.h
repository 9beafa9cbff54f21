// The IR page: writes a WAV file into one of the amp's audio slots 1 to 7. The user picks the
// slot from the index list and the file with "Browse"; "Upgrade" checks the link, the slot, the
// amp and the file (long enough, and exactly the one header the amp takes) and runs the audio
// job, which asks the page for the slot's text and takes the file's name for the slot.
#pragma once

#include <QString>
#include <memory>

#include "qt/service_page.h"

namespace Ui {
class CIrPageDlg;
}

namespace korva::qt {

class CIrPageDlg final : public CServicePageDlg {
 public:
  explicit CIrPageDlg(QWidget* parent = nullptr);
  ~CIrPageDlg() override;

  std::vector<QWidget*> KeyboardOrder() const override;
  void FocusFirstStep() override;

 private:
  void OnSelchangeIndex();
  void OnBrowse() override;
  void OnUpgrade() override;
  // The checks of the file, once the amp is there, then the job.
  void UpgradeFile();
  // The WAV rule on the file at m_strFilePath, with its box when the file is refused; the
  // accepted file (its header and one slot of samples) goes into the page file buffer.
  enum class Load { Accepted, Refused, CannotOpen };
  Load LoadFile(bool placeAccepted);

  std::unique_ptr<Ui::CIrPageDlg> ui_;
  QString m_audioIndexText;  // the index last chosen; empty until the first choice
};

}  // namespace korva::qt
