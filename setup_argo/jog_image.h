#pragma once

#include <QPoint>
#include <QWidget>

// A jog image: a grooved face with triangles showing the direction and the
// speed of a value being stepped (state 0 neutral, 1..4 up, -1..-4 down).
// It paints itself and reports the left mouse button; the owner steps.
class TJogImage : public QWidget {
  Q_OBJECT

 public:
  explicit TJogImage(QWidget* parent = nullptr);

  void SetState(int state);
  int State() const { return state_; }
  QSize sizeHint() const override { return {22, 48}; }

 Q_SIGNALS:
  void pressed(TJogImage* image, QPoint pos);
  void moved(TJogImage* image, QPoint pos);
  void released(TJogImage* image, QPoint pos);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  int state_ = 0;
};
