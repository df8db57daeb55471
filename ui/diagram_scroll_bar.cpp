#include "ui/diagram_scroll_bar.h"

#include <QPainter>
#include <QStyleOptionSlider>

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
  if (key != sliderKey_ || slider_.isNull()) {
    slider_ = draw(slider.size() + QSize(2 * kMargin, 2 * kMargin),
                   QPoint(kMargin, kMargin) - slider.topLeft(), QStyle::SC_ScrollBarSlider);
    sliderKey_ = key;
  }
  QPainter p(this);
  p.drawImage(0, 0, groove_);
  if (slider.isValid()) p.drawImage(slider.topLeft() - QPoint(kMargin, kMargin), slider_);
}
