#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <span>
#include <vector>

#include "ui/diagram_store.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// Extremes by reading every slot, earliest slot on ties.
TDiagramStore::TExtremes Scan(const TDiagramStore& s, int g, std::int64_t from, std::int64_t to) {
  TDiagramStore::TExtremes r;
  for (std::int64_t i = std::max(from, s.Floor()); i < std::min(to, s.Last() + 1); ++i) {
    const float v = s.Value(g, i);
    if (!std::isfinite(v)) continue;
    if (!r.Found || v < r.Min) r.Min = v, r.MinSlot = i;
    if (!r.Found || v > r.Max) r.Max = v, r.MaxSlot = i;
    r.Found = true;
  }
  return r;
}

void ExpectSame(const TDiagramStore::TExtremes& a, const TDiagramStore::TExtremes& b) {
  ASSERT_EQ(a.Found, b.Found);
  if (!a.Found) return;
  EXPECT_EQ(a.Min, b.Min);
  EXPECT_EQ(a.Max, b.Max);
  EXPECT_EQ(a.MinSlot, b.MinSlot);
  EXPECT_EQ(a.MaxSlot, b.MaxSlot);
}

// Fills a store with a noisy signal holding repeated values (ties), NaNs and
// rare spikes.
void Fill(TDiagramStore& s, std::int64_t from, std::int64_t to, std::mt19937& rng) {
  std::uniform_int_distribution<int> level(0, 40);
  std::uniform_int_distribution<int> rare(0, 999);
  for (std::int64_t i = from; i < to; ++i) {
    float v[2] = {static_cast<float>(level(rng)), static_cast<float>(level(rng)) * 0.5f};
    const int r = rare(rng);
    if (r == 0) v[0] = kNaN;
    if (r == 1) v[1] = 1000.0f;
    if (r == 2) v[1] = -1000.0f;
    ASSERT_TRUE(s.Write(i, v));
  }
}

TEST(DiagramStore, ExtremesMatchAFullScanOverRandomRanges) {
  std::mt19937 rng(7);
  TDiagramStore s(2);
  Fill(s, 0, 200000, rng);
  std::uniform_int_distribution<std::int64_t> pos(0, 200010);
  for (int k = 0; k < 400; ++k) {
    std::int64_t a = pos(rng), b = pos(rng);
    if (a > b) std::swap(a, b);
    for (int g = 0; g < 2; ++g) ExpectSame(s.Extremes(g, a, b), Scan(s, g, a, b));
  }
}

// Columns side by side over the whole store, as a paint reads them: every
// column keeps its one-slot spikes and ignores infinities, up to the last slot.
TEST(DiagramStore, AdjacentColumnsKeepOneSlotSpikesAndSkipInfinities) {
  constexpr float kInf = std::numeric_limits<float>::infinity();
  TDiagramStore s(1);
  const std::int64_t n = 70000;
  for (std::int64_t i = 0; i < n; ++i) {
    float v = 1.0f + static_cast<float>(i % 7) * 0.01f;
    if (i % 4099 == 17) v = 50.0f + static_cast<float>(i % 13);
    if (i % 3001 == 5) v = -50.0f;
    if (i % 2003 == 3) v = (i & 1) ? kInf : -kInf;
    ASSERT_TRUE(s.Write(i, std::span<const float>(&v, 1)));
  }
  for (const std::int64_t width : {3, 31, 33, 1000, 1025, 8333, 40000}) {
    for (std::int64_t a = 0; a < n; a += width)
      ExpectSame(s.Extremes(0, a, a + width), Scan(s, 0, a, a + width));
  }
}

TEST(DiagramStore, OverwritesFloorMovesAndGrowthKeepTheSummaryRight) {
  std::mt19937 rng(11);
  TDiagramStore s(2);
  Fill(s, 0, 70000, rng);
  s.SetFloor(33000);  // frees slots without moving data
  Fill(s, 70000, 140000, rng);
  // overwrite a stretch in the middle (time stepping back)
  for (std::int64_t i = 90000; i < 90100; ++i) {
    const float v[2] = {-5.0f, 77.0f};
    ASSERT_TRUE(s.Write(i, v));
  }
  EXPECT_EQ(s.Floor(), 33000);
  EXPECT_TRUE(std::isnan(s.Value(0, 32999)));
  std::uniform_int_distribution<std::int64_t> pos(30000, 140010);
  for (int k = 0; k < 300; ++k) {
    std::int64_t a = pos(rng), b = pos(rng);
    if (a > b) std::swap(a, b);
    for (int g = 0; g < 2; ++g) ExpectSame(s.Extremes(g, a, b), Scan(s, g, a, b));
  }
}

TEST(DiagramStore, RingReusesMemoryWhenTheFloorFollows) {
  TDiagramStore s(1);
  s.SetCapacityLimit(100000);
  for (std::int64_t i = 0; i < 2000000; ++i) {
    const float v = static_cast<float>(i % 1000);
    ASSERT_TRUE(s.Write(i, {&v, 1}));
    if (i >= 50000) s.SetFloor(i - 50000);
  }
  EXPECT_LE(s.Capacity(), 100000 + TDiagramStore::kGranule);
  EXPECT_EQ(s.Value(0, 1999999), 999.0f);
  ExpectSame(s.Extremes(0, 1950000, 2000000), Scan(s, 0, 1950000, 2000000));
}

TEST(DiagramStore, RefusesSlotsBelowTheFloorAndBeyondTheLimit) {
  TDiagramStore s(1);
  s.SetCapacityLimit(1000);
  const float v = 1.0f;
  EXPECT_TRUE(s.Write(0, {&v, 1}));
  EXPECT_FALSE(s.Write(5000, {&v, 1}));
  EXPECT_EQ(s.Last(), 0);
  s.SetFloor(1);
  EXPECT_FALSE(s.Write(0, {&v, 1}));
  // skipped slots read 0
  EXPECT_TRUE(s.Write(10, {&v, 1}));
  EXPECT_EQ(s.Value(0, 5), 0.0f);
}

TEST(DiagramStore, BandQueriesMatchAFilteredScan) {
  std::mt19937 rng(3);
  TDiagramStore s(2);
  Fill(s, 0, 100000, rng);
  struct Band {
    double lo, hi;
  };
  const Band bands[] = {{-1e9, 1e9}, {0.5, 30}, {-2000, 5}, {10, 10.5}, {999, 2000}, {5000, -100}};
  for (const Band& band : bands) {
    for (int g = 0; g < 2; ++g) {
      for (auto [a, b] : {std::pair<std::int64_t, std::int64_t>{0, 100000}, {12345, 67890}, {5, 40}}) {
        bool want = false;
        float wantMin = 0, wantMax = 0;
        for (std::int64_t i = a; i < b; ++i) {
          const float v = s.Value(g, i);
          if (!(v > band.lo && v < band.hi)) continue;
          if (!want || v < wantMin) wantMin = v;
          if (!want || v > wantMax) wantMax = v;
          want = true;
        }
        auto below = [&](float v) { return !(v > band.lo); };
        auto above = [&](float v) { return !(v < band.hi); };
        float gotMin = 0, gotMax = 0;
        EXPECT_EQ(s.BandMin(g, a, b, below, above, gotMin), want);
        EXPECT_EQ(s.BandMax(g, a, b, below, above, gotMax), want);
        if (want) {
          EXPECT_EQ(gotMin, wantMin);
          EXPECT_EQ(gotMax, wantMax);
        }
      }
    }
  }
}

// The envelope by reading every slot.
TDiagramStore::TEnvelope ScanEnvelope(const TDiagramStore& s, int g, std::int64_t from, std::int64_t to) {
  const TDiagramStore::TExtremes e = Scan(s, g, from, to);
  TDiagramStore::TEnvelope r;
  r.Found = e.Found;
  r.Min = e.Min;
  r.Max = e.Max;
  r.MinFirst = e.Found && e.MinSlot < e.MaxSlot;
  return r;
}

void ExpectSameEnvelope(const TDiagramStore::TEnvelope& a, const TDiagramStore::TEnvelope& b) {
  ASSERT_EQ(a.Found, b.Found);
  if (!a.Found) return;
  EXPECT_EQ(a.Min, b.Min);
  EXPECT_EQ(a.Max, b.Max);
  EXPECT_EQ(a.MinFirst, b.MinFirst);
}

// Random data with ties and NaNs, and one-slot spikes up and down on both
// sides of chunk borders and of the borders of every summary level.
void FillWithBorderSpikes(TDiagramStore& s, std::int64_t from, std::int64_t to, std::mt19937& rng) {
  std::uniform_int_distribution<int> level(0, 20);
  std::uniform_int_distribution<int> rare(0, 499);
  std::uniform_int_distribution<int> which(0, 2);
  const std::int64_t borders[] = {16, 256, 4096, TDiagramStore::kGranule};
  for (std::int64_t i = from; i < to; ++i) {
    float v[3];
    for (float& x : v) x = static_cast<float>(level(rng));
    if (rare(rng) == 0) v[which(rng)] = kNaN;
    for (const std::int64_t b : borders) {
      const std::int64_t m = i % b;
      if (m == 0 || m == b - 1) {
        const int g = which(rng);
        v[g] = (i / b + static_cast<std::int64_t>(m == 0)) % 2 ? 100.0f + static_cast<float>(i % 7)
                                                               : -100.0f - static_cast<float>(i % 5);
      }
    }
    ASSERT_TRUE(s.Write(i, v));
  }
}

// Columns side by side as a paint reads them, for a table of store sizes,
// first slots and zooms: extremes, their order and the all-graph envelopes
// equal a full scan.
TEST(DiagramStore, ColumnQueriesMatchAFullScanAtEveryZoom) {
  struct Case {
    std::int64_t first, slots;
    int columns;
  };
  const Case cases[] = {
      {0, 5000, 1150},       {0, 5000, 7},        {0, 70000, 1150},   {0, 70000, 300},     {0, 70000, 3},
      {12345, 140000, 1150}, {12345, 140000, 37}, {32760, 200000, 1}, {4090, 200000, 611}, {0, 40, 1150},
  };
  std::mt19937 rng(17);
  for (const Case& k : cases) {
    SCOPED_TRACE(::testing::Message()
                 << "first " << k.first << ", slots " << k.slots << ", columns " << k.columns);
    TDiagramStore s(3);
    s.Clear(3, k.first);
    FillWithBorderSpikes(s, k.first, k.first + k.slots, rng);
    const double perColumn = static_cast<double>(k.slots) / k.columns;
    for (int c = 0; c < k.columns; ++c) {
      const std::int64_t a = k.first + static_cast<std::int64_t>(std::nearbyint(c * perColumn));
      const std::int64_t b = k.first + static_cast<std::int64_t>(std::nearbyint((c + 1) * perColumn));
      TDiagramStore::TEnvelope all[4];
      s.Envelopes(a, b, all);
      EXPECT_FALSE(all[3].Found);  // a graph the store does not have
      for (int g = 0; g < 3; ++g) {
        const TDiagramStore::TEnvelope want = ScanEnvelope(s, g, a, b);
        ExpectSame(s.Extremes(g, a, b), Scan(s, g, a, b));
        ExpectSameEnvelope(s.Envelope(g, a, b), want);
        ExpectSameEnvelope(all[g], want);
      }
    }
  }
}

TEST(DiagramStore, OverwriteRecyclesWholeChunksAndKeepsTheSummaryRight) {
  std::mt19937 rng(23);
  TDiagramStore s(3);
  const std::int64_t keep = 50000;
  s.SetCapacityLimit(keep + TDiagramStore::kGranule);
  const std::int64_t total = 40 * TDiagramStore::kGranule;  // forty chunks pass through
  for (std::int64_t from = 0; from < total; from += 8192) {
    FillWithBorderSpikes(s, from, from + 8192, rng);
    s.SetFloor(std::max<std::int64_t>(0, s.Last() + 1 - keep));
  }
  EXPECT_EQ(s.Floor(), total - keep);
  // Dropped chunks are used again: only the chunks in use at one time were
  // ever allocated.
  EXPECT_LE(s.ChunkAllocations(), keep / TDiagramStore::kGranule + 3);
  EXPECT_LE(s.MemoryBytes(), static_cast<std::size_t>(4 * TDiagramStore::kGranule) * 3 * 5);
  std::uniform_int_distribution<std::int64_t> pos(total - keep - 100, total + 100);
  for (int k = 0; k < 300; ++k) {
    std::int64_t a = pos(rng), b = pos(rng);
    if (a > b) std::swap(a, b);
    for (int g = 0; g < 3; ++g) {
      ExpectSame(s.Extremes(g, a, b), Scan(s, g, a, b));
      ExpectSameEnvelope(s.Envelope(g, a, b), ScanEnvelope(s, g, a, b));
    }
  }
}

TEST(DiagramStore, GraphCountChangeKeepsTheGraphsThatStay) {
  TDiagramStore s(3);
  for (std::int64_t i = 0; i < 100; ++i) {
    const float v[3] = {1.0f * i, 2.0f * i, 3.0f * i};
    s.Write(i, v);
  }
  ASSERT_TRUE(s.SetGraphCount(5));
  EXPECT_EQ(s.Value(1, 50), 100.0f);
  EXPECT_EQ(s.Value(4, 50), 0.0f);
  ASSERT_TRUE(s.SetGraphCount(1));
  EXPECT_EQ(s.Value(0, 99), 99.0f);
  EXPECT_TRUE(std::isnan(s.Value(1, 99)));
}

}  // namespace
