// What the Brio loop-maintenance dialogs send, without a window: the
// output range of a first-generation configuration with its start value,
// the debounced temperature, and the current of the 4-20 mA models with
// every way of leaving it.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>
#include <array>
#include <vector>

#include "setup_brio/loop_current_output.h"
#include "setup_brio/loop_temperature_output.h"
#include "tests/support/wait_for.h"

namespace {

using test_support::WaitForEvents;

std::array<std::uint8_t, 128> ConfigWithRange(int lowWord, int highWord) {
  std::array<std::uint8_t, 128> c{};
  c[118] = std::uint8_t(lowWord);
  c[119] = std::uint8_t(lowWord >> 8);
  c[120] = std::uint8_t(highWord);
  c[121] = std::uint8_t(highWord >> 8);
  return c;
}

TEST(LoopTemperatureOutputTest, RangeAndStartValue) {
  struct Case {
    const char* what;
    int lowWord, highWord;
    bool loaded;
    int min, max, start;
    bool fromDevice;
  };
  const Case cases[] = {
      {"0..350 °C", 1000, 4500, true, 0, 3500, 1750, true},
      {"-30..1000 °C", 700, 11000, true, -300, 10000, 4850, true},
      {"a half goes to even, down", 1000, 4501, true, 0, 3501, 1750, true},
      {"a half goes to even, up", 1001, 4502, true, 1, 3502, 1752, true},
      {"below -100 °C is kept", 0, 1000, true, -1000, 0, -500, true},
      {"not read", 1000, 4500, false, -300, 10000, 4850, false},
      {"erased flash reads zero", 0, 0, true, -300, 10000, 4850, false},
      {"inverted", 4500, 1000, true, -300, 10000, 4850, false},
      {"empty", 2000, 2000, true, -300, 10000, 4850, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto range = LoopTemperatureOutput::RangeOf(ConfigWithRange(c.lowWord, c.highWord), c.loaded);
    EXPECT_EQ(range.Min, c.min);
    EXPECT_EQ(range.Max, c.max);
    EXPECT_EQ(range.FromDevice, c.fromDevice);
    EXPECT_EQ(LoopTemperatureOutput::StartValue(range), c.start);
  }
}

class LoopTemperatureOutputSends : public ::testing::Test {
 protected:
  void SetUp() override {
    output_.Send = [this](float celsius) { sent_.push_back(celsius); };
  }
  bool WaitIdle() {
    return WaitForEvents([&] { return !output_.Pending(); }, 5000);
  }
  LoopTemperatureOutput output_;
  std::vector<float> sent_;
};

TEST_F(LoopTemperatureOutputSends, EveryShowingSendsItsStartValueAfterTheDelay) {
  const auto range = LoopTemperatureOutput::RangeOf(ConfigWithRange(1000, 4500), true);
  for (int showing = 0; showing < 2; ++showing) {
    sent_.clear();
    EXPECT_EQ(output_.Show(range), 1750);
    EXPECT_TRUE(output_.Pending());
    EXPECT_TRUE(sent_.empty());
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(sent_, std::vector<float>{175.0f}) << showing;
    output_.Close();
  }
}

TEST_F(LoopTemperatureOutputSends, ChangesWithinTheDelaySendOnlyTheLast) {
  output_.Show(LoopTemperatureOutput::RangeOf(ConfigWithRange(1000, 4500), true));
  ASSERT_TRUE(WaitIdle());
  sent_.clear();
  for (int v : {2, 25, 250}) output_.ValueChanged(v);
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(sent_, std::vector<float>{25.0f});
  // A value beyond the range goes out at its end.
  output_.ValueChanged(9999);
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(sent_.back(), 350.0f);
}

TEST_F(LoopTemperatureOutputSends, AnUnknownRangeSendsNothingUntilAChange) {
  EXPECT_EQ(output_.Show(LoopTemperatureOutput::RangeOf({}, false)), 4850);
  EXPECT_FALSE(output_.Pending());
  output_.ValueChanged(200);
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(sent_, std::vector<float>{20.0f});
}

TEST_F(LoopTemperatureOutputSends, NoNumberOrClosingDropsWhatWasPending) {
  output_.Show(LoopTemperatureOutput::RangeOf(ConfigWithRange(1000, 4500), true));
  output_.ValueChanged(0, false);
  EXPECT_FALSE(output_.Pending());
  output_.ValueChanged(100);
  output_.Close();
  EXPECT_FALSE(output_.Pending());
  output_.ValueChanged(120);
  EXPECT_FALSE(output_.Pending());
  EXPECT_TRUE(sent_.empty());
}

TEST(LoopCurrentOutputTest, Parse) {
  const std::pair<const char*, int> valid[] = {{"40", 40}, {"120", 120}, {"200", 200}, {" 75 ", 75}};
  for (const auto& [text, tenths] : valid) {
    int got = 0;
    EXPECT_TRUE(LoopCurrentOutput::Parse(QString::fromLatin1(text), got)) << text;
    EXPECT_EQ(got, tenths) << text;
  }
  for (const char* text : {"39", "201", "250", "0", "-40", "", "-", "12.5", "abc", "1e2"}) {
    int got = 0;
    EXPECT_FALSE(LoopCurrentOutput::Parse(QString::fromLatin1(text), got)) << text;
  }
}

TEST(LoopCurrentOutputTest, WhatEachStepSends) {
  struct Case {
    const char* what;
    std::function<void(LoopCurrentOutput&)> steps;
    std::vector<float> sent;
  };
  const Case cases[] = {
      {"showing alone", [](LoopCurrentOutput&) {}, {}},
      {"a current", [](LoopCurrentOutput& o) { o.TextChanged(QStringLiteral("120")); }, {12.0f}},
      {"out of range", [](LoopCurrentOutput& o) { o.TextChanged(QStringLiteral("250")); }, {}},
      {"reset", [](LoopCurrentOutput& o) { o.Reset(); }, {0.0f}},
      {"close box without a current", [](LoopCurrentOutput& o) { o.Close(false); }, {}},
      {"close button without a current", [](LoopCurrentOutput& o) { o.Close(true); }, {0.0f}},
      {"close box after a current",
       [](LoopCurrentOutput& o) {
         o.TextChanged(QStringLiteral("120"));
         o.Close(false);
       },
       {12.0f, 0.0f}},
      {"close box after a current and a reset",
       [](LoopCurrentOutput& o) {
         o.TextChanged(QStringLiteral("120"));
         o.Reset();
         o.Close(false);
       },
       {12.0f, 0.0f}},
      {"close box after a current and bad text",
       [](LoopCurrentOutput& o) {
         o.TextChanged(QStringLiteral("160"));
         o.TextChanged(QStringLiteral("250"));
         o.Close(false);
       },
       {16.0f, 0.0f}},
      {"nothing after closing",
       [](LoopCurrentOutput& o) {
         o.Close(true);
         o.TextChanged(QStringLiteral("120"));
         o.Reset();
       },
       {0.0f}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LoopCurrentOutput output;
    std::vector<float> sent;
    output.Send = [&](float mA) { sent.push_back(mA); };
    EXPECT_EQ(output.Show(), 40);
    c.steps(output);
    EXPECT_EQ(sent, c.sent);
  }
}

}  // namespace
