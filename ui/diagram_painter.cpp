#include "ui/diagram_painter.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPen>
#include <algorithm>
#include <cmath>

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

std::vector<QPoint> TDiagramPainter::CurvePoints(const TCurveSource& src, const TCurveGeometry& geo) {
  std::vector<QPoint> pts;
  auto drawn = [&](double v) { return src.Transform ? src.Transform(v) : v; };
  auto row = [&](double v) { return geo.B0 + RoundPixel((drawn(v) - geo.yLo) * geo.ys); };
  auto valid = [&](float v) { return std::isfinite(v) && std::isfinite(drawn(v)); };
  auto slotReadable = [&](std::int64_t i) { return i >= 0 && i < geo.Limit; };

  if (static_cast<double>(geo.Width) < 2.0 * geo.P) {
    for (std::int64_t k = 0; k <= geo.Width; ++k) {
      const std::int64_t i = geo.Start + k;
      if (i >= geo.Limit) break;
      if (i < 0) continue;
      const float v = src.Value(i);
      if (valid(v)) pts.emplace_back(geo.L + RoundPixel(static_cast<double>(k) * geo.xs), row(v));
    }
    return pts;
  }

  pts.reserve(static_cast<std::size_t>(RoundHalfEven(3.0 * geo.P + 1)));
  if (slotReadable(geo.Start)) {
    const float v = src.Value(geo.Start);
    if (valid(v)) pts.emplace_back(geo.L, row(v));
  }
  auto addValue = [&](int x, float v) {
    if (valid(v)) pts.emplace_back(x, row(v));
  };
  auto add = [&](int x, std::int64_t slot) { addValue(x, src.Value(slot)); };
  for (int c = 0; c < geo.P; ++c) {
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

TDiagramPainter::TColumn TDiagramPainter::ColumnSlots(const TCurveGeometry& geo, int c, std::int64_t& i0,
                                                      std::int64_t& i1) {
  i0 = RoundHalfEven(c / geo.xs) + geo.Start;
  i1 = RoundHalfEven((c + 1) / geo.xs) + geo.Start;
  if (i1 >= geo.Limit) return TColumn::kEnd;
  if (i1 <= 0) return TColumn::kSkipped;
  i0 = std::max<std::int64_t>(i0, 0);
  return i0 < i1 ? TColumn::kDrawn : TColumn::kSkipped;
}

TDiagramPainter::TCurveSource TDiagramPainter::ModelSource(const TDiagramModel& model, int graph,
                                                           const TColumnEnvelopes* columns) {
  TCurveSource s;
  s.Value = [&model, graph](std::int64_t slot) { return model.ShownValue(graph, slot); };
  if (columns && !columns->empty()) {
    const std::size_t graphs = model.GraphCount();
    s.Envelope = [columns, graphs, graph](int c, std::int64_t, std::int64_t) {
      return (*columns)[static_cast<std::size_t>(c) * graphs + static_cast<std::size_t>(graph)];
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
                                                                        const TCurveGeometry& geo) {
  TColumnEnvelopes table;
  if (geo.P <= 0 || static_cast<double>(geo.Width) < 2.0 * geo.P) return table;
  const std::size_t graphs = model.GraphCount();
  table.resize(static_cast<std::size_t>(geo.P) * graphs);
  for (int c = 0; c < geo.P; ++c) {
    std::int64_t i0 = 0, i1 = 0;
    const TColumn column = ColumnSlots(geo, c, i0, i1);
    if (column == TColumn::kEnd) break;
    if (column == TColumn::kDrawn)
      model.ShownEnvelopes(i0, i1, std::span(table).subspan(static_cast<std::size_t>(c) * graphs, graphs));
  }
  return table;
}

void TDiagramPainter::Paint(const TDiagramModel& model, QImage& buffer, int W, int H,
                            const QColor& background) {
  constexpr int B = kButtonSize;
  buffer.fill(background);
  QPainter p(&buffer);
  QFont font = QGuiApplication::font();
  font.setPointSize(8);
  p.setFont(font);
  const QFontMetrics fm(font);
  const int bufW = buffer.width();

  if (W >= 2 * B && H >= 2 * B && !model.ResetPending()) {
    auto drawn = [&](double v) { return model.OnProcessDiagramPaint ? model.OnProcessDiagramPaint(v) : v; };
    const double yLo = drawn(model.YMin());
    const double yHi = drawn(model.YMax());
    const double ySpan = yHi - yLo;
    const double res = model.Resolution();
    const std::int64_t off = model.ShownSlotOffset();
    const std::int64_t start = model.WindowStart();
    const std::int64_t width = model.WindowWidth();

    const QString sXMin = Fixed(static_cast<double>(start + off) * res, model.XPresicion(), model.XDecimal());
    const QString sXMax =
        Fixed(static_cast<double>(model.WindowEnd() + off + 1) * res, model.XPresicion(), model.XDecimal());
    const QString sYMin = Fixed(yLo, model.YPresicion(), model.YDecimal());
    const QString sYMax = Fixed(yHi, model.YPresicion(), model.YDecimal());
    const int th = fm.height();  // every text of one font has this height

    const int L = std::max(fm.horizontalAdvance(sYMax), fm.horizontalAdvance(sXMin)) + 4;
    const int B0 = std::max(H - th - B, H - th - B) - 4;
    const int R = bufW - fm.horizontalAdvance(sXMax) / 2 - 5;
    const int T = 5;
    const int P = R - L;
    const double xs = width > 0 ? static_cast<double>(P) / static_cast<double>(width) : 1.0;
    const double ys = ySpan > 0 ? (T - B0) / ySpan : 1.0;

    // Cosmetic pens: the same pixels without a transform, drawn without the stroker.
    QPen black(Qt::black, 1, Qt::SolidLine);
    black.setCosmetic(true);
    QPen grid(TDiagramPainter::ToQColor(model.GridColor()), 1, Qt::DotLine);
    grid.setCosmetic(true);
    p.setPen(black);
    p.drawLine(R, B0, L, B0);
    p.drawLine(L, B0, L, T);
    DrawTextAt(p, fm, 2, 2, sYMax);
    DrawTextAt(p, fm, 2, B0 - th, sYMin);
    DrawTextAt(p, fm, L - fm.horizontalAdvance(sXMin) / 2, B0 + 2, sXMin);

    // Y grid
    if (std::isfinite(ySpan)) {
      const std::int64_t n = static_cast<std::int64_t>(std::trunc((static_cast<double>(B0 - T) / th) / 1.5));
      const double raw = n == 0 ? 100.0 : ySpan / static_cast<double>(n);
      const double step = YGridStep(raw, model.YDecimal());
      const std::int64_t count = std::min(RoundHalfEven(ySpan / step), kMaxGridLines);
      for (std::int64_t i = 1; i <= count; ++i) {
        const int y = B0 + RoundPixel(static_cast<double>(i) * step * ys);
        if (y - th / 2 < th + 2) break;
        p.setPen(black);
        p.drawLine(L - 3, y, L, y);
        p.setPen(grid);
        p.drawLine(L, y, R, y);
        p.setPen(black);
        DrawTextAt(p, fm, 2, y - th / 2,
                   Fixed(yLo + static_cast<double>(i) * step, model.YPresicion(), model.YDecimal()));
      }
    }

    // X grid
    {
      const double span = static_cast<double>(width) * res;
      const std::int64_t n = static_cast<std::int64_t>(
          std::trunc(static_cast<double>(P) / (fm.horizontalAdvance(sXMax) + 4) / 1.5));
      const double raw = n == 0 ? 100.0 : span / static_cast<double>(n);
      const double step = XGridStep(raw);
      const std::int64_t count = std::min(RoundHalfEven(span / step), kMaxGridLines);
      std::vector<int> xs_, widths;
      std::vector<QString> labels;
      for (std::int64_t i = 1; i <= count; ++i) {
        const int x = L + RoundPixel(static_cast<double>(i) * step * xs / res);
        p.setPen(black);
        p.drawLine(x, B0 - 3, x, B0);
        p.setPen(grid);
        p.drawLine(x, B0, x, T);
        p.setPen(black);
        labels.push_back(Fixed(static_cast<double>(start + off) * res + static_cast<double>(i) * step,
                               model.XPresicion(), model.XDecimal()));
        xs_.push_back(x);
        widths.push_back(fm.horizontalAdvance(labels.back()));
      }
      const std::vector<int> lefts = XLabelLefts(xs_, widths);
      for (std::size_t i = 0; i < labels.size(); ++i) DrawTextAt(p, fm, lefts[i], B0 + 2, labels[i]);
    }

    // zero line
    if (yLo < 0 && 0 < yHi) {
      const int y0 = B0 + RoundPixel(-yLo * ys);
      p.setPen(black);
      p.drawLine(R, y0, L, y0);
    }

    // curves
    if (width > 0 && ySpan > 0) {
      TCurveGeometry geo;
      geo.L = L;
      geo.B0 = B0;
      geo.P = P;
      geo.xs = xs;
      geo.ys = ys;
      geo.yLo = yLo;
      geo.Start = start;
      geo.Width = width;
      geo.Limit = model.ShownLast();
      const auto& order = model.PaintOrder();
      const TColumnEnvelopes columns = ModelColumnEnvelopes(model, geo);
      for (int k = static_cast<int>(model.GraphCount()) - 1; k >= 0; --k) {
        const int g = order[k];
        const TGraphProperties& gp = model.Graph(g);
        if (!gp.ShowDiagram) continue;
        const std::vector<QPoint> pts = CurvePoints(ModelSource(model, g, &columns), geo);
        if (pts.size() > 2) {
          QPen pen(ToQColor(gp.Color), gp.PenWidth, Qt::SolidLine);
          pen.setCosmetic(true);
          p.setPen(pen);
          p.drawPolyline(pts.data(), static_cast<int>(pts.size()));
        }
      }
    }
  }

  // overlay message
  if (!model.DiaMessage().isEmpty()) {
    QFont big = font;
    big.setBold(true);
    const QString& text = model.DiaMessage();
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
    p.setFont(font);
    p.setPen(Qt::black);
  }
}
