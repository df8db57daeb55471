#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "ui/diagram_store.h"
#include "ui/diagram_types.h"
#include "ui/graph_properties.h"

class QObject;

// Parameters of a scroll bar as the chart sees them: Max includes the page,
// so the position runs from Min to Max - PageSize.
struct TScrollBarParams {
  std::int64_t Min = 0;
  std::int64_t Max = 1000;
  std::int64_t PageSize = 1000;
  std::int64_t Position = 0;
  std::int64_t LargeChange = 1;
  std::int64_t SmallChange = 1;

  // Assignments that keep the parameters consistent; a range with Max below
  // Min is refused (false) and leaves everything as it was.
  bool SetRange(std::int64_t min, std::int64_t max);
  void SetPageSize(std::int64_t page);
  void SetPosition(std::int64_t position);
  friend bool operator==(const TScrollBarParams&, const TScrollBarParams&) = default;
};

// Data, scaling and navigation of the time chart, without any display.
//
// Samples arrive with a time in seconds and are binned into slots of
// Resolution() seconds; a slot holds the mean of its samples, gaps are filled
// on the straight line between their neighbours. Slot numbers below are
// relative to SlotOffset(), the number of slots dropped from the front.
//
// The widget derives from this class and overrides the display hooks; the
// events are raised with Sender() as their sender.
class TDiagramModel {
 public:
  static constexpr int kMaxGraphs = TDiagramStore::kMaxGraphs;
  // Capacity limits accepted by SetMaxData.
  static constexpr std::int64_t kMaxDataMin = 1;
  static constexpr std::int64_t kMaxDataMax = 100'000'000;
  // Slot numbers beyond this (about 35 years at 1 ms) are refused as bad times.
  static constexpr std::int64_t kMaxSlotNumber = std::int64_t{1} << 40;

  TDiagramModel();
  virtual ~TDiagramModel();
  TDiagramModel(const TDiagramModel&) = delete;
  TDiagramModel& operator=(const TDiagramModel&) = delete;

  // ---- events ----
  std::function<void(QObject* sender, double min, double max)> OnXRange;
  std::function<void(QObject* sender, double min, double max)> OnYRange;  // never raised by the chart
  std::function<void(QObject* sender, TDiagramScaleMode& scaleMode)> OnXScaleModeChanged;
  std::function<void(QObject* sender, TDiagramScaleMode& scaleMode)> OnYScaleModeChanged;
  std::function<void(QObject* sender, double& testValue)> OnTest;  // never raised by the chart
  std::function<double(double value)> OnProcessDiagramPaint;
  std::function<void(QObject* sender)> OnBufferFull;

  // ---- recording ----
  void Reset(TDiagramScaleMode mode, double xMin, double xMax);
  // One value per graph (element g for graph g; missing ones count as NaN) at
  // `time` seconds. Times that are not finite, lie before the first slot held
  // or beyond kMaxSlotNumber are refused.
  void AddValues(std::span<const float> values, double time);
  void DropOverflow();
  // The stored value of `graph` at slot Round(time / Resolution()); 0 for
  // slots or graphs that hold nothing.
  float ValueAt(int graph, double time) const;
  // The same by slot number.
  float SlotValue(int graph, std::int64_t slot) const;
  std::int64_t GetUsedMemory() const;
  std::int64_t GetMaxMemory() const;

  // ---- graphs ----
  std::uint8_t GraphCount() const { return static_cast<std::uint8_t>(graphs_.size()); }
  void SetGraphCount(int count);
  void SetGraph(int index, const TGraphProperties& props);
  const TGraphProperties& Graph(int index) const;
  const std::vector<std::uint8_t>& PaintOrder() const { return paintOrder_; }

  // ---- X window ----
  void SetXWindow(std::int64_t first, std::int64_t last);
  std::int64_t WindowStart() const { return winStart_; }
  std::int64_t WindowEnd() const { return winEnd_; }
  std::int64_t WindowWidth() const { return winWidth_; }
  double XMin() const { return static_cast<double>(winStart_) * resolution_; }
  double XMax() const { return static_cast<double>(winEnd_) * resolution_; }
  void SetXMin(double seconds);
  void SetXMax(double seconds);
  std::int64_t XRangeMin() const { return xRangeMin_; }
  std::int64_t XRangeMax() const { return xRangeMax_; }
  void SetXRangeMin(std::int64_t v);
  void SetXRangeMax(std::int64_t v);
  bool XConstDiff() const { return xConstDiff_; }
  void SetXConstDiff(bool v) { xConstDiff_ = v; }
  double XExcludeRanging() const { return static_cast<double>(xExcludeRanging_) * resolution_; }
  void SetXExcludeRanging(double seconds);

  // ---- Y window ----
  double YMin() const { return yMin_; }
  double YMax() const { return yMax_; }
  double YSpan() const { return ySpan_; }
  void SetYMin(double v);
  void SetYMax(double v);
  double YRangeMin() const { return yRangeMin_; }
  double YRangeMax() const { return yRangeMax_; }
  void SetYRangeMin(double v);
  void SetYRangeMax(double v);

  // ---- modes ----
  TDiagramScaleMode XScaleMode() const { return xScaleMode_; }
  void SetXScaleMode(TDiagramScaleMode mode);
  TDiagramScaleMode YScaleMode() const { return yScaleMode_; }
  void SetYScaleMode(TDiagramScaleMode mode);
  bool YScaleModeExt() const { return yScaleModeExt_; }
  void SetYScaleModeExt(bool v);
  TDiagramMemoryMode MemoryMode() const { return memoryMode_; }
  void SetMemoryMode(TDiagramMemoryMode mode) { memoryMode_ = mode; }
  void ToggleHold();

  // ---- zoom and scroll ----
  void XZoomFull();
  void XZoomIn();
  void XZoomOut();
  void YZoomFull();
  void YZoomIn();
  void YZoomOut();
  // Scroll-bar handlers: the position the user moved the bar to.
  void XScroll(std::int64_t scrollPos);
  void YScroll(std::int64_t scrollPos);
  void UpdateScrollBars();
  const TScrollBarParams& XScrollBar() const { return xBar_; }
  const TScrollBarParams& YScrollBar() const { return yBar_; }

  // ---- capacity and state ----
  std::int64_t MaxData() const { return maxData_; }
  void SetMaxData(std::int64_t n);
  std::int64_t UsedData() const { return usedData_; }
  std::int64_t SlotOffset() const { return slotOffset_; }
  std::int64_t AllocatedSlots() const { return allocSlots_; }
  std::int64_t CurrentSlot() const { return curSlot_; }
  bool BufferFull() const { return bufferFull_; }
  bool SnapshotShown() const { return snapshotShown_; }
  bool ResetPending() const { return resetPending_; }
  bool NewSamples = false;

  double Resolution() const { return resolution_; }
  // Values that are not positive and finite are refused.
  void SetResolution(double seconds);

  // ---- texts and looks ----
  const QString& DiaMessage() const { return diaMessage_; }
  void SetDiaMessage(const QString& text);
  int XPresicion() const { return xPresicion_; }
  int XDecimal() const { return xDecimal_; }
  int YPresicion() const { return yPresicion_; }
  int YDecimal() const { return yDecimal_; }
  std::uint32_t GridColor() const { return gridColor_; }
  void SetXPresicion(int v);
  void SetXDecimal(int v);
  void SetYPresicion(int v);
  void SetYDecimal(int v);
  void SetGridColor(std::uint32_t v);

  // ---- what painting reads: the shown store (live, or frozen while held) ----
  std::int64_t ShownSlotOffset() const;
  // Slots 0..ShownLast() of the shown store can be read.
  std::int64_t ShownLast() const;
  // How many times stored slots were written again because the time of the
  // samples went backwards.
  std::uint64_t Rewrites() const { return rewrites_; }
  float ShownValue(int graph, std::int64_t slot) const;
  TDiagramStore::TExtremes ShownExtremes(int graph, std::int64_t from, std::int64_t to) const;
  TDiagramStore::TEnvelope ShownEnvelope(int graph, std::int64_t from, std::int64_t to) const;
  // The envelopes of graphs 0 .. out.size() - 1 in one pass.
  void ShownEnvelopes(std::int64_t from, std::int64_t to, std::span<TDiagramStore::TEnvelope> out) const;
  // Bytes the sample memory really holds (ring, summary, detached hold copy).
  std::size_t StoreBytes() const;

  // Width of the back buffer, used by X zoom in; the widget keeps it current.
  virtual int BackBufferWidth() const { return backBufferWidth_; }
  void SetBackBufferWidth(int w) { backBufferWidth_ = w; }

 protected:
  // ---- display hooks ----
  virtual QObject* Sender() const { return nullptr; }
  // Paint now (the widget coalesces into one render per event-loop pass).
  virtual void PaintRequested() {}
  // Repaint later.
  virtual void Invalidated() {}
  // The hold/continue button follows a change to smManual or smLocal.
  virtual void XScaleModeApplied(TDiagramScaleMode) {}
  // The "G"/"L" buttons follow the Y scale mode.
  virtual void YScaleModeApplied(TDiagramScaleMode) {}
  virtual void ScrollBarsChanged() {}
  virtual void GraphCountChanged() {}
  // Lengths of the scroll bars in pixels, for their small change.
  virtual int HorizontalBarLength() const { return 100; }
  virtual int VerticalBarLength() const { return 100; }

 private:
  struct TSnapshot {
    std::int64_t Offset = 0;
    std::int64_t Last = -1;                // last slot it holds
    std::unique_ptr<TDiagramStore> Owned;  // set once detached from the live store
  };

  void SetSnapshot(bool on);
  void DetachSnapshot();
  void UpdateStoreLimits();
  bool CompleteSlot(std::span<const float> values);
  void DropOverflowCore();
  const TDiagramStore& ShownStore() const;
  void RaiseYScaleExtra();
  void YScrollBarFromWindow();
  void RecomputeYSpan() { ySpan_ = yMax_ - yMin_; }

  // samples
  TDiagramStore live_;
  TSnapshot snapshot_;
  bool snapshotShown_ = false;
  std::int64_t slotOffset_ = 0;
  std::int64_t allocSlots_ = 0;
  std::int64_t usedData_ = 0;
  std::uint64_t rewrites_ = 0;
  std::int64_t curSlot_ = 0;
  std::int64_t anchorSlot_ = 0;  // slot of anchorValues_, the start of the next gap fill
  std::vector<float> anchorValues_;
  std::vector<double> slotSums_;
  std::vector<int> slotCounts_;
  bool bufferFull_ = false;
  std::int64_t maxData_ = 10'000'000;
  TDiagramMemoryMode memoryMode_ = dmmStop;
  double resolution_ = 0.001;

  // graphs
  std::vector<TGraphProperties> graphs_;
  std::vector<std::uint8_t> paintOrder_;

  // X
  std::int64_t winStart_ = 0;
  std::int64_t winEnd_ = 10;
  std::int64_t winWidth_ = 10;
  std::int64_t xRangeMin_ = 0;
  std::int64_t xRangeMax_ = 0;
  std::int64_t xExcludeRanging_ = 0;
  bool xConstDiff_ = false;
  TDiagramScaleMode xScaleMode_ = smManual;

  // Y
  double yMin_ = 0.0;
  double yMax_ = 0.0;
  double ySpan_ = 0.0;
  double yRangeMin_ = 0.0;
  double yRangeMax_ = 0.0;
  TDiagramScaleMode yScaleMode_ = smManual;
  bool yScaleModeExt_ = false;

  TScrollBarParams xBar_;
  TScrollBarParams yBar_;

  bool resetPending_ = true;
  QString diaMessage_;
  int xPresicion_ = 15;
  int xDecimal_ = 1;
  int yPresicion_ = 15;
  int yDecimal_ = 1;
  std::uint32_t gridColor_ = 0x00C0C0C0;
  int backBufferWidth_ = 10;
};
