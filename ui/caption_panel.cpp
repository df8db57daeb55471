#include "ui/caption_panel.h"

#include <QPainter>

CaptionPanel::CaptionPanel(QWidget* parent) : QFrame(parent) {
  setFrameStyle(QFrame::Panel | QFrame::Raised);
  setLineWidth(1);
}

void CaptionPanel::SetCaption(const QString& caption) {
  if (caption == caption_) return;
  caption_ = caption;
  update();
}

void CaptionPanel::SetAlignment(Qt::Alignment alignment) {
  alignment_ = alignment;
  update();
}

void CaptionPanel::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  if (caption_.isEmpty()) return;
  QPainter painter(this);
  painter.setPen(palette().color(foregroundRole()));
  const int margin = frameWidth() + 2;
  // A caption wider than the panel goes on to further lines.
  painter.drawText(rect().adjusted(margin, margin, -margin, -margin),
                   static_cast<int>(alignment_) | Qt::TextShowMnemonic | Qt::TextWordWrap, caption_);
}
