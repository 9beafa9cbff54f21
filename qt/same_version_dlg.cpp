// The same-version prompt.
#include "qt/same_version_dlg.h"

#include "qt/dialog_template.h"
#include "ui_same_version.h"

namespace korva::qt {

// The prompt's template uses a 10-point font.
constexpr int kPromptPointSize = 10;

CSameVersionDlg::CSameVersionDlg(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::CSameVersionDlg>()) {
  ui_->setupUi(this);
  PrepareDialog(this, kPromptPointSize, FrameButtons::Close);
  connect(ui_->btnYes, &QPushButton::clicked, this, &CSameVersionDlg::accept);
  connect(ui_->btnNo, &QPushButton::clicked, this, &CSameVersionDlg::reject);
  ui_->btnNo->setFocus();
}

CSameVersionDlg::~CSameVersionDlg() = default;

}  // namespace korva::qt
