#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QSize>
#include <QString>
#include <array>
#include <cstdint>
#include <vector>

#include "ui/diagram_painter.h"

class TDiagramModel;

// Draws the chart's back buffer, as cheaply as the change since the last
// drawing allows.
//
// The picture is the decorations (background, axes, grid, labels, kept in
// an image of their own) with the curves drawn over them; an 8-bit cover
// notes which pixels the curves took. Pixel columns of the curves are fixed
// slot ranges counted from the first slot ever stored, so while samples
// arrive at the right edge and the window follows them at a constant width,
// the curves move by whole pixels: the picture and its cover are shifted,
// only the columns at the left edge and from the last drawn point on are
// drawn again, and where the decorations differ from what moved onto them
// (the X labels, the fixed grid and axes) the picture shows them wherever
// no curve covers them. Anything else (a zoom, a Y change, new graph
// properties, a hold, a shown message, a pen too wide for
// TDiagramPainter::DrawCurve) draws everything. A value transform
// (OnProcessDiagramPaint) is a function the renderer cannot compare: it
// counts as unchanged while it gives the same values for the Y limits and
// for a few fixed values, which pins any affine transform (such as a unit
// conversion) whatever its state.
class TDiagramRenderer {
 public:
  // Draws the chart of a client area clientWidth x clientHeight into a back
  // buffer of `bufferSize`. Returns true when the previous picture was
  // moved instead of drawn again.
  bool Render(const TDiagramModel& model, QSize bufferSize, int clientWidth, int clientHeight,
              const QColor& background);
  // The next Render draws everything.
  void Invalidate() { valid_ = false; }
  // Off: every Render draws everything.
  void SetScrolling(bool on) { scrolling_ = on; }
  const QImage& Image() const { return picture_; }

 private:
  // What must stay the same for the previous picture to be moved.
  struct TKey {
    int BufferWidth = 0, BufferHeight = 0, L = 0, B0 = 0, R = 0, P = 0, XMaxAdvance = 0;
    std::int64_t Width = 0;
    double xs = 0, ys = 0, yLo = 0, yHi = 0, Resolution = 0;
    QString YMin, YMax;
    int XPrecision = 0, XDecimal = 0, YPrecision = 0, YDecimal = 0;
    std::uint32_t GridColor = 0;
    QRgb Background = 0;
    bool Snapshot = false;
    std::uint64_t Rewrites = 0;
    std::array<double, 3> Drawn{};      // the value transform at three fixed values
    std::vector<std::uint64_t> Graphs;  // colour, pen, shown and place in the paint order
    bool operator==(const TKey&) const = default;
  };
  static TKey KeyOf(const TDiagramModel& model, QSize size, const QColor& background,
                    const TDiagramPainter::TLayout& layout);
  // The decorations into the picture in x0..x1-1, y0..y1-1, uncovered.
  void Restore(int x0, int x1, int y0, int y1);
  // The decorations into the pixels of x0..x1-1, y0..y1-1 no curve covers.
  void Uncover(int x0, int x1, int y0, int y1);
  // Notes the pixels of the decorations over the plot (right of L, not below B0).
  void FindDecorations(int L, int B0, const QColor& background);
  // Moves the picture and its cover right of L left by `shift` pixels.
  void MovePicture(int L, int shift);
  // The fixed decorations over the plot, where they lie and where they came
  // from, after a move by `shift`.
  void RestoreDecorations(int L, int shift);

  QImage decorations_, picture_, cover_;
  TKey key_;
  bool valid_ = false;
  bool scrolling_ = true;
  std::int64_t firstColumn_ = 0;  // absolute column at L
  std::int64_t limit_ = 0;        // readable slots when last drawn
  int frontier_ = 0;              // curves may grow from this x on
  int reach_ = 0;                 // the pens' reach beyond their lines
  bool messageShown_ = false;
  std::vector<QPoint> decorated_;  // see FindDecorations
};
