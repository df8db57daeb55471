#include "setup_brio/brio_first_gen_codec.h"

#include <cmath>

#include "drivers/sentinel_utils.h"
#include "platform/number_text.h"
#include "ui/lng_ini_supp.h"

namespace {

// ---- The field table -------------------------------------------------------

using Row = BrioRow;

// Each burst code is the device address of the value it sends.
constexpr BrioCode kBurstCodes[] = {{0x0000, 0}, {0x0200, 1}, {0x0202, 2}, {0x0208, 3},
                                    {0x1002, 4}, {0x0206, 5}, {0x0204, 6}};
constexpr BrioCode kFailSafeAmbient[] = {{0x18, 0}, {0x08, 1}, {0x10, 2}, {0x00, 3}};
constexpr BrioCode kFailSafeTarget[] = {{0x60, 0}, {0x20, 1}, {0x40, 2}, {0x00, 3}};
constexpr BrioCode kAmbientSource[] = {{0x04, 0}, {0x01, 1}, {0x02, 2}};
constexpr BrioCode kEmissivitySource[] = {{0x20, 0}, {0x10, 1}};
// Alarm sources (bytes 102 and 103): no bit counts as the target; both bits
// leave the list as it is.
constexpr BrioCode kAlarmSource[] = {{0x20, 0}, {0x00, 0, true}, {0x40, 1}};
constexpr BrioCode kNormallySet[] = {{0x10, 0}, {0x00, 1}};

constexpr BrioFieldRow kTable[] = {
    // The eight checked fields, in the order of the checks.
    Row::Checked(Row::Scaled("eEmiss", 0, 1000.0, 3, "Emissivity"), 1, 1000.0, 100.0f, 1100.0f),
    Row::Checked(Row::Scaled("eTrans", 2, 1000.0, 3, "Transmission"), 2, 1000.0, 100.0f, 1100.0f),
    Row::Checked(Row::Rule("eAvg", SetupValueKind::Text, 4, BrioFieldWidth::U16, "Average time"), 3, 1.0,
                 0.0f, 999.95f),
    Row::Checked(Row::Scaled("eGain", 20, 32768.0, 3, "gen. Gain"), 4, 32768.0, 0.0f, 65535.0f),
    Row::Checked(Row::Difference("eOffs", 22, 1000.0, "gen. Offset"), 5, 10.0, -2000.0f, 2000.0f),
    Row::Checked(Row::Temperature("eFixAmb", 32, "fixed ambient Temp"), 6, 10.0, -300.0f, 9000.0f),
    // The output levels stand for the slope A (34, unsigned) and the offset
    // B (38, signed) that the analog-output rule makes of them.
    Row::Checked(Row::Rule("eMVmin", SetupValueKind::Text, 34, BrioFieldWidth::U32, "Output mV min."), 7, 1.0,
                 0.0f, 11000.0f),
    Row::Checked(Row::Rule("eMVmax", SetupValueKind::Text, 38, BrioFieldWidth::S32, "Output mV max."), 8, 1.0,
                 0.0f, 11000.0f),
    // Unchecked numbers: refused when they are no number or do not fit.
    Row::Scaled("eHTime", 6, 10.0, 1, "Hold time"),
    Row::Temperature("eHSchwelle", 8, "adv. Hold threshold"),
    Row::Difference("eHHysterese", 10, 0.0, "adv. Hold hysteresis"),
    Row::ByRule(Row::Temperature("eFsTmin", 12, "failsafe Temp. min.")),
    Row::ByRule(Row::Temperature("eFsTmax", 14, "failsafe Temp. max.")),
    Row::Temperature("eAlarm1", 16, "LED alarm Temp"),
    Row::Temperature("eAlarm2", 18, "output alarm Temp"),
    Row::Rule("eFsmVmax", SetupValueKind::Text, 28, BrioFieldWidth::U16, "failsafe mV max."),
    Row::Rule("eFsmVmin", SetupValueKind::Text, 30, BrioFieldWidth::U16, "failsafe mV min."),
    Row::Rule("eAlarmMVmax", SetupValueKind::Text, 28, BrioFieldWidth::U16, "alarm mV max."),
    Row::Rule("eAlarmMVmin", SetupValueKind::Text, 30, BrioFieldWidth::U16, "alarm mV min."),
    Row::Temperature("eTmin", 118, "Output Temp. min."),
    Row::Temperature("eTmax", 120, "Output Temp. max."),
    // The hidden 0-5 V group: derived from the analog output, never stored.
    Row::Rule("eTmin5", SetupValueKind::Text, -1, BrioFieldWidth::U16, "eTmin5"),
    Row::Rule("eTmax5", SetupValueKind::Text, -1, BrioFieldWidth::U16, "eTmax5"),
    Row::Rule("eMVmin5", SetupValueKind::Text, -1, BrioFieldWidth::U16, "eMVmin5"),
    Row::Rule("eMVmax5", SetupValueKind::Text, -1, BrioFieldWidth::U16, "eMVmax5"),
    // Bits and lists.
    Row::List("cbFsAmb", 42, BrioFieldWidth::U8, 0x18, kFailSafeAmbient, kBrioKeepItem),
    Row::List("cbFsTarget", 42, BrioFieldWidth::U8, 0x60, kFailSafeTarget, kBrioKeepItem),
    Row::Rule("cbHoldMode", SetupValueKind::ListIndex, 42, BrioFieldWidth::U8, "cbHoldMode"),
    Row::Bit("cbSmartAvg", 43, 0x40),
    Row::Rule("cbOutMode", SetupValueKind::ListIndex, 44, BrioFieldWidth::U8, "cbOutMode"),
    Row::List("cbAmbSrc", 45, BrioFieldWidth::U8, 0x0F, kAmbientSource, kBrioKeepItem),
    Row::List("cbEmissSrc", 45, BrioFieldWidth::U8, 0xF0, kEmissivitySource, kBrioKeepItem),
    Row::List("cbLEDsource", 102, BrioFieldWidth::U8, 0x60, kAlarmSource, kBrioKeepItem),
    Row::List("cbLEDmode", 102, BrioFieldWidth::U8, 0x10, kNormallySet, kBrioKeepItem),
    Row::ByRule(Row::List("cbAlarmSource", 103, BrioFieldWidth::U8, 0x60, kAlarmSource, kBrioKeepItem)),
    Row::ByRule(Row::List("cbAlarmMode", 103, BrioFieldWidth::U8, 0x10, kNormallySet, kBrioKeepItem)),
    Row::List("cbBurst1", 106, BrioFieldWidth::U16, 0, kBurstCodes, 0),
    Row::List("cbBurst2", 108, BrioFieldWidth::U16, 0, kBurstCodes, 0),
    Row::List("cbBurst3", 110, BrioFieldWidth::U16, 0, kBurstCodes, 0),
    Row::List("cbBurst4", 112, BrioFieldWidth::U16, 0, kBurstCodes, 0),
    Row::List("cbBurst5", 114, BrioFieldWidth::U16, 0, kBurstCodes, 0),
};

// Rows the rules address directly.
const BrioFieldRow& RowOf(const char* name) {
  const BrioFieldRow* row = BrioFieldCodec::FindRow(kTable, QString::fromLatin1(name));
  Q_ASSERT(row);
  return *row;
}

constexpr int kFailSafeLowOffset = 12;
constexpr int kFailSafeHighOffset = 14;
constexpr int kScaling1Offset = 24;
constexpr int kScaling2Offset = 26;
constexpr int kUpperLevelOffset = 28;
constexpr int kLowerLevelOffset = 30;
constexpr int kBurstEndOffset = 116;
constexpr int kRangeLowOffset = 118;
constexpr int kRangeHighOffset = 120;

// ---- Factory defaults ------------------------------------------------------

constexpr std::array<std::uint8_t, 128> kDefaultFirst = {
    0xb6, 0x03, 0xe8, 0x03, 0x02, 0x00, 0x0a, 0x00, 0x14, 0x05, 0x1e, 0x00, 0x00, 0x00, 0x08, 0x52,  //
    0x14, 0x05, 0x14, 0x05, 0x00, 0x80, 0xe8, 0x03, 0x68, 0x00, 0x95, 0x1f, 0x04, 0x25, 0x5b, 0x12,  //
    0xce, 0x04, 0x9e, 0x10, 0x00, 0x00, 0xb4, 0x0e, 0x00, 0x00, 0x78, 0x40, 0x02, 0x24, 0x64, 0x00,  //
    0xc9, 0x00, 0x2e, 0x01, 0x93, 0x01, 0xf8, 0x01, 0xee, 0x02, 0xb6, 0x03, 0x4b, 0x04, 0xe8, 0x03,  //
    0x1b, 0x04, 0x14, 0x05, 0x58, 0x02, 0x20, 0x03, 0x84, 0x03, 0xbc, 0x02, 0xd0, 0x07, 0x60, 0x04,  //
    0xae, 0x06, 0x72, 0x06, 0x20, 0x03, 0xe8, 0x03, 0xd7, 0x10, 0xa0, 0x0f, 0xa0, 0x0f, 0x10, 0x10,  //
    0x00, 0x11, 0x20, 0x10, 0x10, 0x10, 0x30, 0x29, 0x07, 0x00, 0x00, 0x02, 0x02, 0x02, 0x00, 0x00,  //
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xe8, 0x03, 0x94, 0x11, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
};

// As the factory lists it, also the LED alarm at 501.0 degrees (0x10-0x11).
constexpr std::array<std::uint8_t, 128> kDefaultSecond = {
    0xb6, 0x03, 0xe8, 0x03, 0x02, 0x00, 0x0a, 0x00, 0x14, 0x05, 0x1e, 0x00, 0x00, 0x00, 0x08, 0x52,  //
    0x7a, 0x17, 0x14, 0x05, 0x00, 0x80, 0xe8, 0x03, 0x67, 0x00, 0xae, 0x1a, 0x75, 0x26, 0xc0, 0x11,  //
    0xce, 0x04, 0x70, 0x12, 0x00, 0x00, 0xb3, 0x0d, 0x00, 0x00, 0x78, 0x40, 0x02, 0x24, 0x64, 0x00,  //
    0xc9, 0x00, 0x2e, 0x01, 0x93, 0x01, 0xf8, 0x01, 0xee, 0x02, 0xb6, 0x03, 0x4b, 0x04, 0xe8, 0x03,  //
    0x1b, 0x04, 0x14, 0x05, 0x58, 0x02, 0x20, 0x03, 0x84, 0x03, 0xbc, 0x02, 0xd0, 0x07, 0x60, 0x04,  //
    0xae, 0x06, 0x72, 0x06, 0x20, 0x03, 0xe8, 0x03, 0xd7, 0x10, 0xa0, 0x0f, 0xa0, 0x0f, 0x10, 0x10,  //
    0x00, 0x11, 0x20, 0x10, 0x10, 0x10, 0x30, 0x29, 0x07, 0x00, 0x00, 0x02, 0x02, 0x02, 0x00, 0x00,  //
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xe8, 0x03, 0x94, 0x11, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
};

// ---- Helpers ---------------------------------------------------------------

std::uint16_t Word(const BrioConfigImage& image, int offset) {
  return image.WordAt(static_cast<std::size_t>(offset));
}

void PutWord(BrioConfigImage& image, int offset, std::uint16_t value) {
  image.Data[static_cast<std::size_t>(offset)] = static_cast<std::uint8_t>(value & 0xFF);
  image.Data[static_cast<std::size_t>(offset) + 1] = static_cast<std::uint8_t>(value >> 8);
}

double Finite(double value) {
  if (!std::isfinite(value)) throw BrioDecodeError("first-generation image: a result is not a finite number");
  return value;
}

std::int64_t RoundOrThrow(double value) {
  const std::optional<std::int64_t> r = BrioFieldCodec::RoundChecked(value);
  if (!r) throw BrioDecodeError("first-generation image: a result is not a finite number");
  return *r;
}

// The analog output's line: a raw target temperature x gives (x - Z) * F / 10 mV.
struct OutputLine {
  double F = 0.0;
  double Z = 0.0;
  double MilliVolts(double x) const { return (x - Z) * F / 10.0; }
};

double ZeroPoint(const BrioFirstGenCalibration& cal) { return cal.S + 1000.0 * cal.W / 4096.0; }

OutputLine LineOf(const BrioConfigImage& config, const BrioFirstGenCalibration& cal) {
  BrioConfigImage copy = config;
  const BrioImageSet images{&copy, nullptr, nullptr, nullptr};
  const std::int64_t A = BrioFieldCodec::ReadRaw(images, RowOf("eMVmin"));  // the slope, unsigned
  const std::int64_t B = BrioFieldCodec::ReadRaw(images, RowOf("eMVmax"));  // the offset, signed
  if (cal.W == 0) throw BrioDecodeError("first-generation image: calibration word W is 0");
  if (A == 0) throw BrioDecodeError("first-generation image: output slope A is 0");
  OutputLine line;
  line.F = Finite(10.0 * A / cal.W);
  line.Z = Finite((ZeroPoint(cal) - B) * 4096.0 / A);
  return line;
}

QString Integer(std::int64_t value) { return QString::number(value); }

// The converter value of an output level and back.
double LevelMilliVolts(std::uint16_t raw, const BrioFirstGenCalibration& cal) {
  return Finite((static_cast<double>(raw) - cal.S) * 4096.0 / cal.W - 1000.0);
}

std::optional<BrioFieldError> EncodeLevel(const SetupValues& values, const char* name,
                                          const BrioFirstGenCalibration& cal, BrioConfigImage& config) {
  const BrioFieldRow& row = RowOf(name);
  const std::optional<double> mv = BrioFieldCodec::NumberOf(values, QString::fromLatin1(name));
  if (!mv) return BrioFieldCodec::ErrorFor(row);
  const std::optional<std::int64_t> raw =
      BrioFieldCodec::RoundChecked((*mv + 1000.0) * cal.W / 4096.0 + cal.S);
  if (!raw || !BrioFieldCodec::Fits(BrioFieldWidth::U16, *raw)) return BrioFieldCodec::ErrorFor(row);
  PutWord(config, row.Offset, static_cast<std::uint16_t>(*raw));
  return std::nullopt;
}

// ---- Decode rules ----------------------------------------------------------

void DecodeAnalogOutput(const BrioConfigImage& config, const BrioFirstGenCalibration& cal,
                        SetupValues& values) {
  const OutputLine line = LineOf(config, cal);
  const double xLo = Word(config, kRangeLowOffset);
  const double xHi = Word(config, kRangeHighOffset);
  // The lower end is taken 0.1 mV lower before rounding.
  std::int64_t mvLo = RoundOrThrow(((xLo - line.Z) * line.F - 1.0) / 10.0);
  std::int64_t mvHi = RoundOrThrow(line.MilliVolts(xHi));
  if (mvLo < 0) mvLo = 0;
  if (mvHi > 11000) mvHi = 11000;
  values.SetText(QStringLiteral("eMVmin"), Integer(mvLo));
  values.SetText(QStringLiteral("eMVmax"), Integer(mvHi));

  // The hidden 0-5 V group, in degrees Celsius whatever the unit.
  double x5Lo = xLo;
  double x5Hi = xHi;
  double mv5Lo = static_cast<double>(mvLo);
  double mv5Hi = static_cast<double>(mvHi);
  if (mv5Hi > 5000.0) {
    mv5Hi = 5000.0;
    x5Hi = static_cast<double>(RoundOrThrow(5000.0 * 10.0 / line.F + line.Z));
  }
  if (x5Lo < 700.0) {
    x5Lo = 700.0;
    mv5Lo = line.MilliVolts(x5Lo);
  }
  if (x5Hi > 10000.0) {
    x5Hi = 10000.0;
    mv5Hi = line.MilliVolts(x5Hi);
  }
  const double fsLo = Word(config, kFailSafeLowOffset);
  const double fsHi = Word(config, kFailSafeHighOffset);
  if (fsLo > x5Lo) {
    x5Lo = fsLo;
    mv5Lo = line.MilliVolts(x5Lo);
  }
  if (fsHi < x5Hi) {
    x5Hi = fsHi;
    mv5Hi = line.MilliVolts(x5Hi);
  }
  values.SetText(QStringLiteral("eTmin5"), NumberText::FormatFixed(Finite(x5Lo / 10.0 - 100.0), 1));
  values.SetText(QStringLiteral("eTmax5"), NumberText::FormatFixed(Finite(x5Hi / 10.0 - 100.0), 1));
  values.SetText(QStringLiteral("eMVmin5"), NumberText::FormatFixed(Finite(mv5Lo), 0));
  values.SetText(QStringLiteral("eMVmax5"), NumberText::FormatFixed(Finite(mv5Hi), 0));
}

void DecodeLevels(const BrioConfigImage& config, const BrioFirstGenCalibration& cal, SetupValues& values) {
  const QString lower = NumberText::FormatFixed(LevelMilliVolts(Word(config, kLowerLevelOffset), cal), 0);
  const QString upper = NumberText::FormatFixed(LevelMilliVolts(Word(config, kUpperLevelOffset), cal), 0);
  values.SetText(QStringLiteral("eFsmVmin"), lower);
  values.SetText(QStringLiteral("eAlarmMVmin"), lower);
  values.SetText(QStringLiteral("eFsmVmax"), upper);
  values.SetText(QStringLiteral("eAlarmMVmax"), upper);
}

// ---- Encode rules ----------------------------------------------------------

std::optional<BrioFieldError> EncodeAverageTime(const SetupValues& values, BrioConfigImage& config) {
  const BrioFieldRow& row = RowOf("eAvg");
  const std::optional<double> seconds = BrioFieldCodec::NumberOf(values, QStringLiteral("eAvg"));
  if (!seconds) return BrioFieldCodec::ErrorFor(row);
  const std::optional<std::int64_t> raw = BrioFirstGenCodec::AverageTimeRaw(*seconds);
  if (!raw || !BrioFieldCodec::Fits(BrioFieldWidth::U16, *raw)) return BrioFieldCodec::ErrorFor(row);
  PutWord(config, row.Offset, static_cast<std::uint16_t>(*raw));
  return std::nullopt;
}

std::optional<BrioFieldError> EncodeFailSafeLimits(const SetupValues& values, const BrioCodecContext& context,
                                                   const BrioImageSet& images) {
  if (!values.Mark(QStringLiteral("cbFailsafe"))) {
    // No fail-safe: the limits go to -100 and 2000 degrees.
    PutWord(*images.Config, kFailSafeLowOffset, 0);
    PutWord(*images.Config, kFailSafeHighOffset, 21000);
    return std::nullopt;
  }
  if (auto e = BrioFieldCodec::EncodeRow(RowOf("eFsTmin"), values, context, images)) return e;
  return BrioFieldCodec::EncodeRow(RowOf("eFsTmax"), values, context, images);
}

std::optional<BrioFieldError> EncodeInputScaling(const BrioFirstGenCalibration& cal,
                                                 BrioConfigImage& config) {
  switch (config.Data[45] & 0x11) {
    case 0x00:
    case 0x10:
      PutWord(config, kScaling2Offset, cal.InputScaling1);
      PutWord(config, kScaling1Offset, cal.InputScaling2);
      return std::nullopt;
    case 0x01: {
      // The ambient temperature comes in on the analog input.
      const std::optional<std::int64_t> raw = BrioFieldCodec::RoundChecked(cal.InputScaling1 * 3.7);
      if (!raw || !BrioFieldCodec::Fits(BrioFieldWidth::U16, *raw)) {
        return BrioFieldCodec::ErrorFor(RowOf("cbAmbSrc"));
      }
      PutWord(config, kScaling2Offset, static_cast<std::uint16_t>(*raw));
      PutWord(config, kScaling1Offset, 800);
      return std::nullopt;
    }
    default:
      return std::nullopt;
  }
}

std::optional<BrioFieldError> EncodeOutputMode(const SetupValues& values, const BrioFirstGenCalibration& cal,
                                               BrioConfigImage& config) {
  std::uint8_t& b44 = config.Data[44];
  std::uint8_t& b103 = config.Data[103];
  switch (values.Index(QStringLiteral("cbOutMode"))) {
    case 0:  // mV output
      b44 &= ~0x88;
      b103 |= 0x08;
      return std::nullopt;
    case 1:  // communication output
      b44 = static_cast<std::uint8_t>((b44 & ~0x88) | 0x08);
      return std::nullopt;
    case 2:  // burst output
      b44 |= 0x88;
      return std::nullopt;
    case 3: {  // alarm output: its levels replace the fail-safe levels
      b44 &= ~0x88;
      b103 &= ~0x08;
      const int source = values.Index(QStringLiteral("cbAlarmSource"));
      b103 = static_cast<std::uint8_t>((b103 & ~0x60) | (source == 1 ? 0x40 : 0x20));
      if (values.Index(QStringLiteral("cbAlarmMode")) == 0) {
        b103 |= 0x10;
      } else {
        b103 &= ~0x10;
      }
      if (auto e = EncodeLevel(values, "eAlarmMVmin", cal, config)) return e;
      return EncodeLevel(values, "eAlarmMVmax", cal, config);
    }
    default:
      return std::nullopt;
  }
}

std::optional<BrioFieldError> EncodeAnalogOutput(const SetupValues& values, const BrioCodecContext& context,
                                                 const BrioFirstGenCalibration& cal,
                                                 BrioConfigImage& config) {
  const auto number = [&values](const char* name) {
    return BrioFieldCodec::NumberOf(values, QString::fromLatin1(name));
  };
  const std::optional<double> tLoUnit = number("eTmin");
  const std::optional<double> tHiUnit = number("eTmax");
  const std::optional<double> mLo = number("eMVmin");
  const std::optional<double> mHi = number("eMVmax");
  if (!tLoUnit) return BrioFieldCodec::ErrorFor(RowOf("eTmin"));
  if (!tHiUnit) return BrioFieldCodec::ErrorFor(RowOf("eTmax"));
  if (!mLo) return BrioFieldCodec::ErrorFor(RowOf("eMVmin"));
  if (!mHi) return BrioFieldCodec::ErrorFor(RowOf("eMVmax"));
  const double tLo = SentinelUtils::UnitToCelsius(context.Fahrenheit, static_cast<float>(*tLoUnit));
  const double tHi = SentinelUtils::UnitToCelsius(context.Fahrenheit, static_cast<float>(*tHiUnit));
  const double dT = 10.0 * (tHi - tLo);
  const double dM = *mHi - *mLo;
  // Equal temperatures or levels leave the slope undefined.
  if (!(dT != 0.0) || !std::isfinite(dT)) return BrioFieldCodec::ErrorFor(RowOf("eTmax"));
  if (!(dM != 0.0) || !std::isfinite(dM)) return BrioFieldCodec::ErrorFor(RowOf("eMVmax"));
  const double xLo = 10.0 * tLo + 1000.0;
  const double Z = xLo - *mLo * dT / dM;
  // The slope must be a positive number the unsigned field holds (a zero
  // slope could never be decoded again).
  const std::optional<std::int64_t> A = BrioFieldCodec::RoundChecked(dM / dT * cal.W);
  if (!A || *A <= 0 || !BrioFieldCodec::Fits(BrioFieldWidth::U32, *A)) {
    return BrioFieldCodec::ErrorFor(RowOf("eMVmax"));
  }
  const std::optional<std::int64_t> B = BrioFieldCodec::RoundChecked(ZeroPoint(cal) - *A * Z / 4096.0);
  if (!B || !BrioFieldCodec::Fits(BrioFieldWidth::S32, *B)) return BrioFieldCodec::ErrorFor(RowOf("eMVmin"));
  const BrioImageSet images{&config, nullptr, nullptr, nullptr};
  BrioFieldCodec::WriteRaw(images, RowOf("eMVmin"), *A);  // both fit: checked above
  BrioFieldCodec::WriteRaw(images, RowOf("eMVmax"), *B);
  return std::nullopt;
}

}  // namespace

BrioFirstGenCalibration BrioFirstGenCalibration::From(const BrioCalibrationImage& calibration) {
  // Data byte i is device address 0x1080 + i.
  BrioFirstGenCalibration c;
  c.InputScaling1 = calibration.WordAt(0x10BE - 0x1080);
  c.InputScaling2 = calibration.WordAt(0x10CC - 0x1080);
  c.W = calibration.WordAt(0x10D0 - 0x1080);
  c.S = static_cast<std::int16_t>(calibration.WordAt(0x10D2 - 0x1080));
  c.Variant = static_cast<std::int16_t>(calibration.WordAt(0x10D6 - 0x1080));
  c.Serial = (static_cast<std::uint32_t>(calibration.Data[2]) << 16) |
             (static_cast<std::uint32_t>(calibration.Data[3]) << 8) | calibration.Data[4];
  return c;
}

BrioFieldTable BrioFirstGenCodec::Table() { return kTable; }

bool BrioFirstGenCodec::CheckRange(float value, float minimum, float maximum) {
  return BrioFieldCodec::CheckRange(value, minimum, maximum);
}

int BrioFirstGenCodec::HoldModeItem(std::uint8_t byte42, std::uint8_t byte44) {
  const bool trigger = (byte44 & 0x10) != 0;
  switch (byte42 & 0x87) {
    case 0x04:
      return trigger ? 5 : 1;
    case 0x80:
      return trigger ? 6 : 2;
    case 0x01:
      return 3;
    case 0x02:
      return 4;
    default:
      return 0;
  }
}

std::optional<std::uint8_t> BrioFirstGenCodec::HoldModeBits(int item) {
  switch (item) {
    case 0:
      return 0x00;
    case 1:
    case 5:
      return 0x04;
    case 2:
    case 6:
      return 0x80;
    case 3:
      return 0x01;
    case 4:
      return 0x02;
    default:
      return std::nullopt;
  }
}

int BrioFirstGenCodec::OutputModeItem(std::uint8_t byte44, std::uint8_t byte103) {
  switch (byte44 & 0x88) {
    case 0x08:
      return 1;
    case 0x88:
      return 2;
    default:
      return (byte103 & 0x08) ? 0 : 3;
  }
}

std::optional<std::int64_t> BrioFirstGenCodec::AverageTimeRaw(double seconds) {
  if (!std::isfinite(seconds)) return std::nullopt;
  if (seconds < 0.045) return 0;
  return BrioFieldCodec::RoundChecked(seconds * 20.0);
}

QString BrioFirstGenCodec::AverageTimeText(std::uint16_t raw) {
  if (raw == 0) return QStringLiteral("0.03").replace(QLatin1Char('.'), NumberText::DecimalSeparator());
  // Shown in steps of 0.03 s. Where that step would not read back as the
  // same word, or would leave the range the check allows (raw 19999 would
  // show 999.96), the exact time is shown instead.
  const double steps = static_cast<double>(NumberText::Round(raw * 0.05 / 0.03));
  const QString stepped = NumberText::FormatFixed(steps * 0.03, 2);
  const std::optional<double> back = BrioFieldCodec::ParseNumber(stepped);
  const std::optional<std::int64_t> rawBack = back ? AverageTimeRaw(*back) : std::nullopt;
  if (back && rawBack && *rawBack == raw && CheckRange(static_cast<float>(*back), 0.0f, 999.95f))
    return stepped;
  return NumberText::FormatFixed(raw * 0.05, 2);
}

void BrioFirstGenCodec::ParamsToControls(const BrioConfigImage& config,
                                         const BrioCalibrationImage& calibration, bool fahrenheit,
                                         SetupValues& values) {
  const BrioFirstGenCalibration cal = BrioFirstGenCalibration::From(calibration);
  if (cal.W == 0) throw BrioDecodeError("first-generation image: calibration word W is 0");
  BrioConfigImage configCopy = config;
  BrioCalibrationImage calibrationCopy = calibration;
  const BrioImageSet images{&configCopy, &calibrationCopy, nullptr, nullptr};
  const BrioCodecContext context{fahrenheit};

  // Work on a copy, so a failing decode leaves the caller's values as they were.
  SetupValues decoded = values;
  BrioFieldCodec::Decode(kTable, images, context, decoded);
  decoded.SetText(QStringLiteral("eAvg"), AverageTimeText(Word(config, 4)));
  DecodeAnalogOutput(config, cal, decoded);
  DecodeLevels(config, cal, decoded);
  decoded.SetIndex(QStringLiteral("cbOutMode"), OutputModeItem(config.Data[44], config.Data[103]));
  decoded.SetIndex(QStringLiteral("cbHoldMode"), HoldModeItem(config.Data[42], config.Data[44]));
  values = decoded;
}

std::optional<BrioFieldError> BrioFirstGenCodec::ControlsToParams(const SetupValues& values,
                                                                  const BrioCalibrationImage& calibration,
                                                                  bool fahrenheit, BrioConfigImage& config) {
  const BrioCodecContext context{fahrenheit};
  if (auto e = BrioFieldCodec::RunChecks(kTable, values, context)) return e;

  const BrioFirstGenCalibration cal = BrioFirstGenCalibration::From(calibration);
  BrioConfigImage out = config;
  BrioCalibrationImage calibrationCopy = calibration;
  const BrioImageSet images{&out, &calibrationCopy, nullptr, nullptr};

  if (auto e = BrioFieldCodec::Encode(kTable, values, context, images)) return e;
  if (auto e = EncodeAverageTime(values, out)) return e;
  if (auto e = EncodeFailSafeLimits(values, context, images)) return e;
  // In alarm-output mode the alarm levels take these words, so the hidden
  // fail-safe levels are neither stored nor refused.
  if (values.Index(QStringLiteral("cbOutMode")) != 3) {
    if (auto e = EncodeLevel(values, "eFsmVmin", cal, out)) return e;
    if (auto e = EncodeLevel(values, "eFsmVmax", cal, out)) return e;
  }
  if (auto e = EncodeInputScaling(cal, out)) return e;
  PutWord(out, kBurstEndOffset, 0);
  if (auto e = EncodeOutputMode(values, cal, out)) return e;
  if (auto e = EncodeAnalogOutput(values, context, cal, out)) return e;
  if (const std::optional<std::uint8_t> bits = HoldModeBits(values.Index(QStringLiteral("cbHoldMode")))) {
    out.Data[42] = static_cast<std::uint8_t>((out.Data[42] & ~0x87) | *bits);
  }
  config = out;
  return std::nullopt;
}

BrioLanguageText BrioFirstGenCodec::InPinLabel(const BrioConfigImage& config) {
  const BrioLanguageText alarm{LNG_OTHER_TEXT("AlarmOutput", "alarm output")};
  const BrioLanguageText trigger{LNG_OTHER_TEXT("ExtTriggerInput", "ext. trigger input")};
  const BrioLanguageText comm{LNG_OTHER_TEXT("CommInput", "communication input")};
  switch (config.Data[44] & 0x13) {
    case 0x00:
      break;
    case 0x01:
      return alarm;
    case 0x10:
      return trigger;
    default:
      return comm;
  }
  switch (config.Data[45] & 0x11) {
    case 0x01:
      return {LNG_OTHER_TEXT("AnalogAmbInput", "analog ambient input")};
    case 0x10:
      return {LNG_OTHER_TEXT("AnalogEmissInput", "analog emissivity input")};
    case 0x11:
      return comm;
    default:
      return {"", ""};
  }
}

BrioLanguageText BrioFirstGenCodec::CommEmissivityInputLabel() {
  return {LNG_OTHER_TEXT("CommEmissInput", "communication emissivity input")};
}

const std::array<std::uint8_t, 128>& BrioFirstGenCodec::DefaultData(std::int16_t variant) {
  return variant < 1 ? kDefaultFirst : kDefaultSecond;
}

void BrioFirstGenCodec::LoadDefaults(std::int16_t variant, BrioConfigImage& config) {
  config.Data = DefaultData(variant);
}
