#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <utility>
#include <vector>

// Sample memory of the chart: one 4-byte value per slot and graph, kept in
// chunks of kGranule slots addressed by absolute slot number, with a min/max
// summary over cells of 16, 256 and 4096 slots kept inside each chunk; a
// cell is summarised when its last slot is written and again whenever a slot
// in it is overwritten. Within a chunk the values of one slot,
// and the cells of one stretch, of all graphs lie side by side, so a query
// for all graphs at once reads a few contiguous blocks per range edge.
//
// The slots kept form one run [Floor(), Last()]. Writing after Last() appends,
// writing inside the run overwrites. Appending past the last chunk adds a
// chunk; raising the floor past a chunk's end drops that chunk (the most
// recently dropped one is kept for reuse). No sample is ever moved.
//
// A range query reads a number of summary cells proportional to the number
// of cells and a bounded number of edge entries per level (at most 15 slots
// at each end), not to the length of the range.
class TDiagramStore {
 public:
  static constexpr int kMaxGraphs = 12;
  static constexpr int kFanBits = 4;  // 16 children per summary cell
  static constexpr int kLevels = 3;   // cells of 16, 256 and 4096 slots
  static constexpr int kChunkBits = 15;
  static constexpr std::int64_t kGranule = std::int64_t{1} << kChunkBits;  // slots per chunk

  // Extremes of a range: the smallest and largest finite value and the first
  // slot holding each.
  struct TExtremes {
    bool Found = false;
    float Min = 0.0f;
    float Max = 0.0f;
    std::int64_t MinSlot = 0;
    std::int64_t MaxSlot = 0;
  };
  // What a drawing needs of a range: the extremes and which of them comes
  // first (the first slot holding Min lies before the first holding Max).
  struct TEnvelope {
    bool Found = false;
    float Min = 0.0f;
    float Max = 0.0f;
    bool MinFirst = false;
  };

  explicit TDiagramStore(int graphs = 1);
  ~TDiagramStore();
  TDiagramStore(const TDiagramStore&) = delete;
  TDiagramStore& operator=(const TDiagramStore&) = delete;

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

  // Largest number of slots between the floor and the highest slot the store
  // may hold. A write beyond fails.
  void SetCapacityLimit(std::int64_t slots);
  std::int64_t CapacityLimit() const { return limit_; }
  // Makes room for `slot` (>= Floor()); false when it is beyond the limit or
  // memory runs out. Nothing kept is changed on failure.
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
  // The same without the slot numbers: never reads slots beyond the 15 at
  // each end of the range that no summary cell covers.
  TEnvelope Envelope(int graph, std::int64_t from, std::int64_t to) const;
  // Envelopes of graphs 0 .. out.size() - 1 in one pass: the values of one
  // slot (and the cells of one stretch) of all graphs lie side by side.
  void Envelopes(std::int64_t from, std::int64_t to, std::span<TEnvelope> out) const;

  // Smallest (largest) finite value v of slots [from, to) for which accept(v)
  // holds, where accept is an interval test: below(v) is monotone falling,
  // above(v) monotone rising, accept = !below && !above. Returns false when no
  // value is accepted.
  template <class Below, class Above>
  bool BandMin(int graph, std::int64_t from, std::int64_t to, Below below, Above above, float& out) const;
  template <class Below, class Above>
  bool BandMax(int graph, std::int64_t from, std::int64_t to, Below below, Above above, float& out) const;

  // Slots of the chunks in use, the chunks allocated so far (reuse does not
  // count) and the bytes held.
  std::int64_t Capacity() const { return (endChunk_ - firstChunk_) * kGranule; }
  std::int64_t ChunkAllocations() const { return allocations_; }
  std::size_t MemoryBytes() const;

 private:
  // A cell holds the lowest and highest finite value below it in the order
  // of their first occurrence; a cell without finite values holds two NaNs.
  struct TCell {
    float Early;
    float Late;
    float Low() const { return Early < Late ? Early : Late; }
    float High() const { return Early < Late ? Late : Early; }
    bool Empty() const { return !(Early == Early); }
  };
  static TCell Merge(const TCell& left, const TCell& right);

  struct TFreeChunk {
    void operator()(std::byte* p) const noexcept;
  };
  using TChunk = std::unique_ptr<std::byte, TFreeChunk>;

  // Layout of one chunk: the slots, slot by slot with the values of all
  // graphs side by side, then the cells level by level in the same way.
  static constexpr std::int64_t CellsPerChunk(int level) { return kGranule >> (kFanBits * level); }
  // Bytes per graph before `level` in a chunk.
  static constexpr std::size_t LevelOffset(int level) {
    std::size_t off = static_cast<std::size_t>(kGranule) * sizeof(float);
    for (int l = 1; l < level; ++l) off += static_cast<std::size_t>(CellsPerChunk(l)) * sizeof(TCell);
    return off;
  }
  std::size_t ChunkBytes() const { return LevelOffset(kLevels + 1) * static_cast<std::size_t>(graphs_); }

  std::byte* ChunkOf(std::int64_t slot) const {
    return ring_[static_cast<std::size_t>((slot >> kChunkBits) & ringMask_)].get();
  }
  const float* RawAt(int graph, std::int64_t slot) const {
    return reinterpret_cast<const float*>(ChunkOf(slot)) + (slot & (kGranule - 1)) * graphs_ + graph;
  }
  float* RawAt(int graph, std::int64_t slot) {
    return const_cast<float*>(std::as_const(*this).RawAt(graph, slot));
  }
  const TCell* CellAt(int graph, int level, std::int64_t cell) const {
    return reinterpret_cast<const TCell*>(ChunkOf(cell << (kFanBits * level)) +
                                          LevelOffset(level) * static_cast<std::size_t>(graphs_)) +
           (cell & (CellsPerChunk(level) - 1)) * graphs_ + graph;
  }
  TCell* CellAt(int graph, int level, std::int64_t cell) {
    return const_cast<TCell*>(std::as_const(*this).CellAt(graph, level, cell));
  }

  TChunk NewChunk();
  bool GrowRing(std::int64_t chunks);
  void ReleaseChunksBelowFloor();
  void WriteOne(std::int64_t slot, std::span<const float> values);
  void RecomputeCells(std::int64_t slot);
  // Sets a cell of every graph from its children that are kept.
  void SummarizeCell(int level, std::int64_t cell);

  // Running result of a range scan of one graph: the extremes so far and,
  // for each, the run of cells (or slots, at level 0) it was first seen in.
  struct TScan {
    float Min;
    float Max;
    int MinRun = 0, MaxRun = 0;
    int MinLevel = 0, MaxLevel = 0;
    std::int64_t MinFrom = 0, MinTo = 0;
    std::int64_t MaxFrom = 0, MaxTo = 0;
  };
  // The scans of graphs [First, End) over one range; runs are numbered from
  // left to right.
  struct TScans {
    int First = 0;
    int End = 0;
    int Runs = 0;
    TScan Graph[kMaxGraphs];
  };
  // Covers [from, to) with the runs of whole cells of `level` it contains and
  // finer runs at both edges, scanned left to right as contiguous blocks.
  void ScanRange(int level, std::int64_t from, std::int64_t to, TScans& scans) const;
  void ScanRun(int level, std::int64_t from, std::int64_t to, TScans& scans) const;
  // Scans the kept slots [from, to) (a range of at least one whole cell).
  void Scan(std::int64_t from, std::int64_t to, TScans& scans) const;
  // Envelopes of graphs [first, end) over kept slots [from, to).
  void EnvelopesOf(int first, int end, std::int64_t from, std::int64_t to, TEnvelope* out) const;
  // Calls visit(offset in run, pointer to the entry of graph 0, count) for
  // the contiguous pieces of a run of entries of one level (slots at level
  // 0), in order; entries of one graph lie GraphCount() apart.
  template <class Entry, class Visit>
  void ForBlocks(int level, std::int64_t from, std::int64_t to, Visit visit) const;
  // Asks the cache for the entries a query ending near `slot` reads at its edge.
  void Prefetch(std::int64_t slot) const;
  // First entry of a run of cells (or slots) whose low (high) equals `value`.
  std::int64_t FirstLowIn(int graph, int level, std::int64_t from, std::int64_t to, float value) const;
  std::int64_t FirstHighIn(int graph, int level, std::int64_t from, std::int64_t to, float value) const;
  template <bool kHigh>
  std::int64_t FirstEqualIn(int graph, int level, std::int64_t from, std::int64_t to, float value) const;

  template <bool kHighest, class Below, class Above>
  bool BandExtreme(int graph, std::int64_t from, std::int64_t to, Below below, Above above, float& out) const;

  int graphs_ = 1;
  std::int64_t floor_ = 0;
  std::int64_t last_ = -1;
  std::int64_t limit_ = std::int64_t{1} << 40;
  // Chunks [firstChunk_, endChunk_) are in use; chunk k sits at ring_[k & ringMask_].
  std::vector<TChunk> ring_;
  std::int64_t ringMask_ = 0;
  std::int64_t firstChunk_ = 0;
  std::int64_t endChunk_ = 0;
  TChunk spare_;
  std::int64_t allocations_ = 0;
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
      consider(*RawAt(graph, i));
      ++i;
      continue;
    }
    const std::int64_t size = std::int64_t{1} << (kFanBits * level);
    stack[depth++] = {level, i >> (kFanBits * level)};
    while (depth > 0) {
      const TFrame f = stack[--depth];
      const TCell& c = *CellAt(graph, f.level, f.cell);
      if (c.Empty()) continue;  // no finite value
      const float lo = c.Low(), hi = c.High();
      const float extreme = kHighest ? hi : lo;
      if (found && !beats(extreme, best)) continue;  // cannot improve
      if (below(hi) || above(lo)) continue;          // wholly outside the band
      if (kHighest ? !above(hi) : !below(lo)) {      // the cell's extreme is accepted
        consider(extreme);
        continue;
      }
      const std::int64_t first = f.cell << kFanBits;
      if (f.level == 1) {
        const float* p = RawAt(graph, first);
        for (std::int64_t k = 0; k < (std::int64_t{1} << kFanBits); ++k) consider(p[k * graphs_]);
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
