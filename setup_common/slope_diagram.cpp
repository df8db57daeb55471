#include "setup_common/slope_diagram.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include "platform/number_text.h"

namespace {

const QColor kGridColor(0x80, 0x80, 0x80);

void DrawArrow(QPainter& p, QPoint c, int dx, int dy) {
  // Shaft from 12 to 24 pixels out, head from 18 pixels out and 3 to the side.
  p.drawLine(c + QPoint(12 * dx, 12 * dy), c + QPoint(24 * dx, 24 * dy));
  const QPoint tip = c + QPoint(24 * dx, 24 * dy);
  const QPoint base = c + QPoint(18 * dx, 18 * dy);
  const QPoint side(3 * dy, 3 * dx);
  p.drawLine(base + side, tip);
  p.drawLine(base - side, tip);
}

}  // namespace

SlopeDiagram::SlopeDiagram(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);
  setContextMenuPolicy(Qt::CustomContextMenu);
  range_ = SlopeMath::OutputRange(0);
}

void SlopeDiagram::SetAxes(double tempLow, double tempHigh, const SlopeMath::TOutputRange& range,
                           const QString& tempUnit) {
  tempLow_ = tempLow;
  tempHigh_ = tempHigh;
  range_ = range;
  tempUnit_ = tempUnit;
  LayOut();
}

void SlopeDiagram::SetPoints(double loT, double loOut, double hiT, double hiOut,
                             const SlopeMath::TLine& line) {
  temps_ = {loT, hiT};
  outputs_ = {loOut, hiOut};
  line_ = line;
  UpdatePixels();
}

void SlopeDiagram::SetAnalog(bool analog) {
  analog_ = analog;
  update();
}

void SlopeDiagram::SetColor(const QColor& color) {
  color_ = color;
  update();
}

void SlopeDiagram::SetRasters(int tempRaster, int outputRaster) {
  tempRaster_ = tempRaster;
  outputRaster_ = outputRaster;
}

void SlopeDiagram::SetPointLabels(const QString& low, const QString& high) {
  labels_ = {low, high};
  update();
}

QString SlopeDiagram::TempText(double t) const {
  return NumberText::FloatToStrF(t, NumberText::FloatFormat::Fixed, 15, 0);
}

QString SlopeDiagram::OutputText(double v) const {
  return NumberText::FloatToStrF(v, NumberText::FloatFormat::Fixed, 15, 1);
}

void SlopeDiagram::LayOut() {
  const QFontMetrics fm(font());
  layout_.temperature = SlopeMath::TemperatureAxis(tempLow_, tempHigh_);
  layout_.output = SlopeMath::OutputAxis(range_);
  const int w = width() - 1;
  const int h = height() - 1;
  layout_.x0 = std::max(fm.horizontalAdvance(OutputText(layout_.output.end)),
                        fm.horizontalAdvance(TempText(layout_.temperature.start))) +
               4;
  layout_.y0 = h - fm.height() - 4;
  layout_.x1 = w - fm.horizontalAdvance(TempText(layout_.temperature.end)) / 2 - 15;
  layout_.y1 = 5;
  states_ = {Idle, Idle};
  UpdatePixels();
}

void SlopeDiagram::UpdatePixels() {
  for (int i = 0; i < 2; ++i) pixels_[i] = layout_.ToPixel(temps_[i], outputs_[i]);
  if (line_.valid) {
    lineEnds_[0] = layout_.ToPixel(tempLow_, tempLow_ * line_.slope + line_.offset);
    lineEnds_[1] = layout_.ToPixel(tempHigh_, tempHigh_ * line_.slope + line_.offset);
  } else {
    lineEnds_ = pixels_;
  }
  update();
}

void SlopeDiagram::resizeEvent(QResizeEvent*) { LayOut(); }

void SlopeDiagram::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), palette().window());
  const QFontMetrics fm(font());
  const auto& L = layout_;
  const int textH = fm.height();
  p.setPen(Qt::black);
  p.drawLine(L.x0, L.y0, L.x0, L.y1);
  p.drawLine(L.x0, L.y0, L.x1, L.y0);

  const QString outTop = OutputText(L.output.end);
  const QString outBottom = OutputText(L.output.start);
  p.drawText(2, L.y1 + fm.ascent(), outTop);
  p.drawText(2, L.y0, outBottom);
  p.drawText(L.x0 + 4, L.y1 + fm.ascent(), QStringLiteral("[") + range_.unit + QStringLiteral("]"));
  const QString tempUnit = QStringLiteral("[") + tempUnit_ + QStringLiteral("]");
  p.drawText(L.x1 - fm.horizontalAdvance(tempUnit), L.y0 - 4, tempUnit);

  QPen grid(kGridColor);
  grid.setStyle(Qt::DotLine);
  // Output grid.
  {
    const int n = static_cast<int>((L.y0 - L.y1) / static_cast<double>(std::max(1, textH)) / 1.5);
    const double span = L.output.Span();
    const double step = SlopeMath::OutputGridStep(n, span);
    const auto count = NumberText::Round(span / step);
    for (std::int64_t i = 1; i <= count; ++i) {
      const int y = static_cast<int>(NumberText::Round(i * step * L.YScale())) + L.y0;
      if (y - textH / 2 < L.y1 + textH + 2) break;
      p.setPen(Qt::black);
      p.drawLine(L.x0 - 3, y, L.x0, y);
      p.setPen(grid);
      p.drawLine(L.x0 + 1, y, L.x1, y);
      p.setPen(Qt::black);
      p.drawText(2, y - textH / 2 + fm.ascent(), OutputText(i * step + L.output.start));
    }
  }
  // Temperature grid: every line, and the labels that have room.
  {
    const double step = TemperatureStep();
    const auto count = NumberText::Round(L.temperature.Span() / step);
    for (std::int64_t i = 1; i <= count; ++i) {
      const int x = static_cast<int>(NumberText::Round(i * step * L.XScale())) + L.x0;
      p.setPen(Qt::black);
      p.drawLine(x, L.y0, x, L.y0 - 3);
      p.setPen(grid);
      p.drawLine(x, L.y0 - 4, x, L.y1);
    }
    p.setPen(Qt::black);
    for (const TLabel& label : TemperatureLabels())
      p.drawText(label.rect.left(), label.rect.top() + fm.ascent(), label.text);
  }

  if (!analog_) return;
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setPen(QPen(color_, 1));
  p.drawLine(lineEnds_[0], lineEnds_[1]);
  QFont bold = font();
  bold.setBold(true);
  p.setFont(bold);
  for (int i = 0; i < 2; ++i) {
    const QPoint c = pixels_[i];
    switch (states_[i]) {
      case Idle:
        p.drawRect(c.x() - 3, c.y() - 3, 6, 6);
        break;
      case UnderMouse:
        p.drawRect(c.x() - 6, c.y() - 6, 12, 12);
        p.drawRect(c.x() - 3, c.y() - 3, 6, 6);
        break;
      case Dragged:
        p.drawEllipse(c, 6, 6);
        DrawArrow(p, c, 1, 0);
        DrawArrow(p, c, -1, 0);
        DrawArrow(p, c, 0, 1);
        DrawArrow(p, c, 0, -1);
        continue;  // no label while dragged
    }
    const QRect r = PointLabelRect(i);
    p.drawText(r.left(), r.top() + QFontMetrics(bold).ascent(), labels_[static_cast<std::size_t>(i)]);
  }
}

double SlopeDiagram::TemperatureStep() const {
  const QFontMetrics fm(font());
  const auto& L = layout_;
  const int n =
      labelFactor_ *
      static_cast<int>((L.x1 - L.x0) /
                       static_cast<double>(fm.horizontalAdvance(TempText(L.temperature.end)) + 4) / 1.5);
  return SlopeMath::TemperatureGridStep(n, L.temperature.Span());
}

std::vector<SlopeDiagram::TLabel> SlopeDiagram::TemperatureLabels() const {
  const QFontMetrics fm(font());
  const auto& L = layout_;
  const int top = L.y0 + 2;
  auto at = [&](const QString& text, int centre) {
    const int w = fm.horizontalAdvance(text);
    return TLabel{text, QRect(centre - w / 2, top, w, fm.height())};
  };
  // The ends always, then the grid labels that keep a gap to their
  // neighbours (a label on the last line would sit on the right end's).
  const TLabel first = at(TempText(L.temperature.start), L.x0);
  const TLabel last = at(TempText(L.temperature.end), L.x1);
  std::vector<TLabel> labels{first};
  constexpr int kGap = 4;
  const double step = TemperatureStep();
  const auto count = NumberText::Round(L.temperature.Span() / step);
  int previousRight = first.rect.right();
  for (std::int64_t i = 1; i <= count; ++i) {
    const int x = static_cast<int>(NumberText::Round(i * step * L.XScale())) + L.x0;
    const TLabel label = at(TempText(i * step + L.temperature.start), x);
    if (label.rect.left() < previousRight + kGap || label.rect.right() + kGap > last.rect.left()) continue;
    labels.push_back(label);
    previousRight = label.rect.right();
  }
  labels.push_back(last);
  return labels;
}

QRect SlopeDiagram::PointLabelRect(int point) const {
  QFont bold = font();
  bold.setBold(true);
  const QFontMetrics fm(bold);
  const QPoint c = pixels_[static_cast<std::size_t>(point)];
  const int w = fm.horizontalAdvance(labels_[static_cast<std::size_t>(point)]);
  // Right of the point; left of it where the diagram ends first.
  QRect r(c.x() + 7, c.y() + fm.ascent() / 2 - fm.ascent(), w, fm.height());
  if (r.right() > width() - 2) r.moveRight(c.x() - 7);
  if (r.top() < 0) r.moveTop(0);
  return r;
}

void SlopeDiagram::mouseMoveEvent(QMouseEvent* event) {
  if (!analog_) return;
  const QPoint pos = event->position().toPoint();
  for (int i = 0; i < 2; ++i) {
    if (states_[i] == Dragged) {
      const double t = SlopeMath::SnapTemperature(layout_.TemperatureAt(pos.x()), tempRaster_);
      const double v = SlopeMath::SnapOutput(layout_.OutputAt(pos.y()), outputRaster_);
      if (OnDrag) OnDrag(i, t, v);
      continue;
    }
    const PointState next = SlopeMath::Hit(pixels_[i], pos) ? UnderMouse : Idle;
    if (next != states_[i]) {
      states_[i] = next;
      update();
    }
  }
}

void SlopeDiagram::mousePressEvent(QMouseEvent* event) {
  if (!analog_ || event->button() != Qt::LeftButton) return;
  for (auto& s : states_) {
    if (s == UnderMouse) {
      s = Dragged;
      update();
      return;  // one point at a time
    }
  }
}

void SlopeDiagram::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  for (auto& s : states_) {
    if (s == Dragged) {
      s = UnderMouse;
      update();
    }
  }
}
