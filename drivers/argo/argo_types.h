#pragma once

// Records, codes and event types of the single-colour driver TpyreonArgo.

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

class QObject;

// Line speed of the driver as a baud index.
enum TArgoBaudrate : int { argo9600 = 0, argo19200 = 1, argo38400 = 2, argo57600 = 3, argo115200 = 4 };

// Codes of the driver's OnError event.
enum TArgoErrorCode : int {
  argoErrOpenFailed = 1,  // the port failed to open
  argoErrPortClosed = 4,  // exchange while the port is closed
  argoErrNoAnswer = 5,    // no answer (also the burst watchdog and an automatic burst end)
  argoErrOutOfRange = 6,  // argument out of range, nothing sent
};

// Failure values of the getters.
inline constexpr float kArgoNoTemperature = -9999.0f;
inline constexpr float kArgoNoValue = -1.0f;

// The model record of a device (command 0x45).
struct TArgoModelInfo {
  std::uint8_t ModelType = 0;   // model class 0..8
  std::uint8_t ModelRange = 0;  // 1 or 2; 0 when unknown
  bool Laser = false;
  bool Time_in_ms = false;
  bool Time_in_10ms = false;
  bool AlHysteresis = false;
  std::uint8_t HeadCodeSize = 0;  // 2 large head code, 1 short; 0 when unknown
  float LoRangeTemp = -50.0f;
  float HiRangeTemp = 975.0f;
  QString ModelStr = QStringLiteral("?");
  std::uint16_t FWrev = 0;

  bool operator==(const TArgoModelInfo&) const = default;
};

// One row of the material table.
struct TArgoMaterialRow {
  float Emiss = 0.0f;
  float LoAlarm = 0.0f;
  float HiAlarm = 0.0f;
  std::uint8_t DevLo = 0;  // 0..4
  std::uint8_t DevHi = 0;  // 0..4

  bool operator==(const TArgoMaterialRow&) const = default;
};
using TArgoMaterialTable = std::array<TArgoMaterialRow, 8>;

// Mode of one of the four alarm outputs.
struct TArgoAlarmMode {
  std::uint8_t Source = 3;     // 0..3
  std::uint8_t OpenClose = 0;  // 0/1
  std::uint8_t DigiAna = 0;    // 0/1
  std::uint8_t OutMode = 0;    // 0..7 as on the wire (1..5 in use)

  bool operator==(const TArgoAlarmMode&) const = default;
};

// The five alarm values of one alarm output of the ratio model.
struct TArgoAlarmValues {
  std::uint16_t Value1 = 0;
  std::uint16_t Value2 = 0;
  std::uint16_t Value3 = 0;
  std::uint16_t Value4 = 0;
  std::uint16_t Value5 = 0;

  std::uint16_t& operator[](int k) {
    switch (k) {
      case 0:
        return Value1;
      case 1:
        return Value2;
      case 2:
        return Value3;
      case 3:
        return Value4;
      default:
        return Value5;
    }
  }
  std::uint16_t operator[](int k) const { return const_cast<TArgoAlarmValues&>(*this)[k]; }
  bool operator==(const TArgoAlarmValues&) const = default;
};

// One visual alarm of the ratio model's display.
struct TArgoVisualAlarm {
  std::array<float, 4> Lo{};
  std::array<float, 4> Hi{};
  std::array<std::uint8_t, 4> Flags{};

  bool operator==(const TArgoVisualAlarm&) const = default;
};
using TArgoVisualAlarms = std::array<TArgoVisualAlarm, 8>;

// Head parameter codes as 4-character base-32 groups.
using TArgoHeadCodeShort = std::array<QString, 3>;
using TArgoHeadCodeLarge = std::array<QString, 5>;

// The driver's cached device configuration.
struct TArgoConfig {
  bool ConfigValid = false;

  // Identification.
  std::uint16_t FWrev = 0;
  std::int32_t SerialNumber = -1;
  TArgoModelInfo ModelInfo;

  // Single-colour parameters.
  float Emissivity = 0.0f;
  float Transmission = 0.0f;
  float AverageTime = 0.0f;
  float ValleyHoldTime = 0.0f;
  float PeakHoldTime = 0.0f;
  std::array<float, 4> Alarm{};  // alarms 1..4 (1 and 2 are also the ratio model's alarms)
  bool TempUnitFahrenheit = false;
  std::uint8_t RS485Addr = 0;
  std::uint16_t ScaledOutputMin = 0;
  std::uint16_t ScaledOutputMax = 0;
  std::uint8_t AmbientSource = 3;
  float AmbientValue = 0.0f;
  std::uint8_t EmissivitySource = 3;
  std::uint8_t IRFailsafe = 4;
  std::uint8_t AmbientFailsafe = 4;
  float OutputTempMin = 0.0f;
  float OutputTempMax = 0.0f;
  std::uint8_t IRDacPercent = 0;
  std::uint8_t AmbientDacPercent = 0;
  // The burst channel selection: slot codes 0..15 of the eight slots in
  // slot order; element 8 is kept 0 (it ends the list).
  std::array<std::uint8_t, 9> BurstChannels{};
  bool AverageMode = false;
  std::uint8_t AdvancedHoldMode = 3;
  float AdvancedHoldThreshold = 0.0f;
  float AdvancedHoldHysteresis = 0.0f;
  float TweakGain = 0.0f;
  float TweakOffset = 0.0f;
  float F3Temp1 = 0.0f;
  float F3Temp2 = 0.0f;
  bool SpotIllumination = false;
  float AlarmHysteresis = 0.0f;
  bool PanelLock = false;
  TArgoHeadCodeShort HeadCodeShort;
  TArgoHeadCodeLarge HeadCodeLarge;
  std::array<std::uint32_t, 11> HeadCodeShortFields{};
  std::array<std::uint32_t, 13> HeadCodeLargeFields{};
  std::array<TArgoAlarmMode, 4> AlarmMode{};
  TArgoMaterialTable MaterialTable{};

  // Ratio-model parameters.
  float Deflection1 = 0.0f;
  float Deflection2 = 0.0f;
  std::int16_t AddTop = 0;
  float MulTop = 0.0f;
  std::int16_t AddQuot = 0;
  float MulQuot = 0.0f;
  std::uint16_t LWLDiameter = 0;
  std::uint16_t LWLLength = 0;
  float MBRangeStart = 0.0f;
  float MBRangeEnd = 0.0f;
  float Slope = 0.0f;
  float Slope2 = 0.0f;
  float Epsilon = 0.0f;
  float Epsilon2 = 0.0f;
  float DetTop = 0.0f;
  float LimTau = 0.0f;
  std::uint32_t ItemNumber = 0;
  std::uint32_t RatioSerialNumber = 0;
  std::array<std::uint8_t, 2> DALFunction{};
  std::array<std::uint8_t, 5> AlarmSource{};  // outputs 0..4
  std::array<TArgoAlarmValues, 5> AlarmValues{};
  std::array<std::uint8_t, 5> AlarmNormallyOpen{};
  std::uint8_t ProcessSource = 0;
  float SmartThreshold = 0.0f;
  TArgoVisualAlarms VisualAlarms{};
  std::uint8_t VisualAlarmSource = 0;
  std::uint8_t DisplayMainSource = 0;
  float RatioAlarmHysteresis = 0.0f;
  std::uint8_t RatioAlarmMode = 0;
};

// What became of one write to the device: a setter's result, and the
// result of each parameter of a write-all. Converts to true only when the
// device confirmed the write.
struct TArgoWriteResult {
  enum Kind : std::uint8_t {
    Confirmed,     // the device answered; its echo is in the cache
    Rejected,      // outside the setter's range: nothing sent, error 6 fired
    Unconfirmed,   // no answer, the port closed or the write cancelled: the cache is unchanged
    NotAttempted,  // a write-all ended (cancelled, device gone) before this parameter
  };
  Kind Result = Unconfirmed;

  constexpr TArgoWriteResult(Kind kind = Unconfirmed) : Result(kind) {}
  constexpr explicit operator bool() const { return Result == Confirmed; }
  bool operator==(const TArgoWriteResult&) const = default;
};

// One parameter of a write-all that differed from the cache.
struct TArgoWriteItem {
  QString Key;   // field name as in the configuration file, e.g. "Eps", "AL2", "AlarmMode3"
  QString Name;  // its name in the progress caption, e.g. "EMISSIVITY", "ALARM 2"
  TArgoWriteResult Result;
};

// What a write-all did: every parameter that differed from the cache, in
// the order of writing, with what became of it.
struct TArgoWriteReport {
  std::vector<TArgoWriteItem> Items;
  bool Cancelled = false;   // the owner cancelled the sequence
  bool DeviceLost = false;  // a write went unanswered after all its tries; the rest was not sent

  // True when nothing differed or every write was confirmed.
  bool AllConfirmed() const {
    for (const TArgoWriteItem& i : Items)
      if (!i.Result) return false;
    return true;
  }
  // Names of the parameters that did (true) or did not (false) reach the device.
  QStringList Names(bool confirmed) const {
    QStringList out;
    for (const TArgoWriteItem& i : Items)
      if (static_cast<bool>(i.Result) == confirmed) out.push_back(i.Name);
    return out;
  }
};

// One burst frame: the channel values in slot order and the arrival time.
struct TArgoBurstRecord {
  std::array<std::uint16_t, 8> Values{};
  float Time = 0.0f;

  bool operator==(const TArgoBurstRecord&) const = default;
};

// The reply of one exchange (reply byte i at Data[i]).
struct TArgoReply {
  std::array<std::uint8_t, 1024> Data{};
  bool NoAnswer = true;
  std::uint8_t Status = 0;
};

// Raw converter values (the event that carries them is never raised).
struct TargoADC {
  std::array<std::int32_t, 4> Values{};
};

using TargoSenderEvent = std::function<void(QObject* sender)>;
using TargoErrorEvent = std::function<void(QObject* sender, int errorCode)>;
using TargoReadEvent = std::function<void(QObject* sender, bool success)>;
using TargoProgressEvent = std::function<void(QObject* sender, int percent, const QString& caption)>;
using TargoNewTempEvent = std::function<void(QObject* sender, std::uint8_t tempTyp, float temp)>;
using TargoNewADCEvent = std::function<void(QObject* sender, const TargoADC& adc)>;
// Shows an error message to the user (the driver itself has no display).
using TargoMessageEvent = std::function<void(QObject* sender, const QString& text)>;
