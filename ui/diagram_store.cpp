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

void TDiagramStore::TFreeChunk::operator()(std::byte* p) const noexcept {
  ::operator delete[](p, kChunkAlign);
}

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
  const std::size_t bytes = LevelOffset(kLevels + 1) * static_cast<std::size_t>(graphs);
  const int kept = std::min(graphs, graphs_);
  std::vector<TChunk> fresh;
  try {
    fresh.reserve(static_cast<std::size_t>(endChunk_ - firstChunk_));
  } catch (const std::bad_alloc&) {
    return false;
  }
  // Every row of entries (slots, then cells) is copied for the graphs kept and
  // filled with zeros for the new ones.
  auto relayout = [&](const auto* from, auto* to, std::int64_t rows, auto zero) {
    for (std::int64_t r = 0; r < rows; ++r) {
      for (int g = 0; g < graphs; ++g) to[r * graphs + g] = g < kept ? from[r * graphs_ + g] : zero;
    }
  };
  for (std::int64_t k = firstChunk_; k < endChunk_; ++k) {
    TChunk chunk(static_cast<std::byte*>(::operator new[](bytes, kChunkAlign, std::nothrow)));
    if (!chunk) return false;  // the chunks made so far are freed, nothing changed
    ++allocations_;
    const std::byte* old = ring_[static_cast<std::size_t>(k & ringMask_)].get();
    relayout(reinterpret_cast<const float*>(old), reinterpret_cast<float*>(chunk.get()), kGranule, 0.0f);
    for (int level = 1; level <= kLevels; ++level)
      relayout(reinterpret_cast<const TCell*>(old + LevelOffset(level) * static_cast<std::size_t>(graphs_)),
               reinterpret_cast<TCell*>(chunk.get() + LevelOffset(level) * static_cast<std::size_t>(graphs)),
               CellsPerChunk(level), TCell{0.0f, 0.0f});
    fresh.push_back(std::move(chunk));
  }
  for (std::int64_t k = firstChunk_; k < endChunk_; ++k)
    ring_[static_cast<std::size_t>(k & ringMask_)] =
        std::move(fresh[static_cast<std::size_t>(k - firstChunk_)]);
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
  for (int g = 0; g < graphs_; ++g)
    *RawAt(g, slot) = static_cast<std::size_t>(g) < values.size() ? values[g] : kNaN;
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
  float* raw = RawAt(0, slot);
  for (int g = 0; g < graphs_; ++g) raw[g] = static_cast<std::size_t>(g) < values.size() ? values[g] : kNaN;
  last_ = slot;
  // A query reads a cell only when the whole cell lies in its range, so a
  // cell is summarised once its last slot is written.
  for (int level = 1; level <= kLevels; ++level) {
    const int shift = kFanBits * level;
    if (((slot + 1) & ((std::int64_t{1} << shift) - 1)) != 0) break;
    SummarizeCell(level, slot >> shift);
  }
}

void TDiagramStore::RecomputeCells(std::int64_t slot) {
  for (int level = 1; level <= kLevels; ++level) SummarizeCell(level, slot >> (kFanBits * level));
}

void TDiagramStore::SummarizeCell(int level, std::int64_t cell) {
  const int childShift = kFanBits * (level - 1);
  const std::int64_t first = std::max(cell << kFanBits, floor_ >> childShift);
  const std::int64_t last = std::min(((cell + 1) << kFanBits) - 1, last_ >> childShift);
  TCell acc[kMaxGraphs];
  for (int g = 0; g < graphs_; ++g) acc[g] = TCell{kNaN, kNaN};
  for (std::int64_t child = first; child <= last; ++child) {
    if (level == 1) {
      const float* row = RawAt(0, child);
      for (int g = 0; g < graphs_; ++g) {
        const float v = row[g];
        if (std::isfinite(v)) acc[g] = Merge(acc[g], TCell{v, v});
      }
    } else {
      const TCell* row = CellAt(0, level - 1, child);
      for (int g = 0; g < graphs_; ++g) acc[g] = Merge(acc[g], row[g]);
    }
  }
  TCell* out = CellAt(0, level, cell);
  for (int g = 0; g < graphs_; ++g) out[g] = acc[g];
}

float TDiagramStore::Value(int graph, std::int64_t slot) const {
  if (graph < 0 || graph >= graphs_ || !Holds(slot)) return kNaN;
  return *RawAt(graph, slot);
}

static inline bool IsFinite(float v) { return std::fabs(v) < kInf; }  // NaN fails too

template <class Entry, class Visit>
void TDiagramStore::ForBlocks(int level, std::int64_t from, std::int64_t to, Visit visit) const {
  const std::int64_t perChunk = CellsPerChunk(level);
  for (std::int64_t i = from; i < to;) {
    const std::int64_t n = std::min(to, (i | (perChunk - 1)) + 1) - i;
    if constexpr (std::is_same_v<Entry, float>)
      visit(i - from, RawAt(0, i), n);
    else
      visit(i - from, CellAt(0, level, i), n);
    i += n;
  }
}

void TDiagramStore::ScanRun(int level, std::int64_t from, std::int64_t to, TScans& scans) const {
  float lo[kMaxGraphs], hi[kMaxGraphs];
  const int first = scans.First, end = scans.End;
  for (int g = first; g < end; ++g) lo[g] = kInf, hi[g] = -kInf;
  const std::int64_t stride = graphs_;
  if (level == 0) {
    ForBlocks<float>(0, from, to, [&](std::int64_t, const float* p, std::int64_t n) {
      for (std::int64_t k = 0; k < n; ++k, p += stride) {
        for (int g = first; g < end; ++g) {
          const float v = p[g];
          const bool finite = IsFinite(v);
          lo[g] = finite && v < lo[g] ? v : lo[g];
          hi[g] = finite && v > hi[g] ? v : hi[g];
        }
      }
    });
  } else {
    ForBlocks<TCell>(level, from, to, [&](std::int64_t, const TCell* p, std::int64_t n) {
      // an empty cell's NaNs lose every comparison
      for (std::int64_t k = 0; k < n; ++k, p += stride) {
        for (int g = first; g < end; ++g) {
          const float x = p[g].Low(), y = p[g].High();
          lo[g] = x < lo[g] ? x : lo[g];
          hi[g] = y > hi[g] ? y : hi[g];
        }
      }
    });
  }
  const int run = scans.Runs++;
  for (int g = first; g < end; ++g) {
    TScan& scan = scans.Graph[g];
    if (lo[g] < scan.Min) {
      scan.Min = lo[g];
      scan.MinRun = run;
      scan.MinLevel = level;
      scan.MinFrom = from;
      scan.MinTo = to;
    }
    if (hi[g] > scan.Max) {
      scan.Max = hi[g];
      scan.MaxRun = run;
      scan.MaxLevel = level;
      scan.MaxFrom = from;
      scan.MaxTo = to;
    }
  }
}

void TDiagramStore::ScanRange(int level, std::int64_t from, std::int64_t to, TScans& scans) const {
  if (from >= to) return;
  if (level == 0) {
    ScanRun(0, from, to, scans);
    return;
  }
  const int shift = kFanBits * level;
  const std::int64_t a = (from + (std::int64_t{1} << shift) - 1) >> shift;  // first whole cell
  const std::int64_t b = to >> shift;                                       // past the last whole cell
  if (a >= b) {
    ScanRange(level - 1, from, to, scans);
    return;
  }
  ScanRange(level - 1, from, a << shift, scans);
  ScanRun(level, a, b, scans);
  ScanRange(level - 1, b << shift, to, scans);
}

void TDiagramStore::Prefetch(std::int64_t slot) const {
  constexpr std::int64_t kBlock = std::int64_t{1} << kFanBits;
  constexpr std::int64_t kLine = 64;
  // The aligned block of 16 entries around the slot's entry at every level
  // below the top, for all graphs: that is what a column edge scans.
  for (int level = 0; level < kLevels; ++level) {
    const std::int64_t first = (slot >> (kFanBits * level)) & ~(kBlock - 1);
    if ((first << (kFanBits * level)) < floor_) continue;
    const char* p = level == 0 ? reinterpret_cast<const char*>(RawAt(0, first))
                               : reinterpret_cast<const char*>(CellAt(0, level, first));
    const std::int64_t bytes =
        kBlock * graphs_ * static_cast<std::int64_t>(level == 0 ? sizeof(float) : sizeof(TCell));
    for (std::int64_t b = 0; b < bytes; b += kLine) __builtin_prefetch(p + b);
  }
}

template <bool kHigh>
std::int64_t TDiagramStore::FirstEqualIn(int graph, int level, std::int64_t from, std::int64_t to,
                                         float value) const {
  std::int64_t at = -1;
  const std::int64_t stride = graphs_;
  if (level == 0) {
    ForBlocks<float>(0, from, to, [&](std::int64_t off, const float* p, std::int64_t n) {
      for (std::int64_t k = 0; k < n && at < 0; ++k)
        if (p[k * stride + graph] == value) at = off + k;
    });
  } else {
    ForBlocks<TCell>(level, from, to, [&](std::int64_t off, const TCell* p, std::int64_t n) {
      for (std::int64_t k = 0; k < n && at < 0; ++k) {
        const TCell& c = p[k * stride + graph];
        if ((kHigh ? c.High() : c.Low()) == value) at = off + k;
      }
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

void TDiagramStore::Scan(std::int64_t from, std::int64_t to, TScans& scans) const {
  scans.Runs = 0;
  for (int g = scans.First; g < scans.End; ++g) scans.Graph[g] = TScan{kInf, -kInf};
  ScanRange(kLevels, from, to, scans);
  // A paint asks for one column after the other; the next one most likely
  // ends one range length further, and its edge entries are far apart in
  // memory, so they are requested now, while this one is finished.
  const std::int64_t ahead = to + 2 * (to - from);
  if (ahead <= last_) Prefetch(ahead);
}

void TDiagramStore::EnvelopesOf(int first, int end, std::int64_t from, std::int64_t to,
                                TEnvelope* out) const {
  for (int g = first; g < end; ++g) out[g - first] = TEnvelope{};
  from = std::max(from, floor_);
  to = std::min(to, last_ + 1);
  if (from >= to) return;
  if (to - from < (std::int64_t{1} << kFanBits)) {  // no whole cell: one pass over the slots
    std::int64_t minAt[kMaxGraphs], maxAt[kMaxGraphs];
    ForBlocks<float>(0, from, to, [&](std::int64_t off, const float* p, std::int64_t n) {
      for (std::int64_t k = 0; k < n; ++k, p += graphs_) {
        for (int g = first; g < end; ++g) {
          const float v = p[g];
          if (!IsFinite(v)) continue;
          TEnvelope& r = out[g - first];
          if (!r.Found || v < r.Min) r.Min = v, minAt[g] = off + k;
          if (!r.Found || v > r.Max) r.Max = v, maxAt[g] = off + k;
          r.Found = true;
        }
      }
    });
    for (int g = first; g < end; ++g) out[g - first].MinFirst = out[g - first].Found && minAt[g] < maxAt[g];
    return;
  }
  TScans scans;
  scans.First = first;
  scans.End = end;
  Scan(from, to, scans);
  for (int g = first; g < end; ++g) {
    const TScan& scan = scans.Graph[g];
    TEnvelope& r = out[g - first];
    if (!(scan.Min <= scan.Max)) continue;
    r.Found = true;
    r.Min = scan.Min;
    r.Max = scan.Max;
    if (scan.Min == scan.Max) continue;
    if (scan.MinRun != scan.MaxRun) {
      r.MinFirst = scan.MinRun < scan.MaxRun;
      continue;
    }
    // Both in one run (just read, so still in the cache): the first entry of
    // each decides, or within one cell the order the cell keeps.
    const int level = scan.MinLevel;
    const std::int64_t minAt = FirstLowIn(g, level, scan.MinFrom, scan.MinTo, scan.Min);
    const std::int64_t maxAt = FirstHighIn(g, level, scan.MaxFrom, scan.MaxTo, scan.Max);
    r.MinFirst = minAt != maxAt ? minAt < maxAt : CellAt(g, level, minAt)->Early == scan.Min;
  }
}

TDiagramStore::TEnvelope TDiagramStore::Envelope(int graph, std::int64_t from, std::int64_t to) const {
  TEnvelope r;
  if (graph >= 0 && graph < graphs_) EnvelopesOf(graph, graph + 1, from, to, &r);
  return r;
}

void TDiagramStore::Envelopes(std::int64_t from, std::int64_t to, std::span<TEnvelope> out) const {
  const int end = static_cast<int>(std::min<std::size_t>(out.size(), static_cast<std::size_t>(graphs_)));
  EnvelopesOf(0, end, from, to, out.data());
  for (std::size_t g = static_cast<std::size_t>(end); g < out.size(); ++g) out[g] = TEnvelope{};
}

TDiagramStore::TExtremes TDiagramStore::Extremes(int graph, std::int64_t from, std::int64_t to) const {
  TExtremes r;
  if (graph < 0 || graph >= graphs_) return r;
  from = std::max(from, floor_);
  to = std::min(to, last_ + 1);
  if (from >= to) return r;
  TScans scans;
  scans.First = graph;
  scans.End = graph + 1;
  Scan(from, to, scans);
  const TScan& scan = scans.Graph[graph];
  if (!(scan.Min <= scan.Max)) return r;
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
