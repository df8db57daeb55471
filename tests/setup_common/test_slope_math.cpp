#include <gtest/gtest.h>

#include "drivers/sentinel_utils.h"
#include "platform/number_text.h"
#include "setup_common/slope_math.h"

namespace {

class SlopeMathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SentinelUtils::UnitCelsiusText = QStringLiteral("°C");
    SentinelUtils::UnitFahrenheitText = QStringLiteral("°F");
    NumberText::SetDecimalSeparator(QChar('.'));
  }
  void TearDown() override { NumberText::SetDecimalSeparator(QChar()); }
};

struct TextCase {
  const char* name;
  int mode;
  double loT, loOut, hiT, hiOut, tempMin, tempMax;
  bool fahrenheit, percent;
  const char *slope, *offset, *lo1, *hi1, *lo2, *hi2;
};

TEST_F(SlopeMathTest, TextsTable) {
  const TextCase cases[] = {
      {"0..10V over 0..1000", 0, 0, 0, 1000, 10, 0, 1000, false, false, "10.000mV/°C", "0.000V",
       "0.0°C = 0.00V", "1000°C = 10.00V", "0V = 0.0°C", "10V = 1000°C"},
      {"4..20mA", 3, 0, 4, 1000, 20, -40, 900, false, false, "16.000µA/°C", "4.000mA", "-40.0°C = 3.36mA",
       "900.0°C = 18.40mA", "4mA = 0.0°C", "20mA = 1000°C"},
      {"Fahrenheit display", 0, 32, 0, 212, 10, 0, 100, true, false, "55.556mV/°F", "-1.778V",
       "32.0°F = 0.00V", "212.0°F = 10.00V", "0V = 32.0°F", "10V = 212.0°F"},
      {"percent mode", 0, 0, 0, 100, 10, -50, 100, false, true, "100.000mV/%", "0.000V", "-50.0 % = -5.00V",
       "100.0 % = 10.00V", "0V = 0.0 %", "10V = 100.0 %"},
      {"equal temperatures fall back", 0, 500, 0, 500, 10, 0, 1000, false, false, "20.000mV/°C", "0.000V",
       "---", "---", "---", "---"},
      {"equal outputs fall back", 2, 0, 5, 1000, 5, 0, 1000, false, false, "20.000µA/°C", "0.000mA", "---",
       "---", "---", "---"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SlopeMath::TTextInput in;
    in.loT = c.loT;
    in.loOut = c.loOut;
    in.hiT = c.hiT;
    in.hiOut = c.hiOut;
    in.tempMin = c.tempMin;
    in.tempMax = c.tempMax;
    in.fahrenheit = c.fahrenheit;
    in.percent = c.percent;
    in.range = SlopeMath::OutputRange(c.mode);
    const auto t = SlopeMath::Texts(in);
    EXPECT_EQ(t.slope.toStdString(), c.slope);
    EXPECT_EQ(t.offset.toStdString(), c.offset);
    EXPECT_EQ(t.limitsLo1.toStdString(), c.lo1);
    EXPECT_EQ(t.limitsHi1.toStdString(), c.hi1);
    EXPECT_EQ(t.limitsLo2.toStdString(), c.lo2);
    EXPECT_EQ(t.limitsHi2.toStdString(), c.hi2);
  }
}

TEST_F(SlopeMathTest, OutputRangesByMode) {
  struct Case {
    int mode;
    double low, high;
    const char* unit;
    bool analog;
  } cases[] = {{0, 0, 10, "V", true},  {1, 0, 5, "V", true},   {2, 0, 20, "mA", true},
               {3, 4, 20, "mA", true}, {4, 0, 10, "V", false}, {5, 0, 10, "V", false},
               {7, 0, 10, "V", false}, {-1, 0, 10, "V", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    const auto r = SlopeMath::OutputRange(c.mode);
    EXPECT_EQ(r.low, c.low);
    EXPECT_EQ(r.high, c.high);
    EXPECT_EQ(r.unit.toStdString(), c.unit);
    EXPECT_EQ(r.analog, c.analog);
  }
}

TEST_F(SlopeMathTest, TemperatureAxisRoundsOutwardsAndIsNeverEmpty) {
  struct Case {
    double lo, hi, start, end;
  } cases[] = {
      {-40, 900, -40, 910}, {-45, 903, -50, 920}, {0, 0, 0, 10}, {5, 5, 0, 20}, {100, -50, -50, 110}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lo);
    const auto a = SlopeMath::TemperatureAxis(c.lo, c.hi);
    EXPECT_EQ(a.start, c.start);
    EXPECT_EQ(a.end, c.end);
    EXPECT_GT(a.Span(), 0.0);
  }
}

TEST_F(SlopeMathTest, GridSteps) {
  struct Case {
    int labels;
    double span, output, temperature;
  } cases[] = {{20, 10, 0.5, 5}, {10, 10, 1, 5},   {4, 10, 2, 5},     {0, 10, 2, 100}, {10, 950, 2, 100},
               {3, 950, 2, 500}, {19, 950, 2, 50}, {100, 950, 2, 10}, {40, 10, 0.5, 5}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.labels << " " << c.span);
    EXPECT_EQ(SlopeMath::OutputGridStep(c.labels, c.span), c.output);
    EXPECT_EQ(SlopeMath::TemperatureGridStep(c.labels, c.span), c.temperature);
  }
}

TEST_F(SlopeMathTest, HitIsStrictlyWithinFourPixels) {
  const QPoint p(100, 50);
  EXPECT_TRUE(SlopeMath::Hit(p, {100, 50}));
  EXPECT_TRUE(SlopeMath::Hit(p, {103, 47}));
  EXPECT_FALSE(SlopeMath::Hit(p, {104, 50}));
  EXPECT_FALSE(SlopeMath::Hit(p, {100, 46}));
  EXPECT_FALSE(SlopeMath::Hit(p, {96, 54}));
}

TEST_F(SlopeMathTest, Snapping) {
  struct Case {
    double value;
    int raster;
    double temperature, output;
  } cases[] = {{12.4, 0, 12.4, 12.4}, {12.4, 5, 10, 12.5}, {13.0, 5, 15, 13.0},
               {7.46, 1, 7, 7.5},     {7.45, 10, 10, 7},   {-3.2, 5, -5, -3.0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.value << " raster " << c.raster);
    EXPECT_NEAR(SlopeMath::SnapTemperature(c.value, c.raster), c.temperature, 1e-9);
    EXPECT_NEAR(SlopeMath::SnapOutput(c.value, c.raster), c.output, 1e-9);
  }
}

}  // namespace
