#include "measurement/config.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtGlobal>
#include <algorithm>
#include <cmath>
#include <limits>

#include "drivers/device_type.h"
#include "platform/folders.h"
#include "platform/logger.h"

namespace {

// Sections and keys of the settings file.
namespace Key {
const QString kMain = QStringLiteral("MAIN");
const QString kOptions = QStringLiteral("Options");
const QString kCom = QStringLiteral("COM");
const QString kSettings = QStringLiteral("Settings");
const QString kGlowReadout = QStringLiteral("GlowReadout");

const QString kPosLeft = QStringLiteral("PosLeft");
const QString kPosTop = QStringLiteral("PosTop");
const QString kPosRight = QStringLiteral("PosRight");
const QString kPosBottom = QStringLiteral("PosBottom");
const QString kMenuPanel = QStringLiteral("MenuPanel");
const QString kGlowReadout2 = QStringLiteral("GlowReadout2");
const QString kLanguageFile = QStringLiteral("LanguageFile");
const QString kTemperatureUnit = QStringLiteral("TemperatureUnit");
const QString kPriority = QStringLiteral("Priority");

const QString kDecimalUserDefined = QStringLiteral("DecimalUserDefined");
const QString kApplicationTitle_Title = QStringLiteral("ApplicationTitle_Title");

const QString kComPort = QStringLiteral("COM");
const QString kBaudrate = QStringLiteral("Baudrate");
const QString kDeviceType = QStringLiteral("DeviceType");
const QString kBrioSerial = QStringLiteral("Brio_Serial");
const QString kArgoSerial = QStringLiteral("Argo_Serial");
const QString kArgoScanTimeOut = QStringLiteral("ArgoScanTimeOut");
const QString kRS845Addr = QStringLiteral("RS845Addr");

const QString kArgo1ms = QStringLiteral("Argo1ms");
const QString kScale = QStringLiteral("Scale");
const QString kMinScale = QStringLiteral("MinScale");
const QString kMaxScale = QStringLiteral("MaxScale");
const QString kYRangeMin = QStringLiteral("YRangeMin");
const QString kYRangeMax = QStringLiteral("YRangeMax");
const QString kArgoBurstStartDelay = QStringLiteral("ArgoBurstStartDelay");
const QString kBrioBurstStartDelay = QStringLiteral("BrioBurstStartDelay");
const QString kSmoothCycles = QStringLiteral("SmoothCycles");
const QString kSmartSmoothing = QStringLiteral("SmartSmoothing");
const QString kResolution = QStringLiteral("Resolution");
const QString kInitialTime = QStringLiteral("InitialTime");
const QString kMaxData = QStringLiteral("MaxData");
const QString kOnMaxData = QStringLiteral("OnMaxData");
const QString kSlopeRasterT = QStringLiteral("SlopeRasterT");
const QString kSlopeRasterO = QStringLiteral("SlopeRasterO");
const QString kAdjustColor = QStringLiteral("AdjustColor");
const QString kCommunicationMode = QStringLiteral("CommunicationMode");
const QString kArgoDeviceSetupPage = QStringLiteral("Argo_DeviceSetup_Page");
const QString kVererodurDeviceSetupPage = QStringLiteral("Vererodur_DeviceSetup_Page");
const QString kInvisible = QStringLiteral("Invisible");

const QString kShowDigital = QStringLiteral("_ShowDigital");
const QString kShowDiagram = QStringLiteral("_ShowDiagram");
const QString kRangeDiagram = QStringLiteral("_RangeDiagram");
const QString kPenWidth = QStringLiteral("_PenWidth");
const QString kColor = QStringLiteral("_Color");

const QString kCount = QStringLiteral("count");
}  // namespace Key

const QString kDefaultLanguageFile = QStringLiteral("English.lng");

struct OptionKey {
  TOption option;
  const char* key;
  bool fallback;
};

// In bit order.
constexpr OptionKey kOptionKeys[kOptionCount] = {
    {TOption::AskForSaving, "AskForSaving", true},
    {TOption::ForceSaving, "ForceSaving", false},
    {TOption::AutoScan, "AutoScan", true},
    {TOption::AutoStart, "AutoStart", true},
    {TOption::ScanNonUSBDevices, "ScanNonUSBDevices", false},
    {TOption::StatusBar, "StatusBar", true},
    {TOption::ToolBar, "ToolBar", true},
    {TOption::ToolBarCap, "ToolBarCap", true},
    {TOption::DecimalSeparator, "DecimalSeparator", false},
    {TOption::LASER_Button_enabled, "LASER_Button_enabled", false},
    {TOption::ApplicationTitle_Mode, "ApplicationTitle_Mode", false},
    {TOption::DigitalTop, "DigitalTop", false},
    {TOption::DigitalRight, "DigitalRight", true},
    {TOption::LASER_Warning_enabled, "LASER_Warning_enabled", true},
    {TOption::AlwaysOnTop, "AlwaysOnTop", false},
    {TOption::ShowOnlyDiagram, "ShowOnlyDiagram", false},
    {TOption::Maximized, "Maximized", false},
    {TOption::TitleBar, "TitleBar", true},
    {TOption::MenuBar, "MenuBar", true},
    {TOption::ShowDiagram, "ShowDiagram", true},
    {TOption::Briov2InputInspection, "Briov2InputInspection", false},
};

struct Channel {
  const char* prefix;
  bool defaultShow;
  int defaultColor;
};

constexpr Channel kTObj{"TObj", true, 16711680};
constexpr Channel kTInt{"TInt", false, 32768};
constexpr Channel kTBox{"TBox", false, 65535};
constexpr Channel kTAct{"TAct", false, 255};
constexpr Channel kTQuot{"TQuot", false, 255};
constexpr Channel kTSingle{"TSingle", false, 0};
constexpr Channel kTau{"Tau", false, 65280};
constexpr Channel kEps{"Eps", false, 255};
constexpr Channel kmVin{"mVin", false, 0};
constexpr Channel kVcc{"Vcc", false, 65280};
constexpr Channel kAmbient{"Ambient", false, 65280};

}  // namespace

TConfig::TConfig(const QString& FileName) : fileName_(FileName), ini_(FileName) {}

TConfig::TConfig(IniFile ini) : ini_(std::move(ini)) {}

TConfig TConfig::FromContent(const QByteArray& Content) { return TConfig(IniFile::FromContent(Content)); }

bool TConfig::EndUpdate() { return Stored(ini_.EndUpdate()); }

QString TConfig::ProblemMessage() const {
  if (reset_ || ini_.InMemory()) return {};
  const QString name = QDir::toNativeSeparators(fileName_);
  switch (ini_.CheckAccess()) {
    case IniFile::Problem::None:
      return {};
    case IniFile::Problem::NotAFile:
      return QStringLiteral(
                 "The settings file %1 is not a regular file. The program runs on its default "
                 "settings and saves none.")
          .arg(name);
    case IniFile::Problem::TooLarge:
      return QStringLiteral(
                 "The settings file %1 is larger than %2 MB. The program runs on its default "
                 "settings and saves none.")
          .arg(name)
          .arg(IniFile::kMaxFileSize / (1024 * 1024));
    case IniFile::Problem::Unreadable:
      return QStringLiteral(
                 "The settings file %1 cannot be read. The program runs on its default settings "
                 "and saves none.")
          .arg(name);
    case IniFile::Problem::Unwritable:
      return QStringLiteral("The settings file %1 cannot be written: changed settings are not saved.")
          .arg(name);
  }
  return {};
}

// ---------------------------------------------------------------- file path

QString TConfig::SanitisedInstanceName(const QString& InstanceName) {
  QString name = InstanceName.left(255);
  for (QChar& c : name) {
    const bool keep =
        c.isLetterOrNumber() || c == QLatin1Char(' ') || c == QLatin1Char('-') || c == QLatin1Char('_');
    if (!keep) c = QLatin1Char('_');
  }
  return name;
}

QString TConfig::SettingsFileBaseName(const QString& Program, const QString& InstanceName) {
  QString file = Program.isEmpty() ? QStringLiteral("ThermaSentinel") : Program;
  if (!InstanceName.isEmpty()) file += QLatin1Char('-') + SanitisedInstanceName(InstanceName);
  return file + QStringLiteral(".ini");
}

QString TConfig::GetSettingsFileName(const QString& ExeName, const QString& InstanceName) {
  return GetSettingsFileName(ExeName, InstanceName, nullptr);
}

QString TConfig::GetSettingsFileName(const QString& ExeName, const QString& InstanceName, QString* Notice) {
  if (Notice) Notice->clear();
  const QFileInfo exe(ExeName);
  QString program = exe.completeBaseName();
  if (program.isEmpty()) program = QStringLiteral("ThermaSentinel");

  const QString folder = Folders::UserDataFolder(program, true);
  const QString inFolder = QDir(folder).filePath(SettingsFileBaseName(program, InstanceName));
  // A settings file that is already there is used even when it cannot be
  // written: its values still apply (the owner tells the user it is
  // read-only).
  if (Folders::IsWritableFolder(folder) || QFileInfo::exists(inFolder)) return inFolder;

  // The per-user folder cannot take the file: it lies beside the program,
  // and the user is told whether it can be saved there.
  const QString besideProgram = QDir(exe.absolutePath()).filePath(program + QStringLiteral(".ini"));
  const QString shownFolder = QDir::toNativeSeparators(folder);
  if (Folders::IsWritableFolder(exe.absolutePath())) {
    if (Notice)
      *Notice = QStringLiteral("The settings folder %1 cannot be written. The settings are saved in %2.")
                    .arg(shownFolder, QDir::toNativeSeparators(besideProgram));
    return besideProgram;
  }
  if (Notice)
    *Notice = QStringLiteral("The settings folder %1 cannot be written. The settings cannot be saved.")
                  .arg(shownFolder);
  return besideProgram;
}

// ---------------------------------------------------------- value encodings

QString TConfig::ReadString(const QString& section, const QString& key, const QString& fallback) const {
  if (reset_) return fallback;
  const QString v = ini_.ReadString(section, key, fallback);
  return v.isEmpty() ? fallback : v;
}

int TConfig::ReadInteger(const QString& section, const QString& key, int fallback) const {
  return reset_ ? fallback : ini_.ReadInteger(section, key, fallback);
}

bool TConfig::ReadBool(const QString& section, const QString& key, bool fallback) const {
  return reset_ ? fallback : ini_.ReadBool(section, key, fallback);
}

float TConfig::ReadFloat(const QString& section, const QString& key, float fallback) const {
  if (reset_) return fallback;
  const double v = ini_.ReadFloat(section, key, static_cast<double>(fallback));
  if (!std::isfinite(v) || std::fabs(v) > static_cast<double>(std::numeric_limits<float>::max()))
    return fallback;
  return static_cast<float>(v);
}

std::uint8_t TConfig::ReadByte(const QString& section, const QString& key, std::uint8_t fallback) const {
  const int v = ReadInteger(section, key, fallback);
  return v >= 0 && v <= 255 ? static_cast<std::uint8_t>(v) : fallback;
}

bool TConfig::Stored(bool ok) {
  if (!ok && !writeFailureReported_) {
    writeFailureReported_ = true;
    Logger::Warning(QStringLiteral("Settings"),
                    QStringLiteral("cannot write ") + QDir::toNativeSeparators(fileName_));
    if (OnWriteFailed) {
      QString message = ProblemMessage();
      if (message.isEmpty())
        message = QStringLiteral("The settings file %1 cannot be written: changed settings are not saved.")
                      .arg(QDir::toNativeSeparators(fileName_));
      OnWriteFailed(message);
    }
  }
  return ok;
}

bool TConfig::WriteString(const QString& section, const QString& key, const QString& value) {
  if (reset_) return false;
  return Stored(ini_.WriteString(section, key, value));
}

bool TConfig::WriteInteger(const QString& section, const QString& key, int value) {
  if (reset_) return false;
  return Stored(ini_.WriteInteger(section, key, value));
}

bool TConfig::WriteBool(const QString& section, const QString& key, bool value) {
  if (reset_) return false;
  return Stored(ini_.WriteBool(section, key, value));
}

bool TConfig::WriteFloat(const QString& section, const QString& key, float value) {
  if (reset_) return false;
  // The single-precision value widened: 0.001f is stored as 0.00100000004749745.
  return Stored(ini_.WriteFloat(section, key, static_cast<double>(value)));
}

// ------------------------------------------------------------------- [MAIN]

TRect TConfig::ReadWindowRect() const {
  TRect r;
  r.Left = ReadInteger(Key::kMain, Key::kPosLeft, defaultWindowRect_.Left);
  r.Top = ReadInteger(Key::kMain, Key::kPosTop, defaultWindowRect_.Top);
  r.Right = ReadInteger(Key::kMain, Key::kPosRight, defaultWindowRect_.Right);
  r.Bottom = ReadInteger(Key::kMain, Key::kPosBottom, defaultWindowRect_.Bottom);
  return r;
}

bool TConfig::WriteWindowRect(const TRect& rect) {
  BeginUpdate();
  bool ok = WriteInteger(Key::kMain, Key::kPosLeft, rect.Left);
  ok = WriteInteger(Key::kMain, Key::kPosTop, rect.Top) && ok;
  ok = WriteInteger(Key::kMain, Key::kPosRight, rect.Right) && ok;
  ok = WriteInteger(Key::kMain, Key::kPosBottom, rect.Bottom) && ok;
  return EndUpdate() && ok;
}

int TConfig::ReadMenuPanel() const { return ReadInteger(Key::kMain, Key::kMenuPanel, 50); }
bool TConfig::WriteMenuPanel(int value) { return WriteInteger(Key::kMain, Key::kMenuPanel, value); }
int TConfig::ReadGlowReadout2() const { return ReadInteger(Key::kMain, Key::kGlowReadout2, 50); }
bool TConfig::WriteGlowReadout2(int value) { return WriteInteger(Key::kMain, Key::kGlowReadout2, value); }

QString TConfig::ReadLanguageFile() const {
  const QString stored = ReadString(Key::kMain, Key::kLanguageFile, kDefaultLanguageFile);
  const QFileInfo info(stored);
  if (info.isFile()) return stored;
  if (info.isRelative() && QFileInfo(QDir(Folders::ProgramFolder()).filePath(stored)).isFile()) return stored;
  return kDefaultLanguageFile;
}

bool TConfig::WriteLanguageFile(const QString& value) {
  return WriteString(Key::kMain, Key::kLanguageFile, value);
}
bool TConfig::ReadTemperatureUnit() const { return ReadBool(Key::kMain, Key::kTemperatureUnit, false); }
bool TConfig::WriteTemperatureUnit(bool value) { return WriteBool(Key::kMain, Key::kTemperatureUnit, value); }
std::uint8_t TConfig::ReadPriority() const { return ReadByte(Key::kMain, Key::kPriority, 1); }
bool TConfig::WritePriority(std::uint8_t value) { return WriteInteger(Key::kMain, Key::kPriority, value); }

// ---------------------------------------------------------------- [Options]

TOptions TConfig::ReadOptions() const {
  TOptions o;
  for (const OptionKey& k : kOptionKeys) {
    if (ReadBool(Key::kOptions, QLatin1StringView(k.key), k.fallback)) o.Set(k.option);
  }
  const QString dec = ReadString(Key::kOptions, Key::kDecimalUserDefined, QStringLiteral("."));
  o.DecimalUserDefined = dec.isEmpty() ? QLatin1Char('.') : dec.at(0);
  o.ApplicationTitle_Title = ReadString(Key::kOptions, Key::kApplicationTitle_Title, defaultTitle_);
  return o;
}

bool TConfig::WriteOptions(const TOptions& options) {
  BeginUpdate();
  bool ok = true;
  for (const OptionKey& k : kOptionKeys) {
    if (k.option == TOption::ApplicationTitle_Mode) continue;
    ok = WriteBool(Key::kOptions, QLatin1StringView(k.key), options.Has(k.option)) && ok;
  }
  ok = WriteString(Key::kOptions, Key::kDecimalUserDefined, QString(options.DecimalUserDefined)) && ok;
  ok = WriteBool(Key::kOptions, QStringLiteral("ApplicationTitle_Mode"),
                 options.Has(TOption::ApplicationTitle_Mode)) &&
       ok;
  ok = WriteString(Key::kOptions, Key::kApplicationTitle_Title, options.ApplicationTitle_Title) && ok;
  return EndUpdate() && ok;
}

// -------------------------------------------------------------------- [COM]

int TConfig::ReadComPort() const { return ReadInteger(Key::kCom, Key::kComPort, 1); }
bool TConfig::WriteComPort(int value) { return WriteInteger(Key::kCom, Key::kComPort, value); }
int TConfig::ReadBaudrate() const { return ReadInteger(Key::kCom, Key::kBaudrate, 4); }
bool TConfig::WriteBaudrate(int value) { return WriteInteger(Key::kCom, Key::kBaudrate, value); }
std::uint8_t TConfig::ReadDeviceType() const {
  return ReadByte(Key::kCom, Key::kDeviceType, DeviceType::None);
}
bool TConfig::WriteDeviceType(std::uint8_t value) { return WriteInteger(Key::kCom, Key::kDeviceType, value); }
int TConfig::ReadBrioSerial() const { return ReadInteger(Key::kCom, Key::kBrioSerial, 4); }

bool TConfig::WriteBrioSerial(int value) {
  if (value < 0) return false;
  return WriteInteger(Key::kCom, Key::kBrioSerial, value);
}

int TConfig::ReadArgoSerial() const { return ReadInteger(Key::kCom, Key::kArgoSerial, 4); }

bool TConfig::WriteArgoSerial(int value) {
  if (value < 0) return false;
  return WriteInteger(Key::kCom, Key::kArgoSerial, value);
}

int TConfig::ReadArgoScanTimeOut() const { return ReadInteger(Key::kCom, Key::kArgoScanTimeOut, 10); }
bool TConfig::WriteArgoScanTimeOut(int value) {
  return WriteInteger(Key::kCom, Key::kArgoScanTimeOut, value);
}
std::uint8_t TConfig::ReadRS845Addr() const { return ReadByte(Key::kCom, Key::kRS845Addr, 0); }
bool TConfig::WriteRS845Addr(std::uint8_t value) { return WriteInteger(Key::kCom, Key::kRS845Addr, value); }

// --------------------------------------------------------------- [Settings]

bool TConfig::ReadArgo1ms() const { return ReadBool(Key::kSettings, Key::kArgo1ms, false); }
bool TConfig::WriteArgo1ms(bool value) { return WriteBool(Key::kSettings, Key::kArgo1ms, value); }
int TConfig::ReadScale() const { return ReadInteger(Key::kSettings, Key::kScale, 1); }
bool TConfig::WriteScale(int value) { return WriteInteger(Key::kSettings, Key::kScale, value); }
float TConfig::ReadMinScale() const { return ReadFloat(Key::kSettings, Key::kMinScale, 0.0f); }
bool TConfig::WriteMinScale(float value) { return WriteFloat(Key::kSettings, Key::kMinScale, value); }
float TConfig::ReadMaxScale() const { return ReadFloat(Key::kSettings, Key::kMaxScale, 100.0f); }
bool TConfig::WriteMaxScale(float value) { return WriteFloat(Key::kSettings, Key::kMaxScale, value); }
float TConfig::ReadYRangeMin() const { return ReadFloat(Key::kSettings, Key::kYRangeMin, -50.0f); }
bool TConfig::WriteYRangeMin(float value) { return WriteFloat(Key::kSettings, Key::kYRangeMin, value); }
float TConfig::ReadYRangeMax() const { return ReadFloat(Key::kSettings, Key::kYRangeMax, 3000.0f); }
bool TConfig::WriteYRangeMax(float value) { return WriteFloat(Key::kSettings, Key::kYRangeMax, value); }
float TConfig::ReadArgoBurstStartDelay() const {
  return ReadFloat(Key::kSettings, Key::kArgoBurstStartDelay, 2.0f);
}
bool TConfig::WriteArgoBurstStartDelay(float value) {
  return WriteFloat(Key::kSettings, Key::kArgoBurstStartDelay, value);
}
float TConfig::ReadBrioBurstStartDelay() const {
  return ReadFloat(Key::kSettings, Key::kBrioBurstStartDelay, 2.0f);
}
bool TConfig::WriteBrioBurstStartDelay(float value) {
  return WriteFloat(Key::kSettings, Key::kBrioBurstStartDelay, value);
}
int TConfig::ReadSmoothCycles() const { return ReadInteger(Key::kSettings, Key::kSmoothCycles, 1); }
bool TConfig::WriteSmoothCycles(int value) { return WriteInteger(Key::kSettings, Key::kSmoothCycles, value); }
bool TConfig::ReadSmartSmoothing() const { return ReadBool(Key::kSettings, Key::kSmartSmoothing, true); }
bool TConfig::WriteSmartSmoothing(bool value) {
  return WriteBool(Key::kSettings, Key::kSmartSmoothing, value);
}

float TConfig::ReadResolution() const {
  constexpr float kDefault = 0.001f;
  const float v = ReadFloat(Key::kSettings, Key::kResolution, kDefault);
  if (v <= 0.0f) return kDefault;
  return std::max(v, kMinResolution);
}

bool TConfig::WriteResolution(float value) { return WriteFloat(Key::kSettings, Key::kResolution, value); }
float TConfig::ReadInitialTime() const { return ReadFloat(Key::kSettings, Key::kInitialTime, 10.0f); }
bool TConfig::WriteInitialTime(float value) { return WriteFloat(Key::kSettings, Key::kInitialTime, value); }

std::int64_t TConfig::ReadMaxData() const {
  constexpr int kDefault = 10000000;
  const std::int64_t v = ReadInteger(Key::kSettings, Key::kMaxData, kDefault);
  if (v <= 0) return kDefault;
  return std::clamp(v, kMinMaxData, kMaxMaxData);
}

bool TConfig::WriteMaxData(std::int64_t value) {
  const std::int64_t v =
      std::clamp<std::int64_t>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
  return WriteInteger(Key::kSettings, Key::kMaxData, static_cast<int>(v));
}

std::uint8_t TConfig::ReadOnMaxData() const { return ReadByte(Key::kSettings, Key::kOnMaxData, 0); }
bool TConfig::WriteOnMaxData(std::uint8_t value) {
  return WriteInteger(Key::kSettings, Key::kOnMaxData, value);
}

TSlopeRaster TConfig::ReadSlopeRaster() const {
  TSlopeRaster r;
  r.T = ReadByte(Key::kSettings, Key::kSlopeRasterT, 10);
  r.O = ReadByte(Key::kSettings, Key::kSlopeRasterO, 1);
  return r;
}

bool TConfig::WriteSlopeRaster(const TSlopeRaster& raster) {
  BeginUpdate();
  bool ok = WriteInteger(Key::kSettings, Key::kSlopeRasterT, raster.T);
  ok = WriteInteger(Key::kSettings, Key::kSlopeRasterO, raster.O) && ok;
  return EndUpdate() && ok;
}

int TConfig::ReadAdjustColor() const { return ReadInteger(Key::kSettings, Key::kAdjustColor, 32768); }
bool TConfig::WriteAdjustColor(int value) { return WriteInteger(Key::kSettings, Key::kAdjustColor, value); }
std::uint8_t TConfig::ReadCommunicationMode() const {
  return ReadByte(Key::kSettings, Key::kCommunicationMode, 0);
}
bool TConfig::WriteCommunicationMode(std::uint8_t value) {
  return WriteInteger(Key::kSettings, Key::kCommunicationMode, value);
}
std::uint8_t TConfig::ReadArgoDeviceSetupPage() const {
  return ReadByte(Key::kSettings, Key::kArgoDeviceSetupPage, 1);
}
bool TConfig::WriteArgoDeviceSetupPage(std::uint8_t value) {
  return WriteInteger(Key::kSettings, Key::kArgoDeviceSetupPage, value);
}
std::uint8_t TConfig::ReadVererodurDeviceSetupPage() const {
  return ReadByte(Key::kSettings, Key::kVererodurDeviceSetupPage, 1);
}
bool TConfig::WriteVererodurDeviceSetupPage(std::uint8_t value) {
  return WriteInteger(Key::kSettings, Key::kVererodurDeviceSetupPage, value);
}
bool TConfig::ReadInvisible() const { return ReadBool(Key::kSettings, Key::kInvisible, false); }
bool TConfig::WriteInvisible(bool value) { return WriteBool(Key::kSettings, Key::kInvisible, value); }

// --------------------------------------------------------------- channels

TGraphProperties TConfig::ReadChannelSettings(const QString& Prefix, bool DefaultShow,
                                              int DefaultColor) const {
  TGraphProperties g;
  g.ShowDigital = ReadBool(Key::kSettings, Prefix + Key::kShowDigital, DefaultShow);
  g.ShowDiagram = ReadBool(Key::kSettings, Prefix + Key::kShowDiagram, DefaultShow);
  g.RangeDiagram = ReadBool(Key::kSettings, Prefix + Key::kRangeDiagram, true);
  g.PenWidth = ReadByte(Key::kSettings, Prefix + Key::kPenWidth, 2);
  g.Color = static_cast<std::uint32_t>(ReadInteger(Key::kSettings, Prefix + Key::kColor, DefaultColor));
  return g;
}

bool TConfig::WriteChannelSettings(const QString& Prefix, const TGraphProperties& Graph) {
  BeginUpdate();
  bool ok = WriteBool(Key::kSettings, Prefix + Key::kShowDigital, Graph.ShowDigital);
  ok = WriteBool(Key::kSettings, Prefix + Key::kShowDiagram, Graph.ShowDiagram) && ok;
  ok = WriteBool(Key::kSettings, Prefix + Key::kRangeDiagram, Graph.RangeDiagram) && ok;
  ok = WriteInteger(Key::kSettings, Prefix + Key::kPenWidth, Graph.PenWidth) && ok;
  ok = WriteInteger(Key::kSettings, Prefix + Key::kColor, static_cast<int>(Graph.Color)) && ok;
  return EndUpdate() && ok;
}

#define TS_CHANNEL_PAIR(Name, channel)                                                 \
  TGraphProperties TConfig::Read##Name##Graph() const {                                \
    return ReadChannelSettings(QLatin1StringView(channel.prefix), channel.defaultShow, \
                               channel.defaultColor);                                  \
  }                                                                                    \
  bool TConfig::Write##Name##Graph(const TGraphProperties& graph) {                    \
    return WriteChannelSettings(QLatin1StringView(channel.prefix), graph);             \
  }

TS_CHANNEL_PAIR(TObj, kTObj)
TS_CHANNEL_PAIR(TInt, kTInt)
TS_CHANNEL_PAIR(TBox, kTBox)
TS_CHANNEL_PAIR(TAct, kTAct)
TS_CHANNEL_PAIR(TQuot, kTQuot)
TS_CHANNEL_PAIR(TSingle, kTSingle)
TS_CHANNEL_PAIR(Tau, kTau)
TS_CHANNEL_PAIR(Eps, kEps)
TS_CHANNEL_PAIR(mVin, kmVin)
TS_CHANNEL_PAIR(Vcc, kVcc)
TS_CHANNEL_PAIR(Ambient, kAmbient)

#undef TS_CHANNEL_PAIR

// ------------------------------------------------------------ [GlowReadout]

QStringList TConfig::ReadDisplayList() const {
  QStringList list;
  const int count = std::min(ReadInteger(Key::kGlowReadout, Key::kCount, 0), kMaxDisplayListCount);
  for (int i = 0; i < count; ++i) list << ReadString(Key::kGlowReadout, QString::number(i), QString());
  return list;
}

bool TConfig::WriteDisplayList(const QStringList& List) {
  if (reset_) return false;
  // One replace of the file: a failure never leaves the list half written.
  BeginUpdate();
  bool ok = Stored(ini_.EraseSection(Key::kGlowReadout));
  ok = WriteInteger(Key::kGlowReadout, Key::kCount, static_cast<int>(List.size())) && ok;
  for (qsizetype i = 0; i < List.size(); ++i) {
    ok = WriteString(Key::kGlowReadout, QString::number(i), List.at(i)) && ok;
  }
  return EndUpdate() && ok;
}

// ------------------------------------------------------- whole-file actions

bool TConfig::NormaliseSettings() {
  BeginUpdate();
  bool ok = WriteWindowRect(ReadWindowRect());
  ok = WriteComPort(ReadComPort()) && ok;
  ok = WriteBaudrate(ReadBaudrate()) && ok;
  ok = WriteDeviceType(ReadDeviceType()) && ok;
  ok = WriteBrioSerial(ReadBrioSerial()) && ok;
  ok = WriteArgoSerial(ReadArgoSerial()) && ok;
  ok = WriteRS845Addr(ReadRS845Addr()) && ok;
  ok = WriteScale(ReadScale()) && ok;
  ok = WriteResolution(ReadResolution()) && ok;
  ok = WriteMinScale(ReadMinScale()) && ok;
  ok = WriteMaxScale(ReadMaxScale()) && ok;
  ok = WriteYRangeMin(ReadYRangeMin()) && ok;
  ok = WriteYRangeMax(ReadYRangeMax()) && ok;
  ok = WriteInitialTime(ReadInitialTime()) && ok;
  ok = WriteMaxData(ReadMaxData()) && ok;
  ok = WriteSlopeRaster(ReadSlopeRaster()) && ok;
  ok = WriteSmoothCycles(ReadSmoothCycles()) && ok;
  ok = WriteSmartSmoothing(ReadSmartSmoothing()) && ok;
  ok = WriteTObjGraph(ReadTObjGraph()) && ok;
  ok = WriteTIntGraph(ReadTIntGraph()) && ok;
  ok = WriteTBoxGraph(ReadTBoxGraph()) && ok;
  ok = WriteTActGraph(ReadTActGraph()) && ok;
  ok = WriteOptions(ReadOptions()) && ok;
  ok = WriteArgoDeviceSetupPage(ReadArgoDeviceSetupPage()) && ok;
  ok = WriteVererodurDeviceSetupPage(ReadVererodurDeviceSetupPage()) && ok;
  ok = WriteArgo1ms(ReadArgo1ms()) && ok;
  ok = WritePriority(ReadPriority()) && ok;
  ok = WriteDisplayList(ReadDisplayList()) && ok;
  ok = WriteInvisible(ReadInvisible()) && ok;
  return EndUpdate() && ok;
}

bool TConfig::ResetSettings() {
  reset_ = true;
  QFile file(fileName_);
  if (!file.exists()) return true;
  return file.remove();
}
