// The busy prompt: a small modeless window that asks the user to wait while the Bluetooth
// module finishes its update and restarts. It has no buttons; closing it hides it, and the
// same window is shown again at the next update.
#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class CBusyPromptDlg;
}

namespace korva::qt {

class CBusyPromptDlg final : public QDialog {
 public:
  // The prompt's template uses an 8-point font.
  static constexpr int kTemplatePointSize = 8;

  explicit CBusyPromptDlg(QWidget* parent);
  ~CBusyPromptDlg() override;

  // Centres the prompt over `over` and shows it, also when it is shown already.
  void ShowCentredOver(const QWidget* over);

 protected:
  bool event(QEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void GiveKeyboardBack();

  std::unique_ptr<Ui::CBusyPromptDlg> ui_;
};

}  // namespace korva::qt
