#include "drivers/brio/pyreon_brio_ma.h"

#include <QFile>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "drivers/driver_port.h"
#include "drivers/driver_timer.h"
#include "platform/clock.h"
#include "platform/folders.h"
#include "platform/logger.h"
#include "platform/number_text.h"
#include "transport/com_port.h"
#include "transport/com_port_error.h"
#include "transport/ring_buffer.h"

namespace {

constexpr int kRingCount = 10000;
constexpr int kInputBufferSize = 10000;
constexpr int kTries = 2;
constexpr int kValueExchanges = 3;
constexpr int kHandshakePasses = 11;
// Longest wait for the output queue to drain.
constexpr int kDrainMs = 1000;

QString HexBytes(const std::uint8_t* data, int count) {
  QString s;
  s.reserve(count * 3);
  for (int i = 0; i < count; ++i) s += QString::asprintf("%02X ", data[i]);
  return s;
}

// Milliseconds `bytes` take on the line at 9600 baud, 10 bits each.
int LineTimeMs(int bytes) { return (bytes * 10 * 1000 + 9599) / 9600; }

std::int32_t Nearest(double x) { return static_cast<std::int32_t>(NumberText::Round(x)); }

// A loop-output argument: tenths in one byte. Values beyond a byte are
// clamped, never wrapped, so 30 V gives the highest output, not 4.4 V.
std::uint8_t LoopByte(float value) {
  const std::int64_t tenths = NumberText::Round(static_cast<double>(value) * 10.0);
  return static_cast<std::uint8_t>(std::clamp<std::int64_t>(tenths, 0, 255));
}

}  // namespace

TpyreonBrio_mA::TpyreonBrio_mA(QObject* owner) : QObject(owner) {
  CreateComPort();
  connectPoll_ = DriverTimer::Create(this, 1000, [this] { ConnectPollTimer(); });
  burstParser_ = DriverTimer::Create(this, 100, [this] { BurstParserTimer(); });
  burstWatchdog_ = DriverTimer::Create(this, 300, [this] { BurstWatchdogTimer(); });
  ring_ = DriverPort::CreateRing(this, kRingCount);
}

TpyreonBrio_mA::~TpyreonBrio_mA() {
  connectPoll_->stop();
  burstParser_->stop();
  burstWatchdog_->stop();
  FreeComPort();
}

void TpyreonBrio_mA::CreateComPort() {
  port_ = new TComPort(this);
  port_->OnAfterOpen = [this](QObject*) { PortAfterOpen(); };
  port_->OnAfterClose = [this](QObject*) { PortAfterClose(); };
  port_->SetBaudRate(br9600);
  DriverPort::SetLine8N1(*port_);
  port_->SetEvents(TComEvents{evRxChar});
  port_->Buffer().SetInputSize(kInputBufferSize);
  port_->FlowControl().SetControlDTR(dtrDisable);
  DriverPort::LogLineEvents(*port_, [this](const QString& line) { WriteLog(line); });
  portClosed_ = true;
}

void TpyreonBrio_mA::FreeComPort() {
  if (port_ == nullptr) return;
  TComPort* port = port_;
  port_ = nullptr;
  DriverPort::Dispose(port,
                      [this](const std::exception& e) { LogFailure(QStringLiteral("closing the port"), e); });
  portClosed_ = true;
}

bool TpyreonBrio_mA::PortOpen() const { return port_ != nullptr && port_->Connected(); }

bool TpyreonBrio_mA::ConnectPollActive() const { return connectPoll_->isActive(); }

void TpyreonBrio_mA::Post(TBrioNotifyKind kind) {
  const TBrioNotify& r = notify_[static_cast<std::size_t>(kind)];
  PostBrioNotify(r, r.WParam, r.LParam);
}

void TpyreonBrio_mA::PostError(int code) {
  const TBrioNotify& r = notify_[bnError];
  PostBrioNotify(r, r.WParam, code);
}

void TpyreonBrio_mA::PostValue(int channel, std::int32_t value) {
  const TBrioNotify& r = notify_[bnNewValues];
  PostBrioNotify(r, r.WParam + static_cast<std::uint32_t>(channel) * 65536u, value);
}

void TpyreonBrio_mA::ClearLoadedFlags() {
  for (auto& c : config_) c.Loaded = false;
  for (auto& c : calibration_) c.Loaded = false;
  newCalibration_.Loaded = false;
  vectors_.Loaded = false;
}

void TpyreonBrio_mA::ClearPortBuffers() {
  if (port_ == nullptr) return;
  DriverPort::ClearBuffers(*port_, true, true, [this](const std::exception& e) {
    LogFailure(QStringLiteral("clearing the port's buffers"), e);
  });
}

int TpyreonBrio_mA::InputCount() {
  if (!PortOpen()) return 0;
  return DriverPort::InputCount(
      *port_, [this](const std::exception& e) { LogFailure(QStringLiteral("reading the input count"), e); });
}

void TpyreonBrio_mA::SleepMs(int ms) {
  DriverTimer::Sleep(ms, [this] { return Cancelled(); });
}

void TpyreonBrio_mA::RegisterNotifications(const std::function<TBrioNotify(std::uint16_t msg)>& make) {
  const std::pair<void (TpyreonBrio_mA::*)(const TBrioNotify&), std::uint16_t> records[] = {
      {&TpyreonBrio_mA::SetPortOpenedNotify, MsgBrioPortOpened},
      {&TpyreonBrio_mA::SetDeviceFoundNotify, MsgBrioDeviceFound},
      {&TpyreonBrio_mA::SetDisconnectedNotify, MsgBrioDisconnected},
      {&TpyreonBrio_mA::SetCaliLoadedNotify, MsgBrioCaliLoaded},
      {&TpyreonBrio_mA::SetConfigLoadedNotify, MsgBrioConfigLoaded},
      {&TpyreonBrio_mA::SetVectorsLoadedNotify, MsgBrioVectorsLoaded},
      {&TpyreonBrio_mA::SetErrorNotify, MsgBrioError},
      {&TpyreonBrio_mA::SetAllLoadedNotify, MsgBrioAllLoaded},
      {&TpyreonBrio_mA::SetBurstStartNotify, MsgBrioBurstStart},
      {&TpyreonBrio_mA::SetNewValuesNotify, MsgBrioNewValues},
  };
  for (const auto& [setter, msg] : records) (this->*setter)(make(msg));
}

void TpyreonBrio_mA::ReportProgress(int percent) {
  if (progress_) progress_(percent);
}

void TpyreonBrio_mA::SetDtr(bool on) {
  if (!PortOpen()) return;
  try {
    port_->SetDTR(on);
  } catch (const std::exception& e) {
    LogFailure(QStringLiteral("setting DTR"), e);
  }
}

void TpyreonBrio_mA::PowerCycle(int highSleepMs) {
  SetDtr(false);
  SleepMs(500);
  dtrOn_ = false;
  SetDtr(true);
  SleepMs(highSleepMs);
  dtrOn_ = true;
}

void TpyreonBrio_mA::RaiseDtr(bool dropFirst) {
  if (dropFirst) {
    SetDtr(false);
    SleepMs(500);
  }
  dtrOn_ = false;
  if (port_ != nullptr) port_->OnRxChar = nullptr;
  SetDtr(true);
  dtrOn_ = true;
}

void TpyreonBrio_mA::WriteRaw(const QByteArray& bytes) {
  if (!PortOpen()) return;
  try {
    port_->WriteStr(bytes);
  } catch (const std::exception& e) {
    LogFailure(QStringLiteral("writing"), e);
    if (connected_) PostError(brioErrNoAnswer);
  }
}

bool TpyreonBrio_mA::OpenPort() {
  try {
    featureWord_ = 0;
    rangeLow_ = -30.0f;
    rangeHigh_ = 1000.0f;
    range2Low_ = 0.0f;
    range2High_ = 0.0f;
    WriteLog(QStringLiteral("Com Port %1 öffnen").arg(comPort_));
    connected_ = false;
    burstParser_->stop();
    burstWatchdog_->stop();
    if (port_ == nullptr) CreateComPort();
    if (port_->Connected()) {
      port_->OnRxChar = nullptr;
      port_->Close();  // raises PortAfterClose synchronously
    }
    port_->SetPort(QStringLiteral("COM") + QString::number(comPort_));
    port_->FlowControl().SetControlDTR(dtrDisable);
    dtrOn_ = false;
    port_->Open();
    port_->ClearBuffer(true, true);
    ring_->Clear(0);
    burstQueue_.clear();
    ClearLoadedFlags();
    if (port_->Connected()) {
      WriteLog(QStringLiteral("Com Port %1 geöffnet").arg(comPort_));
      Post(bnPortOpened);
    }
    return true;
  } catch (const std::exception& e) {
    LogFailure(QStringLiteral("opening the port"), e);
    PostError(brioErrOpen);
    return false;
  }
}

void TpyreonBrio_mA::ClosePort() {
  try {
    burstWatchdog_->stop();
    WriteLog(QStringLiteral("Com Port %1 schliessen").arg(comPort_));
    burstParser_->stop();
    connectPoll_->stop();
    if (port_ != nullptr) {
      port_->OnRxChar = nullptr;
      port_->Close();
    }
    ClearLoadedFlags();
  } catch (const std::exception& e) {
    LogFailure(QStringLiteral("closing the port"), e);
    ClearLoadedFlags();
    PostError(brioErrClose);
  }
}

void TpyreonBrio_mA::DropRemovedPort() {
  connectPoll_->stop();
  burstParser_->stop();
  burstWatchdog_->stop();
  connected_ = false;
  FreeComPort();
  CreateComPort();
  ClearLoadedFlags();
}

void TpyreonBrio_mA::PortAfterOpen() { portClosed_ = false; }

void TpyreonBrio_mA::PortAfterClose() {
  portClosed_ = true;
  receiveFirst_ = true;
  parserFirst_ = true;
  Post(bnPortClosed);
  WriteLog(QStringLiteral("Com Port %1 geschlossen").arg(comPort_));
}

void TpyreonBrio_mA::SendAndReceive(const QByteArray& request, int timeoutMs, BrioMaReply& reply,
                                    int expected) {
  reply.Failed = true;
  reply.Data.fill(0);
  if (!PortOpen()) {
    PostError(brioErrNotOpen);
    return;
  }
  expected = std::clamp(expected, 0, static_cast<int>(reply.Data.size()));
  const QString text =
      QStringLiteral("Sende : ") +
      HexBytes(reinterpret_cast<const std::uint8_t*>(request.constData()), static_cast<int>(request.size())) +
      QStringLiteral("\t\t\t");
  std::uint8_t local[1024] = {};
  bool ok = false;
  try {
    port_->ClearBuffer(true, true);
    port_->Timeouts().SetReadInterval(0);
    port_->Timeouts().SetReadTotalMultiplier(0);
    // The time-out runs from when the request has left the line. A write
    // returns before its bytes are on the wire, so the request's own line
    // time is added, as a drained real port would have spent it already.
    port_->Timeouts().SetReadTotalConstant(timeoutMs + LineTimeMs(static_cast<int>(request.size())));
    for (int t = 0; t < kTries && !ok && !Cancelled(); ++t) {
      WriteLog(QStringLiteral("Senden :\t") + text + QStringLiteral(" Versuch : ") + QString::number(t));
      try {
        port_->WriteStr(request);
        const auto drainStart = Clock::Now();
        while (port_->OutputCount() > 0 && Clock::MillisecondsSince(drainStart) < kDrainMs)
          QThread::msleep(1);
      } catch (const std::exception& e) {
        LogFailure(QStringLiteral("sending"), e);
        if (connected_) PostError(brioErrNoAnswer);
      }
      const int got = expected > 0 ? port_->Read(local, expected) : 0;
      if (got == expected) {
        ok = true;
      } else if (t + 1 < kTries) {
        port_->WriteStr(QByteArray(5, '\0'));
        SleepMs(50);
        port_->ClearBuffer(true, true);
      }
    }
  } catch (const std::exception& e) {
    LogFailure(QStringLiteral("exchange"), e);
    ok = false;
  }

  if (ok) {
    if (!connected_ && expected > 0) {
      connected_ = true;
      Post(bnDeviceFound);
    }
    WriteLog(text + QStringLiteral("Empfangen : ") + HexBytes(local, expected));
    std::copy(local, local + expected, reply.Data.begin());
    reply.Failed = false;
    return;
  }
  WriteLog(text + QStringLiteral("Empfangen : TIMEOUT"));
  ClearPortBuffers();
  if (connected_) {
    PostError(brioErrNoAnswer);
    Post(bnDisconnected);
    connectPoll_->start();
  }
  connected_ = false;
  ClearLoadedFlags();
  if (!holdPoll_) connectPoll_->start();
}

void TpyreonBrio_mA::ConnectPollTimer() {
  connectPoll_->stop();
  BrioMaReply reply;
  SendAndReceive(QByteArray(1, '\x01'), 100, reply, 2);
  if (!reply.Failed) {
    if (!connected_) {
      connected_ = true;
      Post(bnDeviceFound);
    }
  } else if (PortOpen()) {
    connectPoll_->start();
  }
}

// --- Values -------------------------------------------------------------------------

bool TpyreonBrio_mA::ReadWordValue(std::uint8_t command, std::uint16_t& word) {
  BrioMaReply reply;
  for (int n = 0; n < kValueExchanges && PortOpen() && !Cancelled(); ++n) {
    SendAndReceive(QByteArray(1, static_cast<char>(command)), 50, reply, 2);
    if (!reply.Failed) {
      word = static_cast<std::uint16_t>(reply.Data[0] << 8 | reply.Data[1]);
      return true;
    }
  }
  if (connected_) PostError(brioErrNoAnswer);
  return false;
}

float TpyreonBrio_mA::ReadTemperatureValue(std::uint8_t command, int channel, bool canBeHighResolution) {
  if (!PortOpen()) return -9999.0f;
  std::uint16_t w = 0;
  if (!ReadWordValue(command, w)) return -9999.0f;
  const bool hundredths = canBeHighResolution && IsHighResolution();
  const double t = hundredths ? w / 100.0 - 100.0 : w / 10.0 - 100.0;
  PostValue(channel, Nearest(hundredths ? t * 100.0 : t * 10.0));
  return static_cast<float>(t);
}

float TpyreonBrio_mA::ReadTargetTemperature() { return ReadTemperatureValue(0x01, 1, true); }
float TpyreonBrio_mA::ReadInternalTemperature() { return ReadTemperatureValue(0x02, 2, true); }
float TpyreonBrio_mA::ReadActualTemperature() { return ReadTemperatureValue(0x03, 4, true); }
float TpyreonBrio_mA::ReadBoxTemperature() { return ReadTemperatureValue(0x09, 5, false); }
float TpyreonBrio_mA::ReadAmbientTemperature() { return ReadTemperatureValue(0x12, 8, true); }

float TpyreonBrio_mA::ReadChannel7() {
  if (!PortOpen()) return -9999.0f;
  std::uint16_t w = 0;
  if (!ReadWordValue(0x11, w)) return -9999.0f;
  PostValue(7, w);
  return w;
}

float TpyreonBrio_mA::PollEmissivity() {
  if (!PortOpen()) return 0.0f;
  std::uint16_t w = 0;
  if (!ReadWordValue(0x04, w)) return 0.0f;
  const double e = w / 1000.0;
  PostValue(6, Nearest(e * 1000.0));
  return static_cast<float>(e);
}

std::int8_t TpyreonBrio_mA::ReadEmissivitySwitches() {
  BrioMaReply reply;
  for (int n = 0; n < kValueExchanges && PortOpen() && !Cancelled(); ++n) {
    SendAndReceive(QByteArray(1, '\x11'), 50, reply, 1);
    if (!reply.Failed) return static_cast<std::int8_t>(reply.Data[0]);
  }
  return -1;
}

int TpyreonBrio_mA::ReadSerialNumber() {
  BrioMaReply reply;
  SendAndReceive(QByteArray(1, '\x0E'), 50, reply, 3);
  if (reply.Failed) return -1;
  return reply.Data[0] * 65536 + reply.Data[1] * 256 + reply.Data[2];
}

float TpyreonBrio_mA::ReadEmissivity() {
  BrioMaReply reply;
  SendAndReceive(QByteArray(1, '\x04'), 50, reply, 2);
  if (reply.Failed) return -1.0f;
  return static_cast<float>((reply.Data[0] << 8 | reply.Data[1]) / 1000.0);
}

void TpyreonBrio_mA::SetEmissivity(float e) {
  // The range is checked on the value itself (within float precision), so
  // 0.0999 is refused rather than rounded up into range.
  const double thousandths = static_cast<double>(e) * 1000.0;
  if (!(thousandths >= 100.0 - 1e-3 && thousandths <= 1100.0 + 1e-3)) return;
  const auto w = static_cast<std::uint16_t>(NumberText::Round(thousandths));
  QByteArray request;
  request.append('\x84').append(static_cast<char>(w >> 8)).append(static_cast<char>(w & 0xFF));
  BrioMaReply reply;
  SendAndReceive(request, 50, reply, 2);
}

void TpyreonBrio_mA::StoreEmissivityWord(std::uint16_t thousandths) {
  for (int copy = 0; copy < 2; ++copy) {
    config_[std::size_t(copy)].Data[0] = static_cast<std::uint8_t>(thousandths & 0xFF);
    config_[std::size_t(copy)].Data[1] = static_cast<std::uint8_t>(thousandths >> 8);
  }
}

bool TpyreonBrio_mA::GetLaserState() {
  if (!PortOpen()) {
    PostError(brioErrNotOpen);
    return false;
  }
  BrioMaReply reply;
  SendAndReceive(QByteArray(1, '\x10'), 50, reply, 1);
  if (reply.Failed) {
    PostError(brioErrNoAnswer);
    return false;
  }
  return reply.Data[0] == 1;
}

void TpyreonBrio_mA::SetLaser(bool on) {
  if (!PortOpen()) return;
  QByteArray request("\x90", 1);
  request.append(on ? '\x01' : '\x00');
  BrioMaReply reply;
  SendAndReceive(request, 20, reply, 1);
  if (reply.Failed) PostError(brioErrNoAnswer);
}

void TpyreonBrio_mA::SetLoopOutput(float volts) {
  BrioMaReply reply;
  if (volts < 0.0f) {
    SendAndReceive(QByteArray(1, '\x82'), 10, reply, 0);
    return;
  }
  QByteArray request(1, '\x81');
  request.append(static_cast<char>(LoopByte(volts)));
  SendAndReceive(request, 10, reply, 0);
}

void TpyreonBrio_mA::SetLoopOutputCurrent(float value) {
  BrioMaReply reply;
  if (value == 0.0f) {
    SendAndReceive(QByteArray(1, '\x82'), 10, reply, 1);
    return;
  }
  QByteArray request(1, '\x81');
  request.append(static_cast<char>(LoopByte(value)));
  SendAndReceive(request, 10, reply, 1);
}

void TpyreonBrio_mA::EndLoopMaintenance() {
  BrioMaReply reply;
  SendAndReceive(QByteArray(1, '\x82'), 10, reply, 0);
}

void TpyreonBrio_mA::StartLoopMaintenance(bool useCommand) {
  if (!PortOpen()) {
    PostError(brioErrNotOpenControl);
    return;
  }
  holdPoll_ = true;
  RaiseDtr(true);
  burstParser_->stop();
  SleepMs(100);
  if (useCommand) {
    PowerOnHandshake(true);
    BrioMaReply reply;
    SendAndReceive(QByteArray("\x81\x00\x00", 3), 50, reply, 0);
  } else {
    WriteMemoryByte(0x025F, 0x90);
    WriteMemoryByte(0x0264, 0x02);
  }
}

int TpyreonBrio_mA::WriteMemoryByte(std::uint16_t address, std::uint8_t value) {
  if (!PortOpen()) return -1;
  QByteArray frame(1, '\x3D');
  frame.append(static_cast<char>(address >> 8)).append(static_cast<char>(address & 0xFF));
  frame.append(static_cast<char>(value));
  const auto start = Clock::Now();
  do {
    BrioMaReply first;
    SendAndReceive(frame, 10, first, 1);
    if (first.Failed) return -1;
    BrioMaReply second;
    SendAndReceive(frame, 10, second, 1);
    if (!second.Failed && first.Data[0] == second.Data[0]) return first.Data[0];
  } while (Clock::MillisecondsSince(start) <= memoryWriteTimeout_ && !Cancelled());
  return -1;
}

int TpyreonBrio_mA::HandshakePercent(int pass, double fraction) {
  // Pass p starts at 90 * (1 - 0.25^p) percent.
  const auto start = [](int p) { return 90.0 * (1.0 - std::pow(0.25, p)); };
  const double from = start(pass);
  return static_cast<int>(std::lround(from + (start(pass + 1) - from) * std::clamp(fraction, 0.0, 1.0)));
}

bool TpyreonBrio_mA::PowerOnHandshake(bool wait) {
  if (!PortOpen()) {
    PostError(brioErrNotOpenControl);
    return false;
  }
  holdPoll_ = false;
  connected_ = false;
  RaiseDtr(dtrOn_);
  if (!wait) return true;

  // The steps of a pass and their share of it: the answer to "9WAIT", the
  // second the device waits (shown in tenths), the two bytes it answers.
  constexpr int kWaitingMs = 1000;
  constexpr int kWaitingSteps = 10;
  constexpr double kAnswered = 0.15;
  constexpr double kWaited = 0.9;
  ReportProgress(0);
  burstParser_->stop();
  SleepMs(250);
  WriteRaw(QByteArray(10, '\0'));
  SleepMs(50);
  bool ready = false;
  for (int pass = 0; pass < kHandshakePasses && !ready && PortOpen() && !Cancelled(); ++pass) {
    ClearPortBuffers();
    BrioMaReply none;
    SendAndReceive(QByteArrayLiteral("9WAIT"), 50, none, 0);
    SleepMs(100);
    QByteArray answer;
    try {
      const int waiting = port_->InputCount();
      port_->Timeouts().SetReadTotalConstant(0);
      if (waiting > 0) port_->ReadStr(answer, waiting);
    } catch (const std::exception& e) {
      LogFailure(QStringLiteral("reading the handshake"), e);
    }
    ReportProgress(HandshakePercent(pass, kAnswered));
    if (answer == QByteArrayLiteral("WAITING")) {
      for (int step = 1; step <= kWaitingSteps; ++step) {
        SleepMs(kWaitingMs / kWaitingSteps);
        ReportProgress(HandshakePercent(pass, kAnswered + (kWaited - kAnswered) * step / kWaitingSteps));
      }
      WriteRaw(QByteArray(1, '\x01'));
      // The two reply bytes are due within 10 ms.
      const auto sent = Clock::Now();
      while (InputCount() < 2 && Clock::MillisecondsSince(sent) < 10.0) QThread::usleep(500);
      ready = InputCount() == 2;
      if (!ready) PowerCycle(100);
    }
    if (!ready) {
      WriteRaw(QByteArray(10, '\0'));
      SleepMs(100);
    }
    ReportProgress(HandshakePercent(pass, 1.0));
  }
  if (!ready) {
    connectPoll_->start();
    return false;
  }
  ClearPortBuffers();
  const bool result = ReadSerialNumber() != -1;
  connectPoll_->start();
  ReportProgress(100);
  return result;
}

void TpyreonBrio_mA::Identify() {
  if (!PortOpen()) {
    PostError(brioErrNotOpen);
    return;
  }
  try {
    port_->ClearBuffer(true, true);
    port_->WriteStr(QByteArrayLiteral("E"));
    std::uint8_t b[16] = {};
    if (port_->Read(b, 6) < 6) {
      featureWord_ = 0;
      rangeLow_ = -30.0f;
      rangeHigh_ = 1000.0f;
      return;
    }
    featureWord_ = static_cast<std::uint16_t>(b[0] << 8 | b[1]);
    const double scale = IsHighResolution() ? 100.0 : 10.0;
    rangeLow_ = static_cast<float>((b[2] << 8 | b[3]) / scale - 100.0);
    rangeHigh_ = static_cast<float>((b[4] << 8 | b[5]) / scale - 100.0);
    if (!HasExtendedIdentity()) return;
    port_->ClearBuffer(true, true);
    port_->WriteStr(QByteArrayLiteral("F"));
    if (port_->Read(b, 16) < 16) {
      range2Low_ = -20.0f;
      range2High_ = 85.0f;
      return;
    }
    range2Low_ = static_cast<float>((b[0] << 8 | b[1]) / 10.0 - 100.0);
    range2High_ = static_cast<float>((b[2] << 8 | b[3]) / 10.0 - 100.0);
    flagWord_ = static_cast<std::uint16_t>(b[4] << 8 | b[5]);
  } catch (const std::exception& e) {
    LogFailure(QStringLiteral("identification"), e);
  }
}

bool TpyreonBrio_mA::IsHighResolution() const {
  const auto word44 = static_cast<std::int16_t>(calibration_[0].WordAt(2 * 44));
  if (word44 >= 1000 && word44 <= 1999) return true;
  const std::uint16_t word0 = calibration_[0].WordAt(0);
  return (featureWord_ & 0x0010) != 0 && word0 >= 10000 && word0 <= 10999;
}

std::uint16_t TpyreonBrio_mA::GetOutputModeMask() const {
  return IsBriov2() && calibration_[0].WordAt(0) >= 1018 ? 0x8018 : 0x0018;
}

// --- Log ------------------------------------------------------------------------------------

QString TpyreonBrio_mA::LogFileName() const {
  return Folders::WritableProgramFolderOr(QStringLiteral("ThermaSentinel")) +
         QStringLiteral("/LogFile COM ") + QString::number(comPort_) + QStringLiteral(".log");
}

void TpyreonBrio_mA::WriteLog(const QString& text) {
  if (!logFile_ || text.isEmpty()) return;
  if (text.at(0) == QChar(1)) {
    QFile::remove(LogFileName());
    return;
  }
  Logger::AppendToFile(LogFileName(), text);
}

void TpyreonBrio_mA::LogFailure(const QString& what, const std::exception& e) const {
  Logger::Warning(QStringLiteral("COM") + QString::number(comPort_),
                  what + QStringLiteral(": ") + ExceptionDetails(e));
}
