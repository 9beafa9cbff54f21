// The About box.
#include "qt/about_dlg.h"

#include <QPixmap>

#include "qt/dialog_template.h"
#include "qt/icons.h"
#include "ui_about.h"

namespace korva::qt {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::CAboutDlg>()) {
  ui_->setupUi(this);
  PrepareDialog(this, 8, FrameButtons::Close);
  const int side = std::min(ui_->icon->width(), ui_->icon->height());
  ui_->icon->setPixmap(QPixmap::fromImage(PaintIcon(kIconAbout, side)));
  connect(ui_->btnOk, &QPushButton::clicked, this, &QDialog::accept);
}

CAboutDlg::~CAboutDlg() = default;

}  // namespace korva::qt
