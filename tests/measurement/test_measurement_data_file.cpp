#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QBuffer>
#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <ostream>
#include <random>
#include <vector>

#include "measurement/channel_values.h"
#include "measurement/measurement_data.h"
#include "measurement/measurement_data_file.h"
#include "measurement/measurement_data_loader.h"
#include "platform/number_text.h"

namespace {

using Error = MeasurementFileError;
namespace CV = ChannelValues;

QString Fixture(const char* name) {
  return QStringLiteral(TS_SOURCE_DIR "/tests/measurement/fixtures/") + QLatin1String(name);
}

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A few samples that use every channel, values in degrees Celsius.
MeasurementData SampleData(double resolution, int count) {
  MeasurementData data;
  data.Header.StartDate = QDate(2026, 12, 10);
  data.Header.StartTime = QTime(14, 5, 30);
  data.Header.Resolution = resolution;
  for (int i = 0; i < count; ++i) {
    TChannelValues v{};
    v[CV::TObj] = 20.0f + 0.5f * static_cast<float>(i);
    v[CV::TInt] = 30.4f;
    v[CV::TBox] = -12.5f;
    v[CV::TAct] = 25.0f + static_cast<float>(i);
    v[CV::T2C] = 700.0f;
    v[CV::T1C] = 1200.2f;
    v[CV::Tau] = 95.0f;
    v[CV::Epsilon] = 0.95f;
    v[CV::MVin] = 12.345f;
    v[CV::Vcc] = 24.125f;
    v[CV::TAmb] = 21.0f;
    data.Append(static_cast<double>(i) * resolution, v);
  }
  return data;
}

class MeasurementDataFileTest : public ::testing::Test {
 protected:
  QString Path(const char* name) const { return dir_.filePath(QLatin1String(name)); }
  QTemporaryDir dir_;
};

TEST_F(MeasurementDataFileTest, GoldenBytes) {
  MeasurementData data;
  data.Header.StartDate = QDate(2026, 12, 10);
  data.Header.StartTime = QTime(9, 8, 7);
  data.Header.Resolution = 1.5;
  TChannelValues v{};
  v[CV::TObj] = 25.0f;
  v[CV::TInt] = 30.4f;
  v[CV::TBox] = CV::kNoValue;  // above 3000 degrees: no value
  v[CV::Epsilon] = 0.95f;
  v[CV::Vcc] = 24.0f;
  v[CV::TAmb] = -5.5f;
  data.Append(0.0, v);
  v[CV::TObj] = 26.0f;
  data.Append(1.5, v);

  MeasurementDataFile file;
  file.SetDecimalSeparator(QLatin1Char(','));
  file.SetDateLocale(QLocale::c());
  ASSERT_TRUE(file.Write(Path("golden.dat"), data.Header, data).Ok());

  const QByteArray expected =
      "[Sentinel DataFile][1.2]\r\n"
      "Date:\t" +
      QLocale::c().toString(QDate(2026, 12, 10), QLocale::ShortFormat).toLatin1() +
      "\r\n"
      "Time:\t09:08:07\r\n"
      "Unit:\t\xB0"
      "C\r\n"
      "Resolution:\t1,500/0,100\r\n"
      "Values:\t11\r\n"
      "Time\tTObj\tTInt\tTBox\tTAct\tT2C\tT1C\tATTENUATION\tEpsilon\tmVin\tVcc\tTAmb\r\n"
      "000:00:00,000\t25,0\t30,4\t-----\t0,0\t0,0\t0,0\t0,0\t0,950\t0,000\t24,000\t-5,5\t\r\n"
      "000:00:01,500\t26,0\t30,4\t-----\t0,0\t0,0\t0,0\t0,0\t0,950\t0,000\t24,000\t-5,5\t\r\n"
      "---------------------------------\r\n"
      "End of File\r\n";
  EXPECT_EQ(ReadAll(Path("golden.dat")), expected);
}

struct RoundTripCase {
  char separator;
  bool fahrenheit;
  int yDecimal;
};

std::ostream& operator<<(std::ostream& os, const RoundTripCase& c) {
  return os << "'" << c.separator << "' " << (c.fahrenheit ? "F" : "C") << " " << c.yDecimal << " decimals";
}

class MeasurementDataFileRoundTrip : public MeasurementDataFileTest,
                                     public ::testing::WithParamInterface<RoundTripCase> {};

TEST_P(MeasurementDataFileRoundTrip, WrittenAndReadBackEqual) {
  const RoundTripCase c = GetParam();
  MeasurementData written = SampleData(0.1, 50);
  written.Header.Fahrenheit = c.fahrenheit;
  written.Header.YDecimal = c.yDecimal;

  MeasurementDataFile file;
  file.SetDecimalSeparator(QLatin1Char(c.separator));
  std::vector<int> progress;
  file.OnProgress = [&](int p) { progress.push_back(p); };
  ASSERT_TRUE(file.Write(Path("trip.dat"), written.Header, written).Ok());
  EXPECT_EQ(progress.size(), 20u);
  EXPECT_EQ(progress.back(), 100);

  // The reader takes either separator, whatever the writer's.
  MeasurementDataFile reader;
  reader.SetDecimalSeparator(QLatin1Char(c.separator == '.' ? ',' : '.'));
  MeasurementData read;
  const MeasurementFileResult r = reader.Read(Path("trip.dat"), read);
  ASSERT_TRUE(r.Ok()) << r.Message.toStdString();
  EXPECT_EQ(read.Header.Fahrenheit, c.fahrenheit);
  EXPECT_DOUBLE_EQ(read.Header.Resolution, 0.1);
  EXPECT_EQ(read.Header.YDecimal, c.yDecimal);
  EXPECT_EQ(read.Header.ValueCount, 11);
  EXPECT_EQ(read.Header.StartDate, written.Header.StartDate);
  EXPECT_EQ(read.Header.StartTime, written.Header.StartTime);
  ASSERT_EQ(read.SampleCount(), written.SampleCount());

  // One written decimal of a degree Fahrenheit is 1/18 of a degree Celsius.
  const double step = c.yDecimal == 2 ? 0.005 : 0.05;
  const double tempTolerance = (c.fahrenheit ? step / 1.8 : step) + 1e-4;
  for (std::int64_t i = 0; i < read.SampleCount(); ++i) {
    EXPECT_NEAR(read.SampleTime(i), written.SampleTime(i), 1e-9) << i;
    const TChannelValues a = written.Values(i);
    const TChannelValues b = read.Values(i);
    for (int ch = 0; ch < 11; ++ch) {
      const double tolerance = CV::IsTemperature(ch) ? tempTolerance : 0.0005;
      EXPECT_NEAR(b[ch], a[ch], tolerance) << "sample " << i << " channel " << ch;
    }
  }
  EXPECT_TRUE(read.HasValueRange());
  EXPECT_NEAR(read.YRangeMax, 1200.2 + 1.0, tempTolerance);
  EXPECT_NEAR(read.YRangeMin, -12.5 - 1.0, tempTolerance);
  EXPECT_NEAR(read.Duration(), 4.9, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(All, MeasurementDataFileRoundTrip,
                         ::testing::Values(RoundTripCase{'.', false, 1}, RoundTripCase{',', false, 1},
                                           RoundTripCase{'.', true, 1}, RoundTripCase{',', true, 1},
                                           RoundTripCase{'.', false, 2}, RoundTripCase{',', true, 2}));

// Whole milliseconds keep the "%4.3f" of the format; finer resolutions keep
// enough decimals to read back.
TEST_F(MeasurementDataFileTest, ResolutionLine) {
  struct Case {
    double resolution;
    int yDecimal;
    const char* line;
  } cases[] = {
      {0.001, 1, "Resolution:\t0.001/0.100"},     {0.5, 2, "Resolution:\t0.500/0.010"},
      {2.0, 0, "Resolution:\t2.000/1.000"},       {0.0125, 3, "Resolution:\t0.012500/0.001"},
      {0.0001, 1, "Resolution:\t0.000100/0.100"},
  };
  for (const Case& c : cases) {
    MeasurementData data = SampleData(c.resolution, 3);
    data.Header.YDecimal = c.yDecimal;
    MeasurementDataFile file;
    file.SetDecimalSeparator(QLatin1Char('.'));
    ASSERT_TRUE(file.Write(Path("res.dat"), data.Header, data).Ok());
    EXPECT_TRUE(ReadAll(Path("res.dat")).contains(QByteArray(c.line) + "\r\n")) << c.line;
    MeasurementData read;
    ASSERT_TRUE(file.Read(Path("res.dat"), read).Ok()) << c.line;
    EXPECT_DOUBLE_EQ(read.Header.Resolution, c.resolution);
    EXPECT_EQ(read.Header.YDecimal, c.yDecimal);
  }
}

TEST(MeasurementDataFileFormat, FahrenheitConvertsOnlyTemperatureColumns) {
  TChannelValues v{};
  v.fill(100.0f);
  for (int ch = 0; ch < 11; ++ch) {
    const QString text = MeasurementDataFile::ValueField(ch, v[ch], true, 1, QLatin1Char('.'));
    EXPECT_EQ(text, CV::IsTemperature(ch) ? QStringLiteral("212.0") : QStringLiteral("100.000")) << ch;
  }

  const QByteArray file =
      "[Sentinel DataFile][1.2]\r\nDate:\t\r\nTime:\t\r\nUnit:\t\xB0"
      "F\r\nResolution:\t0.001/0.100\r\n"
      "Values:\t11\r\nTime\tTObj\tTInt\tTBox\tTAct\tT2C\tT1C\tATTENUATION\tEpsilon\tmVin\tVcc\tTAmb\r\n"
      "000:00:00.000\t212.0\t32.0\t-----\t50.0\t212.0\t212.0\t212.0\t0.950\t12.345\t24.000\t68.0\t\r\n"
      "---------------------------------\r\nEnd of File\r\n";
  MeasurementData data;
  ASSERT_TRUE(MeasurementDataFile().ReadBytes(file, data).Ok());
  ASSERT_EQ(data.SampleCount(), 1);
  const TChannelValues r = data.Values(0);
  EXPECT_TRUE(data.Header.Fahrenheit);
  EXPECT_NEAR(r[CV::TObj], 100.0, 1e-4);
  EXPECT_NEAR(r[CV::TInt], 0.0, 1e-4);
  EXPECT_EQ(r[CV::TBox], 0.0f);  // "-----" loads as 0
  EXPECT_NEAR(r[CV::TAct], 10.0, 1e-4);
  EXPECT_NEAR(r[CV::Tau], 100.0, 1e-4);
  EXPECT_NEAR(r[CV::TAmb], 20.0, 1e-4);
  EXPECT_FLOAT_EQ(r[CV::Epsilon], 0.95f);
  EXPECT_FLOAT_EQ(r[CV::MVin], 12.345f);
  EXPECT_FLOAT_EQ(r[CV::Vcc], 24.0f);
}

// Values are written as the program formats numbers everywhere
// (NumberText: halves to even on the exact binary value, no negative zero).
TEST(MeasurementDataFileFormat, ValuesFormattedLikeNumberText) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> spread(-3000.0f, 3000.0f);
  std::vector<float> values = {0.05f,   0.15f,    0.25f, -0.04f, -0.0f, 2.675f,  0.0005f,
                               0.0015f, -0.0005f, 1e10f, -1e20f, 3e38f, 1234.5f, -1234.25f};
  for (int i = 0; i < 100000; ++i) {
    float v = spread(rng);
    if (i % 2 == 0) v = std::round(v * 40.0f) / 40.0f;  // many exact halves
    if (i % 5 == 0) v = std::ldexp(v, static_cast<int>(rng() % 40) - 30);
    values.push_back(v);
  }
  for (float v : values) {
    for (int yDecimal : {1, 2}) {
      if (v > 3000.0f) break;  // "-----"
      const QString expected =
          NumberText::Format(yDecimal == 2 ? QStringLiteral("%3.2f") : QStringLiteral("%3.1f"),
                             {static_cast<double>(v)}, QLatin1Char(','));
      ASSERT_EQ(MeasurementDataFile::ValueField(CV::TObj, v, false, yDecimal, QLatin1Char(',')).toStdString(),
                expected.toStdString())
          << v;
    }
    const QString expected =
        NumberText::Format(QStringLiteral("%.3f"), {static_cast<double>(v)}, QLatin1Char('.'));
    ASSERT_EQ(MeasurementDataFile::ValueField(CV::Epsilon, v, false, 1, QLatin1Char('.')).toStdString(),
              expected.toStdString())
        << v;
  }
}

TEST(MeasurementDataFileFormat, TimeFieldCarriesMilliseconds) {
  struct Case {
    double seconds;
    char separator;
    const char* text;
  } cases[] = {
      {0.0, '.', "000:00:00.000"},          {1.5, '.', "000:00:01.500"},
      {1.5, ',', "000:00:01,500"},          {0.9995, '.', "000:00:01.000"},  // rounds up into the next second
      {59.9996, '.', "000:01:00.000"},      {3599.9999, '.', "001:00:00.000"},
      {86400.0, '.', "024:00:00.000"},      {5633999 * 0.001, '.', "001:33:53.999"},
      {3600000.0, '.', "1000:00:00.000"},   {-1.0, '.', "000:00:00.000"},
      {std::nan(""), '.', "000:00:00.000"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MeasurementDataFile::TimeField(c.seconds, QLatin1Char(c.separator)), QLatin1String(c.text))
        << c.seconds;
  }
  // Every millisecond of a long recording at 1 ms stays below 1000.
  for (std::int64_t i = 5633990; i < 5634010; ++i) {
    const QString t = MeasurementDataFile::TimeField(static_cast<double>(i) * 0.001, QLatin1Char('.'));
    double back = 0.0;
    ASSERT_TRUE(MeasurementDataFile::ParseTimeField(t, back)) << t.toStdString();
    EXPECT_NEAR(back, static_cast<double>(i) * 0.001, 1e-6) << t.toStdString();
    EXPECT_EQ(t.size(), 13) << t.toStdString();
  }
}

TEST(MeasurementDataFileFormat, ParseTimeField) {
  struct Case {
    const char* text;
    bool ok;
    double seconds;
  } cases[] = {
      {"000:00:01.500", true, 1.5},
      {"000:00:01,500", true, 1.5},
      {"000:00:01.1000", true, 2.0},
      {"12:34:56", true, 45296.0},
      {" 001:01:01.001 ", true, 3661.001},
      {"", false, 0},
      {"1:2", false, 0},
      {"aa:00:00.000", false, 0},
      {"00:00:00.-1", false, 0},
      {"0:0:0.12345", false, 0},
      {"0:0:0:0", false, 0},
      {"9999999999:00:00", false, 0},
  };
  for (const Case& c : cases) {
    double s = -1.0;
    EXPECT_EQ(MeasurementDataFile::ParseTimeField(QLatin1String(c.text), s), c.ok) << c.text;
    if (c.ok) {
      EXPECT_NEAR(s, c.seconds, 1e-9) << c.text;
    }
  }
}

TEST(MeasurementDataFileFormat, OlderFormatsAreRead) {
  MeasurementDataFile file;
  MeasurementData data;

  MeasurementFileResult r = file.Read(Fixture("format_1_1.dat"), data);
  ASSERT_TRUE(r.Ok()) << r.Message.toStdString();
  EXPECT_EQ(data.Header.ValueCount, 11);
  EXPECT_EQ(data.Header.StartDate, QDate(2009, 2, 3));
  EXPECT_EQ(data.Header.StartTime, QTime(14, 5, 30));
  EXPECT_DOUBLE_EQ(data.Header.Resolution, 0.1);
  ASSERT_EQ(data.SampleCount(), 3);
  EXPECT_NEAR(data.SampleTime(2), 0.2, 1e-9);
  EXPECT_FLOAT_EQ(data.Values(2)[CV::TObj], 25.7f);
  EXPECT_FLOAT_EQ(data.Values(0)[CV::TBox], 0.0f);
  EXPECT_FLOAT_EQ(data.Values(0)[CV::Epsilon], 0.95f);

  // Three columns in °F; the rest of the channels stay 0. No closing lines
  // is fine for the old formats.
  r = file.Read(Fixture("format_1_0.dat"), data);
  ASSERT_TRUE(r.Ok()) << r.Message.toStdString();
  EXPECT_EQ(data.Header.ValueCount, 3);
  EXPECT_TRUE(data.Header.Fahrenheit);
  EXPECT_EQ(data.Header.StartDate, QDate(2005, 6, 7));
  ASSERT_EQ(data.SampleCount(), 3);
  EXPECT_NEAR(data.Values(0)[CV::TObj], 100.0, 1e-4);
  EXPECT_NEAR(data.Values(1)[CV::TObj], 110.0, 1e-4);
  EXPECT_NEAR(data.Values(2)[CV::TInt], 2.0, 1e-4);
  EXPECT_NEAR(data.Values(2)[CV::TBox], 10.0, 1e-4);
  EXPECT_EQ(data.Values(2)[CV::TAct], 0.0f);
  EXPECT_NEAR(data.Duration(), 2.0, 1e-9);

  // Clock-time rows past midnight go on growing by 86399.999 s a day.
  r = file.Read(Fixture("format_argo_1_0.dat"), data);
  ASSERT_TRUE(r.Ok()) << r.Message.toStdString();
  EXPECT_EQ(data.Header.StartDate, QDate(2004, 12, 31));
  ASSERT_EQ(data.SampleCount(), 5);
  const double expected[] = {0.0, 0.5, 1.0, 1.499, 1.999};
  for (int i = 0; i < 5; ++i) EXPECT_NEAR(data.SampleTime(i), expected[i], 1e-6) << i;
  EXPECT_EQ(data.Values(1)[CV::TObj], 0.0f);
  // The band grows to value + 1 only for a value outside it; "-----" does not
  // count.
  EXPECT_NEAR(data.YRangeMax, 103.0, 1e-4);
  EXPECT_NEAR(data.YRangeMin, 34.0, 1e-4);

  // A "Values:" line in an old header sets the column count.
  const QByteArray twoColumns =
      "[Argo-Sentinel DataFile][1.0]\r\nDate:\t\r\nUnit:\t\xB0"
      "C\r\nResolution:\t1.000/0.100\r\n"
      "Values:\t2\r\nTime\tTObj\tTInt\r\n000:00:00.000\t1.0\t2.0\r\n000:00:01.000\t3.0\t4.0\r\n";
  ASSERT_TRUE(file.ReadBytes(twoColumns, data).Ok());
  EXPECT_EQ(data.Header.ValueCount, 2);
  ASSERT_EQ(data.SampleCount(), 2);
  EXPECT_FLOAT_EQ(data.Values(1)[CV::TInt], 4.0f);
  EXPECT_FALSE(data.Header.StartDate.isValid());
  EXPECT_FALSE(data.Header.StartDateTime().isValid());
}

QByteArray Header(const char* values = "Values:\t11", const char* resolution = "Resolution:\t0.100/0.100") {
  return QByteArray(
             "[Sentinel DataFile][1.2]\r\nDate:\t01.02.2026\r\nTime:\t10:00:00\r\nUnit:\t\xB0"
             "C\r\n") +
         resolution + "\r\n" + values +
         "\r\nTime\tTObj\tTInt\tTBox\tTAct\tT2C\tT1C\tATTENUATION\tEpsilon\tmVin\tVcc\tTAmb\r\n";
}

const QByteArray kRow0 = "000:00:00.000\t1.0\t2.0\t3.0\t4.0\t5.0\t6.0\t7.0\t0.900\t1.000\t2.000\t3.0\t\r\n";
const QByteArray kRow1 = "000:00:00.100\t1.0\t2.0\t3.0\t4.0\t5.0\t6.0\t7.0\t0.900\t1.000\t2.000\t3.0\t\r\n";
const QByteArray kTrailer = "---------------------------------\r\nEnd of File\r\n";

TEST(MeasurementDataFileFormat, MalformedFilesGiveClearErrors) {
  struct Case {
    const char* name;
    QByteArray bytes;
    Error error;
    std::int64_t line;
    bool partial;
    std::int64_t samples;
  } cases[] = {
      {"empty", "", Error::UnknownFormat, 0, false, 0},
      {"not a data file", "hello\r\nworld\r\n", Error::UnknownFormat, 1, false, 0},
      {"first line only", "[Sentinel DataFile][1.2]\r\n", Error::MissingHeader, 2, false, 0},
      {"cut in header", Header().left(60), Error::MissingHeader, 4, false, 0},
      {"values above eleven", Header("Values:\t20") + kRow0 + kTrailer, Error::BadHeader, 6, false, 0},
      {"huge values count", Header("Values:\t99999999999999") + kRow0 + kTrailer, Error::BadHeader, 6, false,
       0},
      {"negative values count", Header("Values:\t-1") + kRow0 + kTrailer, Error::BadHeader, 6, false, 0},
      {"values not a number", Header("Values:\tmany") + kRow0 + kTrailer, Error::BadHeader, 6, false, 0},
      {"zero resolution", Header("Values:\t11", "Resolution:\t0.000/0.100") + kRow0, Error::BadHeader, 5,
       false, 0},
      {"tiny resolution", Header("Values:\t11", "Resolution:\t0.0000001/0.100") + kRow0, Error::BadHeader, 5,
       false, 0},
      {"bad resolution", Header("Values:\t11", "Resolution:\tfast") + kRow0, Error::BadHeader, 5, false, 0},
      {"no resolution", Header("Values:\t11", "Comment:\t-") + kRow0 + kTrailer, Error::MissingHeader, 7,
       false, 0},
      {"bad time", Header() + kRow0 + "soon\t1.0\r\n" + kRow1 + kTrailer, Error::BadRow, 9, true, 1},
      {"bad number", Header() + kRow0 + QByteArray(kRow1).replace("\t5.0\t", "\t5.0.1\t") + kTrailer,
       Error::BadRow, 9, true, 1},
      {"not finite", Header() + kRow0 + QByteArray(kRow1).replace("\t5.0\t", "\tnan\t") + kTrailer,
       Error::BadRow, 9, true, 1},
      {"beyond float", Header() + kRow0 + QByteArray(kRow1).replace("\t5.0\t", "\t-1e39\t") + kTrailer,
       Error::BadRow, 9, true, 1},
      {"too few values", Header() + kRow0 + "000:00:00.100\t1.0\t2.0\r\n" + kTrailer, Error::BadRow, 9, true,
       1},
      {"cut inside a row", Header() + kRow0 + kRow1.left(30), Error::Truncated, 9, true, 1},
      {"no closing lines", Header() + kRow0 + kRow1, Error::Truncated, 10, true, 2},
      {"overlong line", Header() + kRow0 + QByteArray(200000, '1') + "\r\n" + kTrailer, Error::TooLarge, 9,
       true, 1},
  };
  for (const Case& c : cases) {
    MeasurementData data = SampleData(1.0, 3);  // whatever was there goes
    const MeasurementFileResult r = MeasurementDataFile().ReadBytes(c.bytes, data);
    EXPECT_EQ(r.Error, c.error) << c.name << ": " << r.Message.toStdString();
    EXPECT_EQ(r.Line, c.line) << c.name;
    EXPECT_FALSE(r.Message.isEmpty()) << c.name;
    EXPECT_EQ(r.PartialData, c.partial) << c.name;
    EXPECT_EQ(data.SampleCount(), c.samples) << c.name;
  }

  // A well-formed file with blank lines and no samples at all.
  MeasurementData data;
  const MeasurementFileResult r = MeasurementDataFile().ReadBytes(Header() + "\r\n" + kTrailer, data);
  EXPECT_TRUE(r.Ok()) << r.Message.toStdString();
  EXPECT_EQ(data.SampleCount(), 0);
  EXPECT_FALSE(data.HasValueRange());
}

// Everything a loader hands over, and how the read ended.
struct Loaded {
  std::vector<double> times;
  std::vector<TChannelValues> values;
  MeasurementFileResult result;
  std::size_t mostQueued = 0;
};

Loaded LoadAll(const QString& path, std::int64_t batchRows, int holdMs = 0) {
  Loaded out;
  MeasurementDataLoader loader;
  loader.Start(path, MeasurementDataFile(), batchRows);
  // Taking nothing for a while lets the worker fill its queue.
  if (holdMs > 0) {
    QElapsedTimer t;
    t.start();
    while (!loader.Finished() && t.elapsed() < holdMs) loader.WaitForBatches(10);
  }
  for (;;) {
    const bool more = loader.WaitForBatches(50);
    const std::vector<MeasurementData> batches = loader.TakeBatches();
    out.mostQueued = std::max(out.mostQueued, batches.size());
    for (const MeasurementData& b : batches) {
      for (std::int64_t i = 0; i < b.SampleCount(); ++i) {
        out.times.push_back(b.SampleTime(i));
        out.values.push_back(b.Values(i));
      }
    }
    if (!more) break;
  }
  out.result = loader.Result();
  return out;
}

TEST_F(MeasurementDataFileTest, TheLoaderHandsOverWhatTheReaderReads) {
  // Many rows (some past midnight), and files cut or broken after them.
  QByteArray rows;
  for (int i = 0; i < 50; ++i) {
    const double t = 86399.0 + 0.25 * i;
    rows += MeasurementDataFile::TimeField(t >= 86400.0 ? t - 86400.0 : t, QLatin1Char('.')).toLatin1();
    for (int ch = 0; ch < 11; ++ch) rows += "\t" + QByteArray::number(i + ch) + ".5";
    rows += "\t\r\n";
  }
  struct Case {
    const char* name;
    QByteArray bytes;
    Error error;
    std::int64_t rows;
  } cases[] = {
      {"whole", Header() + rows + kTrailer, Error::None, 50},
      {"no rows", Header() + kTrailer, Error::None, 0},
      {"cut inside a row", Header() + rows + kRow1.left(30), Error::Truncated, 50},
      {"no closing lines", Header() + rows, Error::Truncated, 50},
      {"bad row", Header() + rows + "soon\t1.0\r\n" + kTrailer, Error::BadRow, 50},
      {"not a data file", "hello\r\n", Error::UnknownFormat, 0},
      {"cut in header", Header().left(60), Error::MissingHeader, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const QString path = Path("load.dat");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(c.bytes);
    f.close();
    MeasurementData whole;
    const MeasurementFileResult expected = MeasurementDataFile().Read(path, whole);
    for (std::int64_t batchRows : {std::int64_t{1}, std::int64_t{7}, std::int64_t{1000}}) {
      const Loaded got = LoadAll(path, batchRows, batchRows == 1 ? 200 : 0);
      EXPECT_EQ(got.result.Error, c.error) << got.result.Message.toStdString();
      EXPECT_EQ(got.result.Error, expected.Error);
      EXPECT_EQ(got.result.Line, expected.Line);
      ASSERT_EQ(static_cast<std::int64_t>(got.times.size()), c.rows) << batchRows;
      ASSERT_EQ(whole.SampleCount(), c.rows);
      for (std::int64_t i = 0; i < c.rows; ++i) {
        EXPECT_EQ(got.times[static_cast<std::size_t>(i)], whole.SampleTime(i));
        EXPECT_EQ(got.values[static_cast<std::size_t>(i)], whole.Values(i));
      }
      // The worker never runs ahead of the owner by more than its queue.
      EXPECT_LE(got.mostQueued, MeasurementDataLoader::kMaxQueuedBatches);
    }
  }
}

TEST_F(MeasurementDataFileTest, TheLoaderStopsWhenCancelledAndRefusesAFifo) {
  QByteArray rows;
  for (int i = 0; i < 2000; ++i) rows += kRow0;
  const QString path = Path("many.dat");
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(Header() + rows + kTrailer);
  f.close();
  {
    MeasurementDataLoader loader;
    loader.Start(path, MeasurementDataFile(), 10);
    loader.WaitForBatches(1000);
    loader.Cancel();
    while (loader.WaitForBatches(50)) loader.TakeBatches();
    EXPECT_EQ(loader.Result().Error, Error::Cancelled);
    EXPECT_LT(loader.Rows(), 2000);
  }
  {
    // Destroyed while the worker waits for room in its queue.
    MeasurementDataLoader loader;
    loader.Start(path, MeasurementDataFile(), 1);
    loader.WaitForBatches(1000);
  }
  const QString fifo = Path("fifo.dat");
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  QElapsedTimer t;
  t.start();
  const Loaded got = LoadAll(fifo, 10);
  EXPECT_EQ(got.result.Error, Error::OpenFailed);
  EXPECT_LT(t.elapsed(), 2000);
}

TEST_F(MeasurementDataFileTest, FailedWriteReportsAndKeepsTheOldFile) {
  const QString target = Path("keep.dat");
  {
    QFile f(target);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("old contents");
  }
  MeasurementData data = SampleData(0.0, 3);  // no resolution: refused
  MeasurementFileResult r = MeasurementDataFile().Write(target, data.Header, data);
  EXPECT_EQ(r.Error, Error::BadHeader);
  EXPECT_EQ(ReadAll(target), QByteArray("old contents"));
  EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList{QStringLiteral("keep.dat")});

  r = MeasurementDataFile().Write(Path("missing/folder/x.dat"), SampleData(1.0, 1).Header,
                                  SampleData(1.0, 1));
  EXPECT_EQ(r.Error, Error::OpenFailed);
  EXPECT_FALSE(r.Message.isEmpty());

  // A device that refuses the bytes.
  QBuffer closed;
  data = SampleData(1.0, 3);
  r = MeasurementDataFile().WriteTo(closed, data.Header, data);
  EXPECT_EQ(r.Error, Error::WriteFailed);

  // A good write replaces the old file as a whole.
  ASSERT_TRUE(MeasurementDataFile().Write(target, data.Header, data).Ok());
  EXPECT_TRUE(ReadAll(target).startsWith("[Sentinel DataFile][1.2]\r\n"));
}

TEST(ChannelValuesTest, DisplayKindsMapToChannels) {
  const int expected[12] = {-1,      CV::TObj, CV::TInt, CV::TAct, CV::TBox, CV::T1C,
                            CV::T2C, CV::Tau,  CV::MVin, CV::Vcc,  CV::TAmb, CV::Epsilon};
  for (int kind = 0; kind < 12; ++kind) EXPECT_EQ(CV::ChannelOfDisplayKind(kind), expected[kind]) << kind;
  for (int ch = 0; ch < 11; ++ch) EXPECT_EQ(CV::ChannelOfDisplayKind(CV::DisplayKindOfChannel(ch)), ch);
  EXPECT_EQ(CV::ChannelOfDisplayKind(12), -1);
}

}  // namespace
