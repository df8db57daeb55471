#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QVariant>
#include <cerrno>
#include <cstring>
#include <functional>
#include <vector>

#include "measurement/config.h"
#include "platform/folders.h"
#include "platform/ini_file.h"
#include "platform/number_text.h"

namespace {

class ConfigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    path_ = dir_.filePath(QStringLiteral("settings.ini"));
  }

  void WriteFile(const QByteArray& content) {
    QFile f(path_);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
  }

  QByteArray FileContent() const {
    QFile f(path_);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }

  TConfig MakeConfig() const {
    TConfig c(path_);
    c.SetDefaultWindowRect({100, 100, 1820, 980});
    c.SetDefaultTitle(QStringLiteral("Therma Sentinel 1.2.3.4"));
    return c;
  }

  QTemporaryDir dir_;
  QString path_;
};

QVariant Rect(const TRect& r) { return QVariantList{r.Left, r.Top, r.Right, r.Bottom}; }

QVariant Graph(const TGraphProperties& g) {
  return QVariantList{g.ShowDigital, g.ShowDiagram, g.RangeDiagram, int(g.PenWidth), qint64(g.Color), g.Name};
}

struct SingleDefault {
  const char* name;
  std::function<QVariant(const TConfig&)> read;
  QVariant expected;
};

std::vector<SingleDefault> SingleDefaults() {
  return {
      {"WindowRect", [](const TConfig& c) { return Rect(c.ReadWindowRect()); }, Rect({100, 100, 1820, 980})},
      {"MenuPanel", [](const TConfig& c) { return QVariant(c.ReadMenuPanel()); }, 50},
      {"GlowReadout2", [](const TConfig& c) { return QVariant(c.ReadGlowReadout2()); }, 50},
      {"LanguageFile", [](const TConfig& c) { return QVariant(c.ReadLanguageFile()); },
       QStringLiteral("English.lng")},
      {"TemperatureUnit", [](const TConfig& c) { return QVariant(c.ReadTemperatureUnit()); }, false},
      {"Priority", [](const TConfig& c) { return QVariant(int(c.ReadPriority())); }, 1},
      {"COM", [](const TConfig& c) { return QVariant(c.ReadComPort()); }, 1},
      {"Baudrate", [](const TConfig& c) { return QVariant(c.ReadBaudrate()); }, 4},
      {"DeviceType", [](const TConfig& c) { return QVariant(int(c.ReadDeviceType())); }, 0},
      {"Brio_Serial", [](const TConfig& c) { return QVariant(c.ReadBrioSerial()); }, 4},
      {"Argo_Serial", [](const TConfig& c) { return QVariant(c.ReadArgoSerial()); }, 4},
      {"ArgoScanTimeOut", [](const TConfig& c) { return QVariant(c.ReadArgoScanTimeOut()); }, 10},
      {"RS845Addr", [](const TConfig& c) { return QVariant(int(c.ReadRS845Addr())); }, 0},
      {"Argo1ms", [](const TConfig& c) { return QVariant(c.ReadArgo1ms()); }, false},
      {"Scale", [](const TConfig& c) { return QVariant(c.ReadScale()); }, 1},
      {"MinScale", [](const TConfig& c) { return QVariant(c.ReadMinScale()); }, 0.0f},
      {"MaxScale", [](const TConfig& c) { return QVariant(c.ReadMaxScale()); }, 100.0f},
      {"YRangeMin", [](const TConfig& c) { return QVariant(c.ReadYRangeMin()); }, -50.0f},
      {"YRangeMax", [](const TConfig& c) { return QVariant(c.ReadYRangeMax()); }, 3000.0f},
      {"ArgoBurstStartDelay", [](const TConfig& c) { return QVariant(c.ReadArgoBurstStartDelay()); }, 2.0f},
      {"BrioBurstStartDelay", [](const TConfig& c) { return QVariant(c.ReadBrioBurstStartDelay()); }, 2.0f},
      {"SmoothCycles", [](const TConfig& c) { return QVariant(c.ReadSmoothCycles()); }, 1},
      {"SmartSmoothing", [](const TConfig& c) { return QVariant(c.ReadSmartSmoothing()); }, true},
      {"Resolution", [](const TConfig& c) { return QVariant(c.ReadResolution()); }, 0.001f},
      {"InitialTime", [](const TConfig& c) { return QVariant(c.ReadInitialTime()); }, 10.0f},
      {"MaxData", [](const TConfig& c) { return QVariant(qint64(c.ReadMaxData())); }, qint64(10000000)},
      {"OnMaxData", [](const TConfig& c) { return QVariant(int(c.ReadOnMaxData())); }, 0},
      {"SlopeRaster",
       [](const TConfig& c) {
         const TSlopeRaster r = c.ReadSlopeRaster();
         return QVariant(QVariantList{int(r.T), int(r.O)});
       },
       QVariantList{10, 1}},
      {"AdjustColor", [](const TConfig& c) { return QVariant(c.ReadAdjustColor()); }, 32768},
      {"CommunicationMode", [](const TConfig& c) { return QVariant(int(c.ReadCommunicationMode())); }, 0},
      {"Argo_DeviceSetup_Page", [](const TConfig& c) { return QVariant(int(c.ReadArgoDeviceSetupPage())); },
       1},
      {"Vererodur_DeviceSetup_Page",
       [](const TConfig& c) { return QVariant(int(c.ReadVererodurDeviceSetupPage())); }, 1},
      {"Invisible", [](const TConfig& c) { return QVariant(c.ReadInvisible()); }, false},
      {"DisplayList", [](const TConfig& c) { return QVariant(c.ReadDisplayList()); }, QStringList()},
  };
}

struct ChannelDefault {
  const char* prefix;
  std::function<TGraphProperties(const TConfig&)> read;
  bool show;
  std::uint32_t color;
};

std::vector<ChannelDefault> ChannelDefaults() {
  return {
      {"TObj", [](const TConfig& c) { return c.ReadTObjGraph(); }, true, 16711680},
      {"TInt", [](const TConfig& c) { return c.ReadTIntGraph(); }, false, 32768},
      {"TBox", [](const TConfig& c) { return c.ReadTBoxGraph(); }, false, 65535},
      {"TAct", [](const TConfig& c) { return c.ReadTActGraph(); }, false, 255},
      {"TQuot", [](const TConfig& c) { return c.ReadTQuotGraph(); }, false, 255},
      {"TSingle", [](const TConfig& c) { return c.ReadTSingleGraph(); }, false, 0},
      {"Tau", [](const TConfig& c) { return c.ReadTauGraph(); }, false, 65280},
      {"Eps", [](const TConfig& c) { return c.ReadEpsGraph(); }, false, 255},
      {"mVin", [](const TConfig& c) { return c.ReadmVinGraph(); }, false, 0},
      {"Vcc", [](const TConfig& c) { return c.ReadVccGraph(); }, false, 65280},
      {"Ambient", [](const TConfig& c) { return c.ReadAmbientGraph(); }, false, 65280},
  };
}

constexpr std::uint32_t kDefaultOptionFlags = (1u << 0) | (1u << 2) | (1u << 3) | (1u << 5) | (1u << 6) |
                                              (1u << 7) | (1u << 12) | (1u << 13) | (1u << 17) | (1u << 18) |
                                              (1u << 19);

TEST_F(ConfigTest, EveryKeyGivesItsDefaultOnAMissingOrEmptyFile) {
  for (const bool emptyFile : {false, true}) {
    if (emptyFile) WriteFile(QByteArray());
    const TConfig c = MakeConfig();
    for (const SingleDefault& d : SingleDefaults())
      EXPECT_EQ(d.read(c), d.expected) << d.name << " " << emptyFile;
    for (const ChannelDefault& d : ChannelDefaults()) {
      TGraphProperties expected;
      expected.ShowDigital = expected.ShowDiagram = d.show;
      expected.RangeDiagram = true;
      expected.PenWidth = 2;
      expected.Color = d.color;
      EXPECT_EQ(d.read(c), expected) << d.prefix;
    }
    const TOptions o = c.ReadOptions();
    EXPECT_EQ(o.Flags, kDefaultOptionFlags);
    EXPECT_EQ(o.DecimalUserDefined, QLatin1Char('.'));
    EXPECT_EQ(o.ApplicationTitle_Title, QStringLiteral("Therma Sentinel 1.2.3.4"));
  }
  // Reading never creates the file.
  QFile::remove(path_);
  (void)MakeConfig().ReadOptions();
  EXPECT_FALSE(QFileInfo::exists(path_));
}

TEST_F(ConfigTest, EveryGroupRoundTrips) {
  struct Case {
    const char* name;
    std::function<bool(TConfig&)> write;
    std::function<QVariant(const TConfig&)> read;
    QVariant expected;
  };
  TGraphProperties g;
  g.ShowDigital = true;
  g.ShowDiagram = false;
  g.RangeDiagram = false;
  g.PenWidth = 7;
  g.Color = 0x00123456;
  g.Name = QStringLiteral("not stored");
  TGraphProperties stored = g;
  stored.Name.clear();

  const Case cases[] = {
      {"WindowRect",
       [](TConfig& c) {
         return c.WriteWindowRect({-1700, 5, 20, 900});
       },
       [](const TConfig& c) { return Rect(c.ReadWindowRect()); }, Rect({-1700, 5, 20, 900})},
      {"MenuPanel", [](TConfig& c) { return c.WriteMenuPanel(77); },
       [](const TConfig& c) { return QVariant(c.ReadMenuPanel()); }, 77},
      {"GlowReadout2", [](TConfig& c) { return c.WriteGlowReadout2(131); },
       [](const TConfig& c) { return QVariant(c.ReadGlowReadout2()); }, 131},
      {"TemperatureUnit", [](TConfig& c) { return c.WriteTemperatureUnit(true); },
       [](const TConfig& c) { return QVariant(c.ReadTemperatureUnit()); }, true},
      {"Priority", [](TConfig& c) { return c.WritePriority(3); },
       [](const TConfig& c) { return QVariant(int(c.ReadPriority())); }, 3},
      {"COM", [](TConfig& c) { return c.WriteComPort(97); },
       [](const TConfig& c) { return QVariant(c.ReadComPort()); }, 97},
      {"Baudrate", [](TConfig& c) { return c.WriteBaudrate(5); },
       [](const TConfig& c) { return QVariant(c.ReadBaudrate()); }, 5},
      {"DeviceType", [](TConfig& c) { return c.WriteDeviceType(11); },
       [](const TConfig& c) { return QVariant(int(c.ReadDeviceType())); }, 11},
      {"Brio_Serial", [](TConfig& c) { return c.WriteBrioSerial(0xABCDEF); },
       [](const TConfig& c) { return QVariant(c.ReadBrioSerial()); }, 0xABCDEF},
      {"Argo_Serial", [](TConfig& c) { return c.WriteArgoSerial(123456); },
       [](const TConfig& c) { return QVariant(c.ReadArgoSerial()); }, 123456},
      {"ArgoScanTimeOut", [](TConfig& c) { return c.WriteArgoScanTimeOut(25); },
       [](const TConfig& c) { return QVariant(c.ReadArgoScanTimeOut()); }, 25},
      {"RS845Addr", [](TConfig& c) { return c.WriteRS845Addr(79); },
       [](const TConfig& c) { return QVariant(int(c.ReadRS845Addr())); }, 79},
      {"Argo1ms", [](TConfig& c) { return c.WriteArgo1ms(true); },
       [](const TConfig& c) { return QVariant(c.ReadArgo1ms()); }, true},
      {"Scale", [](TConfig& c) { return c.WriteScale(2); },
       [](const TConfig& c) { return QVariant(c.ReadScale()); }, 2},
      {"MinScale", [](TConfig& c) { return c.WriteMinScale(-12.25f); },
       [](const TConfig& c) { return QVariant(c.ReadMinScale()); }, -12.25f},
      {"MaxScale", [](TConfig& c) { return c.WriteMaxScale(1234.5f); },
       [](const TConfig& c) { return QVariant(c.ReadMaxScale()); }, 1234.5f},
      {"YRangeMin", [](TConfig& c) { return c.WriteYRangeMin(0.1f); },
       [](const TConfig& c) { return QVariant(c.ReadYRangeMin()); }, 0.1f},
      {"YRangeMax", [](TConfig& c) { return c.WriteYRangeMax(2500.0f); },
       [](const TConfig& c) { return QVariant(c.ReadYRangeMax()); }, 2500.0f},
      {"ArgoBurstStartDelay", [](TConfig& c) { return c.WriteArgoBurstStartDelay(0.3f); },
       [](const TConfig& c) { return QVariant(c.ReadArgoBurstStartDelay()); }, 0.3f},
      {"BrioBurstStartDelay", [](TConfig& c) { return c.WriteBrioBurstStartDelay(4.75f); },
       [](const TConfig& c) { return QVariant(c.ReadBrioBurstStartDelay()); }, 4.75f},
      {"SmoothCycles", [](TConfig& c) { return c.WriteSmoothCycles(40); },
       [](const TConfig& c) { return QVariant(c.ReadSmoothCycles()); }, 40},
      {"SmartSmoothing", [](TConfig& c) { return c.WriteSmartSmoothing(false); },
       [](const TConfig& c) { return QVariant(c.ReadSmartSmoothing()); }, false},
      {"Resolution", [](TConfig& c) { return c.WriteResolution(0.2f); },
       [](const TConfig& c) { return QVariant(c.ReadResolution()); }, 0.2f},
      {"InitialTime", [](TConfig& c) { return c.WriteInitialTime(12.5f); },
       [](const TConfig& c) { return QVariant(c.ReadInitialTime()); }, 12.5f},
      {"MaxData", [](TConfig& c) { return c.WriteMaxData(5000000); },
       [](const TConfig& c) { return QVariant(qint64(c.ReadMaxData())); }, qint64(5000000)},
      {"OnMaxData", [](TConfig& c) { return c.WriteOnMaxData(1); },
       [](const TConfig& c) { return QVariant(int(c.ReadOnMaxData())); }, 1},
      {"SlopeRaster",
       [](TConfig& c) {
         return c.WriteSlopeRaster({5, 255});
       },
       [](const TConfig& c) {
         const TSlopeRaster r = c.ReadSlopeRaster();
         return QVariant(QVariantList{int(r.T), int(r.O)});
       },
       QVariantList{5, 255}},
      {"AdjustColor", [](TConfig& c) { return c.WriteAdjustColor(0xFF00FF); },
       [](const TConfig& c) { return QVariant(c.ReadAdjustColor()); }, 0xFF00FF},
      {"CommunicationMode", [](TConfig& c) { return c.WriteCommunicationMode(2); },
       [](const TConfig& c) { return QVariant(int(c.ReadCommunicationMode())); }, 2},
      {"Argo_DeviceSetup_Page", [](TConfig& c) { return c.WriteArgoDeviceSetupPage(4); },
       [](const TConfig& c) { return QVariant(int(c.ReadArgoDeviceSetupPage())); }, 4},
      {"Vererodur_DeviceSetup_Page", [](TConfig& c) { return c.WriteVererodurDeviceSetupPage(0); },
       [](const TConfig& c) { return QVariant(int(c.ReadVererodurDeviceSetupPage())); }, 0},
      {"Invisible", [](TConfig& c) { return c.WriteInvisible(true); },
       [](const TConfig& c) { return QVariant(c.ReadInvisible()); }, true},
      {"DisplayList",
       [](TConfig& c) {
         return c.WriteDisplayList({QStringLiteral("1\x01"
                                                   "200\x01"
                                                   "300\x01"),
                                    QStringLiteral("2\x01"
                                                   "5\x01")});
       },
       [](const TConfig& c) { return QVariant(c.ReadDisplayList()); },
       QStringList{QStringLiteral("1\x01"
                                  "200\x01"
                                  "300\x01"),
                   QStringLiteral("2\x01"
                                  "5\x01")}},
      {"Options",
       [](TConfig& c) {
         TOptions o;
         o.Flags = 0x1FFFFF & ~kDefaultOptionFlags;
         o.DecimalUserDefined = QLatin1Char(',');
         o.ApplicationTitle_Title = QStringLiteral("Furnace 3 \u00B0C");
         return c.WriteOptions(o);
       },
       [](const TConfig& c) {
         const TOptions o = c.ReadOptions();
         return QVariant(
             QVariantList{qint64(o.Flags), QString(o.DecimalUserDefined), o.ApplicationTitle_Title});
       },
       QVariantList{qint64(0x1FFFFF & ~kDefaultOptionFlags), QStringLiteral(","),
                    QStringLiteral("Furnace 3 \u00B0C")}},
  };
  for (const Case& tc : cases) {
    QFile::remove(path_);
    TConfig writer = MakeConfig();
    EXPECT_TRUE(tc.write(writer)) << tc.name;
    EXPECT_EQ(tc.read(MakeConfig()), tc.expected) << tc.name;
  }

  // Every channel pair stores the five stored fields under its own prefix.
  const std::vector<std::pair<std::function<bool(TConfig&, const TGraphProperties&)>, const char*>> writers =
      {
          {[](TConfig& c, const TGraphProperties& x) { return c.WriteTObjGraph(x); }, "TObj"},
          {[](TConfig& c, const TGraphProperties& x) { return c.WriteTIntGraph(x); }, "TInt"},
          {[](TConfig& c, const TGraphProperties& x) { return c.WriteTBoxGraph(x); }, "TBox"},
          {[](TConfig& c, const TGraphProperties& x) { return c.WriteTActGraph(x); }, "TAct"},
          {[](TConfig& c, const TGraphProperties& x) { return c.WriteTQuotGraph(x); }, "TQuot"},
          {[](TConfig& c, const TGraphProperties& x) { return c.WriteTSingleGraph(x); }, "TSingle"},
          {[](TConfig& c, const TGraphProperties& x) { return c.WriteTauGraph(x); }, "Tau"},
          {[](TConfig& c, const TGraphProperties& x) { return c.WriteEpsGraph(x); }, "Eps"},
          {[](TConfig& c, const TGraphProperties& x) { return c.WritemVinGraph(x); }, "mVin"},
          {[](TConfig& c, const TGraphProperties& x) { return c.WriteVccGraph(x); }, "Vcc"},
          {[](TConfig& c, const TGraphProperties& x) { return c.WriteAmbientGraph(x); }, "Ambient"},
      };
  const std::vector<ChannelDefault> readers = ChannelDefaults();
  for (size_t i = 0; i < writers.size(); ++i) {
    QFile::remove(path_);
    TConfig writer = MakeConfig();
    EXPECT_TRUE(writers[i].first(writer, g));
    const TConfig reader = MakeConfig();
    for (size_t j = 0; j < readers.size(); ++j) {
      const TGraphProperties got = readers[j].read(reader);
      if (i == j)
        EXPECT_EQ(Graph(got), Graph(stored)) << writers[i].second;
      else
        EXPECT_EQ(got.Color, readers[j].color) << writers[i].second << " touched " << readers[j].prefix;
    }
    const IniFile ini(path_);
    EXPECT_EQ(
        ini.ReadString(QStringLiteral("Settings"), QString::fromLatin1(writers[i].second) + "_Color", {}),
        QString::number(0x123456));
  }
}

TEST_F(ConfigTest, ValueEncodings) {
  struct Case {
    const char* content;
    std::function<QVariant(const TConfig&)> read;
    QVariant expected;
  };
  const Case cases[] = {
      {"[Settings]\nInvisible=2\n", [](const TConfig& c) { return QVariant(c.ReadInvisible()); }, true},
      {"[Settings]\nSmartSmoothing=0\n", [](const TConfig& c) { return QVariant(c.ReadSmartSmoothing()); },
       false},
      {"[Settings]\nSmartSmoothing=true\n", [](const TConfig& c) { return QVariant(c.ReadSmartSmoothing()); },
       true},
      {"[Settings]\nInvisible=yes\n", [](const TConfig& c) { return QVariant(c.ReadInvisible()); }, false},
      {"[COM]\nCOM=0x10\n", [](const TConfig& c) { return QVariant(c.ReadComPort()); }, 16},
      {"[COM]\nCOM=0X1f\n", [](const TConfig& c) { return QVariant(c.ReadComPort()); }, 31},
      {"[COM]\nCOM=\n", [](const TConfig& c) { return QVariant(c.ReadComPort()); }, 1},
      {"[COM]\nCOM=7x\n", [](const TConfig& c) { return QVariant(c.ReadComPort()); }, 1},
      {"[Settings]\nMaxScale=abc\n", [](const TConfig& c) { return QVariant(c.ReadMaxScale()); }, 100.0f},
      {"[Settings]\nMaxScale=1e400\n", [](const TConfig& c) { return QVariant(c.ReadMaxScale()); }, 100.0f},
      {"[Settings]\nInitialTime=12,5\n", [](const TConfig& c) { return QVariant(c.ReadInitialTime()); },
       12.5f},
      {"[Settings]\nInitialTime=12.5\n", [](const TConfig& c) { return QVariant(c.ReadInitialTime()); },
       12.5f},
      {"[settings]\ninitialtime = 7,25 \n", [](const TConfig& c) { return QVariant(c.ReadInitialTime()); },
       7.25f},
      {"[Options]\nDecimalUserDefined=\n",
       [](const TConfig& c) { return QVariant(QString(c.ReadOptions().DecimalUserDefined)); },
       QStringLiteral(".")},
      {"[Options]\nDecimalUserDefined=,;\n",
       [](const TConfig& c) { return QVariant(QString(c.ReadOptions().DecimalUserDefined)); },
       QStringLiteral(",")},
      {"[Options]\nApplicationTitle_Title=\n",
       [](const TConfig& c) { return QVariant(c.ReadOptions().ApplicationTitle_Title); },
       QStringLiteral("Therma Sentinel 1.2.3.4")},
      {"[Options]\nAutoScan=0\nForceSaving=5\n",
       [](const TConfig& c) { return QVariant(qint64(c.ReadOptions().Flags)); },
       qint64((kDefaultOptionFlags & ~(1u << 2)) | (1u << 1))},
      // Byte keys outside 0..255 give their default.
      {"[COM]\nDeviceType=300\n", [](const TConfig& c) { return QVariant(int(c.ReadDeviceType())); }, 0},
      {"[COM]\nRS845Addr=-1\n", [](const TConfig& c) { return QVariant(int(c.ReadRS845Addr())); }, 0},
      {"[Settings]\nTObj_PenWidth=256\n",
       [](const TConfig& c) { return QVariant(int(c.ReadTObjGraph().PenWidth)); }, 2},
      {"[Settings]\nTObj_Color=-2147483643\n",
       [](const TConfig& c) { return QVariant(qint64(c.ReadTObjGraph().Color)); }, qint64(0x80000005u)},
      // MaxData and Resolution stay usable by the chart.
      {"[Settings]\nMaxData=0\n", [](const TConfig& c) { return QVariant(qint64(c.ReadMaxData())); },
       qint64(10000000)},
      {"[Settings]\nMaxData=-5\n", [](const TConfig& c) { return QVariant(qint64(c.ReadMaxData())); },
       qint64(10000000)},
      {"[Settings]\nMaxData=500\n", [](const TConfig& c) { return QVariant(qint64(c.ReadMaxData())); },
       qint64(1000)},
      {"[Settings]\nMaxData=2147483647\n", [](const TConfig& c) { return QVariant(qint64(c.ReadMaxData())); },
       qint64(10000000)},
      {"[Settings]\nResolution=0\n", [](const TConfig& c) { return QVariant(c.ReadResolution()); }, 0.001f},
      {"[Settings]\nResolution=-1\n", [](const TConfig& c) { return QVariant(c.ReadResolution()); }, 0.001f},
      {"[Settings]\nResolution=0.0001\n", [](const TConfig& c) { return QVariant(c.ReadResolution()); },
       0.001f},
      {"[Settings]\nResolution=0,5\n", [](const TConfig& c) { return QVariant(c.ReadResolution()); }, 0.5f},
      // Display list: count 0, missing, negative or huge.
      {"[GlowReadout]\ncount=0\n0=x\n", [](const TConfig& c) { return QVariant(c.ReadDisplayList()); },
       QStringList()},
      {"[GlowReadout]\ncount=-3\n", [](const TConfig& c) { return QVariant(c.ReadDisplayList()); },
       QStringList()},
      {"[GlowReadout]\ncount=2\n1=b\n", [](const TConfig& c) { return QVariant(c.ReadDisplayList()); },
       QStringList{QString(), QStringLiteral("b")}},
      {"[GlowReadout]\ncount=2147483647\n",
       [](const TConfig& c) { return QVariant(int(c.ReadDisplayList().size())); },
       TConfig::kMaxDisplayListCount},
  };
  for (const Case& tc : cases) {
    WriteFile(tc.content);
    EXPECT_EQ(tc.read(MakeConfig()), tc.expected) << tc.content;
  }
}

TEST_F(ConfigTest, FloatsAreWrittenWithTheSystemSeparatorWhateverTheUserChose) {
  const QChar system = NumberText::SystemDecimalSeparator();
  const QChar user = system == QLatin1Char('.') ? QLatin1Char(',') : QLatin1Char('.');
  NumberText::SetDecimalSeparator(user);
  TConfig c = MakeConfig();
  EXPECT_TRUE(c.WriteInitialTime(12.5f));
  EXPECT_TRUE(c.WriteResolution(0.001f));
  EXPECT_TRUE(c.WriteYRangeMin(-50.0f));
  const QByteArray content = FileContent();
  EXPECT_TRUE(content.contains(QByteArray("InitialTime=12") + char(system.unicode()) + "5"))
      << content.constData();
  EXPECT_TRUE(content.contains(QByteArray("Resolution=0") + char(system.unicode()) + "00100000004749745"));
  EXPECT_TRUE(content.contains("YRangeMin=-50\r\n"));
  // Read back under either separator in force.
  EXPECT_FLOAT_EQ(MakeConfig().ReadInitialTime(), 12.5f);
  NumberText::SetDecimalSeparator(QChar());
  EXPECT_FLOAT_EQ(MakeConfig().ReadInitialTime(), 12.5f);
  EXPECT_FLOAT_EQ(MakeConfig().ReadResolution(), 0.001f);
}

TEST_F(ConfigTest, NormaliseSettingsWritesEveryFirstRunKeyWithItsDefault) {
  TConfig c = MakeConfig();
  ASSERT_TRUE(c.NormaliseSettings());
  const IniFile ini(path_);
  const QStringList expectedMain = {"PosLeft", "PosTop", "PosRight", "PosBottom", "Priority"};
  const QStringList expectedCom = {"COM",         "Baudrate",    "DeviceType",
                                   "Brio_Serial", "Argo_Serial", "RS845Addr"};
  QStringList expectedSettings = {"Scale",        "Resolution",   "MinScale",     "MaxScale",
                                  "YRangeMin",    "YRangeMax",    "InitialTime",  "MaxData",
                                  "SlopeRasterT", "SlopeRasterO", "SmoothCycles", "SmartSmoothing"};
  for (const char* prefix : {"TObj", "TInt", "TBox", "TAct"}) {
    for (const char* suffix : {"_ShowDigital", "_ShowDiagram", "_RangeDiagram", "_PenWidth", "_Color"})
      expectedSettings << QString::fromLatin1(prefix) + QString::fromLatin1(suffix);
  }
  expectedSettings << "Argo_DeviceSetup_Page"
                   << "Vererodur_DeviceSetup_Page"
                   << "Argo1ms"
                   << "Invisible";
  EXPECT_EQ(ini.ReadSection("MAIN"), expectedMain);
  EXPECT_EQ(ini.ReadSection("COM"), expectedCom);
  EXPECT_EQ(ini.ReadSection("Settings"), expectedSettings);
  EXPECT_EQ(ini.ReadSection("GlowReadout"), QStringList{"count"});
  EXPECT_EQ(ini.ReadSection("Options").size(), kOptionCount + 2);
  EXPECT_EQ(ini.ReadSection("Options").at(kOptionCount - 1), QStringLiteral("DecimalUserDefined"));

  struct Expected {
    const char* section;
    const char* key;
    const char* value;
  } values[] = {
      {"MAIN", "PosRight", "1820"},
      {"COM", "Argo_Serial", "4"},
      {"COM", "Brio_Serial", "4"},
      {"COM", "Baudrate", "4"},
      {"Settings", "Resolution", "0.00100000004749745"},
      {"Settings", "MaxData", "10000000"},
      {"Settings", "YRangeMax", "3000"},
      {"Settings", "TObj_Color", "16711680"},
      {"Options", "AutoScan", "1"},
      {"Options", "DecimalUserDefined", "."},
      {"Options", "ApplicationTitle_Title", "Therma Sentinel 1.2.3.4"},
      {"GlowReadout", "count", "0"},
  };
  for (const Expected& e : values)
    EXPECT_EQ(ini.ReadString(e.section, e.key, "?"), QString::fromLatin1(e.value)) << e.key;

  // Everything reads back as the defaults did.
  const TConfig again = MakeConfig();
  for (const SingleDefault& d : SingleDefaults()) EXPECT_EQ(d.read(again), d.expected) << d.name;
  EXPECT_EQ(again.ReadOptions().Flags, kDefaultOptionFlags);
}

TEST_F(ConfigTest, WriteDisplayListReplacesTheWholeSection) {
  TConfig c = MakeConfig();
  ASSERT_TRUE(c.WriteDisplayList({"a", "b", "c"}));
  ASSERT_TRUE(c.WriteDisplayList({}));
  const IniFile ini(path_);
  EXPECT_EQ(ini.ReadSectionValues("GlowReadout"), QStringList{"count=0"});
  EXPECT_TRUE(c.ReadDisplayList().isEmpty());
}

TEST_F(ConfigTest, ResetSettingsRemovesTheFileAndLaterWritesCannotBringItBack) {
  TConfig c = MakeConfig();
  ASSERT_TRUE(c.NormaliseSettings());
  ASSERT_TRUE(c.WriteComPort(42));
  ASSERT_TRUE(c.ResetSettings());
  EXPECT_TRUE(c.IsReset());
  EXPECT_FALSE(QFileInfo::exists(path_));

  // The close path of the owner after a reset: every write is skipped.
  EXPECT_FALSE(c.WriteWindowRect({1, 2, 3, 4}));
  EXPECT_FALSE(c.WriteOptions(c.ReadOptions()));
  EXPECT_FALSE(c.WriteComPort(7));
  EXPECT_FALSE(c.WriteTObjGraph(c.ReadTObjGraph()));
  EXPECT_FALSE(c.WriteInitialTime(3.0f));
  EXPECT_FALSE(c.WriteDisplayList({"x"}));
  EXPECT_FALSE(c.NormaliseSettings());
  EXPECT_FALSE(QFileInfo::exists(path_));
  EXPECT_EQ(c.ReadComPort(), 1);

  // The restart finds no file, so the defaults apply.
  TConfig restarted = MakeConfig();
  EXPECT_EQ(restarted.ReadComPort(), 1);
  EXPECT_TRUE(restarted.WriteComPort(9));
  EXPECT_EQ(restarted.ReadComPort(), 9);

  // Resetting when there is no file is fine too.
  QFile::remove(path_);
  TConfig fresh = MakeConfig();
  EXPECT_TRUE(fresh.ResetSettings());
}

TEST_F(ConfigTest, FailureValuesOfTheDriversDoNotReplaceStoredSerials) {
  TConfig c = MakeConfig();
  ASSERT_TRUE(c.WriteArgoSerial(5551));
  ASSERT_TRUE(c.WriteBrioSerial(0x010203));
  EXPECT_FALSE(c.WriteArgoSerial(-1));
  EXPECT_FALSE(c.WriteBrioSerial(-1));
  EXPECT_EQ(c.ReadArgoSerial(), 5551);
  EXPECT_EQ(c.ReadBrioSerial(), 0x010203);
}

TEST_F(ConfigTest, AWriteThatCannotBeDoneReturnsFalse) {
  TConfig c(dir_.filePath(QStringLiteral("missing/folder/settings.ini")));
  EXPECT_FALSE(c.WriteComPort(3));
  EXPECT_FALSE(c.NormaliseSettings());
  EXPECT_EQ(c.ReadComPort(), 1);
}

// Settings files the program must not take as they are: the message the
// user gets, a value read, whether the first-run set can be written, and the
// file byte for byte unchanged where nothing may be written.
TEST_F(ConfigTest, BadSettingsFilesGiveAMessageAndAreNeverDamaged) {
  struct Case {
    const char* what;
    QByteArray content;
    const char* message;  // part of ProblemMessage(); empty: none
    float maxScale;
    bool normalised;
  };
  const QByteArray big = "[Settings]\r\nMaxScale=55\r\n" + QByteArray(IniFile::kMaxFileSize, ';');
  const Case cases[] = {
      {"CR line ends", "[Settings]\rMaxScale=55\r[MAIN]\rPriority=2\r", "", 55.0f, true},
      {"NUL as the decimal character",
       QByteArray("[Options]\nDecimalUserDefined=\0\n[Settings]\nMaxScale=55\n", 54), "", 55.0f, true},
      {"larger than the limit", big, "larger than 64 MB", 100.0f, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFile(c.content);
    TConfig config = MakeConfig();
    EXPECT_TRUE(config.ProblemMessage().contains(QLatin1String(c.message)))
        << config.ProblemMessage().toStdString();
    EXPECT_EQ(config.ProblemMessage().isEmpty(), QByteArray(c.message).isEmpty());
    EXPECT_EQ(config.ReadMaxScale(), c.maxScale);
    const TOptions options = config.ReadOptions();
    EXPECT_EQ(config.NormaliseSettings(), c.normalised);
    if (!c.normalised) {
      EXPECT_EQ(FileContent(), c.content);
      continue;
    }
    // Every value reads back as it was read before.
    TConfig reread = MakeConfig();
    EXPECT_EQ(reread.ReadMaxScale(), c.maxScale);
    EXPECT_EQ(reread.ReadOptions(), options);
  }
}

TEST_F(ConfigTest, ANulDecimalCharacterIsKeptByteForByte) {
  WriteFile(QByteArray("[Options]\r\nDecimalUserDefined=\0\r\n", 33));
  TConfig c = MakeConfig();
  TOptions o = c.ReadOptions();
  EXPECT_EQ(o.DecimalUserDefined, QChar(0));
  ASSERT_TRUE(c.NormaliseSettings());
  EXPECT_TRUE(FileContent().contains(QByteArray("\r\nDecimalUserDefined=\0\r\n", 24)));
}

TEST_F(ConfigTest, AFifoOrADeviceIsRefusedAtOnce) {
  ASSERT_EQ(::mkfifo(QFile::encodeName(path_).constData(), 0600), 0);
  for (const QString& path : {path_, QStringLiteral("/dev/zero")}) {
    SCOPED_TRACE(path.toStdString());
    TConfig c(path);
    EXPECT_TRUE(c.ProblemMessage().contains(QLatin1String("not a regular file")));
    EXPECT_EQ(c.ReadComPort(), 1);
    EXPECT_FALSE(c.NormaliseSettings());
  }
  struct stat st;
  ASSERT_EQ(::stat(QFile::encodeName(path_).constData(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST_F(ConfigTest, AFailingWriteIsReportedOnce) {
  TConfig c(dir_.filePath(QStringLiteral("missing/folder/settings.ini")));
  QStringList messages;
  c.OnWriteFailed = [&](const QString& m) { messages << m; };
  EXPECT_FALSE(c.WriteComPort(3));
  EXPECT_FALSE(c.NormaliseSettings());
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages.first().contains(QLatin1String("cannot be written")));
}

TEST_F(ConfigTest, ABatchReplacesTheFileOnceAtItsEnd) {
  TConfig c = MakeConfig();
  ASSERT_TRUE(c.NormaliseSettings());
  const QByteArray before = FileContent();
  {
    TConfig::Batch batch(c);
    c.WriteComPort(7);
    c.WriteTObjGraph(TGraphProperties{});
    c.WriteDisplayList({QStringLiteral("a"), QStringLiteral("b")});
    EXPECT_EQ(c.ReadComPort(), 7);
    EXPECT_EQ(FileContent(), before);
  }
  EXPECT_EQ(MakeConfig().ReadComPort(), 7);
  EXPECT_EQ(MakeConfig().ReadDisplayList(), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
}

TEST_F(ConfigTest, SettingsTextsInMemory) {
  TConfig c = TConfig::FromContent("[COM]\rCOM=5\r");
  EXPECT_EQ(c.ReadComPort(), 5);
  EXPECT_TRUE(c.WriteBaudrate(2));
  EXPECT_EQ(c.Content(), QByteArray("[COM]\r\nCOM=5\r\nBaudrate=2\r\n"));
  EXPECT_TRUE(c.ProblemMessage().isEmpty());
}

TEST_F(ConfigTest, LanguageFileFallsBackWhenTheStoredFileIsGone) {
  const QString programFolder = dir_.filePath(QStringLiteral("prog"));
  ASSERT_TRUE(QDir().mkpath(programFolder));
  Folders::SetProgramFolderForTesting(programFolder);
  QFile(programFolder + QStringLiteral("/Deutsch.lng")).open(QIODevice::WriteOnly);
  const QString absolute = programFolder + QStringLiteral("/Deutsch.lng");

  struct Case {
    QString stored;
    QString expected;
  } cases[] = {
      {absolute, absolute},
      {QStringLiteral("Deutsch.lng"), QStringLiteral("Deutsch.lng")},
      {programFolder + QStringLiteral("/Gone.lng"), QStringLiteral("English.lng")},
      {QStringLiteral("Gone.lng"), QStringLiteral("English.lng")},
      {QString(), QStringLiteral("English.lng")},
  };
  for (const Case& tc : cases) {
    QFile::remove(path_);
    TConfig c = MakeConfig();
    ASSERT_TRUE(c.WriteLanguageFile(tc.stored));
    EXPECT_EQ(MakeConfig().ReadLanguageFile(), tc.expected) << tc.stored.toStdString();
  }
  Folders::SetProgramFolderForTesting(QString());
}

class SettingsPathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    saved_ = qgetenv("XDG_CONFIG_HOME");
    hadValue_ = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    config_ = dir_.filePath(QStringLiteral("config"));
    qputenv("XDG_CONFIG_HOME", config_.toLocal8Bit());
  }
  void TearDown() override {
    if (hadValue_)
      qputenv("XDG_CONFIG_HOME", saved_);
    else
      qunsetenv("XDG_CONFIG_HOME");
  }

  QTemporaryDir dir_;
  QString config_;
  QByteArray saved_;
  bool hadValue_ = false;
};

TEST_F(SettingsPathTest, InstanceNamesStayInsideTheProgramsFolder) {
  struct Case {
    const char* exe;
    QString instance;
    QString expected;  // relative to the per-user folder
  } cases[] = {
      {"/opt/App/Prog/Prog", "", "Prog/Prog.ini"},
      {"/opt/App/Prog/Prog", "x", "Prog/Prog-x.ini"},
      {"D:/App/Prog/Prog.exe", "x", "Prog/Prog-x.ini"},
      {"/Prog.exe", "", "Prog/Prog.ini"},
      {"/usr/bin/ThermaSentinel", "Furnace 2", "ThermaSentinel/ThermaSentinel-Furnace 2.ini"},
      {"/usr/bin/ThermaSentinel", "Line_A-3", "ThermaSentinel/ThermaSentinel-Line_A-3.ini"},
      {"/usr/bin/ThermaSentinel", "../../evil", "ThermaSentinel/ThermaSentinel-______evil.ini"},
      {"/usr/bin/ThermaSentinel", "a/b\\c", "ThermaSentinel/ThermaSentinel-a_b_c.ini"},
      {"/usr/bin/ThermaSentinel", "..", "ThermaSentinel/ThermaSentinel-__.ini"},
      {"/usr/bin/ThermaSentinel", "\u00C4rger", "ThermaSentinel/ThermaSentinel-\u00C4rger.ini"},
      {"/usr/bin/ThermaSentinel", QString(300, QLatin1Char('n')),
       "ThermaSentinel/ThermaSentinel-" + QString(255, QLatin1Char('n')) + ".ini"},
  };
  for (const Case& tc : cases) {
    const QString path = TConfig::GetSettingsFileName(QString::fromUtf8(tc.exe), tc.instance);
    EXPECT_EQ(path, config_ + QLatin1Char('/') + tc.expected) << tc.exe;
    EXPECT_TRUE(QFileInfo(path).dir().exists()) << "folder created";
  }
}

TEST_F(SettingsPathTest, WithoutAPerUserFolderTheFileLiesBesideTheProgram) {
  // A regular file where the configuration folder should be.
  QFile blocker(config_);
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  EXPECT_EQ(TConfig::GetSettingsFileName(QStringLiteral("/opt/App/Prog/Prog"), QStringLiteral("x")),
            QStringLiteral("/opt/App/Prog/Prog.ini"));
  // The user is told where the settings go, or that they cannot be saved.
  QString notice;
  EXPECT_EQ(TConfig::GetSettingsFileName(QStringLiteral("/opt/App/Prog/Prog"), QString(), &notice),
            QStringLiteral("/opt/App/Prog/Prog.ini"));
  EXPECT_TRUE(notice.contains(QLatin1String("cannot be saved"))) << notice.toStdString();
  const QString program = dir_.filePath(QStringLiteral("Prog"));
  EXPECT_EQ(TConfig::GetSettingsFileName(program, QString(), &notice), program + QStringLiteral(".ini"));
  EXPECT_TRUE(notice.contains(QLatin1String("are saved in ") + program + QStringLiteral(".ini")))
      << notice.toStdString();
  // With a usable folder there is nothing to tell.
  QFile::remove(config_);
  EXPECT_EQ(TConfig::GetSettingsFileName(program, QString(), &notice),
            config_ + QStringLiteral("/Prog/Prog.ini"));
  EXPECT_TRUE(notice.isEmpty());
}

// A configuration folder on a read-only file system (root may write into
// any folder, so only a read-only mount shows this): the settings go beside
// the program and the user is told so, or that they cannot be saved.
TEST_F(SettingsPathTest, AReadOnlyConfigurationFolderIsNamedToTheUser) {
  ASSERT_TRUE(QDir().mkpath(config_));
  if (::mount("tmpfs", QFile::encodeName(config_).constData(), "tmpfs", MS_RDONLY, "size=16k") != 0)
    GTEST_SKIP() << "cannot mount a read-only tmpfs here: " << std::strerror(errno);
  struct Unmount {
    QString path;
    ~Unmount() { ::umount2(QFile::encodeName(path).constData(), MNT_DETACH); }
  } unmount{config_};
  const QString program = dir_.filePath(QStringLiteral("Prog"));
  QString notice;
  EXPECT_EQ(TConfig::GetSettingsFileName(program, QStringLiteral("x"), &notice),
            program + QStringLiteral(".ini"));
  EXPECT_TRUE(notice.contains(config_ + QStringLiteral("/Prog"))) << notice.toStdString();
  EXPECT_TRUE(notice.contains(QLatin1String("saved in ") + program + QStringLiteral(".ini")))
      << notice.toStdString();
  // Nothing was written into the read-only folder, and a write beside the
  // program works.
  EXPECT_TRUE(QDir(config_).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
  TConfig c(program + QStringLiteral(".ini"));
  EXPECT_TRUE(c.WriteComPort(2));
  EXPECT_TRUE(c.ProblemMessage().isEmpty());
}

}  // namespace
