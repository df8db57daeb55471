#include "setup_common/slope_math.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "drivers/sentinel_utils.h"
#include "platform/number_text.h"

namespace {

QString Fixed(double value, int decimals) {
  return NumberText::FloatToStrF(value, NumberText::FloatFormat::Fixed, 15, decimals);
}

QString FormatCelsius(bool fahrenheit, double celsius) {
  QString s;
  SentinelUtils::FormatTemperature(fahrenheit, false, s, static_cast<float>(celsius));
  return s;
}

}  // namespace

SlopeMath::TOutputRange SlopeMath::OutputRange(int mode) {
  TOutputRange r;
  const bool current = mode == 2 || mode == 3;
  r.unit = current ? QStringLiteral("mA") : QStringLiteral("V");
  r.smallUnit = current ? QStringLiteral("µA") : QStringLiteral("mV");
  r.analog = mode >= 0 && mode < 4;
  switch (mode) {
    case 1:
      r.high = 5.0;
      break;
    case 2:
      r.high = 20.0;
      break;
    case 3:
      r.low = 4.0;
      r.high = 20.0;
      break;
    default:
      break;
  }
  return r;
}

SlopeMath::TLine SlopeMath::Line(double loT, double loOut, double hiT, double hiOut) {
  TLine line;
  const double dT = hiT - loT;
  const double dOut = hiOut - loOut;
  if (dT == 0.0 || dOut == 0.0) return line;
  const double slope = dOut / dT;
  const double offset = loOut - loT * slope;
  if (!std::isfinite(slope) || !std::isfinite(offset)) return line;
  line.slope = slope;
  line.offset = offset;
  line.valid = true;
  return line;
}

QString SlopeMath::TemperatureUnit(bool fahrenheit, bool percent) {
  if (percent) return QStringLiteral("%");
  QString s;
  SentinelUtils::UnitSuffix(fahrenheit, s);
  return s;
}

SlopeMath::TTexts SlopeMath::Texts(const TTextInput& in) {
  TTexts t;
  t.line = Line(in.loT, in.loOut, in.hiT, in.hiOut);
  const double slope = t.line.slope;
  const double offset = t.line.offset;
  const QString& unit = in.range.unit;
  t.slope =
      NumberText::FloatToStrF(1000.0 * slope, NumberText::FloatFormat::Fixed, 5, in.range.slopeDecimals) +
      in.range.smallUnit + QStringLiteral("/") + TemperatureUnit(in.fahrenheit, in.percent);
  t.offset = Fixed(offset, 3) + unit;
  if (!t.line.valid) {
    t.limitsLo1 = t.limitsHi1 = t.limitsLo2 = t.limitsHi2 = QStringLiteral("---");
    return t;
  }
  const auto rangeEnd = [&](double end) {
    return QString::number(static_cast<int>(end)) + unit + QStringLiteral(" = ");
  };
  const double tempAtLow = (in.range.low - offset) / slope;
  const double tempAtHigh = (in.range.high - offset) / slope;
  if (in.percent) {
    const auto limit1 = [&](double percent) {
      return Fixed(percent, 1) + QStringLiteral(" % = ") + Fixed(percent * slope + offset, 2) + unit;
    };
    t.limitsLo1 = limit1(in.tempMin);
    t.limitsHi1 = limit1(in.tempMax);
    t.limitsLo2 = rangeEnd(in.range.low) + Fixed(tempAtLow, 1) + QStringLiteral(" %");
    t.limitsHi2 = rangeEnd(in.range.high) + Fixed(tempAtHigh, 1) + QStringLiteral(" %");
    return t;
  }
  const auto limit1 = [&](double celsius) {
    const double display = SentinelUtils::CelsiusToUnit(in.fahrenheit, static_cast<float>(celsius));
    return FormatCelsius(in.fahrenheit, celsius) + QStringLiteral(" = ") +
           Fixed(display * slope + offset, 2) + unit;
  };
  const auto limit2 = [&](double end, double displayTemp) {
    return rangeEnd(end) + FormatCelsius(in.fahrenheit, SentinelUtils::UnitToCelsius(
                                                            in.fahrenheit, static_cast<float>(displayTemp)));
  };
  t.limitsLo1 = limit1(in.tempMin);
  t.limitsHi1 = limit1(in.tempMax);
  t.limitsLo2 = limit2(in.range.low, tempAtLow);
  t.limitsHi2 = limit2(in.range.high, tempAtHigh);
  return t;
}

SlopeMath::TAxis SlopeMath::TemperatureAxis(double lowLimit, double highLimit) {
  TAxis a;
  if (!std::isfinite(lowLimit) || !std::isfinite(highLimit)) return a;
  if (highLimit < lowLimit) std::swap(lowLimit, highLimit);
  a.start = std::floor(lowLimit / 10.0) * 10.0;
  a.end = std::ceil(highLimit / 10.0) * 10.0 + 10.0;
  return a;
}

SlopeMath::TAxis SlopeMath::OutputAxis(const TOutputRange& range) {
  TAxis a{range.low, range.high};
  if (!(a.end > a.start)) a.end = a.start + 1.0;
  return a;
}

double SlopeMath::TLayout::XScale() const { return std::max(1, x1 - x0) / temperature.Span(); }

double SlopeMath::TLayout::YScale() const { return -std::max(1, y0 - y1) / output.Span(); }

QPoint SlopeMath::TLayout::ToPixel(double t, double v) const {
  const auto px = [](double value) {
    return static_cast<int>(std::clamp<std::int64_t>(NumberText::Round(value), -100000, 100000));
  };
  return {px((t - temperature.start) * XScale()) + x0, px((v - output.start) * YScale()) + y0};
}

double SlopeMath::TLayout::TemperatureAt(int x) const { return (x - x0) / XScale() + temperature.start; }

double SlopeMath::TLayout::OutputAt(int y) const { return (y - y0) / YScale() + output.start; }

double SlopeMath::OutputGridStep(int labels, double span) {
  const double raw = labels > 0 ? span / labels : 100.0;
  if (raw <= 0.5) return 0.5;
  if (raw <= 1.0) return 1.0;
  return 2.0;
}

double SlopeMath::TemperatureGridStep(int labels, double span) {
  const double raw = labels > 0 ? span / labels : 100.0;
  for (const double step : {5.0, 10.0, 20.0, 50.0, 100.0, 200.0}) {
    if (step >= raw) return step;
  }
  return 500.0;
}

bool SlopeMath::Hit(QPoint point, QPoint cursor) {
  return std::abs(point.x() - cursor.x()) < 4 && std::abs(point.y() - cursor.y()) < 4;
}

double SlopeMath::SnapTemperature(double t, int raster) {
  if (raster <= 0) return t;
  return static_cast<double>(NumberText::Round(t / raster)) * raster;
}

double SlopeMath::SnapOutput(double v, int raster) {
  if (raster <= 0) return v;
  return static_cast<double>(NumberText::Round(v / raster * 10.0)) * raster * 0.1;
}
