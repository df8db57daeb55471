#include "measurement/measurement_data_file.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <system_error>

#include "drivers/sentinel_utils.h"
#include "platform/ini_file.h"
#include "platform/number_text.h"

namespace {

const QString kFirstLine12 = QStringLiteral("[Sentinel DataFile][1.2]");
const QString kFirstLine11 = QStringLiteral("[Sentinel DataFile][1.1]");
const QString kFirstLine10 = QStringLiteral("[Sentinel DataFile][1.0]");
const QString kFirstLineArgo10 = QStringLiteral("[Argo-Sentinel DataFile][1.0]");
const QString kDatePrefix = QStringLiteral("Date:\t");
const QString kTimePrefix = QStringLiteral("Time:\t");
const QString kUnitPrefix = QStringLiteral("Unit:\t");
const QString kResolutionPrefix = QStringLiteral("Resolution:\t");
const QString kValuesPrefix = QStringLiteral("Values:\t");
const QString kNoValueText = QStringLiteral("-----");
const QByteArray kColumnTitles =
    "Time\tTObj\tTInt\tTBox\tTAct\tT2C\tT1C\tATTENUATION\tEpsilon\tmVin\tVcc\tTAmb";
const QByteArray kDashLine(33, '-');
const QByteArray kEndOfFile = "End of File";
const QByteArray kLineEnd = "\r\n";

// Largest time the writer puts into a row (about 31,700 years).
constexpr double kMaxWrittenSeconds = 1e12;
// Resolutions written and read: one sample a microsecond to one a day.
constexpr double kMinResolution = 1e-6;
constexpr double kMaxResolution = 86400.0;

bool UsableResolution(double resolution) {
  return resolution >= kMinResolution && resolution <= kMaxResolution;
}
// Rows are collected into blocks of about this size before each write.
constexpr int kWriteBlock = 256 * 1024;

// Fixed-point text of `value` as NumberText::Format("%.<decimals>f") gives
// it, appended to `out`. The C library rounds on the exact binary value with
// halves to even, as NumberText does; values where the two differ (negative
// zero, very large numbers) go through NumberText.
void AppendFixed(QByteArray& out, double value, int decimals, char separator) {
  // Fast path: the scaled value is far enough from a half that the error of
  // the multiplication (below 1e-7 here) cannot change the rounding.
  static constexpr double kScale[] = {1.0, 10.0, 100.0, 1000.0};
  const double scaled = value * kScale[std::clamp(decimals, 0, 3)];
  if (decimals >= 0 && decimals <= 3 && std::fabs(scaled) < 1e9) {
    const double floor = std::floor(scaled);
    const double fraction = scaled - floor;
    if (std::fabs(fraction - 0.5) > 1e-6) {
      long long n = static_cast<long long>(fraction > 0.5 ? floor + 1.0 : floor);
      const bool negative = n < 0;
      if (negative) n = -n;
      char digits[24];
      int len = 0;
      do {
        digits[len++] = static_cast<char>('0' + n % 10);
        n /= 10;
      } while (n != 0);
      while (len <= decimals) digits[len++] = '0';
      if (negative) out += '-';
      for (int i = len - 1; i >= decimals; --i) out += digits[i];
      if (decimals > 0) {
        out += separator;
        for (int i = decimals - 1; i >= 0; --i) out += digits[i];
      }
      return;
    }
  }
  if (std::fabs(value) < 1e15) {
    char buffer[48];
    const int n = std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    if (n > 0 && n < static_cast<int>(sizeof buffer)) {
      char* text = buffer;
      if (text[0] == '-' && std::all_of(text + 1, text + n, [](char c) { return c == '0' || c == '.'; }))
        ++text;
      if (char* point = std::strchr(text, '.')) *point = separator;
      out += text;
      return;
    }
  }
  const QString format = QStringLiteral("%.") + QString::number(decimals) + QLatin1Char('f');
  out += NumberText::Format(format, {value}, QLatin1Char(separator)).toLatin1();
}

QChar UsableSeparator(QChar separator) {
  return separator == QLatin1Char(',') ? QLatin1Char(',') : QLatin1Char('.');
}

MeasurementFileResult Fail(MeasurementFileError error, std::int64_t line, QString message,
                           bool partial = false) {
  MeasurementFileResult r;
  r.Error = error;
  r.Line = line;
  r.Message = line > 0 ? QStringLiteral("Line %1: %2").arg(line).arg(message) : std::move(message);
  r.PartialData = partial;
  return r;
}

// The date in the header, written in some locale's short format.
QDate ParseDate(const QString& text) {
  if (text.isEmpty()) return {};
  QDate date = QLocale::system().toDate(text, QLocale::ShortFormat);
  if (!date.isValid()) date = QLocale::c().toDate(text, QLocale::ShortFormat);
  static const char* const kFormats[] = {"dd.MM.yyyy", "d.M.yyyy",   "dd.MM.yy",   "d.M.yy",  "yyyy-MM-dd",
                                         "dd/MM/yyyy", "d/M/yyyy",   "M/d/yyyy",   "M/d/yy",  "dd/MM/yy",
                                         "d MMM yyyy", "yyyy/MM/dd", "dd-MM-yyyy", "d-M-yyyy"};
  for (const char* format : kFormats) {
    if (date.isValid()) break;
    date = QDate::fromString(text, QLatin1String(format));
  }
  // Two-digit years are read into the 1900s; files are from this century.
  if (date.isValid() && date.year() < 1950) date = date.addYears(100);
  return date;
}

QTime ParseTime(const QString& text) {
  QTime time = QTime::fromString(text, QStringLiteral("hh:mm:ss"));
  if (!time.isValid()) time = QTime::fromString(text, QStringLiteral("h:mm:ss"));
  if (!time.isValid()) time = QTime::fromString(text, QStringLiteral("h:m:s"));
  return time;
}

// Decimals of the values from the step after "/" of the Resolution line:
// round(-log10(step)), or where its first '1' stands when the step is no
// number; 1 without a step.
int YDecimalOf(const QString& step) {
  double value = 0.0;
  if (NumberText::TryStrToFloat(step, value) && value > 0.0) {
    const double d = std::round(-std::log10(value));
    return static_cast<int>(std::clamp(d, 0.0, 3.0));
  }
  switch (step.indexOf(QLatin1Char('1'))) {
    case 0:
      return 0;
    case 3:
      return 2;
    case 4:
      return 3;
    default:
      return 1;
  }
}

// Lines of a device, without their line ends, counted from 1. A line longer
// than the limit ends the reading.
class LineReader {
 public:
  explicit LineReader(QIODevice& device) : device_(device) {}

  bool Next(QByteArray& line) {
    if (tooLong_ || device_.atEnd()) return false;
    const qint64 n = device_.readLine(buffer_.data(), buffer_.size());
    if (n <= 0) return false;
    line = QByteArray(buffer_.constData(), static_cast<qsizetype>(n));
    ++number_;
    terminated_ = line.endsWith('\n');
    if (!terminated_ && !device_.atEnd()) {
      tooLong_ = true;
      return false;
    }
    while (!line.isEmpty() && (line.endsWith('\n') || line.endsWith('\r'))) line.chop(1);
    return true;
  }

  std::int64_t Number() const { return number_; }
  bool TooLong() const { return tooLong_; }
  // The last line read had no line end: the file stops there.
  bool LastUnterminated() const { return !terminated_; }
  bool AtEnd() const { return device_.atEnd(); }

 private:
  QIODevice& device_;
  QByteArray buffer_ = QByteArray(MeasurementDataFile::kMaxLineLength + 2, '\0');
  std::int64_t number_ = 0;
  bool tooLong_ = false;
  bool terminated_ = true;
};

class ProgressSteps {
 public:
  explicit ProgressSteps(const std::function<void(int)>& report) : report_(report) {}
  void Update(std::int64_t done, std::int64_t total) {
    if (!report_ || total <= 0) return;
    const int percent = static_cast<int>(std::clamp<std::int64_t>(done * 100 / total, 0, 100));
    if (percent >= next_) {
      report_(percent - percent % 5);
      next_ = percent - percent % 5 + 5;
    }
  }

 private:
  const std::function<void(int)>& report_;
  int next_ = 5;
};

}  // namespace

MeasurementDataFile::MeasurementDataFile()
    : separator_(UsableSeparator(NumberText::DecimalSeparator())), dateLocale_(QLocale::system()) {}

void MeasurementDataFile::SetDecimalSeparator(QChar separator) { separator_ = UsableSeparator(separator); }

MeasurementDataFile::Version MeasurementDataFile::VersionOfFirstLine(const QString& line) {
  const QString first = line.trimmed();
  if (first == kFirstLine12) return Version::V1_2;
  if (first == kFirstLine11) return Version::V1_1;
  if (first == kFirstLine10 || first == kFirstLineArgo10) return Version::V1_0;
  return Version::Unknown;
}

namespace {

// The time field into `buffer`; returns its length.
int FormatTimeField(char (&buffer)[64], double seconds, char separator) {
  if (!std::isfinite(seconds) || seconds < 0.0) seconds = 0.0;
  seconds = std::min(seconds, kMaxWrittenSeconds);
  // Whole milliseconds first, so the milliseconds never reach 1000.
  const long long total = std::llround(seconds * 1000.0);
  const long long ms = total % 1000;
  const long long s = total / 1000 % 60;
  const long long m = total / 60000 % 60;
  const long long h = total / 3600000;
  return std::snprintf(buffer, sizeof buffer, "%03lld:%02lld:%02lld%c%03lld", h, m, s, separator, ms);
}

}  // namespace

QString MeasurementDataFile::TimeField(double seconds, QChar separator) {
  char buffer[64];
  FormatTimeField(buffer, seconds, static_cast<char>(UsableSeparator(separator).unicode()));
  return QString::fromLatin1(buffer);
}

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool Digits(std::string_view text, std::size_t maxDigits, long long& out) {
  if (text.empty() || text.size() > maxDigits) return false;
  out = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    out = out * 10 + (c - '0');
  }
  return true;
}

bool ParseTimeBytes(std::string_view text, double& seconds) {
  text = Trim(text);
  const std::size_t c1 = text.find(':');
  if (c1 == std::string_view::npos) return false;
  const std::size_t c2 = text.find(':', c1 + 1);
  if (c2 == std::string_view::npos || text.find(':', c2 + 1) != std::string_view::npos) return false;
  const std::string_view sec = text.substr(c2 + 1);
  const std::size_t sep = sec.find_first_of(".,");
  long long h = 0, m = 0, s = 0, ms = 0;
  if (!Digits(text.substr(0, c1), 9, h) || !Digits(text.substr(c1 + 1, c2 - c1 - 1), 4, m) ||
      !Digits(sec.substr(0, sep), 4, s))
    return false;
  if (sep != std::string_view::npos && !Digits(sec.substr(sep + 1), 4, ms)) return false;
  seconds = static_cast<double>(h) * 3600.0 + static_cast<double>(m) * 60.0 + static_cast<double>(s) +
            static_cast<double>(ms) / 1000.0;
  return true;
}

bool ParseValueBytes(std::string_view text, double& value) {
  text = Trim(text);
  if (text == "-----") {
    value = MeasurementDataFile::kNoValueField;
    return true;
  }
  // Common case without the detour through QString: '.' or ',' as the
  // separator, independent of the C library's locale.
  char buffer[64];
  if (!text.empty() && text.size() < sizeof buffer) {
    std::transform(text.begin(), text.end(), buffer, [](char c) { return c == ',' ? '.' : c; });
    double parsed = 0.0;
    const char* end = buffer + text.size();
    const auto [ptr, ec] = std::from_chars(buffer, end, parsed);
    if (ec == std::errc() && ptr == end && std::isfinite(parsed)) {
      value = parsed;
      return true;
    }
  }
  return NumberText::TryStrToFloat(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())),
                                   value);
}

// The field from `pos` up to the next tab (or the end); `pos` moves past the
// tab. False when no field is left.
bool NextField(std::string_view line, std::size_t& pos, std::string_view& field) {
  if (pos > line.size()) return false;
  const std::size_t tab = line.find('\t', pos);
  const std::size_t end = tab == std::string_view::npos ? line.size() : tab;
  field = line.substr(pos, end - pos);
  pos = tab == std::string_view::npos ? line.size() + 1 : tab + 1;
  return true;
}

QString Quoted(std::string_view field) {
  return QString::fromLatin1(field.data(), static_cast<qsizetype>(std::min<std::size_t>(field.size(), 40)));
}

}  // namespace

bool MeasurementDataFile::ParseTimeField(const QString& field, double& seconds) {
  const QByteArray bytes = field.toLatin1();
  return ParseTimeBytes(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), seconds);
}

bool MeasurementDataFile::NextTabField(const QString& line, int& pos, QString& field) {
  if (pos < 0 || pos > line.size()) return false;
  const int tab = line.indexOf(QLatin1Char('\t'), pos);
  const int end = tab < 0 ? line.size() : tab;
  int last = end;
  while (last > pos && line.at(last - 1).isSpace()) --last;
  field = line.mid(pos, last - pos);
  pos = tab < 0 ? line.size() + 1 : tab + 1;
  return true;
}

bool MeasurementDataFile::ParseDataValue(const QString& field, double& value) {
  const QByteArray bytes = field.toLatin1();
  return ParseValueBytes(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), value);
}

namespace {

void AppendValueField(QByteArray& out, int channel, float value, bool fahrenheit, int yDecimal,
                      char separator) {
  if (ChannelValues::IsTemperature(channel)) {
    const float unit = SentinelUtils::CelsiusToUnit(fahrenheit, value);
    // Above 3000 degrees Celsius (and NaN) there is no value.
    if (!(value <= 3000.0f) || !std::isfinite(unit)) {
      out += "-----";
      return;
    }
    AppendFixed(out, static_cast<double>(unit), yDecimal == 2 ? 2 : 1, separator);
    return;
  }
  if (!std::isfinite(value)) {
    out += "-----";
    return;
  }
  AppendFixed(out, static_cast<double>(value), 3, separator);
}

}  // namespace

QString MeasurementDataFile::ValueField(int channel, float value, bool fahrenheit, int yDecimal,
                                        QChar separator) {
  QByteArray out;
  AppendValueField(out, channel, value, fahrenheit, yDecimal,
                   static_cast<char>(UsableSeparator(separator).unicode()));
  return QString::fromLatin1(out);
}

MeasurementFileResult MeasurementDataFile::Write(const QString& fileName, const MeasurementFileHeader& header,
                                                 const MeasurementSampleSource& samples) const {
  if (!UsableResolution(header.Resolution))
    return Fail(MeasurementFileError::BadHeader, 0,
                QStringLiteral("The resolution must be 0.000001 s to 86400 s."));
  QSaveFile file(fileName);
  if (!file.open(QIODevice::WriteOnly)) {
    return Fail(MeasurementFileError::OpenFailed, 0,
                QStringLiteral("Cannot create %1: %2").arg(fileName, file.errorString()));
  }
  MeasurementFileResult result = WriteTo(file, header, samples);
  if (!result.Ok()) {
    file.cancelWriting();
    return result;
  }
  if (!file.commit()) {
    return Fail(MeasurementFileError::WriteFailed, 0,
                QStringLiteral("Cannot write %1: %2").arg(fileName, file.errorString()));
  }
  return {};
}

MeasurementFileResult MeasurementDataFile::WriteTo(QIODevice& device, const MeasurementFileHeader& header,
                                                   const MeasurementSampleSource& samples) const {
  if (!UsableResolution(header.Resolution))
    return Fail(MeasurementFileError::BadHeader, 0,
                QStringLiteral("The resolution must be 0.000001 s to 86400 s."));
  const QChar sep = separator_;
  const char sepChar = static_cast<char>(sep.unicode());
  const int yDecimal = std::clamp(header.YDecimal, 0, 3);

  QByteArray block;
  block.reserve(kWriteBlock + 1024);
  auto flush = [&]() {
    const bool ok = device.write(block) == block.size();
    block.resize(0);  // keeps the capacity
    return ok;
  };
  auto line = [&](const QString& text) {
    block += IniFile::ToWindows1252(text);
    block += kLineEnd;
  };

  const QString dateText = header.StartDate.isValid()
                               ? dateLocale_.toString(header.StartDate, QLocale::ShortFormat)
                               : header.DateText;
  const QString timeText =
      header.StartTime.isValid() ? header.StartTime.toString(QStringLiteral("hh:mm:ss")) : header.TimeText;
  line(kFirstLine12);
  line(kDatePrefix + dateText);
  line(kTimePrefix + timeText);
  line(kUnitPrefix + (header.Fahrenheit ? QStringLiteral("\u00B0F") : QStringLiteral("\u00B0C")));
  // "%4.3f" holds whole milliseconds; a finer resolution keeps six
  // decimals, so that the file reads back with the resolution it was
  // written with (and never as an unreadable "0.000").
  const double millis = header.Resolution * 1000.0;
  const bool wholeMillis = millis >= 0.5 && std::fabs(millis - std::round(millis)) < 1e-6;
  line(kResolutionPrefix +
       NumberText::Format(wholeMillis ? QStringLiteral("%4.3f") : QStringLiteral("%.6f"), {header.Resolution},
                          sep) +
       QLatin1Char('/') + NumberText::Format(QStringLiteral("%4.3f"), {std::pow(10.0, -yDecimal)}, sep));
  line(kValuesPrefix + QString::number(ChannelValues::kCount));
  block += kColumnTitles;
  block += kLineEnd;

  ProgressSteps progress(OnProgress);
  const std::int64_t count = std::max<std::int64_t>(samples.SampleCount(), 0);
  TChannelValues values{};
  for (std::int64_t i = 0; i < count; ++i) {
    samples.SampleValues(i, values);
    char time[64];
    block.append(time, FormatTimeField(time, samples.SampleTime(i), sepChar));
    for (int ch = 0; ch < static_cast<int>(ChannelValues::kCount); ++ch) {
      block += '\t';
      AppendValueField(block, ch, values[static_cast<std::size_t>(ch)], header.Fahrenheit, yDecimal, sepChar);
    }
    block += "\t\r\n";
    if (block.size() >= kWriteBlock && !flush())
      return Fail(MeasurementFileError::WriteFailed, 0,
                  QStringLiteral("Writing failed: %1").arg(device.errorString()));
    progress.Update(i + 1, count);
  }
  block += kDashLine;
  block += kLineEnd;
  block += kEndOfFile;
  block += kLineEnd;
  if (!flush())
    return Fail(MeasurementFileError::WriteFailed, 0,
                QStringLiteral("Writing failed: %1").arg(device.errorString()));
  return {};
}

MeasurementFileResult MeasurementDataFile::Read(const QString& fileName, MeasurementData& data) const {
  data.Clear();
  // A FIFO or a device would block the read or never end.
  if (QFileInfo(fileName).exists() && !QFileInfo(fileName).isFile()) {
    return Fail(MeasurementFileError::OpenFailed, 0,
                QStringLiteral("Cannot open %1: not a regular file").arg(fileName));
  }
  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly)) {
    return Fail(MeasurementFileError::OpenFailed, 0,
                QStringLiteral("Cannot open %1: %2").arg(fileName, file.errorString()));
  }
  return ReadFrom(file, data);
}

MeasurementFileResult MeasurementDataFile::ReadBytes(const QByteArray& bytes, MeasurementData& data) const {
  QBuffer buffer;
  buffer.setData(bytes);
  buffer.open(QIODevice::ReadOnly);
  return ReadFrom(buffer, data);
}

MeasurementFileResult MeasurementDataFile::ReadFrom(QIODevice& device, MeasurementData& data) const {
  data.Clear();
  LineReader reader(device);
  QByteArray raw;
  auto tooLong = [&](bool partial) {
    if (!partial) data.Clear();
    return Fail(MeasurementFileError::TooLarge, reader.Number(),
                QStringLiteral("The line is longer than %1 bytes.").arg(kMaxLineLength), partial);
  };

  if (!reader.Next(raw)) {
    if (reader.TooLong()) return tooLong(false);
    return Fail(MeasurementFileError::UnknownFormat, 0, QStringLiteral("The file is empty."));
  }
  const Version version = VersionOfFirstLine(IniFile::FromWindows1252(raw));
  if (version == Version::Unknown)
    return Fail(MeasurementFileError::UnknownFormat, 1,
                QStringLiteral("This is not a measurement data file."));

  // Header.
  MeasurementFileHeader& header = data.Header;
  header.ValueCount = version == Version::V1_0 ? kOldValueCount : static_cast<int>(ChannelValues::kCount);
  const int headerLines = version == Version::V1_0 ? kOldHeaderLines : kHeaderLines;
  bool haveResolution = false;
  for (int k = 0; k < headerLines; ++k) {
    if (!reader.Next(raw)) {
      if (reader.TooLong()) return tooLong(false);
      data.Clear();
      return Fail(MeasurementFileError::MissingHeader, reader.Number() + 1,
                  QStringLiteral("The file ends inside its header."));
    }
    const QString text = IniFile::FromWindows1252(raw);
    if (text.startsWith(kValuesPrefix)) {
      bool ok = false;
      const int count = text.mid(kValuesPrefix.size()).trimmed().toInt(&ok);
      if (!ok || count < 0 || count > static_cast<int>(ChannelValues::kCount)) {
        const std::int64_t line = reader.Number();
        data.Clear();
        return Fail(MeasurementFileError::BadHeader, line,
                    QStringLiteral("The number of values must be 0 to %1.").arg(ChannelValues::kCount));
      }
      header.ValueCount = count;
    } else if (text.startsWith(kUnitPrefix)) {
      header.Fahrenheit = text.indexOf(QLatin1Char('F'), kUnitPrefix.size()) >= 0;
    } else if (text.startsWith(kResolutionPrefix)) {
      const QString rest = text.mid(kResolutionPrefix.size());
      const int slash = rest.indexOf(QLatin1Char('/'));
      double resolution = 0.0;
      if (!NumberText::TryStrToFloat(slash < 0 ? rest : rest.left(slash), resolution) ||
          !UsableResolution(resolution)) {
        const std::int64_t line = reader.Number();
        data.Clear();
        return Fail(MeasurementFileError::BadHeader, line,
                    QStringLiteral("The resolution must be a number from 0.000001 to 86400."));
      }
      header.Resolution = resolution;
      header.YDecimal = slash < 0 ? 1 : YDecimalOf(rest.mid(slash + 1).trimmed());
      haveResolution = true;
    } else if (text.startsWith(kDatePrefix)) {
      header.DateText = text.mid(kDatePrefix.size()).trimmed();
      header.StartDate = ParseDate(header.DateText);
    } else if (text.startsWith(kTimePrefix)) {
      header.TimeText = text.mid(kTimePrefix.size()).trimmed();
      header.StartTime = ParseTime(header.TimeText);
    }
  }
  if (!haveResolution) {
    const std::int64_t line = reader.Number();
    data.Clear();
    return Fail(MeasurementFileError::MissingHeader, line,
                QStringLiteral("The header has no resolution line."));
  }

  // Rows.
  const int columns = std::min(header.ValueCount, static_cast<int>(ChannelValues::kCount));
  const std::int64_t total = device.isSequential() ? 0 : device.size();
  ProgressSteps progress(OnProgress);
  bool sawEnd = false;
  bool first = true;
  double previous = 0.0;
  double start = 0.0;
  std::int64_t days = 0;
  std::int64_t rows = 0;
  TChannelValues values{};
  while (reader.Next(raw)) {
    if (raw.trimmed().isEmpty()) continue;
    if (std::all_of(raw.begin(), raw.end(), [](char c) { return c == '-'; }) || raw.trimmed() == kEndOfFile) {
      sawEnd = true;
      break;
    }
    // A bad last line without its line end is a file cut short.
    auto badRow = [&](const QString& what) {
      const bool cut = reader.LastUnterminated() && reader.AtEnd();
      return Fail(cut ? MeasurementFileError::Truncated : MeasurementFileError::BadRow, reader.Number(),
                  cut ? QStringLiteral("The file ends inside a row.") : what, true);
    };
    if (rows >= kMaxRows)
      return Fail(MeasurementFileError::TooLarge, reader.Number(),
                  QStringLiteral("The file holds more than %1 rows.").arg(kMaxRows), true);

    const std::string_view line(raw.constData(), static_cast<std::size_t>(raw.size()));
    std::size_t pos = 0;
    std::string_view field;
    double time = 0.0;
    if (!NextField(line, pos, field) || !ParseTimeBytes(field, time))
      return badRow(QStringLiteral("The time field \"%1\" cannot be read.").arg(Quoted(field)));
    values.fill(0.0f);
    std::array<bool, ChannelValues::kCount> present{};
    for (int ch = 0; ch < columns; ++ch) {
      double value = 0.0;
      if (!NextField(line, pos, field)) return badRow(QStringLiteral("The row has too few values."));
      if (!ParseValueBytes(field, value))
        return badRow(QStringLiteral("The value \"%1\" is not a number.").arg(Quoted(field)));
      if (value >= kNoValueLimit) continue;  // no value: stays 0
      float v = static_cast<float>(value);
      if (ChannelValues::IsTemperature(ch)) v = SentinelUtils::UnitToCelsius(header.Fahrenheit, v);
      if (!std::isfinite(v))
        return badRow(QStringLiteral("The value \"%1\" is out of range.").arg(Quoted(field)));
      values[static_cast<std::size_t>(ch)] = v;
      present[static_cast<std::size_t>(ch)] = true;
    }

    // Rows of clock times that pass midnight go on growing.
    if (!first && time < previous) ++days;
    previous = time;
    const double adjusted = time + static_cast<double>(days) * kDaySeconds;
    if (first) {
      start = adjusted;
      first = false;
    }
    for (int ch = 0; ch < columns; ++ch) {
      if (present[static_cast<std::size_t>(ch)]) data.WidenValueRange(values[static_cast<std::size_t>(ch)]);
    }
    data.Append(adjusted - start, values);
    ++rows;
    progress.Update(device.pos(), total);
    if (OnBatch && data.SampleCount() >= std::max<std::int64_t>(BatchRows, 1)) {
      if (!OnBatch(data))
        return Fail(MeasurementFileError::Cancelled, reader.Number(),
                    QStringLiteral("Reading was cancelled."));
      data.ClearSamples();
    }
  }
  if (reader.TooLong()) return tooLong(true);
  if (!sawEnd && version == Version::V1_2) {
    return Fail(MeasurementFileError::Truncated, reader.Number() + 1,
                QStringLiteral("The file ends without its closing lines; the data may be incomplete."), true);
  }
  if (OnProgress) OnProgress(100);
  return {};
}
