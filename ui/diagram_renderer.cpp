#include "ui/diagram_renderer.h"

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
  k.Rewrites = model.Rewrites();
  // Values not finite compare unequal, so such a transform draws everything.
  static constexpr double kProbes[] = {0.0, 100.0, -273.15};
  for (std::size_t i = 0; i < k.Drawn.size(); ++i)
    k.Drawn[i] = model.OnProcessDiagramPaint ? model.OnProcessDiagramPaint(kProbes[i]) : kProbes[i];
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

  bool scroll =
      scrolling_ && valid_ && lay.Curves() && key == key_ && geo.Limit >= limit_ && d >= 0 && d < lay.P;
  const int L = lay.L;
  const bool reduced = static_cast<double>(geo.Width) >= 2.0 * geo.P;
  // The pens reach this far beyond the one-pixel lines they follow (the
  // same pens as last time, as the keys are equal).
  const int r = reach_;
  int shift = 0, repairFrom = w, leftFrom = L, leftEnd = L;
  if (scroll) {
    // The curve layer moves left by d pixels; the columns from where the
    // curves may have grown are drawn again, and so are those at the left
    // edge, where the first point of the window joins the curves, each
    // widened by the pens' reach.
    shift = static_cast<int>(d);
    repairFrom = frontier_ - shift - r;
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
      const int rightFrom = reduced ? repairFrom - r - L - 2 : 0;
      const TDiagramPainter::TCurveExtent right =
          TDiagramPainter::PaintCurves(model, curves_, geo, rightFrom, -1, repairFrom, w);
      scroll = (!reduced || right.FirstXMax < repairFrom - r) && !right.Wide;
      if (scroll) {
        // The left edge: every graph's first point and the segments out of it.
        const int leftTo = reduced ? 4 + 2 * r : -1;
        TDiagramPainter::TCurveExtent left =
            TDiagramPainter::PaintCurves(model, curves_, geo, 0, leftTo, 0, 0);  // measures only
        // The one-pixel lines change in [L, lineEnd); the pens, from r
        // further left to r further right.
        const int lineEnd = std::max(L + 2, left.FirstXMax + 1);
        leftFrom = std::max(L - r, 0);
        leftEnd = lineEnd + r;
        // While columns hold many slots only the first few are read: each
        // graph must start and go on within them.
        scroll = (!reduced || (!left.Empty && lineEnd <= L + 2 && left.LastX >= leftEnd + r)) &&
                 leftEnd <= repairFrom;
        if (scroll) {
          for (int y = 0; y < h; ++y) {
            auto* row = reinterpret_cast<QRgb*>(bits + stride * y);
            std::fill(row + leftFrom, row + leftEnd, QRgb{0});
          }
          TDiagramPainter::PaintCurves(model, curves_, geo, 0, leftTo, leftFrom, leftEnd);
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
      reach_ = all.Reach;
      valid_ = !all.Wide;
    }
    FindDecorations(L, lay.B0, background);
  }
  key_ = std::move(key);
  firstColumn_ = k0;
  limit_ = geo.Limit;
  const bool message = !model.DiaMessage().isEmpty();
  if (scroll && !message && !messageShown_) {
    MovePicture(L, lay.B0, shift, repairFrom, leftFrom, leftEnd);
  } else {
    ComposeRect(0, w, 0, h);
    TDiagramPainter::PaintMessage(model, picture_);
  }
  messageShown_ = message;
  return scroll;
}

void TDiagramRenderer::ComposeRect(int x0, int x1, int y0, int y1) {
  x0 = std::max(x0, 0);
  x1 = std::min(x1, picture_.width());
  y0 = std::max(y0, 0);
  y1 = std::min(y1, picture_.height());
  for (int y = y0; y < y1; ++y) {
    auto* dst = reinterpret_cast<QRgb*>(picture_.scanLine(y));
    const auto* under = reinterpret_cast<const QRgb*>(decorations_.constScanLine(y));
    const auto* over = reinterpret_cast<const QRgb*>(curves_.constScanLine(y));
    for (int x = x0; x < x1; ++x) dst[x] = over[x] != 0 ? over[x] : under[x];  // curve pixels are opaque
  }
}

void TDiagramRenderer::FindDecorations(int L, int B0, const QColor& background) {
  decorated_.clear();
  const QRgb bg = background.rgb();
  const int w = decorations_.width(), bottom = std::min(B0 + 1, decorations_.height());
  for (int y = 0; y < bottom; ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(decorations_.constScanLine(y));
    for (int x = std::max(L, 0); x < w; ++x)
      if (row[x] != bg) decorated_.push_back({x, y});
  }
}

void TDiagramRenderer::MovePicture(int L, int B0, int shift, int repairFrom, int leftFrom, int leftEnd) {
  const int w = picture_.width(), h = picture_.height();
  const int bottom = std::min(B0 + 1, h);
  if (shift > 0 && L + shift < w) {
    for (int y = 0; y < bottom; ++y) {
      auto* row = reinterpret_cast<QRgb*>(picture_.scanLine(y));
      std::memmove(row + L, row + L + shift, sizeof(QRgb) * static_cast<std::size_t>(w - L - shift));
    }
  }
  ComposeRect(repairFrom, w, 0, bottom);
  ComposeRect(leftFrom, leftEnd, 0, bottom);
  ComposeRect(0, w, bottom, h);  // the X labels
  // The fixed decorations moved with the picture: where they were and where
  // they came from.
  uchar* out = picture_.bits();
  const uchar* under = decorations_.constBits();
  const uchar* over = curves_.constBits();
  const qsizetype stride = picture_.bytesPerLine(), overStride = curves_.bytesPerLine();
  auto compose = [&](int x, int y) {
    const QRgb c = reinterpret_cast<const QRgb*>(over + overStride * y)[x];
    reinterpret_cast<QRgb*>(out + stride * y)[x] =
        c != 0 ? c : reinterpret_cast<const QRgb*>(under + stride * y)[x];
  };
  for (const QPoint& p : decorated_) {
    compose(p.x(), p.y());
    if (p.x() - shift >= L) compose(p.x() - shift, p.y());
  }
}
