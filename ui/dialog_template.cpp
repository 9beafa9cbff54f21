// Common preparation of the template dialogs.
#include "ui/dialog_template.h"

#include <QDialog>
#include <QPixmap>

#include "ui/dialog_units.h"
#include "ui/fresh_press.h"
#include "ui/icons.h"

namespace korva::ui {

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

}  // namespace korva::ui
