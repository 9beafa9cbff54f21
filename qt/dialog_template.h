// What every window of the program does with its template: the dialog font, the conversion
// from dialog units, the frame (title bar with system menu, optional minimise box), the
// window icon, and the guard against presses from a held key.
#pragma once

#include <QIcon>

class QDialog;

namespace korva::qt {

enum class FrameButtons { Close, CloseAndMinimise };

void PrepareDialog(QDialog* dialog, int templatePointSize, FrameButtons buttons);

// Icon 179 in the sizes a desktop asks for.
QIcon WindowIcon();

}  // namespace korva::qt
