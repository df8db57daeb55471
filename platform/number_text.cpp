#include "platform/number_text.h"

#include <QLocale>
#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

// Digits are produced by the C library's correctly rounded conversion of the
// exact binary value ("%.*e" / "%.*f"), which rounds exact ties to even. So
// 0.125 with two decimals is "0.12", while 2.675 (stored as 2.67499999...) is
// "2.67" and 1.05 (stored as 1.0500000000000000444...) is "1.1".

namespace {

// 0 means "not set": the system separator is used.
std::atomic<char16_t> g_separator{0};

constexpr int kMaxPrecision = 18;
constexpr int kMaxDigits = 18;

// The value's decimal digits rounded to `significant` digits: `digits` holds
// them without trailing zeros ("" for zero), and the value is
// 0.d1d2d3... x 10^exponent.
struct Decimal {
  std::string digits;
  int exponent = 0;
};

Decimal ToSignificant(double absValue, int significant) {
  Decimal d;
  if (absValue == 0.0) return d;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*e", significant - 1, absValue);
  std::string s(buf);
  const auto e = s.find('e');
  std::string mantissa = s.substr(0, e);
  int x = std::atoi(s.c_str() + e + 1);
  for (char c : mantissa) {
    if (c >= '0' && c <= '9') d.digits.push_back(c);
  }
  while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
  d.exponent = x + 1;
  if (d.digits.empty()) d.exponent = 0;
  return d;
}

// The value rounded to `decimals` decimals, in the same digit form.
Decimal ToDecimals(double absValue, int decimals) {
  Decimal d;
  // Large values give long texts; 400 digits cover every double.
  std::vector<char> buf(400 + static_cast<size_t>(decimals));
  std::snprintf(buf.data(), buf.size(), "%.*f", decimals, absValue);
  std::string s(buf.data());
  const auto point = s.find('.');
  std::string intPart = point == std::string::npos ? s : s.substr(0, point);
  std::string fracPart = point == std::string::npos ? std::string() : s.substr(point + 1);
  std::string all = intPart + fracPart;
  int exponent = static_cast<int>(intPart.size());
  size_t lead = 0;
  while (lead < all.size() && all[lead] == '0') {
    ++lead;
    --exponent;
  }
  d.digits = all.substr(lead);
  while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
  d.exponent = d.digits.empty() ? 0 : exponent;
  return d;
}

// Lays out digits in fixed notation with exactly `decimals` decimals.
QString LayoutFixed(bool negative, const Decimal& d, int decimals, QChar separator) {
  QString out;
  if (negative && !d.digits.empty()) out += QLatin1Char('-');
  const int n = static_cast<int>(d.digits.size());
  auto digitAt = [&](int i) -> QChar {  // i-th digit after the implied leading point
    return (i >= 0 && i < n) ? QLatin1Char(d.digits[static_cast<size_t>(i)]) : QLatin1Char('0');
  };
  if (d.exponent <= 0) {
    out += QLatin1Char('0');
  } else {
    for (int i = 0; i < d.exponent; ++i) out += digitAt(i);
  }
  if (decimals > 0) {
    out += separator;
    for (int k = 0; k < decimals; ++k) out += digitAt(d.exponent + k);
  }
  return out;
}

QString ExponentText(int exponent, int minDigits, bool alwaysSign) {
  QString out = QStringLiteral("E");
  if (exponent < 0) {
    out += QLatin1Char('-');
  } else if (alwaysSign) {
    out += QLatin1Char('+');
  }
  QString num = QString::number(std::abs(exponent));
  while (num.size() < minDigits) num.prepend(QLatin1Char('0'));
  return out + num;
}

QString SpecialText(double value) {
  if (std::isnan(value)) return QStringLiteral("NAN");
  return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
}

QString FormatGeneral(double value, int precision, int digits, QChar separator) {
  const bool negative = std::signbit(value);
  const Decimal d = ToSignificant(std::fabs(value), precision);
  if (d.digits.empty()) return QStringLiteral("0");
  QString out;
  if (negative) out += QLatin1Char('-');
  const int n = static_cast<int>(d.digits.size());
  if (d.exponent <= precision && d.exponent >= -4) {
    // Fixed notation without trailing zeros.
    if (d.exponent <= 0) {
      out += QLatin1Char('0');
      out += separator;
      for (int i = 0; i < -d.exponent; ++i) out += QLatin1Char('0');
      out += QString::fromLatin1(d.digits.c_str());
    } else {
      for (int i = 0; i < d.exponent; ++i) out += QLatin1Char(i < n ? d.digits[static_cast<size_t>(i)] : '0');
      if (n > d.exponent) {
        out += separator;
        out += QString::fromLatin1(d.digits.c_str() + d.exponent);
      }
    }
    return out;
  }
  out += QLatin1Char(d.digits[0]);
  if (n > 1) {
    out += separator;
    out += QString::fromLatin1(d.digits.c_str() + 1);
  }
  return out + ExponentText(d.exponent - 1, std::clamp(digits, 0, 4), false);
}

QString FormatExponent(double value, int precision, int digits, QChar separator) {
  const bool negative = std::signbit(value);
  const Decimal d = ToSignificant(std::fabs(value), precision);
  QString out;
  if (negative && !d.digits.empty()) out += QLatin1Char('-');
  const size_t n = d.digits.size();
  out += QLatin1Char(n > 0 ? d.digits[0] : '0');
  if (precision > 1) {
    out += separator;
    for (int i = 1; i < precision; ++i) {
      out += QLatin1Char(static_cast<size_t>(i) < n ? d.digits[static_cast<size_t>(i)] : '0');
    }
  }
  const int exponent = d.digits.empty() ? 0 : d.exponent - 1;
  return out + ExponentText(exponent, std::clamp(digits, 0, 4), true);
}

// Fixed notation, the value rounded to `precision` significant digits or
// `digits` decimals, whichever keeps fewer digits; when the integer part
// needs more than `precision` digits the general (exponent) form is used.
QString FormatFixedPrecision(double value, int precision, int digits, QChar separator) {
  const bool negative = std::signbit(value);
  const double a = std::fabs(value);
  const Decimal sig = ToSignificant(a, precision);
  if (sig.exponent > precision) return FormatGeneral(value, precision, digits, separator);
  if (sig.exponent + digits >= precision) return LayoutFixed(negative, sig, digits, separator);
  return LayoutFixed(negative, ToDecimals(a, digits), digits, separator);
}

bool ParseDecimalInteger(const QString& s, std::int64_t& out) {
  if (s.isEmpty()) return false;
  int i = 0;
  bool negative = false;
  if (s[0] == QLatin1Char('+') || s[0] == QLatin1Char('-')) {
    negative = s[0] == QLatin1Char('-');
    i = 1;
  }
  if (i >= s.size()) return false;
  // Accumulate as a negative number so INT64_MIN fits.
  std::int64_t v = 0;
  for (; i < s.size(); ++i) {
    const char16_t c = s[i].unicode();
    if (c < u'0' || c > u'9') return false;
    const int digit = c - u'0';
    if (v < (std::numeric_limits<std::int64_t>::min() + digit) / 10) return false;
    v = v * 10 - digit;
  }
  if (!negative) {
    if (v == std::numeric_limits<std::int64_t>::min()) return false;
    v = -v;
  }
  out = v;
  return true;
}

// Hex digits only; up to 16 of them, taken as an unsigned 64-bit value.
bool ParseHexDigits(const QString& s, int from, std::uint64_t& out, int& count) {
  std::uint64_t v = 0;
  count = 0;
  for (int i = from; i < s.size(); ++i) {
    const char16_t c = s[i].unicode();
    int digit;
    if (c >= u'0' && c <= u'9') {
      digit = c - u'0';
    } else if (c >= u'a' && c <= u'f') {
      digit = c - u'a' + 10;
    } else if (c >= u'A' && c <= u'F') {
      digit = c - u'A' + 10;
    } else {
      return false;
    }
    if (++count > 16) return false;
    v = (v << 4) | static_cast<std::uint64_t>(digit);
  }
  if (count == 0) return false;
  out = v;
  return true;
}

// Splits "-$1F" / "0x1F" style texts: returns true when the text is
// hexadecimal and gives its digits' start and sign.
bool HexPrefix(const QString& s, int& digitsFrom, bool& negative) {
  int i = 0;
  negative = false;
  if (i < s.size() && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-'))) {
    negative = s[i] == QLatin1Char('-');
    ++i;
  }
  if (i < s.size() && s[i] == QLatin1Char('$')) {
    digitsFrom = i + 1;
    return true;
  }
  if (i + 1 < s.size() && s[i] == QLatin1Char('0') &&
      (s[i + 1] == QLatin1Char('x') || s[i + 1] == QLatin1Char('X'))) {
    digitsFrom = i + 2;
    return true;
  }
  return false;
}

QString Pad(const QString& text, int width, bool left) {
  if (text.size() >= width) return text;
  const QString fill(width - text.size(), QLatin1Char(' '));
  return left ? text + fill : fill + text;
}

}  // namespace

QChar NumberText::SystemDecimalSeparator() {
  const QString point = QLocale::system().decimalPoint();
  if (point.size() != 1) return QLatin1Char('.');
  return point[0];
}

QChar NumberText::DecimalSeparator() {
  const char16_t c = g_separator.load(std::memory_order_relaxed);
  if (c != 0) return QChar(c);
  return SystemDecimalSeparator();
}

void NumberText::SetDecimalSeparator(QChar separator) {
  g_separator.store(separator.unicode(), std::memory_order_relaxed);
}

std::int64_t NumberText::Round(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 9223372036854775807.0) return std::numeric_limits<std::int64_t>::max();
  if (value <= -9223372036854775808.0) return std::numeric_limits<std::int64_t>::min();
  double r = std::floor(value);
  const double diff = value - r;
  if (diff > 0.5 || (diff == 0.5 && std::fmod(r, 2.0) != 0.0)) r += 1.0;
  return static_cast<std::int64_t>(r);
}

std::int64_t NumberText::Trunc(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 9223372036854775807.0) return std::numeric_limits<std::int64_t>::max();
  if (value <= -9223372036854775808.0) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(std::trunc(value));
}

QString NumberText::FloatToStrF(double value, FloatFormat format, int precision, int digits) {
  return FloatToStrF(value, format, precision, digits, DecimalSeparator());
}

QString NumberText::FloatToStrF(double value, FloatFormat format, int precision, int digits,
                                QChar separator) {
  if (!std::isfinite(value)) return SpecialText(value);
  precision = std::clamp(precision, 1, kMaxPrecision);
  digits = std::clamp(digits, 0, kMaxDigits);
  switch (format) {
    case FloatFormat::General:
      return FormatGeneral(value, precision, digits, separator);
    case FloatFormat::Exponent:
      return FormatExponent(value, precision, digits, separator);
    case FloatFormat::Fixed:
    case FloatFormat::Number:
      return FormatFixedPrecision(value, precision, digits, separator);
  }
  return FormatGeneral(value, precision, digits, separator);
}

QString NumberText::FloatToStr(double value) { return FloatToStr(value, DecimalSeparator()); }

QString NumberText::FloatToStr(double value, QChar separator) {
  return FloatToStrF(value, FloatFormat::General, 15, 0, separator);
}

QString NumberText::FormatFixed(double value, int decimals) {
  return FormatFixed(value, decimals, DecimalSeparator());
}

QString NumberText::FormatFixed(double value, int decimals, QChar separator) {
  if (!std::isfinite(value)) return SpecialText(value);
  decimals = std::clamp(decimals, 0, 40);
  return LayoutFixed(std::signbit(value), ToDecimals(std::fabs(value), decimals), decimals, separator);
}

bool NumberText::TryStrToFloat(const QString& text, QChar separator, double& out) {
  if (separator.isNull() || separator == QLatin1Char('.') || separator == QLatin1Char(',') ||
      !text.contains(separator))
    return TryStrToFloat(text, out);
  return TryStrToFloat(QString(text).replace(separator, QLatin1Char('.')), out);
}

bool NumberText::TryStrToFloat(const QString& text, double& out) {
  const QString s = text.trimmed();
  if (s.isEmpty() || s.size() > 400) return false;
  std::string ascii;
  ascii.reserve(static_cast<size_t>(s.size()));
  int i = 0;
  const int n = static_cast<int>(s.size());
  if (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-')) {
    if (s[i] == QLatin1Char('-')) ascii.push_back('-');
    ++i;
  }
  int mantissaDigits = 0;
  bool seenSeparator = false;
  for (; i < n; ++i) {
    const char16_t c = s[i].unicode();
    if (c >= u'0' && c <= u'9') {
      ascii.push_back(static_cast<char>(c));
      ++mantissaDigits;
    } else if ((c == u'.' || c == u',') && !seenSeparator) {
      ascii.push_back('.');
      seenSeparator = true;
    } else {
      break;
    }
  }
  if (mantissaDigits == 0) return false;
  if (i < n) {
    const char16_t c = s[i].unicode();
    if (c != u'e' && c != u'E') return false;
    ascii.push_back('e');
    ++i;
    if (i < n && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-'))) {
      ascii.push_back(static_cast<char>(s[i].unicode()));
      ++i;
    }
    int expDigits = 0;
    for (; i < n; ++i) {
      const char16_t d = s[i].unicode();
      if (d < u'0' || d > u'9') return false;
      ascii.push_back(static_cast<char>(d));
      ++expDigits;
    }
    if (expDigits == 0) return false;
  }
  double v = 0;
  const char* first = ascii.data();
  const char* last = ascii.data() + ascii.size();
  const auto [ptr, ec] = std::from_chars(first, last, v, std::chars_format::general);
  if (ec != std::errc() || ptr != last || !std::isfinite(v)) {
    // from_chars reports underflow as out of range; such a value is zero.
    if (ec == std::errc::result_out_of_range && ptr == last) {
      // Tell overflow from underflow by the exponent's sign.
      const auto e = ascii.find('e');
      if (e != std::string::npos && ascii.find('-', e) != std::string::npos) {
        out = ascii[0] == '-' ? -0.0 : 0.0;
        return true;
      }
    }
    return false;
  }
  out = v;
  return true;
}

double NumberText::StrToFloatDef(const QString& text, double fallback) {
  double v;
  return TryStrToFloat(text, v) ? v : fallback;
}

std::optional<double> NumberText::ParseFloatTolerant(const QString& text) {
  double v = 0.0;
  if (!TryStrToFloat(text, DecimalSeparator(), v)) return std::nullopt;
  return v;
}

bool NumberText::TryStrToInt(const QString& text, std::int64_t& out) {
  const QString s = text.trimmed();
  int from = 0;
  bool negative = false;
  if (HexPrefix(s, from, negative)) {
    std::uint64_t v;
    int count;
    if (!ParseHexDigits(s, from, v, count)) return false;
    const std::int64_t signedValue = static_cast<std::int64_t>(v);
    out = negative ? static_cast<std::int64_t>(0ULL - v) : signedValue;
    return true;
  }
  return ParseDecimalInteger(s, out);
}

bool NumberText::TryStrToInt(const QString& text, int& out) {
  const QString s = text.trimmed();
  int from = 0;
  bool negative = false;
  if (HexPrefix(s, from, negative)) {
    // Up to eight hex digits; the 32-bit pattern is taken as it stands
    // ("$FFFFFFFF" is -1).
    std::uint64_t v;
    int count;
    if (!ParseHexDigits(s, from, v, count) || count > 8) return false;
    std::uint32_t bits = static_cast<std::uint32_t>(v);
    if (negative) bits = 0U - bits;
    out = static_cast<int>(bits);
    return true;
  }
  std::int64_t v;
  if (!ParseDecimalInteger(s, v)) return false;
  if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max()) return false;
  out = static_cast<int>(v);
  return true;
}

int NumberText::StrToIntDef(const QString& text, int fallback) {
  int v;
  return TryStrToInt(text, v) ? v : fallback;
}

QString NumberText::Format(const QString& format, std::initializer_list<Arg> args) {
  return Format(format, args, DecimalSeparator());
}

QString NumberText::Format(const QString& format, std::initializer_list<Arg> args, QChar separator) {
  const std::vector<const Arg*> list = [&] {
    std::vector<const Arg*> v;
    for (const Arg& a : args) v.push_back(&a);
    return v;
  }();
  const int argCount = static_cast<int>(list.size());
  QString out;
  const int n = static_cast<int>(format.size());
  int next = 0;  // index of the next argument
  int i = 0;
  while (i < n) {
    const QChar c = format[i];
    if (c != QLatin1Char('%')) {
      out += c;
      ++i;
      continue;
    }
    const int start = i;
    ++i;
    auto copyAsIs = [&](int end) {
      out += format.mid(start, end - start);
      i = end;
    };
    if (i >= n) {
      copyAsIs(n);
      break;
    }
    if (format[i] == QLatin1Char('%')) {
      out += QLatin1Char('%');
      ++i;
      continue;
    }
    // Parses a number or '*' (taken from the arguments); -1 when absent.
    bool bad = false;
    auto readNumber = [&](bool allowStar) -> int {
      if (i < n && format[i] == QLatin1Char('*') && allowStar) {
        ++i;
        if (next >= argCount) {
          bad = true;
          return -1;
        }
        const auto& v = list[static_cast<size_t>(next)]->value();
        ++next;
        if (!std::holds_alternative<std::int64_t>(v)) {
          bad = true;
          return -1;
        }
        return static_cast<int>(std::clamp<std::int64_t>(std::get<std::int64_t>(v), -4096, 4096));
      }
      if (i >= n || format[i].unicode() < u'0' || format[i].unicode() > u'9') return -1;
      int v = 0;
      while (i < n && format[i].unicode() >= u'0' && format[i].unicode() <= u'9') {
        v = std::min(v * 10 + (format[i].unicode() - u'0'), 4096);
        ++i;
      }
      return v;
    };
    // [index:]
    {
      const int save = i;
      const int before = next;
      const int index = readNumber(true);
      if (!bad && index >= 0 && i < n && format[i] == QLatin1Char(':')) {
        ++i;
        next = index;
      } else {
        i = save;
        next = before;
        bad = false;
      }
    }
    bool left = false;
    if (i < n && format[i] == QLatin1Char('-')) {
      left = true;
      ++i;
    }
    int width = readNumber(true);
    if (width < 0 && !bad) width = 0;
    int precision = -1;
    if (!bad && i < n && format[i] == QLatin1Char('.')) {
      ++i;
      precision = readNumber(true);
      if (precision < 0) precision = 0;
    }
    if (bad || i >= n) {
      copyAsIs(std::min(i, n));
      continue;
    }
    const char16_t type = format[i].toLower().unicode();
    ++i;
    if (next >= argCount || next < 0) {
      copyAsIs(i);
      continue;
    }
    const auto& value = list[static_cast<size_t>(next)]->value();
    QString text;
    bool ok = true;
    switch (type) {
      case u'd':
      case u'u': {
        if (!std::holds_alternative<std::int64_t>(value)) {
          ok = false;
          break;
        }
        std::int64_t v = std::get<std::int64_t>(value);
        bool negative = false;
        std::uint64_t magnitude;
        if (type == u'u' && v < 0) {
          magnitude = v >= std::numeric_limits<int>::min() ? static_cast<std::uint32_t>(v)
                                                           : static_cast<std::uint64_t>(v);
        } else {
          negative = v < 0;
          magnitude = negative ? 0ULL - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
        }
        text = QString::number(magnitude);
        if (precision > text.size()) text.prepend(QString(precision - text.size(), QLatin1Char('0')));
        if (negative) text.prepend(QLatin1Char('-'));
        break;
      }
      case u'x':
      case u'p': {
        if (!std::holds_alternative<std::int64_t>(value)) {
          ok = false;
          break;
        }
        const std::int64_t v = std::get<std::int64_t>(value);
        const std::uint64_t bits = (v < 0 && v >= std::numeric_limits<int>::min())
                                       ? static_cast<std::uint32_t>(v)
                                       : static_cast<std::uint64_t>(v);
        text = QString::number(bits, 16).toUpper();
        if (type == u'p') precision = std::max(precision, 8);
        if (precision > text.size()) text.prepend(QString(precision - text.size(), QLatin1Char('0')));
        break;
      }
      case u'f':
      case u'n':
      case u'm':
      case u'e':
      case u'g': {
        double v;
        if (std::holds_alternative<double>(value)) {
          v = std::get<double>(value);
        } else if (std::holds_alternative<std::int64_t>(value)) {
          v = static_cast<double>(std::get<std::int64_t>(value));
        } else {
          ok = false;
          break;
        }
        if (type == u'e') {
          text = FloatToStrF(v, FloatFormat::Exponent, precision < 0 ? 15 : std::max(precision, 1), 3,
                             separator);
        } else if (type == u'g') {
          text =
              FloatToStrF(v, FloatFormat::General, precision < 0 ? 15 : std::max(precision, 1), 3, separator);
        } else {
          text = FloatToStrF(v, FloatFormat::Fixed, kMaxPrecision, precision < 0 ? 2 : precision, separator);
        }
        break;
      }
      case u's': {
        if (!std::holds_alternative<QString>(value)) {
          ok = false;
          break;
        }
        text = std::get<QString>(value);
        if (precision >= 0 && precision < text.size()) text.truncate(precision);
        break;
      }
      case u'c': {
        if (std::holds_alternative<QString>(value)) {
          text = std::get<QString>(value).left(1);
        } else if (std::holds_alternative<std::int64_t>(value)) {
          const std::int64_t v = std::get<std::int64_t>(value);
          if (v > 0 && v < 0x10000) {
            text = QChar(static_cast<char16_t>(v));
          } else {
            ok = false;
          }
        } else {
          ok = false;
        }
        break;
      }
      default:
        // Not a directive: copied as it stands, no argument taken.
        copyAsIs(i);
        continue;
    }
    if (!ok) {
      // The argument does not fit: the directive is shown, the argument used up.
      ++next;
      copyAsIs(i);
      continue;
    }
    ++next;
    out += Pad(text, width, left);
  }
  return out;
}
