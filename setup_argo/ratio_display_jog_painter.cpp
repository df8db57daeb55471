#include "setup_argo/ratio_display_jog_painter.h"

#include <QPainter>
#include <QPointF>
#include <QPolygonF>
#include <cstdlib>

QColor RatioDisplayJogPainter::StateColour(int state) {
  switch (std::abs(state)) {
    case 1:
      return Qt::yellow;
    case 2:
      return Qt::cyan;  // aqua
    case 3:
      return Qt::green;  // lime
    case 4:
      return Qt::red;
    default:
      return Qt::black;
  }
}

void RatioDisplayJogPainter::DrawJog(QImage& image, int state, const QColor& buttonFace) {
  if (image.isNull()) return;
  const double w = image.width();
  const double h = image.height();
  QPainter p(&image);
  p.fillRect(image.rect(), buttonFace);
  // The groove across the middle.
  const int mid = image.height() / 2;
  p.setPen(QColor(255, 255, 255));
  p.drawLine(0, mid + 2, image.width() - 1, mid + 2);
  p.setPen(QColor(128, 128, 128));
  p.drawLine(0, mid + 1, image.width() - 1, mid + 1);

  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(Qt::NoPen);
  const auto triangle = [&](double baseY, double tipY, double left, double right, const QColor& colour) {
    p.setBrush(colour);
    p.drawPolygon(
        QPolygonF({QPointF(left, baseY), QPointF(right, baseY), QPointF((left + right) / 2, tipY)}));
  };
  if (state == 0) {
    triangle(0.35 * h, 0.15 * h, 0.25 * w, 0.75 * w, Qt::black);
    triangle(0.65 * h, 0.85 * h, 0.25 * w, 0.75 * w, Qt::black);
    return;
  }
  const QColor colour = StateColour(state);
  constexpr double kInset = 5.0;
  if (state > 0)
    triangle(h - kInset, kInset, kInset, w - kInset, colour);
  else
    triangle(kInset, h - kInset, kInset, w - kInset, colour);
}
