#include "app/measurement_settings_texts.h"

#include "drivers/sentinel_utils.h"
#include "platform/number_text.h"
#include "ui/lng_ini_supp.h"

const std::array<float, MeasurementSettingsTexts::kIntervalCount>& MeasurementSettingsTexts::Intervals() {
  static const std::array<float, kIntervalCount> table{0.001f, 0.002f, 0.005f, 0.01f,  0.02f,  0.05f, 0.1f,
                                                       0.2f,   0.5f,   1.0f,   2.0f,   5.0f,   10.0f, 20.0f,
                                                       30.0f,  60.0f,  120.0f, 300.0f, 600.0f, 900.0f};
  return table;
}

int MeasurementSettingsTexts::IntervalIndex(float resolution) {
  const auto& table = Intervals();
  for (int i = 0; i < kIntervalCount; ++i)
    if (table[static_cast<std::size_t>(i)] >= resolution) return i;
  return kIntervalCount - 1;
}

QString MeasurementSettingsTexts::Unit(const char* key, const char* defaultText) const {
  const QString k = QString::fromLatin1(key);
  const QString d = QString::fromLatin1(defaultText);
  return lis_ != nullptr ? lis_->OtherText(k, d) : d;
}

QString MeasurementSettingsTexts::IntervalText(float resolution) const {
  const double r = resolution;
  if (r < 1.0) return QString::number(NumberText::Round(r * 1000.0)) + Unit(LNG_OTHER_TEXT("UnitMS", "msec"));
  if (r < 60.0) return QString::number(NumberText::Round(r)) + Unit(LNG_OTHER_TEXT("UnitS", "sec"));
  return QString::number(NumberText::Round(r / 60.0)) + Unit(LNG_OTHER_TEXT("UnitMin", "min"));
}

QString MeasurementSettingsTexts::MemoryText(std::int64_t maxData) {
  const std::int64_t kb = maxData * kBytesPerSample / 1024;
  if (kb < 1024)
    return NumberText::Format(QStringLiteral("%d%s"),
                              {static_cast<long long>(kb), SentinelUtils::UnitKByteText});
  return NumberText::Format(QStringLiteral("%5.1f%s"),
                            {static_cast<double>(kb) / 1024.0, SentinelUtils::UnitMByteText});
}

QString MeasurementSettingsTexts::RecordingTimeText(double seconds) const {
  const QString sec = Unit(LNG_OTHER_TEXT("UnitS", "sec"));
  const QString min = Unit(LNG_OTHER_TEXT("UnitMin", "min"));
  const QString hour = Unit(LNG_OTHER_TEXT("UnitHour", "h"));
  const QString days = Unit(LNG_OTHER_TEXT("UnitDays", "days"));

  // A whole number of the larger unit and the rest in the next smaller one.
  auto two = [](double amount, const QString& unit, double perUnit, const QString& restUnit) {
    const std::int64_t whole = NumberText::Trunc(amount);
    const std::int64_t rest = NumberText::Round((amount - static_cast<double>(whole)) * perUnit);
    return QString::number(whole) + QLatin1Char(' ') + unit + QStringLiteral(", ") + QString::number(rest) +
           QLatin1Char(' ') + restUnit;
  };
  const double t = seconds > 0.0 ? seconds : 0.0;
  if (t < 60.0) return QString::number(NumberText::Trunc(t)) + QLatin1Char(' ') + sec;
  if (t < 3600.0) return two(t / 60.0, min, 60.0, sec);
  if (t < 86400.0) return two(t / 3600.0, hour, 60.0, min);
  if (t < 172800.0) return two(t / 86400.0, Unit(LNG_OTHER_TEXT("UnitDay", "day")), 24.0, hour);
  if (t < 604800.0) return two(t / 86400.0, days, 24.0, hour);
  if (t < 1209600.0) return two(t / 604800.0, Unit(LNG_OTHER_TEXT("UnitWeek", "week")), 7.0, days);
  if (t < 63115200.0) return two(t / 604800.0, Unit(LNG_OTHER_TEXT("UnitWeeks", "weeks")), 7.0, days);
  return QString::number(NumberText::Trunc(t / 31557600.0)) + QLatin1Char(' ') +
         Unit(LNG_OTHER_TEXT("UnitYears", "years"));
}
