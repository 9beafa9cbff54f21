// Common preparation of the template dialogs.
#include "qt/dialog_template.h"

#include <QDialog>
#include <QPixmap>

#include "qt/dialog_units.h"
#include "qt/fresh_press.h"
#include "qt/icons.h"

namespace korva::qt {

void PrepareDialog(QDialog* dialog, int templatePointSize, FrameButtons buttons) {
  ApplyDialogUnits(dialog, DialogFont(templatePointSize));
  Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  if (buttons == FrameButtons::CloseAndMinimise) flags |= Qt::WindowMinimizeButtonHint;
  dialog->setWindowFlags(flags);
  dialog->setWindowIcon(WindowIcon());
  // No window of the program takes a held key as a press.
  InstallFreshPressGuard();
}

QIcon WindowIcon() {
  QIcon icon;
  for (int size : {16, kWindowIconSize, 48, 64})
    icon.addPixmap(QPixmap::fromImage(PaintIcon(kIconWindow, size)));
  return icon;
}

}  // namespace korva::qt
