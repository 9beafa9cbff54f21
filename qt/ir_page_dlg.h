// The IR page on Qt (dialog 130): the template with its slot index list; what the page does is
// dialogs::IrPage.
#pragma once

#include <memory>

#include "dialogs/ir_page.h"
#include "qt/service_page.h"

namespace Ui {
class CIrPageDlg;
}

namespace korva::qt {

class CIrPageDlg final : public CServicePageDlg, private dialogs::SlotListFace {
 public:
  explicit CIrPageDlg(QWidget* parent = nullptr);
  ~CIrPageDlg() override;

  std::vector<QWidget*> KeyboardOrder() const override;
  void FocusFirstStep() override;

 private:
  QWidget* Control(dialogs::PageControl control) const override;
  std::string SlotListText() override;

  std::unique_ptr<Ui::CIrPageDlg> ui_;
  dialogs::IrPage* m_page = nullptr;
};

}  // namespace korva::qt
