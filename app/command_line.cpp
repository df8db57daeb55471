#include "app/command_line.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <limits>
#include <optional>

#include "measurement/config.h"

namespace {

bool StartsWith(const QString& parameter, QLatin1StringView prefix) {
  return parameter.startsWith(prefix, Qt::CaseInsensitive);
}

constexpr long long kSaturation = 1000000000000LL;

// A whole number >= 0 in decimal, blanks around it allowed, saturating at
// kSaturation. Anything else gives nothing.
std::optional<long long> NonNegativeDecimal(const QString& text) {
  const QString t = text.trimmed();
  qsizetype i = 0;
  if (i < t.size() && t[i] == QLatin1Char('+')) ++i;
  if (i == t.size()) return std::nullopt;
  long long value = 0;
  for (; i < t.size(); ++i) {
    const char16_t c = t[i].unicode();
    if (c < u'0' || c > u'9') return std::nullopt;
    if (value < kSaturation) value = value * 10 + (c - u'0');
  }
  return value;
}

}  // namespace

CommandLine::CommandLine(const QStringList& Parameters, const QString& ProgramName)
    : parameters_(Parameters) {
  for (const QString& p : parameters_) {
    if (StartsWith(p, QLatin1StringView("/?")) || StartsWith(p, QLatin1StringView("/HELP"))) {
      stopFlag_ = true;
    } else if (StartsWith(p, QLatin1StringView("/NAME="))) {
      const QString name = p.mid(6, kMaxInstanceNameLength);
      if (name.trimmed().isEmpty()) {
        instanceName_ = name;
        stopFlag_ = true;
      } else if (!IsSafeInstanceName(name) || !FitsSettingsFileName(name, ProgramName)) {
        stopFlag_ = true;
      } else {
        instanceName_ = name;
      }
    } else if (StartsWith(p, QLatin1StringView("/DELAY"))) {
      delay_ = 1;
      const qsizetype eq = p.indexOf(QLatin1Char('='));
      if (eq >= 0) {
        // A negative or malformed value counts as no value; a huge one is
        // clamped, so the start-up interval always stays in range.
        if (const auto n = NonNegativeDecimal(p.mid(eq + 1)))
          delay_ = static_cast<int>(std::min<long long>(*n, kMaxDelaySeconds));
      }
    } else if (StartsWith(p, QLatin1StringView("/INVISIBLE"))) {
      invisible_ = true;
    } else if (StartsWith(p, QLatin1StringView("/TO="))) {
      // Characters 5..255 of the parameter.
      const auto n = NonNegativeDecimal(p.mid(4, 251));
      scanTimeOut_ = n && *n <= std::numeric_limits<int>::max() ? static_cast<int>(*n) : kDefaultScanTimeOut;
    } else if (p == QLatin1StringView("\\KVW")) {
      serviceSwitch_ = true;
    } else if (p == QLatin1StringView("/SRVC")) {
      calibrationSwitch_ = true;
    }
  }
}

CommandLine CommandLine::FromArguments(const QStringList& Arguments) {
  if (Arguments.isEmpty()) return CommandLine(QStringList());
  return CommandLine(Arguments.mid(1), QFileInfo(Arguments.first()).completeBaseName());
}

bool CommandLine::FitsSettingsFileName(const QString& name, const QString& ProgramName) {
  return QFile::encodeName(TConfig::SettingsFileBaseName(ProgramName, name)).size() <=
         TConfig::kMaxFileNameBytes;
}

bool CommandLine::IsSafeInstanceName(const QString& name) {
  if (name.contains(QLatin1StringView(".."))) return false;
  for (const QChar c : name) {
    if (c == QLatin1Char('/') || c == QLatin1Char('\\')) return false;
    if (c.unicode() < 0x20 || c.unicode() == 0x7F) return false;
  }
  return true;
}
