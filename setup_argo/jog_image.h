#pragma once

#include <QPoint>
#include <QWidget>

// One jog image of the ratio dialog: a grooved face drawn in one of its nine
// states (0 neutral, 1..4 up, -1..-4 down) by RatioDisplayJogPainter. It
// only reports the left mouse button's press, drag and release with the
// position in its own coordinates; stepping and writing are the owner's.
class TJogImage : public QWidget {
  Q_OBJECT

 public:
  explicit TJogImage(QWidget* parent = nullptr);

  // -4..4; values outside are clamped.
  void SetState(int state);
  int State() const { return state_; }

  QSize sizeHint() const override;

 Q_SIGNALS:
  void pressed(TJogImage* image, QPoint position);
  void moved(TJogImage* image, QPoint position);
  void released(TJogImage* image, QPoint position);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  int state_ = 0;
};
