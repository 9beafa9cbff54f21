// Dialog-unit conversion with the dialog font's metrics.
#include "qt/dialog_units.h"

#include <QApplication>
#include <QFontMetrics>
#include <QWidget>

namespace korva::qt {
namespace {

constexpr int kTemplateDefaultPointSize = 8;

// Rounds a * b / c to the nearest integer.
int MulDiv(int a, int b, int c) { return (a * b + c / 2) / c; }

}  // namespace

DialogBaseUnits BaseUnitsOf(const QFont& font) {
  // The average width over the 52 letters, rounded, as the window system measures it.
  static const QString kLetters =
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  const QFontMetrics metrics(font);
  return {(metrics.horizontalAdvance(kLetters) / 26 + 1) / 2, metrics.height()};
}

QRect ToPixels(const QRect& du, DialogBaseUnits base) {
  return {MulDiv(du.x(), base.cx, 4), MulDiv(du.y(), base.cy, 8), MulDiv(du.width(), base.cx, 4),
          MulDiv(du.height(), base.cy, 8)};
}

QSize ToPixels(const QSize& du, DialogBaseUnits base) {
  return {MulDiv(du.width(), base.cx, 4), MulDiv(du.height(), base.cy, 8)};
}

void ApplyDialogUnits(QWidget* dialog, const QFont& font) {
  dialog->setFont(font);
  const DialogBaseUnits base = BaseUnitsOf(font);
  for (QWidget* child : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    child->setGeometry(ToPixels(child->geometry(), base));
  }
  dialog->setFixedSize(ToPixels(dialog->size(), base));
}

QFont DialogFont(int templatePointSize) {
  QFont font = QApplication::font();
  if (templatePointSize != kTemplateDefaultPointSize) {
    const qreal size = font.pointSizeF() > 0 ? font.pointSizeF() : kTemplateDefaultPointSize;
    font.setPointSizeF(size * templatePointSize / kTemplateDefaultPointSize);
  }
  return font;
}

}  // namespace korva::qt
