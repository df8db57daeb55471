// The jog image widget: it shows the painter's state and reports the left
// button's press, drag and release with the position.

#include <gtest/gtest.h>

#include <QColor>
#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPoint>
#include <vector>

#include "setup_argo/jog_image.h"

namespace {

void Mouse(QWidget& w, QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons held, QPointF at) {
  QMouseEvent e(type, at, w.mapToGlobal(at), button, held, Qt::NoModifier);
  QApplication::sendEvent(&w, &e);
}

TEST(JogImage, ShowsItsStateAndReportsTheLeftButton) {
  TJogImage jog;
  jog.resize(24, 100);
  jog.show();
  struct Case {
    int state;
    QPoint at;
    QColor colour;
  };
  const Case cases[] = {{3, {12, 58}, Qt::green}, {-2, {12, 42}, Qt::cyan}, {9, {12, 58}, Qt::red}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.state);
    jog.SetState(c.state);
    const QImage shot = jog.grab().toImage();
    EXPECT_EQ(shot.pixelColor(c.at), c.colour);
  }
  EXPECT_EQ(jog.State(), 4);
  jog.SetState(0);
  EXPECT_EQ(jog.grab().toImage().pixelColor(12, 25), QColor(Qt::black));

  std::vector<std::pair<char, QPoint>> seen;
  QObject::connect(&jog, &TJogImage::pressed, [&](TJogImage* j, QPoint p) {
    EXPECT_EQ(j, &jog);
    seen.push_back({'p', p});
  });
  QObject::connect(&jog, &TJogImage::moved, [&](TJogImage*, QPoint p) { seen.push_back({'m', p}); });
  QObject::connect(&jog, &TJogImage::released, [&](TJogImage*, QPoint p) { seen.push_back({'r', p}); });
  Mouse(jog, QEvent::MouseButtonPress, Qt::RightButton, Qt::RightButton, {5, 5});
  Mouse(jog, QEvent::MouseMove, Qt::NoButton, Qt::RightButton, {5, 60});
  Mouse(jog, QEvent::MouseButtonRelease, Qt::RightButton, Qt::NoButton, {5, 60});
  Mouse(jog, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, {10, 20});
  Mouse(jog, QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, {10, 90});
  Mouse(jog, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, {10, 90});
  const std::vector<std::pair<char, QPoint>> expected = {
      {'p', {10, 20}}, {'m', {10, 90}}, {'r', {10, 90}}};
  EXPECT_EQ(seen, expected);
}

}  // namespace
