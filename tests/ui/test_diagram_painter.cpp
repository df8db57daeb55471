#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "ui/diagram_model.h"
#include "ui/diagram_painter.h"

namespace {

TEST(DiagramPainter, YGridStepSeries) {
  struct Case {
    double raw;
    int yDecimal;
    double step;
  };
  const Case cases[] = {{0.3, 1, 0.5},   {0.1, 1, 0.2}, {0.2, 1, 0.2},  {7, 0, 10},
                        {201, 1, 500},   {1e6, 1, 500}, {0.08, 2, 0.2}, {0.01, 2, 0.05},
                        {0.05, 2, 0.05}, {0.3, 3, 0.5}, {150, 2, 200},  {1e9, 2, 500}};
  for (const Case& k : cases) EXPECT_EQ(TDiagramPainter::YGridStep(k.raw, k.yDecimal), k.step) << k.raw;
}

TEST(DiagramPainter, XGridStepSeries) {
  const std::pair<double, double> cases[] = {{0.0001, 0.001}, {0.003, 0.005}, {0.7, 1},     {6.67, 10},
                                             {20000, 20000},  {20001, 50000}, {1e9, 50000}, {100, 100}};
  for (auto [raw, step] : cases) EXPECT_EQ(TDiagramPainter::XGridStep(raw), step) << raw;
}

TEST(DiagramPainter, SixtySecondsOverSixHundredPixelsGiveSixLabels) {
  const int P = 600, labelWidth = 40;
  const auto n = static_cast<int>(std::trunc(static_cast<double>(P) / (labelWidth + 4) / 1.5));
  EXPECT_EQ(n, 9);
  const double step = TDiagramPainter::XGridStep(60.0 / n);
  EXPECT_EQ(step, 10);
  EXPECT_EQ(std::nearbyint(60.0 / step), 6);
}

TEST(DiagramPainter, LastXLabelIsRightAlignedUnlessItCrowdsItsNeighbour) {
  struct Case {
    std::vector<int> xs, widths, lefts;
  };
  const Case cases[] = {
      {{100}, {40}, {60}},                              // alone: right-aligned
      {{100, 200, 300}, {40, 40, 40}, {80, 180, 260}},  // room: right-aligned
      {{100, 150}, {40, 40}, {80, 130}},                // 110 < 120 + 5: centred
      {{100, 165}, {40, 40}, {80, 125}},                // 125 = 120 + 5: right-aligned
      {{100, 164}, {40, 40}, {80, 144}},                // 124 < 125: centred
  };
  for (const Case& k : cases) EXPECT_EQ(TDiagramPainter::XLabelLefts(k.xs, k.widths), k.lefts);
}

TEST(DiagramPainter, MessageShrinksToFitButNotBelowEight) {
  EXPECT_EQ(TDiagramPainter::MessageFontSize([](int s) { return s; }, 1000), 128);
  EXPECT_EQ(TDiagramPainter::MessageFontSize([](int s) { return s; }, 100), 80);
  EXPECT_EQ(TDiagramPainter::MessageFontSize([](int s) { return 10 * s; }, 100), 8);
  EXPECT_EQ(TDiagramPainter::MessageFontSize([](int) { return 100000; }, 100), 8);
}

// A curve source over a plain vector, with extremes and their order found by
// scanning.
struct VectorSource {
  std::vector<float> v;
  TDiagramPainter::TCurveSource Source() const {
    TDiagramPainter::TCurveSource s;
    s.Value = [this](std::int64_t i) { return v[static_cast<std::size_t>(i)]; };
    s.Envelope = [this](int, std::int64_t a, std::int64_t b) {
      TDiagramStore::TEnvelope r;
      std::int64_t minSlot = 0, maxSlot = 0;
      for (std::int64_t i = a; i < b; ++i) {
        const float x = v[static_cast<std::size_t>(i)];
        if (!std::isfinite(x)) continue;
        if (!r.Found || x < r.Min) r.Min = x, minSlot = i;
        if (!r.Found || x > r.Max) r.Max = x, maxSlot = i;
        r.Found = true;
      }
      r.MinFirst = minSlot < maxSlot;
      return r;
    };
    return s;
  }
};

TDiagramPainter::TCurveGeometry Geometry(int P, std::int64_t width, std::int64_t limit) {
  TDiagramPainter::TCurveGeometry g;
  g.L = 30;
  g.B0 = 300;
  g.P = P;
  g.xs = static_cast<double>(P) / static_cast<double>(width);
  g.ys = -300.0 / 100.0;
  g.yLo = 0;
  g.Start = 0;
  g.Width = width;
  g.Limit = limit;
  return g;
}

TEST(DiagramPainter, ReductionKeepsAtMostThreePointsPerColumn) {
  std::mt19937 rng(1);
  std::uniform_real_distribution<float> d(0, 100);
  VectorSource src;
  for (int i = 0; i < 1001; ++i) src.v.push_back(d(rng));
  const auto pts = TDiagramPainter::CurvePoints(src.Source(), Geometry(100, 1000, 1001));
  EXPECT_LE(pts.size(), 301u);
  EXPECT_GT(pts.size(), 200u);
}

TEST(DiagramPainter, FewSlotsPerColumnDrawOnePointPerSlot) {
  VectorSource src;
  for (int i = 0; i < 50; ++i) src.v.push_back(static_cast<float>(i));
  const auto pts = TDiagramPainter::CurvePoints(src.Source(), Geometry(100, 40, 30));
  ASSERT_EQ(pts.size(), 30u);  // slots from the limit on are not drawn
  EXPECT_EQ(pts[10], QPoint(30 + 25, 300 - 30));
}

TEST(DiagramPainter, ColumnRulesPlaceExtremesInOrder) {
  // 4 slots per column; values chosen per column to hit each rule.
  VectorSource src;
  src.v = {10, 10, 10, 10,  // flat
           50, 20, 20, 20,  // the first slot is the highest
           20, 20, 80, 5,   // both inside: 80 before 5
           30, 30, 30, 30, 30};
  const auto pts = TDiagramPainter::CurvePoints(src.Source(), Geometry(4, 16, 17));
  auto y = [](double v) { return 300 + static_cast<int>(std::nearbyint(-3.0 * v)); };
  const std::vector<QPoint> want = {{30, y(10)},               // first point
                                    {31, y(50)},               // flat column: next column's first slot
                                    {31, y(20)}, {32, y(20)},  // i0 is the max: the other one, then i1
                                    {32, y(5)},  {33, y(80)}, {33, y(30)},  // later, earlier, i1
                                    {34, y(30)}};
  EXPECT_EQ(pts, want);
}

TEST(DiagramPainter, SummaryReductionEqualsTheScanAndKeepsAOneSlotSpike) {
  TDiagramModel m;
  m.SetResolution(0.001);
  m.SetMaxData(2'000'000);
  m.SetYRangeMin(-1000);
  m.SetYRangeMax(1000);
  m.Reset(smManual, 0, 1000);
  std::mt19937 rng(9);
  std::uniform_real_distribution<float> d(0, 50);
  VectorSource src;
  for (int i = 0; i < 1'000'001; ++i) {
    float v = d(rng);
    if (i == 765'432) v = 900;  // one slot
    src.v.push_back(v);
    m.AddValues(std::span<const float>(&v, 1), i * 0.001);
  }
  const auto geo = Geometry(600, 1'000'000, m.ShownLast());
  const auto fast = TDiagramPainter::CurvePoints(TDiagramPainter::ModelSource(m, 0), geo);
  const auto slow = TDiagramPainter::CurvePoints(src.Source(), geo);
  EXPECT_EQ(fast, slow);
  const int spikeRow = 300 + static_cast<int>(std::nearbyint(-3.0 * 900));
  bool seen = false;
  for (const QPoint& p : fast) seen = seen || p.y() == spikeRow;
  EXPECT_TRUE(seen);
}

// The polylines of every graph as a paint reads them (all graphs' column
// envelopes in one pass over the chunked store) equal those from a full
// scan, for a table of data sizes, windows and plot widths, with one-slot
// spikes on both sides of chunk and summary-cell borders.
TEST(DiagramPainter, AllGraphColumnsEqualTheScanAtEveryZoom) {
  constexpr int kGraphs = 3;
  struct Case {
    int slots;
    std::int64_t start, width;
    int P;
  };
  const Case cases[] = {
      {300'000, 0, 300'000, 1150},     {300'000, 0, 300'000, 97},    {300'000, 32'000, 5'000, 600},
      {300'000, 65'530, 20'000, 1150}, {300'000, 1'000, 250'000, 3}, {300'000, 299'000, 4'000, 800},
      {20'000, 0, 20'000, 1150},
  };
  std::mt19937 rng(29);
  std::uniform_real_distribution<float> d(0, 50);
  for (const Case& k : cases) {
    SCOPED_TRACE(::testing::Message()
                 << "slots " << k.slots << ", window " << k.start << "+" << k.width << ", columns " << k.P);
    TDiagramModel m;
    m.SetResolution(0.001);
    m.SetGraphCount(kGraphs);
    m.SetMaxData(1'000'000);
    m.SetYRangeMin(-1000);
    m.SetYRangeMax(1000);
    m.Reset(smManual, 0, 1000);
    for (int g = 0; g < kGraphs; ++g) {
      TGraphProperties p;
      p.ShowDiagram = true;
      m.SetGraph(g, p);
    }
    std::vector<VectorSource> src(kGraphs);
    for (int i = 0; i <= k.slots; ++i) {
      float v[kGraphs];
      for (float& x : v) x = d(rng);
      for (const int border : {16, 256, 4096, 32768})
        if (i % border == 0 || i % border == border - 1) v[(i / border) % kGraphs] = (i & 1) ? 900 : -900;
      if (i % 1001 == 7) v[i % kGraphs] = NAN;
      for (int g = 0; g < kGraphs; ++g) src[g].v.push_back(v[g]);
      m.AddValues(std::span<const float>(v, kGraphs), i * 0.001);
    }
    auto geo = Geometry(k.P, k.width, m.ShownLast());
    geo.Start = k.start;
    const auto columns = TDiagramPainter::ModelColumnEnvelopes(m, geo);
    for (int g = 0; g < kGraphs; ++g) {
      const auto fast = TDiagramPainter::CurvePoints(TDiagramPainter::ModelSource(m, g, &columns), geo);
      const auto alone = TDiagramPainter::CurvePoints(TDiagramPainter::ModelSource(m, g), geo);
      const auto slow = TDiagramPainter::CurvePoints(src[g].Source(), geo);
      EXPECT_EQ(fast, slow) << "graph " << g;
      EXPECT_EQ(alone, slow) << "graph " << g;
    }
  }
}

TEST(DiagramPainter, NonFiniteValuesAreLeftOut) {
  VectorSource src;
  src.v = {1, NAN, 3, INFINITY, 5, 6};
  const auto pts = TDiagramPainter::CurvePoints(src.Source(), Geometry(100, 5, 6));
  EXPECT_EQ(pts.size(), 4u);
}

}  // namespace

namespace {

// One-pixel curves drawn into scan lines: each segment is a gap-free run of
// one pixel per step along its longer axis, ending on both its points, the
// same whichever end it starts at; a drawing clipped to a range of columns
// gives the pixels of the whole drawing in those columns.
TEST(DiagramPainter, CurvePixelsAreGapFreeSymmetricAndClipWithoutASeam) {
  constexpr QRgb kInk = 0xFF102030;
  std::mt19937 rng(5);
  std::uniform_int_distribution<int> d(-20, 140);
  for (int round = 0; round < 200; ++round) {
    const QPoint a(d(rng), d(rng)), b(d(rng), d(rng));
    auto draw = [&](const std::vector<QPoint>& pts, int left, int right) {
      QImage img(120, 120, QImage::Format_RGB32);
      img.fill(Qt::white);
      TDiagramPainter::DrawCurve(img, pts, kInk, left, right);
      return img;
    };
    const QImage forward = draw({a, b}, 0, 120);
    EXPECT_EQ(forward, draw({b, a}, 0, 120)) << a.x() << "," << a.y() << " " << b.x() << "," << b.y();
    // Pixels per step along the longer axis: one, within half a pixel of the line.
    const bool xMajor = std::abs(b.x() - a.x()) >= std::abs(b.y() - a.y());
    for (int u = 0; u < 120; ++u) {
      int hits = 0;
      for (int v = 0; v < 120; ++v) {
        const int x = xMajor ? u : v, y = xMajor ? v : u;
        if (forward.pixel(x, y) != kInk) continue;
        ++hits;
        const double t = xMajor ? (a.x() == b.x() ? 0.0 : double(x - a.x()) / (b.x() - a.x()))
                                : double(y - a.y()) / (b.y() - a.y());
        const double ideal = xMajor ? a.y() + t * (b.y() - a.y()) : a.x() + t * (b.x() - a.x());
        EXPECT_LE(std::abs((xMajor ? y : x) - ideal), 0.5);
      }
      const int lo = xMajor ? std::min(a.x(), b.x()) : std::min(a.y(), b.y());
      const int hi = xMajor ? std::max(a.x(), b.x()) : std::max(a.y(), b.y());
      if (u < lo || u > hi) {
        EXPECT_EQ(hits, 0);
        continue;
      }
      const double t = xMajor ? (a.x() == b.x() ? 0.0 : double(u - a.x()) / (b.x() - a.x()))
                              : double(u - a.y()) / (b.y() - a.y());
      const double ideal = xMajor ? a.y() + t * (b.y() - a.y()) : a.x() + t * (b.x() - a.x());
      if (ideal > 1 && ideal < 118) {
        EXPECT_EQ(hits, 1) << u;
      }
      EXPECT_LE(hits, 1);
    }
    for (const QPoint& end : {a, b}) {
      if (QRect(0, 0, 120, 120).contains(end)) {
        EXPECT_EQ(forward.pixel(end), kInk);
      }
    }
    // Clipped drawings side by side make the whole one.
    const int cut = 1 + round % 118;
    QImage pieced = draw({a, b}, 0, cut);
    TDiagramPainter::DrawCurve(pieced, {a, b}, kInk, cut, 120);
    EXPECT_EQ(pieced, forward);
  }
}

// A wide pen covers the square of its width on every pixel of the one-pixel
// line (PenReach left of and above it), drawn from either end, and clipped
// drawings side by side make the whole one, also where the squares reach
// over the cut or out of the image.
TEST(DiagramPainter, WidePensAreSquaresAlongTheLineAndClipWithoutASeam) {
  constexpr QRgb kInk = 0xFF102030;
  constexpr int kSize = 120, kMargin = 40;  // the one-pixel line is drawn with room around
  std::mt19937 rng(9);
  std::uniform_int_distribution<int> d(-20, 140);
  for (int pen : {2, 3, TDiagramPainter::kMaxDrawnPen}) {
    const int lo = -TDiagramPainter::PenReach(pen), hi = pen - 1 - TDiagramPainter::PenReach(pen);
    for (int round = 0; round < 100; ++round) {
      const std::vector<QPoint> pts = {{d(rng), d(rng)}, {d(rng), d(rng)}, {d(rng), d(rng)}};
      SCOPED_TRACE(::testing::Message()
                   << "pen " << pen << ": " << pts[0].x() << "," << pts[0].y() << " " << pts[1].x() << ","
                   << pts[1].y() << " " << pts[2].x() << "," << pts[2].y());
      auto draw = [&](const std::vector<QPoint>& p, int left, int right) {
        QImage img(kSize, kSize, QImage::Format_RGB32);
        img.fill(Qt::white);
        TDiagramPainter::DrawCurve(img, p, kInk, left, right, pen);
        return img;
      };
      const QImage whole = draw(pts, 0, kSize);
      EXPECT_EQ(whole, draw({pts[2], pts[1], pts[0]}, 0, kSize));
      QImage line(kSize + 2 * kMargin, kSize + 2 * kMargin, QImage::Format_RGB32);
      line.fill(Qt::white);
      std::vector<QPoint> moved;
      for (const QPoint& q : pts) moved.push_back(q + QPoint(kMargin, kMargin));
      TDiagramPainter::DrawCurve(line, moved, kInk, 0, line.width());
      for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
          bool covered = false;
          for (int v = y - hi; v <= y - lo && !covered; ++v)
            for (int u = x - hi; u <= x - lo && !covered; ++u)
              covered = line.pixel(u + kMargin, v + kMargin) == kInk;
          ASSERT_EQ(whole.pixel(x, y) == kInk, covered) << x << "," << y;
        }
      QImage pieced = draw(pts, 0, 0);
      const int cuts[] = {1 + round % 37, 40 + round % 41, 90 + round % 29};
      int from = 0;
      for (int cut : cuts) {
        TDiagramPainter::DrawCurve(pieced, pts, kInk, from, cut, pen);
        from = cut;
      }
      TDiagramPainter::DrawCurve(pieced, pts, kInk, from, kSize, pen);
      EXPECT_EQ(pieced, whole);
    }
  }
}

}  // namespace
