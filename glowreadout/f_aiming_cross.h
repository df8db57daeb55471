#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QWidget>

class QLabel;
class QTimer;
class TfMain;

// The aiming cross of a display: a 30 x 30 window without frame, always on
// top, of which only the cross shows. The user drags it to the spot the
// display's value belongs to; its position goes to the main program when it
// is let go.
class TfAimingCross : public QWidget {
  Q_OBJECT

 public:
  explicit TfAimingCross(TfMain* display);

  // Redraws the cross picture: white (see-through), in contrast mode the
  // black outline, then the arms in `color`.
  void DrawCross(const QColor& color, bool contrast);
  // The picture DrawCross makes, white being the see-through colour.
  static QImage CrossPicture(const QColor& color, bool contrast);
  const QImage& Picture() const { return picture_; }

  // The cross image is shown (it blinks while its display is dragged).
  void SetImageVisible(bool visible);
  bool ImageVisible() const { return imageVisible_; }
  // -1 until the window is first placed.
  int Left() const { return placed_ ? x() : -1; }
  int Top() const { return placed_ ? y() : -1; }
  void Place(const QPoint& topLeft);
  void SetGripImage(const QImage& image);

  static constexpr int kSize = 30;

  QTimer* Timer1 = nullptr;
  QTimer* Timer2 = nullptr;
  QTimer* Timer3 = nullptr;
  QLabel* Image2 = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void Timer2Timer();
  void Timer3Timer();

  TfMain* display_;
  QImage picture_;
  QImage shown_;
  bool imageVisible_ = true;
  bool placed_ = false;
  bool FDragging = false;
  int FDragOffsetX = 0, FDragOffsetY = 0;
};
