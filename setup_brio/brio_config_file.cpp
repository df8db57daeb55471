#include "setup_brio/brio_config_file.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/ini_file.h"
#include "platform/number_text.h"
#include "ui/lng_ini_supp.h"

namespace {

const QString kMagic = QStringLiteral("ThermaSentinel-CONFIGURATION-FILE V2");
const QString kBegin = QStringLiteral("[BEGIN]");
const QString kEnd = QStringLiteral("[END]");
const QString kTmin = QStringLiteral("_Tmin=");
const QString kTmax = QStringLiteral("_Tmax=");
constexpr char16_t kDegree = 0x00B0;

// One line as text: UTF-8 when its bytes are valid UTF-8 (a file edited
// elsewhere), Windows-1252 otherwise (the files the program writes).
QString LineText(const QByteArray& bytes) {
  const bool ascii = std::all_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) == 0; });
  if (ascii) return QString::fromLatin1(bytes);
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  const QString text = utf8.decode(bytes);
  if (!utf8.hasError()) return text;
  return IniFile::FromWindows1252(bytes);
}

// The lines of a file ending in CR LF, LF or CR.
QStringList Lines(const QByteArray& bytes) {
  QStringList lines;
  qsizetype start = 0;
  const qsizetype n = bytes.size();
  for (qsizetype i = 0; i < n; ++i) {
    const char c = bytes[i];
    if (c != '\r' && c != '\n') continue;
    lines.push_back(LineText(bytes.mid(start, i - start)));
    if (c == '\r' && i + 1 < n && bytes[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < n) lines.push_back(LineText(bytes.mid(start)));
  return lines;
}

// "_Tmin=" / "_Tmax=" value: up to 255 characters, cut before the degree sign.
std::optional<float> RangeValue(const QString& line) {
  QString value = line.mid(6).left(BrioConfigFile::kMaxValueLength);
  const qsizetype degree = value.indexOf(QChar(kDegree));
  if (degree >= 0) value.truncate(degree);
  const std::optional<double> v = NumberText::ParseFloatTolerant(value.trimmed());
  if (!v || std::fabs(*v) > std::numeric_limits<float>::max()) return std::nullopt;
  return static_cast<float>(*v);
}

// A list index from a stored number: rounded, after clamping into the int
// range (a huge number must not reach the conversion); below -1 is no selection.
std::optional<int> ListIndexValue(const QString& value) {
  const std::optional<double> v = NumberText::ParseFloatTolerant(value.trimmed());
  if (!v) return std::nullopt;
  const double clamped = std::clamp(*v, -1.0, static_cast<double>(std::numeric_limits<int>::max()));
  return static_cast<int>(
      std::clamp<std::int64_t>(NumberText::Round(clamped), -1, std::numeric_limits<int>::max()));
}

std::optional<SetupValue> ValueFor(SetupValueKind kind, const QString& value) {
  switch (kind) {
    case SetupValueKind::Mark:
      return SetupValue::OfMark(value.toUpper().contains(QLatin1Char('1')));
    case SetupValueKind::ListIndex:
      if (const std::optional<int> index = ListIndexValue(value)) return SetupValue::OfIndex(*index);
      return std::nullopt;
    case SetupValueKind::Spin:
      if (const std::optional<double> v = NumberText::ParseFloatTolerant(value.trimmed())) {
        return SetupValue::OfSpin(*v);
      }
      return std::nullopt;
    case SetupValueKind::Text:
      return SetupValue::OfText(value);
  }
  return std::nullopt;
}

}  // namespace

bool BrioConfigFileProfile::Reads(SetupValueKind kind) const {
  return std::find(KindsRead.begin(), KindsRead.end(), kind) != KindsRead.end();
}

QString BrioConfigFile::ValueText(const SetupValue& value) {
  switch (value.Kind) {
    case SetupValueKind::Mark:
      return value.Mark ? QStringLiteral("1") : QStringLiteral("0");
    case SetupValueKind::ListIndex:
      return QString::number(value.Index);
    case SetupValueKind::Spin:
      return NumberText::FloatToStrF(value.Spin, NumberText::FloatFormat::Fixed, 8, 3);
    case SetupValueKind::Text:
      return value.Text;
  }
  return {};
}

QByteArray BrioConfigFile::Compose(const BrioConfigFileProfile& profile, const BrioControlRegistry& registry,
                                   float rangeLow, float rangeHigh) {
  QString text;
  const auto line = [&text](const QString& s) { text += s + QStringLiteral("\r\n"); };
  line(kMagic);
  line(QString(36, QLatin1Char('-')));
  line(profile.ModelLine);
  line(kTmin + NumberText::FormatFixed(rangeLow, 2) + QChar(kDegree) + QLatin1Char('C'));
  line(kTmax + NumberText::FormatFixed(rangeHigh, 2) + QChar(kDegree) + QLatin1Char('C'));
  line(kBegin);
  for (const BrioControlRegistry::Control& c : registry.Controls()) {
    if (!c.Get) continue;
    const QString value = ValueText(c.Get());
    if (!value.isEmpty()) line(c.Name + QLatin1Char('=') + value);
  }
  line(kEnd);
  return IniFile::ToWindows1252(text);
}

BrioConfigFile::Content BrioConfigFile::Parse(const QByteArray& bytes, const BrioConfigFileProfile& profile,
                                              const BrioControlRegistry& registry) {
  Content out;
  const QStringList lines = Lines(bytes);
  const auto lineAt = [&lines](qsizetype i) { return i < lines.size() ? lines[i] : QString(); };
  if (lineAt(0) != kMagic || !profile.AcceptedModelLines.contains(lineAt(2))) {
    out.status = Status::NotValid;
    return out;
  }

  // Header: the range limits count only when a body follows.
  qsizetype i = 3;
  std::optional<float> low;
  std::optional<float> high;
  for (; i < lines.size() && lines[i] != kBegin; ++i) {
    const QString& l = lines[i];
    if (l.startsWith(kTmin)) {
      if (const auto v = RangeValue(l)) low = v;
    } else if (l.startsWith(kTmax)) {
      if (const auto v = RangeValue(l)) high = v;
    }
  }
  if (i >= lines.size()) {
    out.status = Status::NoBody;
    return out;
  }
  out.RangeLow = low;
  out.RangeHigh = high;

  std::vector<BrioConfigFileEntry> last;
  for (++i; i < lines.size() && lines[i] != kEnd; ++i) {
    const QString& l = lines[i];
    const qsizetype eq = l.indexOf(QLatin1Char('='));
    if (eq <= 0) continue;
    const BrioControlRegistry::Control* control = registry.Find(l.left(eq));
    if (!control || !profile.Reads(control->Kind)) continue;
    const std::optional<SetupValue> value = ValueFor(control->Kind, l.mid(eq + 1).left(kMaxValueLength));
    if (!value) continue;
    BrioConfigFileEntry entry{control->Name, *value};
    if (profile.KeysAppliedLast.contains(control->Name, Qt::CaseInsensitive)) {
      std::erase_if(last, [&](const BrioConfigFileEntry& e) { return e.Name == entry.Name; });
      last.push_back(std::move(entry));
    } else {
      out.Entries.push_back(std::move(entry));
    }
  }
  out.Entries.insert(out.Entries.end(), last.begin(), last.end());
  out.status = Status::Loaded;
  return out;
}

BrioConfigFile::Content BrioConfigFile::Read(const QString& fileName, const BrioConfigFileProfile& profile,
                                             const BrioControlRegistry& registry) {
  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly)) return Content{};
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) return Content{};
  return Parse(bytes, profile, registry);
}

BrioConfigFile::SaveResult BrioConfigFile::Save(const QString& fileName, const BrioConfigFileProfile& profile,
                                                const BrioControlRegistry& registry, float rangeLow,
                                                float rangeHigh) {
  const QByteArray bytes = Compose(profile, registry, rangeLow, rangeHigh);
  QSaveFile file(fileName);
  if (!file.open(QIODevice::WriteOnly)) return {false, file.errorString()};
  if (file.write(bytes) != bytes.size()) {
    const QString error = file.errorString();
    file.cancelWriting();
    return {false, error};
  }
  if (!file.commit()) return {false, file.errorString()};
  return {true, {}};
}

BrioConfigFile::LoadResult BrioConfigFile::Load(const QString& fileName, const BrioConfigFileProfile& profile,
                                                const BrioControlRegistry& registry) {
  const Content content = Read(fileName, profile, registry);
  LoadResult result;
  result.status = content.status;
  if (content.status != Status::Loaded) return result;
  result.RangeLow = content.RangeLow;
  result.RangeHigh = content.RangeHigh;
  for (const BrioConfigFileEntry& e : content.Entries) registry.Apply(e.Name, e.Value);
  if (profile.PostLoad) profile.PostLoad();
  return result;
}

QString BrioConfigFile::StatusMessage(Status status, const TLngINISupp* language) {
  switch (status) {
    case Status::NotValid: {
      const QString text = QStringLiteral("CONFIGURATION FILE NOT VALID !");
      return language ? language->MessageText(QStringLiteral("ConfigFileNotValid"),
                                              QStringLiteral("CONFIGURATION FILE NOT VALID !"))
                      : text;
    }
    case Status::ReadError: {
      const QString text = QStringLiteral("ERROR WHILE READING CONFIGURATION FILE !");
      return language ? language->MessageText(QStringLiteral("ConfigFileReadError"),
                                              QStringLiteral("ERROR WHILE READING CONFIGURATION FILE !"))
                      : text;
    }
    default:
      return {};
  }
}

QString BrioConfigFile::SaveFailedMessage(const TLngINISupp* language) {
  const QString text = QStringLiteral("ERROR WHILE WRITING CONFIGURATION FILE !");
  return language ? language->MessageText(QStringLiteral("ConfigFileWriteError"),
                                          QStringLiteral("ERROR WHILE WRITING CONFIGURATION FILE !"))
                  : text;
}
