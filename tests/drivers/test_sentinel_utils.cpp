#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cmath>
#include <ostream>

#include "drivers/sentinel_utils.h"
#include "platform/number_text.h"

[[maybe_unused]] static void PrintTo(const QString& s, std::ostream* os) {
  *os << '"' << s.toStdString() << '"';
}

namespace {

class SentinelUtilsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedSeparator_ = NumberText::DecimalSeparator();
    NumberText::SetDecimalSeparator(QLatin1Char('.'));
    SentinelUtils::UnitCelsiusText = QStringLiteral("\u00B0C");
    SentinelUtils::UnitFahrenheitText = QStringLiteral("\u00B0F");
    SentinelUtils::OverflowText = QStringLiteral("O");
    SentinelUtils::UnderflowText = QStringLiteral("U");
  }
  void TearDown() override { NumberText::SetDecimalSeparator(savedSeparator_); }

  QChar savedSeparator_;
};

TEST_F(SentinelUtilsTest, Names) {
  const char* names[] = {"?",       "Argo",   "Argo-ratio", "Voduz1",   "Dunav1",     "Brio 2W", "Duna2Wv1",
                         "Fenn 2W", "Briov2", "Dunav2",     "Duna2Wv2", "Duna2W2Mv2", "?"};
  for (int code = 0; code <= 12; ++code) {
    QString s = QStringLiteral("old");
    SentinelUtils::DeviceTypeName(static_cast<std::uint8_t>(code), s);
    EXPECT_EQ(s, QLatin1String(names[code])) << code;
  }
  QString s = QStringLiteral("old");
  SentinelUtils::DeviceTypeName(255, s);
  EXPECT_EQ(s, QStringLiteral("?"));

  const char* bauds[] = {"old", "9600", "19200", "38400", "57600", "115200", "old"};
  for (int index = 0; index <= 6; ++index) {
    QString b = QStringLiteral("old");
    SentinelUtils::BaudrateName(index, b);
    EXPECT_EQ(b, QLatin1String(bauds[index])) << index;
  }
  QString b = QStringLiteral("old");
  SentinelUtils::BaudrateName(-1, b);
  EXPECT_EQ(b, QStringLiteral("old"));
}

TEST_F(SentinelUtilsTest, Conversions) {
  EXPECT_FLOAT_EQ(SentinelUtils::CelsiusToUnit(true, -40.0f), -40.0f);
  EXPECT_FLOAT_EQ(SentinelUtils::CelsiusToUnit(true, 100.0f), 212.0f);
  EXPECT_FLOAT_EQ(SentinelUtils::CelsiusToUnit(false, 123.4f), 123.4f);
  EXPECT_FLOAT_EQ(SentinelUtils::UnitToCelsius(true, 212.0f), 100.0f);
  EXPECT_FLOAT_EQ(SentinelUtils::UnitToCelsius(false, 212.0f), 212.0f);
  EXPECT_FLOAT_EQ(SentinelUtils::DeltaCelsiusToUnit(true, 10.0f), 18.0f);
  EXPECT_FLOAT_EQ(SentinelUtils::DeltaUnitToCelsius(true, 18.0f), 10.0f);
  EXPECT_FLOAT_EQ(SentinelUtils::DeltaUnitToCelsius(false, 18.0f), 18.0f);
}

TEST_F(SentinelUtilsTest, FormatTemperature) {
  struct Case {
    bool fahrenheit;
    bool twoDecimals;
    float t;
    const char* expected;
  } cases[] = {
      {false, false, 25.0f, "25.0\u00B0C"},
      {false, true, 25.0f, "25.00\u00B0C"},
      {true, false, 25.0f, "77.0\u00B0F"},
      {false, false, 1000.0f, "1000\u00B0C"},
      {false, false, 999.99f, "1000.0\u00B0C"},  // the format is chosen on the unformatted value
      {false, false, -100.0f, "-100.0\u00B0C"},
      {false, false, -100.1f, "-----"},
      {false, false, 3000.0f, "3000\u00B0C"},
      {false, false, 3000.1f, "-----"},
      {false, false, 3176.9f, "O"},
      {true, false, 3000.0f, "5432\u00B0F"},
      {false, false, 5.0f, "5.0\u00B0C"},
      {false, false, 25.25f, "25.2\u00B0C"},  // halves to even
      {false, false, 25.75f, "25.8\u00B0C"},
      {false, false, -200.0f, "-----"},
      {false, false, NAN, "-----"},
  };
  for (const Case& c : cases) {
    QString s;
    SentinelUtils::FormatTemperature(c.fahrenheit, c.twoDecimals, s, c.t);
    EXPECT_EQ(s, QString::fromUtf8(c.expected)) << c.t;
  }
}

TEST_F(SentinelUtilsTest, FormatWithoutUnit) {
  enum Kind { NoUnit, One, Two };
  struct Case {
    Kind kind;
    bool fahrenheit;
    float t;
    const char* expected;
  } cases[] = {
      {NoUnit, false, -150.0f, "-150.0"}, {NoUnit, false, 3000.5f, "-----"}, {NoUnit, false, 1234.5f, "1234"},
      {NoUnit, true, 600.0f, "1112"},     {NoUnit, false, 0.05f, "0.1"},     {NoUnit, false, NAN, "-----"},
      {One, false, 1234.56f, "1234.6"},   {One, false, 3000.01f, "-----"},   {One, true, 0.0f, "32.0"},
      {Two, false, 1234.5f, "1234.50"},   {Two, false, -0.125f, "-0.12"},    {Two, false, 3000.0f, "3000.00"},
  };
  for (const Case& c : cases) {
    QString s;
    if (c.kind == NoUnit) SentinelUtils::FormatTemperatureNoUnit(c.fahrenheit, s, c.t);
    if (c.kind == One) SentinelUtils::FormatTemperatureOneDecimal(c.fahrenheit, s, c.t);
    if (c.kind == Two) SentinelUtils::FormatTemperatureTwoDecimals(c.fahrenheit, s, c.t);
    EXPECT_EQ(s, QLatin1String(c.expected)) << c.kind << " " << c.t;
  }
}

TEST_F(SentinelUtilsTest, FormatRawTemperature) {
  struct Case {
    std::uint16_t raw;
    bool fahrenheit;
    bool hundredths;
    const char* expected;
  } cases[] = {{1250, false, false, "25.0"}, {12500, false, true, "25.0"},  {0, false, false, "-100.0"},
               {1250, true, false, "77.0"},  {31000, false, false, "3000"}, {31001, false, false, "-----"},
               {65535, false, true, "555.3"}};
  for (const Case& c : cases) {
    QString s;
    SentinelUtils::FormatRawTemperature(c.raw, c.fahrenheit, c.hundredths, s);
    EXPECT_EQ(s, QLatin1String(c.expected)) << c.raw;
  }
}

TEST_F(SentinelUtilsTest, UsesTheProgramsSeparatorAndUnitTexts) {
  NumberText::SetDecimalSeparator(QLatin1Char(','));
  QString s;
  SentinelUtils::FormatTemperature(false, true, s, 25.5f);
  EXPECT_EQ(s, QStringLiteral("25,50\u00B0C"));
  SentinelUtils::UnitSuffix(true, s);
  EXPECT_EQ(s, QStringLiteral("\u00B0F"));
  SentinelUtils::UnitSuffix(false, s);
  EXPECT_EQ(s, QStringLiteral("\u00B0C"));
}

TEST_F(SentinelUtilsTest, SpecialFolderPath) {
  QTemporaryDir dir;
  const QByteArray old = qgetenv("XDG_CONFIG_HOME");
  const bool had = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
  qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("cfg")).toLocal8Bit());
  QString path;
  EXPECT_TRUE(SentinelUtils::GetSpecialFolderPath(SentinelUtils::kCsidlAppData, path));
  EXPECT_EQ(path, dir.filePath(QStringLiteral("cfg")));
  // A folder the system cannot resolve: false, the path as it was.
  QString empty;
  EXPECT_FALSE(SentinelUtils::GetSpecialFolderPath(0x05, empty));
  EXPECT_TRUE(empty.isEmpty());
  QString kept = QStringLiteral("/kept");
  EXPECT_FALSE(SentinelUtils::GetSpecialFolderPath(0x05, kept));
  EXPECT_EQ(kept, QStringLiteral("/kept"));
  if (had) {
    qputenv("XDG_CONFIG_HOME", old);
  } else {
    qunsetenv("XDG_CONFIG_HOME");
  }
}

}  // namespace
