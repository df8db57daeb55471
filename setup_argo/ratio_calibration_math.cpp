#include "setup_argo/ratio_calibration_math.h"

#include <cmath>

#include "drivers/argo/argo_codec.h"
#include "platform/number_text.h"

namespace {

bool Finite(float v) { return std::isfinite(v); }

std::optional<float> ParseSingle(const QString& text) {
  const std::optional<double> v = NumberText::ParseFloatTolerant(text);
  if (!v) return std::nullopt;
  const float f = static_cast<float>(*v);
  if (!std::isfinite(f)) return std::nullopt;
  return f;
}

}  // namespace

std::optional<RatioCalibrationMath::TNew> RatioCalibrationMath::Calculate(float actual1, float actual2,
                                                                          float nominal1, float nominal2,
                                                                          float offset, float gain) {
  // Float arithmetic does not trap: every divisor and result is checked.
  if (!Finite(actual1) || !Finite(actual2) || !Finite(nominal1) || !Finite(nominal2) || !Finite(offset) ||
      !Finite(gain) || gain == 0.0f)
    return std::nullopt;
  const float a1 = actual1 * 16.0f + kSixteenthsOffset;
  const float a2 = actual2 * 16.0f + kSixteenthsOffset;
  const float n1 = nominal1 * 16.0f + kSixteenthsOffset;
  const float n2 = nominal2 * 16.0f + kSixteenthsOffset;
  const float r1 = (a1 - offset) / gain;
  const float r2 = (a2 - offset) / gain;
  const float span = r2 - r1;
  if (!Finite(r1) || !Finite(r2) || span == 0.0f || !Finite(span)) return std::nullopt;
  const float newGain = (n2 - n1) / span;
  const float newOffset = n2 - r2 * newGain;
  if (!Finite(newGain) || !Finite(newOffset)) return std::nullopt;
  return TNew{newOffset, newGain};
}

RatioCalibrationMath::TResult RatioCalibrationMath::Calculate(const TInput& input) {
  TResult out;
  const QString* const fields[FieldCount] = {&input.actual1, &input.actual2, &input.nominal1,
                                             &input.nominal2};
  float value[FieldCount] = {};
  for (int i = 0; i < FieldCount; ++i) {
    const std::optional<float> v = ParseSingle(*fields[i]);
    if (!v) {
      out.status = Status::ConversionError;
      out.badField = i;
      return out;
    }
    // (f - 32) * 5 / 9 keeps whole °C values of whole °F entries exact.
    value[i] = input.fahrenheit ? (*v - 32.0f) * 5.0f / 9.0f : *v;
  }
  const std::optional<float> offset = ParseSingle(input.offset);
  const std::optional<float> gain = ParseSingle(input.gain);
  if (!offset || !gain) {
    out.status = Status::ConversionError;
    return out;
  }
  const std::optional<TNew> result =
      Calculate(value[Actual1], value[Actual2], value[Nominal1], value[Nominal2], *offset, *gain);
  if (!result) {
    out.status = Status::ArithmeticError;
    return out;
  }
  out.offset = NumberText::Round(result->offset);
  out.gain = result->gain;
  std::uint16_t gainWord = 0;
  if (out.offset < -32768 || out.offset > 32767 || !ArgoCodec::EncodeQ(out.gain, gainWord)) {
    out = TResult{};
    out.status = Status::ArithmeticError;
    return out;
  }
  out.offsetText = QString::number(out.offset);
  out.gainText = NumberText::FormatFixed(result->gain, 4);
  return out;
}

RatioCalibrationMath::TCopy RatioCalibrationMath::CopyTarget(const QString& live, const QString& nominal1,
                                                             const QString& nominal2) {
  TCopy out;
  const std::optional<float> t = ParseSingle(live);
  if (!t || *t == kFailedLiveRead) return out;
  const std::optional<float> n1 = ParseSingle(nominal1);
  if (!n1) {
    out.badField = Nominal1;
    return out;
  }
  const std::optional<float> n2 = ParseSingle(nominal2);
  if (!n2) {
    out.badField = Nominal2;
    return out;
  }
  out.ok = true;
  out.target = std::fabs(*t - *n1) >= std::fabs(*t - *n2) ? Actual2 : Actual1;
  return out;
}
