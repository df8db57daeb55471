#include "setup_argo/ratio_setup_param_planner.h"

#include <algorithm>
#include <cmath>

#include "drivers/sentinel_utils.h"
#include "platform/number_text.h"

namespace {

using W = ArgoSetupWrite;
using P = RatioSetupParamPlanner;

float Clamped(double value, const P::TLimits& l) {
  return static_cast<float>(std::clamp(value, l.min, l.max));
}

float ToCelsius(bool fahrenheit, double shown) {
  return SentinelUtils::UnitToCelsius(fahrenheit, static_cast<float>(shown));
}

float DeltaToKelvin(bool fahrenheit, double shown) {
  return SentinelUtils::DeltaUnitToCelsius(fahrenheit, static_cast<float>(shown));
}

std::uint8_t WithBit(std::uint8_t mode, std::uint8_t bit, bool set) {
  return static_cast<std::uint8_t>(set ? (mode | bit) : (mode & ~bit));
}

// The process source the dialog shows, where the cache's is unusable.
int ProcessSourceOf(const P::TEdits& e) { return e.processSource; }

}  // namespace

std::optional<int> RatioSetupParamPlanner::AlarmSlot(int sourceItem, int processSource) {
  if (sourceItem >= 0 && sourceItem <= 3) return sourceItem;
  if (sourceItem == 4 && processSource >= 0 && processSource <= 2) return processSource;
  return std::nullopt;
}

bool RatioSetupParamPlanner::PercentSource(int sourceItem, int processSource) {
  return sourceItem == 2 || (sourceItem == 4 && processSource == 2);
}

std::optional<P::TLimits> RatioSetupParamPlanner::AlarmLimits(int sourceItem, int processSource,
                                                              const TArgoConfig& cache) {
  const TLimits measuring{cache.MBRangeStart, cache.MBRangeEnd};
  const TLimits tau{-50.0, 99.0};
  switch (sourceItem) {
    case 0:
    case 1:
      return measuring;
    case 2:
      return tau;
    case 3:
      return TLimits{-20.0, 75.0};
    case 4:
      if (processSource == 0 || processSource == 1) return measuring;
      if (processSource == 2) return tau;
      return std::nullopt;
    default:
      return std::nullopt;
  }
}

double RatioSetupParamPlanner::AlarmShown(std::uint16_t raw, bool percent, bool fahrenheit) {
  const double value = raw / 10.0 - 100.0;
  return percent ? value : SentinelUtils::CelsiusToUnit(fahrenheit, static_cast<float>(value));
}

std::optional<double> RatioSetupParamPlanner::ParseFloatTolerant(const QString& text) {
  return NumberText::ParseFloatTolerant(text);
}

std::optional<int> RatioSetupParamPlanner::ParseAddress(const QString& text) {
  const std::optional<double> value = ParseFloatTolerant(text);
  if (!value) return std::nullopt;
  return static_cast<int>(std::clamp(std::trunc(*value), 0.0, double(kMaxAddress)));
}

ArgoSetupWrites RatioSetupParamPlanner::ChoosePostProcessing(int item, const TArgoConfig& c) {
  return FPostProcessing.Choose(item, c.AverageTime, c.PeakHoldTime, c.ValleyHoldTime);
}

ArgoSetupWrites RatioSetupParamPlanner::Plan(int tag, double value, const TEdits& e, const TArgoConfig& c) {
  const bool f = e.fahrenheit;
  // Under attenuation the hold threshold and the differences are percentages.
  const bool percent = ProcessSourceOf(e) == 2;
  switch (tag) {
    case 1:
      return {W::Of(W::RatioEpsilon, Clamped(value, kEpsilon))};
    case 2:
      return {W::Of(W::RatioSlope, Clamped(value, kSlope))};
    case 19:
      return {W::Of(W::RatioEpsilon2, Clamped(value, kGain1C))};
    case 20:
      return {W::Of(W::RatioSlope2, Clamped(value, kGain2C))};
    case 21:
      return {W::Of(W::LimTau, Clamped(value, kLimTau))};
    case 5: {
      const int source = static_cast<int>(std::lround(value));
      if (source < 0 || source > 2) return {};
      ArgoSetupWrites writes{W::Of(W::ProcessSource, static_cast<float>(source))};
      // Attenuation has no advanced hold: the list falls back to "off".
      if (source == 2 && (e.postProcItem == ArgoSetupPostProcessing::AdvPeakHold ||
                          e.postProcItem == ArgoSetupPostProcessing::AdvValleyHold)) {
        const ArgoSetupWrites off = ChoosePostProcessing(ArgoSetupPostProcessing::Off, c);
        writes.insert(writes.end(), off.begin(), off.end());
      }
      return writes;
    }
    case 7:
    case 8: {
      const int output = tag - 7;
      const int sourceItem = output == 0 ? e.alarmSource1 : e.alarmSource2;
      const std::optional<int> slot = AlarmSlot(sourceItem, e.processSource);
      const std::optional<TLimits> limits = AlarmLimits(sourceItem, e.processSource, c);
      if (!slot || !limits) return {};
      const bool percentValue = PercentSource(sourceItem, e.processSource);
      const double v = percentValue ? value : ToCelsius(f, value);
      const double raw = std::round(std::clamp(v, limits->min, limits->max) * 10.0 + 1000.0);
      // A value the 16-bit word cannot hold is not written.
      if (raw < 0.0 || raw > 65535.0) return {};
      TArgoAlarmValues values = c.AlarmValues[static_cast<std::size_t>(output)];
      values[*slot] = static_cast<std::uint16_t>(raw);
      return {W::OfAlarmValues(output, values)};
    }
    case 10:
      return {W::Of(W::AverageTime, static_cast<float>(std::clamp(value, 0.0, 999.9)))};
    case 11: {
      if (value <= 0.0) return {};
      const float t = static_cast<float>(std::clamp(value, 0.1, 100.0));
      if (e.postProcItem == ArgoSetupPostProcessing::PeakHold) return {W::Of(W::PeakHoldTime, t)};
      if (e.postProcItem == ArgoSetupPostProcessing::ValleyHold) return {W::Of(W::ValleyHoldTime, t)};
      return {};
    }
    case 12:
      return {W::Of(W::AdvancedHoldThreshold, percent ? static_cast<float>(value) : ToCelsius(f, value))};
    case 13:
      return {W::Of(W::AdvancedHoldHysteresis, percent ? static_cast<float>(value) : DeltaToKelvin(f, value))};
    case 14:
    case 15: {
      const int item = static_cast<int>(std::lround(value));
      if (item < 0 || item > 1) return {};
      return {W::OfOutput(W::AlarmNormallyOpen, tag - 14, static_cast<float>(item))};
    }
    case 16:
      return {W::Of(W::TemperatureUnit, value > 0.5 ? 1.0f : 0.0f)};
    case 22: {
      const double shown = std::clamp(value, 0.1, 3000.0);
      return {W::Of(W::SmartThreshold, percent ? static_cast<float>(shown) : DeltaToKelvin(f, shown))};
    }
    case 23: {
      const int source = static_cast<int>(std::lround(value));
      if (source < 0 || source > 7) return {};
      return {W::Of(W::VisualAlarmSource, static_cast<float>(source))};
    }
    case 24: {
      const int source = static_cast<int>(std::lround(value));
      if (source < 0 || source > 4) return {};
      return {W::Of(W::DisplayMainSource, static_cast<float>(source))};
    }
    case 25:
    case 29:
    case 30: {
      const int item = static_cast<int>(std::lround(value));
      if (item < 0 || item > 1) return {};
      const std::uint8_t bit = tag == 25 ? 1 : (tag == 29 ? 4 : 8);
      return {W::Of(W::RatioAlarmMode, static_cast<float>(WithBit(c.RatioAlarmMode, bit, item == 1)))};
    }
    case 26:
      return {W::Of(W::Alarm1, ToCelsius(f, value))};
    case 27:
      return {W::Of(W::Alarm2, ToCelsius(f, value))};
    case 28:
      // The driver refuses a negative hysteresis (reported, nothing sent).
      return {W::Of(W::RatioAlarmHysteresis, DeltaToKelvin(f, value))};
    default:
      // 31 (the address, written by OK) and unknown Tags.
      return {};
  }
}
