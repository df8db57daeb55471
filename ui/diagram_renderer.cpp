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
    picture_ = QImage(size, QImage::Format_RGB32);
    cover_ = QImage(size, QImage::Format_Alpha8);
    valid_ = false;
  }
  const int w = size.width(), h = size.height();
  const TDiagramPainter::TLayout lay = TDiagramPainter::Layout(model, w, W, H);
  const TDiagramPainter::TCurveGeometry geo = TDiagramPainter::CurveGeometry(model, lay);
  TKey key = KeyOf(model, size, background, lay);
  const std::int64_t k0 = geo.FirstColumn();
  const std::int64_t d = k0 - firstColumn_;
  const bool message = !model.DiaMessage().isEmpty();

  // A picture with the message over it no longer holds what lies under it;
  // while a message is shown the window does not follow live data anyway.
  bool scroll = scrolling_ && valid_ && !message && !messageShown_ && lay.Curves() && key == key_ &&
                geo.Limit >= limit_ && d >= 0 && d < lay.P;
  const int L = lay.L, bottom = std::min(lay.B0 + 1, h);
  const bool reduced = static_cast<double>(geo.Width) >= 2.0 * geo.P;
  // The pens reach this far beyond the one-pixel lines they follow (the
  // same pens as last time, as the keys are equal).
  const int r = reach_;
  if (scroll) {
    // The picture moves left by d pixels, curves and all; the columns from
    // where the curves may have grown are drawn again, and so are those at
    // the left edge, where the first point of the window joins the curves,
    // each widened by the pens' reach.
    const int shift = static_cast<int>(d);
    const int repairFrom = frontier_ - shift - r;
    scroll = repairFrom >= L + 2;
    if (scroll) {
      MovePicture(L, shift);
      Restore(repairFrom, w, 0, h);
      const int rightFrom = reduced ? repairFrom - r - L - 2 : 0;
      const TDiagramPainter::TCurveExtent right =
          TDiagramPainter::PaintCurves(model, picture_, geo, rightFrom, -1, repairFrom, w, &cover_);
      scroll = (!reduced || right.FirstXMax < repairFrom - r) && !right.Wide;
      if (scroll) {
        // The left edge: every graph's first point and the segments out of it.
        const int leftTo = reduced ? 4 + 2 * r : -1;
        TDiagramPainter::TCurveExtent left =
            TDiagramPainter::PaintCurves(model, picture_, geo, 0, leftTo, 0, 0);  // measures only
        // The one-pixel lines change in [L, lineEnd); the pens, from r
        // further left to r further right.
        const int lineEnd = std::max(L + 2, left.FirstXMax + 1);
        const int leftFrom = std::max(L - r, 0), leftEnd = lineEnd + r;
        // While columns hold many slots only the first few are read: each
        // graph must start and go on within them.
        scroll = (!reduced || (!left.Empty && lineEnd <= L + 2 && left.LastX >= leftEnd + r)) &&
                 leftEnd <= repairFrom;
        if (scroll) {
          Restore(leftFrom, leftEnd, 0, h);
          TDiagramPainter::PaintCurves(model, picture_, geo, 0, leftTo, leftFrom, leftEnd, &cover_);
          frontier_ = std::min(right.LastX, right.EndX);
          // Of the decorations only the X labels below the plot change; the
          // fixed ones moved with the picture.
          TDiagramPainter::PaintDecorations(model, decorations_, lay, background,
                                            QRect(0, bottom, w, std::max(h - bottom, 0)));
          Uncover(0, w, bottom, h);
          RestoreDecorations(L, shift);
        }
      }
    }
  }
  if (!scroll) {
    TDiagramPainter::PaintDecorations(model, decorations_, lay, background, QRect(0, 0, w, h));
    Restore(0, w, 0, h);
    valid_ = false;
    if (lay.Curves()) {
      const TDiagramPainter::TCurveExtent all =
          TDiagramPainter::PaintCurves(model, picture_, geo, 0, -1, 0, w, &cover_);
      frontier_ = std::min(all.LastX, all.EndX);
      reach_ = all.Reach;
      valid_ = !all.Wide;
    }
    FindDecorations(L, lay.B0, background);
  }
  key_ = std::move(key);
  firstColumn_ = k0;
  limit_ = geo.Limit;
  TDiagramPainter::PaintMessage(model, picture_);
  messageShown_ = message;
  return scroll;
}

void TDiagramRenderer::Restore(int x0, int x1, int y0, int y1) {
  x0 = std::max(x0, 0);
  x1 = std::min(x1, picture_.width());
  y0 = std::max(y0, 0);
  y1 = std::min(y1, picture_.height());
  if (x0 >= x1) return;
  const std::size_t n = static_cast<std::size_t>(x1 - x0);
  for (int y = y0; y < y1; ++y) {
    std::memcpy(reinterpret_cast<QRgb*>(picture_.scanLine(y)) + x0,
                reinterpret_cast<const QRgb*>(decorations_.constScanLine(y)) + x0, sizeof(QRgb) * n);
    std::memset(cover_.scanLine(y) + x0, 0, n);
  }
}

void TDiagramRenderer::Uncover(int x0, int x1, int y0, int y1) {
  x0 = std::max(x0, 0);
  x1 = std::min(x1, picture_.width());
  y0 = std::max(y0, 0);
  y1 = std::min(y1, picture_.height());
  for (int y = y0; y < y1; ++y) {
    auto* dst = reinterpret_cast<QRgb*>(picture_.scanLine(y));
    const auto* under = reinterpret_cast<const QRgb*>(decorations_.constScanLine(y));
    const uchar* covered = cover_.constScanLine(y);
    for (int x = x0; x < x1; ++x)
      if (!covered[x]) dst[x] = under[x];
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

void TDiagramRenderer::MovePicture(int L, int shift) {
  const int w = picture_.width(), h = picture_.height();
  if (shift <= 0 || L + shift >= w) return;
  const std::size_t n = static_cast<std::size_t>(w - L - shift);
  for (int y = 0; y < h; ++y) {
    auto* row = reinterpret_cast<QRgb*>(picture_.scanLine(y));
    std::memmove(row + L, row + L + shift, sizeof(QRgb) * n);
    uchar* marks = cover_.scanLine(y);
    std::memmove(marks + L, marks + L + shift, n);
  }
}

void TDiagramRenderer::RestoreDecorations(int L, int shift) {
  // Where a fixed decoration lies and where one came from, the picture
  // shows the decoration unless a curve covers it.
  uchar* out = picture_.bits();
  const uchar* under = decorations_.constBits();
  const uchar* covered = cover_.constBits();
  const qsizetype stride = picture_.bytesPerLine(), coverStride = cover_.bytesPerLine();
  auto restore = [&](int x, int y) {
    if (covered[coverStride * y + x]) return;
    reinterpret_cast<QRgb*>(out + stride * y)[x] = reinterpret_cast<const QRgb*>(under + stride * y)[x];
  };
  for (const QPoint& p : decorated_) {
    restore(p.x(), p.y());
    if (p.x() - shift >= L) restore(p.x() - shift, p.y());
  }
}
