// The busy prompt.
#include "qt/busy_prompt_dlg.h"

#include <QApplication>

#include "jobs/service_texts.h"
#include "qt/dialog_units.h"
#include "qt/display_text.h"
#include "ui_busy_prompt.h"

namespace korva::qt {

CBusyPromptDlg::CBusyPromptDlg(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::CBusyPromptDlg>()) {
  ui_->setupUi(this);
  setObjectName(QStringLiteral("busyPrompt"));
  ApplyDialogUnits(this, DialogFont(kTemplatePointSize));
  // A title bar without a system menu or a close box: the prompt goes when the update ends.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setModal(false);
  // The text keeps its carriage return for the record; shown, its line break is a "\n".
  const QString text = QtText(kTextBluetoothBusy);
  ui_->prompt->setText(text);
  // With an empty title, the window is named by what it says.
  setAccessibleName(text.simplified());
}

CBusyPromptDlg::~CBusyPromptDlg() = default;

void CBusyPromptDlg::ShowCentredOver(const QWidget* over) {
  // The window's inside, whose place is known before the first show (its frame's is not).
  QRect area = geometry();
  area.moveCenter(over->mapToGlobal(over->rect().center()));
  setGeometry(area);
  if (isVisible()) {
    raise();  // it may have gone behind the window
  } else {
    show();
  }
}

void CBusyPromptDlg::hideEvent(QHideEvent* event) {
  // Once the window system has taken in that the prompt is gone.
  QMetaObject::invokeMethod(
      this, [this] { GiveKeyboardBack(); }, Qt::QueuedConnection);
  QDialog::hideEvent(event);
}

bool CBusyPromptDlg::event(QEvent* event) {
  // The window system may make the prompt active only after it has gone again (it is often up
  // for a moment only).
  if (event->type() == QEvent::WindowActivate && !isVisible()) GiveKeyboardBack();
  return QDialog::event(event);
}

// A hidden prompt must not keep the keyboard, nor leave the program without a window that has
// it: it goes to the window below, unless another window (the final box) has it already.
void CBusyPromptDlg::GiveKeyboardBack() {
  const QWidget* active = QApplication::activeWindow();
  if ((!active || active == this) && parentWidget()) parentWidget()->window()->activateWindow();
}

}  // namespace korva::qt
