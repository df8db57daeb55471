#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "ui/diagram_model.h"

namespace {

// A model with a recording just started: one graph, 1 ms slots, Y band -100..1000.
struct Chart : TDiagramModel {
  int paints = 0;
  int invalidations = 0;
  void PaintRequested() override { ++paints; }
  void Invalidated() override { ++invalidations; }

  explicit Chart(int graphs = 1, double resolution = 0.001) {
    SetGraphCount(graphs);
    SetResolution(resolution);
    SetYRangeMin(-100);
    SetYRangeMax(1000);
    SetMaxData(1000000);
    Reset(smLocal, 0, 10 * resolution);
  }
  void Add(float v, double t) { AddValues(std::span<const float>(&v, 1), t); }
  void AddAll(std::initializer_list<float> v, double t) {
    AddValues(std::span<const float>(v.begin(), v.size()), t);
  }
};

TGraphProperties Shown(bool ranged = true) {
  TGraphProperties g;
  g.ShowDiagram = true;
  g.RangeDiagram = ranged;
  return g;
}

TEST(DiagramModel, SamplesOfOneSlotAreAveragedWhenTheNextSlotOpens) {
  Chart c;
  c.Add(1.0f, 0.0001);
  c.Add(2.0f, 0.0002);
  c.Add(6.0f, 0.0004);
  EXPECT_EQ(c.UsedData(), 0);
  EXPECT_EQ(c.SlotValue(0, 0), 0.0f);  // still accumulating
  c.Add(10.0f, 0.001);
  EXPECT_FLOAT_EQ(c.SlotValue(0, 0), 3.0f);
  EXPECT_EQ(c.CurrentSlot(), 1);
  EXPECT_TRUE(c.NewSamples);
}

TEST(DiagramModel, AFirstSampleInSlotFiveFillsTheGapOnAStraightLine) {
  Chart c;
  c.Add(10.0f, 0.005);
  EXPECT_EQ(c.SlotValue(0, 0), 10.0f);  // slot 0 written with the sample itself
  EXPECT_EQ(c.CurrentSlot(), 5);
  c.Add(99.0f, 0.006);
  EXPECT_EQ(c.UsedData(), 5);
  for (int i = 0; i <= 5; ++i) EXPECT_FLOAT_EQ(c.SlotValue(0, i), 10.0f) << i;

  Chart d;
  d.Add(0.0f, 0.0);
  d.Add(50.0f, 0.005);  // completes slot 0 with 0
  d.Add(1.0f, 0.006);   // completes slot 5 with 50, fills 1..4
  const float expected[] = {0, 10, 20, 30, 40, 50};
  for (int i = 0; i <= 5; ++i) EXPECT_FLOAT_EQ(d.SlotValue(0, i), expected[i]) << i;
}

TEST(DiagramModel, AllocatedSlotsGrowInStepsOfAHundred) {
  struct Case {
    double completeSlot;
    std::int64_t alloc;
  };
  const Case cases[] = {{50, 100}, {99, 100}, {100, 200}, {250, 300}};
  for (const Case& k : cases) {
    Chart c(11);
    EXPECT_EQ(c.AllocatedSlots(), 100);
    c.AddAll({1}, k.completeSlot * 0.001);
    c.AddAll({1}, (k.completeSlot + 1) * 0.001);
    EXPECT_EQ(c.AllocatedSlots(), k.alloc) << k.completeSlot;
    EXPECT_EQ(c.GetUsedMemory(), 11 * k.alloc * 4);
  }
}

TEST(DiagramModel, MemoryFiguresAreNotLimitedTo32Bits) {
  Chart c(11);
  c.SetMaxData(60'000'000);
  EXPECT_EQ(c.GetMaxMemory(), std::int64_t{11} * 60'000'000 * 4);
  EXPECT_GT(c.GetMaxMemory(), std::int64_t{1} << 31);
}

TEST(DiagramModel, GraphCountIsClippedToOneToTwelve) {
  const std::pair<int, int> cases[] = {{0, 1}, {-5, 1}, {1, 1}, {11, 11}, {12, 12}, {13, 12}, {255, 12}};
  for (auto [in, out] : cases) {
    Chart c;
    c.SetGraphCount(in);
    EXPECT_EQ(c.GraphCount(), out) << in;
    ASSERT_EQ(c.PaintOrder().size(), static_cast<std::size_t>(out));
    for (int i = 0; i < out; ++i) EXPECT_EQ(c.PaintOrder()[i], i);
  }
}

TEST(DiagramModel, BadTimesAreRefusedAndChangeNothing) {
  const double cases[] = {std::numeric_limits<double>::quiet_NaN(),
                          std::numeric_limits<double>::infinity(),
                          -std::numeric_limits<double>::infinity(),
                          -0.01,
                          -1e300,
                          1e300,
                          1e15};
  for (double t : cases) {
    Chart c;
    c.Add(1.0f, 0.0);
    c.Add(2.0f, 0.002);
    c.NewSamples = false;
    const auto cur = c.CurrentSlot(), used = c.UsedData(), alloc = c.AllocatedSlots();
    c.Add(5.0f, t);
    EXPECT_EQ(c.CurrentSlot(), cur) << t;
    EXPECT_EQ(c.UsedData(), used) << t;
    EXPECT_EQ(c.AllocatedSlots(), alloc) << t;
    EXPECT_FALSE(c.NewSamples) << t;
  }
}

TEST(DiagramModel, LongRunsKeepEverySlotAndExactMeans) {
  // Past 16384 s a single-precision time could no longer tell 1 ms slots apart.
  Chart c;
  c.SetMemoryMode(dmmOverwrite);
  c.SetMaxData(1000);
  for (int i = 0; i < 50; ++i) {
    c.Add(static_cast<float>(i), 20000.0 + i * 0.001);
    c.DropOverflow();
  }
  EXPECT_EQ(c.UsedData(), 999);  // sample 48; sample i sits in slot 951 + i
  for (int i = 1; i <= 48; ++i) EXPECT_EQ(c.SlotValue(0, 951 + i), static_cast<float>(i)) << i;

  // A long slot of large values: sums in single precision would drift by percent.
  Chart d(1, 900.0);
  for (int i = 0; i < 900000; ++i) d.Add(i % 2 ? 1000.5f : 1000.0f, i * 0.0004);
  d.Add(0.0f, 900.0);
  EXPECT_FLOAT_EQ(d.SlotValue(0, 0), 1000.25f);
}

TEST(DiagramModel, StopModeRaisesBufferFullOnEveryCallPastMaxData) {
  Chart c;
  c.SetMemoryMode(dmmStop);
  c.SetMaxData(10);
  int fired = 0;
  c.OnBufferFull = [&](QObject*) { ++fired; };
  for (int i = 0; i <= 10; ++i) c.Add(1.0f, i * 0.001);
  EXPECT_EQ(fired, 0);
  c.Add(1.0f, 0.011);
  c.Add(1.0f, 0.011);
  c.Add(1.0f, 0.012);
  EXPECT_EQ(fired, 3);
  EXPECT_TRUE(c.BufferFull());
}

TEST(DiagramModel, SlotsThatCannotBeStoredCountAsBufferFull) {
  Chart c;
  c.SetMemoryMode(dmmStop);
  c.SetMaxData(1000);
  int fired = 0;
  c.OnBufferFull = [&](QObject*) { ++fired; };
  c.Add(1.0f, 0.0);
  c.Add(1.0f, 10000.0);  // opens a slot ten million slots away
  fired = 0;
  c.Add(2.0f, 10000.001);  // completing it would need gigabytes: refused
  EXPECT_EQ(fired, 1);
  EXPECT_EQ(c.UsedData(), 0);
  EXPECT_LT(c.StoreBytes(), std::size_t{64} << 20);
}

TEST(DiagramModel, OverwriteKeepsMaxDataSlotsAndMovesTheWindowBack) {
  Chart c;
  c.SetMemoryMode(dmmOverwrite);
  c.SetMaxData(100);
  c.Reset(smLocal, 0, 0.05);
  for (int i = 0; i < 1000; ++i) {
    c.Add(static_cast<float>(i), i * 0.001);
    c.DropOverflow();
    if (c.XScaleMode() == smLocal) c.SetXMax(i * 0.001 - c.SlotOffset() * 0.001);
  }
  EXPECT_FALSE(c.SnapshotShown());
  EXPECT_EQ(c.CurrentSlot(), 100);
  EXPECT_EQ(c.UsedData(), 99);
  EXPECT_EQ(c.SlotOffset(), 899);
  for (int i = 0; i <= 99; ++i) EXPECT_EQ(c.SlotValue(0, i), 899.0f + i);
  EXPECT_EQ(c.XRangeMax(), 99);
  EXPECT_LE(c.WindowEnd(), c.XRangeMax());
}

TEST(DiagramModel, AGapLongerThanMaxDataKeepsTheLineAndNeverGoesBelowSlotZero) {
  Chart c;
  c.SetMemoryMode(dmmOverwrite);
  c.SetMaxData(100);
  for (int i = 0; i < 150; ++i) {
    c.Add(0.0f, i * 0.001);
    c.DropOverflow();
  }
  c.Add(5000.0f, 5.0);  // five seconds of silence: 4851 slots
  c.DropOverflow();
  EXPECT_GE(c.UsedData(), 0);
  c.Add(5000.0f, 5.001);  // completes the slot after the gap
  c.DropOverflow();
  c.Add(5000.0f, 5.002);
  c.DropOverflow();
  EXPECT_EQ(c.UsedData(), 99);
  EXPECT_EQ(c.CurrentSlot(), 100);
  // the kept slots lie on the line from the last slot before the gap
  const double anchor = 149, end = 5000;  // absolute slots
  for (int i = 0; i < 98; ++i) {
    const double abs = static_cast<double>(c.SlotOffset() + i);
    const double want = abs <= end ? 5000.0 * (abs - anchor) / (end - anchor) : 5000.0;
    EXPECT_NEAR(c.SlotValue(0, i), want, 0.01) << i;
  }
}

TEST(DiagramModel, HoldOnAFullOverwriteBufferFreezesThePictureWithoutACopy) {
  Chart c;
  c.SetMemoryMode(dmmOverwrite);
  c.SetMaxData(50000);
  for (int i = 0; i < 60000; ++i) {
    c.Add(static_cast<float>(i), i * 0.001);
    c.DropOverflow();
  }
  const std::size_t before = c.StoreBytes();
  c.SetXScaleMode(smManual);  // hold
  ASSERT_TRUE(c.SnapshotShown());
  EXPECT_EQ(c.StoreBytes(), before);
  const auto offset = c.ShownSlotOffset();
  const float first = c.ShownValue(0, 0);
  for (int i = 60000; i < 70000; ++i) {
    c.Add(static_cast<float>(i), i * 0.001);
    c.DropOverflow();
  }
  EXPECT_EQ(c.ShownSlotOffset(), offset);
  EXPECT_EQ(c.ShownValue(0, 0), first);
  EXPECT_EQ(c.ShownValue(0, 1000), first + 1000);
  EXPECT_GT(c.SlotOffset(), offset);  // the live data moved on
  c.ToggleHold();                     // continue
  EXPECT_FALSE(c.SnapshotShown());
  EXPECT_EQ(c.ShownSlotOffset(), c.SlotOffset());
}

// Held long enough that the live data move on by many chunks: the picture
// keeps its slots, the live data keep theirs, and continuing shows the live data.
TEST(DiagramModel, HoldAcrossChunkRecyclesKeepsBothPictures) {
  Chart c;
  c.SetMemoryMode(dmmOverwrite);
  c.SetMaxData(40000);
  std::int64_t i = 0;
  auto feed = [&](std::int64_t until) {
    for (; i < until; ++i) {
      c.Add(static_cast<float>(i % 100000), static_cast<double>(i) * 0.001);
      c.DropOverflow();
    }
  };
  feed(70000);
  c.SetXScaleMode(smManual);  // hold
  ASSERT_TRUE(c.SnapshotShown());
  const std::int64_t offset = c.ShownSlotOffset();
  const std::int64_t last = c.ShownLast();
  feed(600000);  // fifteen chunks pass through the live store
  ASSERT_TRUE(c.SnapshotShown());
  EXPECT_EQ(c.ShownSlotOffset(), offset);
  for (std::int64_t k = 0; k <= last; k += 997)
    EXPECT_EQ(c.ShownValue(0, k), static_cast<float>((offset + k) % 100000)) << k;
  TDiagramStore::TEnvelope e[1];
  c.ShownEnvelopes(0, last + 1, e);
  EXPECT_EQ(e[0].Min, static_cast<float>(offset));
  EXPECT_EQ(e[0].Max, static_cast<float>(offset + last));
  for (std::int64_t k = 0; k <= c.UsedData(); k += 991)
    EXPECT_EQ(c.SlotValue(0, k), static_cast<float>((c.SlotOffset() + k) % 100000)) << k;
  // the frozen copy and the live chunks in use, no more
  EXPECT_LT(c.StoreBytes(), std::size_t{4} << 20);
  c.ToggleHold();  // continue
  EXPECT_FALSE(c.SnapshotShown());
  EXPECT_EQ(c.ShownValue(0, 5), c.SlotValue(0, 5));
}

TEST(DiagramModel, TimeSteppingBackWhileHeldLeavesThePictureAlone) {
  Chart c;
  c.SetMemoryMode(dmmOverwrite);
  c.SetMaxData(100);
  for (int i = 0; i < 200; ++i) {
    c.Add(1.0f, i * 0.001);
    c.DropOverflow();
  }
  c.SetXScaleMode(smManual);
  ASSERT_TRUE(c.SnapshotShown());
  c.Add(7.0f, 0.150);  // back into slots the picture shows
  c.Add(7.0f, 0.151);
  EXPECT_EQ(c.ShownValue(0, 51), 1.0f);
  EXPECT_EQ(c.SlotValue(0, 51), 7.0f);
}

TEST(DiagramModel, OverwriteWhileHeldTakesTheSnapshotOnceTheBufferFills) {
  Chart c;
  c.SetMemoryMode(dmmOverwrite);
  c.SetMaxData(10);
  c.SetXScaleMode(smManual);
  for (int i = 0; i <= 10; ++i) c.Add(1.0f, i * 0.001);
  EXPECT_FALSE(c.SnapshotShown());
  c.Add(1.0f, 0.011);
  EXPECT_TRUE(c.SnapshotShown());
}

// The automatic Y range as a plain loop over every shown slot.
std::pair<double, double> ReferenceRange(const TDiagramModel& c, std::int64_t start, std::int64_t end,
                                         double yMin, double yMax) {
  std::int64_t a = std::max<std::int64_t>(start, 0);
  std::int64_t b = std::min(c.UsedData(), end);
  if (a > b) a = b;
  const double m = c.YDecimal() < 2 ? 0.5 : 0.2;
  bool changed = false;
  for (int g = 0; g < c.GraphCount(); ++g) {
    if (!c.Graph(g).ShowDiagram || !c.Graph(g).RangeDiagram) continue;
    for (std::int64_t i = a; i < b; ++i) {
      const double v = c.ShownValue(g, i);
      const double lo = v - m, hi = v + m;
      if (lo < yMin && c.YRangeMin() < lo && lo < c.YRangeMax()) yMin = lo, changed = true;
      if (hi > yMax && c.YRangeMin() < hi && hi < c.YRangeMax()) yMax = hi, changed = true;
    }
  }
  if (changed) yMin = std::max(yMin, c.YRangeMin()), yMax = std::min(yMax, c.YRangeMax());
  return {yMin, yMax};
}

TEST(DiagramModel, GlobalAutoRangeEqualsAPlainLoopOverTheWindow) {
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> val(-200.0f, 1200.0f);
  Chart c(3);
  c.SetGraph(0, Shown());
  c.SetGraph(1, Shown(false));
  c.SetGraph(2, Shown());
  for (int i = 0; i < 300000; ++i) {
    const float v = val(rng);
    c.AddAll({v, 5000.0f, v * 0.5f}, i * 0.001);
  }
  c.SetYScaleMode(smGlobal);
  const std::pair<std::int64_t, std::int64_t> windows[] = {
      {0, 299998}, {1000, 1010}, {77777, 250001}, {5, 5}};
  for (int yDecimal : {1, 2}) {
    c.SetYDecimal(yDecimal);
    for (auto [a, b] : windows) {
      c.SetYMin(400);
      c.SetYMax(500);
      const auto want = ReferenceRange(c, a, b, 400, 500);
      c.SetXWindow(a, b);
      EXPECT_DOUBLE_EQ(c.YMin(), want.first) << a << ".." << b;
      EXPECT_DOUBLE_EQ(c.YMax(), want.second) << a << ".." << b;
    }
  }
}

TEST(DiagramModel, LocalAutoRangeStartsFromTheFirstRangedGraph) {
  Chart c(2);
  c.SetGraph(0, Shown(false));
  c.SetGraph(1, Shown());
  for (int i = 0; i <= 100; ++i) c.AddAll({999.0f, static_cast<float>(i)}, i * 0.001);
  c.SetYScaleMode(smLocal);
  c.SetXExcludeRanging(0.010);
  c.SetXWindow(0, 50);
  EXPECT_DOUBLE_EQ(c.YMin(), 9.5);   // slot 10 (excluded before), margin 0.5
  EXPECT_DOUBLE_EQ(c.YMax(), 50.0);  // seeded from slot 50, which the loop leaves out
}

TEST(DiagramModel, LocalAutoRangeLeavesYAloneWithoutARangedGraph) {
  Chart c;
  c.SetGraph(0, Shown(false));
  for (int i = 0; i < 100; ++i) c.Add(static_cast<float>(i), i * 0.001);
  c.SetYScaleMode(smLocal);
  c.SetYMin(10);
  c.SetYMax(20);
  c.SetXWindow(0, 90);
  EXPECT_EQ(c.YMin(), 10);
  EXPECT_EQ(c.YMax(), 20);
}

TEST(DiagramModel, YZoomInKeepsASpanOfAtLeastHalfAUnit) {
  struct Case {
    double yMin, yMax, wantMin, wantSpan;
  };
  const Case cases[] = {{0, 0.5, 0, 0.5}, {0, 0.6, 0.15, 0.5}, {0, 100, 25, 50}};
  for (const Case& k : cases) {
    Chart c;
    c.SetYMin(k.yMin);
    c.SetYMax(k.yMax);
    c.YZoomIn();
    EXPECT_DOUBLE_EQ(c.YMin(), k.wantMin);
    EXPECT_NEAR(c.YSpan(), k.wantSpan, 1e-12);
  }
}

TEST(DiagramModel, YZoomOutStaysInTheBand) {
  Chart c;
  c.SetYMin(900);
  c.SetYMax(1000);
  c.YZoomOut();
  EXPECT_EQ(c.YMin(), 850);
  EXPECT_EQ(c.YMax(), 1000);
  c.YZoomFull();
  EXPECT_EQ(c.YMin(), -100);
  EXPECT_EQ(c.YMax(), 1000);
}

TEST(DiagramModel, XZoomsStayInTheXRangeAndReportTheWindow) {
  Chart c;
  c.Reset(smLocal, 0, 1.0);  // 1000 slots
  std::vector<std::pair<double, double>> reported;
  c.OnXRange = [&](QObject*, double a, double b) { reported.emplace_back(a, b); };
  c.SetBackBufferWidth(600);
  c.XZoomIn();
  EXPECT_EQ(c.WindowStart(), 250);
  EXPECT_EQ(c.WindowEnd(), 750);
  EXPECT_EQ(c.XScaleMode(), smManual);
  c.SetXWindow(900, 1000);
  c.XZoomOut();
  EXPECT_EQ(c.WindowStart(), 850);
  EXPECT_EQ(c.WindowEnd(), 1000);
  for (int i = 0; i < 5; ++i) c.XZoomOut();
  EXPECT_EQ(c.WindowStart(), 0);
  EXPECT_EQ(c.WindowEnd(), 1000);
  c.SetXWindow(10, 13);
  c.XZoomIn();  // 3 div 4 = 0: the window stays, the event still comes
  EXPECT_EQ(c.WindowStart(), 10);
  c.XZoomFull();
  EXPECT_EQ(c.WindowStart(), 0);
  EXPECT_EQ(c.WindowEnd(), 1000);
  ASSERT_EQ(reported.size(), 9u);
  EXPECT_DOUBLE_EQ(reported[0].first, 0.25);
  EXPECT_DOUBLE_EQ(reported[0].second, 0.75);
  EXPECT_DOUBLE_EQ(reported.back().second, 1.0);
}

TEST(DiagramModel, ScaleModeEventsFollowTheirRules) {
  Chart c;
  int x = 0, y = 0;
  c.OnXScaleModeChanged = [&](QObject*, TDiagramScaleMode&) { ++x; };
  c.OnYScaleModeChanged = [&](QObject*, TDiagramScaleMode&) { ++y; };
  c.SetXScaleMode(smLocal);  // unchanged
  EXPECT_EQ(x, 0);
  c.ToggleHold();
  EXPECT_EQ(c.XScaleMode(), smManual);
  c.ToggleHold();
  EXPECT_EQ(c.XScaleMode(), smLocal);
  EXPECT_EQ(x, 2);
  c.Reset(smLocal, 0, 1);  // flipped first, so the event always comes
  EXPECT_EQ(x, 3);
  c.SetXScaleMode(smGlobal);
  c.ToggleHold();
  EXPECT_EQ(c.XScaleMode(), smGlobal);

  c.SetYScaleMode(smManual);
  c.SetYScaleMode(smManual);
  EXPECT_EQ(y, 2);
  c.SetYScaleModeExt(true);
  EXPECT_EQ(y, 3);
  c.SetYScaleMode(smGlobal);
  y = 0;
  c.YZoomIn();  // the setter and one more event
  EXPECT_EQ(y, 2);
  EXPECT_EQ(c.YScaleMode(), smManual);
  c.YZoomIn();  // already manual: none
  EXPECT_EQ(y, 2);

  // a handler may change the mode through its argument
  c.OnXScaleModeChanged = [](QObject*, TDiagramScaleMode& m) { m = smGlobal; };
  c.SetXScaleMode(smManual);
  EXPECT_EQ(c.XScaleMode(), smGlobal);
}

TEST(DiagramModel, ResetKeepsTheYWindowAndStartsOver) {
  Chart c;
  for (int i = 0; i < 500; ++i) c.Add(1.0f, i * 0.001);
  c.SetYMin(20);
  c.SetYMax(30);
  c.Reset(smManual, 0.5, 2.5);
  EXPECT_EQ(c.UsedData(), 0);
  EXPECT_EQ(c.CurrentSlot(), 0);
  EXPECT_EQ(c.AllocatedSlots(), 100);
  EXPECT_EQ(c.SlotOffset(), 0);
  EXPECT_FALSE(c.NewSamples);
  EXPECT_EQ(c.WindowStart(), 500);
  EXPECT_EQ(c.WindowEnd(), 2500);
  EXPECT_EQ(c.XRangeMin(), 500);
  EXPECT_EQ(c.XRangeMax(), 2500);
  EXPECT_EQ(c.YMin(), 20);
  EXPECT_EQ(c.YMax(), 30);
  EXPECT_FALSE(c.ResetPending());
}

TEST(DiagramModel, ScrollBarArithmetic) {
  Chart c;
  c.Reset(smLocal, 0, 1.0);
  for (int i = 0; i <= 1000; ++i) c.Add(1.0f, i * 0.001);
  c.SetXWindow(100, 300);
  EXPECT_EQ(c.XScrollBar().Min, 0);
  EXPECT_EQ(c.XScrollBar().Max, 1000);
  EXPECT_EQ(c.XScrollBar().PageSize, 200);
  EXPECT_EQ(c.XScrollBar().Position, 100);
  EXPECT_EQ(c.XScrollBar().LargeChange, 200);

  c.XScroll(500);
  EXPECT_EQ(c.XScaleMode(), smManual);
  EXPECT_EQ(c.WindowStart(), 500);
  EXPECT_EQ(c.WindowEnd(), 700);
  c.XScroll(900);  // past Max - page: the bar stops, the window stays
  EXPECT_EQ(c.WindowStart(), 500);
  EXPECT_EQ(c.XScrollBar().Position, 800);

  // vertical: band -100..1000 on a 0..1000 bar
  c.SetYMin(0);
  c.SetYMax(110);
  c.UpdateScrollBars();
  EXPECT_EQ(c.YScrollBar().PageSize, 100);
  EXPECT_EQ(c.YScrollBar().Position, 1000 - 91 - 100);
  c.SetYScaleMode(smGlobal);
  int y = 0;
  c.OnYScaleModeChanged = [&](QObject*, TDiagramScaleMode&) { ++y; };
  c.YScroll(0);  // to the top of the band
  EXPECT_NEAR(c.YMin(), 890, 1e-9);
  EXPECT_NEAR(c.YMax(), 1000, 1e-9);
  EXPECT_EQ(c.YScaleMode(), smManual);
  EXPECT_EQ(y, 2);
}

TEST(DiagramModel, ScrollArithmeticSurvivesZeroAndInvertedRanges) {
  Chart c;
  c.Reset(smLocal, 0, 0);  // zero X range
  c.XScroll(10);
  c.SetYRangeMin(5000);  // inverted band, as while a data file loads
  c.SetYRangeMax(-100);
  c.SetYMin(100);
  c.SetYMax(200);
  c.UpdateScrollBars();
  c.YScroll(300);
  c.YZoomIn();
  c.YZoomOut();
  SUCCEED();
}

TEST(DiagramModel, ValueAtReadsBySlotTimeAndNeverOutsideTheStore) {
  Chart c(2);
  for (int i = 0; i <= 10; ++i) c.AddAll({static_cast<float>(i), -static_cast<float>(i)}, i * 0.001);
  EXPECT_EQ(c.ValueAt(0, 0.004), 4.0f);
  EXPECT_EQ(c.ValueAt(1, 0.0041), -4.0f);
  EXPECT_EQ(c.ValueAt(0, 5.0), 0.0f);
  EXPECT_EQ(c.ValueAt(5, 0.001), 0.0f);
  EXPECT_EQ(c.ValueAt(0, -1.0), 0.0f);
}

TEST(DiagramModel, SettersPaintAndZoomsInvalidate) {
  Chart c;
  c.paints = c.invalidations = 0;
  c.SetDiaMessage(QStringLiteral("X"));
  c.SetGraph(0, Shown());
  c.SetYMin(1);
  c.SetYMax(2);
  c.SetXDecimal(2);
  EXPECT_EQ(c.paints, 5);
  c.YZoomOut();
  c.SetYScaleMode(smManual);
  EXPECT_GE(c.invalidations, 2);
}

}  // namespace
