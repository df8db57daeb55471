#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <ostream>
#include <string>

#include "platform/number_text.h"

// Readable QString values in test failure messages.
[[maybe_unused]] static void PrintTo(const QString& s, std::ostream* os) {
  *os << '"' << s.toStdString() << '"';
}

namespace {

using FF = NumberText::FloatFormat;

// Restores the process-wide separator after a test that changes it.
class SeparatorGuard {
 public:
  SeparatorGuard() : saved_(NumberText::DecimalSeparator()) {}
  ~SeparatorGuard() { NumberText::SetDecimalSeparator(saved_); }

 private:
  QChar saved_;
};

TEST(NumberText, RoundHalvesToEvenAndSaturates) {
  struct Case {
    double in;
    std::int64_t out;
  } cases[] = {{2.5, 2},
               {3.5, 4},
               {-2.5, -2},
               {-3.5, -4},
               {0.5, 0},
               {1.5, 2},
               {2.4999999, 2},
               {2.5000001, 3},
               {-0.4, 0},
               {32768.999, 32769},
               {4503599627370497.0, 4503599627370497},
               {std::nan(""), 0},
               {1e300, std::numeric_limits<std::int64_t>::max()},
               {-1e300, std::numeric_limits<std::int64_t>::min()}};
  for (const Case& c : cases) EXPECT_EQ(NumberText::Round(c.in), c.out) << c.in;
  EXPECT_EQ(NumberText::Trunc(-2.9), -2);
  EXPECT_EQ(NumberText::Trunc(std::nan("")), 0);
}

TEST(NumberText, FloatToStrF) {
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    double value;
    FF format;
    int precision;
    int digits;
    const char* expected;
  } cases[] = {
      // Fixed: `digits` decimals, `precision` significant digits at most.
      {1234.567, FF::Fixed, 6, 2, "1234.57"},
      {0.5, FF::Fixed, 6, 2, "0.50"},
      {123.456, FF::Fixed, 4, 2, "123.50"},
      {9.96, FF::Fixed, 6, 1, "10.0"},
      {0.0, FF::Fixed, 6, 2, "0.00"},
      {-0.001, FF::Fixed, 15, 2, "0.00"},
      {-12.25, FF::Fixed, 15, 1, "-12.2"},
      {0.125, FF::Fixed, 15, 2, "0.12"},  // an exact tie goes to even
      {0.375, FF::Fixed, 15, 2, "0.38"},
      {2.675, FF::Fixed, 15, 2, "2.67"},  // stored just below the tie
      {1.05, FF::Fixed, 15, 1, "1.1"},    // stored just above the tie
      {999999.4, FF::Fixed, 6, 0, "999999"},
      // More integer digits than the precision: exponent form.
      {1234567.0, FF::Fixed, 6, 2, "1.23457E06"},
      {999999.5, FF::Fixed, 6, 0, "1E6"},
      {1234.5, FF::Number, 15, 1, "1234.5"},
      // General: shortest form, 15 significant digits by default.
      {static_cast<double>(0.001f), FF::General, 15, 0, "0.00100000004749745"},
      {2.0, FF::General, 15, 0, "2"},
      {-50.0, FF::General, 15, 0, "-50"},
      {3000.0, FF::General, 15, 0, "3000"},
      {0.1, FF::General, 15, 0, "0.1"},
      {0.00001, FF::General, 15, 0, "0.00001"},
      {1.5e-7, FF::General, 15, 0, "1.5E-7"},
      {1e20, FF::General, 15, 0, "1E20"},
      {123456789012345678.0, FF::General, 15, 0, "1.23456789012346E17"},
      {0.0, FF::General, 15, 0, "0"},
      // Exponent: `precision` digits, signed exponent of at least `digits` digits.
      {1234.5, FF::Exponent, 5, 2, "1.2345E+03"},
      {-0.00012, FF::Exponent, 3, 0, "-1.20E-4"},
      {std::nan(""), FF::Fixed, 6, 2, "NAN"},
      {inf, FF::General, 15, 0, "INF"},
      {-inf, FF::Fixed, 6, 2, "-INF"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NumberText::FloatToStrF(c.value, c.format, c.precision, c.digits, QLatin1Char('.')),
              QString::fromLatin1(c.expected))
        << c.value << " " << c.precision << " " << c.digits;
  }
}

TEST(NumberText, SeparatorIsTheProgramsOwn) {
  SeparatorGuard guard;
  EXPECT_EQ(NumberText::SystemDecimalSeparator(), QLatin1Char('.'));  // tests run under LC_ALL=C
  NumberText::SetDecimalSeparator(QLatin1Char(','));
  EXPECT_EQ(NumberText::FloatToStrF(0.5, FF::Fixed, 6, 2), QStringLiteral("0,50"));
  EXPECT_EQ(NumberText::FloatToStr(12.5), QStringLiteral("12,5"));
  EXPECT_EQ(NumberText::FormatFixed(-3.25, 3), QStringLiteral("-3,250"));
  EXPECT_EQ(NumberText::Format(QStringLiteral("%.1f%s"), {20.25, "\u00B0C"}), QStringLiteral("20,2\u00B0C"));
  EXPECT_EQ(NumberText::SystemDecimalSeparator(), QLatin1Char('.'));
  NumberText::SetDecimalSeparator(QChar());
  EXPECT_EQ(NumberText::DecimalSeparator(), QLatin1Char('.'));
}

TEST(NumberText, FormatFixedNeverUsesExponentForm) {
  EXPECT_EQ(NumberText::FormatFixed(1e20, 1, QLatin1Char('.')), QStringLiteral("100000000000000000000.0"));
  EXPECT_EQ(NumberText::FormatFixed(0.0005, 3, QLatin1Char('.')), QStringLiteral("0.001"));
  EXPECT_EQ(NumberText::FormatFixed(2.5, 0, QLatin1Char('.')), QStringLiteral("2"));
}

TEST(NumberText, ParsesEitherSeparator) {
  struct Case {
    const char* text;
    bool ok;
    double value;
  } cases[] = {
      {"1.5", true, 1.5},      {"1,5", true, 1.5},  {"  -0,950 ", true, -0.95}, {"1e3", true, 1000.0},
      {"1.5E-2", true, 0.015}, {".5", true, 0.5},   {"5.", true, 5.0},          {"+3", true, 3.0},
      {"1e-999", true, 0.0},   {"", false, 0},      {"  ", false, 0},           {"abc", false, 0},
      {"1.234,5", false, 0},   {"1,2,3", false, 0}, {"nan", false, 0},          {"inf", false, 0},
      {"1e", false, 0},        {"1e999", false, 0}, {"1 2", false, 0},          {"0x10", false, 0},
      {"-", false, 0},         {".", false, 0},     {"12abc", false, 0},        {"1e+", false, 0},
  };
  for (const Case& c : cases) {
    double v = -7.0;
    EXPECT_EQ(NumberText::TryStrToFloat(QString::fromLatin1(c.text), v), c.ok) << c.text;
    EXPECT_DOUBLE_EQ(v, c.ok ? c.value : -7.0) << c.text;
  }
  EXPECT_DOUBLE_EQ(NumberText::StrToFloatDef(QStringLiteral("x"), 10.0), 10.0);
}

TEST(NumberText, ParsesIntegers) {
  struct Case {
    const char* text;
    bool ok;
    int value;
  } cases[] = {
      {"42", true, 42},
      {" -7 ", true, -7},
      {"0x10", true, 16},
      {"$1F", true, 31},
      {"0XfF", true, 255},
      {"+5", true, 5},
      {"2147483647", true, 2147483647},
      {"-2147483648", true, INT32_MIN},
      {"$FFFFFFFF", true, -1},
      {"2147483648", false, 0},
      {"1.0", false, 0},
      {"", false, 0},
      {"abc", false, 0},
      {"12abc", false, 0},
      {"0x", false, 0},
      {"$123456789", false, 0},
      {"--1", false, 0},
  };
  for (const Case& c : cases) {
    int v = -99;
    EXPECT_EQ(NumberText::TryStrToInt(QString::fromLatin1(c.text), v), c.ok) << c.text;
    EXPECT_EQ(v, c.ok ? c.value : -99) << c.text;
  }
  std::int64_t big = 0;
  EXPECT_TRUE(NumberText::TryStrToInt(QStringLiteral("2147483648"), big));
  EXPECT_EQ(big, 2147483648LL);
  EXPECT_TRUE(NumberText::TryStrToInt(QStringLiteral("-9223372036854775808"), big));
  EXPECT_EQ(big, std::numeric_limits<std::int64_t>::min());
  EXPECT_FALSE(NumberText::TryStrToInt(QStringLiteral("9223372036854775808"), big));
  EXPECT_EQ(NumberText::StrToIntDef(QStringLiteral("x"), 3), 3);
}

TEST(NumberText, Format) {
  const QChar dot = QLatin1Char('.');
  using A = NumberText::Arg;
  struct Case {
    const char* format;
    std::initializer_list<A> args;
    const char* expected;
  };
  const Case cases[] = {
      {"%3.1f", {25.0}, "25.0"},
      {"%3.1f", {5.0}, "5.0"},
      {"%6.1f|", {-5.0}, "  -5.0|"},
      {"%-6.1f|", {5.0}, "5.0   |"},
      {"%4.0f%s", {1000.0, "K"}, "1000K"},
      {"%.2f", {0.125}, "0.12"},
      {"%f", {2}, "2.00"},
      {"%d", {42}, "42"},
      {"%d", {-42}, "-42"},
      {"%2.2d", {5}, "05"},
      {"%.3d:%.2d:%.2d", {1, 2, 3}, "001:02:03"},
      {"%u", {-1}, "4294967295"},
      {"%x", {255}, "FF"},
      {"%x", {-1}, "FFFFFFFF"},
      {"%4x|", {10}, "   A|"},
      {"%s", {"abc"}, "abc"},
      {"%.2s", {"abc"}, "ab"},
      {"%5s|", {"ab"}, "   ab|"},
      {"%%", {}, "%"},
      {"100%", {}, "100%"},
      {"50% done, %d left", {3}, "50% done, 3 left"},
      {"%0:s-%0:s", {"a"}, "a-a"},
      {"%1:s %0:s %s", {"a", "b"}, "b a b"},
      {"%*d|", {5, 42}, "   42|"},
      {"%.*f", {1, 2.25}, "2.2"},
      {"%e", {1234.5}, "1.23450000000000E+003"},
      {"%g", {0.5}, "0.5"},
      {"%n", {1234.5}, "1234.50"},
      {"%p", {255}, "000000FF"},
      {"%c%c", {"xy", 65}, "xA"},
      // Directives that do not fit are shown as they stand.
      {"%d", {1.5}, "%d"},
      {"%d %s", {1.5, "x"}, "%d x"},
      {"%s", {5}, "%s"},
      {"%f", {"x"}, "%f"},
      {"%d", {}, "%d"},
      {"%s and %s", {"a"}, "a and %s"},
      {"%5:s", {"a"}, "%5:s"},
      {"%y", {1}, "%y"},
      {"%", {}, "%"},
      {"%-", {1}, "%-"},
      {"%3.", {1}, "%3."},
      {"%*d", {}, "%*d"},
      {"%*d", {"x", 1}, "%*d"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NumberText::Format(QString::fromUtf8(c.format), c.args, dot), QString::fromUtf8(c.expected))
        << c.format;
  }
}

TEST(NumberText, FormatSurvivesHostileFormatStrings) {
  const char* formats[] = {"%99999999999999999999d",
                           "%.99999999999f",
                           "%-*.*f",
                           "%999999:s",
                           "%:%:%:",
                           "%1:",
                           "%.-1f",
                           "%**d",
                           "%0:0:d",
                           "%*:d"};
  for (const char* f : formats) {
    const QString out = NumberText::Format(QString::fromLatin1(f), {1, 2.5, "t", -3}, QLatin1Char('.'));
    EXPECT_LT(out.size(), 10000) << f;
  }
}

}  // namespace

TEST(NumberText, ParsesTypedNumbersUnderTheProgramsSeparator) {
  struct Case {
    char16_t separator;
    const char16_t* text;
    bool ok;
    double value;
  };
  const Case cases[] = {
      {u'.', u"0,95", true, 0.95},    {u',', u"0.95", true, 0.95},          {u',', u" 3,5 ", true, 3.5},
      {u'.', u"1.234,5", false, 0},   {u'\u066B', u"1\u066B5", true, 1.5},  // a separator of its own
      {u'\u066B', u"1.5", true, 1.5}, {u'\u066B', u"1\u066B5.2", false, 0}, {u'.', u"abc", false, 0},
  };
  for (const Case& c : cases) {
    const QString text = QString::fromUtf16(c.text);
    double v = -7.0;
    EXPECT_EQ(NumberText::TryStrToFloat(text, QChar(c.separator), v), c.ok) << text.toStdString();
    EXPECT_DOUBLE_EQ(v, c.ok ? c.value : -7.0) << text.toStdString();
  }
}

// The ratio dialog's edits and calibration grid: both separators under
// either program separator; what is not a finite number is refused (and
// not mistaken for a value, as a -1e10 marker would be).
TEST(NumberText, ParseFloatTolerantUnderBothSeparators) {
  SeparatorGuard guard;
  struct Case {
    const char* text;
    std::optional<double> expected;
  };
  const Case cases[] = {
      {"1.5", 1.5},       {"1,5", 1.5},     {" -710,25 ", -710.25}, {"4294967295", 4294967295.0},
      {"1e3", 1000.0},    {"-1e10", -1e10}, {"1e-400", 0.0},        {"", std::nullopt},
      {"  ", std::nullopt}, {"abc", std::nullopt}, {"nan", std::nullopt}, {"NaN", std::nullopt},
      {"inf", std::nullopt}, {"-Infinity", std::nullopt}, {"1e400", std::nullopt}, {"-1e309", std::nullopt},
      {"1.2.3", std::nullopt}, {"1,000.5", std::nullopt}, {"12abc", std::nullopt}, {"0x10", std::nullopt},
  };
  for (QChar separator : {QLatin1Char('.'), QLatin1Char(',')}) {
    NumberText::SetDecimalSeparator(separator);
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.text) + " under '" + char(separator.unicode()) + "'");
      EXPECT_EQ(NumberText::ParseFloatTolerant(QString::fromLatin1(c.text)), c.expected);
    }
  }
}
