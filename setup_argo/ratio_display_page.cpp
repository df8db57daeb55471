#include "setup_argo/ratio_display_page.h"

#include "drivers/argo/pyreon_argo.h"
#include "drivers/sentinel_utils.h"

namespace {

constexpr int kTau = 2;
constexpr int kBox = 3;

}  // namespace

std::optional<int> RatioDisplayPage::DataSource(int source, std::uint8_t processSource) {
  if (source >= 0 && source < kProcessValueSource) return source;
  if (source != kProcessValueSource) return std::nullopt;
  if (processSource <= 1) return processSource;
  if (processSource == 2) return kTau;
  return std::nullopt;
}

void RatioDisplayPage::SourceRange(int dataSource, const TArgoConfig& config, double& low, double& high) {
  if (dataSource == kTau) {
    low = -50.0;
    high = 100.0;
  } else if (dataSource == kBox) {
    low = -20.0;
    high = 80.0;
  } else {
    low = config.ModelInfo.LoRangeTemp;
    high = config.ModelInfo.HiRangeTemp;
  }
}

int RatioDisplayPage::SourceIndex(std::uint8_t sourceByte) {
  return sourceByte < kSourceCount ? sourceByte : -1;
}

std::uint8_t RatioDisplayPage::PackLeds(bool blue, bool green, bool red) {
  return static_cast<std::uint8_t>((blue ? kBlue : 0) | (green ? kGreen : 0) | (red ? kRed : 0));
}

RatioDisplayPage::TState RatioDisplayPage::Load(int source, const TArgoConfig& c) {
  TState st;
  const bool f = c.TempUnitFahrenheit;
  st.dataSource = DataSource(source, c.ProcessSource);
  st.rowsEnabled = st.dataSource.has_value();
  if (st.dataSource) {
    const int s = *st.dataSource;
    const bool percent = s == kTau;
    st.unit = percent ? Unit::Percent : (f ? Unit::Fahrenheit : Unit::Celsius);
    const auto shown = [&](double t) {
      return percent ? t : static_cast<double>(SentinelUtils::CelsiusToUnit(f, static_cast<float>(t)));
    };
    double low = 0.0, high = 0.0;
    SourceRange(s, c, low, high);
    for (std::size_t i = 0; i < kRows; ++i) {
      const TArgoVisualAlarm& a = c.VisualAlarms[i];
      const auto k = static_cast<std::size_t>(s);
      TRow& row = st.rows[i];
      row.minimum = shown(low);
      row.maximum = shown(high);
      row.low = shown(a.Lo[k]);
      row.high = shown(a.Hi[k]);
      row.blue = (a.Flags[k] & kBlue) != 0;
      row.green = (a.Flags[k] & kGreen) != 0;
      row.red = (a.Flags[k] & kRed) != 0;
      row.lit = a.Flags[k] != 0;
    }
  } else {
    st.unit = f ? Unit::Fahrenheit : Unit::Celsius;
  }
  if (TpyreonArgo::HasExtendedAlarms(c.FWrev)) {
    st.modeChoiceVisible = true;
    st.valueBlue = SentinelUtils::CelsiusToUnit(f, c.Alarm[0]);
    st.valueRed = SentinelUtils::CelsiusToUnit(f, c.Alarm[1]);
    st.hysteresis = SentinelUtils::DeltaCelsiusToUnit(f, c.RatioAlarmHysteresis);
    st.blueClosed = (c.RatioAlarmMode & kBlueClosed) != 0;
    st.redClosed = (c.RatioAlarmMode & kRedClosed) != 0;
    st.thresholdMode = (c.RatioAlarmMode & kThresholdMode) != 0;
    st.rangesGroupVisible = !st.thresholdMode;
    st.standardButtonVisible = !st.thresholdMode;
    st.thresholdGroupVisible = st.thresholdMode;
  }
  return st;
}

std::optional<TArgoVisualAlarms> RatioDisplayPage::Rows(int source, const TArgoConfig& c,
                                                        const std::array<TRowEdit, kRows>& edits) {
  const std::optional<int> s = DataSource(source, c.ProcessSource);
  if (!s) return std::nullopt;
  const bool percent = *s == kTau;
  const bool f = c.TempUnitFahrenheit;
  const auto celsius = [&](double v) {
    return percent ? static_cast<float>(v) : SentinelUtils::UnitToCelsius(f, static_cast<float>(v));
  };
  TArgoVisualAlarms rows = c.VisualAlarms;
  const auto k = static_cast<std::size_t>(*s);
  for (std::size_t i = 0; i < kRows; ++i) {
    rows[i].Lo[k] = celsius(edits[i].low);
    rows[i].Hi[k] = celsius(edits[i].high);
    rows[i].Flags[k] = PackLeds(edits[i].blue, edits[i].green, edits[i].red);
  }
  return rows;
}
