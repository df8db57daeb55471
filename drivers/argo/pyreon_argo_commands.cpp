// Parameter commands of the single-colour driver.

#include <initializer_list>

#include "drivers/argo/argo_codec.h"
#include "drivers/argo/pyreon_argo.h"

namespace {

QByteArray Req(std::initializer_list<int> bytes) {
  QByteArray r;
  r.reserve(static_cast<qsizetype>(bytes.size()));
  for (int b : bytes) r.append(static_cast<char>(b & 0xFF));
  return r;
}

void AppendWord(QByteArray& r, std::uint16_t w) {
  r.append(static_cast<char>(w >> 8));
  r.append(static_cast<char>(w & 0xFF));
}

std::uint32_t Be32(const std::array<std::uint8_t, 1024>& d, int i) {
  return static_cast<std::uint32_t>(d[i]) << 24 | static_cast<std::uint32_t>(d[i + 1]) << 16 |
         static_cast<std::uint32_t>(d[i + 2]) << 8 | d[i + 3];
}

std::uint16_t W(const std::array<std::uint8_t, 1024>& d, int i) {
  return static_cast<std::uint16_t>(d[i] << 8 | d[i + 1]);
}

// A write is confirmed by its echo, which `store` caches.
template <typename T, typename Store>
TArgoWriteResult Confirm(const std::optional<T>& echo, Store store) {
  if (!echo) return TArgoWriteResult::Unconfirmed;
  store(*echo);
  return TArgoWriteResult::Confirmed;
}

}  // namespace

// --- Exchange helpers --------------------------------------------------------------

bool TpyreonArgo::Exchange(const QByteArray& request, int timeout, int replyLength, TArgoReply& reply) {
  SendAndReceive(request, timeout, reply, retries_, replyLength);
  return !reply.NoAnswer;
}

std::optional<std::uint16_t> TpyreonArgo::ReadWord(const QByteArray& request, int timeout) {
  TArgoReply r;
  if (!Exchange(request, timeout, 2, r)) return std::nullopt;
  return W(r.Data, 0);
}

std::optional<std::uint8_t> TpyreonArgo::ReadByte(const QByteArray& request, int timeout) {
  TArgoReply r;
  if (!Exchange(request, timeout, 1, r)) return std::nullopt;
  return r.Data[0];
}

std::optional<std::uint16_t> TpyreonArgo::WriteWord(std::uint8_t code, std::uint16_t word, int timeout) {
  QByteArray req(1, static_cast<char>(code));
  AppendWord(req, word);
  return ReadWord(req, timeout);
}

std::optional<std::uint8_t> TpyreonArgo::WriteByte(std::uint8_t code, std::uint8_t value, int timeout) {
  return ReadByte(Req({code, value}), timeout);
}

bool TpyreonArgo::CheckRange(bool ok) {
  if (!ok) FireError(argoErrOutOfRange);
  return ok;
}

float TpyreonArgo::ReadTemperature(std::uint8_t code, std::uint8_t tempTyp, int timeout) {
  if (!PortOpen()) return kArgoNoTemperature;
  const auto w = ReadWord(Req({code}), timeout);
  if (!w) return kArgoNoTemperature;
  const float t = ArgoCodec::DecodeT(*w);
  if (OnNewTemp) OnNewTemp(this, tempTyp, t);
  return t;
}

float TpyreonArgo::GetTimeParam(std::uint8_t code, float& cache) {
  if (!PortOpen()) return kArgoNoValue;
  const auto w = ReadWord(Req({code}), 20);
  if (!w) return kArgoNoValue;
  cache = ArgoCodec::DecodeTimeValue(*w, config_.ModelInfo);
  return cache;
}

TArgoWriteResult TpyreonArgo::SetTimeParam(std::uint8_t code, float seconds, int timeout, float& cache) {
  if (!PortOpen()) return TArgoWriteResult::Unconfirmed;
  // The word carries at most 327.67 s on models that count in hundredths.
  if (!CheckRange(ArgoCodec::InRange(seconds, 0.0f, ArgoCodec::MaxTimeValue(config_.ModelInfo))))
    return TArgoWriteResult::Rejected;
  return Confirm(WriteWord(code, ArgoCodec::EncodeTimeValue(seconds, config_.ModelInfo), timeout),
                 [&](auto e) { cache = ArgoCodec::DecodeTimeValue(e, config_.ModelInfo); });
}

float TpyreonArgo::GetTempParam(std::uint8_t code, float& cache, int timeout) {
  if (!PortOpen()) return kArgoNoValue;
  const auto w = ReadWord(Req({code}), timeout);
  if (!w) return kArgoNoValue;
  cache = ArgoCodec::DecodeT(*w);
  return cache;
}

TArgoWriteResult TpyreonArgo::SetTempParam(std::uint8_t code, float t, float lo, float hi, int timeout,
                                           float& cache) {
  if (!PortOpen()) return TArgoWriteResult::Unconfirmed;
  std::uint16_t w = 0;
  if (!CheckRange(ArgoCodec::InRange(t, lo, hi) && ArgoCodec::EncodeT(t, w)))
    return TArgoWriteResult::Rejected;
  return Confirm(WriteWord(code, w, timeout), [&](auto e) { cache = ArgoCodec::DecodeT(e); });
}

float TpyreonArgo::GetRatioWordParam(const QByteArray& request, float (*decode)(std::uint16_t), float& cache,
                                     int timeout) {
  if (!PortOpen() || !IsRatioFirmware()) return kArgoNoValue;
  const auto w = ReadWord(request, timeout);
  if (!w) return kArgoNoValue;
  cache = decode(*w);
  return cache;
}

// A signed 16-bit ratio register; reading sends the marker 0x8080.
int TpyreonArgo::GetSignedRatioWord(std::uint8_t code, std::int16_t& cache) {
  if (!PortOpen() || !IsRatioFirmware()) return -1;
  const auto w = ReadWord(Req({code, 0x80, 0x80}), 100);
  if (!w) return -1;
  return cache = static_cast<std::int16_t>(*w);
}

TArgoWriteResult TpyreonArgo::SetSignedRatioWord(std::uint8_t code, int value, std::int16_t& cache) {
  if (!PortOpen() || !IsRatioFirmware()) return TArgoWriteResult::Unconfirmed;
  if (!CheckRange(value >= -32768 && value <= 32767)) return TArgoWriteResult::Rejected;
  return Confirm(WriteWord(code, static_cast<std::uint16_t>(value), 100),
                 [&](auto e) { cache = static_cast<std::int16_t>(e); });
}

TArgoWriteResult TpyreonArgo::SetRatioWordParam(std::uint8_t code, float value, bool inRange,
                                                bool (*encode)(float, std::uint16_t&),
                                                float (*decode)(std::uint16_t), float& cache, int timeout) {
  if (!PortOpen() || !IsRatioFirmware()) return TArgoWriteResult::Unconfirmed;
  std::uint16_t w = 0;
  if (!CheckRange(inRange && encode(value, w))) return TArgoWriteResult::Rejected;
  return Confirm(WriteWord(code, w, timeout), [&](auto e) { cache = decode(e); });
}

// --- Identification and live values ----------------------------------------------------

bool TpyreonArgo::GetPanelLock() {
  if (!PortOpen()) return false;
  const auto b = ReadByte(Req({0x43}), 20);
  if (!b) return false;
  config_.PanelLock = *b == 1;
  return config_.PanelLock;
}

TArgoWriteResult TpyreonArgo::SetPanelLock(bool value) {
  if (!PortOpen()) return TArgoWriteResult::Unconfirmed;
  return Confirm(WriteByte(0x44, value ? 1 : 0, 20), [&](auto e) { config_.PanelLock = e == 1; });
}

TArgoModelInfo TpyreonArgo::GetModelInfo() {
  TArgoModelInfo info;
  const std::uint16_t fw = config_.FWrev;
  info.FWrev = fw;
  if (fw < 42 || (fw >= 43 && fw <= 1015) || (fw >= 2000 && fw <= 2015)) info.HiRangeTemp = 900.0f;
  const bool open = PortOpen();
  if (open && fw >= 1023 && !(fw >= 2000 && fw <= 2022)) {
    TArgoReply r;
    if (Exchange(Req({0x45}), 20, 6, r)) {
      ArgoCodec::DecodeModelInfo(std::span<const std::uint8_t>(r.Data.data(), 6), info);
      config_.ModelInfo = info;
    } else {
      info = TArgoModelInfo();
    }
  }
  if (open) {
    allowedLo_ = info.LoRangeTemp;
    allowedHi_ = info.HiRangeTemp;
  }
  return info;
}

float TpyreonArgo::ReadObjectTemperature() { return ReadTemperature(0x01, 1, 100); }
float TpyreonArgo::ReadActualTemperature() { return ReadTemperature(0x81, 4, 100); }
float TpyreonArgo::ReadInternalTemperature() { return ReadTemperature(0x02, 2, 100); }
float TpyreonArgo::ReadBoxTemperature() { return ReadTemperature(0x03, 3, 100); }

std::int32_t TpyreonArgo::GetSerialNumber() {
  if (!PortOpen()) return -1;
  TArgoReply r;
  if (!Exchange(Req({0x0E}), 20, 3, r)) return -1;
  config_.SerialNumber = r.Data[0] * 65536 + r.Data[1] * 256 + r.Data[2];
  return config_.SerialNumber;
}

std::uint16_t TpyreonArgo::GetFirmwareRevision() {
  if (!PortOpen()) return 0xFFFF;
  const auto w = ReadWord(Req({0x0F}), 20);
  if (!w) return 0xFFFF;
  config_.FWrev = *w;
  return *w;
}

// --- Single-colour parameters ---------------------------------------------------------------

float TpyreonArgo::GetEmissivity() {
  if (!PortOpen()) return kArgoNoValue;
  const auto w = ReadWord(Req({0x04}), 20);
  if (!w) return kArgoNoValue;
  return config_.Emissivity = ArgoCodec::DecodeM(*w);
}

TArgoWriteResult TpyreonArgo::SetEmissivity(float value) {
  if (!PortOpen()) return TArgoWriteResult::Unconfirmed;
  std::uint16_t w = 0;
  if (!CheckRange(ArgoCodec::InRange(value, 0.1f, 1.1001f) && ArgoCodec::EncodeM(value, w)))
    return TArgoWriteResult::Rejected;
  return Confirm(WriteWord(0x84, w, 20), [&](auto e) { config_.Emissivity = ArgoCodec::DecodeM(e); });
}

float TpyreonArgo::GetTransmission() {
  if (!PortOpen()) return kArgoNoValue;
  const auto w = ReadWord(Req({0x05}), 20);
  if (!w) return kArgoNoValue;
  return config_.Transmission = ArgoCodec::DecodeM(*w);
}

TArgoWriteResult TpyreonArgo::SetTransmission(float value) {
  if (!PortOpen()) return TArgoWriteResult::Unconfirmed;
  std::uint16_t w = 0;
  if (!CheckRange(ArgoCodec::InRange(value, 0.1f, 1.1001f) && ArgoCodec::EncodeM(value, w)))
    return TArgoWriteResult::Rejected;
  return Confirm(WriteWord(0x85, w, 20), [&](auto e) { config_.Transmission = ArgoCodec::DecodeM(e); });
}

float TpyreonArgo::GetAverageTime() { return GetTimeParam(0x06, config_.AverageTime); }
TArgoWriteResult TpyreonArgo::SetAverageTime(float s) {
  return SetTimeParam(0x86, s, 50, config_.AverageTime);
}
float TpyreonArgo::GetValleyHoldTime() { return GetTimeParam(0x07, config_.ValleyHoldTime); }
TArgoWriteResult TpyreonArgo::SetValleyHoldTime(float s) {
  return SetTimeParam(0x87, s, 20, config_.ValleyHoldTime);
}
float TpyreonArgo::GetPeakHoldTime() { return GetTimeParam(0x08, config_.PeakHoldTime); }
TArgoWriteResult TpyreonArgo::SetPeakHoldTime(float s) {
  return SetTimeParam(0x88, s, 20, config_.PeakHoldTime);
}

bool TpyreonArgo::GetTemperatureUnit() {
  if (!PortOpen()) return false;
  const auto b = ReadByte(Req({0x09}), 100);
  if (!b) return false;
  config_.TempUnitFahrenheit = *b == 0;
  return config_.TempUnitFahrenheit;
}

TArgoWriteResult TpyreonArgo::SetTemperatureUnit(int value) {
  if (!PortOpen()) return TArgoWriteResult::Unconfirmed;
  return Confirm(WriteByte(0x89, value == 1 ? 0x00 : 0x01, 20),
                 [&](auto e) { config_.TempUnitFahrenheit = e == 0; });
}

float TpyreonArgo::GetAlarm1() { return GetTempParam(0x0A, config_.Alarm[0]); }
TArgoWriteResult TpyreonArgo::SetAlarm1(float t) {
  return SetTempParam(0x8A, t, -50.0f, 3000.0f, 100, config_.Alarm[0]);
}
float TpyreonArgo::GetAlarm2() { return GetTempParam(0x0B, config_.Alarm[1]); }
TArgoWriteResult TpyreonArgo::SetAlarm2(float t) {
  return SetTempParam(0x8B, t, -50.0f, allowedHi_, 100, config_.Alarm[1]);
}
float TpyreonArgo::GetAlarm3() { return GetTempParam(0x0C, config_.Alarm[2]); }
TArgoWriteResult TpyreonArgo::SetAlarm3(float t) {
  return SetTempParam(0x8C, t, -50.0f, allowedHi_, 100, config_.Alarm[2]);
}
float TpyreonArgo::GetAlarm4() { return GetTempParam(0x0D, config_.Alarm[3]); }
TArgoWriteResult TpyreonArgo::SetAlarm4(float t) {
  return SetTempParam(0x8D, t, -50.0f, allowedHi_, 100, config_.Alarm[3]);
}

float TpyreonArgo::GetRatioAlarmHysteresis() {
  if (!PortOpen()) return kArgoNoValue;
  const auto w = ReadWord(Req({0x0C}), 100);
  if (!w) return kArgoNoValue;
  return config_.RatioAlarmHysteresis = ArgoCodec::DecodeH(*w);
}

TArgoWriteResult TpyreonArgo::SetRatioAlarmHysteresis(float value) {
  if (!PortOpen()) return TArgoWriteResult::Unconfirmed;
  std::uint16_t w = 0;
  if (!CheckRange(ArgoCodec::InRange(value, -50.0f, allowedHi_) && ArgoCodec::EncodeH(value, w)))
    return TArgoWriteResult::Rejected;
  return Confirm(WriteWord(0x8C, w, 100),
                 [&](auto e) { config_.RatioAlarmHysteresis = ArgoCodec::DecodeH(e); });
}

std::uint8_t TpyreonArgo::GetRatioAlarmMode() {
  if (!PortOpen()) return 0;
  const auto b = ReadByte(Req({0x0D}), 20);
  if (!b) return 0;
  return config_.RatioAlarmMode = *b;
}

TArgoWriteResult TpyreonArgo::SetRatioAlarmMode(std::uint8_t value) {
  if (!PortOpen()) return TArgoWriteResult::Unconfirmed;
  return Confirm(WriteByte(0x8D, value, 20), [&](auto e) { config_.RatioAlarmMode = e; });
}

std::uint8_t TpyreonArgo::GetRS485Address() {
  if (!PortOpen()) return 255;
  const auto b = ReadByte(Req({0x10}), 20);
  if (!b) return 255;
  return config_.RS485Addr = *b;
}

TArgoWriteResult TpyreonArgo::SetRS485Address(std::uint8_t value) {
  if (!PortOpen()) return TArgoWriteResult::Unconfirmed;
  if (!CheckRange(value <= 79)) return TArgoWriteResult::Rejected;
  return Confirm(WriteByte(0x90, value, 20), [&](auto e) { config_.RS485Addr = e; });
}

TArgoWriteResult TpyreonArgo::ResetLoopOutput() {
  if (!PortOpen()) return TArgoWriteResult::Unconfirmed;
  return ReadByte(Req({0x8F}), 20) ? TArgoWriteResult::Confirmed : TArgoWriteResult::Unconfirmed;
}

int TpyreonArgo::GetScaledOutputMin() {
  if (!PortOpen()) return -1;
  const auto w = ReadWord(Req({0x11}), 20);
  if (!w) return -1;
  return config_.ScaledOutputMin = *w;
}

TArgoWriteResult TpyreonArgo::SetScaledOutputMin(int value) {
  if (!PortOpen()) return TArgoWriteResult::Unconfirmed;
  if (!CheckRange(value >= 0 && value <= 20000)) return TArgoWriteResult::Rejected;
  return Confirm(WriteWord(0x91, static_cast<std::uint16_t>(value), 20),
                 [&](auto e) { config_.ScaledOutputMin = e; });
}

int TpyreonArgo::GetScaledOutputMax() {
  if (!PortOpen()) return -1;
  const auto w = ReadWord(Req({0x12}), 20);
  if (!w) return -1;
  return config_.ScaledOutputMax = *w;
}

TArgoWriteResult TpyreonArgo::SetScaledOutputMax(int value) {
  if (!PortOpen()) return TArgoWriteResult::Unconfirmed;
  if (!CheckRange(value >= 0 && value <= 20000)) return TArgoWriteResult::Rejected;
  return Confirm(WriteWord(0x92, static_cast<std::uint16_t>(value), 50),
                 [&](auto e) { config_.ScaledOutputMax = e; });
}

std::uint8_t TpyreonArgo::GetAmbientSource() {
  if (!PortOpen()) return 3;
  const auto b = ReadByte(Req({0x13}), 20);
  if (!b) return 3;
  return config_.AmbientSource = ArgoCodec::SourceIndex(*b);
}

TArgoWriteResult TpyreonArgo::SetAmbientSource(int index) {
  if (!PortOpen()) return TArgoWriteResult::Unconfirmed;
  if (!CheckRange(index >= 0 && index <= 2)) return TArgoWriteResult::Rejected;
  return Confirm(WriteByte(0x93, static_cast<std::uint8_t>(index + 1), 20),
                 [&](auto e) { config_.AmbientSource = ArgoCodec::SourceIndex(e); });
}

float TpyreonArgo::GetAmbientValue() { return GetTempParam(0x14, config_.AmbientValue); }
TArgoWriteResult TpyreonArgo::SetAmbientValue(float t) {
  return SetTempParam(0x94, t, -50.0f, 3000.0f, 20, config_.AmbientValue);
}

std::uint8_t TpyreonArgo::GetEmissivitySource() {
  if (!PortOpen()) return 3;
  const auto b = ReadByte(Req({0x15}), 20);
  if (!b) return 3;
  return config_.EmissivitySource = ArgoCodec::SourceIndex(*b);
}

TArgoWriteResult TpyreonArgo::SetEmissivitySource(int index) {
  if (!PortOpen()) return TArgoWriteResult::Unconfirmed;
  if (!CheckRange(index >= 0 && index <= 2)) return TArgoWriteResult::Rejected;
  return Confirm(WriteByte(0x95, static_cast<std::uint8_t>(index + 1), 20),
                 [&](auto e) { config_.EmissivitySource = ArgoCodec::SourceIndex(e); });
}

std::uint8_t TpyreonArgo::GetIRFailsafe() {
  if (!PortOpen()) return 4;
  const auto b = ReadByte(Req({0x16}), 20);
  if (!b) return 4;
  return config_.IRFailsafe = ArgoCodec::FailsafeIndex(*b);
}

TArgoWriteResult TpyreonArgo::SetIRFailsafe(int index) {
  if (!PortOpen()) return TArgoWriteResult::Unconfirmed;
  if (!CheckRange(index >= 0 && index <= 3)) return TArgoWriteResult::Rejected;
  return Confirm(WriteByte(0x96, static_cast<std::uint8_t>(index), 20),
                 [&](auto e) { config_.IRFailsafe = ArgoCodec::FailsafeIndex(e); });
}

std::uint8_t TpyreonArgo::GetAmbientFailsafe() {
  if (!PortOpen()) return 4;
  const auto b = ReadByte(Req({0x17}), 20);
  if (!b) return 4;
  return config_.AmbientFailsafe = ArgoCodec::FailsafeIndex(*b);
}

TArgoWriteResult TpyreonArgo::SetAmbientFailsafe(int index) {
  if (!PortOpen()) return TArgoWriteResult::Unconfirmed;
  if (!CheckRange(index >= 0 && index <= 3)) return TArgoWriteResult::Rejected;
  return Confirm(WriteByte(0x97, static_cast<std::uint8_t>(index), 20),
                 [&](auto e) { config_.AmbientFailsafe = ArgoCodec::FailsafeIndex(e); });
}

float TpyreonArgo::GetOutputTempMin() { return GetTempParam(0x18, config_.OutputTempMin); }

TArgoWriteResult TpyreonArgo::SetOutputTempMin(float t) {
  const bool tau = IsRatioFirmware() && config_.ProcessSource == 2;
  return SetTempParam(0x98, t, tau ? -50.0f : allowedLo_, tau ? 99.0f : allowedHi_, 20,
                      config_.OutputTempMin);
}

float TpyreonArgo::GetOutputTempMax() { return GetTempParam(0x19, config_.OutputTempMax); }

TArgoWriteResult TpyreonArgo::SetOutputTempMax(float t) {
  const bool tau = IsRatioFirmware() && config_.ProcessSource == 2;
  return SetTempParam(0x99, t, tau ? -49.0f : allowedLo_, tau ? 100.0f : allowedHi_, 20,
                      config_.OutputTempMax);
}

std::uint8_t TpyreonArgo::GetIRDacPercent() {
  if (!PortOpen()) return 255;
  const auto b = ReadByte(Req({0x1A}), 20);
  if (!b) return 255;
  return config_.IRDacPercent = *b;
}

TArgoWriteResult TpyreonArgo::SetIRDacPercent(int percent) {
  if (!PortOpen()) return TArgoWriteResult::Unconfirmed;
  if (!CheckRange(percent >= 0 && percent <= 100)) return TArgoWriteResult::Rejected;
  return Confirm(WriteByte(0x9A, static_cast<std::uint8_t>(percent), 20),
                 [&](auto e) { config_.IRDacPercent = e; });
}

std::uint8_t TpyreonArgo::GetAmbientDacPercent() {
  if (!PortOpen()) return 255;
  const auto b = ReadByte(Req({0x1B}), 20);
  if (!b) return 255;
  return config_.AmbientDacPercent = *b;
}

TArgoWriteResult TpyreonArgo::SetAmbientDacPercent(int percent) {
  if (!PortOpen()) return TArgoWriteResult::Unconfirmed;
  if (!CheckRange(percent >= 0 && percent <= 100)) return TArgoWriteResult::Rejected;
  return Confirm(WriteByte(0x9B, static_cast<std::uint8_t>(percent), 20),
                 [&](auto e) { config_.AmbientDacPercent = e; });
}

bool TpyreonArgo::GetAverageMode() {
  if (!PortOpen()) return false;
  const auto b = ReadByte(Req({0x1C}), 20);
  if (!b) return false;
  return config_.AverageMode = *b != 0;
}

TArgoWriteResult TpyreonArgo::SetAverageMode(bool on) {
  if (!PortOpen()) return TArgoWriteResult::Unconfirmed;
  return Confirm(WriteByte(0x9C, on ? 1 : 0, 20), [&](auto e) { config_.AverageMode = e != 0; });
}

std::uint8_t TpyreonArgo::GetAdvancedHoldMode() {
  if (!PortOpen()) return 3;
  const auto b = ReadByte(Req({0x1D}), 20);
  if (!b) return 3;
  return config_.AdvancedHoldMode = ArgoCodec::HoldModeIndex(*b);
}

TArgoWriteResult TpyreonArgo::SetAdvancedHoldMode(int mode) {
  if (!PortOpen()) return TArgoWriteResult::Unconfirmed;
  if (!CheckRange(mode >= 0 && mode <= 2)) return TArgoWriteResult::Rejected;
  return Confirm(WriteByte(0x9D, static_cast<std::uint8_t>(mode), 20),
                 [&](auto e) { config_.AdvancedHoldMode = ArgoCodec::HoldModeIndex(e); });
}

float TpyreonArgo::GetAdvancedHoldThreshold() { return GetTempParam(0x1E, config_.AdvancedHoldThreshold); }

TArgoWriteResult TpyreonArgo::SetAdvancedHoldThreshold(float t) {
  return SetTempParam(0x9E, t, allowedLo_, allowedHi_, 20, config_.AdvancedHoldThreshold);
}

void TpyreonArgo::StartEmissivityCalculation(float t1, float t2) {
  if (!PortOpen()) return;
  std::uint16_t w1 = 0, w2 = 0;
  const bool ok = allowedLo_ < t1 && t1 < allowedHi_ && allowedLo_ < t2 && t2 < allowedHi_ &&
                  ArgoCodec::EncodeT(t1, w1) && ArgoCodec::EncodeT(t2, w2);
  if (!CheckRange(ok)) return;
  WriteWord(0x9F, w1, 20);
  WriteWord(0xA0, w2, 20);
  WriteByte(0xA1, 0x01, 20);
}

float TpyreonArgo::GetAdvancedHoldHysteresis() {
  if (!PortOpen()) return kArgoNoValue;
  const auto w = ReadWord(Req({0x22}), 20);
  if (!w) return kArgoNoValue;
  return config_.AdvancedHoldHysteresis = ArgoCodec::DecodeH(*w);
}

TArgoWriteResult TpyreonArgo::SetAdvancedHoldHysteresis(float value) {
  if (!PortOpen()) return TArgoWriteResult::Unconfirmed;
  std::uint16_t w = 0;
  if (!CheckRange(ArgoCodec::InRange(value, 0.0f, 3000.0f) && ArgoCodec::EncodeH(value, w)))
    return TArgoWriteResult::Rejected;
  return Confirm(WriteWord(0xA2, w, 20),
                 [&](auto e) { config_.AdvancedHoldHysteresis = ArgoCodec::DecodeH(e); });
}

TArgoMaterialTable TpyreonArgo::GetMaterialTable() {
  TArgoMaterialTable table{};
  if (!PortOpen()) return table;
  TArgoMaterialTable read{};
  for (int row = 0; row < 8; ++row) {
    for (int field = 0; field < 4; ++field) {
      TArgoReply r;
      if (!Exchange(Req({0x23, row * 16 + field}), 20, 3, r)) return table;
      const std::uint16_t w = W(r.Data, 1);
      TArgoMaterialRow& m = read[static_cast<std::size_t>(row)];
      if (field == 0)
        m.Emiss = ArgoCodec::DecodeM(w);
      else if (field == 1)
        m.LoAlarm = ArgoCodec::DecodeT(w);
      else if (field == 2)
        m.HiAlarm = ArgoCodec::DecodeT(w);
      else
        ArgoCodec::DecodeDeviations(w, m.DevLo, m.DevHi);
    }
  }
  config_.MaterialTable = read;
  return read;
}

TArgoWriteResult TpyreonArgo::SetMaterialTable(const TArgoMaterialTable& table) {
  if (!PortOpen()) return TArgoWriteResult::Unconfirmed;
  // Every value must fit its word before anything is sent.
  std::array<std::array<std::uint16_t, 4>, 8> words{};
  bool ok = true;
  for (std::size_t row = 0; row < 8; ++row) {
    const TArgoMaterialRow& m = table[row];
    ok = ok && ArgoCodec::EncodeM(m.Emiss, words[row][0]) && ArgoCodec::EncodeT(m.LoAlarm, words[row][1]) &&
         ArgoCodec::EncodeT(m.HiAlarm, words[row][2]);
    words[row][3] = ArgoCodec::EncodeDeviations(m.DevLo, m.DevHi);
  }
  if (!CheckRange(ok)) return TArgoWriteResult::Rejected;
  for (int row = 0; row < 8; ++row) {
    for (int field = 0; field < 4; ++field) {
      QByteArray req = Req({0xA3, row * 16 + field});
      AppendWord(req, words[static_cast<std::size_t>(row)][static_cast<std::size_t>(field)]);
      TArgoReply r;
      if (!Exchange(req, 20, 3, r)) return TArgoWriteResult::Unconfirmed;
      const std::uint16_t w = W(r.Data, 1);
      TArgoMaterialRow& m = config_.MaterialTable[static_cast<std::size_t>(row)];
      if (field == 0)
        m.Emiss = ArgoCodec::DecodeM(w);
      else if (field == 1)
        m.LoAlarm = ArgoCodec::DecodeT(w);
      else if (field == 2)
        m.HiAlarm = ArgoCodec::DecodeT(w);
      else
        ArgoCodec::DecodeDeviations(w, m.DevLo, m.DevHi);
    }
  }
  return TArgoWriteResult::Confirmed;
}

bool TpyreonArgo::ReadHeadCodeGroups(int groups, std::array<std::uint32_t, 5>& values) {
  for (int g = 0; g < groups; ++g) {
    TArgoReply r;
    if (!Exchange(Req({0x24, g}), 20, 4, r)) return false;
    values[static_cast<std::size_t>(g)] = (static_cast<std::uint32_t>(r.Data[1]) << 16 |
                                           static_cast<std::uint32_t>(r.Data[2]) << 8 | r.Data[3]) &
                                          0xFFFFF;
  }
  return true;
}

TArgoWriteResult TpyreonArgo::WriteHeadCodeGroups(const QString* texts, int groups,
                                                  std::array<std::uint32_t, 5>& values) {
  std::array<std::uint32_t, 5> parsed{};
  bool ok = true;
  for (int g = 0; g < groups; ++g)
    ok = ok && ArgoCodec::ParseHeadCodeGroup(texts[g], parsed[static_cast<std::size_t>(g)]);
  if (!CheckRange(ok)) return TArgoWriteResult::Rejected;
  for (int g = 0; g < groups; ++g) {
    const std::uint32_t v = parsed[static_cast<std::size_t>(g)];
    TArgoReply r;
    if (!Exchange(Req({0xA4, g, static_cast<int>(v >> 16), static_cast<int>(v >> 8), static_cast<int>(v)}),
                  20, 4, r))
      return TArgoWriteResult::Unconfirmed;
    values[static_cast<std::size_t>(g)] = (static_cast<std::uint32_t>(r.Data[1]) << 16 |
                                           static_cast<std::uint32_t>(r.Data[2]) << 8 | r.Data[3]) &
                                          0xFFFFF;
  }
  return TArgoWriteResult::Confirmed;
}

void TpyreonArgo::StoreHeadCodeShort(const std::array<std::uint32_t, 5>& v, bool valid) {
  if (!valid) {
    config_.HeadCodeShort = {};
    config_.HeadCodeShortFields = {};
    return;
  }
  for (int g = 0; g < 3; ++g)
    config_.HeadCodeShort[static_cast<std::size_t>(g)] =
        ArgoCodec::HeadCodeGroupText(v[static_cast<std::size_t>(g)]);
  config_.HeadCodeShortFields = ArgoCodec::SplitHeadCodeShort({v[0], v[1], v[2]});
}

void TpyreonArgo::StoreHeadCodeLarge(const std::array<std::uint32_t, 5>& v, bool valid) {
  if (!valid) {
    config_.HeadCodeLarge = {};
    config_.HeadCodeLargeFields = {};
    return;
  }
  for (int g = 0; g < 5; ++g)
    config_.HeadCodeLarge[static_cast<std::size_t>(g)] =
        ArgoCodec::HeadCodeGroupText(v[static_cast<std::size_t>(g)]);
  config_.HeadCodeLargeFields = ArgoCodec::SplitHeadCodeLarge(v);
}

TArgoHeadCodeShort TpyreonArgo::GetHeadCodeShort() {
  if (!PortOpen()) return {};
  std::array<std::uint32_t, 5> v{};
  StoreHeadCodeShort(v, ReadHeadCodeGroups(3, v));
  return config_.HeadCodeShort;
}

TArgoWriteResult TpyreonArgo::SetHeadCodeShort(const TArgoHeadCodeShort& groups) {
  if (!PortOpen()) return TArgoWriteResult::Unconfirmed;
  std::array<std::uint32_t, 5> v{};
  const TArgoWriteResult result = WriteHeadCodeGroups(groups.data(), 3, v);
  if (result) StoreHeadCodeShort(v, true);
  return result;
}

TArgoHeadCodeLarge TpyreonArgo::GetHeadCodeLarge() {
  if (!PortOpen()) return {};
  std::array<std::uint32_t, 5> v{};
  StoreHeadCodeLarge(v, ReadHeadCodeGroups(5, v));
  return config_.HeadCodeLarge;
}

TArgoWriteResult TpyreonArgo::SetHeadCodeLarge(const TArgoHeadCodeLarge& groups) {
  if (!PortOpen()) return TArgoWriteResult::Unconfirmed;
  std::array<std::uint32_t, 5> v{};
  const TArgoWriteResult result = WriteHeadCodeGroups(groups.data(), 5, v);
  if (result) StoreHeadCodeLarge(v, true);
  return result;
}

bool TpyreonArgo::GetSpotIllumination() {
  if (!PortOpen()) return false;
  const auto b = ReadByte(Req({0x25}), 20);
  if (!b) return false;
  return config_.SpotIllumination = *b == 1;
}

TArgoWriteResult TpyreonArgo::SetSpotIllumination(bool on) {
  if (!PortOpen()) return TArgoWriteResult::Unconfirmed;
  return Confirm(WriteByte(0xA5, on ? 1 : 0, 20), [&](auto e) { config_.SpotIllumination = e == 1; });
}

float TpyreonArgo::GetTweakOffset() { return GetTempParam(0x26, config_.TweakOffset); }
// The temperature word reaches down to -100 degrees only.
TArgoWriteResult TpyreonArgo::SetTweakOffset(float t) {
  return SetTempParam(0xA6, t, -200.0f, 200.0f, 20, config_.TweakOffset);
}

float TpyreonArgo::GetTweakGain() {
  if (!PortOpen()) return kArgoNoValue;
  const auto w = ReadWord(Req({0x27}), 20);
  if (!w) return kArgoNoValue;
  return config_.TweakGain = ArgoCodec::DecodeG(*w);
}

TArgoWriteResult TpyreonArgo::SetTweakGain(float g) {
  if (!PortOpen()) return TArgoWriteResult::Unconfirmed;
  std::uint16_t w = 0;
  if (!CheckRange(0.0f <= g && g < 2.0f && ArgoCodec::EncodeG(g, w))) return TArgoWriteResult::Rejected;
  return Confirm(WriteWord(0xA7, w, 20), [&](auto e) { config_.TweakGain = ArgoCodec::DecodeG(e); });
}

TArgoAlarmMode TpyreonArgo::GetAlarmMode(int n) {
  if (!PortOpen() || n < 0 || n > 3) return TArgoAlarmMode();
  TArgoReply r;
  if (!Exchange(Req({0x28, n}), 20, 2, r)) return TArgoAlarmMode();
  return config_.AlarmMode[static_cast<std::size_t>(n)] = ArgoCodec::UnpackAlarmMode(r.Data[1]);
}

TArgoWriteResult TpyreonArgo::SetAlarmMode(int n, const TArgoAlarmMode& mode) {
  if (!PortOpen()) return TArgoWriteResult::Unconfirmed;
  if (!CheckRange(n >= 0 && n <= 3 && ArgoCodec::AlarmModeValid(mode))) return TArgoWriteResult::Rejected;
  TArgoReply r;
  if (!Exchange(Req({0xA8, n, ArgoCodec::PackAlarmMode(mode)}), 20, 2, r))
    return TArgoWriteResult::Unconfirmed;
  config_.AlarmMode[static_cast<std::size_t>(n)] = ArgoCodec::UnpackAlarmMode(r.Data[1]);
  return TArgoWriteResult::Confirmed;
}

float TpyreonArgo::GetF3Temp1() { return GetTempParam(0x2B, config_.F3Temp1); }
TArgoWriteResult TpyreonArgo::SetF3Temp1(float t) {
  return SetTempParam(0xAB, t, -50.0f, 3000.0f, 20, config_.F3Temp1);
}
float TpyreonArgo::GetF3Temp2() { return GetTempParam(0x2C, config_.F3Temp2); }
TArgoWriteResult TpyreonArgo::SetF3Temp2(float t) {
  return SetTempParam(0xAC, t, -50.0f, 3000.0f, 20, config_.F3Temp2);
}

float TpyreonArgo::GetAlarmHysteresis() {
  if (!PortOpen()) return kArgoNoValue;
  const auto b = ReadByte(Req({0x4A, 0xFF}), 20);
  if (!b) return kArgoNoValue;
  return config_.AlarmHysteresis = static_cast<float>(*b / 10.0);
}

TArgoWriteResult TpyreonArgo::SetAlarmHysteresis(float value) {
  if (!PortOpen()) return TArgoWriteResult::Unconfirmed;
  std::uint16_t w = 0;
  if (!CheckRange(ArgoCodec::InRange(value, 0.0f, 20.0f) && ArgoCodec::EncodeH(value, w) && w <= 0xFF))
    return TArgoWriteResult::Rejected;
  return Confirm(WriteByte(0x4A, static_cast<std::uint8_t>(w), 20),
                 [&](auto e) { config_.AlarmHysteresis = static_cast<float>(e / 10.0); });
}

// --- Ratio model ----------------------------------------------------------------------------

float TpyreonArgo::GetDeflection1() {
  if (!HasDeflections()) return kArgoNoValue;
  return GetRatioWordParam(Req({0x4A, 0x80, 0x80}), &ArgoCodec::DecodeC, config_.Deflection1, 100);
}

TArgoWriteResult TpyreonArgo::SetDeflection1(float value) {
  if (!HasDeflections()) return TArgoWriteResult::Unconfirmed;
  return SetRatioWordParam(0x4A, value, true, &ArgoCodec::EncodeC, &ArgoCodec::DecodeC, config_.Deflection1,
                           100);
}

float TpyreonArgo::GetDeflection2() {
  if (!HasDeflections()) return kArgoNoValue;
  return GetRatioWordParam(Req({0x4B, 0x80, 0x80}), &ArgoCodec::DecodeC, config_.Deflection2, 100);
}

TArgoWriteResult TpyreonArgo::SetDeflection2(float value) {
  if (!HasDeflections()) return TArgoWriteResult::Unconfirmed;
  return SetRatioWordParam(0x4B, value, true, &ArgoCodec::EncodeC, &ArgoCodec::DecodeC, config_.Deflection2,
                           100);
}

// Offset and gain of the two channels exist from firmware 5014 on; older
// ratio firmware does not answer them, so nothing is sent there.
int TpyreonArgo::GetAddTop() {
  if (!HasChannelCalibration()) return -1;
  return GetSignedRatioWord(0x4C, config_.AddTop);
}

TArgoWriteResult TpyreonArgo::SetAddTop(int value) {
  if (!HasChannelCalibration()) return TArgoWriteResult::Unconfirmed;
  return SetSignedRatioWord(0x4C, value, config_.AddTop);
}

float TpyreonArgo::GetMulTop() {
  if (!HasChannelCalibration()) return kArgoNoValue;
  return GetRatioWordParam(Req({0x4D, 0x00, 0x00}), &ArgoCodec::DecodeQ, config_.MulTop, 100);
}

TArgoWriteResult TpyreonArgo::SetMulTop(float value) {
  if (!HasChannelCalibration()) return TArgoWriteResult::Unconfirmed;
  return SetRatioWordParam(0x4D, value, true, &ArgoCodec::EncodeQ, &ArgoCodec::DecodeQ, config_.MulTop, 100);
}

int TpyreonArgo::GetAddQuot() {
  if (!HasChannelCalibration()) return -1;
  return GetSignedRatioWord(0x4E, config_.AddQuot);
}

TArgoWriteResult TpyreonArgo::SetAddQuot(int value) {
  if (!HasChannelCalibration()) return TArgoWriteResult::Unconfirmed;
  return SetSignedRatioWord(0x4E, value, config_.AddQuot);
}

float TpyreonArgo::GetMulQuot() {
  if (!HasChannelCalibration()) return kArgoNoValue;
  return GetRatioWordParam(Req({0x4F, 0x00, 0x00}), &ArgoCodec::DecodeQ, config_.MulQuot, 100);
}

TArgoWriteResult TpyreonArgo::SetMulQuot(float value) {
  if (!HasChannelCalibration()) return TArgoWriteResult::Unconfirmed;
  return SetRatioWordParam(0x4F, value, true, &ArgoCodec::EncodeQ, &ArgoCodec::DecodeQ, config_.MulQuot, 100);
}

bool TpyreonArgo::GetLWLParameter(int& diameter, int& length) {
  diameter = -1;
  length = -1;
  if (!PortOpen() || !IsRatioFirmware()) return false;
  TArgoReply r;
  if (!Exchange(Req({0x56, 0, 0, 0, 0}), 20, 4, r)) return false;
  config_.LWLDiameter = W(r.Data, 0);
  config_.LWLLength = W(r.Data, 2);
  diameter = config_.LWLDiameter;
  length = config_.LWLLength;
  return true;
}

TArgoWriteResult TpyreonArgo::SetLWLParameter(int diameter, int length) {
  if (!PortOpen() || !IsRatioFirmware()) return TArgoWriteResult::Unconfirmed;
  if (!CheckRange(diameter >= 0 && diameter <= 0xFFFF && length >= 0 && length <= 0xFFFF))
    return TArgoWriteResult::Rejected;
  QByteArray req(1, '\x56');
  AppendWord(req, static_cast<std::uint16_t>(diameter));
  AppendWord(req, static_cast<std::uint16_t>(length));
  TArgoReply r;
  if (!Exchange(req, 20, 4, r)) return TArgoWriteResult::Unconfirmed;
  config_.LWLDiameter = W(r.Data, 0);
  config_.LWLLength = W(r.Data, 2);
  return TArgoWriteResult::Confirmed;
}

bool TpyreonArgo::GetMBRange(float& start, float& end) {
  start = kArgoNoValue;
  end = kArgoNoValue;
  if (!PortOpen() || !IsRatioFirmware()) return false;
  TArgoReply r;
  if (!Exchange(Req({0x57, 0, 0, 0, 0}), 20, 4, r)) return false;
  start = config_.MBRangeStart = ArgoCodec::DecodeT(W(r.Data, 0));
  end = config_.MBRangeEnd = ArgoCodec::DecodeT(W(r.Data, 2));
  return true;
}

TArgoWriteResult TpyreonArgo::SetMBRange(float start, float end) {
  if (!PortOpen() || !IsRatioFirmware()) return TArgoWriteResult::Unconfirmed;
  std::uint16_t ws = 0, we = 0;
  if (!CheckRange(0.0f <= start && start < end && end <= 3000.0f && ArgoCodec::EncodeT(start, ws) &&
                  ArgoCodec::EncodeT(end, we)))
    return TArgoWriteResult::Rejected;
  QByteArray req(1, '\x57');
  AppendWord(req, ws);
  AppendWord(req, we);
  TArgoReply r;
  if (!Exchange(req, 20, 4, r)) return TArgoWriteResult::Unconfirmed;
  config_.MBRangeStart = ArgoCodec::DecodeT(W(r.Data, 0));
  config_.MBRangeEnd = ArgoCodec::DecodeT(W(r.Data, 2));
  return TArgoWriteResult::Confirmed;
}

namespace {
struct RatioM {
  std::uint8_t code;
  int markerHi, markerLo;
  float lo, hi;
  int getTimeout, setTimeout;
};
constexpr RatioM kSlope{0x58, 0x00, 0x00, 0.8f, 1.2f, 100, 100};
constexpr RatioM kSlope2{0x59, 0x00, 0x00, 0.9f, 1.1001f, 100, 5000};
constexpr RatioM kEpsilon{0x5A, 0xFF, 0xFE, 0.05f, 1.0f, 100, 100};
constexpr RatioM kEpsilon2{0x5B, 0x00, 0x00, 0.75f, 1.25f, 100, 100};
}  // namespace

#define ARGO_RATIO_M(Name, Reg, Field)                                                                \
  float TpyreonArgo::Get##Name() {                                                                    \
    return GetRatioWordParam(Req({Reg.code, Reg.markerHi, Reg.markerLo}), &ArgoCodec::DecodeM, Field, \
                             Reg.getTimeout);                                                         \
  }                                                                                                   \
  TArgoWriteResult TpyreonArgo::Set##Name(float value) {                                              \
    return SetRatioWordParam(Reg.code, value, ArgoCodec::InRange(value, Reg.lo, Reg.hi),              \
                             &ArgoCodec::EncodeM, &ArgoCodec::DecodeM, Field, Reg.setTimeout);        \
  }

ARGO_RATIO_M(Slope, kSlope, config_.Slope)
ARGO_RATIO_M(Slope2, kSlope2, config_.Slope2)
ARGO_RATIO_M(Epsilon, kEpsilon, config_.Epsilon)
ARGO_RATIO_M(Epsilon2, kEpsilon2, config_.Epsilon2)
#undef ARGO_RATIO_M

float TpyreonArgo::GetDetTop() {
  return GetRatioWordParam(Req({0x5C, 0x00, 0x00}), &ArgoCodec::DecodeT, config_.DetTop, 100);
}

// Written as a temperature word, the same form it is read in.
TArgoWriteResult TpyreonArgo::SetDetTop(float value) {
  return SetRatioWordParam(0x5C, value, ArgoCodec::InRange(value, 100.0f, 3000.0f), &ArgoCodec::EncodeT,
                           &ArgoCodec::DecodeT, config_.DetTop, 100);
}

float TpyreonArgo::GetLimTau() {
  return GetRatioWordParam(Req({0x5D, 0xFF, 0xFF}), &ArgoCodec::DecodeT, config_.LimTau, 100);
}

TArgoWriteResult TpyreonArgo::SetLimTau(float value) {
  return SetRatioWordParam(0x5D, value, ArgoCodec::InRange(value, -50.0f, 99.0f), &ArgoCodec::EncodeT,
                           &ArgoCodec::DecodeT, config_.LimTau, 100);
}

std::int64_t TpyreonArgo::GetItemNumber() {
  if (!PortOpen() || !IsRatioFirmware()) return -1;
  TArgoReply r;
  if (!Exchange(Req({0x5E, 0, 0, 0, 0}), 20, 4, r)) return -1;
  return config_.ItemNumber = Be32(r.Data, 0);
}

TArgoWriteResult TpyreonArgo::SetItemNumber(std::uint32_t value) {
  if (!PortOpen() || !IsRatioFirmware()) return TArgoWriteResult::Unconfirmed;
  TArgoReply r;
  if (!Exchange(Req({0x5E, static_cast<int>(value >> 24), static_cast<int>(value >> 16),
                     static_cast<int>(value >> 8), static_cast<int>(value)}),
                20, 4, r))
    return TArgoWriteResult::Unconfirmed;
  config_.ItemNumber = Be32(r.Data, 0);
  return TArgoWriteResult::Confirmed;
}

std::int64_t TpyreonArgo::GetRatioSerialNumber() {
  if (!PortOpen() || !IsRatioFirmware()) return -1;
  TArgoReply r;
  if (!Exchange(Req({0x5F, 0, 0, 0, 0}), 20, 4, r)) return -1;
  return config_.RatioSerialNumber = Be32(r.Data, 0);
}

TArgoWriteResult TpyreonArgo::SetRatioSerialNumber(std::uint32_t value) {
  if (!PortOpen() || !IsRatioFirmware()) return TArgoWriteResult::Unconfirmed;
  TArgoReply r;
  if (!Exchange(Req({0x5F, static_cast<int>(value >> 24), static_cast<int>(value >> 16),
                     static_cast<int>(value >> 8), static_cast<int>(value)}),
                20, 4, r))
    return TArgoWriteResult::Unconfirmed;
  config_.RatioSerialNumber = Be32(r.Data, 0);
  return TArgoWriteResult::Confirmed;
}

float TpyreonArgo::ReadSingleTemperature() {
  return IsRatioFirmware() ? ReadTemperature(0x62, 6, 100) : kArgoNoTemperature;
}
float TpyreonArgo::ReadQuotientTemperature() {
  return IsRatioFirmware() ? ReadTemperature(0x63, 5, 100) : kArgoNoTemperature;
}
float TpyreonArgo::ReadTau() {
  return IsRatioFirmware() ? ReadTemperature(0x64, 7, 100) : kArgoNoTemperature;
}

std::uint8_t TpyreonArgo::SendRatioCommand(int index, std::uint8_t code) {
  if (!PortOpen() || !IsRatioFirmware() || index < 0 || index > 127) return 0;
  const auto b = ReadByte(Req({0x65, 0x01, index, code}), 75);
  return b ? *b : 0;
}

std::uint8_t TpyreonArgo::GetDALFunction(int output) {
  if (!PortOpen() || !IsRatioFirmware() || output < 0 || output > 1) return 0;
  TArgoReply r;
  if (!Exchange(Req({0x68, output, 0xFF}), 100, 2, r)) return 0;
  return config_.DALFunction[static_cast<std::size_t>(output)] = r.Data[1];
}

TArgoWriteResult TpyreonArgo::SetDALFunction(int output, std::uint8_t value) {
  if (!PortOpen() || !IsRatioFirmware()) return TArgoWriteResult::Unconfirmed;
  if (!CheckRange(output >= 0 && output <= 1)) return TArgoWriteResult::Rejected;
  TArgoReply r;
  if (!Exchange(Req({0x68, output, value}), 100, 2, r)) return TArgoWriteResult::Unconfirmed;
  config_.DALFunction[static_cast<std::size_t>(output)] = r.Data[1];
  return TArgoWriteResult::Confirmed;
}

std::uint8_t TpyreonArgo::GetAlarmSource(int output) {
  if (!PortOpen() || !IsRatioFirmware() || output < 0 || output > 4) return 0;
  TArgoReply r;
  if (!Exchange(Req({0x69, output, 0xFF}), 100, 2, r)) return 0;
  return config_.AlarmSource[static_cast<std::size_t>(output)] = r.Data[1];
}

TArgoWriteResult TpyreonArgo::SetAlarmSource(int output, std::uint8_t value) {
  if (!PortOpen() || !IsRatioFirmware()) return TArgoWriteResult::Unconfirmed;
  // The two alarm outputs take the sources 1..5 (1 Tquot .. 5 process value).
  if (!CheckRange(output >= 0 && output <= 1 && value >= 1 && value <= 5)) return TArgoWriteResult::Rejected;
  TArgoReply r;
  if (!Exchange(Req({0x69, output, value}), 100, 2, r)) return TArgoWriteResult::Unconfirmed;
  config_.AlarmSource[static_cast<std::size_t>(output)] = r.Data[1];
  return TArgoWriteResult::Confirmed;
}

std::uint8_t TpyreonArgo::GetAlarmNormallyOpen(int output) {
  if (!PortOpen() || !IsRatioFirmware() || output < 0 || output > 4) return 0;
  TArgoReply r;
  if (!Exchange(Req({0x6B, output, 0xFF}), 100, 2, r)) return 0;
  return config_.AlarmNormallyOpen[static_cast<std::size_t>(output)] = r.Data[1];
}

TArgoWriteResult TpyreonArgo::SetAlarmNormallyOpen(int output, std::uint8_t value) {
  if (!PortOpen() || !IsRatioFirmware()) return TArgoWriteResult::Unconfirmed;
  if (!CheckRange(output >= 0 && output <= 4 && value <= 1)) return TArgoWriteResult::Rejected;
  TArgoReply r;
  if (!Exchange(Req({0x6B, output, value}), 100, 2, r)) return TArgoWriteResult::Unconfirmed;
  config_.AlarmNormallyOpen[static_cast<std::size_t>(output)] = r.Data[1];
  return TArgoWriteResult::Confirmed;
}

bool TpyreonArgo::AlarmValuesSequence(int output, TArgoAlarmValues& values, bool write) {
  TArgoReply r;
  if (!Exchange(Req({0x69, output, 0xFF}), 100, 2, r)) return false;
  const std::uint8_t saved = r.Data[1];
  TArgoAlarmValues got;
  bool all = true;
  for (int k = 1; k <= 5 && all; ++k) {
    all = Exchange(Req({0x69, output, k}), 100, 2, r);
    if (!all) break;
    if (write) {
      const std::uint16_t v = values[k - 1];
      all = Exchange(Req({0x6A, output, v >> 8, v & 0xFF}), 100, 3, r);
    } else {
      all = Exchange(Req({0x6A, output, 0x00, 0x00}), 100, 3, r);
    }
    if (all) got[k - 1] = W(r.Data, 1);
  }
  // The source the device had is put back even after a failed step.
  const bool restored = Exchange(Req({0x69, output, saved}), 100, 2, r);
  if (all && restored) {
    const auto o = static_cast<std::size_t>(output);
    config_.AlarmSource[o] = saved;
    config_.AlarmValues[o] = got;
    if (!write) values = got;
  }
  return all && restored;
}

void TpyreonArgo::GetAlarmValues(int output, TArgoAlarmValues& values) {
  values = TArgoAlarmValues();
  if (!PortOpen() || !IsRatioFirmware() || output < 0 || output > 4) return;
  AlarmValuesSequence(output, values, false);
}

TArgoWriteResult TpyreonArgo::SetAlarmValues(int output, const TArgoAlarmValues& values) {
  if (!PortOpen() || !IsRatioFirmware()) return TArgoWriteResult::Unconfirmed;
  if (!CheckRange(output >= 0 && output <= 4)) return TArgoWriteResult::Rejected;
  TArgoAlarmValues copy = values;
  return AlarmValuesSequence(output, copy, true) ? TArgoWriteResult::Confirmed
                                                 : TArgoWriteResult::Unconfirmed;
}

std::uint8_t TpyreonArgo::GetProcessSource() {
  if (!PortOpen() || !IsRatioFirmware()) return 0;
  const auto b = ReadByte(Req({0x6C, 0xFF}), 100);
  if (!b) return 0;
  return config_.ProcessSource = *b <= 2 ? *b : 0;
}

TArgoWriteResult TpyreonArgo::SetProcessSource(std::uint8_t value) {
  if (!PortOpen() || !IsRatioFirmware()) return TArgoWriteResult::Unconfirmed;
  if (!CheckRange(value <= 2)) return TArgoWriteResult::Rejected;
  return Confirm(WriteByte(0x6C, value, 100), [&](auto e) { config_.ProcessSource = e <= 2 ? e : 0; });
}

float TpyreonArgo::GetSmartThreshold() {
  return GetRatioWordParam(Req({0x6D, 0x00, 0x00}), &ArgoCodec::DecodeH, config_.SmartThreshold, 100);
}

TArgoWriteResult TpyreonArgo::SetSmartThreshold(float value) {
  return SetRatioWordParam(0x6D, value, ArgoCodec::InRange(value, 0.0f, 65535.0f), &ArgoCodec::EncodeH,
                           &ArgoCodec::DecodeH, config_.SmartThreshold, 100);
}

TArgoVisualAlarms TpyreonArgo::GetVisualAlarmSettings() {
  TArgoVisualAlarms read{};
  if (!PortOpen() || !IsRatioFirmware()) return read;
  for (int i = 0; i < 8; ++i) {
    TArgoReply r;
    if (!Exchange(Req({0x6E, i}), 100, 20, r)) return TArgoVisualAlarms{};
    read[static_cast<std::size_t>(i)] =
        ArgoCodec::DecodeVisualAlarm(std::span<const std::uint8_t>(r.Data.data(), 20));
  }
  config_.VisualAlarms = read;
  return read;
}

TArgoWriteResult TpyreonArgo::SetVisualAlarmSettings(const TArgoVisualAlarms& alarms) {
  if (!PortOpen() || !IsRatioFirmware()) return TArgoWriteResult::Unconfirmed;
  std::array<std::array<std::uint8_t, 20>, 8> bytes{};
  bool ok = true;
  for (std::size_t i = 0; i < 8; ++i) ok = ok && ArgoCodec::EncodeVisualAlarm(alarms[i], bytes[i]);
  if (!CheckRange(ok)) return TArgoWriteResult::Rejected;
  for (int i = 0; i < 8; ++i) {
    QByteArray req = Req({0x6F, i});
    for (std::uint8_t b : bytes[static_cast<std::size_t>(i)]) req.append(static_cast<char>(b));
    TArgoReply r;
    if (!Exchange(req, 250, 20, r)) return TArgoWriteResult::Unconfirmed;
    config_.VisualAlarms[static_cast<std::size_t>(i)] =
        ArgoCodec::DecodeVisualAlarm(std::span<const std::uint8_t>(r.Data.data(), 20));
  }
  return TArgoWriteResult::Confirmed;
}

std::uint8_t TpyreonArgo::GetVisualAlarmSource() {
  if (!PortOpen() || !IsRatioFirmware()) return 0;
  const auto b = ReadByte(Req({0x72, 0xFF}), 20);
  if (!b) return 0;
  return config_.VisualAlarmSource = *b;
}

TArgoWriteResult TpyreonArgo::SetVisualAlarmSource(std::uint8_t value) {
  if (!PortOpen() || !IsRatioFirmware()) return TArgoWriteResult::Unconfirmed;
  // 0..4 a measured source, 5..7 a fixed blue, green or red backlight.
  if (!CheckRange(value <= 7)) return TArgoWriteResult::Rejected;
  return Confirm(WriteByte(0x72, value, 20), [&](auto e) { config_.VisualAlarmSource = e; });
}

std::uint8_t TpyreonArgo::GetDisplayMainSource() {
  if (!PortOpen() || !IsRatioFirmware()) return 0;
  const auto b = ReadByte(Req({0x73, 0xFF}), 20);
  if (!b) return 0;
  return config_.DisplayMainSource = *b;
}

TArgoWriteResult TpyreonArgo::SetDisplayMainSource(std::uint8_t value) {
  if (!PortOpen() || !IsRatioFirmware()) return TArgoWriteResult::Unconfirmed;
  if (!CheckRange(value <= 4)) return TArgoWriteResult::Rejected;
  return Confirm(WriteByte(0x73, value, 20), [&](auto e) { config_.DisplayMainSource = e; });
}

TArgoWriteResult TpyreonArgo::SetStandardDisplay() {
  if (!PortOpen() || !IsRatioFirmware()) return TArgoWriteResult::Unconfirmed;
  if (!WriteByte(0x80, 0x00, 20)) return TArgoWriteResult::Unconfirmed;
  GetVisualAlarmSettings();
  GetVisualAlarmSource();
  GetDisplayMainSource();
  return TArgoWriteResult::Confirmed;
}
