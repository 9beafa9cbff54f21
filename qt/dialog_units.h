// Dialog templates are laid out in dialog units, as the amp's updater always has been: a
// horizontal unit is a quarter of the dialog font's average character width, a vertical
// unit an eighth of its height. Converting with the font in use keeps text and controls in
// proportion whatever fonts the desktop has.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

class QWidget;

namespace korva::qt {

struct DialogBaseUnits {
  int cx = 0;  // average character width in pixels
  int cy = 0;  // character height in pixels
};

DialogBaseUnits BaseUnitsOf(const QFont& font);
QRect ToPixels(const QRect& dialogUnits, DialogBaseUnits base);
QSize ToPixels(const QSize& dialogUnits, DialogBaseUnits base);

// Gives `dialog` the font `font` and converts its size and every child's geometry, as the
// template loader left them in dialog units, into pixels. The dialog gets a fixed size.
void ApplyDialogUnits(QWidget* dialog, const QFont& font);

// The dialog font of a template declared at `templatePointSize` (8 or 10 points): the
// desktop's own font, scaled by the same ratio to the 8-point default.
QFont DialogFont(int templatePointSize);

}  // namespace korva::qt
