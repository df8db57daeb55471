#include "ui/diagram_store.h"

#include <algorithm>
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

std::int64_t TDiagramStore::FindMinIn(int graph, int level, std::int64_t cell, float value) const {
  while (level > 0) {
    const std::int64_t first = cell << kFanBits;
    std::int64_t next = first;
    for (std::int64_t c = first; c < first + (std::int64_t{1} << kFanBits); ++c) {
      const float m = level == 1 ? raw_[RawIndex(graph, c)] : CellAt(graph, level - 1, c).Min;
      if (m == value) {
        next = c;
        break;
      }
    }
    cell = next;
    --level;
  }
  return cell;
}

std::int64_t TDiagramStore::FindMaxIn(int graph, int level, std::int64_t cell, float value) const {
  while (level > 0) {
    const std::int64_t first = cell << kFanBits;
    std::int64_t next = first;
    for (std::int64_t c = first; c < first + (std::int64_t{1} << kFanBits); ++c) {
      const float m = level == 1 ? raw_[RawIndex(graph, c)] : CellAt(graph, level - 1, c).Max;
      if (m == value) {
        next = c;
        break;
      }
    }
    cell = next;
    --level;
  }
  return cell;
}

TDiagramStore::TExtremes TDiagramStore::Extremes(int graph, std::int64_t from, std::int64_t to) const {
  TExtremes r;
  if (graph < 0 || graph >= graphs_) return r;
  from = std::max(from, floor_);
  to = std::min(to, last_ + 1);
  int minLevel = 0, maxLevel = 0;
  std::int64_t minAt = 0, maxAt = 0;
  std::int64_t i = from;
  while (i < to) {
    int level = kLevels;
    for (; level >= 1; --level) {
      const std::int64_t size = std::int64_t{1} << (kFanBits * level);
      if ((i & (size - 1)) == 0 && i + size <= to) break;
    }
    float lo, hi;
    std::int64_t at;
    if (level == 0) {
      lo = hi = raw_[RawIndex(graph, i)];
      at = i;
      ++i;
      if (!std::isfinite(lo)) continue;
    } else {
      at = i >> (kFanBits * level);
      const TCell& c = CellAt(graph, level, at);
      i += std::int64_t{1} << (kFanBits * level);
      if (!(c.Min <= c.Max)) continue;
      lo = c.Min;
      hi = c.Max;
    }
    if (!r.Found || lo < r.Min) {
      r.Min = lo;
      minLevel = level;
      minAt = at;
    }
    if (!r.Found || hi > r.Max) {
      r.Max = hi;
      maxLevel = level;
      maxAt = at;
    }
    r.Found = true;
  }
  if (r.Found) {
    r.MinSlot = minLevel == 0 ? minAt : FindMinIn(graph, minLevel, minAt, r.Min);
    r.MaxSlot = maxLevel == 0 ? maxAt : FindMaxIn(graph, maxLevel, maxAt, r.Max);
  }
  return r;
}

std::size_t TDiagramStore::MemoryBytes() const {
  std::size_t bytes = raw_.capacity() * sizeof(float);
  for (const auto& level : cells_) bytes += level.capacity() * sizeof(TCell);
  return bytes;
}
