#include "ui/diagram_renderer.h"

#include <QPainter>
#include <algorithm>
#include <cstring>
#include <limits>

#include "ui/diagram_model.h"

TDiagramRenderer::TKey TDiagramRenderer::KeyOf(const TDiagramModel& model, QSize size,
                                               const QColor& background,
                                               const TDiagramPainter::TLayout& lay) {
  TKey k;
  k.BufferWidth = size.width();
  k.BufferHeight = size.height();
  k.L = lay.L;
  k.B0 = lay.B0;
  k.R = lay.R;
  k.P = lay.P;
  k.XMaxAdvance = lay.XMaxAdvance;
  k.Width = lay.Width;
  k.xs = lay.xs;
  k.ys = lay.ys;
  k.yLo = lay.yLo;
  k.yHi = lay.yHi;
  k.Resolution = model.Resolution();
  k.YMin = lay.YMin;
  k.YMax = lay.YMax;
  k.XPrecision = model.XPresicion();
  k.XDecimal = model.XDecimal();
  k.YPrecision = model.YPresicion();
  k.YDecimal = model.YDecimal();
  k.GridColor = model.GridColor();
  k.Background = background.rgb();
  k.Snapshot = model.SnapshotShown();
  const auto& order = model.PaintOrder();
  for (int g = 0; g < model.GraphCount(); ++g) {
    const TGraphProperties& gp = model.Graph(g);
    k.Graphs.push_back(static_cast<std::uint64_t>(gp.Color) |
                       (static_cast<std::uint64_t>(gp.PenWidth & 0xFF) << 32) |
                       (static_cast<std::uint64_t>(gp.ShowDiagram) << 40) |
                       (static_cast<std::uint64_t>(order[static_cast<std::size_t>(g)]) << 48));
  }
  return k;
}

bool TDiagramRenderer::Render(const TDiagramModel& model, QSize size, int W, int H,
                              const QColor& background) {
  if (picture_.size() != size) {
    decorations_ = QImage(size, QImage::Format_RGB32);
    curves_ = QImage(size, QImage::Format_ARGB32_Premultiplied);
    picture_ = QImage(size, QImage::Format_RGB32);
    valid_ = false;
  }
  const int w = size.width(), h = size.height();
  const TDiagramPainter::TLayout lay = TDiagramPainter::Layout(model, w, W, H);
  const TDiagramPainter::TCurveGeometry geo = TDiagramPainter::CurveGeometry(model, lay);
  TKey key = KeyOf(model, size, background, lay);
  const std::int64_t k0 = geo.FirstColumn();
  const std::int64_t d = k0 - firstColumn_;

  bool scroll = scrolling_ && valid_ && lay.Curves() && !model.OnProcessDiagramPaint && key == key_ &&
                geo.Limit >= limit_ && d >= 0 && d < lay.P;
  const int L = lay.L;
  const bool reduced = static_cast<double>(geo.Width) >= 2.0 * geo.P;
  if (scroll) {
    // The curve layer moves left by d pixels; the columns from where the
    // curves may have grown are drawn again, and so are those at the left
    // edge, where the first point of the window joins the curves.
    const int shift = static_cast<int>(d);
    const int repairFrom = frontier_ - shift;
    scroll = repairFrom >= L + 2;
    if (scroll) {
      const qsizetype stride = curves_.bytesPerLine();
      uchar* bits = curves_.bits();
      for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<QRgb*>(bits + stride * y);
        if (shift > 0 && L + shift < w)
          std::memmove(row + L, row + L + shift, sizeof(QRgb) * (w - L - shift));
        std::fill(row + std::max(repairFrom, L), row + w, QRgb{0});
      }
      const int rightFrom = reduced ? repairFrom - L - 2 : 0;
      const TDiagramPainter::TCurveExtent right =
          TDiagramPainter::PaintCurves(model, curves_, geo, rightFrom, -1, repairFrom, w);
      scroll = (!reduced || right.FirstXMax < repairFrom) && !right.Wide;
      if (scroll) {
        // The left edge: every graph's first point and the segments out of it.
        const int leftTo = reduced ? 4 : -1;
        TDiagramPainter::TCurveExtent left =
            TDiagramPainter::PaintCurves(model, curves_, geo, 0, leftTo, 0, 0);  // measures only
        const int leftEnd = std::max(L + 2, left.FirstXMax + 1);
        // While columns hold many slots only the first four are read: each
        // graph must start and go on within them.
        scroll =
            (!reduced || (!left.Empty && leftEnd <= L + 2 && left.LastX >= L + 2)) && leftEnd <= repairFrom;
        if (scroll) {
          for (int y = 0; y < h; ++y) {
            auto* row = reinterpret_cast<QRgb*>(bits + stride * y);
            std::fill(row + L, row + leftEnd, QRgb{0});
          }
          TDiagramPainter::PaintCurves(model, curves_, geo, 0, leftTo, L, leftEnd);
          frontier_ = std::min(right.LastX, right.EndX);
        }
      }
    }
    if (scroll) {
      // Of the decorations only the X labels below the plot change.
      TDiagramPainter::PaintDecorations(model, decorations_, lay, background,
                                        QRect(0, lay.B0 + 1, w, std::max(h - lay.B0 - 1, 0)));
    }
  }
  if (!scroll) {
    TDiagramPainter::PaintDecorations(model, decorations_, lay, background, QRect(0, 0, w, h));
    std::memset(curves_.bits(), 0, static_cast<std::size_t>(curves_.sizeInBytes()));
    valid_ = false;
    if (lay.Curves()) {
      const TDiagramPainter::TCurveExtent all =
          TDiagramPainter::PaintCurves(model, curves_, geo, 0, -1, 0, w);
      frontier_ = std::min(all.LastX, all.EndX);
      valid_ = !all.Wide;
    }
  }
  key_ = std::move(key);
  firstColumn_ = k0;
  limit_ = geo.Limit;
  Compose(model, lay.Curves() ? L : w);
  return scroll;
}

void TDiagramRenderer::Compose(const TDiagramModel& model, int curvesLeft) {
  const int w = picture_.width(), h = picture_.height();
  const qsizetype stride = picture_.bytesPerLine();
  const uchar* under = decorations_.constBits();
  const uchar* over = curves_.constBits();
  uchar* out = picture_.bits();
  for (int y = 0; y < h; ++y) {
    auto* dst = reinterpret_cast<QRgb*>(out + stride * y);
    std::memcpy(dst, under + stride * y, sizeof(QRgb) * static_cast<std::size_t>(w));
    const auto* curve = reinterpret_cast<const QRgb*>(over + curves_.bytesPerLine() * y);
    for (int x = curvesLeft; x < w; ++x)
      if (curve[x] != 0) dst[x] = curve[x];  // curve pixels are opaque
  }
  TDiagramPainter::PaintMessage(model, picture_);
}
