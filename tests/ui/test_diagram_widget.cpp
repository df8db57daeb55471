#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QToolButton>
#include <stdexcept>

#include "platform/logger.h"
#include "ui/diagram.h"
#include "ui/diagram_scroll_bar.h"

namespace {

// A chart of 400 x 300 pixels with one shown graph and a ramp of data.
struct ChartFixture : ::testing::Test {
  TDiagram chart;
  void SetUp() override {
    chart.resize(400, 300);
    chart.SetResolution(0.01);
    chart.SetYRangeMin(-10);
    chart.SetYRangeMax(110);
    chart.SetMaxData(100000);
    chart.Reset(smLocal, 0, 10);
    TGraphProperties g;
    g.ShowDiagram = true;
    g.RangeDiagram = true;
    g.PenWidth = 2;
    g.Color = 0x000000FF;  // red
    chart.SetGraph(0, g);
    for (int i = 0; i <= 1000; ++i) {
      const float v = static_cast<float>(i % 100);
      chart.AddValues(std::span<const float>(&v, 1), i * 0.01);
    }
    chart.SetYMin(-10);
    chart.SetYMax(110);
    chart.SetXMax(10);
  }
  template <class T>
  T* Child(const char* name) {
    T* w = chart.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
};

TEST_F(ChartFixture, ControlsArePlacedByTheLayoutTable) {
  const int W = 400, H = 300, B = TDiagram::ButtonSize;
  struct Case {
    const char* name;
    QRect rect;
  };
  const Case cases[] = {
      {"PaintBox", {0, 0, W - B - 1, H - B - 1}}, {"XScrollBar", {0, H - B, W - 4 * B, B}},
      {"XZoomIn", {W - 4 * B, H - B, B, B}},      {"XZoomOut", {W - 3 * B, H - B, B, B}},
      {"XZoomFull", {W - 2 * B, H - B, B, B}},    {"YScaleGlobal", {W - B, 0, B, B}},
      {"YScaleLocal", {W - B, B, B, B}},          {"YScrollBar", {W - B, 2 * B, B, H - 6 * B}},
      {"YZoomIn", {W - B, H - 4 * B, B, B}},      {"YZoomOut", {W - B, H - 3 * B, B, B}},
      {"YZoomFull", {W - B, H - 2 * B, B, B}},    {"HoldContinue", {W - B, H - B, B, B}},
  };
  (void)chart.BackBuffer();
  for (const Case& k : cases) {
    QWidget* w = Child<QWidget>(k.name);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->geometry(), k.rect) << k.name;
  }
  EXPECT_EQ(chart.BackBuffer().size(), QSize(W - B - 1, H - B - 1));
}

TEST_F(ChartFixture, ZoomButtonsWorkTheWindowAndReportIt) {
  int reports = 0;
  chart.OnXRange = [&](QObject* sender, double, double) {
    EXPECT_EQ(sender, &chart);
    ++reports;
  };
  const auto width = chart.WindowWidth();
  Child<QPushButton>("XZoomIn")->click();
  EXPECT_EQ(chart.WindowWidth(), width - 2 * (width / 4));
  EXPECT_EQ(chart.XScaleMode(), smManual);
  Child<QPushButton>("XZoomFull")->click();
  EXPECT_EQ(chart.WindowStart(), chart.XRangeMin());
  EXPECT_EQ(chart.WindowEnd(), chart.XRangeMax());
  EXPECT_EQ(reports, 2);
  chart.SetYMin(0);
  chart.SetYMax(100);
  Child<QPushButton>("YZoomIn")->click();
  EXPECT_EQ(chart.YMin(), 25);
  EXPECT_EQ(chart.YMax(), 75);
  Child<QPushButton>("YZoomFull")->click();
  EXPECT_EQ(chart.YMin(), -10);
  EXPECT_EQ(chart.YMax(), 110);
}

TEST_F(ChartFixture, HoldButtonAndScaleButtonsFollowTheModes) {
  chart.SetHintHold(QStringLiteral("Hold"));
  chart.SetHintContinue(QStringLiteral("Continue"));
  auto* hold = Child<QPushButton>("HoldContinue");
  EXPECT_EQ(hold->text(), QStringLiteral("H"));
  EXPECT_EQ(hold->toolTip(), QStringLiteral("Hold"));
  hold->click();
  EXPECT_EQ(chart.XScaleMode(), smManual);
  EXPECT_EQ(hold->text(), QStringLiteral("C"));
  EXPECT_EQ(hold->toolTip(), QStringLiteral("Continue"));
  chart.SetXScaleMode(smGlobal);
  chart.SetHintHold(QStringLiteral("Hold!"));
  EXPECT_TRUE(hold->toolTip().isEmpty());
  chart.SetEnableContinue(false);
  EXPECT_FALSE(hold->isEnabled());

  auto* g = Child<QToolButton>("YScaleGlobal");
  auto* l = Child<QToolButton>("YScaleLocal");
  g->click();
  EXPECT_EQ(chart.YScaleMode(), smGlobal);
  EXPECT_TRUE(g->isChecked());
  EXPECT_FALSE(l->isChecked());
  l->click();
  EXPECT_EQ(chart.YScaleMode(), smLocal);
  EXPECT_FALSE(g->isChecked());
  EXPECT_TRUE(l->isChecked());
  chart.SetYScaleMode(smManual);
  EXPECT_FALSE(g->isChecked());
  EXPECT_FALSE(l->isChecked());
}

TEST_F(ChartFixture, MovingTheScrollBarMovesTheWindow) {
  chart.SetXWindow(0, 200);
  auto* bar = Child<QScrollBar>("XScrollBar");
  EXPECT_EQ(bar->pageStep(), 200);
  EXPECT_EQ(bar->maximum(), chart.XRangeMax() - 200);
  bar->setValue(300);
  EXPECT_EQ(chart.WindowStart(), 300);
  EXPECT_EQ(chart.WindowEnd(), 500);
  EXPECT_EQ(chart.XScaleMode(), smManual);

  chart.SetYScaleMode(smGlobal);
  auto* ybar = Child<QScrollBar>("YScrollBar");
  chart.SetYMin(0);
  chart.SetYMax(60);
  chart.UpdateScrollBars();
  ybar->setValue(ybar->minimum());
  EXPECT_NEAR(chart.YMax(), 110, 1e-9);
  EXPECT_EQ(chart.YScaleMode(), smManual);
}

TEST_F(ChartFixture, CopyToClipboardGivesThePictureOfTheChart) {
  QGuiApplication::clipboard()->clear();
  chart.CopyToClipboard();
  const QImage image = QGuiApplication::clipboard()->image();
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.size(), chart.BackBuffer().size());
  // axes in black and the curve in red are on it
  bool black = false, red = false;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QRgb p = image.pixel(x, y);
      black = black || (qRed(p) == 0 && qGreen(p) == 0 && qBlue(p) == 0);
      red = red || (qRed(p) == 255 && qGreen(p) == 0 && qBlue(p) == 0);
    }
  EXPECT_TRUE(black);
  EXPECT_TRUE(red);
}

TEST_F(ChartFixture, ATooLowChartShowsOnlyItsBackgroundAndMessage) {
  chart.SetColor(0x00FFFFFF);
  chart.resize(400, 30);
  const QImage plain = chart.BackBuffer();
  for (int y = 0; y < plain.height(); ++y)
    for (int x = 0; x < plain.width(); ++x) ASSERT_EQ(plain.pixel(x, y), qRgb(255, 255, 255));
  chart.resize(400, 300);
  chart.SetDiaMessage(QStringLiteral("MEASUREMENT STOPPED !"));
  const QImage withMessage = chart.BackBuffer();
  bool grey = false;
  for (int y = 0; y < withMessage.height() && !grey; ++y)
    for (int x = 0; x < withMessage.width(); ++x)
      if (withMessage.pixel(x, y) == qRgb(0xE0, 0xE0, 0xE0)) grey = true;
  EXPECT_TRUE(grey);
}

TEST_F(ChartFixture, ManyChangesCostOneDrawing) {
  (void)chart.BackBuffer();
  const auto before = chart.RenderCount();
  for (int i = 0; i < 1000; ++i) {
    chart.SetYMin(-i * 0.01);
    chart.SetXMax(5 + i * 0.001);
  }
  EXPECT_EQ(chart.RenderCount(), before);
  (void)chart.BackBuffer();
  EXPECT_EQ(chart.RenderCount(), before + 1);
}

// A value transform that throws ends a drawing without ending the program;
// the failure is logged once while it lasts, and again after a good drawing.
TEST_F(ChartFixture, AFailingValueTransformIsLoggedOnceWhileItFails) {
  Logger::Capture log;
  bool fail = true;
  chart.OnProcessDiagramPaint = [&fail](double v) {
    if (fail) throw std::runtime_error("no unit");
    return v;
  };
  auto failures = [&log] {
    int n = 0;
    for (const Logger::Record& r : log.Records()) n += r.text.contains(QStringLiteral("no unit")) ? 1 : 0;
    return n;
  };
  for (int i = 0; i < 3; ++i) {
    chart.SetYMin(-10 - i);
    (void)chart.BackBuffer();
  }
  EXPECT_EQ(failures(), 1);
  fail = false;
  chart.SetYMin(-20);
  (void)chart.BackBuffer();
  fail = true;
  chart.SetYMin(-21);
  (void)chart.BackBuffer();
  EXPECT_EQ(failures(), 2);
}

TEST_F(ChartFixture, PlotAreaMouseReachesTheChartsEvents) {
  int downs = 0;
  chart.OnMouseDown = [&](QObject* s, Qt::MouseButton b, Qt::KeyboardModifiers, int x, int y) {
    EXPECT_EQ(s, &chart);
    EXPECT_EQ(b, Qt::LeftButton);
    EXPECT_EQ(x, 20);
    EXPECT_EQ(y, 30);
    ++downs;
  };
  QWidget* box = Child<QWidget>("PaintBox");
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(20, 30), box->mapToGlobal(QPointF(20, 30)),
                    Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(box, &press);
  EXPECT_EQ(downs, 1);
}

// How many pixels of two pictures differ, and by how much at most.
std::pair<int, int> Difference(const QImage& a, const QImage& b) {
  int differing = 0, worst = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      const int d = std::max(
          {std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))});
      differing += d > 0;
      worst = std::max(worst, d);
    }
  return {differing, worst};
}

// The bar put together from the style's pictures of its parts looks like a
// plain scroll bar at every slider place (within the rounding of drawing the
// slider over the groove, a few pixels at its ends).
TEST(DiagramScrollBar, LooksLikeAPlainScrollBar) {
  struct Case {
    Qt::Orientation orientation;
    int value, page;
  };
  const Case cases[] = {{Qt::Horizontal, 0, 100},    {Qt::Horizontal, 500, 100}, {Qt::Horizontal, 1000, 100},
                        {Qt::Horizontal, 300, 1000}, {Qt::Vertical, 0, 50},      {Qt::Vertical, 700, 300},
                        {Qt::Vertical, 1000, 10}};
  for (const Case& k : cases) {
    QScrollBar plain(k.orientation);
    TDiagramScrollBar composed(k.orientation, nullptr);
    for (QScrollBar* bar : {&plain, static_cast<QScrollBar*>(&composed)}) {
      bar->resize(k.orientation == Qt::Horizontal ? QSize(400, 18) : QSize(18, 300));
      bar->setRange(0, 1000);
      bar->setPageStep(k.page);
      bar->setValue(k.value == 500 ? 0 : 500);
    }
    (void)composed.grab();  // the parts are drawn here, the slider moved below
    composed.setValue(k.value);
    plain.setValue(k.value);
    const QImage a = plain.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage b = composed.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(a.size(), b.size());
    const auto [differing, worst] = Difference(a, b);
    EXPECT_LE(differing, 2 * 18) << k.value << " " << k.page;
    EXPECT_LE(worst, 24) << k.value << " " << k.page;
  }
}

// Sliders of new lengths are put together from one the style drew, and
// still look like those of a plain scroll bar.
TEST(DiagramScrollBar, SlidersOfEveryLengthLookLikeAPlainScrollBars) {
  for (const Qt::Orientation orientation : {Qt::Horizontal, Qt::Vertical}) {
    QScrollBar plain(orientation);
    TDiagramScrollBar composed(orientation, nullptr);
    for (QScrollBar* bar : {&plain, static_cast<QScrollBar*>(&composed)}) {
      bar->resize(orientation == Qt::Horizontal ? QSize(600, 18) : QSize(18, 500));
      bar->setRange(0, 1000);
      bar->setValue(300);
    }
    int pages = 0;
    for (int page = 60; page <= 1400; page += 37, ++pages) {
      for (QScrollBar* bar : {&plain, static_cast<QScrollBar*>(&composed)}) {
        bar->setPageStep(page);
        bar->setMaximum(1000 + page / 3);
      }
      const QImage a = plain.grab().toImage().convertToFormat(QImage::Format_RGB32);
      const QImage b = composed.grab().toImage().convertToFormat(QImage::Format_RGB32);
      ASSERT_EQ(a.size(), b.size());
      const auto [differing, worst] = Difference(a, b);
      EXPECT_LE(differing, 2 * 18) << orientation << " page " << page;
      EXPECT_LE(worst, 24) << orientation << " page " << page;
    }
    EXPECT_LT(composed.StyleDrawings(), pages / 2) << orientation;
  }
}

TEST(DiagramScrollBar, IsDrawnAgainOnlyWhenTheSliderMovesOnScreen) {
  TDiagramScrollBar bar(Qt::Horizontal, nullptr);
  bar.resize(400, 18);
  bar.setRange(0, 10'000'000);
  bar.setPageStep(1'000'000);
  bar.setValue(5'000'000);
  const int before = bar.RepaintRequests();
  for (int k = 1; k <= 100; ++k) bar.setValue(5'000'000 + k);  // far below one pixel
  EXPECT_EQ(bar.RepaintRequests(), before);
  bar.setValue(6'000'000);
  EXPECT_EQ(bar.RepaintRequests(), before + 1);
  bar.setMaximum(10'000'010);  // the slider keeps its pixels
  EXPECT_EQ(bar.RepaintRequests(), before + 1);
  bar.setValue(bar.maximum());  // the end is reached: the arrow changes
  EXPECT_EQ(bar.RepaintRequests(), before + 2);
}

}  // namespace
