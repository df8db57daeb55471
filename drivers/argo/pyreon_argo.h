#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <chrono>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <optional>
#include <span>

#include "drivers/argo/argo_burst_parser.h"
#include "drivers/argo/argo_types.h"

class QTimer;
class TComPort;
class TRingBuffer;

// Driver of the single-colour sensor family (and its ratio model): one
// serial port, one device (or one device on an RS485 bus), a strict
// request/reply protocol, a burst stream of frames, the read-all and
// write-all of the whole configuration and its configuration files.
//
// Everything runs on the thread that owns the driver (a device session's
// thread, so no exchange blocks a window). Exchanges are synchronous but
// every wait is bounded and ends early when the owner cancels; the port's
// I/O thread keeps receiving while an exchange waits.
class TpyreonArgo : public QObject {
  Q_OBJECT

 public:
  explicit TpyreonArgo(QObject* owner = nullptr);
  ~TpyreonArgo() override;

  // --- Properties ------------------------------------------------------------
  TArgoBaudrate Baudrate() const { return baudrate_; }
  // Ordinals 0..4 set the port's speed; any value is stored.
  void SetBaudrate(TArgoBaudrate value);
  bool LogFile() const { return logFile_; }
  void SetLogFile(bool value) { logFile_ = value; }
  int ComPort() const { return comPort_; }
  void SetComPort(int value) { comPort_ = value; }
  // 1..79 puts 0xB0 + address in front of every request.
  std::int8_t RS485_Addr() const { return rs485Addr_; }
  void SetRS485_Addr(std::int8_t value) { rs485Addr_ = value; }

  // --- Events (called only when assigned) ----------------------------------
  TargoSenderEvent OnConnect;
  TargoSenderEvent OnDisconnect;
  TargoSenderEvent OnComOpen;
  TargoSenderEvent OnComClose;
  TargoErrorEvent OnError;
  TargoReadEvent OnLoadConfigData;
  TargoReadEvent OnLoadCaliData;
  TargoReadEvent OnLoadIntVector;
  TargoReadEvent OnLoadDefaultData;
  TargoSenderEvent OnAllLoaded;
  TargoProgressEvent OnProgress;
  TargoNewTempEvent OnNewTemp;
  TargoNewADCEvent OnNewADC;
  TargoSenderEvent OnBusrtStart;
  // The error messages of LoadConfigFile ("File not found !", "File version
  // mismatch !"); the owner shows them.
  TargoMessageEvent OnMessage;
  // A parser pass queued new burst records (GetNextBurstEntry takes them).
  TargoSenderEvent OnBurstData;

  // Asked between exchanges and while waiting: true ends the current
  // operation early (an exchange then counts as unanswered without raising
  // events, a sequence stops). Called on the driver's thread.
  void SetCancelCheck(std::function<bool()> check) { cancelCheck_ = std::move(check); }
  bool Cancelled() const { return cancelCheck_ && cancelCheck_(); }
  // Passes a device that does not answer at all may keep streaming after a
  // stop request before it counts as not answering.
  static constexpr int kMaxStopPasses = 11;

  // --- Port and state ----------------------------------------------------------
  bool OpenPort();
  void ClosePort();
  // Tears the port down and builds a new one (closed).
  void ResetComPort();
  bool PortOpen() const;
  bool Connected() const { return connected_; }
  bool Busy() const { return busy_; }
  int Retries() const { return retries_; }
  TComPort* Port() const { return port_; }
  // The driver's pauses (waits for the device to settle, steps of the
  // reply poll) call `pause` instead of sleeping, and count as time passed
  // for the reply's time-out; null sleeps again. For an emulator whose answer
  // is in the input queue when the write returns, as in fuzzing, where a
  // pause would wait for nothing.
  void SetPauseForTesting(std::function<void(int ms)> pause) { pause_ = std::move(pause); }

  // One exchange: frames `request` (checksum, bus prefix), sends it up to
  // `retries` times and waits for exactly `replyLength` bytes.
  void SendAndReceive(const QByteArray& request, int timeout, TArgoReply& reply, int retries,
                      int replyLength);

  // Appends one line to "LogFile COM <n>.log" when LogFile is on.
  void WriteLog(const QString& text);
  QString LogFileName() const;
  // Logs an exception the driver catches and goes on from (on the program's
  // log channel, whether LogFile is on or not).
  void LogFailure(const QString& what, const std::exception& e) const;

  // Time words scaled by the current model record.
  float DecodeTimeValue(std::span<const std::uint8_t> bytes, int index) const;
  std::uint16_t EncodeTimeValue(float seconds) const;

  // --- Cached configuration ----------------------------------------------------
  const TArgoConfig& Config() const { return config_; }
  // The current model record (steers the time scaling).
  const TArgoModelInfo& CurrentModelInfo() const { return config_.ModelInfo; }
  float AllowedRangeLo() const { return allowedLo_; }
  float AllowedRangeHi() const { return allowedHi_; }
  bool IsRatioFirmware() const { return config_.FWrev >= 5001 && config_.FWrev <= 5999; }
  bool HasExtendedAlarms() const { return HasExtendedAlarms(config_.FWrev); }
  static bool HasExtendedAlarms(int firmware) { return firmware >= 5013 && firmware <= 5099; }
  // Ratio firmware with the channels' offset and gain (AddTop, MulTop,
  // AddQuot, MulQuot): 5014 on; with the two deflections as well: 5016 on.
  bool HasChannelCalibration() const { return IsRatioFirmware() && config_.FWrev >= 5014; }
  bool HasDeflections() const { return IsRatioFirmware() && config_.FWrev >= 5016; }
  // Firmware that keeps the large (five-group) head code; every other
  // firmware keeps the short one. Read-all, write-all and the head-code
  // editor all decide by this one rule.
  static bool UsesLargeHeadCode(int firmware) { return firmware > 2000 && firmware < 3000; }

  // --- Parameter commands ---------------------------------------------------------
  // Every setter returns what became of its write: confirmed when the device
  // answered (its echo is then cached), rejected when the value is outside
  // the setter's range (nothing sent, error 6), else unconfirmed.
  bool GetPanelLock();
  TArgoWriteResult SetPanelLock(bool value);
  TArgoModelInfo GetModelInfo();
  float ReadObjectTemperature();
  float ReadActualTemperature();
  float ReadInternalTemperature();
  float ReadBoxTemperature();
  float GetEmissivity();
  TArgoWriteResult SetEmissivity(float value);
  float GetTransmission();
  TArgoWriteResult SetTransmission(float value);
  float GetAverageTime();
  TArgoWriteResult SetAverageTime(float seconds);
  float GetValleyHoldTime();
  TArgoWriteResult SetValleyHoldTime(float seconds);
  float GetPeakHoldTime();
  TArgoWriteResult SetPeakHoldTime(float seconds);
  // True when the device shows degrees Fahrenheit.
  bool GetTemperatureUnit();
  // 1 selects Fahrenheit, anything else Celsius.
  TArgoWriteResult SetTemperatureUnit(int value);
  float GetAlarm1();
  TArgoWriteResult SetAlarm1(float t);
  float GetAlarm2();
  TArgoWriteResult SetAlarm2(float t);
  float GetAlarm3();
  TArgoWriteResult SetAlarm3(float t);
  float GetAlarm4();
  TArgoWriteResult SetAlarm4(float t);
  float GetRatioAlarmHysteresis();
  TArgoWriteResult SetRatioAlarmHysteresis(float value);
  std::uint8_t GetRatioAlarmMode();
  TArgoWriteResult SetRatioAlarmMode(std::uint8_t value);
  std::int32_t GetSerialNumber();
  std::uint16_t GetFirmwareRevision();
  std::uint8_t GetRS485Address();
  TArgoWriteResult SetRS485Address(std::uint8_t value);
  TArgoWriteResult ResetLoopOutput();
  int GetScaledOutputMin();
  TArgoWriteResult SetScaledOutputMin(int value);
  int GetScaledOutputMax();
  TArgoWriteResult SetScaledOutputMax(int value);
  std::uint8_t GetAmbientSource();
  TArgoWriteResult SetAmbientSource(int index);
  float GetAmbientValue();
  TArgoWriteResult SetAmbientValue(float t);
  std::uint8_t GetEmissivitySource();
  TArgoWriteResult SetEmissivitySource(int index);
  std::uint8_t GetIRFailsafe();
  TArgoWriteResult SetIRFailsafe(int index);
  std::uint8_t GetAmbientFailsafe();
  TArgoWriteResult SetAmbientFailsafe(int index);
  float GetOutputTempMin();
  TArgoWriteResult SetOutputTempMin(float t);
  float GetOutputTempMax();
  TArgoWriteResult SetOutputTempMax(float t);
  std::uint8_t GetIRDacPercent();
  TArgoWriteResult SetIRDacPercent(int percent);
  std::uint8_t GetAmbientDacPercent();
  TArgoWriteResult SetAmbientDacPercent(int percent);
  bool GetAverageMode();
  TArgoWriteResult SetAverageMode(bool on);
  std::uint8_t GetAdvancedHoldMode();
  TArgoWriteResult SetAdvancedHoldMode(int mode);
  float GetAdvancedHoldThreshold();
  TArgoWriteResult SetAdvancedHoldThreshold(float t);
  void StartEmissivityCalculation(float t1, float t2);
  float GetAdvancedHoldHysteresis();
  TArgoWriteResult SetAdvancedHoldHysteresis(float value);
  TArgoMaterialTable GetMaterialTable();
  TArgoWriteResult SetMaterialTable(const TArgoMaterialTable& table);
  TArgoHeadCodeShort GetHeadCodeShort();
  TArgoWriteResult SetHeadCodeShort(const TArgoHeadCodeShort& groups);
  TArgoHeadCodeLarge GetHeadCodeLarge();
  TArgoWriteResult SetHeadCodeLarge(const TArgoHeadCodeLarge& groups);
  bool GetSpotIllumination();
  TArgoWriteResult SetSpotIllumination(bool on);
  float GetTweakOffset();
  TArgoWriteResult SetTweakOffset(float t);
  float GetTweakGain();
  TArgoWriteResult SetTweakGain(float g);
  TArgoAlarmMode GetAlarmMode(int n);
  TArgoWriteResult SetAlarmMode(int n, const TArgoAlarmMode& mode);
  float GetF3Temp1();
  TArgoWriteResult SetF3Temp1(float t);
  float GetF3Temp2();
  TArgoWriteResult SetF3Temp2(float t);
  float GetAlarmHysteresis();
  TArgoWriteResult SetAlarmHysteresis(float value);

  // Ratio model (firmware 5001..5999).
  float GetDeflection1();
  TArgoWriteResult SetDeflection1(float value);
  float GetDeflection2();
  TArgoWriteResult SetDeflection2(float value);
  int GetAddTop();
  TArgoWriteResult SetAddTop(int value);
  float GetMulTop();
  TArgoWriteResult SetMulTop(float value);
  int GetAddQuot();
  TArgoWriteResult SetAddQuot(int value);
  float GetMulQuot();
  TArgoWriteResult SetMulQuot(float value);
  // Fibre diameter and length; false when nothing was read.
  bool GetLWLParameter(int& diameter, int& length);
  TArgoWriteResult SetLWLParameter(int diameter, int length);
  bool GetMBRange(float& start, float& end);
  TArgoWriteResult SetMBRange(float start, float end);
  float GetSlope();
  TArgoWriteResult SetSlope(float value);
  float GetSlope2();
  TArgoWriteResult SetSlope2(float value);
  float GetEpsilon();
  TArgoWriteResult SetEpsilon(float value);
  float GetEpsilon2();
  TArgoWriteResult SetEpsilon2(float value);
  float GetDetTop();
  TArgoWriteResult SetDetTop(float value);
  float GetLimTau();
  TArgoWriteResult SetLimTau(float value);
  std::int64_t GetItemNumber();
  TArgoWriteResult SetItemNumber(std::uint32_t value);
  std::int64_t GetRatioSerialNumber();
  TArgoWriteResult SetRatioSerialNumber(std::uint32_t value);
  float ReadSingleTemperature();
  float ReadQuotientTemperature();
  float ReadTau();
  std::uint8_t SendRatioCommand(int index, std::uint8_t code);
  std::uint8_t GetDALFunction(int output);
  TArgoWriteResult SetDALFunction(int output, std::uint8_t value);
  std::uint8_t GetAlarmSource(int output);
  TArgoWriteResult SetAlarmSource(int output, std::uint8_t value);
  std::uint8_t GetAlarmNormallyOpen(int output);
  TArgoWriteResult SetAlarmNormallyOpen(int output, std::uint8_t value);
  void GetAlarmValues(int output, TArgoAlarmValues& values);
  TArgoWriteResult SetAlarmValues(int output, const TArgoAlarmValues& values);
  std::uint8_t GetProcessSource();
  TArgoWriteResult SetProcessSource(std::uint8_t value);
  float GetSmartThreshold();
  TArgoWriteResult SetSmartThreshold(float value);
  TArgoVisualAlarms GetVisualAlarmSettings();
  TArgoWriteResult SetVisualAlarmSettings(const TArgoVisualAlarms& alarms);
  std::uint8_t GetVisualAlarmSource();
  TArgoWriteResult SetVisualAlarmSource(std::uint8_t value);
  std::uint8_t GetDisplayMainSource();
  TArgoWriteResult SetDisplayMainSource(std::uint8_t value);
  TArgoWriteResult SetStandardDisplay();

  // --- Burst mode --------------------------------------------------------------------
  // The eight slot codes of the device's selection (zeros when nothing came).
  void GetBurstChannels(std::array<std::uint8_t, 8>& slots);
  TArgoWriteResult SetBurstChannels(const std::array<std::uint8_t, 8>& slots);
  bool SetBurstMode(bool on);
  bool BurstActive() const { return burstActive_; }
  // Takes the oldest record (time relative to the first frame); false and
  // `entry` untouched when none is queued or the parser is running.
  bool GetNextBurstEntry(TArgoBurstRecord& entry);
  int BurstBufferCount() const { return static_cast<int>(burstBuffer_.size()); }
  int BurstFrameLength() const { return parser_.FrameLength(); }
  int BurstTimerInterval() const;
  // Bytes the receive ring dropped because the parser fell behind.
  std::uint64_t BurstBytesLost() const;

  // --- Whole configuration -------------------------------------------------------------
  bool ReadAllParameters(bool notify);
  // Writes every field of `newConfig` that differs from the cache, in the
  // driver's fixed order. Once a write goes unanswered after all its tries,
  // or the owner cancels, nothing more is sent; the report names what did
  // and did not reach the device.
  TArgoWriteReport WriteAllParameters(const TArgoConfig& newConfig);

  // --- Configuration files ----------------------------------------------------------------
  int SaveConfigFile(const TArgoConfig& config, const QString& fileName);
  int LoadConfigFile(const QString& fileName, TArgoConfig& config);
  // Parses with the program's decimal separator after exchanging the first
  // foreign separator ('.' <-> ','); `fallback` when that fails.
  static float StrToFloatAnySep(const QString& text, double fallback);

 private:
  class ParserSink;

  void CreateComPort();
  void FreeComPort();
  void ComPortAfterOpen();
  void ComPortAfterClose();
  void ComPortRxChar(int count);
  void ReconnectTimerTimer();
  void WatchdogTimerTimer();
  void BurstFrameTimerTimer();
  void FireError(int code);
  // The device stopped answering: clears the state and tells the owner.
  void LoseConnection();
  void EndBurstAutomatically();

  // Exchange helpers; nullopt when no reply came.
  bool Exchange(const QByteArray& request, int timeout, int replyLength, TArgoReply& reply);
  std::optional<std::uint16_t> ReadWord(const QByteArray& request, int timeout);
  std::optional<std::uint8_t> ReadByte(const QByteArray& request, int timeout);
  std::optional<std::uint16_t> WriteWord(std::uint8_t code, std::uint16_t word, int timeout);
  std::optional<std::uint8_t> WriteByte(std::uint8_t code, std::uint8_t value, int timeout);
  float ReadTemperature(std::uint8_t code, std::uint8_t tempTyp, int timeout);
  bool CheckRange(bool ok);
  float GetTimeParam(std::uint8_t code, float& cache);
  TArgoWriteResult SetTimeParam(std::uint8_t code, float seconds, int timeout, float& cache);
  float GetTempParam(std::uint8_t code, float& cache, int timeout = 20);
  TArgoWriteResult SetTempParam(std::uint8_t code, float t, float lo, float hi, int timeout, float& cache);
  float GetRatioWordParam(const QByteArray& request, float (*decode)(std::uint16_t), float& cache,
                          int timeout);
  int GetSignedRatioWord(std::uint8_t code, std::int16_t& cache);
  TArgoWriteResult SetSignedRatioWord(std::uint8_t code, int value, std::int16_t& cache);
  TArgoWriteResult SetRatioWordParam(std::uint8_t code, float value, bool inRange,
                                     bool (*encode)(float, std::uint16_t&), float (*decode)(std::uint16_t),
                                     float& cache, int timeout);
  bool ReadHeadCodeGroups(int groups, std::array<std::uint32_t, 5>& values);
  TArgoWriteResult WriteHeadCodeGroups(const QString* texts, int groups,
                                       std::array<std::uint32_t, 5>& values);
  void StoreHeadCodeShort(const std::array<std::uint32_t, 5>& values, bool valid);
  void StoreHeadCodeLarge(const std::array<std::uint32_t, 5>& values, bool valid);
  // False when a step went unanswered.
  bool AlarmValuesSequence(int output, TArgoAlarmValues& values, bool write);
  void Progress(int step, int total, const QString& caption);
  // The requests of ReadAllParameters; false when the sequence gave up.
  bool ReadAllSteps();
  // Sleeps in short slices and returns early when cancelled.
  void SleepMs(int ms);
  // An exchange of a sequence (read-all) got no answer after all its tries
  // or was cancelled: the sequence gives up and sends nothing more.
  bool SequenceAbandoned() const { return inSequence_ && (sequenceAbandoned_ || Cancelled()); }
  // Milliseconds since `start`, the pauses taken by pause_ since then
  // (`pausedAtStart` = pausedMs_ at `start`) included.
  double WaitedMs(std::chrono::steady_clock::time_point start, std::int64_t pausedAtStart) const;
  // Purges both directions of the port (exceptions swallowed).
  void ClearPortBuffers(bool input, bool output);
  int PortInputCount();

  std::function<void(int ms)> pause_;
  std::int64_t pausedMs_ = 0;  // the pauses taken by pause_
  TComPort* port_ = nullptr;
  TRingBuffer* ring_ = nullptr;
  QTimer* reconnectTimer_ = nullptr;
  QTimer* burstTimer_ = nullptr;
  QTimer* watchdogTimer_ = nullptr;

  TArgoBaudrate baudrate_ = argo9600;
  bool logFile_ = false;
  int comPort_ = 1;
  std::int8_t rs485Addr_ = 0;

  bool busy_ = false;
  bool connected_ = false;
  bool portClosed_ = true;
  int retries_ = 3;
  bool inSequence_ = false;
  bool sequenceAbandoned_ = false;
  std::function<bool()> cancelCheck_;

  TArgoConfig config_;
  float allowedLo_ = 0.0f;
  float allowedHi_ = 0.0f;
  std::array<std::uint8_t, 8> burstSlots_{};

  // Burst state.
  ArgoBurstParser parser_;
  std::deque<TArgoBurstRecord> burstBuffer_;
  bool burstActive_ = false;
  bool parserBusy_ = false;
  bool firstFrame_ = true;
  bool firstByte_ = true;
  std::int64_t lastCount_ = 0;
  float firstFrameTime_ = 0.0f;
  std::uint8_t rxScratch_[4096] = {};
};
