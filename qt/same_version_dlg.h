// The prompt shown when the amp already runs the carried firmware: "Yes" accepts it, "No",
// Escape and the close box reject it; the main update window takes the answer.
#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class CSameVersionDlg;
}

namespace korva::qt {

class CSameVersionDlg final : public QDialog {
 public:
  explicit CSameVersionDlg(QWidget* parent = nullptr);
  ~CSameVersionDlg() override;

 private:
  std::unique_ptr<Ui::CSameVersionDlg> ui_;
};

}  // namespace korva::qt
