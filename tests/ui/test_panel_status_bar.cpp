// The status bar's panels: widths, the panel that takes the rest, and texts
// and widths that change without re-laying the window around the bar.

#include <gtest/gtest.h>

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QMainWindow>

#include "tests/support/wait_for.h"
#include "ui/panel_status_bar.h"

namespace {

// Counts the layout requests a widget gets.
class LayoutRequests : public QObject {
 public:
  explicit LayoutRequests(QWidget* w) { w->installEventFilter(this); }
  int count = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::LayoutRequest) ++count;
    return false;
  }
};

}  // namespace

TEST(PanelStatusBar, PanelsChangeWithoutReLayingTheWindow) {
  QMainWindow window;
  auto* central = new QLabel(QStringLiteral("chart"));
  window.setCentralWidget(central);
  auto* bar = new PanelStatusBar(&window);
  window.setStatusBar(bar);
  for (int w : {100, 35, 85, 45, 50, 200, 50}) bar->AddPanel(QStringLiteral("x"), w);
  bar->SetStretchPanel(4);
  bar->SetFitToText(1, 10);
  window.resize(800, 300);
  window.show();
  ASSERT_TRUE(
      test_support::WaitForEvents([&] { return bar->Panel(0)->parentWidget()->width() > 700; }, 2000));
  QApplication::processEvents();

  const int strip = bar->Panel(0)->parentWidget()->width();
  int others = 0;
  for (int i : {0, 2, 3, 5, 6}) others += bar->PanelWidth(i);
  others += bar->PanelGeometry(1).width();
  EXPECT_EQ(bar->PanelGeometry(4).width(), strip - others);
  EXPECT_EQ(bar->PanelGeometry(5).left(), bar->PanelGeometry(4).right() + 1);
  EXPECT_EQ(bar->PanelGeometry(6).right(), strip - 1);

  const QRect centralBefore = central->geometry();
  LayoutRequests windowRequests(&window);
  LayoutRequests barRequests(bar);
  // What the show left pending is not counted.
  QApplication::processEvents();
  windowRequests.count = barRequests.count = 0;
  for (int i = 0; i < 50; ++i) {
    bar->SetPanelText(2, QString(i % 9 + 1, QLatin1Char('8')));
    bar->SetPanelWidth(2, 20 + i % 9 * 7);
    bar->SetPanelText(4, QStringLiteral("file %1").arg(i));
    bar->SetPanelText(1, QString(i % 5 + 1, QLatin1Char('X')));
    QApplication::processEvents();
  }
  EXPECT_EQ(windowRequests.count, 0);
  EXPECT_EQ(barRequests.count, 0);
  EXPECT_EQ(central->geometry(), centralBefore);
  EXPECT_EQ(bar->PanelGeometry(2).width(), 20 + 49 % 9 * 7);
  EXPECT_EQ(bar->PanelGeometry(3).left(), bar->PanelGeometry(2).right() + 1);
  EXPECT_EQ(bar->PanelText(4), QStringLiteral("file 49"));
  EXPECT_EQ(bar->PanelGeometry(1).width(),
            bar->Panel(1)->fontMetrics().horizontalAdvance(QStringLiteral("XXXXX")) + 10);
  EXPECT_EQ(bar->PanelGeometry(2).left(), bar->PanelGeometry(1).right() + 1);
}

TEST(PanelStatusBar, OutOfRangeNumbersChangeNothing) {
  PanelStatusBar bar;
  EXPECT_EQ(bar.AddPanel(QStringLiteral("a"), 30), 0);
  bar.SetPanelText(3, QStringLiteral("x"));
  bar.SetPanelWidth(-1, 10);
  EXPECT_EQ(bar.PanelText(3), QString());
  EXPECT_EQ(bar.PanelWidth(0), 30);
  EXPECT_EQ(bar.Panel(1), nullptr);
  EXPECT_EQ(bar.PanelGeometry(1), QRect());
}
