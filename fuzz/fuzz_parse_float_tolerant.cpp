// Numbers typed into the ratio dialog's edits and calibration grid: under
// either decimal separator a text parses to the same finite number or to
// nothing, never to NaN or an infinity, and '.' and ',' are interchangeable.
#include <QString>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>

#include "platform/number_text.h"

namespace {

std::optional<double> ParseUnder(QChar separator, const QString& text) {
  NumberText::SetDecimalSeparator(separator);
  return NumberText::ParseFloatTolerant(text);
}

bool Same(const std::optional<double>& a, const std::optional<double>& b) {
  return a.has_value() == b.has_value() && (!a || *a == *b);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const std::optional<double> dot = ParseUnder(QLatin1Char('.'), text);
  const std::optional<double> comma = ParseUnder(QLatin1Char(','), text);
  NumberText::SetDecimalSeparator(QChar());
  if (dot && !std::isfinite(*dot)) std::abort();
  if (!Same(dot, comma)) std::abort();
  QString swapped = text;
  for (QChar& c : swapped) {
    if (c == QLatin1Char('.'))
      c = QLatin1Char(',');
    else if (c == QLatin1Char(','))
      c = QLatin1Char('.');
  }
  if (!Same(dot, ParseUnder(QLatin1Char('.'), swapped))) std::abort();
  NumberText::SetDecimalSeparator(QChar());
  const QString lower = text.toLower();
  if (dot && (lower.contains(QLatin1String("nan")) || lower.contains(QLatin1String("inf")))) std::abort();
  return 0;
}
