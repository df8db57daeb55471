#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <climits>
#include <vector>

#include "brio_first_gen_fixture.h"
#include "setup_brio/brio_config_file.h"
#include "setup_brio/brio_first_gen_config_file.h"

using namespace brio_test;

namespace {

// The seeded device's controls after the dialog showed them: the decoded
// first default image (W = 3000, S = 50), the boxes the dialog sets when it
// is shown, the material-table lists at their first item.
SetupValues SeededForm(bool fahrenheit) {
  SetupValues v;
  BrioFirstGenCodec::ParamsToControls(DefaultConfig(), Calibration(), fahrenheit, v);
  v.SetMark(QStringLiteral("cbFailsafe"), false);
  v.SetMark(QStringLiteral("cbAlarm"), false);
  for (int i = 1; i <= 8; ++i) v.SetIndex(QStringLiteral("cbOut%1").arg(i), 0);
  return v;
}

// The file of the seeded device with the range -30..1000, '.' as separator:
// one line each in degrees Celsius and Fahrenheit.
struct GoldenLine {
  const char* celsius;
  const char* fahrenheit;
};
const GoldenLine kGolden[] = {
    {"ThermaSentinel-CONFIGURATION-FILE V2", nullptr},
    {"------------------------------------", nullptr},
    {"_Device_Model=Brio", nullptr},
    {"_Tmin=-30.00\xB0"
     "C",
     nullptr},
    {"_Tmax=1000.00\xB0"
     "C",
     nullptr},
    {"[BEGIN]", nullptr},
    {"eTrans=1.000", nullptr},
    {"eAvg=0.09", nullptr},
    {"cbSmartAvg=1", nullptr},
    {"cbEmissSrc=0", nullptr},
    {"eEmiss=0.950", nullptr},
    {"cbAmbSrc=0", nullptr},
    {"eFixAmb=23.0", "eFixAmb=73.4"},
    {"cbAlarmSource=0", nullptr},
    {"cbAlarmMode=1", nullptr},
    {"eAlarm2=30.0", "eAlarm2=86.0"},
    {"eAlarmMVmin=5347", nullptr},
    {"eAlarmMVmax=11870", nullptr},
    {"eFsTmin=-100.0", "eFsTmin=-148.0"},
    {"eFsTmax=2000", "eFsTmax=3632"},
    {"eFsmVmin=5347", nullptr},
    {"eFsmVmax=11870", nullptr},
    {"cbFsAmb=0", nullptr},
    {"cbFsTarget=0", nullptr},
    {"cbBurst1=1", nullptr},
    {"cbBurst2=2", nullptr},
    {"cbBurst3=0", nullptr},
    {"cbBurst4=0", nullptr},
    {"cbBurst5=0", nullptr},
    {"eTmin5=0.0", nullptr},
    {"eTmax5=-34.5", nullptr},
    {"eMVmin5=5489", nullptr},
    {"eMVmax5=5000", nullptr},
    {"eTmin=0.0", "eTmin=32.0"},
    {"eTmax=350.0", "eTmax=662.0"},
    {"eMVmin=5489", nullptr},
    {"eMVmax=10452", nullptr},
    {"cbFailsafe=0", nullptr},
    {"cbOutMode=0", nullptr},
    {"cbOut1=0", nullptr},
    {"cbOut2=0", nullptr},
    {"cbOut3=0", nullptr},
    {"cbOut4=0", nullptr},
    {"cbOut5=0", nullptr},
    {"cbOut6=0", nullptr},
    {"cbOut7=0", nullptr},
    {"cbOut8=0", nullptr},
    {"cbLEDsource=0", nullptr},
    {"cbLEDmode=0", nullptr},
    {"eAlarm1=30.0", "eAlarm1=86.0"},
    {"cbAlarm=0", nullptr},
    {"cbHoldMode=0", nullptr},
    {"eHTime=1.0", nullptr},
    {"eHSchwelle=30.0", "eHSchwelle=86.0"},
    {"eHHysterese=3.0", "eHHysterese=5.4"},
    {"eGain=1.000", nullptr},
    {"eOffs=0.0", nullptr},
    {"[END]", nullptr},
};

QByteArray Golden(bool fahrenheit, char separator) {
  QByteArray out;
  for (const GoldenLine& l : kGolden) {
    QByteArray line = fahrenheit && l.fahrenheit ? l.fahrenheit : l.celsius;
    if (separator != '.') line.replace('.', separator);
    out += line + "\r\n";
  }
  return out;
}

QByteArray Compose(const SetupValues& values, float low = -30.0f, float high = 1000.0f) {
  SetupValues copy = values;
  const BrioControlRegistry registry = BrioFirstGenConfigFile::ValueRegistry(copy);
  return BrioConfigFile::Compose(BrioFirstGenConfigFile::Profile(), registry, low, high);
}

TEST(BrioConfigFileTest, SeededDeviceWritesTheGoldenBytes) {
  for (const bool fahrenheit : {false, true}) {
    for (const char separator : {'.', ','}) {
      SeparatorGuard guard{QLatin1Char(separator)};
      const QByteArray bytes = Compose(SeededForm(fahrenheit));
      EXPECT_EQ(bytes, Golden(fahrenheit, separator)) << (fahrenheit ? "F " : "C ") << separator;
      EXPECT_EQ(bytes.count("\r\n"), 58);
    }
  }
}

TEST(BrioConfigFileTest, LoadedFileSavesAgainByteForByte) {
  for (const bool fahrenheit : {false, true}) {
    for (const char separator : {'.', ','}) {
      SeparatorGuard guard{QLatin1Char(separator)};
      const QByteArray golden = Golden(fahrenheit, separator);
      SetupValues loaded;
      const BrioControlRegistry registry = BrioFirstGenConfigFile::ValueRegistry(loaded);
      const BrioConfigFile::Content content =
          BrioConfigFile::Parse(golden, BrioFirstGenConfigFile::Profile(), registry);
      ASSERT_EQ(content.status, BrioConfigFile::Status::Loaded);
      for (const BrioConfigFileEntry& e : content.Entries) ASSERT_TRUE(registry.Apply(e.Name, e.Value));
      ASSERT_TRUE(content.RangeLow && content.RangeHigh);
      EXPECT_FLOAT_EQ(*content.RangeLow, -30.0f);
      EXPECT_FLOAT_EQ(*content.RangeHigh, 1000.0f);
      EXPECT_EQ(BrioConfigFile::Compose(BrioFirstGenConfigFile::Profile(), registry, *content.RangeLow,
                                        *content.RangeHigh),
                golden);
    }
  }
}

// The file of a header and `body`, lines ending in `eol`.
QByteArray File(const QList<QByteArray>& body, const QByteArray& eol = "\r\n",
                const QByteArray& model = "_Device_Model=Brio") {
  QList<QByteArray> lines = {"ThermaSentinel-CONFIGURATION-FILE V2",
                             QByteArray(36, '-'),
                             model,
                             "_Tmin=-30.00\xB0"
                             "C",
                             "_Tmax=1000.00\xB0"
                             "C",
                             "[BEGIN]"};
  lines += body;
  QByteArray out;
  for (const QByteArray& l : lines) out += l + eol;
  return out;
}

TEST(BrioConfigFileTest, ReaderCases) {
  using Status = BrioConfigFile::Status;
  using Entries = std::vector<BrioConfigFileEntry>;
  const auto mark = [](bool m) { return Entries{{QStringLiteral("cbSmartAvg"), SetupValue::OfMark(m)}}; };
  const auto index = [](int i) { return Entries{{QStringLiteral("cbOutMode"), SetupValue::OfIndex(i)}}; };
  const auto text = [](const QString& t) {
    return Entries{{QStringLiteral("eTrans"), SetupValue::OfText(t)}};
  };
  struct Case {
    const char* what;
    QByteArray file;
    Status status;
    Entries entries;
    std::optional<float> low = std::nullopt;
  };
  const QByteArray longValue(300, 'x');
  const Case cases[] = {
      {"magic with a trailing blank",
       QByteArray(File({"cbSmartAvg=1", "[END]"})).replace("V2\r\n", "V2 \r\n"),
       Status::NotValid,
       {}},
      {"model in another case", File({"cbSmartAvg=1"}, "\r\n", "_Device_Model=BRIO"), Status::NotValid, {}},
      {"another model", File({"cbSmartAvg=1"}, "\r\n", "_Device_Model=Briov2/Sela"), Status::NotValid, {}},
      {"two lines only", "ThermaSentinel-CONFIGURATION-FILE V2\r\n---\r\n", Status::NotValid, {}},
      {"empty file", "", Status::NotValid, {}},
      {"no [BEGIN]",
       "ThermaSentinel-CONFIGURATION-FILE V2\r\nx\r\n_Device_Model=Brio\r\n_Tmin=5\xB0"
       "C\r\ncbSmartAvg=1\r\n",
       Status::NoBody,
       {}},
      {"no [END]", File({"cbSmartAvg=1"}), Status::Loaded, mark(true), -30.0f},
      {"lines after [END] ignored", File({"[END]", "cbSmartAvg=1"}), Status::Loaded, {}, -30.0f},
      {"line without =", File({"cbSmartAvg", "[END]"}), Status::Loaded, {}, -30.0f},
      {"empty name", File({"=1", "[END]"}), Status::Loaded, {}, -30.0f},
      {"unknown name", File({"lbInPin=1", "[END]"}), Status::Loaded, {}, -30.0f},
      {"name in another case", File({"CBSMARTAVG=1"}), Status::Loaded, mark(true), -30.0f},
      {"check box 10", File({"cbSmartAvg=10"}), Status::Loaded, mark(true), -30.0f},
      {"check box 0", File({"cbSmartAvg=0"}), Status::Loaded, mark(false), -30.0f},
      {"check box yes", File({"cbSmartAvg=yes"}), Status::Loaded, mark(false), -30.0f},
      {"check box empty", File({"cbSmartAvg="}), Status::Loaded, mark(false), -30.0f},
      {"list 2.6", File({"cbOutMode=2.6"}), Status::Loaded, index(3), -30.0f},
      {"list 2,6", File({"cbOutMode=2,6"}), Status::Loaded, index(3), -30.0f},
      {"list 2.5 to even", File({"cbOutMode=2.5"}), Status::Loaded, index(2), -30.0f},
      {"list with blanks", File({"cbOutMode= 2 "}), Status::Loaded, index(2), -30.0f},
      {"list -1", File({"cbOutMode=-1"}), Status::Loaded, index(-1), -30.0f},
      {"list abc", File({"cbOutMode=abc"}), Status::Loaded, {}, -30.0f},
      {"list 1e300", File({"cbOutMode=1e300"}), Status::Loaded, index(INT_MAX), -30.0f},
      {"list -1e300", File({"cbOutMode=-1e300"}), Status::Loaded, index(-1), -30.0f},
      {"edit keeps its blanks", File({"eTrans= 0.5 "}), Status::Loaded, text(QStringLiteral(" 0.5 ")),
       -30.0f},
      {"edit with =", File({"eTrans=a=b"}), Status::Loaded, text(QStringLiteral("a=b")), -30.0f},
      {"value cut to 255", File({"eTrans=" + longValue}), Status::Loaded,
       text(QString(255, QLatin1Char('x'))), -30.0f},
      {"LF endings", File({"cbSmartAvg=1", "[END]"}, "\n"), Status::Loaded, mark(true), -30.0f},
      {"CR endings", File({"cbSmartAvg=1", "[END]"}, "\r"), Status::Loaded, mark(true), -30.0f},
      {"UTF-8 degree sign",
       QByteArray(File({"[END]"})).replace("_Tmin=-30.00\xB0", "_Tmin=25,50\xC2\xB0"),
       Status::Loaded,
       {},
       25.5f},
      {"range not a number",
       QByteArray(File({"[END]"})).replace("_Tmin=-30.00", "_Tmin=abc"),
       Status::Loaded,
       {},
       std::nullopt},
      {"range beyond single precision",
       QByteArray(File({"[END]"})).replace("_Tmin=-30.00", "_Tmin=1e300"),
       Status::Loaded,
       {},
       std::nullopt},
  };
  SeparatorGuard guard{QLatin1Char('.')};
  for (const Case& c : cases) {
    SetupValues values;
    const BrioControlRegistry registry = BrioFirstGenConfigFile::ValueRegistry(values);
    const BrioConfigFile::Content content =
        BrioConfigFile::Parse(c.file, BrioFirstGenConfigFile::Profile(), registry);
    EXPECT_EQ(content.status, c.status) << c.what;
    EXPECT_EQ(content.Entries, c.entries) << c.what;
    EXPECT_EQ(content.RangeLow, c.low) << c.what;
    if (c.status != Status::Loaded) {
      EXPECT_FALSE(content.RangeHigh) << c.what;
    }
  }
}

TEST(BrioConfigFileTest, LoadAppliesInFileOrderAndRunsClickActionsOnRealChanges) {
  const QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("Brio_1.cfg"));
  {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(File({"cbAlarm=1", "eTrans=0.5", "cbAlarm=1", "cbAlarm=0", "cbOutMode=2", "[END]"}));
  }
  SetupValues values;
  values.SetMark(QStringLiteral("cbAlarm"), false);
  std::vector<QString> log;
  BrioControlRegistry registry;
  registry.AddValue(values, QStringLiteral("eTrans"), SetupValueKind::Text);
  BrioControlRegistry::Control alarm;
  alarm.Name = QStringLiteral("cbAlarm");
  alarm.Kind = SetupValueKind::Mark;
  alarm.Get = [&] { return SetupValue::OfMark(values.Mark(QStringLiteral("cbAlarm"))); };
  alarm.Set = [&](const SetupValue& v) { values.Set(QStringLiteral("cbAlarm"), v); };
  alarm.OnMarkChanged = [&] {
    log.push_back(QStringLiteral("click ") + QString::number(values.Mark(QStringLiteral("cbAlarm"))) +
                  QStringLiteral(" trans ") + values.Text(QStringLiteral("eTrans")));
  };
  registry.Add(alarm);
  registry.AddValue(values, QStringLiteral("cbOutMode"), SetupValueKind::ListIndex);

  BrioConfigFileProfile profile =
      BrioFirstGenConfigFile::Profile([&] { log.push_back(QStringLiteral("exit")); });
  profile.KeysAppliedLast = {QStringLiteral("eTrans")};  // held back like a later dialog's IN mode
  const BrioConfigFile::LoadResult r = BrioConfigFile::Load(path, profile, registry);
  EXPECT_EQ(r.status, BrioConfigFile::Status::Loaded);
  EXPECT_EQ(log, (std::vector<QString>{QStringLiteral("click 1 trans "), QStringLiteral("click 0 trans "),
                                       QStringLiteral("exit")}));
  EXPECT_EQ(values.Text(QStringLiteral("eTrans")), QStringLiteral("0.5"));
  EXPECT_EQ(values.Index(QStringLiteral("cbOutMode")), 2);

  // A file of another model changes nothing and runs nothing.
  log.clear();
  {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(File({"cbAlarm=1", "[END]"}, "\r\n", "_Device_Model=Kora"));
  }
  EXPECT_EQ(BrioConfigFile::Load(path, profile, registry).status, BrioConfigFile::Status::NotValid);
  EXPECT_TRUE(log.empty());
  EXPECT_FALSE(values.Mark(QStringLiteral("cbAlarm")));
  EXPECT_EQ(BrioConfigFile::StatusMessage(BrioConfigFile::Status::NotValid, nullptr),
            QStringLiteral("CONFIGURATION FILE NOT VALID !"));
  // A missing file is a read error.
  EXPECT_EQ(BrioConfigFile::Load(dir.filePath(QStringLiteral("none.cfg")), profile, registry).status,
            BrioConfigFile::Status::ReadError);
  EXPECT_EQ(BrioConfigFile::StatusMessage(BrioConfigFile::Status::ReadError, nullptr),
            QStringLiteral("ERROR WHILE READING CONFIGURATION FILE !"));
  EXPECT_TRUE(log.empty());
}

TEST(BrioConfigFileTest, SaveWritesTheFileOrReportsWhyNot) {
  SeparatorGuard guard{QLatin1Char('.')};
  const QTemporaryDir dir;
  SetupValues values = SeededForm(false);
  const BrioControlRegistry registry = BrioFirstGenConfigFile::ValueRegistry(values);
  const BrioConfigFileProfile profile = BrioFirstGenConfigFile::Profile();
  const QString path = dir.filePath(BrioFirstGenConfigFile::DefaultFileName(Calibration()));
  EXPECT_TRUE(path.endsWith(QStringLiteral("/Brio_123456.cfg")));
  ASSERT_TRUE(BrioConfigFile::Save(path, profile, registry, -30.0f, 1000.0f).ok);
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), Golden(false, '.'));
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("Brio_123456.cfg")});

  const BrioConfigFile::SaveResult missingFolder =
      BrioConfigFile::Save(dir.filePath(QStringLiteral("missing/Brio_1.cfg")), profile, registry, 0, 0);
  EXPECT_FALSE(missingFolder.ok);
  EXPECT_FALSE(missingFolder.error.isEmpty());
  EXPECT_FALSE(BrioConfigFile::Save(dir.path(), profile, registry, 0, 0).ok);  // a folder
  EXPECT_FALSE(BrioConfigFile::SaveFailedMessage(nullptr).isEmpty());
}

TEST(BrioConfigFileTest, FirstGenerationProfile) {
  const auto controls = BrioFirstGenConfigFile::Controls();
  EXPECT_EQ(controls.size(), 75u);  // 51 lines and the 24 material-table edits
  EXPECT_EQ(BrioFirstGenConfigFile::NameFilters(),
            (QStringList{QStringLiteral("All (*.*)"), QStringLiteral("Brio Configuration (Brio_*.cfg)")}));
  EXPECT_EQ(BrioFirstGenConfigFile::LoadPattern(), QStringLiteral("Brio_*.cfg"));
  BrioCalibrationImage cal;
  cal.Data[2] = 0xFF;
  cal.Data[3] = 0xFF;
  cal.Data[4] = 0xFF;
  EXPECT_EQ(BrioFirstGenConfigFile::DefaultFileName(cal), QStringLiteral("Brio_16777215.cfg"));
}

}  // namespace
