#include "ui/diagram_store.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <new>
#include <stdexcept>

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

std::int64_t RoundUpToGranule(std::int64_t n) {
  const std::int64_t g = TDiagramStore::kGranule;
  return (n + g - 1) / g * g;
}

}  // namespace

TDiagramStore::TDiagramStore(int graphs) { Clear(graphs); }

void TDiagramStore::Clear(int graphs, std::int64_t floor) {
  graphs_ = std::clamp(graphs, 1, kMaxGraphs);
  floor_ = floor;
  last_ = floor - 1;
  capacity_ = 0;
  UpdateBases();
  std::vector<float>().swap(raw_);
  for (auto& level : cells_) std::vector<TCell>().swap(level);
}

bool TDiagramStore::SetGraphCount(int graphs) {
  graphs = std::clamp(graphs, 1, kMaxGraphs);
  if (graphs == graphs_) return true;
  if (capacity_ == 0) {
    graphs_ = graphs;
    return true;
  }
  try {
    const std::size_t cap = static_cast<std::size_t>(capacity_);
    const std::size_t kept = static_cast<std::size_t>(std::min(graphs, graphs_));
    std::vector<float> raw(static_cast<std::size_t>(graphs) * cap, 0.0f);
    std::copy_n(raw_.begin(), kept * cap, raw.begin());
    std::vector<TCell> cells[kLevels];
    for (int level = 1; level <= kLevels; ++level) {
      const std::size_t n = static_cast<std::size_t>(CellsPerGraph(level));
      cells[level - 1].assign(static_cast<std::size_t>(graphs) * n, TCell{0.0f, 0.0f});
      std::copy_n(cells_[level - 1].begin(), kept * n, cells[level - 1].begin());
    }
    raw_.swap(raw);
    for (int level = 0; level < kLevels; ++level) cells_[level].swap(cells[level]);
    graphs_ = graphs;
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

void TDiagramStore::SetFloor(std::int64_t floor) {
  if (floor > floor_) {
    floor_ = floor;
    UpdateBases();
  }
}

void TDiagramStore::UpdateBases() {
  for (int level = 0; level <= kLevels; ++level) {
    const std::int64_t n = capacity_ >> (kFanBits * level);
    const std::int64_t first = floor_ >> (kFanBits * level);
    base_[level] = n > 0 ? first - first % n : 0;
  }
}

void TDiagramStore::SetCapacityLimit(std::int64_t slots) { limit_ = std::max<std::int64_t>(slots, 1); }

bool TDiagramStore::Reserve(std::int64_t slot) {
  if (slot < floor_) return false;
  const std::int64_t need = std::max(slot, last_) - floor_ + 1;
  if (need > limit_) return false;
  // One spare block of the top level: the cells of the lowest and the highest
  // kept slot never share a place in the ring.
  if (need + kGranule <= capacity_) return true;
  return Grow(need + kGranule);
}

bool TDiagramStore::Grow(std::int64_t needed) {
  std::int64_t cap = std::max({needed, capacity_ * 2, kGranule});
  cap = std::min(cap, std::max(needed, limit_));
  cap = RoundUpToGranule(cap);
  try {
    std::vector<float> raw(static_cast<std::size_t>(graphs_) * static_cast<std::size_t>(cap));
    std::vector<TCell> cells[kLevels];
    for (int level = 1; level <= kLevels; ++level)
      cells[level - 1].resize(static_cast<std::size_t>(graphs_) *
                              static_cast<std::size_t>(cap >> (kFanBits * level)));
    if (last_ >= floor_) {
      for (int g = 0; g < graphs_; ++g) {
        float* dst = raw.data() + static_cast<std::size_t>(g) * static_cast<std::size_t>(cap);
        for (std::int64_t s = floor_; s <= last_; ++s) dst[s % cap] = raw_[RawIndex(g, s)];
        for (int level = 1; level <= kLevels; ++level) {
          const int shift = kFanBits * level;
          const std::int64_t n = cap >> shift;
          TCell* cdst = cells[level - 1].data() + static_cast<std::size_t>(g) * static_cast<std::size_t>(n);
          for (std::int64_t c = floor_ >> shift; c <= (last_ >> shift); ++c)
            cdst[c % n] = CellAt(g, level, c);
        }
      }
    }
    // (the new bases below are multiples of the new lengths, so positions
    // computed from them equal the remainders used here)
    raw_.swap(raw);
    for (int level = 0; level < kLevels; ++level) cells_[level].swap(cells[level]);
    capacity_ = cap;
    UpdateBases();
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
}

bool TDiagramStore::Write(std::int64_t slot, std::span<const float> values) {
  if (slot < floor_ || !Reserve(slot)) return false;
  if (slot > last_) {
    static const float kZeros[kMaxGraphs] = {};
    for (std::int64_t s = std::max(last_ + 1, floor_); s < slot; ++s) WriteOne(s, kZeros);
    WriteOne(slot, values);
    return true;
  }
  for (int g = 0; g < graphs_; ++g)
    raw_[RawIndex(g, slot)] = static_cast<std::size_t>(g) < values.size() ? values[g] : kNaN;
  RecomputeCells(slot);
  return true;
}

void TDiagramStore::WriteOne(std::int64_t slot, std::span<const float> values) {
  const bool prevKept = slot - 1 >= floor_ && slot - 1 <= last_;
  const std::size_t rawPos = RawPos(slot);
  std::size_t cellPos[kLevels + 1];
  bool combine[kLevels + 1];
  for (int level = 1; level <= kLevels; ++level) {
    const int shift = kFanBits * level;
    cellPos[level] = CellIndex(0, level, slot >> shift);
    combine[level] = prevKept && ((slot - 1) >> shift) == (slot >> shift);
  }
  for (int g = 0; g < graphs_; ++g) {
    const float v = static_cast<std::size_t>(g) < values.size() ? values[g] : kNaN;
    raw_[static_cast<std::size_t>(g) * static_cast<std::size_t>(capacity_) + rawPos] = v;
    const bool finite = std::isfinite(v);
    for (int level = 1; level <= kLevels; ++level) {
      TCell& c =
          cells_[level - 1][static_cast<std::size_t>(g) * static_cast<std::size_t>(CellsPerGraph(level)) +
                            cellPos[level]];
      if (combine[level]) {
        if (finite) {
          if (v < c.Min) c.Min = v;
          if (v > c.Max) c.Max = v;
        }
      } else {
        c = finite ? TCell{v, v} : TCell{kInf, -kInf};
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
      TCell acc{kInf, -kInf};
      for (std::int64_t child = first; child <= last; ++child) {
        if (level == 1) {
          const float v = raw_[RawIndex(g, child)];
          if (std::isfinite(v)) {
            acc.Min = std::min(acc.Min, v);
            acc.Max = std::max(acc.Max, v);
          }
        } else {
          const TCell& c = CellAt(g, level - 1, child);
          if (c.Min <= c.Max) {
            acc.Min = std::min(acc.Min, c.Min);
            acc.Max = std::max(acc.Max, c.Max);
          }
        }
      }
      CellAt(g, level, cell) = acc;
    }
  }
}

float TDiagramStore::Value(int graph, std::int64_t slot) const {
  if (graph < 0 || graph >= graphs_ || !Holds(slot)) return kNaN;
  return raw_[RawIndex(graph, slot)];
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

// A run of entries of one level lies in the ring as at most two contiguous
// blocks; `visit(offset in run, pointer, count)` sees them in order.
template <class Entry, class Visit>
static void ForBlocks(const Entry* base, std::int64_t ringLength, std::int64_t pos, std::int64_t count,
                      Visit visit) {
  const std::int64_t first = std::min(count, ringLength - pos);
  visit(std::int64_t{0}, base + pos, first);
  if (first < count) visit(first, base, count - first);
}

void TDiagramStore::ScanRun(int graph, int level, std::int64_t from, std::int64_t to, TScan& scan) const {
  float lo = kInf, hi = -kInf;
  if (level == 0) {
    ForBlocks(raw_.data() + static_cast<std::size_t>(graph) * static_cast<std::size_t>(capacity_), capacity_,
              static_cast<std::int64_t>(RawPos(from)), to - from,
              [&](std::int64_t, const float* p, std::int64_t n) {
                MinMaxOf(
                    p, n, [](const float* e) { return FiniteOr(*e, kInf); },
                    [](const float* e) { return FiniteOr(*e, -kInf); }, lo, hi);
              });
  } else {
    const std::int64_t n = CellsPerGraph(level);
    ForBlocks(cells_[level - 1].data() + static_cast<std::size_t>(graph) * static_cast<std::size_t>(n), n,
              static_cast<std::int64_t>(CellIndex(0, level, from)), to - from,
              [&](std::int64_t, const TCell* p, std::int64_t count) {
                // a cell without finite values holds {+inf, -inf}
                MinMaxOf(
                    p, count, [](const TCell* e) { return e->Min; }, [](const TCell* e) { return e->Max; },
                    lo, hi);
              });
  }
  if (lo < scan.Min) {
    scan.Min = lo;
    scan.MinLevel = level;
    scan.MinFrom = from;
    scan.MinTo = to;
  }
  if (hi > scan.Max) {
    scan.Max = hi;
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
  // The aligned block of 32 entries around the slot's entry at every level
  // below the top: that is what a column edge scans.
  {
    const std::int64_t first = slot & ~(kBlock - 1);
    if (first >= floor_) {
      const char* p = reinterpret_cast<const char*>(&raw_[RawIndex(graph, first)]);
      for (std::int64_t b = 0; b < kBlock * std::int64_t{sizeof(float)}; b += kLine)
        __builtin_prefetch(p + b);
    }
  }
  for (int level = 1; level < kLevels; ++level) {
    const std::int64_t first = (slot >> (kFanBits * level)) & ~(kBlock - 1);
    if ((first << (kFanBits * level)) < floor_) continue;
    const char* p = reinterpret_cast<const char*>(&CellAt(graph, level, first));
    for (std::int64_t b = 0; b < kBlock * std::int64_t{sizeof(TCell)}; b += kLine) __builtin_prefetch(p + b);
  }
}

void TDiagramStore::PrefetchChildren(int graph, int level, std::int64_t cell) const {
  constexpr std::int64_t kLine = 64;
  const std::int64_t first = cell << kFanBits;
  const char* p = level == 1 ? reinterpret_cast<const char*>(&raw_[RawIndex(graph, first)])
                             : reinterpret_cast<const char*>(&CellAt(graph, level - 1, first));
  const std::int64_t bytes =
      (std::int64_t{1} << kFanBits) * static_cast<std::int64_t>(level == 1 ? sizeof(float) : sizeof(TCell));
  for (std::int64_t b = 0; b < bytes; b += kLine) __builtin_prefetch(p + b);
}

std::int64_t TDiagramStore::FirstMinIn(int graph, int level, std::int64_t from, std::int64_t to,
                                       float value) const {
  return FirstEqualIn(graph, level, from, to, value, &TCell::Min);
}

std::int64_t TDiagramStore::FirstMaxIn(int graph, int level, std::int64_t from, std::int64_t to,
                                       float value) const {
  return FirstEqualIn(graph, level, from, to, value, &TCell::Max);
}

std::int64_t TDiagramStore::FirstEqualIn(int graph, int level, std::int64_t from, std::int64_t to,
                                         float value, float TCell::*field) const {
  std::int64_t at = -1;
  if (level == 0) {
    ForBlocks(raw_.data() + static_cast<std::size_t>(graph) * static_cast<std::size_t>(capacity_), capacity_,
              static_cast<std::int64_t>(RawPos(from)), to - from,
              [&](std::int64_t off, const float* p, std::int64_t n) {
                if (at >= 0) return;
                const std::int64_t k = FirstEqual(p, n, value, [](const float* e) { return *e; });
                if (k >= 0) at = off + k;
              });
  } else {
    const std::int64_t n = CellsPerGraph(level);
    ForBlocks(cells_[level - 1].data() + static_cast<std::size_t>(graph) * static_cast<std::size_t>(n), n,
              static_cast<std::int64_t>(CellIndex(0, level, from)), to - from,
              [&](std::int64_t off, const TCell* p, std::int64_t count) {
                if (at >= 0) return;
                const std::int64_t k =
                    FirstEqual(p, count, value, [field](const TCell* e) { return e->*field; });
                if (k >= 0) at = off + k;
              });
  }
  return from + std::max<std::int64_t>(at, 0);
}

std::int64_t TDiagramStore::FindMinIn(int graph, int level, std::int64_t cell, float value) const {
  for (; level > 0; --level)
    cell = FirstMinIn(graph, level - 1, cell << kFanBits, (cell + 1) << kFanBits, value);
  return cell;
}

std::int64_t TDiagramStore::FindMaxIn(int graph, int level, std::int64_t cell, float value) const {
  for (; level > 0; --level)
    cell = FirstMaxIn(graph, level - 1, cell << kFanBits, (cell + 1) << kFanBits, value);
  return cell;
}

TDiagramStore::TExtremes TDiagramStore::Extremes(int graph, std::int64_t from, std::int64_t to) const {
  TExtremes r;
  if (graph < 0 || graph >= graphs_) return r;
  from = std::max(from, floor_);
  to = std::min(to, last_ + 1);
  if (from >= to) return r;
  if (to - from < (std::int64_t{1} << kFanBits)) {  // no whole cell: one pass over the slots
    ForBlocks(raw_.data() + static_cast<std::size_t>(graph) * static_cast<std::size_t>(capacity_), capacity_,
              static_cast<std::int64_t>(RawPos(from)), to - from,
              [&](std::int64_t off, const float* p, std::int64_t n) {
                for (std::int64_t k = 0; k < n; ++k) {
                  const float v = p[k];
                  if (!(std::fabs(v) < kInf)) continue;
                  if (!r.Found || v < r.Min) r.Min = v, r.MinSlot = from + off + k;
                  if (!r.Found || v > r.Max) r.Max = v, r.MaxSlot = from + off + k;
                  r.Found = true;
                }
              });
    return r;
  }
  TScan scan{kInf, -kInf};
  ScanRange(graph, kLevels, from, to, scan);
  // A paint asks for one column after the other; the next one most likely
  // ends one range length further, and its edge entries are far apart in
  // memory, so they are requested now, while this one is finished.
  const std::int64_t ahead = to + (to - from);
  if (to - from > (std::int64_t{1} << kFanBits) && ahead <= last_) Prefetch(graph, ahead);
  if (!(scan.Min <= scan.Max)) return r;
  r.Found = true;
  r.Min = scan.Min;
  r.Max = scan.Max;
  const std::int64_t minAt = FirstMinIn(graph, scan.MinLevel, scan.MinFrom, scan.MinTo, scan.Min);
  const std::int64_t maxAt = FirstMaxIn(graph, scan.MaxLevel, scan.MaxFrom, scan.MaxTo, scan.Max);
  // Both descents go down together, each step's children requested for both
  // before either is read.
  int minLevel = scan.MinLevel, maxLevel = scan.MaxLevel;
  std::int64_t minCell = minAt, maxCell = maxAt;
  while (minLevel > 0 || maxLevel > 0) {
    if (minLevel > 0) PrefetchChildren(graph, minLevel, minCell);
    if (maxLevel > 0) PrefetchChildren(graph, maxLevel, maxCell);
    if (minLevel > 0) {
      minCell = FirstMinIn(graph, minLevel - 1, minCell << kFanBits, (minCell + 1) << kFanBits, scan.Min);
      --minLevel;
    }
    if (maxLevel > 0) {
      maxCell = FirstMaxIn(graph, maxLevel - 1, maxCell << kFanBits, (maxCell + 1) << kFanBits, scan.Max);
      --maxLevel;
    }
  }
  r.MinSlot = minCell;
  r.MaxSlot = maxCell;
  return r;
}

std::size_t TDiagramStore::MemoryBytes() const {
  std::size_t bytes = raw_.capacity() * sizeof(float);
  for (const auto& level : cells_) bytes += level.capacity() * sizeof(TCell);
  return bytes;
}
