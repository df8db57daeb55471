#include "drivers/argo/pyreon_argo.h"

#include <QDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <exception>

#include "drivers/argo/argo_codec.h"
#include "drivers/driver_port.h"
#include "drivers/driver_timer.h"
#include "platform/clock.h"
#include "platform/folders.h"
#include "platform/logger.h"
#include "transport/com_port.h"
#include "transport/com_port_error.h"
#include "transport/ring_buffer.h"

namespace {

constexpr int kRingCount = 5000;
constexpr int kInputBufferSize = 10000;
// How long a reply may take to begin after the request left.
constexpr int kReplyWaitMs = 200;
// Longest single wait inside an exchange, so a cancel is seen promptly.
constexpr int kReadSliceMs = 50;

TBaudRate PortBaudRate(TArgoBaudrate b) {
  switch (b) {
    case argo9600:
      return br9600;
    case argo19200:
      return br19200;
    case argo38400:
      return br38400;
    case argo57600:
      return br57600;
    default:
      return br115200;
  }
}

QString HexBytes(const std::uint8_t* data, int count) {
  QString s;
  s.reserve(count * 3);
  for (int i = 0; i < count; ++i) {
    s += QString::asprintf("%02X ", data[i]);
  }
  return s;
}

double ElapsedMs(Clock::TimePoint start) { return Clock::MillisecondsSince(start); }

}  // namespace

TpyreonArgo::TpyreonArgo(QObject* owner) : QObject(owner) {
  busy_ = false;
  rs485Addr_ = 0;
  CreateComPort();
  retries_ = 3;

  reconnectTimer_ = DriverTimer::Create(this, 1000, [this] { ReconnectTimerTimer(); });
  burstTimer_ = DriverTimer::Create(this, 20, [this] { BurstFrameTimerTimer(); });
  watchdogTimer_ = DriverTimer::Create(this, 1500, [this] { WatchdogTimerTimer(); });
  connected_ = false;

  firstFrame_ = true;
  firstByte_ = true;
  ring_ = DriverPort::CreateRing(this, kRingCount);
}

TpyreonArgo::~TpyreonArgo() {
  // No events reach the owner while it is being torn down.
  reconnectTimer_->stop();
  burstTimer_->stop();
  watchdogTimer_->stop();
  FreeComPort();
}

void TpyreonArgo::SetBaudrate(TArgoBaudrate value) {
  if (static_cast<int>(value) >= 0 && static_cast<int>(value) < 5 && port_ != nullptr) {
    try {
      port_->SetBaudRate(PortBaudRate(value));
    } catch (const std::exception& e) {
      LogFailure(QStringLiteral("setting the baud rate"), e);
    }
  }
  baudrate_ = value;
}

void TpyreonArgo::CreateComPort() {
  port_ = new TComPort(this);
  port_->OnAfterOpen = [this](QObject*) { ComPortAfterOpen(); };
  port_->OnAfterClose = [this](QObject*) { ComPortAfterClose(); };
  if (static_cast<int>(baudrate_) >= 0 && static_cast<int>(baudrate_) < 5)
    port_->SetBaudRate(PortBaudRate(baudrate_));
  DriverPort::SetLine8N1(*port_);
  port_->SetEvents(TComEvents{evRxChar, evTxEmpty});
  port_->Buffer().SetInputSize(kInputBufferSize);
  port_->OnRxChar = nullptr;
  DriverPort::LogLineEvents(*port_, [this](const QString& line) { WriteLog(line); });
  port_->OnRx80Full = [this](QObject*) { WriteLog(QStringLiteral("COM-FX80FULL EVENT")); };
  port_->OnTxEmpty = [](QObject*) {};
  portClosed_ = true;
  port_->SetSyncMethod(smNone);
}

void TpyreonArgo::FreeComPort() {
  if (port_ == nullptr) return;
  TComPort* port = port_;
  port_ = nullptr;
  // Tear down without raising the driver's events.
  DriverPort::Dispose(port,
                      [this](const std::exception& e) { LogFailure(QStringLiteral("closing the port"), e); });
  portClosed_ = true;
  connected_ = false;
  burstActive_ = false;
}

void TpyreonArgo::ResetComPort() {
  burstTimer_->stop();
  watchdogTimer_->stop();
  reconnectTimer_->stop();
  FreeComPort();
  firstFrame_ = true;
  firstByte_ = true;
  CreateComPort();
}

bool TpyreonArgo::PortOpen() const { return port_ != nullptr && port_->Connected() && !portClosed_; }

bool TpyreonArgo::OpenPort() {
  try {
    WriteLog(QStringLiteral("Com Port %1 öffnen").arg(comPort_));
    busy_ = false;
    connected_ = false;
    burstTimer_->stop();
    watchdogTimer_->stop();
    burstActive_ = false;
    if (port_ == nullptr) CreateComPort();

    if (port_->Connected()) {
      port_->OnRxChar = nullptr;
      port_->Close();  // raises ComPortAfterClose synchronously
    }

    // A new open may reach another device: forget what the last one told.
    config_.ModelInfo = TArgoModelInfo();
    config_.FWrev = 0;
    allowedLo_ = 0.0f;
    allowedHi_ = 0.0f;

    port_->SetPort(QStringLiteral("COM") + QString::number(comPort_));
    if (static_cast<int>(baudrate_) >= 0 && static_cast<int>(baudrate_) < 5)
      port_->SetBaudRate(PortBaudRate(baudrate_));
    port_->Timeouts().SetReadInterval(0);
    port_->SetSyncMethod(smThreadSync);
    port_->Open();
    if (!port_->Connected()) throw std::runtime_error("port did not open");

    const std::uint8_t zeros[10] = {};
    port_->Write(zeros, 10);
    port_->ClearBuffer(true, true);
    ring_->Clear(0);
    burstBuffer_.clear();
    config_.ConfigValid = false;
    return true;
  } catch (const std::exception& e) {
    LogFailure(QStringLiteral("opening the port"), e);
    FireError(argoErrOpenFailed);
    return false;
  }
}

void TpyreonArgo::ClosePort() {
  watchdogTimer_->stop();
  WriteLog(QStringLiteral("Com Port %1 schliessen").arg(comPort_));
  burstTimer_->stop();
  burstActive_ = false;
  if (port_ != nullptr) {
    port_->OnRxChar = nullptr;
    try {
      port_->Close();
    } catch (const std::exception& e) {
      LogFailure(QStringLiteral("closing the port"), e);
      // The port is closed and its dispatch stopped in any case.
      if (!port_->Connected() && !portClosed_) ComPortAfterClose();
    }
  }
  config_.ConfigValid = false;
  connected_ = false;
}

void TpyreonArgo::ComPortAfterOpen() {
  portClosed_ = false;
  if (OnComOpen) OnComOpen(this);
  reconnectTimer_->start();
  WriteLog(QStringLiteral("Com Port %1 geöffnet").arg(comPort_));
}

void TpyreonArgo::ComPortAfterClose() {
  connected_ = false;
  portClosed_ = true;
  firstFrame_ = true;
  firstByte_ = true;
  burstActive_ = false;
  // A closed port has nothing to poll.
  reconnectTimer_->stop();
  if (OnComClose) OnComClose(this);
  WriteLog(QStringLiteral("Com Port %1 geschlossen").arg(comPort_));
}

void TpyreonArgo::FireError(int code) {
  if (OnError) OnError(this, code);
}

void TpyreonArgo::SleepMs(int ms) {
  if (pause_) {
    pause_(ms);
    pausedMs_ += std::max(ms, 0);
    return;
  }
  DriverTimer::Sleep(ms, [this] { return Cancelled(); });
}

double TpyreonArgo::WaitedMs(std::chrono::steady_clock::time_point start, std::int64_t pausedAtStart) const {
  return ElapsedMs(start) + static_cast<double>(pausedMs_ - pausedAtStart);
}

void TpyreonArgo::ClearPortBuffers(bool input, bool output) {
  if (port_ == nullptr) return;
  DriverPort::ClearBuffers(*port_, input, output, [this](const std::exception& e) {
    LogFailure(QStringLiteral("clearing the port's buffers"), e);
  });
}

int TpyreonArgo::PortInputCount() {
  if (port_ == nullptr) return 0;
  return DriverPort::InputCount(
      *port_, [this](const std::exception& e) { LogFailure(QStringLiteral("reading the input count"), e); });
}

void TpyreonArgo::LoseConnection() {
  busy_ = false;
  connected_ = false;
  config_.ConfigValid = false;
  // Armed before the events: an owner that closes the port from them stops it again.
  reconnectTimer_->start();
  FireError(argoErrNoAnswer);
  if (OnDisconnect) OnDisconnect(this);
}

void TpyreonArgo::SendAndReceive(const QByteArray& request, int timeout, TArgoReply& reply, int retries,
                                 int replyLength) {
  // A reused reply record never reports an earlier exchange's success.
  reply.NoAnswer = true;
  reply.Data.fill(0);
  reply.Status = 0;
  // A sequence that already gave up, or a cancelled operation, sends
  // nothing and leaves the reconnect poll as it is.
  if (SequenceAbandoned() || Cancelled()) return;
  reconnectTimer_->stop();

  if (busy_ && connected_) return;

  busy_ = true;
  bool connectEvent = false;
  std::uint8_t local[1024] = {};

  if (!PortOpen()) {
    FireError(argoErrPortClosed);
    busy_ = false;
    return;
  }
  if (request.isEmpty() || replyLength < 1 || replyLength > 1024) {
    busy_ = false;
    return;
  }

  try {
    const QByteArray framed = ArgoCodec::FrameRequest(request, rs485Addr_);
    const QString hex =
        HexBytes(reinterpret_cast<const std::uint8_t*>(framed.constData()), static_cast<int>(framed.size())) +
        QStringLiteral("\t\t\t");
    port_->ClearBuffer(true, true);
    int constant = timeout;
    if (constant >= 500 && constant <= 3000) constant = 500;
    // The read engine waits for the whole reply: the time the request takes
    // on the line at the current rate, the reply's start and the command's
    // own time-out. No count is polled meanwhile.
    const int bitsPerMs = std::max(1, ArgoCodec::BaudRateValue(baudrate_) / 1000);
    const int lineMs = static_cast<int>((framed.size() + replyLength) * 10 / bitsPerMs) + 1;
    const int replyWaitMs = lineMs + kReplyWaitMs + constant;
    port_->Timeouts().SetReadInterval(0);
    port_->Timeouts().SetReadTotalMultiplier(0);
    port_->Timeouts().SetReadTotalConstant(kReadSliceMs);

    int attempt = 0;
    bool ok = false;
    do {
      WriteLog(QStringLiteral("Senden :\t") + hex + QStringLiteral(" Versuch : ") + QString::number(attempt));
      // A failing write means the line is gone; the outer handler reports it.
      for (char c : framed) {
        const auto b = static_cast<std::uint8_t>(c);
        port_->Write(&b, 1);
      }
      // The read engine wakes this thread when the reply is complete; the
      // wait is cut into slices only so that a cancel ends it early. With
      // the pauses replaced, a read returns at once and a replaced pause
      // stands for the time the reply may still take.
      int got = 0;
      const auto waitStart = Clock::Now();
      const std::int64_t pausedAtWait = pausedMs_;
      while (got < replyLength && WaitedMs(waitStart, pausedAtWait) < replyWaitMs && !Cancelled()) {
        const int n = port_->Read(local + got, replyLength - got);
        got += n;
        if (n == 0 && pause_) SleepMs(1);
      }
      if (got == replyLength) {
        ok = true;
      } else {
        ++attempt;
        const std::uint8_t zeros[50] = {};
        port_->Write(zeros, 50);
        SleepMs(100);
        port_->ClearBuffer(true, true);
      }
    } while (!ok && attempt < retries && !Cancelled());

    if (!ok && Cancelled() && attempt < retries) {
      // Cancelled between tries: no verdict on the device.
      reply.NoAnswer = true;
      busy_ = false;
    } else if (!ok) {
      WriteLog(QStringLiteral("Empfangen : TIMEOUT"));
      reply.NoAnswer = true;
      if (inSequence_) sequenceAbandoned_ = true;
      port_->ClearBuffer(true, true);
      if (connected_) {
        LoseConnection();
      } else {
        reconnectTimer_->start();
      }
      busy_ = false;
    } else {
      WriteLog(QStringLiteral("Empfangen : ") + HexBytes(local, replyLength));
      reply.NoAnswer = false;
      std::copy(std::begin(local), std::end(local), reply.Data.begin());
      if (!connected_) {
        connected_ = true;
        // Stop a stream the device may have left running, a bounded number of times.
        static const std::uint8_t stop[13] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x52, 0x00, 0x52};
        bool quiet = false;
        for (int pass = 0; pass < kMaxStopPasses && !quiet; ++pass) {
          port_->ClearBuffer(true, true);
          port_->Write(stop, 13);
          SleepMs(250);
          quiet = port_->InputCount() <= 1;
        }
        if (quiet) {
          connectEvent = true;
        } else {
          connected_ = false;
          reply.NoAnswer = true;
          reconnectTimer_->start();
        }
      }
      busy_ = false;
    }
  } catch (const std::exception& e) {
    busy_ = false;
    LogFailure(QStringLiteral("exchange"), e);
    WriteLog(QStringLiteral("EXCEPTION in SendAndReceive !"));
    reply.NoAnswer = true;
    if (inSequence_) sequenceAbandoned_ = true;
    // A failing line counts as a device that stopped answering.
    if (connected_) {
      LoseConnection();
    } else if (PortOpen()) {
      reconnectTimer_->start();
    }
  }
  if (connectEvent && OnConnect) OnConnect(this);
}

void TpyreonArgo::ReconnectTimerTimer() {
  reconnectTimer_->stop();
  if (!PortOpen()) return;
  TArgoReply reply;
  SendAndReceive(QByteArray(1, '\x01'), 10, reply, retries_, 2);
  if (!reply.NoAnswer && connected_) {
    const std::uint16_t w = ArgoCodec::Word(reply.Data, 0);
    if (OnNewTemp) OnNewTemp(this, 1, static_cast<float>(w / 10.0 - 100.0));
  } else {
    if (PortOpen()) reconnectTimer_->start();
    connected_ = false;
  }
}

void TpyreonArgo::WatchdogTimerTimer() { FireError(argoErrNoAnswer); }

QString TpyreonArgo::LogFileName() const {
  return Folders::WritableProgramFolderOr(QStringLiteral("ThermaSentinel")) +
         QStringLiteral("/LogFile COM ") + QString::number(comPort_) + QStringLiteral(".log");
}

void TpyreonArgo::WriteLog(const QString& text) {
  if (!logFile_ || text.isEmpty()) return;
  // The log never stops an exchange: a file that cannot be written is skipped.
  Logger::AppendToFile(LogFileName(), text);
}

void TpyreonArgo::LogFailure(const QString& what, const std::exception& e) const {
  Logger::Warning(QStringLiteral("COM") + QString::number(comPort_),
                  what + QStringLiteral(": ") + ExceptionDetails(e));
}

float TpyreonArgo::DecodeTimeValue(std::span<const std::uint8_t> bytes, int index) const {
  return ArgoCodec::DecodeTimeValue(ArgoCodec::Word(bytes, static_cast<std::size_t>(index)),
                                    config_.ModelInfo);
}

std::uint16_t TpyreonArgo::EncodeTimeValue(float seconds) const {
  return ArgoCodec::EncodeTimeValue(seconds, config_.ModelInfo);
}
