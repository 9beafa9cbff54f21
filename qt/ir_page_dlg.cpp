// The IR page's face.
#include "qt/ir_page_dlg.h"

#include "qt/device_work.h"
#include "ui_ir_page.h"

namespace korva::qt {

CIrPageDlg::CIrPageDlg(QWidget* parent)
    : CServicePageDlg(parent), ui_(std::make_unique<Ui::CIrPageDlg>()) {
  ui_->setupUi(this);
  setObjectName(QStringLiteral("irPage"));
  for (const char* item : dialogs::kSlotItems) ui_->m_cbIndex->addItem(QString::fromLatin1(item));
  ui_->m_cbIndex->setCurrentIndex(-1);  // no slot chosen at first
  BindCommonControls(ui_->m_progress, ui_->m_btnUpgrade, ui_->m_btnBrowse, ui_->filePath,
                     ui_->percent);
  FocusOnAltKey(Qt::Key_I, ui_->m_cbIndex);
  dialogs::PageFace& face = *this;
  dialogs::SlotListFace& slotList = *this;
  auto page = std::make_unique<dialogs::IrPage>(face, slotList, AppDeviceWork().Port());
  m_page = page.get();
  SetLogic(std::move(page));
  connect(ui_->m_cbIndex, &QComboBox::currentIndexChanged, this,
          [this] { m_page->OnSelchangeIndex(); });
}

CIrPageDlg::~CIrPageDlg() = default;

std::string CIrPageDlg::SlotListText() { return ui_->m_cbIndex->currentText().toStdString(); }

QWidget* CIrPageDlg::Control(dialogs::PageControl control) const {
  if (control == dialogs::PageControl::SlotList) return ui_->m_cbIndex;
  return CServicePageDlg::Control(control);
}

std::vector<QWidget*> CIrPageDlg::KeyboardOrder() const {
  std::vector<QWidget*> order = CServicePageDlg::KeyboardOrder();
  order.insert(order.begin(), ui_->m_cbIndex);
  return order;
}

// The slot is chosen first: "Upgrade" asks for it before the file.
void CIrPageDlg::FocusFirstStep() { ui_->m_cbIndex->setFocus(); }

}  // namespace korva::qt
