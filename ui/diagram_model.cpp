#include "ui/diagram_model.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
// Window and scroll values are kept well inside the 64-bit range so that
// sums and differences of them cannot overflow.
constexpr double kSlotClamp = 1125899906842624.0;  // 2^50
constexpr std::int64_t kSlotClampI = std::int64_t{1} << 50;

// Nearest integer, halves to even; NaN gives 0, large values saturate.
std::int64_t RoundSat(double v) {
  if (!(v == v)) return 0;
  v = std::clamp(v, -kSlotClamp, kSlotClamp);
  return static_cast<std::int64_t>(std::nearbyint(v));
}

// Toward zero; NaN gives 0, large values saturate.
std::int64_t TruncSat(double v) {
  if (!(v == v)) return 0;
  v = std::clamp(v, -kSlotClamp, kSlotClamp);
  return static_cast<std::int64_t>(std::trunc(v));
}

bool Ranged(const TGraphProperties& g) { return g.ShowDiagram && g.RangeDiagram; }

}  // namespace

// ---------------------------------------------------------------------------
// TScrollBarParams

bool TScrollBarParams::SetRange(std::int64_t min, std::int64_t max) {
  if (max < min) return false;
  Min = min;
  Max = max;
  SetPageSize(PageSize);
  return true;
}

void TScrollBarParams::SetPageSize(std::int64_t page) {
  PageSize = std::clamp<std::int64_t>(page, 0, Max - Min);
  SetPosition(Position);
}

void TScrollBarParams::SetPosition(std::int64_t position) {
  Position = std::clamp<std::int64_t>(position, Min, std::max(Min, Max - PageSize));
}

// ---------------------------------------------------------------------------
// TDiagramModel

TDiagramModel::TDiagramModel() {
  graphs_.resize(1);
  paintOrder_ = {0};
  slotSums_.assign(1, 0.0);
  slotCounts_.assign(1, 0);
  anchorValues_.assign(1, 0.0f);
  live_.Clear(1, 0);
  UpdateStoreLimits();
}

TDiagramModel::~TDiagramModel() = default;

void TDiagramModel::UpdateStoreLimits() {
  const std::int64_t soft = maxData_ + std::max<std::int64_t>(maxData_ / 16, 65536) + 1;
  const bool pinned = snapshotShown_ && !snapshot_.Owned;
  live_.SetCapacityLimit(pinned ? 2 * soft : soft);
  live_.SetFloor(pinned ? std::min(slotOffset_, snapshot_.Offset) : slotOffset_);
}

// ---- recording --------------------------------------------------------------

void TDiagramModel::Reset(TDiagramScaleMode mode, double xMin, double xMax) {
  bufferFull_ = false;
  SetSnapshot(false);
  resetPending_ = true;

  const std::int64_t start = TruncSat(xMin / resolution_);
  const std::int64_t end = TruncSat(xMax / resolution_);
  winStart_ = start;
  winEnd_ = end;
  winWidth_ = end - start;
  xRangeMin_ = start;
  xRangeMax_ = end;

  if (mode == smManual)
    xScaleMode_ = smLocal;
  else if (mode == smLocal)
    xScaleMode_ = smManual;
  SetXScaleMode(mode);

  curSlot_ = 0;
  usedData_ = 0;
  anchorSlot_ = 0;
  std::fill(slotSums_.begin(), slotSums_.end(), 0.0);
  std::fill(slotCounts_.begin(), slotCounts_.end(), 0);
  std::fill(anchorValues_.begin(), anchorValues_.end(), 0.0f);
  allocSlots_ = 100;
  slotOffset_ = 0;
  live_.Clear(GraphCount(), 0);
  UpdateStoreLimits();
  NewSamples = false;

  const double keptMin = yMin_;
  const double keptMax = yMax_;
  SetXWindow(start, end);
  SetYMin(keptMin);
  SetYMax(keptMax);
}

void TDiagramModel::AddValues(std::span<const float> values, double time) {
  if (!std::isfinite(time)) return;
  const double q = time / resolution_;
  if (!std::isfinite(q) || std::fabs(q) > kSlotClamp) return;
  const std::int64_t absSlot = RoundSat(q);
  if (absSlot - slotOffset_ < 0 || absSlot - slotOffset_ > kMaxSlotNumber) return;

  const int graphs = GraphCount();
  auto value = [&](int g) { return static_cast<std::size_t>(g) < values.size() ? values[g] : kNaN; };

  if (absSlot - slotOffset_ == curSlot_) {
    for (int g = 0; g < graphs; ++g) {
      slotSums_[g] += value(g);
      slotCounts_[g] += 1;
    }
  } else if (!CompleteSlot(values)) {
    // The slot could not be stored: the buffer counts as full.
    bufferFull_ = true;
    if (memoryMode_ == dmmStop && OnBufferFull) OnBufferFull(Sender());
    return;
  }

  if (xScaleMode_ == smLocal && xRangeMax_ < curSlot_) xRangeMax_ = curSlot_;
  curSlot_ = absSlot - slotOffset_;  // the offset may have moved while completing
  if (curSlot_ > maxData_) {
    if (memoryMode_ == dmmStop) {
      if (OnBufferFull) OnBufferFull(Sender());
    } else if (!bufferFull_ && xScaleMode_ == smManual) {
      SetSnapshot(true);
    }
    bufferFull_ = true;
  }
  NewSamples = true;
}

bool TDiagramModel::CompleteSlot(std::span<const float> values) {
  const int graphs = GraphCount();
  const bool shared = snapshotShown_ && !snapshot_.Owned;

  // The frozen picture shares the ring; writing into slots it shows (time
  // went backwards) gives it its own copy first.
  const std::int64_t lowest = std::min(curSlot_, std::max<std::int64_t>(anchorSlot_ + 1, 0));
  if (shared && slotOffset_ + lowest <= snapshot_.Offset + snapshot_.Last) DetachSnapshot();

  if (!live_.Reserve(slotOffset_ + curSlot_)) {
    if (snapshotShown_ && !snapshot_.Owned) DetachSnapshot();
    if (!live_.Reserve(slotOffset_ + curSlot_)) {
      if (memoryMode_ != dmmOverwrite || curSlot_ <= maxData_) return false;
      DropOverflowCore();
      if (!live_.Reserve(slotOffset_ + curSlot_)) return false;
    }
  }

  if (allocSlots_ <= curSlot_) allocSlots_ += ((curSlot_ - allocSlots_) / 100 + 1) * 100;

  float current[kMaxGraphs];
  for (int g = 0; g < graphs; ++g) {
    const float v = static_cast<std::size_t>(g) < values.size() ? values[g] : kNaN;
    current[g] = slotCounts_[g] < 1 ? v : static_cast<float>(slotSums_[g] / slotCounts_[g]);
    slotSums_[g] = v;
    slotCounts_[g] = 1;
  }

  const std::int64_t gap = curSlot_ - anchorSlot_;
  if (gap > 1) {
    double slope[kMaxGraphs], base[kMaxGraphs];
    for (int g = 0; g < graphs; ++g) {
      slope[g] = (static_cast<double>(current[g]) - anchorValues_[g]) / static_cast<double>(gap);
      base[g] = current[g] - static_cast<double>(curSlot_) * slope[g];
    }
    float fill[kMaxGraphs];
    for (std::int64_t i = std::max<std::int64_t>(anchorSlot_ + 1, 0); i < curSlot_; ++i) {
      for (int g = 0; g < graphs; ++g)
        fill[g] = static_cast<float>(static_cast<double>(i) * slope[g] + base[g]);
      live_.Write(slotOffset_ + i, std::span<const float>(fill, graphs));
    }
  }
  if (curSlot_ <= usedData_) ++rewrites_;
  live_.Write(slotOffset_ + curSlot_, std::span<const float>(current, graphs));

  usedData_ = curSlot_;
  anchorSlot_ = curSlot_;
  std::copy_n(current, graphs, anchorValues_.begin());
  return true;
}

void TDiagramModel::DropOverflow() {
  if (curSlot_ > maxData_ && memoryMode_ == dmmOverwrite) DropOverflowCore();
}

void TDiagramModel::DropOverflowCore() {
  const std::int64_t n = curSlot_ - maxData_;
  slotOffset_ += n;
  curSlot_ -= n;
  anchorSlot_ -= n;
  // After a gap longer than the capacity nothing written is left; the last
  // written values stay the start of the next fill, before slot 0.
  usedData_ = std::max<std::int64_t>(usedData_ - n, 0);
  UpdateStoreLimits();
  if (!snapshotShown_) {
    xRangeMax_ -= n;
    if (xRangeMax_ < winEnd_) {
      if (winStart_ > 0) winStart_ -= n;
      winEnd_ -= n;
      winWidth_ = winEnd_ - winStart_;
    }
  }
}

float TDiagramModel::ValueAt(int graph, double time) const {
  if (!std::isfinite(time)) return 0.0f;
  return SlotValue(graph, RoundSat(time / resolution_));
}

float TDiagramModel::SlotValue(int graph, std::int64_t slot) const {
  if (graph < 0 || graph >= GraphCount() || slot < 0 || slot > kMaxSlotNumber) return 0.0f;
  const std::int64_t abs = slotOffset_ + slot;
  return live_.Holds(abs) ? live_.Value(graph, abs) : 0.0f;
}

std::int64_t TDiagramModel::GetUsedMemory() const {
  return static_cast<std::int64_t>(GraphCount()) * allocSlots_ * 4;
}

std::int64_t TDiagramModel::GetMaxMemory() const {
  return static_cast<std::int64_t>(GraphCount()) * maxData_ * 4;
}

// ---- hold -------------------------------------------------------------------

void TDiagramModel::SetSnapshot(bool on) {
  if (on == snapshotShown_) return;
  if (on) {
    snapshotShown_ = true;
    snapshot_.Offset = slotOffset_;
    snapshot_.Last = std::max<std::int64_t>(live_.Last() - slotOffset_, -1);
    snapshot_.Owned.reset();
  } else {
    snapshotShown_ = false;
    snapshot_.Owned.reset();
    snapshot_.Last = -1;
  }
  UpdateStoreLimits();
  Invalidated();
}

void TDiagramModel::DetachSnapshot() {
  if (!snapshotShown_ || snapshot_.Owned) return;
  try {
    auto own = std::make_unique<TDiagramStore>(GraphCount());
    own->Clear(GraphCount(), snapshot_.Offset);
    own->SetCapacityLimit(snapshot_.Last + 1 + TDiagramStore::kGranule);
    float row[kMaxGraphs];
    const int graphs = GraphCount();
    for (std::int64_t i = 0; i <= snapshot_.Last; ++i) {
      const std::int64_t abs = snapshot_.Offset + i;
      for (int g = 0; g < graphs; ++g) row[g] = live_.Value(g, abs);
      if (!own->Write(abs, std::span<const float>(row, graphs))) throw std::bad_alloc();
    }
    snapshot_.Owned = std::move(own);
  } catch (const std::bad_alloc&) {
    // No memory for a private copy: the picture follows the data again.
    snapshotShown_ = false;
    snapshot_.Owned.reset();
  }
  UpdateStoreLimits();
}

const TDiagramStore& TDiagramModel::ShownStore() const {
  return snapshotShown_ && snapshot_.Owned ? *snapshot_.Owned : live_;
}

std::int64_t TDiagramModel::ShownSlotOffset() const {
  return snapshotShown_ ? snapshot_.Offset : slotOffset_;
}

std::int64_t TDiagramModel::ShownLast() const {
  return snapshotShown_ ? std::min(usedData_, snapshot_.Last) : usedData_;
}

float TDiagramModel::ShownValue(int graph, std::int64_t slot) const {
  if (graph < 0 || graph >= GraphCount() || slot < 0 || slot > ShownLast()) return 0.0f;
  const std::int64_t abs = ShownSlotOffset() + slot;
  const TDiagramStore& store = ShownStore();
  return store.Holds(abs) ? store.Value(graph, abs) : 0.0f;
}

TDiagramStore::TExtremes TDiagramModel::ShownExtremes(int graph, std::int64_t from, std::int64_t to) const {
  from = std::max<std::int64_t>(from, 0);
  to = std::min(to, ShownLast() + 1);
  if (from >= to) return {};
  const std::int64_t off = ShownSlotOffset();
  TDiagramStore::TExtremes e = ShownStore().Extremes(graph, off + from, off + to);
  e.MinSlot -= off;
  e.MaxSlot -= off;
  return e;
}

TDiagramStore::TEnvelope TDiagramModel::ShownEnvelope(int graph, std::int64_t from, std::int64_t to) const {
  from = std::max<std::int64_t>(from, 0);
  to = std::min(to, ShownLast() + 1);
  if (from >= to) return {};
  const std::int64_t off = ShownSlotOffset();
  return ShownStore().Envelope(graph, off + from, off + to);
}

void TDiagramModel::ShownEnvelopes(std::int64_t from, std::int64_t to,
                                   std::span<TDiagramStore::TEnvelope> out) const {
  from = std::max<std::int64_t>(from, 0);
  to = std::min(to, ShownLast() + 1);
  const std::int64_t off = ShownSlotOffset();
  if (from >= to) from = to = off;  // an empty range: every envelope empty
  ShownStore().Envelopes(off + from, off + to, out);
}

std::size_t TDiagramModel::StoreBytes() const {
  return live_.MemoryBytes() + (snapshot_.Owned ? snapshot_.Owned->MemoryBytes() : 0);
}

// ---- graphs -----------------------------------------------------------------

void TDiagramModel::SetGraphCount(int count) {
  count = std::clamp(count, 1, kMaxGraphs);
  if (!live_.SetGraphCount(count)) return;
  if (snapshot_.Owned && !snapshot_.Owned->SetGraphCount(count)) {
    snapshotShown_ = false;
    snapshot_.Owned.reset();
    UpdateStoreLimits();
  }
  graphs_.resize(count);
  slotSums_.resize(count, 0.0);
  slotCounts_.resize(count, 0);
  anchorValues_.resize(count, 0.0f);
  paintOrder_.resize(count);
  for (int i = 0; i < count; ++i) paintOrder_[i] = static_cast<std::uint8_t>(i);
  GraphCountChanged();
}

void TDiagramModel::SetGraph(int index, const TGraphProperties& props) {
  if (index < 0 || index >= GraphCount()) return;
  graphs_[index] = props;
  PaintRequested();
}

const TGraphProperties& TDiagramModel::Graph(int index) const {
  static const TGraphProperties kNone;
  return index >= 0 && index < GraphCount() ? graphs_[index] : kNone;
}

// ---- X window ---------------------------------------------------------------

void TDiagramModel::SetXWindow(std::int64_t first, std::int64_t last) {
  first = std::clamp<std::int64_t>(first, -kSlotClampI, kSlotClampI);
  last = std::clamp<std::int64_t>(last, -kSlotClampI, kSlotClampI);
  winStart_ = first;
  winEnd_ = last;
  winWidth_ = last - first;

  std::int64_t a = std::max(xExcludeRanging_, winStart_);
  std::int64_t b = std::min(ShownLast(), winEnd_);
  if (a > b) a = b;
  a = std::max<std::int64_t>(a, 0);
  b = std::max<std::int64_t>(b, 0);
  const double m = yDecimal_ < 2 ? 0.5 : 0.2;

  if (yScaleMode_ == smGlobal || yScaleMode_ == smLocal) {
    if (yScaleMode_ == smLocal) {
      for (int g = 0; g < GraphCount(); ++g) {
        if (!Ranged(graphs_[g])) continue;
        const float va = ShownValue(g, a);
        const float vb = ShownValue(g, b);
        if (std::isfinite(va) && std::isfinite(vb)) {
          yMin_ = va;
          yMax_ = vb;
          RecomputeYSpan();
        }
        break;
      }
    }
    bool changed = false;
    const std::int64_t off = ShownSlotOffset();
    const TDiagramStore& store = ShownStore();
    const double r0 = yRangeMin_, r1 = yRangeMax_;
    for (int g = 0; g < GraphCount(); ++g) {
      if (!Ranged(graphs_[g])) continue;
      float v;
      if (store.BandMin(
              g, off + a, off + b, [&](float x) { return !(static_cast<double>(x) - m > r0); },
              [&](float x) { return !(static_cast<double>(x) - m < r1); }, v)) {
        const double lo = static_cast<double>(v) - m;
        if (lo < yMin_) {
          yMin_ = lo;
          changed = true;
        }
      }
      if (store.BandMax(
              g, off + a, off + b, [&](float x) { return !(static_cast<double>(x) + m > r0); },
              [&](float x) { return !(static_cast<double>(x) + m < r1); }, v)) {
        const double hi = static_cast<double>(v) + m;
        if (hi > yMax_) {
          yMax_ = hi;
          changed = true;
        }
      }
    }
    if (changed) {
      yMin_ = std::max(yMin_, yRangeMin_);
      yMax_ = std::min(yMax_, yRangeMax_);
      RecomputeYSpan();
    }
  }
  resetPending_ = false;
  PaintRequested();
  UpdateScrollBars();
}

void TDiagramModel::SetXMin(double seconds) {
  if (!std::isfinite(seconds)) return;
  std::int64_t start = TruncSat(seconds / resolution_);
  start = std::max(start, xRangeMin_);
  std::int64_t end = xConstDiff_ ? start + winWidth_ : winEnd_;
  end = std::min(end, xRangeMax_);
  SetXWindow(start, end);
}

void TDiagramModel::SetXMax(double seconds) {
  if (!std::isfinite(seconds)) return;
  std::int64_t end = TruncSat(seconds / resolution_);
  end = std::min(end, xRangeMax_);
  std::int64_t start = xConstDiff_ ? end - winWidth_ : winStart_;
  start = std::max(start, xRangeMin_);
  SetXWindow(start, end);
}

void TDiagramModel::SetXRangeMin(std::int64_t v) {
  xRangeMin_ = std::clamp<std::int64_t>(v, -kSlotClampI, kSlotClampI);
}

void TDiagramModel::SetXRangeMax(std::int64_t v) {
  xRangeMax_ = std::clamp<std::int64_t>(v, -kSlotClampI, kSlotClampI);
}

void TDiagramModel::SetXExcludeRanging(double seconds) {
  if (std::isfinite(seconds)) xExcludeRanging_ = RoundSat(seconds / resolution_);
}

void TDiagramModel::SetResolution(double seconds) {
  if (std::isfinite(seconds) && seconds > 0.0) resolution_ = seconds;
}

// ---- Y window ---------------------------------------------------------------

void TDiagramModel::SetYMin(double v) {
  if (!(v == v)) return;
  if (v < yRangeMin_) v = yRangeMin_;
  if (v > yRangeMax_) v = yRangeMax_;
  yMin_ = v;
  RecomputeYSpan();
  PaintRequested();
}

void TDiagramModel::SetYMax(double v) {
  if (!(v == v)) return;
  if (v < yRangeMin_) v = yRangeMin_;
  if (v > yRangeMax_) v = yRangeMax_;
  yMax_ = v;
  RecomputeYSpan();
  PaintRequested();
}

void TDiagramModel::SetYRangeMin(double v) {
  if (std::isfinite(v)) yRangeMin_ = v;
}

void TDiagramModel::SetYRangeMax(double v) {
  if (std::isfinite(v)) yRangeMax_ = v;
}

// ---- modes ------------------------------------------------------------------

void TDiagramModel::SetXScaleMode(TDiagramScaleMode mode) {
  if (mode == xScaleMode_) return;
  xScaleMode_ = mode;
  if (mode == smManual) {
    XScaleModeApplied(mode);
    if (bufferFull_ && memoryMode_ == dmmOverwrite) SetSnapshot(true);
  } else if (mode == smLocal) {
    XScaleModeApplied(mode);
    SetSnapshot(false);
  }
  if (OnXScaleModeChanged) OnXScaleModeChanged(Sender(), xScaleMode_);
}

void TDiagramModel::SetYScaleMode(TDiagramScaleMode mode) {
  yScaleMode_ = mode;
  YScaleModeApplied(mode);
  if (OnYScaleModeChanged) OnYScaleModeChanged(Sender(), yScaleMode_);
  Invalidated();
}

void TDiagramModel::SetYScaleModeExt(bool v) {
  yScaleModeExt_ = v;
  if (OnYScaleModeChanged) OnYScaleModeChanged(Sender(), yScaleMode_);
  Invalidated();
}

void TDiagramModel::ToggleHold() {
  if (xScaleMode_ == smManual)
    SetXScaleMode(smLocal);
  else if (xScaleMode_ == smLocal)
    SetXScaleMode(smManual);
}

void TDiagramModel::RaiseYScaleExtra() {
  if (yScaleMode_ != smManual) {
    SetYScaleMode(smManual);
    if (OnYScaleModeChanged) OnYScaleModeChanged(Sender(), yScaleMode_);
  }
}

// ---- zoom -------------------------------------------------------------------

void TDiagramModel::XZoomFull() {
  SetXScaleMode(smManual);
  SetXWindow(xRangeMin_, xRangeMax_);
  if (OnXRange) OnXRange(Sender(), XMin(), XMax());
}

void TDiagramModel::XZoomIn() {
  SetXScaleMode(smManual);
  std::int64_t start = winStart_, end = winEnd_;
  if (BackBufferWidth() / 10.0 < static_cast<double>(winWidth_) * 1000.0) {
    start += winWidth_ / 4;
    end -= winWidth_ / 4;
  }
  SetXWindow(start, end);
  if (OnXRange) OnXRange(Sender(), XMin(), XMax());
}

void TDiagramModel::XZoomOut() {
  SetXScaleMode(smManual);
  const std::int64_t h = winWidth_ / 2;
  const std::int64_t start = std::max(winStart_ - h, xRangeMin_);
  const std::int64_t end = std::min(winEnd_ + h, xRangeMax_);
  SetXWindow(start, end);
  if (OnXRange) OnXRange(Sender(), XMin(), XMax());
}

void TDiagramModel::YZoomFull() {
  yMin_ = yRangeMin_;
  yMax_ = yRangeMax_;
  RecomputeYSpan();
  Invalidated();
  yBar_.SetPageSize(yBar_.Max - yBar_.Min);
  yBar_.SetPosition(yBar_.Max);
  yBar_.LargeChange = yBar_.PageSize;
  ScrollBarsChanged();
  RaiseYScaleExtra();
}

void TDiagramModel::YZoomIn() {
  if (ySpan_ > 0.5) {
    const double d = ySpan_ / 4;
    yMax_ -= d;
    yMin_ += d;
    if (yMax_ - yMin_ < 0.5) yMax_ = yMin_ + 0.5;
    RecomputeYSpan();
    if (ySpan_ == 0.0) ySpan_ = 0.5;
  }
  Invalidated();
  YScrollBarFromWindow();
  ScrollBarsChanged();
  RaiseYScaleExtra();
}

void TDiagramModel::YZoomOut() {
  const double half = ySpan_ / 2;
  yMax_ += half;
  yMin_ -= half;
  yMax_ = std::min(yMax_, yRangeMax_);
  yMin_ = std::max(yMin_, yRangeMin_);
  RecomputeYSpan();
  if (ySpan_ == 0.0) ySpan_ = 0.5;
  Invalidated();
  YScrollBarFromWindow();
  ScrollBarsChanged();
  RaiseYScaleExtra();
}

// ---- scroll bars --------------------------------------------------------------

void TDiagramModel::YScrollBarFromWindow() {
  const double k = static_cast<double>(yBar_.Max - yBar_.Min) / (yRangeMax_ - yRangeMin_);
  if (!std::isfinite(k)) return;
  const std::int64_t page = RoundSat(k * ySpan_);
  yBar_.SetPageSize(page);
  yBar_.SetPosition(yBar_.Max - RoundSat((yMin_ - yRangeMin_) * k) - page);
  yBar_.LargeChange = yBar_.PageSize;
}

void TDiagramModel::UpdateScrollBars() {
  const double k = static_cast<double>(yBar_.Max - yBar_.Min) / (yRangeMax_ - yRangeMin_);
  if (std::isfinite(k)) {
    YScrollBarFromWindow();
    const int len = std::max(1, VerticalBarLength());
    yBar_.SmallChange = std::max<std::int64_t>(1, RoundSat(k * ySpan_ / len * 10));
  }
  if (xBar_.SetRange(xRangeMin_, xRangeMax_)) {
    const double kx =
        static_cast<double>(xBar_.Max - xBar_.Min) / static_cast<double>(xRangeMax_ - xRangeMin_);
    if (std::isfinite(kx)) {
      const std::int64_t page = RoundSat(static_cast<double>(winWidth_) * kx);
      xBar_.SetPageSize(page);
      xBar_.SetPosition(RoundSat(static_cast<double>(winStart_) * kx));
      xBar_.LargeChange = xBar_.PageSize;
      const int len = std::max(1, HorizontalBarLength());
      const double shown = static_cast<double>(std::min(usedData_, winEnd_) - winStart_);
      xBar_.SmallChange = std::max<std::int64_t>(1, RoundSat(shown * kx / len * 10));
    }
  }
  ScrollBarsChanged();
}

void TDiagramModel::XScroll(std::int64_t scrollPos) {
  SetXScaleMode(smManual);
  const double kx = static_cast<double>(xBar_.Max - xBar_.Min) / static_cast<double>(xRangeMax_ - xRangeMin_);
  if (std::isfinite(kx) && kx != 0.0) {
    const std::int64_t newStart = TruncSat(static_cast<double>(scrollPos) / kx);
    const std::int64_t newEnd = TruncSat(static_cast<double>(xBar_.PageSize) / kx) + newStart;
    if (scrollPos + xBar_.PageSize > xBar_.Max)
      scrollPos = xBar_.Max - xBar_.PageSize;
    else if (newStart != winStart_ && newEnd != winEnd_)
      SetXWindow(newStart, newEnd);
  }
  xBar_.SetPosition(scrollPos);
  ScrollBarsChanged();
}

void TDiagramModel::YScroll(std::int64_t scrollPos) {
  const std::int64_t pos = std::min(scrollPos, yBar_.Max - yBar_.PageSize);
  const double k = static_cast<double>(yBar_.Max - yBar_.Min) / (yRangeMax_ - yRangeMin_);
  if (std::isfinite(k) && k != 0.0) {
    std::int64_t page = yBar_.PageSize;
    const double newMin = static_cast<double>(yBar_.Max - pos - page) / k + yRangeMin_;
    if (page == 0) page = 1;
    const double newMax = static_cast<double>(page) / k + newMin;
    if (newMin != yMin_ && newMax != yMax_) {
      yMin_ = newMin;
      yMax_ = newMax;
      RecomputeYSpan();
      if (yScaleMode_ != smLocal) Invalidated();
      RaiseYScaleExtra();
    }
  }
  yBar_.SetPosition(scrollPos);
  ScrollBarsChanged();
}

// ---- capacity ---------------------------------------------------------------

void TDiagramModel::SetMaxData(std::int64_t n) {
  maxData_ = std::clamp(n, kMaxDataMin, kMaxDataMax);
  SetSnapshot(false);
  live_.Clear(GraphCount(), slotOffset_);
  allocSlots_ = 100;
  UpdateStoreLimits();
}

// ---- texts and looks ----------------------------------------------------------

void TDiagramModel::SetDiaMessage(const QString& text) {
  diaMessage_ = text;
  PaintRequested();
}

void TDiagramModel::SetXPresicion(int v) {
  xPresicion_ = v;
  PaintRequested();
}

void TDiagramModel::SetXDecimal(int v) {
  xDecimal_ = v;
  PaintRequested();
}

void TDiagramModel::SetYPresicion(int v) {
  yPresicion_ = v;
  PaintRequested();
}

void TDiagramModel::SetYDecimal(int v) {
  yDecimal_ = v;
  PaintRequested();
}

void TDiagramModel::SetGridColor(std::uint32_t v) {
  gridColor_ = v;
  PaintRequested();
}
