#pragma once

#include <QImage>
#include <QRect>
#include <QScrollBar>
#include <QStyle>

// A scroll bar that is drawn again only when what it shows changes: the
// slider's place or length, or whether either end is reached. A chart that
// follows live data moves its bars' values on every update while the slider
// mostly stays on the same pixels, and where it moves, only the slider is
// moved: the bar keeps the style's picture of its groove and of its slider and
// puts the two together.
class TDiagramScrollBar : public QScrollBar {
 public:
  TDiagramScrollBar(Qt::Orientation orientation, QWidget* parent);

  // How many times a change asked for the bar to be drawn again, and how
  // many times the style drew its parts.
  int RepaintRequests() const { return repaintRequests_; }
  int StyleDrawings() const { return styleDrawings_; }

 protected:
  void sliderChange(SliderChange change) override;
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  struct TLook {
    QRect Slider;
    bool AtMinimum = false;
    bool AtMaximum = false;
    friend bool operator==(const TLook&, const TLook&) = default;
  };
  TLook Look() const;
  // What the style's picture of the parts depends on, besides the slider's
  // place (and, for the groove, its length).
  struct TPartsKey {
    QSize Size;
    QSize Slider;
    bool AtMinimum = false;
    bool AtMaximum = false;
    int State = 0;
    int Active = 0;
    qint64 Palette = 0;
    const QStyle* Style = nullptr;
    friend bool operator==(const TPartsKey&, const TPartsKey&) = default;
  };
  static TPartsKey GrooveKey(TPartsKey key) {
    key.Slider = QSize();
    return key;
  }

  // The slider of `length` pixels (along the bar) put together from the
  // reference picture of the slider: its ends, its middle (the style's grip)
  // and, between them, copies of one plain line across it. Null when the
  // reference is too short.
  QImage SliderOfLength(int length) const;

  TLook shown_;
  int repaintRequests_ = 0;
  int styleDrawings_ = 0;
  TPartsKey grooveKey_;
  TPartsKey sliderKey_;
  QImage groove_;  // everything but the slider
  QImage slider_;  // the slider alone, with a margin around it
  // The style's slider of `referenceLength_` pixels for the look in
  // `sliderKey_` (its length aside), and whether sliders of other lengths
  // put together from it equal the style's own.
  QImage reference_;
  int referenceLength_ = 0;
  bool stretchable_ = false;
};
