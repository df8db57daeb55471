#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <array>
#include <cstdint>
#include <deque>
#include <functional>

#include "drivers/brio/brio_boot_loader.h"
#include "drivers/brio/brio_burst_parser.h"
#include "drivers/brio/brio_image.h"

class QTimer;
class TComPort;
class TRingBuffer;

// Events of the first-generation Brio driver (called only when assigned).
using TbrioSenderEvent = std::function<void(QObject* sender)>;
using TbrioErrorEvent = std::function<void(QObject* sender, int errorCode)>;
using TbrioReadEvent = std::function<void(QObject* sender, bool success)>;
using TbrioProgressEvent = std::function<void(QObject* sender, int percent)>;
using TbrioNewTempEvent = std::function<void(QObject* sender, std::uint8_t tempTyp, float temp)>;

struct BrioReply {
  bool Failed = true;
  QByteArray Data;
};

// One burst entry: the values of the streamed memory words in channel order
// (the first (L - 2) / 2 filled) and the time in seconds.
struct TBrioBurstRecord {
  std::array<std::uint16_t, 6> Values{};
  float Time = 0.0f;
};

// Driver of the first-generation Brio devices: the firmware has no command
// set of its own; the driver peeks and pokes the microcontroller's memory
// (9600 8N1, no checksums), powers the device through DTR and rewrites its
// configuration through the bootstrap loader.
//
// Everything runs on the thread that owns the driver (a device session's
// thread); exchanges block that thread for their time-outs and tries.
class TpyreonBrio : public QObject, private TBrioLoaderLink {
  Q_OBJECT

 public:
  explicit TpyreonBrio(QObject* owner = nullptr);
  ~TpyreonBrio() override;

  bool LogFile() const { return logFile_; }
  void SetLogFile(bool value) { logFile_ = value; }
  int ComPort() const { return comPort_; }
  void SetComPort(int value) { comPort_ = value; }

  TbrioSenderEvent OnConnect;
  TbrioSenderEvent OnDisconnect;
  TbrioSenderEvent OnComOpen;
  TbrioSenderEvent OnComClose;
  TbrioErrorEvent OnError;
  TbrioReadEvent OnLoadCaliData;
  TbrioReadEvent OnLoadConfigData;
  TbrioReadEvent OnLoadIntVector;
  TbrioSenderEvent OnAllLoaded;
  TbrioProgressEvent OnProgress;
  TbrioNewTempEvent OnNewTemp;
  TbrioSenderEvent OnBusrtStart;

  // Asked between tries and while waiting: true ends the current operation
  // early (an exchange then counts as unanswered).
  void SetCancelCheck(std::function<bool()> check) { cancelCheck_ = std::move(check); }

  // Memory addresses of the firmware.
  static constexpr std::uint16_t kTargetTemperature = 0x0200;
  static constexpr std::uint16_t kInternalTemperature = 0x0202;
  static constexpr std::uint16_t kActualTemperature = 0x0204;
  static constexpr std::uint16_t kLoopOutput = 0x0212;
  static constexpr std::uint16_t kModeFlags = 0x025F;
  static constexpr std::uint16_t kOperatingMode = 0x0261;
  static constexpr std::uint16_t kLoopStart = 0x0264;
  static constexpr std::uint16_t kSerialNumber = 0x1082;
  static constexpr std::uint16_t kConfigAddress = 0x1000;
  static constexpr std::uint16_t kCalibrationAddress = 0x1080;
  static constexpr std::uint16_t kVectorAddress = 0xFFE0;
  static constexpr int kMemoryWriteTimeoutMs = 2000;
  static constexpr int kTries = 10;

  // --- Port and state ---------------------------------------------------------
  bool OpenPort();
  void ClosePort();
  // After the device was removed: a new, closed port with the same settings.
  void DropRemovedPort();
  bool PortOpen() const;
  bool Connected() const { return connected_; }
  bool HoldPoll() const { return holdPoll_; }
  TComPort* Port() const { return port_; }
  bool ConnectPollActive() const;

  void SendAndReceive(const QByteArray& request, int timeoutMs, BrioReply& reply, bool noResync,
                      int expected);

  // --- Values and memory --------------------------------------------------------
  float ReadTargetTemperature();
  float ReadInternalTemperature();
  float ReadActualTemperature();
  void ReadCalibrationImage();
  void ReadConfigurationImage();
  void ReadVectorImage();
  void ReadAllImages();
  int ReadMemoryByte(std::uint16_t address);
  int WriteMemoryByteVerified(std::uint16_t address, std::uint8_t value);
  int ReadSerialNumber();
  // The emissivity the device works with, in thousandths, as the program
  // knows it: read from the device's working copy (RAM 0x0208, low byte
  // first) by ReadEmissivityWord, and kept by whoever writes that copy.
  static constexpr std::uint16_t kEmissivity = 0x0208;
  std::uint16_t EmissivityWord() const { return emissivityWord_; }
  void SetEmissivityWord(std::uint16_t value) { emissivityWord_ = value; }
  // Reads the working copy into EmissivityWord; the word, or -1 when the
  // device did not answer (three tries).
  int ReadEmissivityWord();

  const BrioCalibrationImage& CalibrationImage() const { return calibration_; }
  const BrioConfigImage& ConfigImage() const { return config_; }
  const BrioVectorImage& VectorImage() const { return vectors_; }

  // --- Power, loop maintenance, configuration ---------------------------------------
  bool PowerOnDevice(bool configure);
  void EnterLoopMaintenance();
  void LeaveLoopMaintenance();
  void SetLoopOutputTemperature(float t);
  // The loop output word for `t`: T * 10 + 1000 rounded half to even,
  // clamped to the word range.
  static std::uint16_t LoopOutputWord(float t);
  // Programs `image` into the device's configuration segment. Sends nothing
  // and gives false unless `image`, the driver's configuration image and the
  // vector image (the loader's password) were read from the device in this
  // connection.
  bool WriteConfiguration(const BrioConfigImage& image);

  // --- Burst -------------------------------------------------------------------------
  // Writes the channel list (memory addresses, 0 ends it) and the burst flag
  // into the configuration image, programs it, restarts the device and
  // listens. The result is the write's. Sends nothing and gives false unless
  // the configuration and vector images were read in this connection.
  bool StartBurst(std::uint16_t c1, std::uint16_t c2, std::uint16_t c3, std::uint16_t c4, std::uint16_t c5);
  void PrepareBurst();
  // The oldest entry with its time relative to the first frame; false and an
  // all-zero entry when none is queued.
  bool GetNextBurstEntry(TBrioBurstRecord& entry);
  int BurstCount() const { return static_cast<int>(burstQueue_.size()); }
  int BurstFrameLength() const { return parser_.FrameLength(); }
  bool BurstParserActive() const;
  // The frame length for a channel list: 2 + 2 per channel before the first zero.
  static int BurstFrameLengthFor(const std::array<std::uint16_t, 5>& channels);
  // `image` with the channel list and the burst flag written in.
  static BrioConfigImage BurstImage(BrioConfigImage image, const std::array<std::uint16_t, 5>& channels);

  void WriteLog(const QString& text);
  QString LogFileName() const;

 private:
  class ParserSink;

  // TBrioLoaderLink: the loader's frames go through this driver's exchange.
  TBrioGeneration LoaderGeneration() const override { return TBrioGeneration::First; }
  bool LoaderPortOpen() const override { return PortOpen(); }
  QByteArray LoaderExchange(const QByteArray& request, int timeoutMs, int expected) override;
  void LoaderSend(const QByteArray& request) override;
  void LoaderEnableDtr() override;
  void LoaderSetEvenParity(bool even) override;
  void LoaderClearQueues() override { ClearQueues(); }
  void LoaderSleep(int ms) override { SleepMs(ms); }
  void LoaderLog(const QString& text) override { WriteLog(text); }

  template <std::size_t Size>
  void ReadSegment(TBrioImage<Size>& image, std::uint16_t start, const TbrioReadEvent& event);
  float ReadTemperature(std::uint16_t address, std::uint8_t tempTyp);
  void CreateComPort();
  void FreeComPort();
  void ComPortAfterOpen();
  void ComPortAfterClose();
  void ConnectPollTimer();
  void BurstRxChar(int count);
  void BurstParserTimer();
  void StopBurstParser();
  // Received bytes are left in the port's queue again (outside burst mode).
  void ClearRxHandler();
  void FireError(int code);
  void ClearLoaded();
  void SetDtr(bool on);
  void ClearQueues();
  void SleepMs(int ms);
  bool Cancelled() const { return cancelCheck_ && cancelCheck_(); }
  static QByteArray Request(std::initializer_list<int> bytes);

  TComPort* port_ = nullptr;
  QTimer* connectPoll_ = nullptr;
  QTimer* burstTimer_ = nullptr;
  TRingBuffer* ring_ = nullptr;
  bool logFile_ = false;
  int comPort_ = 1;
  bool portClosed_ = true;
  bool connected_ = false;
  bool holdPoll_ = false;
  std::function<bool()> cancelCheck_;

  BrioCalibrationImage calibration_;
  BrioConfigImage config_;
  std::uint16_t emissivityWord_ = 0;
  BrioVectorImage vectors_;

  TBrioBurstParser parser_;
  std::deque<TBrioBurstRecord> burstQueue_;
  bool firstChunk_ = true;
  bool firstFrame_ = true;
  bool parserBusy_ = false;
  double firstFrameTime_ = 0.0;
  std::int64_t lastChunk_ = 0;
  std::uint8_t rxScratch_[1024] = {};
};
