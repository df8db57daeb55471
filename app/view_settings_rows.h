#pragma once

#include <array>
#include <cstdint>

#include "ui/graph_properties.h"

// The view record the view settings dialog edits: a copy of the main
// window's chart and channel settings and of what it needs to know about the
// device.
struct TViewSettings {
  std::uint8_t ScaleMode = 1;  // Y scale mode of the chart
  int SmoothCycles = 1;        // size of the averaging ring
  // False while the main window measures or records: the rows' check boxes
  // and pen widths cannot be changed then.
  bool RowsEnabled = true;
  std::array<TGraphProperties, 11> Graphs{};  // Name: the row's caption
  float InitialTime = 10.0f;                  // seconds shown at a start
  bool Argo1ms = false;                       // the 1 ms interval is wanted
  std::uint8_t DeviceType = 0;                // device type code
  std::uint8_t Measuring = 0;                 // the main window's connection state
  // The connected device can take the 1 ms interval now (the main window's
  // CanUseFastBurst).
  bool FastBurstPossible = false;
};

// The rules of the view settings rows, kept apart from the widgets.
//
// A row can be locked for one of two reasons. A row the device does not
// deliver (or, in 1 ms mode, does not transfer) is stored as not shown on
// OK. A row locked only because a measurement runs keeps its stored choices:
// OK during a measurement (to change a colour, say) must not hide every
// panel and curve.
class ViewSettingsRows {
 public:
  static constexpr int kRowCount = 11;
  static constexpr double kMinInitialTime = 0.2;
  static constexpr int kMinPenWidth = 1;
  static constexpr int kMaxPenWidth = 20;

  enum class Lock { None, Measurement, NotDelivered };

  // What the row controls show when OK is pressed.
  struct RowInput {
    bool ShowDigital = false;
    bool ShowDiagram = false;
    bool RangeDiagram = false;
    int PenWidth = 1;
  };

  // `fastMode`: the 1 ms interval is ticked and possible.
  static Lock RowLock(const TViewSettings& view, int row, bool fastMode);
  // The ratio model, once connected, has no TInt and TAct curve: their
  // diagram boxes are shown unticked.
  static bool DiagramForcedOff(const TViewSettings& view, int row);
  // The records OK stores: each row's check boxes where it could be edited,
  // the stored record where a measurement locked it, nothing shown where the
  // device does not deliver it; TObj is always in the chart and the range.
  static std::array<TGraphProperties, 11> GraphsOnOk(const TViewSettings& view,
                                                     const std::array<RowInput, 11>& input, bool fastMode);
};
