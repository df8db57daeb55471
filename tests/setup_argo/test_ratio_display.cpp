// The display page of the ratio setup dialog without its widgets: what the
// rows and backlight controls show, the eight rows written after an edit,
// the standard display, the jog step rules and the jog images' pixels.

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <functional>
#include <optional>
#include <vector>

#include "drivers/argo/pyreon_argo.h"
#include "setup_argo/argo_setup_session.h"
#include "setup_argo/ratio_display_jog.h"
#include "setup_argo/ratio_display_jog_painter.h"
#include "setup_argo/ratio_display_page.h"
#include "setup_argo/ratio_display_session.h"
#include "tests/setup_argo/argo_session_fixture.h"

namespace argotest {
namespace {

using Page = RatioDisplayPage;
using Jog = RatioDisplayJog;
using Outcome = ArgoSetupSession::TOutcome;
using Bytes = std::vector<std::uint8_t>;

// A ratio device's cache: model range 700..2500 °C, firmware 5016, each
// row's entries distinct per source.
TArgoConfig RatioConfig() {
  TArgoConfig c;
  c.FWrev = 5016;
  c.ModelInfo.LoRangeTemp = 700.0f;
  c.ModelInfo.HiRangeTemp = 2500.0f;
  for (std::size_t row = 0; row < 8; ++row) {
    for (std::size_t s = 0; s < 4; ++s) {
      c.VisualAlarms[row].Lo[s] = static_cast<float>(10 * s + row);
      c.VisualAlarms[row].Hi[s] = static_cast<float>(100 * (s + 1) + row);
      c.VisualAlarms[row].Flags[s] = static_cast<std::uint8_t>((row + s) % 8);
    }
  }
  return c;
}

TEST(RatioDisplayPage, RowsBySource) {
  struct Case {
    const char* name;
    int source;
    std::uint8_t processSource;
    bool fahrenheit;
    std::optional<int> dataSource;
    Page::Unit unit;
    double minimum, maximum;
  };
  const Case cases[] = {
      {"Tquot", 0, 0, false, 0, Page::Unit::Celsius, 700, 2500},
      {"Tsingle in Fahrenheit", 1, 0, true, 1, Page::Unit::Fahrenheit, 1292, 4532},
      {"Tau in percent", 2, 0, true, 2, Page::Unit::Percent, -50, 100},
      {"TBox", 3, 0, false, 3, Page::Unit::Celsius, -20, 80},
      {"process value of Tsingle", 4, 1, false, 1, Page::Unit::Celsius, 700, 2500},
      {"process value of Tau", 4, 2, false, 2, Page::Unit::Percent, -50, 100},
      {"fixed blue", 5, 0, false, std::nullopt, Page::Unit::Celsius, 0, 0},
      {"fixed red", 7, 0, false, std::nullopt, Page::Unit::Celsius, 0, 0},
      {"a source byte without an item", 200, 0, false, std::nullopt, Page::Unit::Celsius, 0, 0},
      {"a process source the page does not know", 4, 3, false, std::nullopt, Page::Unit::Celsius, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TArgoConfig config = RatioConfig();
    config.ProcessSource = c.processSource;
    config.TempUnitFahrenheit = c.fahrenheit;
    const Page::TState st = Page::Load(c.source, config);
    EXPECT_EQ(st.dataSource, c.dataSource);
    EXPECT_EQ(st.rowsEnabled, c.dataSource.has_value());
    if (!c.dataSource) continue;
    EXPECT_EQ(st.unit, c.unit);
    const auto s = static_cast<std::size_t>(*c.dataSource);
    for (std::size_t row = 0; row < 8; ++row) {
      const TArgoVisualAlarm& a = config.VisualAlarms[row];
      const double scale = c.fahrenheit && c.unit != Page::Unit::Percent ? 1.8 : 1.0;
      const double shift = c.fahrenheit && c.unit != Page::Unit::Percent ? 32.0 : 0.0;
      EXPECT_NEAR(st.rows[row].minimum, c.minimum, 1e-3);
      EXPECT_NEAR(st.rows[row].maximum, c.maximum, 1e-3);
      EXPECT_NEAR(st.rows[row].low, a.Lo[s] * scale + shift, 1e-3);
      EXPECT_NEAR(st.rows[row].high, a.Hi[s] * scale + shift, 1e-3);
      EXPECT_EQ(st.rows[row].blue, (a.Flags[s] & 4) != 0);
      EXPECT_EQ(st.rows[row].green, (a.Flags[s] & 2) != 0);
      EXPECT_EQ(st.rows[row].red, (a.Flags[s] & 1) != 0);
      EXPECT_EQ(st.rows[row].lit, a.Flags[s] != 0);
    }
  }
  EXPECT_EQ(Page::SourceIndex(7), 7);
  EXPECT_EQ(Page::SourceIndex(8), -1);
}

TEST(RatioDisplayPage, BacklightModeByFirmware) {
  struct Case {
    const char* name;
    std::uint16_t firmware;
    std::uint8_t mode;
    bool choice, ranges, standard, threshold;
  };
  const Case cases[] = {
      {"5012: no mode choice", 5012, 0x01, false, true, true, false},
      {"5013 in ranges mode", 5013, 0x00, true, true, true, false},
      {"5013 in threshold mode", 5013, 0x01, true, false, false, true},
      {"5099 in threshold mode", 5099, 0x0D, true, false, false, true},
      {"5100: no mode choice", 5100, 0x01, false, true, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TArgoConfig config = RatioConfig();
    config.FWrev = c.firmware;
    config.RatioAlarmMode = c.mode;
    config.Alarm[0] = 800.0f;
    config.Alarm[1] = 1500.0f;
    config.RatioAlarmHysteresis = 5.0f;
    config.TempUnitFahrenheit = true;
    const Page::TState st = Page::Load(0, config);
    EXPECT_EQ(st.modeChoiceVisible, c.choice);
    EXPECT_EQ(st.rangesGroupVisible, c.ranges);
    EXPECT_EQ(st.standardButtonVisible, c.standard);
    EXPECT_EQ(st.thresholdGroupVisible, c.threshold);
    if (c.choice) {
      EXPECT_NEAR(st.valueBlue, 1472.0, 1e-3);
      EXPECT_NEAR(st.valueRed, 2732.0, 1e-3);
      EXPECT_NEAR(st.hysteresis, 9.0, 1e-3);
      EXPECT_EQ(st.blueClosed, (c.mode & 4) != 0);
      EXPECT_EQ(st.redClosed, (c.mode & 8) != 0);
    }
  }
}

// An edit writes all eight rows, changing only the shown source's entries;
// a source without entries writes nothing.
TEST(RatioDisplayPage, RowsToWrite) {
  TArgoConfig config = RatioConfig();
  config.TempUnitFahrenheit = true;
  std::array<Page::TRowEdit, 8> edits{};
  for (std::size_t row = 0; row < 8; ++row) edits[row] = {212.0 + row, 392.0, false, true, row == 3};
  const auto rows = Page::Rows(1, config, edits);
  ASSERT_TRUE(rows.has_value());
  for (std::size_t row = 0; row < 8; ++row) {
    for (std::size_t s : {0u, 2u, 3u}) {
      EXPECT_EQ((*rows)[row].Lo[s], config.VisualAlarms[row].Lo[s]);
      EXPECT_EQ((*rows)[row].Hi[s], config.VisualAlarms[row].Hi[s]);
      EXPECT_EQ((*rows)[row].Flags[s], config.VisualAlarms[row].Flags[s]);
    }
    EXPECT_NEAR((*rows)[row].Lo[1], 100.0 + row / 1.8, 1e-3);
    EXPECT_NEAR((*rows)[row].Hi[1], 200.0, 1e-3);
    EXPECT_EQ((*rows)[row].Flags[1], row == 3 ? 3 : 2);
  }
  // Tau in percent is not converted; the process value with process source 2 is Tau.
  config.ProcessSource = 2;
  const auto tau = Page::Rows(4, config, edits);
  ASSERT_TRUE(tau.has_value());
  EXPECT_FLOAT_EQ((*tau)[0].Lo[2], 212.0f);
  for (int source : {5, 6, 7, 8, 255, -1})
    EXPECT_FALSE(Page::Rows(source, config, edits).has_value()) << source;
  EXPECT_EQ(Page::PackLeds(true, false, true), 5);
  EXPECT_EQ(Page::PackLeds(false, true, false), 2);
}

class RatioDisplaySessionTest : public ArgoSessionTest {
 protected:
  void Open() {
    StartSession({}, QStringLiteral("ratio"));
    ReadAllAndOpenSetup();
    display_ = std::make_unique<RatioDisplaySession>(*setup_);
    std::optional<Outcome> out;
    setup_->ReadCache([&](const Outcome& o) { out = o; });
    ASSERT_TRUE(WaitForEvents([&] { return out.has_value(); }, 10000));
    cache_ = out->config;
    model_->ClearRequests();
  }
  void TearDown() override {
    display_.reset();
    setup_.reset();
    ArgoSessionTest::TearDown();
  }
  Outcome Run(const std::function<void(RatioDisplaySession&, ArgoSetupSession::Done)>& start) {
    std::optional<Outcome> out;
    start(*display_, [&](const Outcome& o) { out = o; });
    EXPECT_TRUE(WaitForEvents([&] { return out.has_value(); }, 20000));
    return out.value_or(Outcome{});
  }

  std::unique_ptr<RatioDisplaySession> display_;
  TArgoConfig cache_;
};

// One check box changed: all eight rows go out (0x6F per row), each with its
// four sources' low and high words and LED bytes.
TEST_F(RatioDisplaySessionTest, VisualAlarmRowsAndStandardDisplay) {
  Open();
  const ArgoDeviceState before = State();
  const Page::TState shown = Page::Load(0, cache_);
  std::array<Page::TRowEdit, 8> edits{};
  for (std::size_t row = 0; row < 8; ++row) {
    const Page::TRow& r = shown.rows[row];
    edits[row] = {r.low, r.high, r.blue, r.green, r.red};
  }
  edits[2] = {1000.0, 1200.5, true, false, true};
  const auto rows = Page::Rows(0, cache_, edits);
  ASSERT_TRUE(rows.has_value());
  Outcome o = Run([&](RatioDisplaySession& s, auto done) { s.WriteVisualAlarms(*rows, done); });
  EXPECT_TRUE(o.report.AllConfirmed());
  const auto requests = RequestBytes();
  ASSERT_EQ(requests.size(), 8u);
  for (std::size_t i = 0; i < 8; ++i) {
    ASSERT_EQ(requests[i].size(), 23u);
    EXPECT_EQ(requests[i][0], 0x6F);
    EXPECT_EQ(requests[i][1], i);
    if (i != 2) {
      EXPECT_TRUE(
          std::equal(before.visualAlarm[i].begin(), before.visualAlarm[i].end(), requests[i].begin() + 2));
    }
  }
  // Row 2: source 0 becomes 1000.0 .. 1200.5 (words 11000, 13005) with blue and red.
  const Bytes source0(requests[2].begin() + 2, requests[2].begin() + 7);
  EXPECT_EQ(source0, (Bytes{0x2A, 0xF8, 0x32, 0xCD, 0x05}));
  EXPECT_TRUE(
      std::equal(before.visualAlarm[2].begin() + 5, before.visualAlarm[2].end(), requests[2].begin() + 7));
  EXPECT_EQ(Page::Load(0, o.config).rows[2].high, 1200.5);

  // The standard display: 0x80 0x00, then the rows and both sources read back.
  SetState([](ArgoDeviceState& s) { s.visualAlarmSource = 6; });
  model_->ClearRequests();
  o = Run([](RatioDisplaySession& s, auto done) { s.SetStandardDisplay(done); });
  EXPECT_TRUE(o.report.AllConfirmed());
  std::vector<QString> names = RequestNames();
  ASSERT_EQ(names.size(), 11u);
  EXPECT_EQ(RequestBytes().front(), (Bytes{0x80, 0x00, 0x80}));
  EXPECT_EQ(names[1], QStringLiteral("GetVisualAlarmSettings"));
  EXPECT_EQ(names[9], QStringLiteral("GetVisualAlarmSource"));
  EXPECT_EQ(names[10], QStringLiteral("GetDisplayMainSource"));
  EXPECT_EQ(o.config.VisualAlarms, cache_.VisualAlarms);
  EXPECT_EQ(o.config.VisualAlarmSource, before.visualAlarmSource);
}

TEST(RatioDisplayJog, StepsByOffsetFromTheCentre) {
  const std::vector<std::pair<int, int>> cases = {{0, 0},    {9, 0},    {-9, 0},    {10, -1},
                                                  {-10, 1},  {29, -1},  {30, -10},  {-49, 10},
                                                  {50, -50}, {-69, 50}, {70, -100}, {-300, 100}};
  for (const auto& [d, step] : cases) EXPECT_EQ(Jog::StepForOffset(d), step) << d;
  const std::vector<std::pair<int, int>> states = {{0, 0}, {1, 1}, {-10, -2}, {50, 3}, {-100, -4}};
  for (const auto& [step, state] : states) EXPECT_EQ(Jog::StateForStep(step), state) << step;
}

// A quick click on the upper half raises the emissivity by 0.001; held 70
// pixels below the centre it falls by 0.1 every tick down to 0.05.
TEST(RatioDisplayJog, ClickAndHold) {
  Jog jog;
  constexpr int h = 60;
  jog.MouseDown(Jog::Epsilon, 10, h, 1000);
  EXPECT_EQ(jog.MouseUp(Jog::Epsilon, 12, h, 1300, 0.950), std::optional<double>(0.951));
  // Too slow, or released on the other side: nothing.
  jog.MouseDown(Jog::Epsilon, 10, h, 2000);
  EXPECT_FALSE(jog.MouseUp(Jog::Epsilon, 10, h, 2500, 0.950).has_value());
  jog.MouseDown(Jog::Epsilon, 10, h, 3000);
  EXPECT_FALSE(jog.MouseUp(Jog::Epsilon, 50, h, 3100, 0.950).has_value());
  jog.MouseDown(Jog::Epsilon, 30, h, 4000);  // exactly on the centre
  EXPECT_FALSE(jog.MouseUp(Jog::Epsilon, 30, h, 4100, 0.950).has_value());

  jog.MouseDown(Jog::Epsilon, 40, h, 5000);
  EXPECT_EQ(jog.MouseMove(Jog::Epsilon, 30 + 70, h), -4);
  EXPECT_EQ(jog.ActiveImage(), Jog::Epsilon);
  double value = 0.3;
  std::vector<double> seen;
  for (int tick = 0; tick < 5; ++tick) {
    const auto t = jog.Tick(value);
    ASSERT_TRUE(t.has_value());
    EXPECT_EQ(t->image, Jog::Epsilon);
    value = t->value;
    seen.push_back(value);
  }
  EXPECT_EQ(seen, (std::vector<double>{0.2, 0.1, 0.05, 0.05, 0.05}));
  // Back into the dead zone: the emissivity jog stops.
  EXPECT_EQ(jog.MouseMove(Jog::Epsilon, 33, h), 0);
  EXPECT_FALSE(jog.Tick(value).has_value());
  EXPECT_FALSE(jog.MouseUp(Jog::Epsilon, 33, h, 9000, value).has_value());
}

// The attenuation jog steps in tenths and never leaves -50 .. 99; the other
// jogs run on with step 0 in the dead zone and end at the release.
TEST(RatioDisplayJog, AttenuationAndDeadZone) {
  Jog jog;
  constexpr int h = 80;
  jog.MouseDown(Jog::TauMin, 5, h, 0);
  EXPECT_EQ(jog.MouseUp(Jog::TauMin, 5, h, 100, 98.95), std::optional<double>(99.0));
  jog.MouseDown(Jog::TauMin, 75, h, 1000);
  EXPECT_EQ(jog.MouseUp(Jog::TauMin, 75, h, 1100, -49.95), std::optional<double>(-50.0));
  jog.MouseDown(Jog::TauMin, 5, h, 2000);
  EXPECT_EQ(jog.MouseMove(Jog::TauMin, 40 - 35, h), 2);
  EXPECT_DOUBLE_EQ(jog.Tick(95.0)->value, 96.0);
  EXPECT_DOUBLE_EQ(jog.Tick(98.5)->value, 99.0);
  jog.MouseMove(Jog::TauMin, 40 - 75, h);
  EXPECT_DOUBLE_EQ(jog.Tick(98.5)->value, 99.0);
  EXPECT_DOUBLE_EQ(jog.Tick(-20.0)->value, -10.0);

  jog.MouseMove(Jog::TauMin, 41, h);
  ASSERT_TRUE(jog.Tick(12.3).has_value());
  EXPECT_DOUBLE_EQ(jog.Tick(12.3)->value, 12.3);
  jog.MouseUp(Jog::TauMin, 41, h, 5000, 12.3);
  EXPECT_EQ(jog.ActiveImage(), -1);
  for (int image = 0; image < Jog::ImageCount; ++image) EXPECT_EQ(jog.StepOf(image), 0);
  EXPECT_DOUBLE_EQ(Jog::Stepped(Jog::Gain2C, 1.0995, 10), 1.1);
  EXPECT_DOUBLE_EQ(Jog::Stepped(Jog::Slope, 0.8, -1), 0.8);
}

TEST(RatioDisplayJogPainter, ShapesAndColours) {
  const QColor face(240, 240, 240);
  struct Case {
    int state;
    QColor centre;
  };
  const Case cases[] = {{1, Qt::yellow}, {-1, Qt::yellow}, {2, Qt::cyan}, {-2, Qt::cyan},
                        {3, Qt::green},  {-3, Qt::green},  {4, Qt::red},  {-4, Qt::red}};
  // The five jog images share one size on the page; every state is drawn on each.
  for (int image = 0; image < Jog::ImageCount; ++image) {
    QImage img(24, 100, QImage::Format_RGB32);
    for (const Case& c : cases) {
      SCOPED_TRACE(c.state);
      RatioDisplayJogPainter::DrawJog(img, c.state, face);
      EXPECT_EQ(img.pixelColor(12, 50 + 8 * (c.state > 0 ? 1 : -1)), c.centre);
      // Up: the tip at the top, the wide base at the bottom.
      const int wideY = c.state > 0 ? 93 : 6;
      const int tipY = c.state > 0 ? 6 : 93;
      EXPECT_EQ(img.pixelColor(7, wideY), c.centre);
      EXPECT_EQ(img.pixelColor(7, tipY), face);
      EXPECT_EQ(img.pixelColor(0, 0), face);
      EXPECT_EQ(img.pixelColor(1, 52), QColor(255, 255, 255));
      EXPECT_EQ(img.pixelColor(1, 51), QColor(128, 128, 128));
    }
    RatioDisplayJogPainter::DrawJog(img, 0, face);
    EXPECT_EQ(img.pixelColor(12, 25), QColor(Qt::black));
    EXPECT_EQ(img.pixelColor(12, 75), QColor(Qt::black));
    EXPECT_EQ(img.pixelColor(12, 10), face);
    EXPECT_EQ(img.pixelColor(12, 90), face);
    EXPECT_EQ(img.pixelColor(3, 30), face);
    EXPECT_EQ(img.pixelColor(12, 50), face);
  }
}

}  // namespace
}  // namespace argotest
