#include "setup_argo/jog_image.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>

#include "setup_argo/ratio_display_jog_painter.h"

TJogImage::TJogImage(QWidget* parent) : QWidget(parent) {
  setFixedSize(sizeHint());
  setCursor(Qt::SizeVerCursor);
}

void TJogImage::SetState(int state) {
  if (state == state_) return;
  state_ = state;
  update();
}

void TJogImage::paintEvent(QPaintEvent*) {
  QImage image(size(), QImage::Format_RGB32);
  RatioDisplayJogPainter::DrawJog(image, state_, palette().color(QPalette::Button));
  QPainter p(this);
  p.drawImage(0, 0, image);
}

void TJogImage::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) Q_EMIT pressed(this, event->position().toPoint());
}

void TJogImage::mouseMoveEvent(QMouseEvent* event) {
  if (event->buttons() & Qt::LeftButton) Q_EMIT moved(this, event->position().toPoint());
}

void TJogImage::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) Q_EMIT released(this, event->position().toPoint());
}
