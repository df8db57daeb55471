#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <array>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>

#include "drivers/brio/brio_boot_loader.h"
#include "drivers/brio/brio_image.h"
#include "drivers/brio/brio_ma_burst_parser.h"
#include "drivers/brio/brio_notify.h"

class QTimer;
class TComPort;
class TRingBuffer;

// The reply of one exchange (reply byte i at Data[i]).
struct BrioMaReply {
  std::array<std::uint8_t, 1024> Data{};
  bool Failed = true;
};

// Driver of the second-generation Brio devices (type codes 5 to 11): one
// serial port at 9600 8N1, one-byte binary and five-character ASCII
// requests without checksums, the device powered from DTR, parameter
// images read as blocks, a burst stream, and notifications posted to the
// owner as messages (brio_notify.h).
//
// Everything runs on the thread that owns the driver (a device session's
// thread); every wait is bounded and a cancel check ends long sequences
// between steps.
class TpyreonBrio_mA : public QObject, private TBrioLoaderLink {
  Q_OBJECT

 public:
  explicit TpyreonBrio_mA(QObject* owner = nullptr);
  ~TpyreonBrio_mA() override;

  // --- Properties --------------------------------------------------------------
  bool LogFile() const { return logFile_; }
  void SetLogFile(bool value) { logFile_ = value; }
  int ComPort() const { return comPort_; }
  void SetComPort(int value) { comPort_ = value; }
  int MemoryWriteTimeout() const { return memoryWriteTimeout_; }
  void SetMemoryWriteTimeout(int ms) { memoryWriteTimeout_ = ms; }

  void SetCancelCheck(std::function<bool()> check) { cancelCheck_ = std::move(check); }
  bool Cancelled() const { return cancelCheck_ && cancelCheck_(); }

  // Progress in percent of the long sequences: the power-on handshake and
  // the programming through the loader. Called on the driver's thread.
  void SetProgressHandler(std::function<void(int percent)> handler) { progress_ = std::move(handler); }
  // The loader steps a write of these images takes when nothing is
  // repeated: start and password, then per configuration or calibration
  // block its erase and program, and for the extended segment two reads,
  // two erases and three programs.
  static int ImageWriteSteps(bool config, bool extended, bool calibration);

  // --- Notifications ---------------------------------------------------------------
  void SetPortOpenedNotify(const TBrioNotify& record) { notify_[bnPortOpened] = record; }
  void SetDeviceFoundNotify(const TBrioNotify& record) { notify_[bnDeviceFound] = record; }
  void SetDisconnectedNotify(const TBrioNotify& record) { notify_[bnDisconnected] = record; }
  void SetCaliLoadedNotify(const TBrioNotify& record) { notify_[bnCaliLoaded] = record; }
  void SetConfigLoadedNotify(const TBrioNotify& record) { notify_[bnConfigLoaded] = record; }
  void SetVectorsLoadedNotify(const TBrioNotify& record) { notify_[bnVectorsLoaded] = record; }
  void SetErrorNotify(const TBrioNotify& record) { notify_[bnError] = record; }
  void SetAllLoadedNotify(const TBrioNotify& record) { notify_[bnAllLoaded] = record; }
  void SetBurstStartNotify(const TBrioNotify& record) { notify_[bnBurstStart] = record; }
  void SetNewValuesNotify(const TBrioNotify& record) { notify_[bnNewValues] = record; }
  // Stores the ten records an owner registers, each made by `make` from the
  // message number it carries (MsgBrioPortOpened .. MsgBrioNewValues).
  void RegisterNotifications(const std::function<TBrioNotify(std::uint16_t msg)>& make);

  // --- State ---------------------------------------------------------------------------
  bool PortClosed() const { return portClosed_; }
  bool PortOpen() const;
  bool Connected() const { return connected_; }
  bool DtrOn() const { return dtrOn_; }
  bool HoldPoll() const { return holdPoll_; }
  bool ConnectPollActive() const;
  std::uint16_t FeatureWord() const { return featureWord_; }
  std::uint16_t FlagWord() const { return flagWord_; }
  float RangeLow() const { return rangeLow_; }
  float RangeHigh() const { return rangeHigh_; }
  float Range2Low() const { return range2Low_; }
  float Range2High() const { return range2High_; }
  TComPort* Port() const { return port_; }

  // --- Port --------------------------------------------------------------------------------
  bool OpenPort();
  void ClosePort();
  // After the device was unplugged: the port is freed and a new, closed one made.
  void DropRemovedPort();
  int InputCount();

  // One exchange (two tries): `expected` reply bytes within `timeoutMs`.
  void SendAndReceive(const QByteArray& request, int timeoutMs, BrioMaReply& reply, int expected);

  // --- Values --------------------------------------------------------------------------------
  float ReadTargetTemperature();
  float ReadInternalTemperature();
  float ReadActualTemperature();
  float ReadBoxTemperature();
  float ReadAmbientTemperature();
  float ReadChannel7();
  float PollEmissivity();
  std::int8_t ReadEmissivitySwitches();
  int ReadSerialNumber();
  float ReadEmissivity();
  void SetEmissivity(float e);
  // Keeps `thousandths` as the emissivity (data bytes 0-1) of configuration
  // copies 1 and 2, the copies the driver and the model's setup start from.
  void StoreEmissivityWord(std::uint16_t thousandths);
  bool GetLaserState();
  void SetLaser(bool on);
  void SetLoopOutput(float volts);
  void SetLoopOutputCurrent(float value);
  void EndLoopMaintenance();
  void StartLoopMaintenance(bool useCommand);
  int WriteMemoryByte(std::uint16_t address, std::uint8_t value);

  bool PowerOnHandshake(bool wait);
  // The share of the handshake shown after `fraction` of pass `pass`: the
  // first pass, which a device that answers ends, spans most of the bar,
  // each further pass a quarter of the one before.
  static int HandshakePercent(int pass, double fraction);
  void Identify();

  // --- Feature tests ------------------------------------------------------------------------
  bool IsHighResolution() const;
  bool IsFenn2W() const { return (featureWord_ & 0x3000) != 0; }
  bool IsBriov2() const { return (featureWord_ & 0x4000) != 0; }
  bool IsDunav2() const { return (featureWord_ & 0x0400) != 0; }
  bool IsDuna2Wv2() const { return (featureWord_ & 0x0800) != 0; }
  bool IsDuna2W2Mv2() const { return (featureWord_ & 0x8000) != 0; }
  bool HasLaser() const { return (featureWord_ & 0x0001) != 0; }
  bool HasExtendedIdentity() const { return (featureWord_ & 0x0080) != 0; }
  bool SupportsInputOff() const { return (flagWord_ & 0x0001) != 0; }
  bool HasTCKTable() const { return IsBriov2() && (flagWord_ & 0x0002) != 0; }
  std::uint16_t GetOutputModeMask() const;

  // --- Parameter images ----------------------------------------------------------------------
  bool ReadConfigurationImage();
  bool ReadExtendedImage();
  bool ReadCalibrationImage();
  bool ReadVectorImage();
  void ReadAllImages();
  // Copies 1..4 (n outside gives copy 1).
  const BrioConfigImage& ConfigImage(int n) const;
  const BrioCalibrationImage& CalibrationImage(int n) const;
  const BrioCalibrationImage& NewCalibrationImage() const { return newCalibration_; }
  const BrioExtendedImage& ExtendedImage() const { return extended_; }
  const BrioVectorImage& VectorImage() const { return vectors_; }

  // --- Writers through the bootstrap loader -----------------------------------------------
  // Each takes the caller's images and programs them; nothing is sent (and
  // the result is false) unless the vector image and the images of every
  // kind passed were read from the device in this connection.
  bool WriteCalibrationImage(const BrioCalibrationImage& newCalibration);
  bool WriteDazo4_20Configuration(const BrioConfigImage& config);
  bool WriteBriov2Configuration(const BrioConfigImage& config);
  bool WriteKoraConfiguration(const BrioConfigImage& config);
  bool WriteConfigurationAndCalibration(const BrioConfigImage& config,
                                        const BrioCalibrationImage& calibration);
  bool WriteConfigurationAndNewCalibration(const BrioConfigImage& config,
                                           const BrioCalibrationImage& newCalibration);
  bool WriteKoraImages(const BrioConfigImage& config, const BrioCalibrationImage& calibration);
  bool WriteBriov2Images(const BrioConfigImage& config, const BrioExtendedImage& extended,
                         const BrioCalibrationImage& calibration);

  // --- Burst ------------------------------------------------------------------------------------
  // Program the channel list (device memory addresses, 0 ends it) and
  // restart the device into streaming. Refused, with nothing sent, unless
  // configuration copy 1 and the vector image were read in this connection.
  bool StartBurst(std::uint16_t c1, std::uint16_t c2, std::uint16_t c3);
  bool StartBurstExtended(std::array<std::uint16_t, 8> codes);
  void PrepareBurst();
  // Takes the oldest entry (time relative to the first frame); an all-zero
  // entry when none is queued.
  void GetNextBurstEntry(TBrioV2BurstRecord& entry);
  int BurstCount() const { return static_cast<int>(burstQueue_.size()); }
  int BurstFrameLength() const { return parser_.FrameLength(); }
  // Listens to a stream the device already sends (`channels` words a frame).
  void BeginBurstReception(int channels);

  // --- Log ----------------------------------------------------------------------------------------
  void WriteLog(const QString& text);
  QString LogFileName() const;

 private:
  class ParserSink;

  void CreateComPort();
  void FreeComPort();
  void PortAfterOpen();
  void PortAfterClose();
  void ConnectPollTimer();
  void BurstParserTimer();
  void BurstWatchdogTimer();
  void BurstReceive(int count);
  void Post(TBrioNotifyKind kind);
  void PostError(int code);
  void PostValue(int channel, std::int32_t value);
  void ClearLoadedFlags();
  void ClearPortBuffers();
  void SleepMs(int ms);
  void ReportProgress(int percent);
  void SetDtr(bool on);
  void PowerCycle(int highSleepMs);
  // DTR high (after 500 ms low when `dropFirst`); the burst handler is taken off.
  void RaiseDtr(bool dropFirst);
  void WriteRaw(const QByteArray& bytes);
  void LogFailure(const QString& what, const std::exception& e) const;
  // Reads a 2-byte word with up to three exchanges; false when all failed.
  bool ReadWordValue(std::uint8_t command, std::uint16_t& word);
  float ReadTemperatureValue(std::uint8_t command, int channel, bool canBeHighResolution);
  // TBrioLoaderLink.
  TBrioGeneration LoaderGeneration() const override { return TBrioGeneration::Second; }
  bool LoaderPortOpen() const override { return PortOpen(); }
  QByteArray LoaderExchange(const QByteArray& request, int timeoutMs, int expected) override;
  void LoaderSend(const QByteArray& request) override;
  void LoaderEnableDtr() override;
  void LoaderSetEvenParity(bool even) override;
  void LoaderClearQueues() override { ClearPortBuffers(); }
  void LoaderSleep(int ms) override { SleepMs(ms); }
  void LoaderLog(const QString& text) override { WriteLog(text); }
  // The writers' common frame: configuration (data bytes 40 and 41 zeroed
  // when asked), extended and calibration blocks, each when given.
  bool WriteImages(const BrioConfigImage* config, bool zeroBytes40, const BrioExtendedImage* extended,
                   const BrioCalibrationImage* calibration);
  bool WriteFlashBlock(TBrioBootLoader& loader, int segment, std::uint16_t address,
                       const std::array<std::uint8_t, 128>& data);
  bool WriteExtendedBlock(TBrioBootLoader& loader, const std::array<std::uint8_t, 256>& data);
  bool ProgramBurst(const std::array<std::uint16_t, 8>& codes, bool twoWireLayout);
  bool FinishBurstStart(bool written, int channels);
  bool ReadImage(const char* command, int timeoutMs, std::uint8_t* data, int length);
  void PostAllLoadedWhenComplete();

  TComPort* port_ = nullptr;
  TRingBuffer* ring_ = nullptr;
  QTimer* connectPoll_ = nullptr;
  QTimer* burstParser_ = nullptr;
  QTimer* burstWatchdog_ = nullptr;

  bool logFile_ = false;
  int comPort_ = 1;
  int memoryWriteTimeout_ = 2000;
  std::function<bool()> cancelCheck_;
  std::function<void(int percent)> progress_;

  bool portClosed_ = true;
  bool connected_ = false;
  bool dtrOn_ = false;
  bool holdPoll_ = false;
  std::uint16_t featureWord_ = 0;
  std::uint16_t flagWord_ = 0;
  float rangeLow_ = -30.0f;
  float rangeHigh_ = 1000.0f;
  float range2Low_ = 0.0f;
  float range2High_ = 0.0f;

  std::array<TBrioNotify, kBrioNotifyKinds> notify_{};

  std::array<BrioConfigImage, 4> config_{};
  std::array<BrioCalibrationImage, 4> calibration_{};
  BrioCalibrationImage newCalibration_;
  BrioExtendedImage extended_;
  BrioVectorImage vectors_;

  // Burst state.
  BrioMaBurstParser parser_;
  std::deque<TBrioV2BurstRecord> burstQueue_;
  bool receiveFirst_ = true;
  bool parserFirst_ = true;
  bool parserBusy_ = false;
  std::int64_t lastChunk_ = 0;
  float firstFrameTime_ = 0.0f;
  std::uint8_t rxScratch_[4096] = {};
};
