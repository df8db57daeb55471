#include "glowreadout/grip_image.h"

#include <QCursor>
#include <QPainter>
#include <QPolygon>

namespace GripImage {

QImage Mask() {
  QImage image(kSize, kSize, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter p(&image);
  p.setPen(Qt::black);
  p.setBrush(Qt::black);
  p.drawRect(1, 1, kSize - 3, kSize - 3);
  p.drawRect(12, 12, 1, 1);
  const int c = kSize / 2 - 1;
  // Arrow shafts and heads: up, down, left, right.
  p.drawLine(c, 4, c, 9);
  p.drawPolygon(QPolygon({QPoint(c, 3), QPoint(c - 3, 6), QPoint(c + 3, 6)}));
  p.drawLine(c, 16, c, 21);
  p.drawPolygon(QPolygon({QPoint(c, 22), QPoint(c - 3, 19), QPoint(c + 3, 19)}));
  p.drawLine(4, c, 9, c);
  p.drawPolygon(QPolygon({QPoint(3, c), QPoint(6, c - 3), QPoint(6, c + 3)}));
  p.drawLine(16, c, 21, c);
  p.drawPolygon(QPolygon({QPoint(22, c), QPoint(19, c - 3), QPoint(19, c + 3)}));
  return image;
}

QImage Tint(const QColor& color) {
  const QColor fill = color.rgb() == QColor(Qt::white).rgb() ? QColor(0, 0, 255) : color;
  static const QImage mask = Mask();
  QImage image(kSize, kSize, QImage::Format_RGB32);
  image.fill(fill);
  QPainter p(&image);
  p.setCompositionMode(QPainter::RasterOp_SourceOrDestination);
  p.drawImage(0, 0, mask);
  return image;
}

bool Shown(const QRect& frame) {
  const QPoint c = QCursor::pos();
  return c.x() >= frame.left() && c.x() <= frame.left() + frame.width() && c.y() >= frame.top() &&
         c.y() <= frame.top() + frame.height();
}

}  // namespace GripImage
