#include "measurement/display_value_encoding.h"

#include <algorithm>
#include <cmath>

namespace DisplayValueEncoding {

namespace {

// Round half to even, as every number the program shows.
double RoundValue(double v) { return std::nearbyint(v); }

bool FitsRaw(double raw) { return raw >= 0.0 && raw <= 65535.0; }

}  // namespace

bool IsShowable(float value) {
  return std::isfinite(value) && value < kNoValueMarker && value > kFailureValue;
}

std::uint32_t Pack(double raw, std::uint8_t flags) {
  const double clamped = std::isnan(raw) ? 0.0 : std::clamp(raw, 0.0, 65535.0);
  const auto word = static_cast<std::uint32_t>(clamped) & 0xFFFFu;
  return word | (static_cast<std::uint32_t>(flags) << 16);
}

TDisplayValueMessage Encode(int kind, float value, const TDisplayValueContext& context) {
  if (kind < 1 || kind > 11 || !IsShowable(value)) return {};
  const double v = value;
  const std::uint8_t unit = context.Fahrenheit ? DisplayValueFlags::Fahrenheit : 0;
  const double standard = RoundValue(v * 10.0) + 1000.0;
  double raw = standard;
  std::uint8_t flags = 0;
  switch (kind) {
    case 1:  // TObj
      if (context.ObjectPercent) {
        flags = DisplayValueFlags::Percent;
        break;
      }
      [[fallthrough]];
    case 2:   // TInt
    case 3:   // TAct
    case 10:  // TAmb
      flags = unit;
      if (context.HighResolution) {
        const double fine = RoundValue(v * 100.0) + 10000.0;
        // Two decimals only while they fit the word; beyond that the value
        // goes with one decimal rather than spill into the flags.
        if (FitsRaw(fine)) {
          raw = fine;
          flags |= DisplayValueFlags::TwoDecimals;
        }
      }
      break;
    case 4:  // TBox
    case 5:  // T1C
    case 6:  // T2C
      flags = unit;
      break;
    case 7:  // Tau
      flags = DisplayValueFlags::Percent;
      break;
    case 8:  // mV input
    case 9:  // Vcc
      raw = RoundValue(v * 100.0);
      flags = DisplayValueFlags::Volt;
      break;
    case 11:  // emissivity
      raw = RoundValue(v * 10.0);
      flags = DisplayValueFlags::ThreeDecimals;
      break;
    default:
      return {};
  }
  return {true, Pack(raw, flags)};
}

}  // namespace DisplayValueEncoding
