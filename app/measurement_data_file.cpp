#include "app/measurement_data_file.h"

#include <QBuffer>
#include <QFile>
#include <QSaveFile>
#include <QStringList>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

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
const QByteArray kColumnTitles = "Time\tTObj\tTInt\tTBox\tTAct\tT2C\tT1C\tATTENUATION\tEpsilon\tmVin\tVcc\tTAmb";
const QByteArray kDashLine(33, '-');
const QByteArray kEndOfFile = "End of File";
const QByteArray kLineEnd = "\r\n";

// Largest time the writer puts into a row (about 31,700 years).
constexpr double kMaxWrittenSeconds = 1e12;
// Resolution accepted from a file: up to one sample a day.
constexpr double kMaxResolution = 86400.0;
// Rows are collected into blocks of about this size before each write.
constexpr int kWriteBlock = 256 * 1024;

QChar UsableSeparator(QChar separator) {
  return separator == QLatin1Char(',') ? QLatin1Char(',') : QLatin1Char('.');
}

MeasurementFileResult Fail(MeasurementFileError error, std::int64_t line, QString message, bool partial = false) {
  MeasurementFileResult r;
  r.Error = error;
  r.Line = line;
  r.Message = line > 0 ? QStringLiteral("Line %1: %2").arg(line).arg(message) : std::move(message);
  r.PartialData = partial;
  return r;
}

bool AllDigits(QStringView text, int maxDigits) {
  if (text.isEmpty() || text.size() > maxDigits) return false;
  return std::all_of(text.begin(), text.end(), [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
}

// The date in the header, written in some locale's short format.
QDate ParseDate(const QString& text) {
  if (text.isEmpty()) return {};
  QDate date = QLocale::system().toDate(text, QLocale::ShortFormat);
  if (!date.isValid()) date = QLocale::c().toDate(text, QLocale::ShortFormat);
  static const char* const kFormats[] = {"dd.MM.yyyy", "d.M.yyyy", "dd.MM.yy", "d.M.yy",   "yyyy-MM-dd",
                                         "dd/MM/yyyy", "d/M/yyyy", "M/d/yyyy", "M/d/yy",   "dd/MM/yy",
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
    line = device_.readLine(MeasurementDataFile::kMaxLineLength + 2);
    if (line.isEmpty() && device_.atEnd()) return false;
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

QString MeasurementDataFile::TimeField(double seconds, QChar separator) {
  if (!std::isfinite(seconds) || seconds < 0.0) seconds = 0.0;
  seconds = std::min(seconds, kMaxWrittenSeconds);
  // Whole milliseconds first, so the milliseconds never reach 1000.
  const long long total = std::llround(seconds * 1000.0);
  const long long ms = total % 1000;
  const long long s = total / 1000 % 60;
  const long long m = total / 60000 % 60;
  const long long h = total / 3600000;
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%03lld:%02lld:%02lld%c%03lld", h, m, s,
                static_cast<char>(UsableSeparator(separator).unicode()), ms);
  return QString::fromLatin1(buffer);
}

bool MeasurementDataFile::ParseTimeField(const QString& field, double& seconds) {
  const QString text = field.trimmed();
  const QStringList parts = text.split(QLatin1Char(':'));
  if (parts.size() != 3) return false;
  const QString& secText = parts[2];
  int sep = secText.indexOf(QLatin1Char('.'));
  if (sep < 0) sep = secText.indexOf(QLatin1Char(','));
  const QStringView whole = sep < 0 ? QStringView(secText) : QStringView(secText).left(sep);
  const QStringView millis = sep < 0 ? QStringView() : QStringView(secText).mid(sep + 1);
  if (!AllDigits(parts[0], 9) || !AllDigits(parts[1], 4) || !AllDigits(whole, 4)) return false;
  if (sep >= 0 && !AllDigits(millis, 4)) return false;
  const double h = parts[0].toLongLong();
  const double m = parts[1].toInt();
  const double s = whole.toInt();
  const double ms = sep < 0 ? 0.0 : millis.toInt();
  seconds = h * 3600.0 + m * 60.0 + s + ms / 1000.0;
  return true;
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
  const QString text = field.trimmed();
  if (text == kNoValueText) {
    value = kNoValueField;
    return true;
  }
  return NumberText::TryStrToFloat(text, value);
}

QString MeasurementDataFile::ValueField(int channel, float value, bool fahrenheit, int yDecimal, QChar separator) {
  const QChar sep = UsableSeparator(separator);
  if (ChannelValues::IsTemperature(channel)) {
    if (!(value <= 3000.0f)) return kNoValueText;  // NaN too
    const float unit = SentinelUtils::CelsiusToUnit(fahrenheit, value);
    return NumberText::Format(yDecimal == 2 ? QStringLiteral("%3.2f") : QStringLiteral("%3.1f"),
                              {static_cast<double>(unit)}, sep);
  }
  if (!std::isfinite(value)) return kNoValueText;
  return NumberText::Format(QStringLiteral("%.3f"), {static_cast<double>(value)}, sep);
}

MeasurementFileResult MeasurementDataFile::Write(const QString& fileName, const MeasurementFileHeader& header,
                                                 const MeasurementSampleSource& samples) const {
  if (!(header.Resolution > 0.0) || !std::isfinite(header.Resolution))
    return Fail(MeasurementFileError::BadHeader, 0, QStringLiteral("The resolution must be above zero."));
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
  if (!(header.Resolution > 0.0) || !std::isfinite(header.Resolution))
    return Fail(MeasurementFileError::BadHeader, 0, QStringLiteral("The resolution must be above zero."));
  const QChar sep = separator_;
  const int yDecimal = std::clamp(header.YDecimal, 0, 3);

  QByteArray block;
  block.reserve(kWriteBlock + 1024);
  auto flush = [&]() {
    const bool ok = device.write(block) == block.size();
    block.clear();
    return ok;
  };
  auto line = [&](const QString& text) {
    block += IniFile::ToWindows1252(text);
    block += kLineEnd;
  };

  const QString dateText =
      header.StartDate.isValid() ? dateLocale_.toString(header.StartDate, QLocale::ShortFormat) : header.DateText;
  const QString timeText =
      header.StartTime.isValid() ? header.StartTime.toString(QStringLiteral("hh:mm:ss")) : header.TimeText;
  line(kFirstLine12);
  line(kDatePrefix + dateText);
  line(kTimePrefix + timeText);
  line(kUnitPrefix + (header.Fahrenheit ? QStringLiteral("\u00B0F") : QStringLiteral("\u00B0C")));
  line(kResolutionPrefix + NumberText::Format(QStringLiteral("%4.3f"), {header.Resolution}, sep) +
       QLatin1Char('/') + NumberText::Format(QStringLiteral("%4.3f"), {std::pow(10.0, -yDecimal)}, sep));
  line(kValuesPrefix + QString::number(ChannelValues::kCount));
  block += kColumnTitles;
  block += kLineEnd;

  ProgressSteps progress(OnProgress);
  const std::int64_t count = std::max<std::int64_t>(samples.SampleCount(), 0);
  TChannelValues values{};
  for (std::int64_t i = 0; i < count; ++i) {
    samples.SampleValues(i, values);
    block += TimeField(samples.SampleTime(i), sep).toLatin1();
    for (int ch = 0; ch < static_cast<int>(ChannelValues::kCount); ++ch) {
      block += '\t';
      block += ValueField(ch, values[static_cast<std::size_t>(ch)], header.Fahrenheit, yDecimal, sep).toLatin1();
    }
    block += "\t\r\n";
    if (block.size() >= kWriteBlock && !flush())
      return Fail(MeasurementFileError::WriteFailed, 0, QStringLiteral("Writing failed: %1").arg(device.errorString()));
    progress.Update(i + 1, count);
  }
  block += kDashLine;
  block += kLineEnd;
  block += kEndOfFile;
  block += kLineEnd;
  if (!flush())
    return Fail(MeasurementFileError::WriteFailed, 0, QStringLiteral("Writing failed: %1").arg(device.errorString()));
  return {};
}

MeasurementFileResult MeasurementDataFile::Read(const QString& fileName, MeasurementData& data) const {
  data.Clear();
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
    return Fail(MeasurementFileError::TooLarge, reader.Number() + 1,
                QStringLiteral("The line is longer than %1 bytes.").arg(kMaxLineLength), partial);
  };

  if (!reader.Next(raw)) {
    if (reader.TooLong()) return tooLong(false);
    return Fail(MeasurementFileError::UnknownFormat, 0, QStringLiteral("The file is empty."));
  }
  const Version version = VersionOfFirstLine(IniFile::FromWindows1252(raw));
  if (version == Version::Unknown)
    return Fail(MeasurementFileError::UnknownFormat, 1, QStringLiteral("This is not a measurement data file."));

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
      if (!NumberText::TryStrToFloat(slash < 0 ? rest : rest.left(slash), resolution) || !(resolution > 0.0) ||
          resolution > kMaxResolution) {
        const std::int64_t line = reader.Number();
        data.Clear();
        return Fail(MeasurementFileError::BadHeader, line,
                    QStringLiteral("The resolution must be a number above zero."));
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
    return Fail(MeasurementFileError::MissingHeader, line, QStringLiteral("The header has no resolution line."));
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
  QString line;
  QString field;
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

    line = QString::fromLatin1(raw);
    int pos = 0;
    double time = 0.0;
    if (!NextTabField(line, pos, field) || !ParseTimeField(field, time))
      return badRow(QStringLiteral("The time field \"%1\" cannot be read.").arg(field.left(40)));
    values.fill(0.0f);
    std::array<bool, ChannelValues::kCount> present{};
    for (int ch = 0; ch < columns; ++ch) {
      double value = 0.0;
      if (!NextTabField(line, pos, field)) return badRow(QStringLiteral("The row has too few values."));
      if (!ParseDataValue(field, value))
        return badRow(QStringLiteral("The value \"%1\" is not a number.").arg(field.left(40)));
      if (value >= kNoValueLimit) continue;  // no value: stays 0
      float v = static_cast<float>(value);
      if (ChannelValues::IsTemperature(ch)) v = SentinelUtils::UnitToCelsius(header.Fahrenheit, v);
      if (!std::isfinite(v)) return badRow(QStringLiteral("The value \"%1\" is out of range.").arg(field.left(40)));
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
  }
  if (reader.TooLong()) return tooLong(true);
  if (!sawEnd && version == Version::V1_2) {
    return Fail(MeasurementFileError::Truncated, reader.Number() + 1,
                QStringLiteral("The file ends without its closing lines; the data may be incomplete."), true);
  }
  if (OnProgress) OnProgress(100);
  return {};
}
