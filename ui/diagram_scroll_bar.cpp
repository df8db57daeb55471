#include "ui/diagram_scroll_bar.h"

#include <QPainter>
#include <QStyleOptionSlider>
#include <cstdlib>
#include <cstring>

TDiagramScrollBar::TDiagramScrollBar(Qt::Orientation orientation, QWidget* parent)
    : QScrollBar(orientation, parent) {
  shown_ = Look();
}

TDiagramScrollBar::TLook TDiagramScrollBar::Look() const {
  QStyleOptionSlider option;
  initStyleOption(&option);
  TLook look;
  look.Slider = style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this);
  look.AtMinimum = value() <= minimum();
  look.AtMaximum = value() >= maximum();
  return look;
}

void TDiagramScrollBar::sliderChange(SliderChange change) {
  const TLook look = Look();
  if (look == shown_) return;
  shown_ = look;
  ++repaintRequests_;
  QScrollBar::sliderChange(change);
}

void TDiagramScrollBar::resizeEvent(QResizeEvent* event) {
  QScrollBar::resizeEvent(event);
  shown_ = Look();  // a resize draws the whole bar anyway
}

QImage TDiagramScrollBar::SliderOfLength(int length) const {
  constexpr int kMargin = 4, kEnd = 10, kGrip = 10;
  const bool horizontal = orientation() == Qt::Horizontal;
  const int refLong = referenceLength_ + 2 * kMargin, newLong = length + 2 * kMargin;
  if (reference_.isNull() || referenceLength_ < 2 * (kEnd + kGrip) + 4 || length < 2 * (kEnd + kGrip) + 4)
    return QImage();
  const qreal dpr = reference_.devicePixelRatio();
  if (dpr != 1.0) return QImage();
  const QSize refSize = reference_.size();
  const QSize newSize = horizontal ? QSize(newLong, refSize.height()) : QSize(refSize.width(), newLong);
  QImage out(newSize, reference_.format());
  const int refCentre = kMargin + referenceLength_ / 2, newCentre = kMargin + length / 2;
  const int plain = kMargin + kEnd;
  // The reference line that makes line i of the new slider.
  auto source = [&](int i) {
    if (i < kMargin + kEnd) return i;
    if (i >= newLong - kMargin - kEnd) return i - newLong + refLong;
    if (std::abs(i - newCentre) <= kGrip) return i - newCentre + refCentre;
    return plain;
  };
  if (horizontal) {
    for (int y = 0; y < newSize.height(); ++y) {
      const auto* from = reinterpret_cast<const QRgb*>(reference_.constScanLine(y));
      auto* to = reinterpret_cast<QRgb*>(out.scanLine(y));
      for (int x = 0; x < newLong; ++x) to[x] = from[source(x)];
    }
  } else {
    for (int y = 0; y < newLong; ++y)
      std::memcpy(out.scanLine(y), reference_.constScanLine(source(y)),
                  static_cast<std::size_t>(out.bytesPerLine()));
  }
  return out;
}

void TDiagramScrollBar::paintEvent(QPaintEvent*) {
  QStyleOptionSlider option;
  initStyleOption(&option);
  const QRect slider =
      style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this);
  TPartsKey key;
  key.Size = size();
  key.Slider = slider.size();
  key.AtMinimum = value() <= minimum();
  key.AtMaximum = value() >= maximum();
  key.State = static_cast<int>(option.state);
  key.Active = static_cast<int>(option.activeSubControls);
  key.Palette = palette().cacheKey();
  key.Style = style();
  const qreal dpr = devicePixelRatioF();
  // The style may draw a little beyond the slider's rectangle.
  constexpr int kMargin = 4;
  // The style draws each part once for its look; as long as only the
  // slider's place (or, for the groove, the slider's length) changes, the
  // bar is put together from these pictures.
  auto draw = [&](QSize size, QPoint offset, QStyle::SubControls parts) {
    QImage image((QSizeF(size) * dpr).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.translate(offset);
    QStyleOptionSlider o = option;
    o.subControls = parts;
    style()->drawComplexControl(QStyle::CC_ScrollBar, &o, &p, this);
    ++styleDrawings_;
    return image;
  };
  if (GrooveKey(key) != grooveKey_ || groove_.isNull()) {
    groove_ = draw(size(), QPoint(),
                   QStyle::SubControls(QStyle::SC_All) & ~QStyle::SubControls(QStyle::SC_ScrollBarSlider));
    grooveKey_ = GrooveKey(key);
  }
  auto sameButLength = [](TPartsKey a, TPartsKey b) {
    a.Slider = b.Slider = QSize();
    return a == b;
  };
  if (key != sliderKey_ || slider_.isNull()) {
    const int length = orientation() == Qt::Horizontal ? slider.width() : slider.height();
    const bool sameLook = !reference_.isNull() && sameButLength(key, sliderKey_);
    QImage made;
    if (sameLook && stretchable_) made = SliderOfLength(length);
    if (made.isNull()) {
      made = draw(slider.size() + QSize(2 * kMargin, 2 * kMargin),
                  QPoint(kMargin, kMargin) - slider.topLeft(), QStyle::SC_ScrollBarSlider);
      // Sliders of other lengths are put together from the first one of a
      // look once one of them so made equals the style's own.
      stretchable_ = sameLook && SliderOfLength(length) == made;
      if (!stretchable_) {
        reference_ = made;
        referenceLength_ = length;
      }
    }
    slider_ = made;
    sliderKey_ = key;
  }
  QPainter p(this);
  p.drawImage(0, 0, groove_);
  if (slider.isValid()) p.drawImage(slider.topLeft() - QPoint(kMargin, kMargin), slider_);
}
