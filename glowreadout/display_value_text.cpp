#include "glowreadout/display_value_text.h"

#include "measurement/display_value_encoding.h"
#include "platform/number_text.h"

namespace DisplayValueText {

QString Decode(std::uint32_t wParam, QChar decimalSeparator) {
  namespace F = DisplayValueFlags;
  const float raw = static_cast<float>(wParam & 0xFFFFu);
  const auto flags = static_cast<std::uint8_t>((wParam >> 16) & 0xFFu);
  float value = 0.0f;
  int decimals = 1;
  QString unit;
  if (flags & F::MilliVolt) {
    value = raw;
    unit = QStringLiteral("mV");
  } else if (flags & F::Volt) {
    value = raw / 1000.0f;
    unit = QStringLiteral("V");
  } else if (flags & F::Percent) {
    value = raw / 10.0f - 100.0f;
    unit = QStringLiteral("%");
  } else if (flags & F::ThreeDecimals) {
    value = raw / 1000.0f;
    decimals = 3;
  } else {
    if (flags & F::TwoDecimals) {
      value = raw / 100.0f - 100.0f;
      decimals = 2;
    } else {
      value = raw / 10.0f - 100.0f;
    }
    if (flags & F::Fahrenheit) {
      value = value * 1.8f + 32.0f;
      unit = QStringLiteral("\u00B0F");
    } else {
      unit = QStringLiteral("\u00B0C");
    }
  }
  return NumberText::FormatFixed(static_cast<double>(value), decimals, decimalSeparator) + unit;
}

}  // namespace DisplayValueText
