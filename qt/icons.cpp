// Drawing of the program's icons. Each is drawn on a 100 x 100 canvas and scaled.
#include "qt/icons.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace korva::qt {
namespace {

// The amp: a dark cabinet with a speaker cone and an orange "update" arrow.
void PaintAmp(QPainter& p) {
  QLinearGradient cabinet(0, 6, 0, 94);
  cabinet.setColorAt(0, QColor(0x4a, 0x4a, 0x4f));
  cabinet.setColorAt(1, QColor(0x1c, 0x1c, 0x20));
  p.setPen(QPen(QColor(0x10, 0x10, 0x12), 3));
  p.setBrush(cabinet);
  p.drawRoundedRect(QRectF(6, 6, 88, 88), 14, 14);

  QRadialGradient cone(QPointF(46, 54), 34, QPointF(40, 46));
  cone.setColorAt(0, QColor(0xb8, 0xb8, 0xbe));
  cone.setColorAt(0.55, QColor(0x5c, 0x5c, 0x64));
  cone.setColorAt(1, QColor(0x26, 0x26, 0x2a));
  p.setPen(QPen(QColor(0x9a, 0x9a, 0xa0), 3));
  p.setBrush(cone);
  p.drawEllipse(QPointF(46, 54), 30, 30);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x30, 0x30, 0x34));
  p.drawEllipse(QPointF(46, 54), 9, 9);

  // The update arrow in an orange badge at the top right.
  p.setBrush(QColor(0xf0, 0x8a, 0x1c));
  p.setPen(QPen(QColor(0x7a, 0x3e, 0x00), 2));
  p.drawEllipse(QPointF(76, 24), 19, 19);
  QPainterPath arrow;
  arrow.moveTo(76, 10);
  arrow.lineTo(88, 24);
  arrow.lineTo(80.5, 24);
  arrow.lineTo(80.5, 37);
  arrow.lineTo(71.5, 37);
  arrow.lineTo(71.5, 24);
  arrow.lineTo(64, 24);
  arrow.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawPath(arrow);
}

// A round signal lamp in a metal bezel, lit in `light` with a darker rim `dark`.
void PaintLamp(QPainter& p, QColor light, QColor dark) {
  QLinearGradient bezel(0, 4, 0, 96);
  bezel.setColorAt(0, QColor(0xe4, 0xe4, 0xe8));
  bezel.setColorAt(1, QColor(0x6c, 0x6c, 0x74));
  p.setPen(QPen(QColor(0x44, 0x44, 0x4a), 2));
  p.setBrush(bezel);
  p.drawEllipse(QPointF(50, 50), 46, 46);

  QRadialGradient glass(QPointF(50, 50), 36, QPointF(42, 38));
  glass.setColorAt(0, light.lighter(160));
  glass.setColorAt(0.45, light);
  glass.setColorAt(1, dark);
  p.setPen(QPen(dark.darker(150), 2));
  p.setBrush(glass);
  p.drawEllipse(QPointF(50, 50), 36, 36);

  // The reflection that makes it read as glass.
  QLinearGradient shine(0, 18, 0, 50);
  shine.setColorAt(0, QColor(255, 255, 255, 200));
  shine.setColorAt(1, QColor(255, 255, 255, 0));
  p.setPen(Qt::NoPen);
  p.setBrush(shine);
  p.drawEllipse(QRectF(30, 20, 40, 26));
}

}  // namespace

QImage PaintIcon(int id, int size) {
  if (id != kIconAbout && id != kIconLampRed && id != kIconLampGreen && id != kIconWindow)
    return {};
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 100.0, size / 100.0);
  switch (id) {
    case kIconLampRed:
      PaintLamp(p, QColor(0xf0, 0x28, 0x1e), QColor(0x70, 0x08, 0x04));
      break;
    case kIconLampGreen:
      PaintLamp(p, QColor(0x2c, 0xd8, 0x3a), QColor(0x08, 0x5a, 0x10));
      break;
    default:
      PaintAmp(p);
      break;
  }
  return image;
}

}  // namespace korva::qt
