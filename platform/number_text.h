#pragma once

#include <QChar>
#include <QString>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <variant>

// Numbers as text, written and read the way the whole program does it:
// rounding halves to even, fixed formatting with the program's own decimal
// separator (process-wide, possibly chosen by the user), parsing that accepts
// '.' or ',' whatever the separator, and a Format that never crashes on a
// format string read from a language file.
class NumberText {
 public:
  // One argument of Format: an integer, a floating-point value or a text.
  class Arg {
   public:
    Arg(int v) : value_(static_cast<std::int64_t>(v)) {}
    Arg(unsigned v) : value_(static_cast<std::int64_t>(v)) {}
    Arg(long v) : value_(static_cast<std::int64_t>(v)) {}
    Arg(long long v) : value_(static_cast<std::int64_t>(v)) {}
    Arg(unsigned long v) : value_(static_cast<std::int64_t>(v)) {}
    Arg(unsigned long long v) : value_(static_cast<std::int64_t>(v)) {}
    Arg(float v) : value_(static_cast<double>(v)) {}
    Arg(double v) : value_(v) {}
    Arg(const QString& v) : value_(v) {}
    Arg(const char* v) : value_(QString::fromUtf8(v)) {}
    Arg(QChar v) : value_(QString(v)) {}
    Arg(QLatin1String v) : value_(QString(v)) {}
    const std::variant<std::int64_t, double, QString>& value() const { return value_; }

   private:
    std::variant<std::int64_t, double, QString> value_;
  };

  enum class FloatFormat { General, Exponent, Fixed, Number };

  // The separator every formatting routine uses. Defaults to the system
  // locale's separator ('.' when the locale has none).
  static QChar DecimalSeparator();
  // A null QChar() goes back to the system locale's separator.
  static void SetDecimalSeparator(QChar separator);
  // The separator of the system locale, independent of SetDecimalSeparator.
  static QChar SystemDecimalSeparator();

  // Nearest integer, halves to even (2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
  // NaN gives 0; values beyond the 64-bit range saturate.
  static std::int64_t Round(double value);
  // Towards zero, NaN gives 0, saturating.
  static std::int64_t Trunc(double value);

  // FloatToStrF: Fixed and Number use `digits` decimals (Number adds no
  // thousands separator here); General uses `precision` significant digits
  // and the shortest form; Exponent uses `precision` digits and `digits`
  // exponent digits. Fixed falls back to exponent form when the value has
  // more integer digits than `precision` allows (as the original toolkit
  // does). Halves round to even on the exact decimal expansion of the
  // binary value (0.125 -> "0.12", while 2.675, stored just below, -> "2.67").
  static QString FloatToStrF(double value, FloatFormat format, int precision, int digits);
  static QString FloatToStrF(double value, FloatFormat format, int precision, int digits, QChar separator);
  // General format with 15 significant digits.
  static QString FloatToStr(double value);
  static QString FloatToStr(double value, QChar separator);
  // Fixed with the given number of decimals, never exponent form.
  static QString FormatFixed(double value, int decimals);
  static QString FormatFixed(double value, int decimals, QChar separator);

  // Parses a decimal number; '.' and ',' are both taken as the decimal
  // separator; surrounding blanks are ignored; an exponent is allowed.
  // Returns false (leaving out untouched) for anything else, NaN or inf.
  static bool TryStrToFloat(const QString& text, double& out);
  // The same for a number typed by the user or read from a file under the
  // decimal separator `separator`: besides '.' and ',' that separator is
  // taken too (a system separator that is neither of them).
  static bool TryStrToFloat(const QString& text, QChar separator, double& out);
  static double StrToFloatDef(const QString& text, double fallback);
  // A number typed into a dialog or read from a grid: '.' and ',' both
  // taken as the decimal separator (and the program's own separator when it
  // is neither); an empty text, "nan", "inf", trailing characters and a
  // value beyond the double range give nullopt.
  static std::optional<double> ParseFloatTolerant(const QString& text);
  // Decimal integers, also "$1F" and "0x1F" hexadecimal; blanks trimmed.
  static bool TryStrToInt(const QString& text, std::int64_t& out);
  static bool TryStrToInt(const QString& text, int& out);
  static int StrToIntDef(const QString& text, int fallback);

  // printf-like formatting as the original toolkit does it:
  // %[index:][-][width][.precision]type with type d u x X f e g n m s p c, and
  // %% for a percent sign. Floats use DecimalSeparator(). A directive that
  // does not fit its argument, a missing argument or a malformed directive
  // is copied into the result as it stands: it never throws or crashes.
  static QString Format(const QString& format, std::initializer_list<Arg> args);
  static QString Format(const QString& format, std::initializer_list<Arg> args, QChar separator);
};
