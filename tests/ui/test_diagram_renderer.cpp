#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "ui/diagram_model.h"
#include "ui/diagram_renderer.h"

namespace {

constexpr int kGraphs = 3;
constexpr int kClientWidth = 640, kClientHeight = 360;
const QSize kBuffer(kClientWidth - 19, kClientHeight - 19);
const QColor kBackground(240, 240, 240);

// A chart fed like a live one: slots appended at the right, the window
// following them at a constant width.
struct LiveChart {
  TDiagramModel model;
  std::mt19937 rng{17};
  std::int64_t next = 0;
  double noise = 1.0;  // height of the noise band
  int nanEvery = 0;    // every n-th slot of graph 1 is not a number (0: never)

  LiveChart(std::int64_t maxData, TDiagramMemoryMode mode, int penWidth) {
    model.SetGraphCount(kGraphs);
    model.SetResolution(0.001);
    model.SetYRangeMin(-100);
    model.SetYRangeMax(100);
    model.SetMaxData(maxData);
    model.SetMemoryMode(mode);
    model.Reset(smLocal, 0, 10);
    model.SetYMin(-20);
    model.SetYMax(60);
    for (int g = 0; g < kGraphs; ++g) {
      TGraphProperties p;
      p.ShowDiagram = true;
      p.Color = 0x0000C0u << (g * 8);
      p.PenWidth = g == 2 ? penWidth : 1;
      model.SetGraph(g, p);
    }
  }
  void Feed(std::int64_t slots) {
    std::uniform_real_distribution<float> d(0, 1);
    for (std::int64_t k = 0; k < slots; ++k, ++next) {
      float v[kGraphs];
      for (int g = 0; g < kGraphs; ++g)
        v[g] = static_cast<float>(10 * g + 15 * std::sin(static_cast<double>(next) / 700.0) + noise * d(rng));
      if (next % 4099 == 0) v[0] = 95;  // a one-slot spike
      if (nanEvery && next % nanEvery < nanEvery / 4) v[1] = NAN;
      model.AddValues(std::span<const float>(v, kGraphs), static_cast<double>(next) * 0.001);
      model.DropOverflow();
    }
  }
  // The window of `width` slots ending at the newest slot; then, as a
  // chart following its data, the window of the same width.
  void Follow(std::int64_t width) {
    const double end = static_cast<double>(next) * 0.001;
    if (width != followed) {
      model.SetXConstDiff(false);
      model.SetXMin(end - static_cast<double>(width) * 0.001);
      followed = width;
    }
    model.SetXConstDiff(true);
    model.SetXMax(end);
  }
  std::int64_t followed = 0;
};

// A chart with 7000 slots following a window of 6000, and its renderer
// after a first drawing.
struct Following {
  LiveChart chart{1'000'000, dmmStop, 1};
  TDiagramRenderer live;
  Following() {
    chart.Feed(7'000);
    chart.Follow(6'000);
    Render();
  }
  bool Render() { return live.Render(chart.model, kBuffer, kClientWidth, kClientHeight, kBackground); }
};

QImage FullDrawing(const TDiagramModel& model) {
  TDiagramRenderer fresh;
  fresh.SetScrolling(false);
  EXPECT_FALSE(fresh.Render(model, kBuffer, kClientWidth, kClientHeight, kBackground));
  return fresh.Image();
}

// Every drawing that moves the previous picture gives the very pixels of a
// full drawing of the same window, for a table of zooms (from several
// pixels per slot to many slots per pixel), of slots per update (less than
// a pixel, a few pixels, more than the plot) and of data (gaps of missing
// values, an overwrite buffer that drops its oldest slots), each with a
// pen one, two and three pixels wide, and a pen too wide to be moved.
TEST(DiagramRenderer, AMovedPictureEqualsAFullDrawing) {
  struct Case {
    const char* name;
    std::int64_t width;  // window width in slots
    std::int64_t step;   // slots per update
    int nanEvery = 0;
    TDiagramMemoryMode mode = dmmStop;
    int penWidth = 0;  // 0: each of 1, 2 and 3
    double noise = 1.0;
  };
  const Case cases[] = {
      {"points, several pixels per slot", 150, 7},
      {"points, under two slots per pixel", 900, 13},
      {"columns, ten slots per pixel", 6'000, 57},
      {"columns, under a pixel per update", 6'000, 3},
      {"columns, a hundred slots per pixel", 60'000, 1'150},
      {"columns, a wide noise band", 20'000, 400, 0, dmmStop, 0, 40.0},
      {"columns, a jump wider than the plot", 6'000, 9'000},
      {"columns, gaps of missing values", 6'000, 57, 3'000},
      {"points, gaps of missing values", 300, 5, 120},
      {"columns, overwrite buffer", 6'000, 211, 0, dmmOverwrite},
      {"columns, a pen too wide to move draws everything", 6'000, 57, 0, dmmStop,
       TDiagramPainter::kMaxDrawnPen + 4},
  };
  for (const Case& k : cases)
    for (int pen = 1; pen <= 3; ++pen) {
      const int penWidth = k.penWidth ? k.penWidth : pen;
      if (k.penWidth && pen > 1) break;
      SCOPED_TRACE(std::string(k.name) + ", pen " + std::to_string(penWidth));
      LiveChart chart(k.mode == dmmOverwrite ? 20'000 : 1'000'000, k.mode, penWidth);
      chart.noise = k.noise;
      chart.nanEvery = k.nanEvery;
      chart.Feed(k.width + 1000);
      TDiagramRenderer live;
      int moved = 0;
      for (int update = 0; update < 40; ++update) {
        chart.Feed(k.step);
        chart.Follow(k.width);
        if (live.Render(chart.model, kBuffer, kClientWidth, kClientHeight, kBackground)) ++moved;
        const QImage full = FullDrawing(chart.model);
        ASSERT_EQ(live.Image(), full) << "update " << update << ", window " << chart.model.WindowStart()
                                      << "+" << chart.model.WindowWidth();
      }
      // A gap at the left edge of the window draws everything.
      if (penWidth > TDiagramPainter::kMaxDrawnPen || k.step > k.width)
        EXPECT_EQ(moved, 0);
      else
        EXPECT_GT(moved, k.nanEvery ? 20 : 36);
    }
}

// Samples whose time goes backwards write stored slots again: the next
// drawing shows them.
TEST(DiagramRenderer, SlotsWrittenAgainAreDrawnAgain) {
  Following f;
  for (int round = 0; round < 5; ++round) {
    f.chart.next -= 300;  // back by a few pixels, then on past the old end
    f.chart.noise = 30.0 * (round + 1);
    f.chart.Feed(420);
    f.chart.Follow(6'000);
    f.Render();
    ASSERT_EQ(f.live.Image(), FullDrawing(f.chart.model)) << "round " << round;
  }
}

// A change of anything but the window's place draws everything again.
TEST(DiagramRenderer, OtherChangesDrawEverything) {
  Following f;
  auto next = [&](std::int64_t width) {
    f.chart.Feed(57);
    f.chart.Follow(width);
    return f.Render();
  };
  EXPECT_TRUE(next(6'000));

  f.chart.model.SetYMax(70);  // a new Y scale
  EXPECT_FALSE(next(6'000));
  EXPECT_EQ(f.live.Image(), FullDrawing(f.chart.model));

  TGraphProperties p = f.chart.model.Graph(1);  // a new colour
  p.Color = 0x00123456;
  f.chart.model.SetGraph(1, p);
  EXPECT_FALSE(f.Render());
  EXPECT_EQ(f.live.Image(), FullDrawing(f.chart.model));

  EXPECT_FALSE(next(6'500));  // a wider window
  EXPECT_EQ(f.live.Image(), FullDrawing(f.chart.model));

  f.live.Invalidate();  // what the chart does when its data change as a whole
  EXPECT_FALSE(f.Render());
}

// The main window draws its values through a unit conversion. While the
// conversion stays, a chart following its data moves its picture and gives
// the pixels of a full drawing; a switch of the unit draws everything.
TEST(DiagramRenderer, AConvertedChartMovesAndSwitchingTheUnitDrawsEverything) {
  LiveChart chart(1'000'000, dmmStop, 2);
  bool fahrenheit = false;
  chart.model.OnProcessDiagramPaint = [&fahrenheit](double v) { return fahrenheit ? v * 1.8 + 32.0 : v; };
  chart.Feed(11'000);
  TDiagramRenderer live;
  int moved = 0;
  for (int update = 0; update < 40; ++update) {
    if (update == 20) fahrenheit = true;
    chart.Feed(115);
    chart.Follow(10'000);
    const bool move = live.Render(chart.model, kBuffer, kClientWidth, kClientHeight, kBackground);
    if (update == 20) {
      EXPECT_FALSE(move);
    }
    if (move) ++moved;
    ASSERT_EQ(live.Image(), FullDrawing(chart.model)) << "update " << update;
  }
  EXPECT_EQ(moved, 38);  // all but the first drawing and the unit switch
}

// Whatever changes other than the window's place draws everything, and
// the picture equals a full drawing. The chart holds an overwrite buffer
// that is full, so its oldest slots are dropped at every update.
TEST(DiagramRenderer, EveryChangeButAMoveDrawsEverything) {
  struct Case {
    const char* name;
    std::function<void(LiveChart&, bool& fahrenheit)> change;
    bool follow = true;  // the window then follows the data at its width
    QSize buffer = kBuffer;
  };
  auto graph = [](LiveChart& c, int g, const std::function<void(TGraphProperties&)>& edit) {
    TGraphProperties p = c.model.Graph(g);
    edit(p);
    c.model.SetGraph(g, p);
  };
  const Case cases[] = {
      {"Y limits", [](LiveChart& c, bool&) { c.model.SetYMax(70); }},
      {"Y decimals", [](LiveChart& c, bool&) { c.model.SetYDecimal(2); }},
      {"grid colour", [](LiveChart& c, bool&) { c.model.SetGridColor(0x00808080); }},
      {"graph colour", [&](LiveChart& c, bool&) { graph(c, 1, [](auto& p) { p.Color = 0x00123456; }); }},
      {"graph hidden", [&](LiveChart& c, bool&) { graph(c, 0, [](auto& p) { p.ShowDiagram = false; }); }},
      {"pen width", [&](LiveChart& c, bool&) { graph(c, 2, [](auto& p) { p.PenWidth = 3; }); }},
      {"unit switched", [](LiveChart&, bool& f) { f = true; }},
      {"wider window", [](LiveChart& c, bool&) { c.Follow(6'500); }},
      {"zoom in", [](LiveChart& c, bool&) { c.model.XZoomIn(); }, false},
      {"zoom out", [](LiveChart& c, bool&) { c.model.XZoomOut(); }, false},
      {"window moved back",
       [](LiveChart& c, bool&) {
         c.model.SetXConstDiff(false);
         c.model.SetXWindow(c.model.WindowStart() - 500, c.model.WindowEnd() - 500);
       },
       false},
      {"hold", [](LiveChart& c, bool&) { c.model.ToggleHold(); }, false},
      {"slots written again",
       [](LiveChart& c, bool&) {
         c.next -= 300;
         c.noise = 30.0;
         c.Feed(300);
       }},
      {"a new measurement",
       [](LiveChart& c, bool&) {
         c.model.Reset(smLocal, 0, 10);
         c.next = 0;
         c.followed = 0;
         c.Feed(7'000);
       }},
      {"message shown", [](LiveChart& c, bool&) { c.model.SetDiaMessage(QStringLiteral("STOPPED")); }},
      {"larger buffer", [](LiveChart&, bool&) {}, true, kBuffer + QSize(10, 0)},
      {"smaller buffer", [](LiveChart&, bool&) {}, true, kBuffer - QSize(0, 10)},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    LiveChart chart(9'000, dmmOverwrite, 2);
    bool fahrenheit = false;
    chart.model.OnProcessDiagramPaint = [&fahrenheit](double v) { return fahrenheit ? v * 1.8 + 32.0 : v; };
    chart.Feed(12'000);
    TDiagramRenderer live;
    auto render = [&](QSize buffer) {
      return live.Render(chart.model, buffer, buffer.width() + 19, buffer.height() + 19, kBackground);
    };
    auto full = [&](QSize buffer) {
      TDiagramRenderer fresh;
      fresh.SetScrolling(false);
      fresh.Render(chart.model, buffer, buffer.width() + 19, buffer.height() + 19, kBackground);
      return fresh.Image();
    };
    for (int update = 0; update < 3; ++update) {
      chart.Feed(57);
      chart.Follow(6'000);
      EXPECT_EQ(render(kBuffer), update > 0);
    }
    chart.Feed(57);
    k.change(chart, fahrenheit);
    if (k.follow) chart.Follow(chart.followed ? chart.followed : 6'000);
    EXPECT_FALSE(render(k.buffer));
    ASSERT_EQ(live.Image(), full(k.buffer));
    // And on from there, moved or not, the picture stays right.
    for (int update = 0; update < 3; ++update) {
      chart.Feed(57);
      if (k.follow) chart.Follow(chart.followed);
      render(k.buffer);
      ASSERT_EQ(live.Image(), full(k.buffer)) << "update " << update << " after the change";
    }
  }
}

// A message lies over the curves; once it is taken away the picture shows
// again what lay under it.
TEST(DiagramRenderer, AMessageComesAndGoesOverAMovingChart) {
  Following f;
  const char* messages[] = {"", "", "MEASUREMENT STOPPED !", "MEASUREMENT STOPPED !", "", "", ""};
  std::vector<bool> moved;
  for (const char* text : messages) {
    f.chart.model.SetDiaMessage(QString::fromLatin1(text));
    f.chart.Feed(57);
    f.chart.Follow(6'000);
    moved.push_back(f.Render());
    ASSERT_EQ(f.live.Image(), FullDrawing(f.chart.model)) << "message \"" << text << "\"";
  }
  EXPECT_EQ(moved, (std::vector<bool>{true, true, false, false, false, true, true}));
}

}  // namespace
