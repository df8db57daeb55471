#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QString>
#include <algorithm>
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
    // Slot numbers counted from the first slot ever stored: slot i lies at
    // absolute slot i + Anchor. Pixel columns are fixed slot ranges of
    // absolute slots, so a window moved by whole columns moves the picture
    // by whole pixels.
    std::int64_t Anchor = 0;
    // The absolute column shown at L.
    std::int64_t FirstColumn() const;
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
  // Given a column range, the points of the columns [fromColumn, toColumn)
  // only, without the first point (while columns hold two or more slots;
  // else all points).
  static std::vector<QPoint> CurvePoints(const TCurveSource& source, const TCurveGeometry& geo,
                                         int fromColumn = 0, int toColumn = -1);
  // Pens up to this width are drawn by DrawCurve, wider ones by QPainter.
  static constexpr int kMaxDrawnPen = 8;
  // How far a pen of `penWidth` (up to kMaxDrawnPen) reaches left, right,
  // up or down beyond the one-pixel line it follows.
  static int PenReach(int penWidth) { return std::max(penWidth, 1) / 2; }
  // Draws the polyline `pts` with a pen of `color` straight into the scan
  // lines of `image` (32 bits per pixel), only in the pixel columns
  // [clipLeft, clipRight). A pen of width w puts a w x w square on every
  // pixel of the one-pixel line (reaching PenReach(w) left of and above it,
  // w - 1 - PenReach(w) right of and below it). A segment's pixels depend on
  // its two ends only, so clipped drawings join without a seam. When
  // `cover` is given (8 bits per pixel, the size of `image`), every pixel
  // drawn is also set to 0xFF there.
  static void DrawCurve(QImage& image, const std::vector<QPoint>& pts, QRgb color, int clipLeft,
                        int clipRight, int penWidth = 1, QImage* cover = nullptr);
  // The envelopes of all graphs of the model, column by column
  // ([(column - fromColumn) * GraphCount() + graph]) for the columns
  // [fromColumn, toColumn) (all: 0, -1), each column read in one pass;
  // empty while columns hold fewer than two slots.
  using TColumnEnvelopes = std::vector<TDiagramStore::TEnvelope>;
  static TColumnEnvelopes ModelColumnEnvelopes(const TDiagramModel& model, const TCurveGeometry& geo,
                                               int fromColumn = 0, int toColumn = -1);
  // A source reading the slots of the model's shown store, and the column
  // envelopes from `columns` (which start at `firstColumn`) when given.
  static TCurveSource ModelSource(const TDiagramModel& model, int graph,
                                  const TColumnEnvelopes* columns = nullptr, int firstColumn = 0);

  // Where things go in a buffer of `bufferWidth` for a client area
  // clientWidth x clientHeight.
  struct TLayout {
    bool Plot = false;  // axes, grid and curves are drawn
    QString XMin, XMax, YMin, YMax;
    int TextHeight = 0, XMaxAdvance = 0;
    int L = 0, B0 = 0, R = 0, T = 5, P = 0;
    double yLo = 0, yHi = 0, ySpan = 0, xs = 1, ys = 1;
    std::int64_t Start = 0, Width = 0;
    bool Curves() const { return Plot && Width > 0 && ySpan > 0; }
  };
  static TLayout Layout(const TDiagramModel& model, int bufferWidth, int clientWidth, int clientHeight);
  static TCurveGeometry CurveGeometry(const TDiagramModel& model, const TLayout& layout);
  // Fills `clip` of `buffer` with the background and draws into it what of
  // the axes, grid and labels falls there.
  static void PaintDecorations(const TDiagramModel& model, QImage& buffer, const TLayout& layout,
                               const QColor& background, const QRect& clip);
  // Where the points of the curves drawn by PaintCurves lie; graphs
  // without points are left out of FirstXMax and LastX.
  struct TCurveExtent {
    int FirstXMax = 0;   // the highest x of a graph's first point
    int LastX = 0;       // the lowest x of a graph's last point
    int EndX = 0;        // x of the first column (or slot) not drawn for want of data
    bool Empty = false;  // a shown graph has no points
    bool Wide = false;   // a shown graph has a pen wider than kMaxDrawnPen
    int Reach = 0;       // the largest PenReach of the shown graphs' pens
  };
  // Draws the curves of the shown graphs, of the columns [fromColumn,
  // toColumn) (all: 0, -1), into the pixel columns [clipLeft, clipRight) of
  // `image`, noting the pixels drawn in `cover` as DrawCurve does (pens
  // wider than kMaxDrawnPen are not noted).
  static TCurveExtent PaintCurves(const TDiagramModel& model, QImage& image, const TCurveGeometry& geo,
                                  int fromColumn, int toColumn, int clipLeft, int clipRight,
                                  QImage* cover = nullptr);
  // The overlay message, if any.
  static void PaintMessage(const TDiagramModel& model, QImage& buffer);
};
