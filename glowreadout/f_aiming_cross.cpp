#include "glowreadout/f_aiming_cross.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QTimer>
#include <array>

#include "glowreadout/f_main.h"
#include "glowreadout/grip_image.h"
#include "platform/display_link_protocol.h"

namespace {

// Left, top, right, bottom; right and bottom excluded.
struct Box {
  int l, t, r, b;
};
constexpr std::array<Box, 4> kOutline{{{0, 13, 11, 17}, {18, 13, 29, 17}, {13, 0, 17, 11}, {13, 18, 17, 29}}};
constexpr std::array<Box, 4> kArms{{{1, 14, 10, 16}, {19, 14, 28, 16}, {14, 1, 16, 10}, {14, 19, 16, 28}}};

void Fill(QImage& image, const Box& b, const QColor& color) {
  QPainter p(&image);
  p.fillRect(QRect(QPoint(b.l, b.t), QPoint(b.r - 1, b.b - 1)), color);
}

}  // namespace

TfAimingCross::TfAimingCross(TfMain* display)
    : QWidget(nullptr,
              Qt::Tool | Qt::WindowStaysOnTopHint | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint),
      display_(display) {
  setObjectName(QStringLiteral("fAimingCross"));
  setAttribute(Qt::WA_TranslucentBackground);
  setFixedSize(kSize, kSize);
  Image2 = new QLabel(this);
  Image2->setObjectName(QStringLiteral("Image2"));
  Image2->setFixedSize(GripImage::kSize, GripImage::kSize);
  Image2->move((kSize - GripImage::kSize) / 2, (kSize - GripImage::kSize) / 2);
  Image2->setAttribute(Qt::WA_TransparentForMouseEvents);
  Image2->hide();
  Timer1 = new QTimer(this);
  Timer1->setSingleShot(true);
  Timer1->setInterval(100);
  connect(Timer1, &QTimer::timeout, this, [this] { raise(); });
  Timer2 = new QTimer(this);
  Timer2->setInterval(250);
  connect(Timer2, &QTimer::timeout, this, &TfAimingCross::Timer2Timer);
  Timer3 = new QTimer(this);
  Timer3->setInterval(250);
  connect(Timer3, &QTimer::timeout, this, &TfAimingCross::Timer3Timer);
  picture_ = CrossPicture(Qt::black, false);
  move(-1, -1);
}

QImage TfAimingCross::CrossPicture(const QColor& color, bool contrast) {
  QImage image(kSize, kSize, QImage::Format_RGB32);
  image.fill(Qt::white);
  if (contrast) {
    for (const Box& b : kOutline) Fill(image, b, Qt::black);
  }
  for (const Box& b : kArms) Fill(image, b, color);
  return image;
}

void TfAimingCross::DrawCross(const QColor& color, bool contrast) {
  picture_ = CrossPicture(color, contrast);
  // White is the see-through colour of the picture.
  shown_ = picture_.convertToFormat(QImage::Format_ARGB32);
  const QRgb white = QColor(Qt::white).rgb();
  for (int yy = 0; yy < shown_.height(); ++yy) {
    auto* line = reinterpret_cast<QRgb*>(shown_.scanLine(yy));
    for (int xx = 0; xx < shown_.width(); ++xx) {
      if (line[xx] == white) line[xx] = 0;
    }
  }
  update();
}

void TfAimingCross::SetImageVisible(bool visible) {
  if (imageVisible_ == visible) return;
  imageVisible_ = visible;
  update();
}

void TfAimingCross::Place(const QPoint& topLeft) {
  placed_ = true;
  move(topLeft);
}

void TfAimingCross::SetGripImage(const QImage& image) { Image2->setPixmap(QPixmap::fromImage(image)); }

void TfAimingCross::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  DrawCross(Qt::black, false);
  Timer1->start();
  Timer3->start();
}

void TfAimingCross::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setCompositionMode(QPainter::CompositionMode_Source);
  p.fillRect(rect(), Qt::transparent);
  if (imageVisible_) p.drawImage(0, 0, shown_);
}

void TfAimingCross::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  FDragging = true;
  const QPoint c = event->globalPosition().toPoint();
  FDragOffsetX = c.x() - x();
  FDragOffsetY = c.y() - y();
  Timer2->start();
}

void TfAimingCross::mouseMoveEvent(QMouseEvent* event) {
  if (!FDragging) return;
  const QPoint c = event->globalPosition().toPoint();
  Place(QPoint(c.x() - FDragOffsetX, c.y() - FDragOffsetY));
}

void TfAimingCross::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  FDragging = false;
  Timer2->stop();
  display_->SetDisplayColor(display_->Shape1Brush());
  display_->SetTextVisible(true);
  display_->ShowValueText();
  display_->Report(DisplayLink::ReportCode::CrossX, x());
  display_->Report(DisplayLink::ReportCode::CrossY, y());
}

void TfAimingCross::Timer2Timer() {
  display_->SetTextVisible(!display_->TextVisible());
  display_->ShowValueText();
}

void TfAimingCross::Timer3Timer() { Image2->setVisible(GripImage::Shown(frameGeometry())); }
