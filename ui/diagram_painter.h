#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

#include "ui/diagram_store.h"

class TDiagramModel;

// Drawing of the chart into its back buffer, and the layout rules it follows.
// Everything here reads the model and never changes it.
class TDiagramPainter {
 public:
  // Edge of the square buttons and thickness of the scroll bars.
  static constexpr int kButtonSize = 18;

  // Step of the Y grid: the first value of the label series not below `raw`.
  static double YGridStep(double raw, int yDecimal);
  // Step of the X grid in seconds.
  static double XGridStep(double raw);
  // Left edges of the X axis labels given their anchor x and widths: every
  // label centred on its x, except the last one, which ends at its x unless it
  // would then start less than 5 pixels after the previous label's end.
  static std::vector<int> XLabelLefts(const std::vector<int>& xs, const std::vector<int>& widths);
  // Font size of the overlay message: from 128 down while the text is wider
  // than 0.8 x the buffer, not below 8. widthAt(size) measures the text.
  static int MessageFontSize(const std::function<int(int size)>& widthAt, int bufferWidth);
  static QColor ToQColor(std::uint32_t color) {
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
  }

  // Where the curve of one graph goes.
  struct TCurveGeometry {
    int L = 0;               // left edge of the plot
    int B0 = 0;              // bottom edge of the plot
    int P = 0;               // plot width in pixels
    double xs = 1.0;         // pixels per slot
    double ys = 1.0;         // pixels per value unit (negative: values grow upward)
    double yLo = 0.0;        // value at B0, as drawn
    std::int64_t Start = 0;  // first slot of the window
    std::int64_t Width = 0;  // window width in slots
    std::int64_t Limit = 0;  // slots from Limit on are not drawn
  };
  // What a curve reads: stored values, and the envelope of the slots
  // [from, to) that make up pixel column `column`.
  struct TCurveSource {
    std::function<float(std::int64_t slot)> Value;
    std::function<TDiagramStore::TEnvelope(int column, std::int64_t from, std::int64_t to)> Envelope;
    std::function<double(double)> Transform;  // may be empty
  };
  // The slots [i0, i1) of pixel column c while columns hold two or more
  // slots: kSkipped for a column left out, kEnd past the last drawn one.
  enum class TColumn { kDrawn, kSkipped, kEnd };
  static TColumn ColumnSlots(const TCurveGeometry& geo, int c, std::int64_t& i0, std::int64_t& i1);
  // The polyline of one graph: one point per slot while a pixel column holds
  // fewer than two slots, else at most three points per column that keep the
  // column's lowest and highest value. Points of values that are not finite
  // are left out.
  static std::vector<QPoint> CurvePoints(const TCurveSource& source, const TCurveGeometry& geo);
  // The envelopes of all graphs of the model, column by column
  // ([column * GraphCount() + graph]), each column read in one pass; empty
  // while columns hold fewer than two slots.
  using TColumnEnvelopes = std::vector<TDiagramStore::TEnvelope>;
  static TColumnEnvelopes ModelColumnEnvelopes(const TDiagramModel& model, const TCurveGeometry& geo);
  // A source reading the slots of the model's shown store, and the column
  // envelopes from `columns` when given.
  static TCurveSource ModelSource(const TDiagramModel& model, int graph,
                                  const TColumnEnvelopes* columns = nullptr);

  // Draws the whole chart of a client area clientWidth x clientHeight into
  // `buffer` (which is the plot-box sized back buffer).
  static void Paint(const TDiagramModel& model, QImage& buffer, int clientWidth, int clientHeight,
                    const QColor& background);
};
