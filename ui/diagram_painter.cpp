#include "ui/diagram_painter.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPen>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "platform/number_text.h"
#include "ui/diagram_model.h"

namespace {

// Pixel coordinates are kept inside a range the raster engine handles.
constexpr double kCoordClamp = 1.0e6;
// Grid loops never draw more lines than this.
constexpr std::int64_t kMaxGridLines = 100000;

std::int64_t RoundHalfEven(double v) {
  if (!(v == v)) return 0;
  v = std::clamp(v, -4.0e18, 4.0e18);
  return static_cast<std::int64_t>(std::nearbyint(v));
}

int RoundPixel(double v) {
  return static_cast<int>(std::nearbyint(std::clamp(v, -kCoordClamp, kCoordClamp)));
}

QString Fixed(double v, int precision, int digits) {
  return NumberText::FloatToStrF(v, NumberText::FloatFormat::Fixed, precision, digits);
}

void DrawTextAt(QPainter& p, const QFontMetrics& fm, int x, int y, const QString& text) {
  p.drawText(x, y + fm.ascent(), text);
}

}  // namespace

double TDiagramPainter::YGridStep(double raw, int yDecimal) {
  static const double kCoarse[] = {0.2, 0.5, 1, 2, 5, 10, 20, 50, 100, 200, 500};
  static const double kFine[] = {0.05, 0.2, 0.5, 1, 2, 5, 10, 20, 50, 100, 200, 500};
  if (yDecimal < 2) {
    for (double s : kCoarse)
      if (s >= raw) return s;
    return 500;
  }
  for (double s : kFine)
    if (s >= raw) return s;
  return 500;
}

double TDiagramPainter::XGridStep(double raw) {
  static const double kSeries[] = {0.001, 0.002, 0.005, 0.01, 0.02, 0.05,  0.1,   0.2,
                                   0.5,   1,     2,     5,    10,   20,    50,    100,
                                   200,   500,   1000,  2000, 5000, 10000, 20000, 50000};
  for (double s : kSeries)
    if (s >= raw) return s;
  return 50000;
}

std::vector<int> TDiagramPainter::XLabelLefts(const std::vector<int>& xs, const std::vector<int>& widths) {
  std::vector<int> lefts(xs.size());
  for (std::size_t i = 0; i < xs.size(); ++i) lefts[i] = xs[i] - widths[i] / 2;
  if (!xs.empty()) {
    const std::size_t last = xs.size() - 1;
    const int right = xs[last] - widths[last];
    if (last == 0 || right >= lefts[last - 1] + widths[last - 1] + 5) lefts[last] = right;
  }
  return lefts;
}

int TDiagramPainter::MessageFontSize(const std::function<int(int size)>& widthAt, int bufferWidth) {
  int size = 128;
  while (widthAt(size) > 0.8 * bufferWidth && size > 8) --size;
  return size;
}

std::int64_t TDiagramPainter::TCurveGeometry::FirstColumn() const {
  const double k = std::floor(static_cast<double>(Start + Anchor) * xs);
  return static_cast<std::int64_t>(std::clamp(k, -4.0e18, 4.0e18));
}

namespace {

// The x of slot i while columns hold fewer than two slots.
int SlotX(const TDiagramPainter::TCurveGeometry& geo, std::int64_t firstColumn, std::int64_t i) {
  return geo.L + RoundPixel(static_cast<double>(RoundHalfEven(static_cast<double>(i + geo.Anchor) * geo.xs) -
                                                firstColumn));
}

}  // namespace

std::vector<QPoint> TDiagramPainter::CurvePoints(const TCurveSource& src, const TCurveGeometry& geo,
                                                 int fromColumn, int toColumn) {
  std::vector<QPoint> pts;
  auto drawn = [&](double v) { return src.Transform ? src.Transform(v) : v; };
  auto row = [&](double v) { return geo.B0 + RoundPixel((drawn(v) - geo.yLo) * geo.ys); };
  auto valid = [&](float v) { return std::isfinite(v) && std::isfinite(drawn(v)); };
  auto slotReadable = [&](std::int64_t i) { return i >= 0 && i < geo.Limit; };
  const std::int64_t k0 = geo.FirstColumn();

  if (static_cast<double>(geo.Width) < 2.0 * geo.P) {
    for (std::int64_t k = 0; k <= geo.Width; ++k) {
      const std::int64_t i = geo.Start + k;
      if (i >= geo.Limit) break;
      if (i < 0) continue;
      const float v = src.Value(i);
      if (valid(v)) pts.emplace_back(SlotX(geo, k0, i), row(v));
    }
    return pts;
  }

  const int to = toColumn < 0 ? geo.P : std::min(toColumn, geo.P);
  const int from = std::max(fromColumn, 0);
  pts.reserve(static_cast<std::size_t>(std::max(3 * (to - from) + 1, 1)));
  if (from == 0 && slotReadable(geo.Start)) {
    const float v = src.Value(geo.Start);
    if (valid(v)) pts.emplace_back(geo.L, row(v));
  }
  auto addValue = [&](int x, float v) {
    if (valid(v)) pts.emplace_back(x, row(v));
  };
  auto add = [&](int x, std::int64_t slot) { addValue(x, src.Value(slot)); };
  for (int c = from; c < to; ++c) {
    std::int64_t i0 = 0, i1 = 0;
    const TColumn column = ColumnSlots(geo, c, i0, i1);
    if (column == TColumn::kEnd) break;
    if (column == TColumn::kSkipped) continue;
    const int x = geo.L + c;
    const TDiagramStore::TEnvelope e = src.Envelope(c, i0, i1);
    if (!e.Found) {
      add(x + 1, i1);
      continue;
    }
    const double tMin = drawn(e.Min), tMax = drawn(e.Max);
    if (!std::isfinite(tMin) || !std::isfinite(tMax)) continue;
    const int rowA = geo.B0 + RoundPixel((tMin - geo.yLo) * geo.ys);
    const int rowB = geo.B0 + RoundPixel((tMax - geo.yLo) * geo.ys);
    if (rowA == rowB) {  // flat column
      add(x + 1, i1);
      continue;
    }
    // The column starts with one of its extremes: the other one goes at x.
    // Else the later one goes at x and the earlier one at x + 1.
    const float first = src.Value(i0);
    if (first == e.Min || first == e.Max) {
      addValue(x, first == e.Min ? e.Max : e.Min);
    } else {
      addValue(x, e.MinFirst ? e.Max : e.Min);
      addValue(x + 1, e.MinFirst ? e.Min : e.Max);
    }
    add(x + 1, i1);
  }
  return pts;
}

namespace {

// n / d rounded to the nearest integer, halves upward; d > 0.
std::int64_t DivRound(std::int64_t n, std::int64_t d) {
  const std::int64_t a = 2 * n + d, b = 2 * d;
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

}  // namespace

void TDiagramPainter::DrawCurve(QImage& image, const std::vector<QPoint>& pts, QRgb color, int clipLeft,
                                int clipRight, int penWidth, QImage* cover) {
  const int w = image.width(), h = image.height();
  clipLeft = std::max(clipLeft, 0);
  clipRight = std::min(clipRight, w);
  if (clipLeft >= clipRight || h <= 0 || pts.empty()) return;
  uchar* const bits = image.bits();
  const qsizetype stride = image.bytesPerLine();
  uchar* const marks = cover ? cover->bits() : nullptr;
  const qsizetype markStride = cover ? cover->bytesPerLine() : 0;
  // A pixel of the one-pixel line at (x, y) becomes the square of the pen
  // over x + lo .. x + hi, y + lo .. y + hi.
  penWidth = std::max(penWidth, 1);
  const int lo = -(penWidth / 2), hi = (penWidth - 1) / 2;
  // The one-pixel line is followed over the columns and rows whose squares
  // reach into the clip and the image.
  const int left = clipLeft - hi, right = clipRight - lo, top = -hi, bottom = h - lo;
  auto put = [&](std::int64_t x, std::int64_t y) {
    if (y < top || y >= bottom || x < left || x >= right) return;
    if (penWidth == 1) {
      reinterpret_cast<QRgb*>(bits + stride * y)[x] = color;
      if (marks) marks[markStride * y + x] = 0xFF;
      return;
    }
    const int x0 = static_cast<int>(std::max<std::int64_t>(x + lo, clipLeft));
    const int x1 = static_cast<int>(std::min<std::int64_t>(x + hi + 1, clipRight));
    const int y0 = static_cast<int>(std::max<std::int64_t>(y + lo, 0));
    const int y1 = static_cast<int>(std::min<std::int64_t>(y + hi + 1, h));
    for (int r = y0; r < y1; ++r) {
      QRgb* line = reinterpret_cast<QRgb*>(bits + stride * r);
      for (int c = x0; c < x1; ++c) line[c] = color;
      if (marks && x0 < x1) std::memset(marks + markStride * r + x0, 0xFF, static_cast<std::size_t>(x1 - x0));
    }
  };
  auto segment = [&](QPoint a, QPoint b) {
    const std::int64_t dx = std::abs(b.x() - a.x()), dy = std::abs(b.y() - a.y());
    if (dx >= dy) {  // one pixel per column
      if (b.x() < a.x()) std::swap(a, b);
      if (b.x() < left || a.x() >= right) return;
      if (dx == 0) {
        put(a.x(), a.y());
        return;
      }
      const int x0 = std::max(a.x(), left), x1 = std::min(b.x(), right - 1);
      const std::int64_t ry = b.y() - a.y();
      for (int x = x0; x <= x1; ++x) put(x, a.y() + DivRound((x - a.x()) * ry, dx));
      return;
    }
    // one pixel per row
    if (b.y() < a.y()) std::swap(a, b);
    if (std::max(a.x(), b.x()) < left || std::min(a.x(), b.x()) >= right) return;
    const std::int64_t rx = b.x() - a.x();
    const int y0 = std::max(a.y(), top), y1 = std::min(b.y(), bottom - 1);
    if (y0 > y1) return;
    if (rx == 0 && penWidth == 1) {
      QRgb* p = reinterpret_cast<QRgb*>(bits + stride * y0) + a.x();
      for (int y = y0; y <= y1; ++y, p += stride / 4) *p = color;
      if (marks)
        for (int y = y0; y <= y1; ++y) marks[markStride * y + a.x()] = 0xFF;
      return;
    }
    for (int y = y0; y <= y1; ++y) put(a.x() + DivRound((y - a.y()) * rx, dy), y);
  };
  if (pts.size() == 1) {
    segment(pts[0], pts[0]);
    return;
  }
  for (std::size_t i = 1; i < pts.size(); ++i) segment(pts[i - 1], pts[i]);
}

TDiagramPainter::TColumn TDiagramPainter::ColumnSlots(const TCurveGeometry& geo, int c, std::int64_t& i0,
                                                      std::int64_t& i1) {
  const double k = static_cast<double>(geo.FirstColumn() + c);
  i0 = RoundHalfEven(k / geo.xs) - geo.Anchor;
  i1 = RoundHalfEven((k + 1) / geo.xs) - geo.Anchor;
  if (i1 >= geo.Limit) return TColumn::kEnd;
  if (i1 <= 0) return TColumn::kSkipped;
  i0 = std::max<std::int64_t>(i0, 0);
  return i0 < i1 ? TColumn::kDrawn : TColumn::kSkipped;
}

TDiagramPainter::TCurveSource TDiagramPainter::ModelSource(const TDiagramModel& model, int graph,
                                                           const TColumnEnvelopes* columns, int firstColumn) {
  TCurveSource s;
  s.Value = [&model, graph](std::int64_t slot) { return model.ShownValue(graph, slot); };
  if (columns && !columns->empty()) {
    const std::size_t graphs = model.GraphCount();
    s.Envelope = [columns, graphs, graph, firstColumn](int c, std::int64_t, std::int64_t) {
      return (*columns)[static_cast<std::size_t>(c - firstColumn) * graphs + static_cast<std::size_t>(graph)];
    };
  } else {
    s.Envelope = [&model, graph](int, std::int64_t from, std::int64_t to) {
      return model.ShownEnvelope(graph, from, to);
    };
  }
  if (model.OnProcessDiagramPaint) s.Transform = model.OnProcessDiagramPaint;
  return s;
}

TDiagramPainter::TColumnEnvelopes TDiagramPainter::ModelColumnEnvelopes(const TDiagramModel& model,
                                                                        const TCurveGeometry& geo,
                                                                        int fromColumn, int toColumn) {
  TColumnEnvelopes table;
  if (geo.P <= 0 || static_cast<double>(geo.Width) < 2.0 * geo.P) return table;
  const std::size_t graphs = model.GraphCount();
  const int from = std::max(fromColumn, 0);
  const int to = toColumn < 0 ? geo.P : std::min(toColumn, geo.P);
  if (from >= to) return table;
  table.resize(static_cast<std::size_t>(to - from) * graphs);
  for (int c = from; c < to; ++c) {
    std::int64_t i0 = 0, i1 = 0;
    const TColumn column = ColumnSlots(geo, c, i0, i1);
    if (column == TColumn::kEnd) break;
    if (column == TColumn::kDrawn)
      model.ShownEnvelopes(i0, i1,
                           std::span(table).subspan(static_cast<std::size_t>(c - from) * graphs, graphs));
  }
  return table;
}

namespace {

QFont LabelFont() {
  QFont font = QGuiApplication::font();
  font.setPointSize(8);
  return font;
}

}  // namespace

TDiagramPainter::TLayout TDiagramPainter::Layout(const TDiagramModel& model, int bufW, int W, int H) {
  constexpr int B = kButtonSize;
  TLayout lay;
  if (W < 2 * B || H < 2 * B || model.ResetPending()) return lay;
  const QFontMetrics fm(LabelFont());
  auto drawn = [&](double v) { return model.OnProcessDiagramPaint ? model.OnProcessDiagramPaint(v) : v; };
  lay.Plot = true;
  lay.yLo = drawn(model.YMin());
  lay.yHi = drawn(model.YMax());
  lay.ySpan = lay.yHi - lay.yLo;
  const double res = model.Resolution();
  const std::int64_t off = model.ShownSlotOffset();
  lay.Start = model.WindowStart();
  lay.Width = model.WindowWidth();
  lay.XMin = Fixed(static_cast<double>(lay.Start + off) * res, model.XPresicion(), model.XDecimal());
  lay.XMax =
      Fixed(static_cast<double>(model.WindowEnd() + off + 1) * res, model.XPresicion(), model.XDecimal());
  lay.YMin = Fixed(lay.yLo, model.YPresicion(), model.YDecimal());
  lay.YMax = Fixed(lay.yHi, model.YPresicion(), model.YDecimal());
  lay.TextHeight = fm.height();  // every text of one font has this height
  lay.XMaxAdvance = fm.horizontalAdvance(lay.XMax);
  lay.L = std::max(fm.horizontalAdvance(lay.YMax), fm.horizontalAdvance(lay.XMin)) + 4;
  lay.B0 = H - lay.TextHeight - B - 4;
  lay.R = bufW - lay.XMaxAdvance / 2 - 5;
  lay.T = 5;
  lay.P = lay.R - lay.L;
  lay.xs = lay.Width > 0 ? static_cast<double>(lay.P) / static_cast<double>(lay.Width) : 1.0;
  lay.ys = lay.ySpan > 0 ? (lay.T - lay.B0) / lay.ySpan : 1.0;
  return lay;
}

TDiagramPainter::TCurveGeometry TDiagramPainter::CurveGeometry(const TDiagramModel& model,
                                                               const TLayout& lay) {
  TCurveGeometry geo;
  geo.L = lay.L;
  geo.B0 = lay.B0;
  geo.P = lay.P;
  geo.xs = lay.xs;
  geo.ys = lay.ys;
  geo.yLo = lay.yLo;
  geo.Start = lay.Start;
  geo.Width = lay.Width;
  geo.Limit = model.ShownLast();
  geo.Anchor = model.ShownSlotOffset();
  return geo;
}

void TDiagramPainter::PaintDecorations(const TDiagramModel& model, QImage& buffer, const TLayout& lay,
                                       const QColor& background, const QRect& clip) {
  QPainter p(&buffer);
  p.setClipRect(clip);
  p.fillRect(clip, background);
  if (!lay.Plot) return;
  const QFont font = LabelFont();
  p.setFont(font);
  const QFontMetrics fm(font);
  const int L = lay.L, B0 = lay.B0, R = lay.R, T = lay.T, P = lay.P, th = lay.TextHeight;
  const double res = model.Resolution();
  const std::int64_t off = model.ShownSlotOffset();

  // Cosmetic pens: the same pixels without a transform, drawn without the stroker.
  QPen black(Qt::black, 1, Qt::SolidLine);
  black.setCosmetic(true);
  QPen grid(TDiagramPainter::ToQColor(model.GridColor()), 1, Qt::DotLine);
  grid.setCosmetic(true);
  // What lies wholly outside the clip is left out.
  auto rowsShown = [&](int top, int bottom) { return bottom >= clip.top() && top <= clip.bottom(); };
  auto line = [&](const QPen& pen, int x1, int y1, int x2, int y2) {
    if (!rowsShown(std::min(y1, y2), std::max(y1, y2))) return;
    p.setPen(pen);
    p.drawLine(x1, y1, x2, y2);
  };
  constexpr int kTextSlack = 3;  // glyphs reaching out of their line
  auto textShown = [&](int y) { return rowsShown(y - kTextSlack, y + th + kTextSlack); };
  auto text = [&](int x, int y, const QString& t) {
    p.setPen(black);
    DrawTextAt(p, fm, x, y, t);
  };
  line(black, R, B0, L, B0);
  line(black, L, B0, L, T);
  if (textShown(2)) text(2, 2, lay.YMax);
  if (textShown(B0 - th)) text(2, B0 - th, lay.YMin);
  if (textShown(B0 + 2)) text(L - fm.horizontalAdvance(lay.XMin) / 2, B0 + 2, lay.XMin);

  // Y grid
  if (std::isfinite(lay.ySpan)) {
    const std::int64_t n = static_cast<std::int64_t>(std::trunc((static_cast<double>(B0 - T) / th) / 1.5));
    const double raw = n == 0 ? 100.0 : lay.ySpan / static_cast<double>(n);
    const double step = YGridStep(raw, model.YDecimal());
    const std::int64_t count = std::min(RoundHalfEven(lay.ySpan / step), kMaxGridLines);
    for (std::int64_t i = 1; i <= count; ++i) {
      const int y = B0 + RoundPixel(static_cast<double>(i) * step * lay.ys);
      if (y - th / 2 < th + 2) break;
      line(black, L - 3, y, L, y);
      line(grid, L, y, R, y);
      if (textShown(y - th / 2))
        text(2, y - th / 2,
             Fixed(lay.yLo + static_cast<double>(i) * step, model.YPresicion(), model.YDecimal()));
    }
  }

  // X grid
  {
    const double span = static_cast<double>(lay.Width) * res;
    const std::int64_t n =
        static_cast<std::int64_t>(std::trunc(static_cast<double>(P) / (lay.XMaxAdvance + 4) / 1.5));
    const double raw = n == 0 ? 100.0 : span / static_cast<double>(n);
    const double step = XGridStep(raw);
    const std::int64_t count = std::min(RoundHalfEven(span / step), kMaxGridLines);
    const bool labelsShown = textShown(B0 + 2);
    std::vector<int> xs_, widths;
    std::vector<QString> labels;
    for (std::int64_t i = 1; i <= count; ++i) {
      const int x = L + RoundPixel(static_cast<double>(i) * step * lay.xs / res);
      line(black, x, B0 - 3, x, B0);
      line(grid, x, B0, x, T);
      if (!labelsShown) continue;
      labels.push_back(Fixed(static_cast<double>(lay.Start + off) * res + static_cast<double>(i) * step,
                             model.XPresicion(), model.XDecimal()));
      xs_.push_back(x);
      widths.push_back(fm.horizontalAdvance(labels.back()));
    }
    const std::vector<int> lefts = XLabelLefts(xs_, widths);
    for (std::size_t i = 0; i < labels.size(); ++i) text(lefts[i], B0 + 2, labels[i]);
  }

  // zero line
  if (lay.yLo < 0 && 0 < lay.yHi) {
    const int y0 = B0 + RoundPixel(-lay.yLo * lay.ys);
    line(black, R, y0, L, y0);
  }
}

TDiagramPainter::TCurveExtent TDiagramPainter::PaintCurves(const TDiagramModel& model, QImage& image,
                                                           const TCurveGeometry& geo, int fromColumn,
                                                           int toColumn, int clipLeft, int clipRight,
                                                           QImage* cover) {
  TCurveExtent extent;
  extent.FirstXMax = std::numeric_limits<int>::min();
  extent.LastX = std::numeric_limits<int>::max();
  const bool reduced = static_cast<double>(geo.Width) >= 2.0 * geo.P;
  if (reduced) {
    // The first column that ends past the data (the columns' ends grow with c).
    int lo = 0, hi = geo.P;
    while (lo < hi) {
      const int c = lo + (hi - lo) / 2;
      std::int64_t i0 = 0, i1 = 0;
      if (ColumnSlots(geo, c, i0, i1) == TColumn::kEnd)
        hi = c;
      else
        lo = c + 1;
    }
    extent.EndX = geo.L + lo;
  } else {
    const std::int64_t last = std::min(geo.Limit - 1, geo.Start + geo.Width);
    extent.EndX = std::max(SlotX(geo, geo.FirstColumn(), last), geo.L);
  }
  const bool whole = fromColumn == 0 && toColumn < 0;
  const TColumnEnvelopes columns =
      reduced ? ModelColumnEnvelopes(model, geo, fromColumn, toColumn) : TColumnEnvelopes();
  const auto& order = model.PaintOrder();
  for (int k = static_cast<int>(model.GraphCount()) - 1; k >= 0; --k) {
    const int g = order[k];
    const TGraphProperties& gp = model.Graph(g);
    if (!gp.ShowDiagram) continue;
    const std::vector<QPoint> pts =
        CurvePoints(ModelSource(model, g, reduced ? &columns : nullptr, std::max(fromColumn, 0)), geo,
                    fromColumn, toColumn);
    extent.Wide = extent.Wide || gp.PenWidth > kMaxDrawnPen;
    extent.Reach = std::max(extent.Reach, PenReach(gp.PenWidth));
    if (pts.empty()) {
      extent.Empty = true;
      continue;
    }
    extent.FirstXMax = std::max(extent.FirstXMax, pts.front().x());
    extent.LastX = std::min(extent.LastX, pts.back().x());
    if (whole && pts.size() <= 2) continue;
    const QRgb color = ToQColor(gp.Color).rgb();
    if (gp.PenWidth <= kMaxDrawnPen) {
      DrawCurve(image, pts, color, clipLeft, clipRight, gp.PenWidth, cover);
    } else {
      QPainter p(&image);
      p.setClipRect(QRect(clipLeft, 0, clipRight - clipLeft, image.height()));
      QPen pen(ToQColor(gp.Color), gp.PenWidth, Qt::SolidLine);
      pen.setCosmetic(true);
      p.setPen(pen);
      p.drawPolyline(pts.data(), static_cast<int>(pts.size()));
    }
  }
  return extent;
}

void TDiagramPainter::PaintMessage(const TDiagramModel& model, QImage& buffer) {
  if (model.DiaMessage().isEmpty()) return;
  QPainter p(&buffer);
  QFont big = LabelFont();
  big.setBold(true);
  const QString& text = model.DiaMessage();
  const int bufW = buffer.width();
  const int size = MessageFontSize(
      [&](int s) {
        big.setPointSize(s);
        return QFontMetrics(big).horizontalAdvance(text);
      },
      bufW);
  big.setPointSize(size);
  const QFontMetrics bfm(big);
  p.setFont(big);
  p.setPen(QColor(0xE0, 0xE0, 0xE0));
  p.setBrush(Qt::NoBrush);
  DrawTextAt(p, bfm, bufW / 2 - bfm.horizontalAdvance(text) / 2, 10, text);
}
