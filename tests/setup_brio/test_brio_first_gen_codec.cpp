#include <gtest/gtest.h>

#include <QString>
#include <cmath>
#include <optional>

#include "brio_first_gen_fixture.h"
#include "setup_brio/brio_first_gen_codec.h"

using namespace brio_test;

namespace {

SetupValues Decoded(const BrioConfigImage& config, const BrioCalibrationImage& cal, bool fahrenheit = false) {
  SetupValues v;
  BrioFirstGenCodec::ParamsToControls(config, cal, fahrenheit, v);
  return v;
}

class BrioFirstGenCodecTest : public ::testing::Test {
 protected:
  SeparatorGuard separator_{QLatin1Char('.')};
  BrioCalibrationImage cal_ = Calibration();
  BrioConfigImage config_ = DefaultConfig();

  // The defaults as the dialog shows them, ready to encode.
  SetupValues Form(bool fahrenheit = false) const { return Decoded(config_, cal_, fahrenheit); }

  // Encodes `values`; expects success.
  BrioConfigImage Encode(const SetupValues& values, bool fahrenheit = false) const {
    BrioConfigImage out = config_;
    const std::optional<BrioFieldError> error =
        BrioFirstGenCodec::ControlsToParams(values, cal_, fahrenheit, out);
    EXPECT_FALSE(error.has_value()) << (error ? error->Message().toStdString() : "");
    return out;
  }
};

TEST_F(BrioFirstGenCodecTest, FirstDefaultImageDecodesToTheFactorySettings) {
  struct Case {
    const char* name;
    bool fahrenheit;
    const char* text;
  };
  const Case texts[] = {
      {"eTrans", false, "1.000"},    {"eAvg", false, "0.09"},      {"eEmiss", false, "0.950"},
      {"eFixAmb", false, "23.0"},    {"eAlarm2", false, "30.0"},   {"eFsTmin", false, "-100.0"},
      {"eFsTmax", false, "2000"},    {"eTmin", false, "0.0"},      {"eTmax", false, "350.0"},
      {"eAlarm1", false, "30.0"},    {"eHTime", false, "1.0"},     {"eHSchwelle", false, "30.0"},
      {"eHHysterese", false, "3.0"}, {"eGain", false, "1.000"},    {"eOffs", false, "0.0"},
      {"eFixAmb", true, "73.4"},     {"eAlarm2", true, "86.0"},    {"eFsTmin", true, "-148.0"},
      {"eFsTmax", true, "3632"},     {"eTmin", true, "32.0"},      {"eTmax", true, "662.0"},
      {"eHHysterese", true, "5.4"},  {"eHSchwelle", true, "86.0"}, {"eOffs", true, "0.0"},
  };
  for (const Case& c : texts) {
    EXPECT_EQ(Form(c.fahrenheit).Text(QLatin1String(c.name)), QLatin1String(c.text))
        << c.name << (c.fahrenheit ? " F" : " C");
  }
  const SetupValues v = Form();
  EXPECT_TRUE(v.Mark(QStringLiteral("cbSmartAvg")));
  const std::pair<const char*, int> lists[] = {
      {"cbEmissSrc", 0}, {"cbAmbSrc", 0},  {"cbAlarmSource", 0}, {"cbAlarmMode", 1}, {"cbFsAmb", 0},
      {"cbFsTarget", 0}, {"cbBurst1", 1},  {"cbBurst2", 2},      {"cbBurst3", 0},    {"cbBurst4", 0},
      {"cbBurst5", 0},   {"cbOutMode", 0}, {"cbLEDsource", 0},   {"cbLEDmode", 0},   {"cbHoldMode", 0},
  };
  for (const auto& [name, item] : lists) EXPECT_EQ(v.Index(QLatin1String(name)), item) << name;
}

TEST_F(BrioFirstGenCodecTest, EveryFieldEncodesAndDecodesBack) {
  struct Case {
    const char* name;
    SetupValue value;
    int offset;
    int bytes;              // 1 or 2
    unsigned mask;          // of the stored value
    unsigned expected;      // stored value under the mask
    const char* shownBack;  // decoded text when it differs from the typed one
  };
  const auto T = [](const char* t) { return SetupValue::OfText(QLatin1String(t)); };
  const auto I = [](int i) { return SetupValue::OfIndex(i); };
  const Case cases[] = {
      {"eEmiss", T("0.950"), 0, 2, 0xFFFF, 950, nullptr},
      {"eEmiss", T("1,100"), 0, 2, 0xFFFF, 1100, "1.100"},
      {"eTrans", T("0.500"), 2, 2, 0xFFFF, 500, nullptr},
      {"eAvg", T("0.09"), 4, 2, 0xFFFF, 2, nullptr},
      {"eAvg", T("0.04"), 4, 2, 0xFFFF, 0, "0.03"},
      {"eAvg", T("1.50"), 4, 2, 0xFFFF, 30, nullptr},
      {"eAvg", T("999.95"), 4, 2, 0xFFFF, 19999, nullptr},
      {"eHTime", T("12.5"), 6, 2, 0xFFFF, 125, nullptr},
      {"eHSchwelle", T("250.0"), 8, 2, 0xFFFF, 3500, nullptr},
      {"eHHysterese", T("2.5"), 10, 2, 0xFFFF, 25, nullptr},
      {"eAlarm1", T("45.5"), 16, 2, 0xFFFF, 1455, nullptr},
      {"eAlarm2", T("60.0"), 18, 2, 0xFFFF, 1600, nullptr},
      {"eGain", T("1.500"), 20, 2, 0xFFFF, 49152, nullptr},
      {"eOffs", T("-5.0"), 22, 2, 0xFFFF, 950, nullptr},
      {"eFixAmb", T("40.0"), 32, 2, 0xFFFF, 1400, nullptr},
      {"eFixAmb", T(" 40.0 "), 32, 2, 0xFFFF, 1400, "40.0"},
      {"eFsmVmin", T("-100"), 30, 2, 0xFFFF, 709, nullptr},
      {"eFsmVmax", T("4500"), 28, 2, 0xFFFF, 4078, nullptr},
      {"eTmin", T("100.0"), 118, 2, 0xFFFF, 2000, nullptr},
      {"eTmax", T("600.0"), 120, 2, 0xFFFF, 7000, nullptr},
      {"cbSmartAvg", SetupValue::OfMark(false), 43, 1, 0x40, 0x00, nullptr},
      {"cbAmbSrc", I(0), 45, 1, 0x0F, 0x04, nullptr},
      {"cbAmbSrc", I(1), 45, 1, 0x0F, 0x01, nullptr},
      {"cbAmbSrc", I(2), 45, 1, 0x0F, 0x02, nullptr},
      {"cbEmissSrc", I(0), 45, 1, 0xF0, 0x20, nullptr},
      {"cbEmissSrc", I(1), 45, 1, 0xF0, 0x10, nullptr},
      {"cbFsAmb", I(0), 42, 1, 0x18, 0x18, nullptr},
      {"cbFsAmb", I(1), 42, 1, 0x18, 0x08, nullptr},
      {"cbFsAmb", I(2), 42, 1, 0x18, 0x10, nullptr},
      {"cbFsAmb", I(3), 42, 1, 0x18, 0x00, nullptr},
      {"cbFsTarget", I(1), 42, 1, 0x60, 0x20, nullptr},
      {"cbFsTarget", I(2), 42, 1, 0x60, 0x40, nullptr},
      {"cbFsTarget", I(3), 42, 1, 0x60, 0x00, nullptr},
      {"cbHoldMode", I(1), 42, 1, 0x87, 0x04, nullptr},
      {"cbHoldMode", I(2), 42, 1, 0x87, 0x80, nullptr},
      {"cbHoldMode", I(3), 42, 1, 0x87, 0x01, nullptr},
      {"cbHoldMode", I(4), 42, 1, 0x87, 0x02, nullptr},
      {"cbOutMode", I(1), 44, 1, 0x88, 0x08, nullptr},
      {"cbOutMode", I(2), 44, 1, 0x88, 0x88, nullptr},
      {"cbOutMode", I(3), 103, 1, 0x08, 0x00, nullptr},
      {"cbLEDsource", I(1), 102, 1, 0x60, 0x40, nullptr},
      {"cbLEDmode", I(1), 102, 1, 0x10, 0x00, nullptr},
      {"cbBurst1", I(3), 106, 2, 0xFFFF, 0x0208, nullptr},
      {"cbBurst2", I(4), 108, 2, 0xFFFF, 0x1002, nullptr},
      {"cbBurst3", I(5), 110, 2, 0xFFFF, 0x0206, nullptr},
      {"cbBurst4", I(6), 112, 2, 0xFFFF, 0x0204, nullptr},
      {"cbBurst5", I(1), 114, 2, 0xFFFF, 0x0200, nullptr},
  };
  for (const Case& c : cases) {
    const QString name = QLatin1String(c.name);
    SetupValues form = Form();
    form.Set(name, c.value);
    const BrioConfigImage out = Encode(form);
    const unsigned stored = c.bytes == 1 ? out.Data[c.offset] : Word(out, c.offset);
    EXPECT_EQ(stored & c.mask, c.expected) << c.name << " " << c.value.Text.toStdString() << c.value.Index;
    const SetupValues back = Decoded(out, cal_);
    if (c.value.Kind == SetupValueKind::Text) {
      EXPECT_EQ(back.Text(name), c.shownBack ? QLatin1String(c.shownBack) : c.value.Text) << c.name;
    } else {
      EXPECT_EQ(back.Get(name), c.value) << c.name;
    }
  }
}

TEST_F(BrioFirstGenCodecTest, HoldModeTriggerItemsAndOutputModeTable) {
  EXPECT_EQ(BrioFirstGenCodec::HoldModeItem(0x04, 0x10), 5);
  EXPECT_EQ(BrioFirstGenCodec::HoldModeItem(0x80, 0x10), 6);
  EXPECT_EQ(BrioFirstGenCodec::HoldModeItem(0x01, 0x10), 3);
  EXPECT_EQ(BrioFirstGenCodec::HoldModeItem(0x05, 0x00), 0);  // two modes at once: off
  EXPECT_EQ(BrioFirstGenCodec::HoldModeBits(5), 0x04);
  EXPECT_EQ(BrioFirstGenCodec::HoldModeBits(6), 0x80);
  EXPECT_FALSE(BrioFirstGenCodec::HoldModeBits(-1).has_value());
  EXPECT_EQ(BrioFirstGenCodec::OutputModeItem(0x80, 0x08), 0);
  EXPECT_EQ(BrioFirstGenCodec::OutputModeItem(0x80, 0x00), 3);
  EXPECT_EQ(BrioFirstGenCodec::OutputModeItem(0x08, 0x00), 1);
  EXPECT_EQ(BrioFirstGenCodec::OutputModeItem(0x88, 0x08), 2);
  // The other bits of byte 42 stay when the hold mode is encoded.
  SetupValues form = Form();
  form.SetIndex(QStringLiteral("cbHoldMode"), 6);
  EXPECT_EQ(Encode(form).Data[42], 0x78 | 0x80);
}

TEST_F(BrioFirstGenCodecTest, WorkedAnalogOutputExample) {
  SetupValues form = Form();
  form.SetText(QStringLiteral("eTmin"), QStringLiteral("0.0"));
  form.SetText(QStringLiteral("eTmax"), QStringLiteral("500.0"));
  form.SetText(QStringLiteral("eMVmin"), QStringLiteral("0"));
  form.SetText(QStringLiteral("eMVmax"), QStringLiteral("5000"));
  form.SetText(QStringLiteral("eFsmVmin"), QStringLiteral("-100"));
  form.SetText(QStringLiteral("eFsmVmax"), QStringLiteral("4500"));
  const BrioConfigImage out = Encode(form);
  const std::uint8_t slope[] = {0xb8, 0x0b, 0x00, 0x00, 0x32, 0x00, 0x00, 0x00};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(out.Data[34 + i], slope[i]) << i;
  EXPECT_EQ(Word(out, 118), 1000);
  EXPECT_EQ(Word(out, 120), 6000);
  EXPECT_EQ(Word(out, 28), 4078);
  EXPECT_EQ(Word(out, 30), 709);
  const SetupValues back = Decoded(out, cal_);
  EXPECT_EQ(back.Text(QStringLiteral("eMVmin")), QStringLiteral("0"));
  EXPECT_EQ(back.Text(QStringLiteral("eMVmax")), QStringLiteral("5000"));
  EXPECT_EQ(back.Text(QStringLiteral("eFsmVmax")), QStringLiteral("4500"));
  EXPECT_EQ(back.Text(QStringLiteral("eAlarmMVmax")), QStringLiteral("4500"));
  EXPECT_EQ(back.Text(QStringLiteral("eFsmVmin")), QStringLiteral("-100"));
  // The hidden 0-5 V group: already within 0..5000 mV and -30..900 degrees;
  // the fail-safe limits (-100 and 2000 degrees) change nothing.
  EXPECT_EQ(back.Text(QStringLiteral("eTmin5")), QStringLiteral("0.0"));
  EXPECT_EQ(back.Text(QStringLiteral("eTmax5")), QStringLiteral("500.0"));
  EXPECT_EQ(back.Text(QStringLiteral("eMVmin5")), QStringLiteral("0"));
  EXPECT_EQ(back.Text(QStringLiteral("eMVmax5")), QStringLiteral("5000"));
}

TEST_F(BrioFirstGenCodecTest, ZeroToFiveVoltGroupFollowsTheClips) {
  // 0..1000 degrees over 0..10000 mV: 5000 mV is reached at 500.0 degrees;
  // fail-safe limits 100..400 degrees pull both ends in.
  SetupValues form = Form();
  form.SetText(QStringLiteral("eTmin"), QStringLiteral("0.0"));
  form.SetText(QStringLiteral("eTmax"), QStringLiteral("1000"));
  form.SetText(QStringLiteral("eMVmin"), QStringLiteral("0"));
  form.SetText(QStringLiteral("eMVmax"), QStringLiteral("10000"));
  form.SetMark(QStringLiteral("cbFailsafe"), true);
  form.SetText(QStringLiteral("eFsTmin"), QStringLiteral("100.0"));
  form.SetText(QStringLiteral("eFsTmax"), QStringLiteral("400.0"));
  const SetupValues back = Decoded(Encode(form), cal_);
  EXPECT_EQ(back.Text(QStringLiteral("eTmin5")), QStringLiteral("100.0"));
  EXPECT_EQ(back.Text(QStringLiteral("eMVmin5")), QStringLiteral("1000"));
  EXPECT_EQ(back.Text(QStringLiteral("eTmax5")), QStringLiteral("400.0"));
  EXPECT_EQ(back.Text(QStringLiteral("eMVmax5")), QStringLiteral("4000"));
}

TEST_F(BrioFirstGenCodecTest, AverageTimeEdgesAndTheMaximumRoundTrips) {
  EXPECT_EQ(BrioFirstGenCodec::AverageTimeText(0), QStringLiteral("0.03"));
  EXPECT_EQ(BrioFirstGenCodec::AverageTimeText(2), QStringLiteral("0.09"));
  EXPECT_EQ(BrioFirstGenCodec::AverageTimeRaw(0.09), 2);
  EXPECT_EQ(BrioFirstGenCodec::AverageTimeRaw(0.04), 0);
  EXPECT_EQ(BrioFirstGenCodec::AverageTimeRaw(999.95), 19999);
  // A device holding the largest time the check allows: its text passes the
  // check and encodes to the same word.
  SetWord(config_, 4, 19999);
  const SetupValues form = Form();
  EXPECT_EQ(form.Text(QStringLiteral("eAvg")), QStringLiteral("999.95"));
  EXPECT_EQ(Word(Encode(form), 4), 19999);
  // Every word up to it reads back as itself.
  for (int raw = 0; raw <= 19999; ++raw) {
    const std::optional<double> shown =
        BrioFieldCodec::ParseNumber(BrioFirstGenCodec::AverageTimeText(static_cast<std::uint16_t>(raw)));
    ASSERT_TRUE(shown);
    ASSERT_TRUE(BrioFirstGenCodec::CheckRange(static_cast<float>(*shown), 0.0f, 999.95f)) << raw;
    ASSERT_EQ(BrioFirstGenCodec::AverageTimeRaw(*shown), raw == 0 ? 0 : raw) << raw;
  }
}

TEST_F(BrioFirstGenCodecTest, ChecksRunInOrderWithTheirCaptions) {
  struct Case {
    const char* name;
    const char* text;
    const char* caption;  // nullptr: accepted
  };
  const Case cases[] = {
      {"eEmiss", "1.1", nullptr},
      {"eEmiss", "1.1001", "Emissivity"},
      {"eEmiss", "0.099", "Emissivity"},
      {"eEmiss", "", "Emissivity"},
      {"eTrans", "0.1", nullptr},
      {"eTrans", "1.2", "Transmission"},
      {"eAvg", "999.96", "Average time"},
      {"eAvg", "-0.01", "Average time"},
      {"eAvg", "abc", "Average time"},
      {"eGain", "2.0", "gen. Gain"},
      {"eGain", "1.99996", nullptr},
      {"eOffs", "200.1", "gen. Offset"},
      {"eOffs", "-100.0", nullptr},
      {"eFixAmb", "-30.1", "fixed ambient Temp"},
      // Within the check but below what the word holds (raw/10 - 100 K).
      {"eOffs", "-100.1", "gen. Offset"},
      {"eFixAmb", "900.0", nullptr},
      {"eMVmin", "-1", "Output mV min."},
      {"eMVmax", "11001", "Output mV max."},
      {"eMVmax", "1e300", "Output mV max."},
  };
  for (const Case& c : cases) {
    SetupValues form = Form();
    form.SetText(QLatin1String(c.name), QLatin1String(c.text));
    BrioConfigImage out = config_;
    const std::optional<BrioFieldError> error = BrioFirstGenCodec::ControlsToParams(form, cal_, false, out);
    if (!c.caption) {
      EXPECT_FALSE(error) << c.name << "=" << c.text;
      continue;
    }
    ASSERT_TRUE(error) << c.name << "=" << c.text;
    EXPECT_EQ(error->Control, QLatin1String(c.name));
    EXPECT_EQ(error->Message(), QStringLiteral("Error value : ") + QLatin1String(c.caption));
    EXPECT_EQ(out.Data, config_.Data) << c.name;
  }
  // The first failing check in the order wins.
  SetupValues form = Form();
  form.SetText(QStringLiteral("eMVmax"), QStringLiteral("20000"));
  form.SetText(QStringLiteral("eGain"), QStringLiteral("3"));
  BrioConfigImage out = config_;
  EXPECT_EQ(BrioFirstGenCodec::ControlsToParams(form, cal_, false, out)->Caption,
            QStringLiteral("gen. Gain"));
}

TEST_F(BrioFirstGenCodecTest, DecodedMinimumIsTakenATenthLower) {
  // W = 4096, S = 0: a raw temperature x gives x * A / 4096 + B - 1000 mV;
  // A = 4097, B = -253 and x = 2253 give 1000.55005 mV.
  cal_ = Calibration(4096, 0);
  SetLong(config_, 34, 4097);
  SetLong(config_, 38, static_cast<std::uint32_t>(-253));
  SetWord(config_, 118, 2253);
  SetWord(config_, 120, 2253);
  const SetupValues v = Form();
  EXPECT_EQ(v.Text(QStringLiteral("eMVmin")), QStringLiteral("1000"));
  EXPECT_EQ(v.Text(QStringLiteral("eMVmax")), QStringLiteral("1001"));
}

TEST_F(BrioFirstGenCodecTest, FahrenheitOffsetRoundTrips) {
  SetWord(config_, 22, 1010);
  const SetupValues form = Form(true);
  EXPECT_EQ(form.Text(QStringLiteral("eOffs")), QStringLiteral("1.8"));
  EXPECT_EQ(Word(Encode(form, true), 22), 1010);
}

TEST_F(BrioFirstGenCodecTest, UnknownCodesShowTheirFallback) {
  SetWord(config_, 106, 0x0280);
  config_.Data[45] = 0x33;  // neither nibble known: both lists keep their item
  SetupValues v;
  v.SetIndex(QStringLiteral("cbAmbSrc"), 2);
  v.SetIndex(QStringLiteral("cbEmissSrc"), 1);
  config_.Data[103] = (config_.Data[103] & ~0x60) | 0x60;
  v.SetIndex(QStringLiteral("cbAlarmSource"), 1);
  BrioFirstGenCodec::ParamsToControls(config_, cal_, false, v);
  EXPECT_EQ(v.Index(QStringLiteral("cbBurst1")), 0);
  EXPECT_EQ(v.Index(QStringLiteral("cbAmbSrc")), 2);
  EXPECT_EQ(v.Index(QStringLiteral("cbEmissSrc")), 1);
  EXPECT_EQ(v.Index(QStringLiteral("cbAlarmSource")), 1);
  EXPECT_EQ(Word(Encode(v), 106), 0);
  // A list without a selection leaves its bits.
  SetupValues none = Form();
  none.SetIndex(QStringLiteral("cbFsAmb"), -1);
  none.SetIndex(QStringLiteral("cbBurst2"), -1);
  config_.Data[42] = 0x08;
  const BrioConfigImage out = Encode(none);
  EXPECT_EQ(out.Data[42] & 0x18, 0x08);
  EXPECT_EQ(Word(out, 108), 0x0202);
}

TEST_F(BrioFirstGenCodecTest, FailSafeOffStoresTheFullRange) {
  SetupValues form = Form();
  form.SetMark(QStringLiteral("cbFailsafe"), true);
  form.SetText(QStringLiteral("eFsTmin"), QStringLiteral("0.0"));
  EXPECT_EQ(Word(Encode(form), 12), 1000);
  form.SetMark(QStringLiteral("cbFailsafe"), false);
  form.SetText(QStringLiteral("eFsTmin"), QStringLiteral("not used"));
  const BrioConfigImage out = Encode(form);
  EXPECT_EQ(Word(out, 12), 0);
  EXPECT_EQ(Word(out, 14), 21000);
  const SetupValues back = Decoded(out, cal_);
  EXPECT_EQ(back.Text(QStringLiteral("eFsTmin")), QStringLiteral("-100.0"));
  EXPECT_EQ(back.Text(QStringLiteral("eFsTmax")), QStringLiteral("2000"));
}

TEST_F(BrioFirstGenCodecTest, InputScalingFollowsTheAmbientSource) {
  SetupValues form = Form();
  EXPECT_EQ(Word(Encode(form), 26), 1234);
  EXPECT_EQ(Word(Encode(form), 24), 4321);
  form.SetIndex(QStringLiteral("cbAmbSrc"), 1);
  const BrioConfigImage analog = Encode(form);
  EXPECT_EQ(Word(analog, 24), 800);
  EXPECT_EQ(Word(analog, 26), 4566);  // round(1234 * 3.7) = round(4565.8)
  // Both sources analog: the words stay.
  form.SetIndex(QStringLiteral("cbEmissSrc"), 1);
  SetWord(config_, 24, 7);
  EXPECT_EQ(Word(Encode(form), 24), 7);
}

TEST_F(BrioFirstGenCodecTest, AlarmOutputWritesItsLevelsOverTheFailSafeLevels) {
  SetupValues form = Form();
  form.SetText(QStringLiteral("eFsmVmin"), QStringLiteral("-100"));
  form.SetText(QStringLiteral("eFsmVmax"), QStringLiteral("4500"));
  form.SetText(QStringLiteral("eAlarmMVmin"), QStringLiteral("0"));
  form.SetText(QStringLiteral("eAlarmMVmax"), QStringLiteral("5000"));
  form.SetIndex(QStringLiteral("cbAlarmSource"), 1);
  form.SetIndex(QStringLiteral("cbAlarmMode"), 0);
  // Another output mode leaves the alarm bits of byte 103 as they were.
  form.SetIndex(QStringLiteral("cbOutMode"), 1);
  BrioConfigImage out = Encode(form);
  EXPECT_EQ(out.Data[103], config_.Data[103]);
  EXPECT_EQ(Word(out, 28), 4078);
  form.SetIndex(QStringLiteral("cbOutMode"), 3);
  out = Encode(form);
  EXPECT_EQ(out.Data[103] & 0x78, 0x40 | 0x10);
  EXPECT_EQ(out.Data[44] & 0x88, 0);
  EXPECT_EQ(Word(out, 30), 782);   // round(1000 * 3000 / 4096 + 50)
  EXPECT_EQ(Word(out, 28), 4445);  // round(6000 * 3000 / 4096 + 50)
  // The fail-safe levels are hidden then: a text there that is no number
  // does not stop the encode.
  form.SetText(QStringLiteral("eFsmVmin"), QStringLiteral("x"));
  EXPECT_EQ(Word(Encode(form), 30), 782);
}

TEST_F(BrioFirstGenCodecTest, ZeroDivisorsRaiseADecodeError) {
  EXPECT_THROW(Decoded(config_, Calibration(0, 50)), BrioDecodeError);
  SetLong(config_, 34, 0);
  EXPECT_THROW(Decoded(config_, cal_), BrioDecodeError);
  // A failing decode leaves the values as they were.
  SetupValues v;
  v.SetText(QStringLiteral("eEmiss"), QStringLiteral("kept"));
  EXPECT_THROW(BrioFirstGenCodec::ParamsToControls(config_, cal_, false, v), BrioDecodeError);
  EXPECT_EQ(v.Text(QStringLiteral("eEmiss")), QStringLiteral("kept"));
}

TEST_F(BrioFirstGenCodecTest, EncodeRefusesWhatItCannotStore) {
  struct Case {
    const char* what;
    std::function<void(SetupValues&)> edit;
    const char* caption;
  };
  const auto set = [](const char* name, const char* text) {
    return [=](SetupValues& v) { v.SetText(QLatin1String(name), QLatin1String(text)); };
  };
  const Case cases[] = {
      {"equal output temperatures", set("eTmax", "0.0"), "Output Temp. max."},
      {"equal output levels", set("eMVmax", "0"), "Output mV max."},
      {"inverted slope",
       [](SetupValues& v) {
         v.SetText(QStringLiteral("eMVmin"), QStringLiteral("5000"));
         v.SetText(QStringLiteral("eMVmax"), QStringLiteral("0"));
       },
       "Output mV max."},
      {"slope rounding to 0", set("eMVmax", "0.0001"), "Output mV max."},
      {"hold time beyond the word", set("eHTime", "6553.6"), "Hold time"},
      {"negative hold time", set("eHTime", "-0.1"), "Hold time"},
      {"negative hysteresis", set("eHHysterese", "-1.0"), "adv. Hold hysteresis"},
      {"threshold beyond the word", set("eHSchwelle", "6453.6"), "adv. Hold threshold"},
      {"alarm below -100 degrees", set("eAlarm1", "-100.1"), "LED alarm Temp"},
      {"alarm not a number", set("eAlarm2", "-----"), "output alarm Temp"},
      {"output temperature not a number", set("eTmin", "abc"), "Output Temp. min."},
      {"fail-safe level beyond the word", set("eFsmVmax", "100000"), "failsafe mV max."},
      {"fail-safe level below 0", set("eFsmVmin", "-2000"), "failsafe mV min."},
      {"fail-safe level huge", set("eFsmVmin", "1e300"), "failsafe mV min."},
      {"fail-safe temperature not a number",
       [](SetupValues& v) {
         v.SetMark(QStringLiteral("cbFailsafe"), true);
         v.SetText(QStringLiteral("eFsTmax"), QStringLiteral("-----"));
       },
       "failsafe Temp. max."},
      {"alarm level beyond the word",
       [](SetupValues& v) {
         v.SetIndex(QStringLiteral("cbOutMode"), 3);
         v.SetText(QStringLiteral("eAlarmMVmax"), QStringLiteral("100000"));
       },
       "alarm mV max."},
  };
  for (const Case& c : cases) {
    SetupValues form = Form();
    c.edit(form);
    BrioConfigImage out = config_;
    const std::optional<BrioFieldError> error = BrioFirstGenCodec::ControlsToParams(form, cal_, false, out);
    ASSERT_TRUE(error) << c.what;
    EXPECT_EQ(error->Caption, QLatin1String(c.caption)) << c.what;
    EXPECT_EQ(out.Data, config_.Data) << c.what;
  }
  // Input scaling beyond the word (18000 * 3.7 = 66600).
  cal_ = Calibration();
  PutWord(cal_, 0x10BE, 18000);
  SetupValues form = Form();
  form.SetIndex(QStringLiteral("cbAmbSrc"), 1);
  BrioConfigImage out = config_;
  const std::optional<BrioFieldError> error = BrioFirstGenCodec::ControlsToParams(form, cal_, false, out);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->Control, QStringLiteral("cbAmbSrc"));
  EXPECT_EQ(out.Data, config_.Data);
}

TEST_F(BrioFirstGenCodecTest, InPinLabelTable) {
  struct Case {
    std::uint8_t b44, b45;
    const char* key;
  };
  const Case cases[] = {
      {0x01, 0x00, "AlarmOutput"},    {0x10, 0x11, "ExtTriggerInput"},
      {0x02, 0x00, "CommInput"},      {0x03, 0x00, "CommInput"},
      {0x88, 0x01, "AnalogAmbInput"}, {0x00, 0x10, "AnalogEmissInput"},
      {0x00, 0x11, "CommInput"},      {0x00, 0x24, ""},
  };
  for (const Case& c : cases) {
    config_.Data[44] = c.b44;
    config_.Data[45] = c.b45;
    EXPECT_STREQ(BrioFirstGenCodec::InPinLabel(config_).Key, c.key) << int(c.b44) << " " << int(c.b45);
  }
}

TEST_F(BrioFirstGenCodecTest, DefaultImagesByVariant) {
  const auto& first = BrioFirstGenCodec::DefaultData(0);
  const auto& second = BrioFirstGenCodec::DefaultData(1);
  EXPECT_EQ(&BrioFirstGenCodec::DefaultData(-5), &first);
  EXPECT_EQ(&BrioFirstGenCodec::DefaultData(300), &second);
  for (int i = 0; i < 128; ++i) {
    const bool differs = (i >= 0x10 && i <= 0x11) || (i >= 0x18 && i <= 0x1F) || (i >= 0x22 && i <= 0x23) ||
                         (i >= 0x26 && i <= 0x27);
    if (!differs) {
      EXPECT_EQ(first[i], second[i]) << i;
    }
  }
  BrioConfigImage second_image = DefaultConfig(1);
  const SetupValues v = Decoded(second_image, Calibration(3000, 50, 1));
  EXPECT_EQ(v.Text(QStringLiteral("eAlarm1")), QStringLiteral("501.0"));
  EXPECT_EQ(Word(second_image, 34), 4720);
  EXPECT_EQ(Word(second_image, 38), 3507);
  // The loaded flag stays.
  BrioConfigImage blank;
  blank.Loaded = false;
  BrioFirstGenCodec::LoadDefaults(0, blank);
  EXPECT_FALSE(blank.Loaded);
  EXPECT_EQ(blank.Data, first);
}

TEST_F(BrioFirstGenCodecTest, DecodeFollowsTheDecimalSeparator) {
  SeparatorGuard comma(QLatin1Char(','));
  const SetupValues v = Form();
  EXPECT_EQ(v.Text(QStringLiteral("eEmiss")), QStringLiteral("0,950"));
  EXPECT_EQ(v.Text(QStringLiteral("eAvg")), QStringLiteral("0,09"));
  EXPECT_EQ(BrioFirstGenCodec::AverageTimeText(0), QStringLiteral("0,03"));
  BrioConfigImage out = config_;
  EXPECT_FALSE(BrioFirstGenCodec::ControlsToParams(v, cal_, false, out));
  EXPECT_EQ(Word(out, 0), 950);
  EXPECT_EQ(Word(out, 4), 2);
}

}  // namespace
