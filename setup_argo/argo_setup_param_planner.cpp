#include "setup_argo/argo_setup_param_planner.h"

#include "drivers/sentinel_utils.h"

namespace {

using W = ArgoSetupWrite;

// The ambient input range keeps at least this span.
constexpr float kAmbientSpanK = 10.0f;

float ToCelsius(bool fahrenheit, double shown) {
  return SentinelUtils::UnitToCelsius(fahrenheit, static_cast<float>(shown));
}

float DeltaToKelvin(bool fahrenheit, double shown) {
  return SentinelUtils::DeltaUnitToCelsius(fahrenheit, static_cast<float>(shown));
}

// Emissivity and transmission are sent within 0.1..1.1.
float LimitFactor(double value) {
  if (value > 1.1001) return 1.1f;
  if (value < 0.1) return 0.1f;
  return static_cast<float>(value);
}

}  // namespace

ArgoSetupWrites ArgoSetupParamPlanner::Plan(int tag, double value, const TEdits& e) {
  const bool f = e.fahrenheit;
  switch (tag) {
    case 1:
      return {W::Of(W::Emissivity, LimitFactor(value))};
    case 2:
      return {W::Of(W::Transmission, LimitFactor(value))};
    case 3: {
      ArgoSetupWrites writes{W::Of(W::Alarm1, ToCelsius(f, value))};
      if (e.alarm2 < value) writes.push_back(W::Of(W::Alarm2, ToCelsius(f, value)));
      return writes;
    }
    case 4: {
      ArgoSetupWrites writes{W::Of(W::Alarm2, ToCelsius(f, value))};
      if (e.alarm1 > value) writes.push_back(W::Of(W::Alarm1, ToCelsius(f, value)));
      return writes;
    }
    case 5:
      return {W::Of(W::Alarm3, ToCelsius(f, value))};
    case 6:
      return {W::Of(W::Alarm4, ToCelsius(f, value))};
    case 7:
      return {W::Of(W::AmbientValue, ToCelsius(f, value))};
    case 8: {
      const float high = ToCelsius(f, e.ambHigh);
      float low = ToCelsius(f, value);
      if (low + kAmbientSpanK > high) low = high - kAmbientSpanK;
      return {W::Of(W::F3Temp1, low)};
    }
    case 9: {
      const float low = ToCelsius(f, e.ambLow);
      float high = ToCelsius(f, value);
      if (low + kAmbientSpanK > high) high = low + kAmbientSpanK;
      return {W::Of(W::F3Temp2, high)};
    }
    case 10:
      return {W::Of(W::AverageTime, static_cast<float>(value))};
    case 11:
      if (e.postProcItem == 2) return {W::Of(W::PeakHoldTime, static_cast<float>(value))};
      if (e.postProcItem == 3) return {W::Of(W::ValleyHoldTime, static_cast<float>(value))};
      return {};
    case 12:
      return {W::Of(W::AdvancedHoldThreshold, ToCelsius(f, value))};
    case 13:
      return {W::Of(W::AdvancedHoldHysteresis, DeltaToKelvin(f, value))};
    case 14:
      return {W::Of(W::TweakOffset, DeltaToKelvin(f, value))};
    case 15:
      return {W::Of(W::TweakGain, static_cast<float>(value))};
    case 16:
      return {W::Of(W::TemperatureUnit, value > 0.5 ? 1.0f : 0.0f)};
    case 17:
      // A model without an alarm hysteresis has no such register.
      if (!e.alarmHysteresis) return {};
      return {W::Of(W::AlarmHysteresis, DeltaToKelvin(f, value))};
    default:
      return {};
  }
}
