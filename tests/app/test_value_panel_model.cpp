// The value panels' model: which text a panel shows, when it shows
// "-----", when it is hidden, that both sets show the same, that only
// changes reach the widgets, and what the external displays are told.

#include <gtest/gtest.h>

#include <functional>

#include "app/value_panel_model.h"
#include "drivers/sentinel_utils.h"
#include "platform/number_text.h"

namespace {

namespace CV = ChannelValues;
using M = TValuePanelModel;

constexpr std::uint16_t Bit(int c) { return TChannelSample::Bit(c); }

TChannelSample Reading(int channel, float value) {
  TChannelSample s;
  s.Set(channel, value);
  return s;
}

struct RuleCase {
  const char* name;
  std::function<void(M&)> steps;  // after Arrange(all, top, right) and the start texts
  int channel;
  const char* text;
  bool noValue;
  bool visibleTop;
  bool visibleRight;
};

const RuleCase kRules[] = {
    {"a start text", [](M&) {}, CV::TObj, "0.0°C", false, true, true},
    {"a value", [](M& m) { m.ShowSample(Reading(CV::TObj, 25.0f), false); }, CV::TObj, "25.0°C", false, true,
     true},
    {"a channel the device does not send shows no value",
     [](M& m) {
       m.SetDelivered(M::kAllChannels & ~Bit(CV::TInt));
       m.ShowSample(Reading(CV::TInt, 25.0f), false);
     },
     CV::TInt, "-----", true, true, true},
    {"a text for a channel not sent shows no value",
     [](M& m) {
       m.SetDelivered(0);
       m.ShowText(CV::Tau, {QStringLiteral("1.0%"), false});
     },
     CV::Tau, "-----", true, true, true},
    {"sent again, the value comes back",
     [](M& m) {
       m.SetDelivered(0);
       m.ShowSample(Reading(CV::TAct, 25.0f), false);
       m.SetDelivered(M::kAllChannels);
       m.ShowSample(Reading(CV::TAct, 26.0f), false);
     },
     CV::TAct, "26.0°C", false, true, true},
    {"no value asked for", [](M& m) { m.ShowNoValue(CV::MVin); }, CV::MVin, "-----", true, true, true},
    {"a temperature beyond the range is no value",
     [](M& m) { m.ShowSample(Reading(CV::TAmb, CV::kNoValue), false); }, CV::TAmb, "-----", true, true, true},
    {"the overflow code has its text", [](M& m) { m.ShowSample(Reading(CV::TBox, 3176.9f), false); },
     CV::TBox, "O", false, true, true},
    {"a poll hides the panels that show no value",
     [](M& m) {
       m.ShowNoValue(CV::Vcc);
       m.HideNoValues(Bit(CV::Epsilon) | Bit(CV::Vcc) | Bit(CV::TAmb));
     },
     CV::Vcc, "-----", true, false, false},
    {"... and leaves those with a value",
     [](M& m) {
       m.ShowSample(Reading(CV::TAmb, 25.0f), false);
       m.HideNoValues(Bit(CV::Epsilon) | Bit(CV::Vcc) | Bit(CV::TAmb));
     },
     CV::TAmb, "25.0°C", false, true, true},
    {"... and every channel it was not asked about",
     [](M& m) {
       m.ShowNoValue(CV::MVin);
       m.HideNoValues(Bit(CV::Epsilon) | Bit(CV::Vcc) | Bit(CV::TAmb));
     },
     CV::MVin, "-----", true, true, true},
    {"no value because not sent counts for the poll's hiding",
     [](M& m) {
       m.SetDelivered(M::kAllChannels & ~Bit(CV::Epsilon));
       m.ShowSample(Reading(CV::Epsilon, 95.0f), false);
       m.HideNoValues(Bit(CV::Epsilon));
     },
     CV::Epsilon, "-----", true, false, false},
    {"a stream that leaves a channel out hides it",
     [](M& m) {
       TChannelSample s = Reading(CV::TObj, 25.0f);
       s.Hidden = Bit(CV::Epsilon);
       m.ShowSample(s, false);
     },
     CV::Epsilon, "0.000", false, false, false},
    {"arranging shows what the rules hid",
     [](M& m) {
       m.ShowNoValue(CV::Vcc);
       m.HideNoValues(Bit(CV::Vcc));
       m.Arrange(M::kAllChannels, true, false);
     },
     CV::Vcc, "-----", true, true, false},
    {"a channel switched off is on neither bar",
     [](M& m) { m.Arrange(M::kAllChannels & ~Bit(CV::T1C), true, true); }, CV::T1C, "0.0°C", false, false,
     false},
    {"the right column alone", [](M& m) { m.Arrange(M::kAllChannels, false, true); }, CV::T2C, "0.0°C", false,
     false, true},
};

class ValuePanelModelRules : public ::testing::TestWithParam<RuleCase> {
 protected:
  void SetUp() override {
    NumberText::SetDecimalSeparator(QLatin1Char('.'));
    SentinelUtils::UnitCelsiusText = QStringLiteral("°C");
    SentinelUtils::OverflowText = QStringLiteral("O");
  }
  void TearDown() override { NumberText::SetDecimalSeparator(QChar()); }
};

TEST_P(ValuePanelModelRules, ShowHideNoValue) {
  const RuleCase& c = GetParam();
  M m;
  m.Arrange(M::kAllChannels, true, true);
  for (int ch = 0; ch < 11; ++ch) m.ShowText(ch, M::StartText(ch, false));
  c.steps(m);
  EXPECT_EQ(m.Text(c.channel), QString::fromUtf8(c.text));
  EXPECT_EQ(m.ShowsNoValue(c.channel), c.noValue);
  EXPECT_EQ(m.Visible(M::Top, c.channel), c.visibleTop);
  EXPECT_EQ(m.Visible(M::Right, c.channel), c.visibleRight);
}

INSTANTIATE_TEST_SUITE_P(Rules, ValuePanelModelRules, ::testing::ValuesIn(kRules),
                         [](const auto& info) { return "rule" + std::to_string(info.index); });

// Only what changed is handed on: the same text twice is one change, a
// hide that hides nothing new is none.
TEST(ValuePanelModel, ReportsOnlyChanges) {
  NumberText::SetDecimalSeparator(QLatin1Char('.'));
  M m;
  m.Arrange(M::kAllChannels, true, true);
  m.TakeChanges();
  m.ShowSample(Reading(CV::TObj, 25.0f), false);
  M::TChanges c = m.TakeChanges();
  EXPECT_EQ(c.Texts, Bit(CV::TObj));
  m.ShowSample(Reading(CV::TObj, 25.0f), false);
  m.ShowSample(Reading(CV::TObj, 25.04f), false);  // the same text
  c = m.TakeChanges();
  EXPECT_EQ(c.Texts, 0);
  m.ShowNoValue(CV::Vcc);
  m.HideNoValues(Bit(CV::Vcc));
  c = m.TakeChanges();
  EXPECT_EQ(c.Texts, Bit(CV::Vcc));
  EXPECT_EQ(c.Visibility, Bit(CV::Vcc));
  m.HideNoValues(Bit(CV::Vcc));
  m.Arrange(M::kAllChannels & ~Bit(CV::Vcc), true, true);  // hidden either way
  EXPECT_EQ(m.TakeChanges().Visibility, 0);
  NumberText::SetDecimalSeparator(QChar());
}

// What the displays of a kind are told: a value as its number, a channel
// not sent as "-----" once, a value that is no number not at all.
TEST(ValuePanelModel, FeedsTheDisplays) {
  using W = M::TDisplayFeed::TWhat;
  M m;
  const TDisplayValueContext context;
  const int kind = CV::DisplayKindOfChannel(CV::TObj);
  M::TDisplayFeed f = m.FeedDisplay(kind, 25.0f, context);
  EXPECT_EQ(f.What, W::Value);
  EXPECT_EQ(f.WParam, 1250u);
  EXPECT_TRUE(m.DisplayValue(kind).HasValue);

  m.SetDelivered(M::kAllChannels & ~Bit(CV::TObj));
  EXPECT_EQ(m.FeedDisplay(kind, 25.0f, context).What, W::NoValueText);
  EXPECT_EQ(m.FeedDisplay(kind, 26.0f, context).What, W::Nothing);
  EXPECT_FALSE(m.DisplayValue(kind).HasValue);

  m.SetDelivered(M::kAllChannels);
  EXPECT_EQ(m.FeedDisplay(kind, CV::kNoValue, context).What, W::Nothing);
  m.SetDelivered(0);
  EXPECT_EQ(m.FeedDisplay(kind, 25.0f, context).What, W::NoValueText);

  EXPECT_EQ(m.FeedDisplay(0, 25.0f, context).What, W::Nothing);
  EXPECT_EQ(m.FeedDisplay(12, 25.0f, context).What, W::Nothing);
}

}  // namespace
