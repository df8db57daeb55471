#include "ui/diagram_store.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>
#include <type_traits>
#include <utility>

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr std::align_val_t kChunkAlign{64};

}  // namespace

void TDiagramStore::TFreeChunk::operator()(std::byte* p) const noexcept { ::operator delete[](p, kChunkAlign); }

TDiagramStore::TDiagramStore(int graphs) { Clear(graphs); }

TDiagramStore::~TDiagramStore() = default;

void TDiagramStore::Clear(int graphs, std::int64_t floor) {
  graphs_ = std::clamp(graphs, 1, kMaxGraphs);
  floor_ = floor;
  last_ = floor - 1;
  std::vector<TChunk>().swap(ring_);
  ringMask_ = 0;
  firstChunk_ = endChunk_ = floor >> kChunkBits;
  spare_.reset();
}

TDiagramStore::TChunk TDiagramStore::NewChunk() {
  if (spare_) return std::move(spare_);
  // Pages are left untouched until written, so a chunk costs memory only as
  // it fills.
  TChunk chunk(static_cast<std::byte*>(::operator new[](ChunkBytes(), kChunkAlign, std::nothrow)));
  if (chunk) ++allocations_;
  return chunk;
}

bool TDiagramStore::GrowRing(std::int64_t chunks) {
  if (chunks <= static_cast<std::int64_t>(ring_.size())) return true;
  const std::size_t size = std::bit_ceil(static_cast<std::size_t>(chunks));
  try {
    std::vector<TChunk> ring(size);
    const std::int64_t mask = static_cast<std::int64_t>(size) - 1;
    for (std::int64_t k = firstChunk_; k < endChunk_; ++k)
      ring[static_cast<std::size_t>(k & mask)] = std::move(ring_[static_cast<std::size_t>(k & ringMask_)]);
    ring_.swap(ring);
    ringMask_ = mask;
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
}

bool TDiagramStore::SetGraphCount(int graphs) {
  graphs = std::clamp(graphs, 1, kMaxGraphs);
  if (graphs == graphs_) return true;
  if (firstChunk_ == endChunk_) {
    graphs_ = graphs;
    spare_.reset();
    return true;
  }
  const std::size_t bytes = kGraphBytes * static_cast<std::size_t>(graphs);
  const std::size_t kept = kGraphBytes * static_cast<std::size_t>(std::min(graphs, graphs_));
  std::vector<TChunk> fresh;
  try {
    fresh.reserve(static_cast<std::size_t>(endChunk_ - firstChunk_));
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (std::int64_t k = firstChunk_; k < endChunk_; ++k) {
    TChunk chunk(static_cast<std::byte*>(::operator new[](bytes, kChunkAlign, std::nothrow)));
    if (!chunk) return false;  // the chunks made so far are freed, nothing changed
    ++allocations_;
    std::memcpy(chunk.get(), ring_[static_cast<std::size_t>(k & ringMask_)].get(), kept);
    for (int g = graphs_; g < graphs; ++g) {
      std::byte* base = chunk.get() + kGraphBytes * static_cast<std::size_t>(g);
      std::fill_n(reinterpret_cast<float*>(base), kGranule, 0.0f);
      for (int level = 1; level <= kLevels; ++level)
        std::fill_n(reinterpret_cast<TCell*>(base + LevelOffset(level)), CellsPerChunk(level), TCell{0.0f, 0.0f});
    }
    fresh.push_back(std::move(chunk));
  }
  for (std::int64_t k = firstChunk_; k < endChunk_; ++k)
    ring_[static_cast<std::size_t>(k & ringMask_)] = std::move(fresh[static_cast<std::size_t>(k - firstChunk_)]);
  spare_.reset();
  graphs_ = graphs;
  return true;
}

void TDiagramStore::SetFloor(std::int64_t floor) {
  if (floor <= floor_) return;
  floor_ = floor;
  ReleaseChunksBelowFloor();
}

void TDiagramStore::ReleaseChunksBelowFloor() {
  const std::int64_t first = floor_ >> kChunkBits;
  for (; firstChunk_ < std::min(first, endChunk_); ++firstChunk_) {
    TChunk& chunk = ring_[static_cast<std::size_t>(firstChunk_ & ringMask_)];
    if (!spare_)
      spare_ = std::move(chunk);
    else
      chunk.reset();
  }
  if (firstChunk_ < first) firstChunk_ = endChunk_ = first;
}

void TDiagramStore::SetCapacityLimit(std::int64_t slots) { limit_ = std::max<std::int64_t>(slots, 1); }

bool TDiagramStore::Reserve(std::int64_t slot) {
  if (slot < floor_) return false;
  const std::int64_t need = std::max(slot, last_) - floor_ + 1;
  if (need > limit_) return false;
  const std::int64_t end = (slot >> kChunkBits) + 1;
  if (end <= endChunk_) return true;
  if (!GrowRing(end - firstChunk_)) return false;
  for (; endChunk_ < end; ++endChunk_) {
    TChunk chunk = NewChunk();
    if (!chunk) return false;
    ring_[static_cast<std::size_t>(endChunk_ & ringMask_)] = std::move(chunk);
  }
  return true;
}

bool TDiagramStore::Write(std::int64_t slot, std::span<const float> values) {
  if (slot < floor_ || !Reserve(slot)) return false;
  if (slot > last_) {
    static const float kZeros[kMaxGraphs] = {};
    for (std::int64_t s = std::max(last_ + 1, floor_); s < slot; ++s) WriteOne(s, kZeros);
    WriteOne(slot, values);
    return true;
  }
  for (int g = 0; g < graphs_; ++g) *RawAt(g, slot) = static_cast<std::size_t>(g) < values.size() ? values[g] : kNaN;
  RecomputeCells(slot);
  return true;
}

TDiagramStore::TCell TDiagramStore::Merge(const TCell& left, const TCell& right) {
  if (left.Empty()) return right;
  if (right.Empty()) return left;
  const float leftLow = left.Low(), rightLow = right.Low();
  const float leftHigh = left.High(), rightHigh = right.High();
  const bool lowLeft = leftLow <= rightLow;
  const bool highLeft = leftHigh >= rightHigh;
  if (lowLeft && highLeft) return left;
  if (!lowLeft && !highLeft) return right;
  return lowLeft ? TCell{leftLow, rightHigh} : TCell{leftHigh, rightLow};
}

void TDiagramStore::WriteOne(std::int64_t slot, std::span<const float> values) {
  const bool prevKept = slot - 1 >= floor_ && slot - 1 <= last_;
  bool combine[kLevels + 1];
  for (int level = 1; level <= kLevels; ++level) {
    const int shift = kFanBits * level;
    combine[level] = prevKept && ((slot - 1) >> shift) == (slot >> shift);
  }
  std::byte* chunk = ChunkOf(slot);
  const std::int64_t inChunk = slot & (kGranule - 1);
  for (int g = 0; g < graphs_; ++g) {
    const float v = static_cast<std::size_t>(g) < values.size() ? values[g] : kNaN;
    std::byte* base = chunk + kGraphBytes * static_cast<std::size_t>(g);
    reinterpret_cast<float*>(base)[inChunk] = v;
    const bool finite = std::isfinite(v);
    for (int level = 1; level <= kLevels; ++level) {
      TCell& c = reinterpret_cast<TCell*>(base + LevelOffset(level))[inChunk >> (kFanBits * level)];
      if (!combine[level] || c.Empty()) {
        c = finite ? TCell{v, v} : TCell{kNaN, kNaN};
      } else if (finite) {  // v comes last: a new extreme becomes the late one
        const float lo = c.Low(), hi = c.High();
        if (v < lo)
          c = TCell{hi, v};
        else if (v > hi)
          c = TCell{lo, v};
      }
    }
  }
  last_ = slot;
}

void TDiagramStore::RecomputeCells(std::int64_t slot) {
  for (int g = 0; g < graphs_; ++g) {
    for (int level = 1; level <= kLevels; ++level) {
      const int shift = kFanBits * level;
      const int childShift = shift - kFanBits;
      const std::int64_t cell = slot >> shift;
      const std::int64_t first = std::max(cell << kFanBits, floor_ >> childShift);
      const std::int64_t last = std::min(((cell + 1) << kFanBits) - 1, last_ >> childShift);
      TCell acc{kNaN, kNaN};
      for (std::int64_t child = first; child <= last; ++child) {
        if (level == 1) {
          const float v = *RawAt(g, child);
          if (std::isfinite(v)) acc = Merge(acc, TCell{v, v});
        } else {
          acc = Merge(acc, *CellAt(g, level - 1, child));
        }
      }
      *CellAt(g, level, cell) = acc;
    }
  }
}

float TDiagramStore::Value(int graph, std::int64_t slot) const {
  if (graph < 0 || graph >= graphs_ || !Holds(slot)) return kNaN;
  return *RawAt(graph, slot);
}

static inline float FiniteOr(float v, float otherwise) {
  return std::fabs(v) < std::numeric_limits<float>::infinity() ? v : otherwise;  // NaN fails too
}

// Folds lo/hi over n entries with eight independent lanes, so the loop is
// bound by loads rather than by the latency of one long chain of compares.
template <class Entry, class LowOf, class HighOf>
static inline void MinMaxOf(const Entry* p, std::int64_t n, LowOf lowOf, HighOf highOf, float& lo,
                            float& hi) {
  constexpr int kLanes = 8;
  if (n < 2 * kLanes) {
    for (std::int64_t k = 0; k < n; ++k) {
      const float x = lowOf(p + k), y = highOf(p + k);
      lo = x < lo ? x : lo;
      hi = y > hi ? y : hi;
    }
    return;
  }
  float a[kLanes], b[kLanes];
  for (int j = 0; j < kLanes; ++j) {
    a[j] = lo;
    b[j] = hi;
  }
  std::int64_t k = 0;
  for (; k + kLanes <= n; k += kLanes) {
    for (int j = 0; j < kLanes; ++j) {
      const float x = lowOf(p + k + j), y = highOf(p + k + j);
      a[j] = x < a[j] ? x : a[j];
      b[j] = y > b[j] ? y : b[j];
    }
  }
  for (; k < n; ++k) {
    const float x = lowOf(p + k), y = highOf(p + k);
    a[0] = x < a[0] ? x : a[0];
    b[0] = y > b[0] ? y : b[0];
  }
  for (int j = 0; j < kLanes; ++j) {
    lo = a[j] < lo ? a[j] : lo;
    hi = b[j] > hi ? b[j] : hi;
  }
}

// Offset of the first of n entries for which key(entry) == value, or -1;
// eight entries are compared per step before any branch.
template <class Entry, class Key>
static inline std::int64_t FirstEqual(const Entry* p, std::int64_t n, float value, Key key) {
  constexpr int kLanes = 8;
  std::int64_t k = 0;
  for (; k + kLanes <= n; k += kLanes) {
    int hit = 0;
    for (int j = 0; j < kLanes; ++j) hit |= (key(p + k + j) == value) << j;
    if (hit) return k + std::countr_zero(static_cast<unsigned>(hit));
  }
  for (; k < n; ++k)
    if (key(p + k) == value) return k;
  return -1;
}

template <class Entry, class Visit>
void TDiagramStore::ForBlocks(int graph, int level, std::int64_t from, std::int64_t to, Visit visit) const {
  const std::int64_t perChunk = CellsPerChunk(level);
  for (std::int64_t i = from; i < to;) {
    const std::int64_t n = std::min(to, (i | (perChunk - 1)) + 1) - i;
    if constexpr (std::is_same_v<Entry, float>)
      visit(i - from, RawAt(graph, i), n);
    else
      visit(i - from, CellAt(graph, level, i), n);
    i += n;
  }
}

void TDiagramStore::ScanRun(int graph, int level, std::int64_t from, std::int64_t to, TScan& scan) const {
  float lo = kInf, hi = -kInf;
  if (level == 0) {
    ForBlocks<float>(graph, 0, from, to, [&](std::int64_t, const float* p, std::int64_t n) {
      MinMaxOf(
          p, n, [](const float* e) { return FiniteOr(*e, kInf); }, [](const float* e) { return FiniteOr(*e, -kInf); },
          lo, hi);
    });
  } else {
    ForBlocks<TCell>(graph, level, from, to, [&](std::int64_t, const TCell* p, std::int64_t n) {
      // an empty cell's NaNs lose every comparison
      MinMaxOf(
          p, n, [](const TCell* e) { return e->Low(); }, [](const TCell* e) { return e->High(); }, lo, hi);
    });
  }
  const int run = scan.Runs++;
  if (lo < scan.Min) {
    scan.Min = lo;
    scan.MinRun = run;
    scan.MinLevel = level;
    scan.MinFrom = from;
    scan.MinTo = to;
  }
  if (hi > scan.Max) {
    scan.Max = hi;
    scan.MaxRun = run;
    scan.MaxLevel = level;
    scan.MaxFrom = from;
    scan.MaxTo = to;
  }
}

void TDiagramStore::ScanRange(int graph, int level, std::int64_t from, std::int64_t to, TScan& scan) const {
  if (from >= to) return;
  if (level == 0) {
    ScanRun(graph, 0, from, to, scan);
    return;
  }
  const int shift = kFanBits * level;
  const std::int64_t a = (from + (std::int64_t{1} << shift) - 1) >> shift;  // first whole cell
  const std::int64_t b = to >> shift;                                       // past the last whole cell
  if (a >= b) {
    ScanRange(graph, level - 1, from, to, scan);
    return;
  }
  ScanRange(graph, level - 1, from, a << shift, scan);
  ScanRun(graph, level, a, b, scan);
  ScanRange(graph, level - 1, b << shift, to, scan);
}

void TDiagramStore::Prefetch(int graph, std::int64_t slot) const {
  constexpr std::int64_t kBlock = std::int64_t{1} << kFanBits;
  constexpr std::int64_t kLine = 64;
  // The aligned block of 16 entries around the slot's entry at every level
  // below the top: that is what a column edge scans.
  for (int level = 0; level < kLevels; ++level) {
    const std::int64_t first = (slot >> (kFanBits * level)) & ~(kBlock - 1);
    if ((first << (kFanBits * level)) < floor_) continue;
    const char* p = level == 0 ? reinterpret_cast<const char*>(RawAt(graph, first))
                               : reinterpret_cast<const char*>(CellAt(graph, level, first));
    const std::int64_t bytes = kBlock * static_cast<std::int64_t>(level == 0 ? sizeof(float) : sizeof(TCell));
    for (std::int64_t b = 0; b < bytes; b += kLine) __builtin_prefetch(p + b);
  }
}

template <bool kHigh>
std::int64_t TDiagramStore::FirstEqualIn(int graph, int level, std::int64_t from, std::int64_t to,
                                         float value) const {
  std::int64_t at = -1;
  if (level == 0) {
    ForBlocks<float>(graph, 0, from, to, [&](std::int64_t off, const float* p, std::int64_t n) {
      if (at >= 0) return;
      const std::int64_t k = FirstEqual(p, n, value, [](const float* e) { return *e; });
      if (k >= 0) at = off + k;
    });
  } else {
    ForBlocks<TCell>(graph, level, from, to, [&](std::int64_t off, const TCell* p, std::int64_t n) {
      if (at >= 0) return;
      const std::int64_t k =
          FirstEqual(p, n, value, [](const TCell* e) { return kHigh ? e->High() : e->Low(); });
      if (k >= 0) at = off + k;
    });
  }
  return from + std::max<std::int64_t>(at, 0);
}

std::int64_t TDiagramStore::FirstLowIn(int graph, int level, std::int64_t from, std::int64_t to,
                                       float value) const {
  return FirstEqualIn<false>(graph, level, from, to, value);
}

std::int64_t TDiagramStore::FirstHighIn(int graph, int level, std::int64_t from, std::int64_t to,
                                        float value) const {
  return FirstEqualIn<true>(graph, level, from, to, value);
}

bool TDiagramStore::Scan(int graph, std::int64_t from, std::int64_t to, TScan& scan) const {
  scan = TScan{kInf, -kInf};
  ScanRange(graph, kLevels, from, to, scan);
  // A paint asks for one column after the other; the next one most likely
  // ends one range length further, and its edge entries are far apart in
  // memory, so they are requested now, while this one is finished.
  const std::int64_t ahead = to + (to - from);
  if (to - from > (std::int64_t{1} << kFanBits) && ahead <= last_) Prefetch(graph, ahead);
  return scan.Min <= scan.Max;
}

TDiagramStore::TEnvelope TDiagramStore::Envelope(int graph, std::int64_t from, std::int64_t to) const {
  TEnvelope r;
  if (graph < 0 || graph >= graphs_) return r;
  from = std::max(from, floor_);
  to = std::min(to, last_ + 1);
  if (from >= to) return r;
  if (to - from < (std::int64_t{1} << kFanBits)) {  // no whole cell: one pass over the slots
    std::int64_t minAt = 0, maxAt = 0;
    ForBlocks<float>(graph, 0, from, to, [&](std::int64_t off, const float* q, std::int64_t n) {
      for (std::int64_t k = 0; k < n; ++k) {
        const float v = q[k];
        if (!(std::fabs(v) < kInf)) continue;
        if (!r.Found || v < r.Min) r.Min = v, minAt = off + k;
        if (!r.Found || v > r.Max) r.Max = v, maxAt = off + k;
        r.Found = true;
      }
    });
    r.MinFirst = minAt < maxAt;
    return r;
  }
  TScan scan;
  if (!Scan(graph, from, to, scan)) return r;
  r.Found = true;
  r.Min = scan.Min;
  r.Max = scan.Max;
  if (scan.Min == scan.Max) return r;
  if (scan.MinRun != scan.MaxRun) {
    r.MinFirst = scan.MinRun < scan.MaxRun;
    return r;
  }
  // Both in one run (just read, so still in the cache): the first entry of
  // each decides, or within one cell the order the cell keeps.
  const int level = scan.MinLevel;
  const std::int64_t minAt = FirstLowIn(graph, level, scan.MinFrom, scan.MinTo, scan.Min);
  const std::int64_t maxAt = FirstHighIn(graph, level, scan.MaxFrom, scan.MaxTo, scan.Max);
  r.MinFirst = minAt != maxAt ? minAt < maxAt : CellAt(graph, level, minAt)->Early == scan.Min;
  return r;
}

TDiagramStore::TExtremes TDiagramStore::Extremes(int graph, std::int64_t from, std::int64_t to) const {
  TExtremes r;
  if (graph < 0 || graph >= graphs_) return r;
  from = std::max(from, floor_);
  to = std::min(to, last_ + 1);
  if (from >= to) return r;
  TScan scan;
  if (!Scan(graph, from, to, scan)) return r;
  r.Found = true;
  r.Min = scan.Min;
  r.Max = scan.Max;
  // Down from the first entry holding each extreme to its first slot.
  std::int64_t minCell = FirstLowIn(graph, scan.MinLevel, scan.MinFrom, scan.MinTo, scan.Min);
  std::int64_t maxCell = FirstHighIn(graph, scan.MaxLevel, scan.MaxFrom, scan.MaxTo, scan.Max);
  for (int level = scan.MinLevel; level > 0; --level)
    minCell = FirstLowIn(graph, level - 1, minCell << kFanBits, (minCell + 1) << kFanBits, scan.Min);
  for (int level = scan.MaxLevel; level > 0; --level)
    maxCell = FirstHighIn(graph, level - 1, maxCell << kFanBits, (maxCell + 1) << kFanBits, scan.Max);
  r.MinSlot = minCell;
  r.MaxSlot = maxCell;
  return r;
}

std::size_t TDiagramStore::MemoryBytes() const {
  const std::int64_t chunks = endChunk_ - firstChunk_ + (spare_ ? 1 : 0);
  return static_cast<std::size_t>(chunks) * ChunkBytes() + ring_.capacity() * sizeof(TChunk);
}
