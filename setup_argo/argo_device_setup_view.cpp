#include "setup_argo/argo_device_setup_view.h"

#include "drivers/sentinel_utils.h"

namespace {

// Looks `value` up in a list of codes by item; -1 when it has no item.
template <std::size_t N>
int ItemOf(const std::array<int, N>& codes, int value) {
  for (std::size_t i = 0; i < N; ++i) {
    if (codes[i] == value) return static_cast<int>(i);
  }
  return -1;
}

template <std::size_t N>
int CodeOf(const std::array<int, N>& codes, int item) {
  return item >= 0 && item < static_cast<int>(N) ? codes[static_cast<std::size_t>(item)] : -1;
}

constexpr std::array<int, 3> kEmissivitySources = {1, 0, 2};  // by item
constexpr std::array<int, 3> kAmbientSources = {2, 0, 1};     // by item

}  // namespace

int ArgoDeviceSetupView::EmissivityItem(std::uint8_t source) { return ItemOf(kEmissivitySources, source); }
int ArgoDeviceSetupView::EmissivitySourceForItem(int item) { return CodeOf(kEmissivitySources, item); }
int ArgoDeviceSetupView::AmbientItem(std::uint8_t source) { return ItemOf(kAmbientSources, source); }
int ArgoDeviceSetupView::AmbientSourceForItem(int item) { return CodeOf(kAmbientSources, item); }

int ArgoDeviceSetupView::SourceItem(std::uint8_t source) { return source <= 2 ? source : -1; }
int ArgoDeviceSetupView::OutputModeItem(std::uint8_t outMode) { return outMode <= 5 ? outMode : -1; }
int ArgoDeviceSetupView::RangeItem(std::uint8_t outMode) { return outMode <= 1 ? outMode : -1; }
int ArgoDeviceSetupView::FlagItem(std::uint8_t value) { return value <= 1 ? value : -1; }

bool ArgoDeviceSetupView::PostProcNeedsAverageTime(std::uint8_t advHoldMode, float peakHold,
                                                   float valleyHold) {
  return advHoldMode == 0 && !(peakHold > 0) && !(valleyHold > 0);
}

std::optional<int> ArgoDeviceSetupView::PostProcMode(std::uint8_t advHoldMode, float peakHold,
                                                     float valleyHold, std::optional<float> liveAverageTime) {
  if (advHoldMode == 1) return ppAdvPeakHold;
  if (advHoldMode == 2) return ppAdvValleyHold;
  if (advHoldMode > 2) return ppOff;
  if (peakHold > 0) return ppPeakHold;
  if (valleyHold > 0) return ppValleyHold;
  if (!liveAverageTime) return std::nullopt;
  return *liveAverageTime > 0 ? ppAveraging : ppOff;
}

float ArgoDeviceSetupView::HoldTimeShown(float peakHold, float valleyHold) {
  if (peakHold > 0) return peakHold;
  if (valleyHold > 0) return valleyHold;
  return 0.0f;
}

ArgoDeviceSetupView::TimeStep ArgoDeviceSetupView::TimeResolution(const TArgoModelInfo& info) {
  if (info.Time_in_ms) return {3, 0.001};
  if (info.Time_in_10ms) return {2, 0.01};
  return {1, 0.1};
}

ArgoDeviceSetupView::TimeStep ArgoDeviceSetupView::AvgTimeStep(const TArgoModelInfo& info, double value) {
  if (value <= 0.1 + 1e-9) return TimeResolution(info);
  return {1, 0.1};
}

ArgoDeviceSetupView::Enabled ArgoDeviceSetupView::EnabledStates(int emissivityItem, int ambientItem,
                                                                int postProcItem, int analogDigital3,
                                                                int analogDigital4, int outputMode4) {
  Enabled e{};
  e.emissivity = emissivityItem == 0;
  e.matTable = emissivityItem == 2;
  e.ambientValue = ambientItem == 2;
  e.ambientRange = ambientItem == 1;
  e.avgTime = postProcItem >= 1 && postProcItem <= 5;
  e.holdTime = postProcItem == 2 || postProcItem == 3;
  e.advHold = postProcItem == 4 || postProcItem == 5;
  e.channel2Digital = analogDigital3 == 0;
  e.channel1Digital = analogDigital4 == 0;
  e.adjustSlope = analogDigital4 == 1 && outputMode4 >= 0 && outputMode4 <= 3;
  return e;
}

ArgoDeviceSetupView::Ranges ArgoDeviceSetupView::TemperatureRanges(float rangeHigh, bool fahrenheit) {
  const auto t = [fahrenheit](float c) { return double(SentinelUtils::CelsiusToUnit(fahrenheit, c)); };
  const auto d = [fahrenheit](float c) { return double(SentinelUtils::DeltaCelsiusToUnit(fahrenheit, c)); };
  Ranges r{};
  r.alarm = {t(-50), t(rangeHigh)};
  r.ambient = {t(-50), t(3000)};
  r.ambLow = {t(-50), t(rangeHigh)};
  r.ambHigh = {t(-40), t(rangeHigh)};
  r.alarmHysteresis = {d(0), d(20)};
  return r;
}

double ArgoDeviceSetupView::AlarmIncrement(double shownValue, bool fahrenheit) {
  if (shownValue >= 1000) return 1.0;
  return fahrenheit ? 0.2 : 0.1;
}

std::array<bool, 4> ArgoDeviceSetupView::UsedByMaterialTable(const TArgoConfig& config) {
  std::array<bool, 4> used{};
  if (config.EmissivitySource != 2) return used;
  for (const TArgoMaterialRow& row : config.MaterialTable) {
    for (const std::uint8_t code : {row.DevLo, row.DevHi}) {
      if (code < 4) used[code] = true;
    }
  }
  return used;
}
