// The prompt shown when the amp already runs the carried firmware: "Yes" lets "Update" go
// on (UpdateConfirmed 1), "No", Escape and the close box do not (UpdateConfirmed 0).
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

  void accept() override;
  void reject() override;

 private:
  std::unique_ptr<Ui::CSameVersionDlg> ui_;
};

}  // namespace korva::qt
