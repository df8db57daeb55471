// Format strings and numbers as text from outside (language files, settings):
// formatting and parsing must never crash, and a parsed number written back
// in general form must read back as the same number.
#include <QString>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/number_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const QString out =
      NumberText::Format(text, {42, -1.5, QStringLiteral("text"), 0.125, 7LL}, QLatin1Char(','));
  if (out.size() > text.size() * 4200 + 64) std::abort();

  double value = 0;
  if (NumberText::TryStrToFloat(text, value)) {
    if (!std::isfinite(value)) std::abort();
    for (QChar sep : {QLatin1Char('.'), QLatin1Char(',')}) {
      double back = 0;
      const QString written = NumberText::FloatToStrF(value, NumberText::FloatFormat::General, 17, 0, sep);
      if (!NumberText::TryStrToFloat(written, back) || back != value) std::abort();
    }
    (void)NumberText::FloatToStrF(value, NumberText::FloatFormat::Fixed, 6, 2);
    (void)NumberText::FloatToStrF(value, NumberText::FloatFormat::Exponent, 15, 3);
    (void)NumberText::FormatFixed(value, 3);
  }
  std::int64_t integer = 0;
  (void)NumberText::TryStrToInt(text, integer);
  return 0;
}
