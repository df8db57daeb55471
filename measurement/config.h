#pragma once

#include <QChar>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

#include "platform/ini_file.h"
#include "ui/graph_properties.h"

// A window rectangle as the settings store it: four signed edges, Right and
// Bottom exclusive (width = Right - Left).
struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;

  friend bool operator==(const TRect&, const TRect&) = default;
};

// The flags of the [Options] group; each value is the flag's bit number in
// TOptions::Flags and each name is its key in the file.
enum class TOption : int {
  AskForSaving = 0,
  ForceSaving = 1,
  AutoScan = 2,
  AutoStart = 3,
  ScanNonUSBDevices = 4,
  StatusBar = 5,
  ToolBar = 6,
  ToolBarCap = 7,
  DecimalSeparator = 8,
  LASER_Button_enabled = 9,
  ApplicationTitle_Mode = 10,
  DigitalTop = 11,
  DigitalRight = 12,
  LASER_Warning_enabled = 13,
  AlwaysOnTop = 14,
  ShowOnlyDiagram = 15,
  Maximized = 16,
  TitleBar = 17,
  MenuBar = 18,
  ShowDiagram = 19,
  Briov2InputInspection = 20,
};

inline constexpr int kOptionCount = 21;

// The [Options] group read and written as one record.
struct TOptions {
  std::uint32_t Flags = 0;  // bit n = TOption n
  QChar DecimalUserDefined = QLatin1Char('.');
  QString ApplicationTitle_Title;

  bool Has(TOption option) const { return (Flags >> static_cast<int>(option)) & 1u; }
  void Set(TOption option, bool on = true) {
    const std::uint32_t bit = 1u << static_cast<int>(option);
    if (on)
      Flags |= bit;
    else
      Flags &= ~bit;
  }

  friend bool operator==(const TOptions&, const TOptions&) = default;
};

// Step sizes of the slope adjustment dialogs.
struct TSlopeRaster {
  std::uint8_t T = 10;
  std::uint8_t O = 1;

  friend bool operator==(const TSlopeRaster&, const TSlopeRaster&) = default;
};

// The program's per-user settings: one ini file with the sections MAIN,
// Options, COM, Settings and GlowReadout, one read and one write operation
// per key or small group of keys.
//
// There is no explicit save: every write goes to the file at once and every
// read sees the file as it is on disk. Floats are written with the system
// locale's decimal separator (never the separator the user chose for the
// display) and read accepting '.' or ',', so a value reads back whatever
// separator is in force at the time. A missing key, an empty value or a value
// that does not parse gives the key's default; a byte key holding a number
// outside 0..255 gives its default too.
//
// Writes never throw. Each returns false when nothing was stored: the file
// could not be written (reported once on stderr), the value was refused (see
// the serial numbers below), or the settings were reset.
//
// After ResetSettings the object stays valid but inert: the file is gone,
// every read gives its default and every write is skipped, so the close path
// that runs after "default settings" cannot bring the old values back.
//
// The device keys written at close (WriteArgoSerial, WriteRS845Addr,
// WriteBrioSerial, WriteDeviceType) are separate operations so that the owner
// writes them only for a device it actually read during this run; a negative
// serial number (a driver's failure value) is never stored.
class TConfig {
 public:
  // `FileName` is the full path of the settings file (see GetSettingsFileName).
  explicit TConfig(const QString& FileName);
  // Settings held in memory only, starting from the file text `Content`
  // (see Content()); used to check settings texts without a file.
  static TConfig FromContent(const QByteArray& Content);

  const QString& FileName() const { return fileName_; }
  // The settings as the file holds them (in memory: as it would).
  QByteArray Content() const { return ini_.Content(); }

  // Writes that belong together (closing, normalising, a dialog's OK) go
  // between BeginUpdate and EndUpdate, or into a TConfig::Batch: the file is
  // replaced once, at the outermost EndUpdate, which returns false when that
  // failed. Outside a batch every write still goes to the file at once.
  void BeginUpdate() { ini_.BeginUpdate(); }
  bool EndUpdate();
  class Batch {
   public:
    explicit Batch(TConfig& config) : config_(config) { config_.BeginUpdate(); }
    ~Batch() { config_.EndUpdate(); }
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

   private:
    TConfig& config_;
  };

  // A message for the user when the settings file cannot be used as it
  // should: not a regular file, too large or unreadable (the program runs on
  // its defaults and saves nothing), or not writable (changes are not
  // saved). Empty when the file, or the folder of a new file, is fine.
  QString ProblemMessage() const;
  // Called once, with a message for the user, when a write fails for the
  // first time (also at the end of a batch).
  std::function<void(const QString& message)> OnWriteFailed;

  // Defaults of the window rectangle and of ApplicationTitle_Title, set by
  // the owner right after construction.
  const TRect& DefaultWindowRect() const { return defaultWindowRect_; }
  void SetDefaultWindowRect(const TRect& rect) { defaultWindowRect_ = rect; }
  const QString& DefaultTitle() const { return defaultTitle_; }
  void SetDefaultTitle(const QString& title) { defaultTitle_ = title; }

  // The path of the settings file for the program `ExeName` (its full path)
  // and the instance name of "/NAME=" (empty without it):
  // <per-user data folder>/<program name>/<program name>[-<instance>].ini,
  // the folder created when missing. When that folder cannot be created the
  // file lies beside the program (<ExeName without extension>.ini, the
  // instance name not used). The instance name passes through
  // SanitisedInstanceName first, so it never reaches outside the folder.
  static QString GetSettingsFileName(const QString& ExeName, const QString& InstanceName);
  // The same; when the per-user folder cannot be written (and holds no
  // settings file yet), the file lies beside the program and `Notice` (when
  // given) receives a message for the user: that the settings are saved
  // there, or, when that folder cannot be written either, that they cannot
  // be saved. Without a notice the path is in the per-user folder.
  static QString GetSettingsFileName(const QString& ExeName, const QString& InstanceName, QString* Notice);
  // The file name (without folder) of the settings of `Program` (the
  // executable's name without extension) and an instance name:
  // <Program>[-<sanitised instance name>].ini.
  static QString SettingsFileBaseName(const QString& Program, const QString& InstanceName);
  // Longest file name, in bytes, the file systems take.
  static constexpr int kMaxFileNameBytes = 255;
  // Keeps letters, digits, blanks, '-' and '_'; every other character
  // (path separators, dots, control characters) becomes '_'. At most 255
  // characters.
  static QString SanitisedInstanceName(const QString& InstanceName);

  // [MAIN]
  TRect ReadWindowRect() const;
  bool WriteWindowRect(const TRect& rect);
  int ReadMenuPanel() const;
  bool WriteMenuPanel(int value);
  int ReadGlowReadout2() const;
  bool WriteGlowReadout2(int value);
  // The stored language file, or "English.lng" when no file of that name
  // exists. A relative name is looked for in the current directory and in
  // the program folder.
  QString ReadLanguageFile() const;
  bool WriteLanguageFile(const QString& value);
  bool ReadTemperatureUnit() const;  // true = degrees Fahrenheit
  bool WriteTemperatureUnit(bool value);
  std::uint8_t ReadPriority() const;  // 0 idle, 1 normal, 2 high, 3 real-time
  bool WritePriority(std::uint8_t value);

  // [Options]
  TOptions ReadOptions() const;
  // The decimal separators a user may choose: '.' and ','. Any other
  // character would split the data file's columns or make its numbers
  // unreadable.
  static bool IsAllowedDecimalSeparator(QChar c) { return c == QLatin1Char('.') || c == QLatin1Char(','); }
  // The separator the program uses under `options`: the user's when the
  // option is set and the character is allowed, else `system`.
  static QChar DecimalSeparatorOf(const TOptions& options, QChar system) {
    return options.Has(TOption::DecimalSeparator) && IsAllowedDecimalSeparator(options.DecimalUserDefined)
               ? options.DecimalUserDefined
               : system;
  }
  bool WriteOptions(const TOptions& options);

  // [COM]
  int ReadComPort() const;
  bool WriteComPort(int value);
  int ReadBaudrate() const;  // 1..5 = 9600..115200 Bd
  bool WriteBaudrate(int value);
  std::uint8_t ReadDeviceType() const;
  bool WriteDeviceType(std::uint8_t value);
  int ReadBrioSerial() const;
  bool WriteBrioSerial(int value);  // a negative value is not stored
  int ReadArgoSerial() const;
  bool WriteArgoSerial(int value);  // a negative value is not stored
  int ReadArgoScanTimeOut() const;
  bool WriteArgoScanTimeOut(int value);
  std::uint8_t ReadRS845Addr() const;
  bool WriteRS845Addr(std::uint8_t value);

  // [Settings]
  bool ReadArgo1ms() const;
  bool WriteArgo1ms(bool value);
  int ReadScale() const;
  bool WriteScale(int value);
  float ReadMinScale() const;
  bool WriteMinScale(float value);
  float ReadMaxScale() const;
  bool WriteMaxScale(float value);
  float ReadYRangeMin() const;
  bool WriteYRangeMin(float value);
  float ReadYRangeMax() const;
  bool WriteYRangeMax(float value);
  float ReadArgoBurstStartDelay() const;
  bool WriteArgoBurstStartDelay(float value);
  float ReadBrioBurstStartDelay() const;
  bool WriteBrioBurstStartDelay(float value);
  int ReadSmoothCycles() const;
  bool WriteSmoothCycles(int value);
  bool ReadSmartSmoothing() const;
  bool WriteSmartSmoothing(bool value);
  // Seconds per chart slot; a stored value of 0 or below gives the default,
  // one below kMinResolution gives kMinResolution.
  float ReadResolution() const;
  bool WriteResolution(float value);
  float ReadInitialTime() const;
  bool WriteInitialTime(float value);
  // Stored as a signed 32-bit integer. A stored value of 0 or below gives the
  // default; others are clamped to kMinMaxData..kMaxMaxData.
  std::int64_t ReadMaxData() const;
  bool WriteMaxData(std::int64_t value);
  std::uint8_t ReadOnMaxData() const;
  bool WriteOnMaxData(std::uint8_t value);
  TSlopeRaster ReadSlopeRaster() const;
  bool WriteSlopeRaster(const TSlopeRaster& raster);
  int ReadAdjustColor() const;
  bool WriteAdjustColor(int value);
  std::uint8_t ReadCommunicationMode() const;
  bool WriteCommunicationMode(std::uint8_t value);
  std::uint8_t ReadArgoDeviceSetupPage() const;
  bool WriteArgoDeviceSetupPage(std::uint8_t value);
  std::uint8_t ReadVererodurDeviceSetupPage() const;
  bool WriteVererodurDeviceSetupPage(std::uint8_t value);
  bool ReadInvisible() const;
  bool WriteInvisible(bool value);

  // [Settings], one channel: the keys <Prefix>_ShowDigital, _ShowDiagram,
  // _RangeDiagram, _PenWidth and _Color. The record's Name is neither read
  // nor written (the read leaves it empty).
  TGraphProperties ReadChannelSettings(const QString& Prefix, bool DefaultShow, int DefaultColor) const;
  bool WriteChannelSettings(const QString& Prefix, const TGraphProperties& Graph);

  TGraphProperties ReadTObjGraph() const;
  bool WriteTObjGraph(const TGraphProperties& graph);
  TGraphProperties ReadTIntGraph() const;
  bool WriteTIntGraph(const TGraphProperties& graph);
  TGraphProperties ReadTBoxGraph() const;
  bool WriteTBoxGraph(const TGraphProperties& graph);
  TGraphProperties ReadTActGraph() const;
  bool WriteTActGraph(const TGraphProperties& graph);
  TGraphProperties ReadTQuotGraph() const;
  bool WriteTQuotGraph(const TGraphProperties& graph);
  TGraphProperties ReadTSingleGraph() const;
  bool WriteTSingleGraph(const TGraphProperties& graph);
  TGraphProperties ReadTauGraph() const;
  bool WriteTauGraph(const TGraphProperties& graph);
  TGraphProperties ReadEpsGraph() const;
  bool WriteEpsGraph(const TGraphProperties& graph);
  TGraphProperties ReadmVinGraph() const;
  bool WritemVinGraph(const TGraphProperties& graph);
  TGraphProperties ReadVccGraph() const;
  bool WriteVccGraph(const TGraphProperties& graph);
  TGraphProperties ReadAmbientGraph() const;
  bool WriteAmbientGraph(const TGraphProperties& graph);

  // [GlowReadout]: one line per running external display. The read takes at
  // most kMaxDisplayListCount lines whatever `count` says; the write erases
  // the section and writes `count` and the lines under "0", "1", ...
  QStringList ReadDisplayList() const;
  bool WriteDisplayList(const QStringList& List);

  // Reads every key of the first-run set and writes it back, so that a new
  // file holds all of them with their defaults.
  bool NormaliseSettings();
  // Deletes the settings file and makes the object inert (see above).
  // Returns false when the file exists and could not be deleted.
  bool ResetSettings();
  bool IsReset() const { return reset_; }

  static constexpr int kMaxDisplayListCount = 64;
  static constexpr float kMinResolution = 0.001f;
  static constexpr std::int64_t kMinMaxData = 1000;
  static constexpr std::int64_t kMaxMaxData = 10000000;

 private:
  // Reads and writes below skip the file once the settings were reset.
  QString ReadString(const QString& section, const QString& key, const QString& fallback) const;
  int ReadInteger(const QString& section, const QString& key, int fallback) const;
  bool ReadBool(const QString& section, const QString& key, bool fallback) const;
  float ReadFloat(const QString& section, const QString& key, float fallback) const;
  std::uint8_t ReadByte(const QString& section, const QString& key, std::uint8_t fallback) const;
  bool WriteString(const QString& section, const QString& key, const QString& value);
  bool WriteInteger(const QString& section, const QString& key, int value);
  bool WriteBool(const QString& section, const QString& key, bool value);
  bool WriteFloat(const QString& section, const QString& key, float value);
  bool Stored(bool ok);

  explicit TConfig(IniFile ini);

  QString fileName_;
  IniFile ini_;
  TRect defaultWindowRect_;
  QString defaultTitle_;
  bool reset_ = false;
  bool writeFailureReported_ = false;
};
