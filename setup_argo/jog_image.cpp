#include "setup_argo/jog_image.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "setup_argo/ratio_display_jog_painter.h"

TJogImage::TJogImage(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void TJogImage::SetState(int state) {
  state = std::clamp(state, -4, 4);
  if (state == state_) return;
  state_ = state;
  update();
}

QSize TJogImage::sizeHint() const { return {24, 100}; }

void TJogImage::paintEvent(QPaintEvent*) {
  QImage image(size(), QImage::Format_RGB32);
  RatioDisplayJogPainter::DrawJog(image, state_, palette().color(QPalette::Button));
  QPainter p(this);
  p.drawImage(0, 0, image);
}

void TJogImage::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QWidget::mousePressEvent(event);
    return;
  }
  Q_EMIT pressed(this, event->position().toPoint());
}

void TJogImage::mouseMoveEvent(QMouseEvent* event) {
  if (!(event->buttons() & Qt::LeftButton)) {
    QWidget::mouseMoveEvent(event);
    return;
  }
  Q_EMIT moved(this, event->position().toPoint());
}

void TJogImage::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QWidget::mouseReleaseEvent(event);
    return;
  }
  Q_EMIT released(this, event->position().toPoint());
}
