// The ratio setup dialog's writes, without a display: each tagged control's
// value with the display unit and the process source, and what goes to the
// driver.

#include <gtest/gtest.h>

#include "platform/number_text.h"
#include "setup_argo/ratio_setup_param_planner.h"

namespace {

using W = ArgoSetupWrite;
using P = RatioSetupParamPlanner;

TArgoConfig Cache() {
  TArgoConfig c;
  c.MBRangeStart = 700.0f;
  c.MBRangeEnd = 2500.0f;
  for (int o = 0; o < 2; ++o)
    for (int k = 0; k < 5; ++k) c.AlarmValues[std::size_t(o)][k] = std::uint16_t(1000 + 100 * o + 10 * k);
  c.RatioAlarmMode = 0x0D;
  c.AverageTime = 0.5f;
  c.PeakHoldTime = 0.0f;
  c.ValleyHoldTime = 0.0f;
  return c;
}

TArgoAlarmValues WithSlot(int output, int slot, std::uint16_t raw) {
  TArgoAlarmValues v = Cache().AlarmValues[std::size_t(output)];
  v[slot] = raw;
  return v;
}

struct Case {
  const char* what;
  int tag;
  double value;
  P::TEdits edits;
  ArgoSetupWrites writes;
};

P::TEdits Edits(bool fahrenheit = false, int processSource = 0, int source1 = 0, int source2 = 0, int item = 0) {
  P::TEdits e;
  e.fahrenheit = fahrenheit;
  e.processSource = processSource;
  e.alarmSource1 = source1;
  e.alarmSource2 = source2;
  e.postProcItem = item;
  return e;
}

TEST(RatioSetupParamPlanner, EachTagBecomesItsWrites) {
  const bool F = true;
  const Case cases[] = {
      {"emissivity above 1 is 1", 1, 1.5, Edits(), {W::Of(W::RatioEpsilon, 1.0f)}},
      {"emissivity below 0.05 is 0.05", 1, 0.01, Edits(), {W::Of(W::RatioEpsilon, 0.05f)}},
      {"slope clamped", 2, 1.3, Edits(), {W::Of(W::RatioSlope, 1.2f)}},
      {"gain 1C clamped", 19, 0.5, Edits(), {W::Of(W::RatioEpsilon2, 0.75f)}},
      {"gain 2C clamped", 20, 2.0, Edits(), {W::Of(W::RatioSlope2, 1.1f)}},
      {"attenuation limit clamped high", 21, 150, Edits(), {W::Of(W::LimTau, 99.0f)}},
      {"attenuation limit clamped low", 21, -80, Edits(), {W::Of(W::LimTau, -50.0f)}},
      {"output 1, Tquot, in C", 7, 1500, Edits(), {W::OfAlarmValues(0, WithSlot(0, 0, 16000))}},
      {"output 1, Tquot, in F", 7, 1832, Edits(F), {W::OfAlarmValues(0, WithSlot(0, 0, 11000))}},
      {"output 1, Tquot, clamped to the range", 7, 100, Edits(), {W::OfAlarmValues(0, WithSlot(0, 0, 8000))}},
      {"output 1, Tau, percent in F", 7, 50, Edits(F, 0, 2), {W::OfAlarmValues(0, WithSlot(0, 2, 1500))}},
      {"output 1, TBox clamped to 75", 7, 100, Edits(false, 0, 3), {W::OfAlarmValues(0, WithSlot(0, 3, 1750))}},
      {"output 2, process value T 1C in F", 8, 1472, Edits(F, 1, 0, 4), {W::OfAlarmValues(1, WithSlot(1, 1, 9000))}},
      {"output 2, process value under attenuation: percent", 8, 20, Edits(F, 2, 0, 4),
       {W::OfAlarmValues(1, WithSlot(1, 2, 1200))}},
      {"output 2 without a source writes nothing", 8, 20, Edits(false, 0, 0, -1), {}},
      {"process value without a process source writes nothing", 7, 900, Edits(false, -1, 4), {}},
      {"average time", 10, 2.5, Edits(), {W::Of(W::AverageTime, 2.5f)}},
      {"hold time with peak hold", 11, 3, Edits(false, 0, 0, 0, 2), {W::Of(W::PeakHoldTime, 3.0f)}},
      {"hold time with valley hold", 11, 3, Edits(false, 0, 0, 0, 3), {W::Of(W::ValleyHoldTime, 3.0f)}},
      {"hold time with averaging: nothing", 11, 3, Edits(false, 0, 0, 0, 1), {}},
      {"hold time 0: nothing", 11, 0, Edits(false, 0, 0, 0, 2), {}},
      {"threshold in F", 12, 212, Edits(F), {W::Of(W::AdvancedHoldThreshold, 100.0f)}},
      {"threshold under attenuation: percent", 12, 40, Edits(F, 2), {W::Of(W::AdvancedHoldThreshold, 40.0f)}},
      {"hysteresis in F is a difference", 13, 18, Edits(F), {W::Of(W::AdvancedHoldHysteresis, 10.0f)}},
      {"smart threshold in F", 22, 9, Edits(F), {W::Of(W::SmartThreshold, 5.0f)}},
      {"normally closed, output 2", 15, 1, Edits(), {W::OfOutput(W::AlarmNormallyOpen, 1, 1.0f)}},
      {"unit", 16, 1, Edits(), {W::Of(W::TemperatureUnit, 1.0f)}},
      {"process source T 1C", 5, 1, Edits(false, 0, 0, 0, 4), {W::Of(W::ProcessSource, 1.0f)}},
      {"attenuation with averaging keeps the times", 5, 2, Edits(false, 0, 0, 0, 1), {W::Of(W::ProcessSource, 2.0f)}},
      {"attenuation ends an advanced hold",
       5,
       2,
       Edits(false, 0, 0, 0, 5),
       {W::Of(W::ProcessSource, 2.0f), W::Of(W::AverageTime, 0.0f), W::Of(W::PeakHoldTime, 0.0f),
        W::Of(W::ValleyHoldTime, 0.0f), W::Of(W::AdvancedHoldMode, 0.0f)}},
      {"visual alarm source fixed red", 23, 7, Edits(), {W::Of(W::VisualAlarmSource, 7.0f)}},
      {"visual alarm source beyond the list: nothing", 23, 8, Edits(), {}},
      {"display main source", 24, 4, Edits(), {W::Of(W::DisplayMainSource, 4.0f)}},
      {"ranges mode clears bit 0", 25, 0, Edits(), {W::Of(W::RatioAlarmMode, 0x0C)}},
      {"blue normally open clears bit 2", 29, 0, Edits(), {W::Of(W::RatioAlarmMode, 0x09)}},
      {"red normally closed keeps bit 3", 30, 1, Edits(), {W::Of(W::RatioAlarmMode, 0x0D)}},
      {"blue threshold in F", 26, 212, Edits(F), {W::Of(W::Alarm1, 100.0f)}},
      {"red threshold", 27, 900, Edits(), {W::Of(W::Alarm2, 900.0f)}},
      {"threshold hysteresis in F", 28, 9, Edits(F), {W::Of(W::RatioAlarmHysteresis, 5.0f)}},
      {"negative threshold hysteresis left to the driver", 28, -5, Edits(), {W::Of(W::RatioAlarmHysteresis, -5.0f)}},
      {"address: written by OK only", 31, 5, Edits(), {}},
  };
  for (const Case& c : cases) {
    P planner;
    const ArgoSetupWrites writes = planner.Plan(c.tag, c.value, c.edits, Cache());
    ASSERT_EQ(writes.size(), c.writes.size()) << c.what;
    for (std::size_t i = 0; i < writes.size(); ++i) {
      EXPECT_EQ(writes[i].Param, c.writes[i].Param) << c.what;
      EXPECT_EQ(writes[i].Index, c.writes[i].Index) << c.what;
      EXPECT_NEAR(writes[i].Value, c.writes[i].Value, 1e-3) << c.what;
      EXPECT_EQ(writes[i].Values, c.writes[i].Values) << c.what;
    }
  }
}

TEST(RatioSetupParamPlanner, PostProcessingRemembersTheTimesItSwitchesOff) {
  P planner;
  TArgoConfig c = Cache();
  c.AverageTime = 0.0f;
  c.PeakHoldTime = 2.5f;
  // Off remembers the peak time; peak hold with the cache at 0 brings it back.
  const ArgoSetupWrites off = planner.ChoosePostProcessing(0, c);
  ASSERT_EQ(off.size(), 4u);
  c.PeakHoldTime = 0.0f;
  const ArgoSetupWrites peak = planner.ChoosePostProcessing(2, c);
  ASSERT_EQ(peak.size(), 4u);
  EXPECT_EQ(peak[0].Param, W::ValleyHoldTime);
  EXPECT_EQ(peak[1].Param, W::PeakHoldTime);
  EXPECT_FLOAT_EQ(peak[1].Value, 2.5f);
  EXPECT_EQ(peak[2].Param, W::AverageTime);
  EXPECT_FLOAT_EQ(peak[2].Value, 0.2f);
  EXPECT_EQ(peak[3].Param, W::AdvancedHoldMode);
}

TEST(RatioSetupParamPlanner, ParseFloatTolerantTakesEitherSeparatorAndRefusesTheRest) {
  const QChar saved = NumberText::DecimalSeparator();
  for (const QChar separator : {QLatin1Char('.'), QLatin1Char(',')}) {
    NumberText::SetDecimalSeparator(separator);
    EXPECT_EQ(P::ParseFloatTolerant(QStringLiteral("1,5")), 1.5) << char(separator.unicode());
    EXPECT_EQ(P::ParseFloatTolerant(QStringLiteral("1.5")), 1.5) << char(separator.unicode());
    EXPECT_EQ(P::ParseFloatTolerant(QStringLiteral(" -0.25 ")), -0.25);
    for (const char* bad : {"", "  ", "abc", "nan", "NaN", "inf", "-inf", "1e999", "1.2.3x", "0x10"}) {
      EXPECT_FALSE(P::ParseFloatTolerant(QString::fromLatin1(bad)).has_value()) << bad;
    }
  }
  NumberText::SetDecimalSeparator(saved);
  EXPECT_EQ(P::ParseAddress(QStringLiteral("12")), 12);
  EXPECT_EQ(P::ParseAddress(QStringLiteral("200")), 79);
  EXPECT_EQ(P::ParseAddress(QStringLiteral("-3")), 0);
  EXPECT_FALSE(P::ParseAddress(QStringLiteral("x")).has_value());
}

TEST(RatioSetupParamPlanner, ArbitraryTextNeverParsesToANonFiniteValue) {
  // A small deterministic fuzz over the characters numbers are made of.
  const QString alphabet = QStringLiteral("0123456789.,eE+- infaNI");
  std::uint32_t seed = 12345;
  for (int n = 0; n < 20000; ++n) {
    QString text;
    seed = seed * 1103515245u + 12345u;
    const int length = int(seed >> 16) % 12;
    for (int i = 0; i < length; ++i) {
      seed = seed * 1103515245u + 12345u;
      text += alphabet[int((seed >> 16) % std::uint32_t(alphabet.size()))];
    }
    const std::optional<double> v = P::ParseFloatTolerant(text);
    if (v) {
      EXPECT_TRUE(std::isfinite(*v)) << text.toStdString();
    }
  }
}

}  // namespace
