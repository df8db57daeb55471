#include "glowreadout/glow_command_line.h"

#include <algorithm>
#include <array>

#include "platform/number_text.h"

namespace {

// Splits `value` at ',' into exactly `count` integers; false when the
// count differs or one is malformed.
template <std::size_t N>
bool ParseIntegers(const QString& value, std::array<int, N>& out) {
  const QStringList parts = value.split(QLatin1Char(','));
  if (parts.size() != static_cast<qsizetype>(N)) return false;
  for (std::size_t i = 0; i < N; ++i) {
    if (!NumberText::TryStrToInt(parts[static_cast<qsizetype>(i)], out[i])) return false;
  }
  return true;
}

}  // namespace

TGlowCommandLine::TGlowCommandLine(const QStringList& parameters) {
  for (const QString& parameter : parameters) {
    const QString upper = parameter.toUpper();
    paramLog_ += upper + QLatin1Char('#');
    const qsizetype eq = parameter.indexOf(QLatin1Char('='));
    const QString value = eq >= 0 ? parameter.mid(eq + 1) : QString();
    if (upper.startsWith(QStringLiteral("/POS="))) ApplyPosSwitch(value);
    if (upper.startsWith(QStringLiteral("/NAME="))) {
      hasName_ = true;
      name_ = value;
    }
    if (upper.startsWith(QStringLiteral("/APPNAME="))) appName_ = value;
    if (upper.startsWith(QStringLiteral("/COLOR="))) ApplyColorSwitch(value);
    if (upper.startsWith(QStringLiteral("/TRANSPARENT"))) transparent_ = true;
    if (upper.startsWith(QStringLiteral("/CONTRAST"))) contrast_ = true;
    if (upper.startsWith(QStringLiteral("/BORDER"))) border_ = true;
    if (upper.startsWith(QStringLiteral("/CROSS="))) ApplyCrossSwitch(value);
    if (upper.startsWith(QStringLiteral("/DS="))) ApplyDecimalSeparatorSwitch(value);
  }
}

void TGlowCommandLine::ApplyPosSwitch(const QString& value) {
  std::array<int, 4> v{};
  if (!ParseIntegers(value, v)) return;
  bounds_ = QRect(v[0], v[1], std::clamp(v[2], 1, kMaxWindowSize), std::clamp(v[3], 1, kMaxWindowSize));
}

void TGlowCommandLine::ApplyColorSwitch(const QString& value) {
  int v = 0;
  if (NumberText::TryStrToInt(value, v)) color_ = static_cast<std::uint32_t>(v) & 0xFFFFFFu;
}

void TGlowCommandLine::ApplyCrossSwitch(const QString& value) {
  std::array<int, 3> v{};
  if (!ParseIntegers(value, v)) return;
  crossX_ = v[0];
  crossY_ = v[1];
  crossShown_ = static_cast<std::uint8_t>(v[2] & 0xFF);
}

void TGlowCommandLine::ApplyDecimalSeparatorSwitch(const QString& value) {
  int code = 0;
  decimalSeparator_ = QLatin1Char('.');
  if (!NumberText::TryStrToInt(value, code) || code < 0x20 || code > 0xFFFF) return;
  const QChar c(static_cast<char16_t>(code));
  if (c.isPrint() && !c.isSurrogate()) decimalSeparator_ = c;
}
