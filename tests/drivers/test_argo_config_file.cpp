// The single-colour configuration file: layout, round trip under both
// decimal separators, and the ways a file can be unusable.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "drivers/argo/pyreon_argo.h"
#include "platform/number_text.h"

namespace {

class ArgoConfigFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = NumberText::DecimalSeparator();
    driver_ = new TpyreonArgo(&owner_);
    driver_->OnMessage = [this](QObject*, const QString& t) { messages_.push_back(t); };
    ASSERT_TRUE(dir_.isValid());
  }
  void TearDown() override { NumberText::SetDecimalSeparator(saved_); }

  static TArgoConfig Sample() {
    TArgoConfig c;
    c.FWrev = 5016;
    c.SerialNumber = 10123456;
    c.Emissivity = 0.95f;
    c.Transmission = 0.875f;
    c.AverageTime = 12.5f;
    c.ValleyHoldTime = 0.05f;
    c.PeakHoldTime = 999.9f;
    c.Alarm = {-50.0f, 250.5f, 1000.0f, 3000.0f};
    c.TempUnitFahrenheit = true;
    c.RS485Addr = 12;
    c.ScaledOutputMin = 4000;
    c.ScaledOutputMax = 20000;
    c.AmbientSource = 2;
    c.AmbientValue = 23.4f;
    c.EmissivitySource = 1;
    c.IRFailsafe = 3;
    c.AmbientFailsafe = 0;
    c.OutputTempMin = -20.0f;
    c.OutputTempMax = 1200.0f;
    c.BurstChannels = {1, 7, 3, 9, 8, 0, 0, 0, 0};
    c.AverageMode = true;
    c.AdvancedHoldMode = 2;
    c.AdvancedHoldThreshold = 300.0f;
    c.AdvancedHoldHysteresis = 2.5f;
    c.TweakGain = 1.25f;
    c.TweakOffset = -3.5f;
    c.F3Temp1 = 100.0f;
    c.F3Temp2 = 900.0f;
    c.SpotIllumination = true;
    c.AlarmHysteresis = 1.5f;
    c.PanelLock = true;
    c.HeadCodeShort = {QStringLiteral("0G0V"), QStringLiteral("1234"), QStringLiteral("VVVV")};
    c.AlarmMode[2] = {1, 0, 1, 4};
    c.ModelInfo.ModelStr = QStringLiteral("Laser-G");
    for (std::size_t r = 0; r < 8; ++r) c.MaterialTable[r] = {0.5f + r * 0.05f, 10.0f * r, 100.0f * r, 1, 4};
    c.Slope = 1.05f;
    c.DetTop = 1500.0f;
    c.AlarmSource = {3, 4, 0, 0, 0};
    c.AlarmValues[1] = {1, 2, 3, 4, 65535};
    c.AlarmNormallyOpen = {1, 0, 0, 0, 0};
    c.ProcessSource = 2;
    c.SmartThreshold = 12.5f;
    c.DALFunction = {1, 2};
    c.VisualAlarmSource = 3;
    c.DisplayMainSource = 4;
    c.VisualAlarms[7].Lo[3] = 750.0f;
    c.VisualAlarms[7].Flags[3] = 5;
    c.RatioAlarmHysteresis = 4.5f;
    c.RatioAlarmMode = 13;
    c.LWLDiameter = 600;
    return c;
  }

  QString Path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }
  static QString Text(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QString::fromLatin1(f.readAll());
  }
  static void Rewrite(const QString& path, const QString& from, const QString& to) {
    QString t = Text(path);
    t.replace(from, to);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(t.toLatin1());
  }

  QObject owner_;
  TpyreonArgo* driver_ = nullptr;
  QTemporaryDir dir_;
  QChar saved_;
  std::vector<QString> messages_;
};

struct SeparatorCase {
  char writeSep;
  char readSep;
};

TEST_F(ArgoConfigFileTest, RoundTripUnderBothSeparators) {
  const SeparatorCase cases[] = {{'.', '.'}, {',', ','}, {',', '.'}, {'.', ','}};
  for (const SeparatorCase& c : cases) {
    SCOPED_TRACE(std::string(1, c.writeSep) + " -> " + std::string(1, c.readSep));
    const QString file = Path("Argo_10123456.cfg");
    NumberText::SetDecimalSeparator(QLatin1Char(c.writeSep));
    const TArgoConfig a = Sample();
    ASSERT_EQ(driver_->SaveConfigFile(a, file), 1);
    const QString text = Text(file);
    EXPECT_TRUE(text.startsWith(QStringLiteral("[File]\r\nFileRev=3") + QLatin1Char(c.writeSep) +
                                QStringLiteral("0\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\r\n[Config]\r\nEps=0") + QLatin1Char(c.writeSep) +
                              QStringLiteral("950\r\nTrans=0") + QLatin1Char(c.writeSep) +
                              QStringLiteral("875\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("HiRorangeTemp=975") + QLatin1Char(c.writeSep) +
                              QStringLiteral("000\r\n")));
    EXPECT_TRUE(text.contains(
        QStringLiteral("AlarmMode2_Source=1\r\nAlarmMode2_OpenClose=0\r\nAlarmMode2_DigiAna=1\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("VisualAlarm7_LowEnd3=750") + QLatin1Char(c.writeSep) +
                              QStringLiteral("000\r\nVisualAlarm7_HighEnd3=0")));
    EXPECT_TRUE(text.contains(QStringLiteral("[Ratio]\r\nr_LWL_dia=600\r\n")));
    EXPECT_TRUE(
        text.contains(QStringLiteral("\r\nAL2=250") + QLatin1Char(c.writeSep) + QStringLiteral("5\r\n")));

    NumberText::SetDecimalSeparator(QLatin1Char(c.readSep));
    TArgoConfig b;  // a different configuration: fields not read back keep its values
    b.SerialNumber = 777;
    b.LWLDiameter = 1;
    b.HeadCodeShort[0] = QStringLiteral("XXXX");
    ASSERT_EQ(driver_->LoadConfigFile(file, b), 1);
    EXPECT_FLOAT_EQ(b.Emissivity, 0.95f);
    EXPECT_FLOAT_EQ(b.ValleyHoldTime, 0.05f);
    EXPECT_FLOAT_EQ(b.PeakHoldTime, 999.9f);
    EXPECT_EQ(b.Alarm, a.Alarm);
    EXPECT_TRUE(b.TempUnitFahrenheit);
    EXPECT_EQ(b.RS485Addr, 12);
    EXPECT_EQ(b.ScaledOutputMax, 20000);
    EXPECT_EQ(b.BurstChannels, a.BurstChannels);
    EXPECT_FLOAT_EQ(b.TweakOffset, -3.5f);
    EXPECT_EQ(b.AlarmMode, a.AlarmMode);
    for (std::size_t r = 0; r < 8; ++r) {
      EXPECT_NEAR(b.MaterialTable[r].Emiss, a.MaterialTable[r].Emiss, 1e-6);
      EXPECT_EQ(b.MaterialTable[r].DevHi, 4);
    }
    EXPECT_FLOAT_EQ(b.DetTop, 1500.0f);
    EXPECT_EQ(b.AlarmValues[1], a.AlarmValues[1]);
    EXPECT_EQ(b.AlarmSource[1], 4);
    EXPECT_EQ(b.VisualAlarms[7], a.VisualAlarms[7]);
    EXPECT_FLOAT_EQ(b.RatioAlarmHysteresis, 4.5f);
    EXPECT_EQ(b.RatioAlarmMode, 13);
    // Written only.
    EXPECT_EQ(b.SerialNumber, 777);
    EXPECT_EQ(b.LWLDiameter, 1);
    EXPECT_EQ(b.HeadCodeShort[0], QStringLiteral("XXXX"));
    EXPECT_TRUE(messages_.empty());
  }
}

struct BadFileCase {
  const char* name;
  const char* from;
  const char* to;
  int result;
  const char* message;  // nullptr: none
};

TEST_F(ArgoConfigFileTest, UnusableFiles) {
  NumberText::SetDecimalSeparator(QLatin1Char('.'));
  const BadFileCase cases[] = {
      {"revision 3.00 loads", "FileRev=3.0\r\n", "FileRev=3.00\r\n", 1, nullptr},
      {"revision 3.1", "FileRev=3.0\r\n", "FileRev=3.1\r\n", -2, "File version mismatch !"},
      {"no [File] section", "[File]", "[Nothing]", -2, "File version mismatch !"},
      {"read-back key missing", "AL0_NoNc=1\r\n", "", -2, nullptr},
      {"serial number missing", "SerialNumber=10123456\r\n", "", 1, nullptr},
      {"info key missing", "ModelStr=Laser-G\r\n", "", 1, nullptr},
      {"both separators", "Eps=0.950", "Eps=1.234,5", -2, nullptr},
      {"stored as -99999", "Trans=0.875", "Trans=-99999", -2, nullptr},
      {"byte out of range", "DevLo_0=1\r\n", "DevLo_0=300\r\n", -2, nullptr},
      {"not a number", "AvgMode=1\r\n", "AvgMode=nan\r\n", -2, nullptr},
      {"key in other case", "Eps=", "EPS=", 1, nullptr},
  };
  for (const BadFileCase& c : cases) {
    SCOPED_TRACE(c.name);
    messages_.clear();
    const QString file = Path("bad.cfg");
    ASSERT_EQ(driver_->SaveConfigFile(Sample(), file), 1);
    Rewrite(file, QString::fromLatin1(c.from), QString::fromLatin1(c.to));
    TArgoConfig cfg;
    EXPECT_EQ(driver_->LoadConfigFile(file, cfg), c.result);
    if (c.message)
      EXPECT_EQ(messages_, std::vector<QString>{QString::fromLatin1(c.message)});
    else
      EXPECT_TRUE(messages_.empty());
  }

  TArgoConfig untouched;
  untouched.Emissivity = 0.42f;
  EXPECT_EQ(driver_->LoadConfigFile(Path("missing.cfg"), untouched), -1);
  EXPECT_EQ(messages_.back(), QStringLiteral("File not found !"));
  EXPECT_FLOAT_EQ(untouched.Emissivity, 0.42f);
}

TEST_F(ArgoConfigFileTest, SavingReplacesTheWholeFileOrNothing) {
  NumberText::SetDecimalSeparator(QLatin1Char('.'));
  const QString file = Path("Argo_1.cfg");
  QFile old(file);
  ASSERT_TRUE(old.open(QIODevice::WriteOnly));
  old.write("[Config]\r\nStaleKey=1\r\n[Stale]\r\nA=B\r\n");
  old.close();
  ASSERT_EQ(driver_->SaveConfigFile(Sample(), file), 1);
  EXPECT_FALSE(Text(file).contains(QStringLiteral("Stale")));

  // A folder that cannot be written: the save fails and the old file stays whole.
  if (::geteuid() != 0) {
    const QString before = Text(file);
    ASSERT_EQ(::chmod(QFile::encodeName(dir_.path()).constData(), 0500), 0);
    TArgoConfig other = Sample();
    other.Emissivity = 0.2f;
    EXPECT_EQ(driver_->SaveConfigFile(other, file), -2);
    ::chmod(QFile::encodeName(dir_.path()).constData(), 0700);
    EXPECT_EQ(Text(file), before);
  }
}

TEST_F(ArgoConfigFileTest, StrToFloatAnySep) {
  struct Case {
    char sep;
    const char* text;
    float expected;
  };
  const Case cases[] = {
      {'.', "0.950", 0.95f}, {'.', "0,950", 0.95f},   {',', "0.950", 0.95f},   {',', "0,950", 0.95f},
      {'.', " 3.00 ", 3.0f}, {'.', "1.234,5", -1.0f}, {',', "1.234,5", -1.0f}, {'.', "abc", -1.0f},
      {'.', "", -1.0f},      {'.', "1e3", 1000.0f},   {'.', "inf", -1.0f},     {'.', "-12", -12.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    NumberText::SetDecimalSeparator(QLatin1Char(c.sep));
    EXPECT_FLOAT_EQ(TpyreonArgo::StrToFloatAnySep(QString::fromLatin1(c.text), -1.0), c.expected);
  }
}

}  // namespace
