// The one value path: what every family makes of each of its sources (a
// burst record of each layout, the read of each channel, each
// second-generation notification) reaches the window as a channel sample;
// the sample gives the chart's current values and the panels' texts. The
// samples are made by the conversions the families use.

#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "app/value_panel_model.h"
#include "drivers/brio/brio_notify.h"
#include "drivers/sentinel_utils.h"
#include "measurement/channel_conversion.h"
#include "platform/number_text.h"

namespace {

namespace CV = ChannelValues;
using ChannelConversion::TArgoBurstLayout;
using ChannelConversion::TBrioBurstLayout;

constexpr float N = CV::kNoValue;
// The current values before the sample: a reading changes only what it carries.
constexpr TChannelValues kBefore{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};

struct PathCase {
  const char* name;
  std::function<TChannelSample()> sample;
  bool fahrenheit;
  TChannelValues chart;               // the current values after it
  std::map<int, const char*> panels;  // channel -> text; the rest keep theirs
  std::uint16_t hidden;               // panels the sample hides
  bool closesPoll;
};

TBrioBurstLayout Brio(int channels, bool hires, bool box, bool inspection) {
  TBrioBurstLayout l;
  l.Channels = channels;
  l.HighResolution = hires;
  l.HasBox = box;
  l.InputInspection = inspection;
  return l;
}

// A second-generation new-value notification as the driver posts it.
TChannelSample Notify(int type, std::int32_t value, bool hires) {
  const std::uint32_t wParam = static_cast<std::uint32_t>(type) << 16;
  return ChannelConversion::BrioV2Reading(static_cast<int>(wParam >> 16), value, hires, 0.0);
}

constexpr std::uint16_t kInspection = TChannelSample::Bit(CV::Epsilon) | TChannelSample::Bit(CV::MVin) |
                                      TChannelSample::Bit(CV::Vcc) | TChannelSample::Bit(CV::TAmb);

const PathCase kCases[] = {
    // --- single-colour family: burst records ---
    {"single-colour record",
     [] {
       return ChannelConversion::ArgoRecordSample({1250, 1200, 1300, 2000}, TArgoBurstLayout::Standard, false,
                                                  1.5);
     },
     false,
     {25, 20, 30, 100, 0, 0, 0, 0, 0, 0, 0},
     {{CV::TObj, "25.0°C"},
      {CV::TInt, "20.0°C"},
      {CV::TBox, "30.0°C"},
      {CV::TAct, "100.0°C"},
      {CV::T2C, "0.0°C"},
      {CV::T1C, "0.0°C"},
      {CV::Tau, "0.0%"}},
     0,
     false},
    {"single-colour record in °F",
     [] {
       return ChannelConversion::ArgoRecordSample({2000, 1000}, TArgoBurstLayout::Fast, false, 0.0);
     },
     true,
     {100, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
     {{CV::TObj, "212.0°F"},
      {CV::TAct, "32.0°F"},
      {CV::TInt, "32.0°F"},
      {CV::TBox, "32.0°F"},
      {CV::T2C, "32.0°F"},
      {CV::T1C, "32.0°F"},
      {CV::Tau, "0.0%"}},
     0,
     false},
    {"fastest record: object and actual temperature",
     [] {
       return ChannelConversion::ArgoRecordSample({1250, 2000}, TArgoBurstLayout::Fast, false, 0.0);
     },
     false,
     {25, 0, 0, 100, 0, 0, 0, 0, 0, 0, 0},
     {{CV::TObj, "25.0°C"},
      {CV::TAct, "100.0°C"},
      {CV::TInt, "0.0°C"},
      {CV::TBox, "0.0°C"},
      {CV::T2C, "0.0°C"},
      {CV::T1C, "0.0°C"},
      {CV::Tau, "0.0%"}},
     0,
     false},
    {"ratio record",
     [] {
       return ChannelConversion::ArgoRecordSample({11000, 9000, 1300, 1955, 8000}, TArgoBurstLayout::Ratio,
                                                  false, 0.0);
     },
     false,
     {1000, 0, 30, 95.5f, 800, 700, 95.5f, 0, 0, 0, 0},
     {{CV::TObj, "1000°C"},
      {CV::T2C, "800.0°C"},
      {CV::T1C, "700.0°C"},
      {CV::Tau, "95.5%"},
      {CV::TBox, "30.0°C"},
      {CV::TAct, "95.5°C"},
      {CV::TInt, "0.0°C"}},
     0,
     false},
    {"ratio record, object as percentage",
     [] {
       return ChannelConversion::ArgoRecordSample({1955, 9000, 1300, 1800, 8000}, TArgoBurstLayout::Ratio,
                                                  true, 0.0);
     },
     false,
     {95.5f, 0, 30, 80, 800, 700, 80, 0, 0, 0, 0},
     {{CV::TObj, "95.5%"},
      {CV::Tau, "80.0%"},
      {CV::TAct, "80.0°C"},
      {CV::T2C, "800.0°C"},
      {CV::T1C, "700.0°C"},
      {CV::TBox, "30.0°C"},
      {CV::TInt, "0.0°C"}},
     0,
     false},
    // --- single-colour family: the read of each channel ---
    {"read object",
     [] { return ChannelConversion::ReadingOfType(1, 25.0f, false, 0.0); },
     false,
     {25, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11},
     {{CV::TObj, "25.0°C"}},
     0,
     false},
    {"read object as percentage",
     [] { return ChannelConversion::ReadingOfType(1, 95.5f, true, 0.0); },
     false,
     {95.5f, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11},
     {{CV::TObj, "95.5%"}},
     0,
     false},
    {"read internal: closes the poll",
     [] { return ChannelConversion::ReadingOfType(2, 20.0f, false, 0.0); },
     false,
     {1, 20, 3, 4, 5, 6, 7, 8, 9, 10, 11},
     {{CV::TInt, "20.0°C"}},
     0,
     true},
    {"read box",
     [] { return ChannelConversion::ReadingOfType(3, 250.0f, false, 0.0); },
     false,
     {1, 2, 250, 4, 5, 6, 7, 8, 9, 10, 11},
     {{CV::TBox, "250.0°C"}},
     0,
     false},
    {"read actual",
     [] { return ChannelConversion::ReadingOfType(4, 1500.0f, true, 0.0); },
     false,
     {1, 2, 3, 1500, 5, 6, 7, 8, 9, 10, 11},
     {{CV::TAct, "1500°C"}},
     0,
     false},
    {"read quotient",
     [] { return ChannelConversion::ReadingOfType(5, 800.0f, false, 0.0); },
     false,
     {1, 2, 3, 4, 800, 6, 7, 8, 9, 10, 11},
     {{CV::T2C, "800.0°C"}},
     0,
     false},
    {"read single",
     [] { return ChannelConversion::ReadingOfType(6, 700.0f, false, 0.0); },
     true,
     {1, 2, 3, 4, 5, 700, 7, 8, 9, 10, 11},
     {{CV::T1C, "1292°F"}},
     0,
     false},
    {"read Tau: closes the ratio poll",
     [] { return ChannelConversion::ReadingOfType(7, 42.0f, false, 0.0); },
     true,
     {1, 2, 3, 4, 5, 6, 42, 8, 9, 10, 11},
     {{CV::Tau, "42.0%"}},
     0,
     true},
    {"read of no known type",
     [] { return ChannelConversion::ReadingOfType(9, 42.0f, false, 0.0); },
     false,
     kBefore,
     {},
     0,
     false},
    {"a failed read shows no value",
     [] { return ChannelConversion::ReadingOfType(1, -9999.0f, false, 0.0); },
     false,
     {-9999.0f, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11},
     {{CV::TObj, "-----"}},
     0,
     false},
    // --- first-generation Brio: burst record and reads ---
    {"first-generation record",
     [] {
       return ChannelConversion::BrioRecordSample({1250, 1200, 1999}, Brio(2, false, false, false), 0.0);
     },
     false,
     {25, 20, N, N, 0, 0, 0, 0, 0, 0, 0},
     {{CV::TObj, "25.0°C"}, {CV::TInt, "20.0°C"}, {CV::TAct, "-----"}, {CV::TBox, "-----"}},
     kInspection,
     false},
    {"first-generation read target",
     [] { return ChannelConversion::ReadingOfType(1, 25.0f, false, 0.0); },
     false,
     {25, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11},
     {{CV::TObj, "25.0°C"}},
     0,
     false},
    {"first-generation read actual",
     [] { return ChannelConversion::ReadingOfType(4, 30.0f, false, 0.0); },
     false,
     {1, 2, 3, 30, 5, 6, 7, 8, 9, 10, 11},
     {{CV::TAct, "30.0°C"}},
     0,
     false},
    // --- second-generation Brio: burst records ---
    {"second-generation record at high resolution",
     [] {
       return ChannelConversion::BrioRecordSample({12512, 12000, 13000}, Brio(3, true, false, false), 0.0);
     },
     false,
     {25.12f, 20, N, 30, 0, 0, 0, 0, 0, 0, 0},
     {{CV::TObj, "25.12°C"}, {CV::TInt, "20.00°C"}, {CV::TAct, "30.00°C"}, {CV::TBox, "-----"}},
     kInspection,
     false},
    {"second-generation record with box and input inspection",
     [] {
       return ChannelConversion::BrioRecordSample({1250, 1200, 1300, 2500, 950, 5000, 2400, 1250},
                                                  Brio(8, false, true, true), 0.0);
     },
     false,
     {25, 20, 150, 30, 0, 0, 0, 95, 50, 24, 25},
     {{CV::TObj, "25.0°C"},
      {CV::TInt, "20.0°C"},
      {CV::TAct, "30.0°C"},
      {CV::TBox, "150.0°C"},
      {CV::Epsilon, "0.950"},
      {CV::MVin, "5.000 V"},
      {CV::Vcc, "2.400 V"},
      {CV::TAmb, "25.0°C"}},
     0,
     false},
    {"a box temperature above 200 is no reading for the chart; its panel shows it",
     [] {
       return ChannelConversion::BrioRecordSample({1250, 1200, 1300, 3500}, Brio(4, false, true, false), 0.0);
     },
     false,
     {25, 20, 0, 30, 0, 0, 0, 0, 0, 0, 0},
     {{CV::TObj, "25.0°C"}, {CV::TInt, "20.0°C"}, {CV::TAct, "30.0°C"}, {CV::TBox, "250.0°C"}},
     kInspection,
     false},
    // --- second-generation Brio: each notification ---
    {"notified object: closes the poll",
     [] { return Notify(1, 2512, false); },
     false,
     {251.2f, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11},
     {{CV::TObj, "251.2°C"}},
     0,
     true},
    {"notified object at high resolution",
     [] { return Notify(1, 2512, true); },
     false,
     {25.12f, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11},
     {{CV::TObj, "25.12°C"}},
     0,
     true},
    {"notified internal",
     [] { return Notify(2, 200, false); },
     false,
     {1, 20, 3, 4, 5, 6, 7, 8, 9, 10, 11},
     {{CV::TInt, "20.0°C"}},
     0,
     false},
    {"notified actual at high resolution",
     [] { return Notify(4, -1050, true); },
     false,
     {1, 2, 3, -10.5f, 5, 6, 7, 8, 9, 10, 11},
     {{CV::TAct, "-10.50°C"}},
     0,
     false},
    {"notified box: always tenths",
     [] { return Notify(5, 355, true); },
     false,
     {1, 2, 35.5f, 4, 5, 6, 7, 8, 9, 10, 11},
     {{CV::TBox, "35.5°C"}},
     0,
     false},
    {"notified emissivity: the unit of a record",
     [] { return Notify(6, 950, false); },
     false,
     {1, 2, 3, 4, 5, 6, 7, 95, 9, 10, 11},
     {{CV::Epsilon, "0.950"}},
     0,
     false},
    {"notified supply voltage: one decimal",
     [] { return Notify(7, 24125, false); },
     false,
     {1, 2, 3, 4, 5, 6, 7, 8, 9, 241.25f, 11},
     {{CV::Vcc, "24.1 V"}},
     0,
     false},
    {"notified ambient at high resolution",
     [] { return Notify(8, 2333, true); },
     true,
     {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 23.33f},
     {{CV::TAmb, "73.99°F"}},
     0,
     false},
    {"a notification of no known type", [] { return Notify(3, 100, false); }, false, kBefore, {}, 0, false},
};

class ValuePath : public ::testing::TestWithParam<PathCase> {
 protected:
  void SetUp() override {
    NumberText::SetDecimalSeparator(QLatin1Char('.'));
    SentinelUtils::UnitCelsiusText = QStringLiteral("°C");
    SentinelUtils::UnitFahrenheitText = QStringLiteral("°F");
  }
  void TearDown() override { NumberText::SetDecimalSeparator(QChar()); }
};

TEST_P(ValuePath, ToChartAndPanels) {
  const PathCase& c = GetParam();
  const TChannelSample sample = c.sample();

  TChannelValues current = kBefore;
  sample.ApplyTo(current);
  for (std::size_t k = 0; k < CV::kCount; ++k) EXPECT_NEAR(current[k], c.chart[k], 1e-3) << "channel " << k;

  TValuePanelModel panels;
  constexpr std::uint16_t kAll = TValuePanelModel::kAllChannels;
  panels.Arrange(kAll, true, true);
  for (int ch = 0; ch < 11; ++ch) panels.ShowText(ch, {QStringLiteral("before"), false});
  panels.ShowSample(sample, c.fahrenheit);
  for (int ch = 0; ch < 11; ++ch) {
    const auto it = c.panels.find(ch);
    const QString expected = it != c.panels.end() ? QString::fromUtf8(it->second) : QStringLiteral("before");
    EXPECT_EQ(panels.Text(ch), expected) << "channel " << ch;
    const bool hidden = (c.hidden & TChannelSample::Bit(ch)) != 0;
    EXPECT_EQ(panels.Visible(TValuePanelModel::Top, ch), !hidden) << "channel " << ch;
  }
  EXPECT_EQ(sample.ClosesPoll, c.closesPoll);
}

INSTANTIATE_TEST_SUITE_P(EveryFamilyAndSource, ValuePath, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return "case" + std::to_string(info.index); });

// A value reaches the external displays in one unit, whatever it came
// from: the second generation's notified emissivity and supply voltage
// give the display the same number as a burst record of the same value
// (thousandths of the emissivity, millivolts).
TEST(ValuePathDisplays, NotifiedAndStreamedInputsEncodeAlike) {
  const TChannelSample streamed = ChannelConversion::BrioRecordSample(
      {1250, 1200, 1300, 2500, 950, 5000, 24125, 1250}, Brio(8, false, true, true), 0.0);
  const struct {
    int channel;
    TChannelSample notified;
    std::uint32_t raw;
  } cases[] = {{CV::Epsilon, Notify(6, 950, false), 950}, {CV::Vcc, Notify(7, 24125, false), 24125}};
  for (const auto& c : cases) {
    const int kind = CV::DisplayKindOfChannel(c.channel);
    TChannelValues fromRecord{};
    TChannelValues fromNotification{};
    streamed.ApplyTo(fromRecord);
    c.notified.ApplyTo(fromNotification);
    TValuePanelModel m;
    const auto a = m.FeedDisplay(kind, fromRecord[static_cast<std::size_t>(c.channel)], {});
    const auto b = m.FeedDisplay(kind, fromNotification[static_cast<std::size_t>(c.channel)], {});
    EXPECT_EQ(a.WParam & 0xFFFFu, c.raw) << c.channel;
    EXPECT_EQ(b.WParam, a.WParam) << c.channel;
  }
}

}  // namespace
