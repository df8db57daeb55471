#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// Sample memory of the chart: one 4-byte value per slot and graph, kept in a
// ring indexed by absolute slot numbers, with a min/max summary over blocks of
// 32, 1024 and 32768 slots that is brought up to date on every write.
//
// The slots kept form one run [Floor(), Last()]. Writing after Last() appends,
// writing inside the run overwrites. Raising the floor frees slots without
// moving any data; the ring grows geometrically (up to a limit) when a write
// would not fit between the floor and the end of the ring.
//
// A range query reads a number of summary cells proportional to the number
// of cells and the few edge slots, not to the length of the range.
class TDiagramStore {
 public:
  static constexpr int kMaxGraphs = 12;
  static constexpr int kFanBits = 5;  // 32 children per summary cell
  static constexpr int kLevels = 3;   // cells of 32, 1024 and 32768 slots
  static constexpr std::int64_t kGranule = std::int64_t{1} << (kFanBits * kLevels);

  // Extremes of a range: the smallest and largest finite value and the first
  // slot holding each.
  struct TExtremes {
    bool Found = false;
    float Min = 0.0f;
    float Max = 0.0f;
    std::int64_t MinSlot = 0;
    std::int64_t MaxSlot = 0;
  };

  explicit TDiagramStore(int graphs = 1);

  // Forgets every slot and releases the memory; the floor becomes `floor`.
  void Clear(int graphs, std::int64_t floor = 0);
  // Changes the number of graphs; graphs kept keep their data, new ones read 0.
  bool SetGraphCount(int graphs);
  int GraphCount() const { return graphs_; }

  std::int64_t Floor() const { return floor_; }
  // Highest slot written; below Floor() when nothing is kept.
  std::int64_t Last() const { return last_; }
  bool Holds(std::int64_t slot) const { return slot >= floor_ && slot <= last_; }
  // Slots below `floor` may be reused. The floor never goes down.
  void SetFloor(std::int64_t floor);

  // Largest number of slots between the floor and the highest slot the ring
  // may hold. A write beyond fails.
  void SetCapacityLimit(std::int64_t slots);
  std::int64_t CapacityLimit() const { return limit_; }
  // Makes room for `slot` (>= Floor()); false when it is beyond the limit or
  // memory runs out. Nothing is changed on failure.
  bool Reserve(std::int64_t slot);

  // Writes one value per graph into `slot` (missing values are NaN). Slots
  // skipped between Last() and `slot` read 0. False when `slot` is below the
  // floor or cannot be reserved.
  bool Write(std::int64_t slot, std::span<const float> values);

  // The value of a kept slot; NaN for any other slot or graph.
  float Value(int graph, std::int64_t slot) const;

  // Extremes of the finite values of slots [from, to) that are kept; the
  // earliest slot wins a tie.
  TExtremes Extremes(int graph, std::int64_t from, std::int64_t to) const;

  // Smallest (largest) finite value v of slots [from, to) for which accept(v)
  // holds, where accept is an interval test: below(v) is monotone falling,
  // above(v) monotone rising, accept = !below && !above. Returns false when no
  // value is accepted.
  template <class Below, class Above>
  bool BandMin(int graph, std::int64_t from, std::int64_t to, Below below, Above above, float& out) const;
  template <class Below, class Above>
  bool BandMax(int graph, std::int64_t from, std::int64_t to, Below below, Above above, float& out) const;

  // Ring length in slots and the bytes held.
  std::int64_t Capacity() const { return capacity_; }
  std::size_t MemoryBytes() const;

 private:
  template <bool kHighest, class Below, class Above>
  bool BandExtreme(int graph, std::int64_t from, std::int64_t to, Below below, Above above, float& out) const;

  struct TCell {
    float Min;
    float Max;
  };

  // Every slot and cell accessed lies less than one ring length above the
  // base of its level, so the ring position needs no division.
  std::size_t RawPos(std::int64_t slot) const {
    std::int64_t p = slot - base_[0];
    if (p >= capacity_) p -= capacity_;
    return static_cast<std::size_t>(p);
  }
  std::size_t RawIndex(int graph, std::int64_t slot) const {
    return static_cast<std::size_t>(graph) * static_cast<std::size_t>(capacity_) + RawPos(slot);
  }
  std::int64_t CellsPerGraph(int level) const { return capacity_ >> (kFanBits * level); }
  std::size_t CellIndex(int graph, int level, std::int64_t cell) const {
    const std::int64_t n = CellsPerGraph(level);
    std::int64_t p = cell - base_[level];
    if (p >= n) p -= n;
    return static_cast<std::size_t>(graph) * static_cast<std::size_t>(n) + static_cast<std::size_t>(p);
  }
  void UpdateBases();
  const TCell& CellAt(int graph, int level, std::int64_t cell) const {
    return cells_[level - 1][CellIndex(graph, level, cell)];
  }
  TCell& CellAt(int graph, int level, std::int64_t cell) {
    return cells_[level - 1][CellIndex(graph, level, cell)];
  }

  bool Grow(std::int64_t needed);
  void WriteOne(std::int64_t slot, std::span<const float> values);
  void RecomputeCells(std::int64_t slot);
  std::int64_t FindMinIn(int graph, int level, std::int64_t cell, float value) const;
  std::int64_t FindMaxIn(int graph, int level, std::int64_t cell, float value) const;

  // Running result of a range scan: the extremes so far and, for each, the
  // leftmost run of cells (or slots, at level 0) it was first seen in.
  struct TScan {
    float Min;
    float Max;
    int MinLevel = 0;
    int MaxLevel = 0;
    std::int64_t MinFrom = 0, MinTo = 0;
    std::int64_t MaxFrom = 0, MaxTo = 0;
  };
  // Covers [from, to) with the runs of whole cells of `level` it contains and
  // finer runs at both edges, scanned left to right as contiguous blocks.
  void ScanRange(int graph, int level, std::int64_t from, std::int64_t to, TScan& scan) const;
  void ScanRun(int graph, int level, std::int64_t from, std::int64_t to, TScan& scan) const;
  // Asks the cache for the entries a query ending near `slot` reads at its edge.
  void Prefetch(int graph, std::int64_t slot) const;
  // Asks the cache for the children of one cell.
  void PrefetchChildren(int graph, int level, std::int64_t cell) const;
  // First entry of a run of cells (or slots) whose minimum (maximum) equals `value`.
  std::int64_t FirstMinIn(int graph, int level, std::int64_t from, std::int64_t to, float value) const;
  std::int64_t FirstMaxIn(int graph, int level, std::int64_t from, std::int64_t to, float value) const;
  // First slot (level 0) or cell whose value (the cell's `field`) equals `value`.
  std::int64_t FirstEqualIn(int graph, int level, std::int64_t from, std::int64_t to, float value,
                            float TCell::*field) const;

  int graphs_ = 1;
  std::int64_t floor_ = 0;
  std::int64_t last_ = -1;
  std::int64_t capacity_ = 0;
  std::int64_t base_[kLevels + 1] = {};  // per level: a multiple of its ring length, <= the floor
  std::int64_t limit_ = std::int64_t{1} << 40;
  std::vector<float> raw_;             // graphs_ x capacity_
  std::vector<TCell> cells_[kLevels];  // graphs_ x (capacity_ >> 5k)
};

// ---------------------------------------------------------------------------

template <class Below, class Above>
bool TDiagramStore::BandMin(int graph, std::int64_t from, std::int64_t to, Below below, Above above,
                            float& out) const {
  return BandExtreme<false>(graph, from, to, below, above, out);
}

template <class Below, class Above>
bool TDiagramStore::BandMax(int graph, std::int64_t from, std::int64_t to, Below below, Above above,
                            float& out) const {
  return BandExtreme<true>(graph, from, to, below, above, out);
}

template <bool kHighest, class Below, class Above>
bool TDiagramStore::BandExtreme(int graph, std::int64_t from, std::int64_t to, Below below, Above above,
                                float& out) const {
  if (graph < 0 || graph >= graphs_) return false;
  if (from < floor_) from = floor_;
  if (to > last_ + 1) to = last_ + 1;
  bool found = false;
  float best = 0.0f;
  auto beats = [](float v, float than) { return kHighest ? v > than : v < than; };
  auto consider = [&](float v) {
    if (std::isfinite(v) && !below(v) && !above(v) && (!found || beats(v, best))) {
      best = v;
      found = true;
    }
  };
  // Depth-first over the cells that cover [from, to).
  struct TFrame {
    int level;
    std::int64_t cell;
  };
  std::int64_t i = from;
  // Each level pushes at most one cell's children above the one it pops.
  TFrame stack[kLevels << kFanBits];
  int depth = 0;
  while (i < to) {
    int level = kLevels;
    for (; level >= 1; --level) {
      const std::int64_t size = std::int64_t{1} << (kFanBits * level);
      if ((i & (size - 1)) == 0 && i + size <= to) break;
    }
    if (level == 0) {
      consider(raw_[RawIndex(graph, i)]);
      ++i;
      continue;
    }
    const std::int64_t size = std::int64_t{1} << (kFanBits * level);
    stack[depth++] = {level, i >> (kFanBits * level)};
    while (depth > 0) {
      const TFrame f = stack[--depth];
      const TCell& c = CellAt(graph, f.level, f.cell);
      if (!(c.Min <= c.Max)) continue;  // no finite value
      const float extreme = kHighest ? c.Max : c.Min;
      if (found && !beats(extreme, best)) continue;    // cannot improve
      if (below(c.Max) || above(c.Min)) continue;      // wholly outside the band
      if (kHighest ? !above(c.Max) : !below(c.Min)) {  // the cell's extreme is accepted
        consider(extreme);
        continue;
      }
      const std::int64_t first = f.cell << kFanBits;
      if (f.level == 1) {
        for (std::int64_t s = first; s < first + (std::int64_t{1} << kFanBits); ++s)
          consider(raw_[RawIndex(graph, s)]);
      } else {
        for (std::int64_t k = (std::int64_t{1} << kFanBits) - 1; k >= 0; --k)
          stack[depth++] = {f.level - 1, first + k};
      }
    }
    i += size;
  }
  if (found) out = best;
  return found;
}
