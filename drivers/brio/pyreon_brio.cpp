#include "drivers/brio/pyreon_brio.h"

#include <QFile>
#include <QThread>
#include <QTimer>
#include <cmath>
#include <exception>

#include "drivers/arrival_stamps.h"
#include "drivers/driver_port.h"
#include "drivers/driver_timer.h"
#include "platform/clock.h"
#include "platform/folders.h"
#include "platform/logger.h"
#include "transport/com_port.h"
#include "transport/com_port_error.h"
#include "transport/ring_buffer.h"

namespace {

constexpr int kInputBufferSize = 10000;
// Longest single wait inside an exchange, so a cancel is seen promptly.
constexpr int kReadSliceMs = 50;
// While a burst streams, received bytes are handed on this far apart.
constexpr int kBurstInputBatchMs = 20;
// Failures in a row after which a segment read gives up.
constexpr int kSegmentFailureLimit = 5;

QString HexBytes(const QByteArray& bytes) {
  QString s;
  for (char c : bytes) s += QString::asprintf("%02X ", static_cast<std::uint8_t>(c));
  return s;
}

}  // namespace

TpyreonBrio::TpyreonBrio(QObject* owner) : QObject(owner) {
  CreateComPort();
  connectPoll_ = DriverTimer::Create(this, 1000, [this] { ConnectPollTimer(); });
  burstTimer_ = DriverTimer::Create(this, 100, [this] { BurstParserTimer(); });
  ring_ = DriverPort::CreateRing(this, 10000);
}

TpyreonBrio::~TpyreonBrio() {
  connectPoll_->stop();
  burstTimer_->stop();
  FreeComPort();
}

QByteArray TpyreonBrio::Request(std::initializer_list<int> bytes) {
  QByteArray r;
  for (int b : bytes) r.append(static_cast<char>(b & 0xFF));
  return r;
}

void TpyreonBrio::CreateComPort() {
  port_ = new TComPort(this);
  port_->OnAfterOpen = [this](QObject*) { ComPortAfterOpen(); };
  port_->OnAfterClose = [this](QObject*) { ComPortAfterClose(); };
  port_->SetBaudRate(br9600);
  DriverPort::SetLine8N1(*port_);
  port_->Buffer().SetInputSize(kInputBufferSize);
  port_->OnRxChar = nullptr;
  port_->SetEvents(TComEvents{evRxChar});
  DriverPort::LogLineEvents(*port_, [this](const QString& line) { WriteLog(line); });
  portClosed_ = true;
}

void TpyreonBrio::FreeComPort() {
  if (port_ == nullptr) return;
  TComPort* port = port_;
  port_ = nullptr;
  DriverPort::Dispose(port, [](const std::exception&) {});
  portClosed_ = true;
  connected_ = false;
}

void TpyreonBrio::DropRemovedPort() {
  FreeComPort();
  CreateComPort();
}

bool TpyreonBrio::PortOpen() const { return port_ != nullptr && port_->Connected() && !portClosed_; }

bool TpyreonBrio::ConnectPollActive() const { return connectPoll_->isActive(); }

bool TpyreonBrio::OpenPort() {
  WriteLog(QStringLiteral("Com Port %1 öffnen").arg(comPort_));
  connected_ = false;
  StopBurstParser();
  try {
    if (port_ == nullptr) CreateComPort();
    if (port_->Connected()) {
      port_->OnRxChar = nullptr;
      port_->Close();  // raises the after-close handler synchronously
    }
    port_->SetPort(QStringLiteral("COM") + QString::number(comPort_));
    port_->Parity().SetBits(prNone);
    port_->Timeouts().SetReadInterval(0);
    port_->SetSyncMethod(smThreadSync);
    port_->Open();
    if (!port_->Connected()) return false;
    const QByteArray zeros(10, '\0');
    port_->Write(zeros.constData(), static_cast<int>(zeros.size()));
    port_->ClearBuffer(true, true);
    ring_->Clear(0);
    burstQueue_.clear();
    ClearLoaded();
    return true;
  } catch (const std::exception& e) {
    Logger::Warning(QStringLiteral("COM%1").arg(comPort_),
                    QStringLiteral("opening the port: ") + ExceptionDetails(e));
    return false;
  }
}

void TpyreonBrio::ClosePort() {
  StopBurstParser();
  WriteLog(QStringLiteral("Com Port %1 schliessen").arg(comPort_));
  if (port_ == nullptr) return;
  try {
    port_->Close();
  } catch (const std::exception& e) {
    Logger::Warning(QStringLiteral("COM%1").arg(comPort_),
                    QStringLiteral("closing the port: ") + ExceptionDetails(e));
    // The port is closed and its dispatch stopped in any case.
    if (!port_->Connected() && !portClosed_) ComPortAfterClose();
  }
}

void TpyreonBrio::ComPortAfterOpen() {
  portClosed_ = false;
  if (OnComOpen) OnComOpen(this);
  connectPoll_->start();
  WriteLog(QStringLiteral("Com Port %1 geöffnet").arg(comPort_));
}

void TpyreonBrio::ComPortAfterClose() {
  portClosed_ = true;
  connected_ = false;
  firstChunk_ = true;
  firstFrame_ = true;
  // A closed port has nothing to poll.
  connectPoll_->stop();
  if (OnComClose) OnComClose(this);
  WriteLog(QStringLiteral("Com Port %1 geschlossen").arg(comPort_));
}

void TpyreonBrio::FireError(int code) {
  if (OnError) OnError(this, code);
}

void TpyreonBrio::ClearLoaded() {
  calibration_.Loaded = false;
  config_.Loaded = false;
  vectors_.Loaded = false;
}

void TpyreonBrio::ClearQueues() {
  if (port_ == nullptr || !port_->Connected()) return;
  DriverPort::ClearBuffers(*port_, true, true, [this](const std::exception& e) {
    Logger::Warning(QStringLiteral("COM%1").arg(comPort_),
                    QStringLiteral("clearing the buffers: ") + ExceptionDetails(e));
  });
}

void TpyreonBrio::SetDtr(bool on) {
  if (port_ == nullptr || !port_->Connected()) return;
  try {
    port_->SetDTR(on);
  } catch (const std::exception& e) {
    Logger::Warning(QStringLiteral("COM%1").arg(comPort_),
                    QStringLiteral("setting DTR: ") + ExceptionDetails(e));
  }
}

void TpyreonBrio::SleepMs(int ms) {
  DriverTimer::Sleep(ms, [this] { return Cancelled(); });
}

void TpyreonBrio::SendAndReceive(const QByteArray& request, int timeoutMs, BrioReply& reply, bool noResync,
                                 int expected) {
  reply.Failed = true;
  reply.Data.clear();
  if (!PortOpen()) {
    FireError(brioErrNotOpen);
    return;
  }
  const QString text = QStringLiteral("Sende : ") + HexBytes(request) + QStringLiteral("\t\t\t");
  QByteArray got;
  bool ok = false;
  try {
    port_->ClearBuffer(true, true);
    port_->Timeouts().SetReadInterval(0);
    port_->Timeouts().SetReadTotalMultiplier(0);
    port_->Timeouts().SetReadTotalConstant(kReadSliceMs);
    const int waitMs = timeoutMs * 5;
    for (int attempt = 0; attempt < kTries && !ok && !Cancelled(); ++attempt) {
      WriteLog(QStringLiteral("Senden :\t") + text + QStringLiteral(" Versuch : ") +
               QString::number(attempt));
      port_->Write(request.constData(), static_cast<int>(request.size()));
      // The bytes are on their way before the reply's time runs.
      const auto drainStart = Clock::Now();
      while (port_->OutputCount() > 0 && Clock::MillisecondsSince(drainStart) < 1000) QThread::msleep(1);
      got.resize(expected);
      int n = 0;
      const auto waitStart = Clock::Now();
      while (n < expected && Clock::MillisecondsSince(waitStart) < waitMs && !Cancelled())
        n += port_->Read(got.data() + n, expected - n);
      got.resize(n);
      ok = n == expected;
      if (!ok && !noResync) {
        const QByteArray zeros(5, '\0');
        port_->Write(zeros.constData(), static_cast<int>(zeros.size()));
        SleepMs(50);
        port_->ClearBuffer(true, true);
      }
    }
  } catch (const std::exception& e) {
    Logger::Warning(QStringLiteral("COM%1").arg(comPort_),
                    QStringLiteral("exchange: ") + ExceptionDetails(e));
    ok = false;
  }
  if (ok) {
    WriteLog(text + QStringLiteral("Empfangen : ") + HexBytes(got));
    // A request without an answer proves nothing about the device.
    if (expected > 0) connected_ = true;
    reply.Data = got;
    reply.Failed = false;
    return;
  }
  WriteLog(text + QStringLiteral("Empfangen : TIMEOUT"));
  ClearQueues();
  const bool wasConnected = connected_;
  connected_ = false;
  ClearLoaded();
  // Armed before the events: an owner that closes the port from them stops it again.
  if (!holdPoll_ || wasConnected) connectPoll_->start();
  FireError(brioErrNoAnswer);
  if (wasConnected && OnDisconnect) OnDisconnect(this);
}

void TpyreonBrio::ConnectPollTimer() {
  connectPoll_->stop();
  if (!PortOpen()) {
    FireError(brioErrNotOpen);
    return;
  }
  BrioReply reply;
  SendAndReceive(Request({0x3E, 0x02, 0x00}), 100, reply, false, 2);
  if (!reply.Failed) {
    connected_ = true;
    connectPoll_->stop();
    if (OnConnect) OnConnect(this);
  } else if (PortOpen()) {
    connectPoll_->start();
  }
}

float TpyreonBrio::ReadTemperature(std::uint16_t address, std::uint8_t tempTyp) {
  if (!PortOpen()) return -9999.0f;
  for (int i = 0; i < 6 && PortOpen(); ++i) {
    BrioReply reply;
    SendAndReceive(Request({0x3E, address >> 8, address}), 50, reply, false, 2);
    if (reply.Failed) continue;
    const int w = static_cast<std::uint8_t>(reply.Data[0]) * 256 + static_cast<std::uint8_t>(reply.Data[1]);
    const float t = static_cast<float>(w / 10.0 - 100.0);
    if (OnNewTemp) OnNewTemp(this, tempTyp, t);
    return t;
  }
  FireError(brioErrNoAnswer);
  return -9999.0f;
}

float TpyreonBrio::ReadTargetTemperature() { return ReadTemperature(kTargetTemperature, 1); }
float TpyreonBrio::ReadInternalTemperature() { return ReadTemperature(kInternalTemperature, 2); }
float TpyreonBrio::ReadActualTemperature() { return ReadTemperature(kActualTemperature, 4); }

template <std::size_t Size>
void TpyreonBrio::ReadSegment(TBrioImage<Size>& image, std::uint16_t start, const TbrioReadEvent& event) {
  image.Loaded = false;
  bool complete = PortOpen();
  int failures = 0;
  // A word is read until it comes (or too many tries in a row failed): the
  // image never holds a word the device did not send.
  for (int offset = 0; complete && offset < static_cast<int>(Size);) {
    const int address = start + offset;
    BrioReply reply;
    SendAndReceive(Request({0x3E, address >> 8, address}), 50, reply, false, 2);
    if (reply.Failed) {
      complete = ++failures <= kSegmentFailureLimit && PortOpen() && !Cancelled();
      continue;
    }
    failures = 0;
    image.Data[std::size_t(offset)] = static_cast<std::uint8_t>(reply.Data[1]);
    image.Data[std::size_t(offset) + 1] = static_cast<std::uint8_t>(reply.Data[0]);
    offset += 2;
    if (OnProgress) OnProgress(this, static_cast<int>(std::nearbyint(offset * 100.0 / Size)));
  }
  image.Loaded = complete;
  if (event) event(this, complete);
  if (complete && calibration_.Loaded && config_.Loaded && vectors_.Loaded && OnAllLoaded) OnAllLoaded(this);
}

void TpyreonBrio::ReadCalibrationImage() { ReadSegment(calibration_, kCalibrationAddress, OnLoadCaliData); }
void TpyreonBrio::ReadConfigurationImage() { ReadSegment(config_, kConfigAddress, OnLoadConfigData); }

int TpyreonBrio::ReadEmissivityWord() {
  for (int i = 0; i < 3 && PortOpen() && !Cancelled(); ++i) {
    BrioReply reply;
    SendAndReceive(Request({0x3E, kEmissivity >> 8, kEmissivity & 0xFF}), 50, reply, false, 2);
    if (reply.Failed) continue;
    emissivityWord_ = static_cast<std::uint16_t>(static_cast<std::uint8_t>(reply.Data[0]) << 8 |
                                                 static_cast<std::uint8_t>(reply.Data[1]));
    return emissivityWord_;
  }
  return -1;
}
void TpyreonBrio::ReadVectorImage() { ReadSegment(vectors_, kVectorAddress, OnLoadIntVector); }

void TpyreonBrio::ReadAllImages() {
  ReadCalibrationImage();
  ReadConfigurationImage();
  ReadVectorImage();
}

int TpyreonBrio::ReadMemoryByte(std::uint16_t address) {
  const auto start = Clock::Now();
  const QByteArray request = Request({0x3C, address >> 8, address});
  while (PortOpen() && !Cancelled()) {
    BrioReply first, second;
    SendAndReceive(request, 50, first, false, 1);
    if (!first.Failed) SendAndReceive(request, 50, second, false, 1);
    if (!first.Failed && !second.Failed && first.Data == second.Data)
      return static_cast<std::uint8_t>(first.Data[0]);
    if (Clock::MillisecondsSince(start) > kMemoryWriteTimeoutMs) break;
  }
  return -1;
}

int TpyreonBrio::WriteMemoryByteVerified(std::uint16_t address, std::uint8_t value) {
  const auto start = Clock::Now();
  const QByteArray request = Request({0x3D, address >> 8, address, value});
  while (PortOpen() && !Cancelled()) {
    BrioReply first, second;
    SendAndReceive(request, 10, first, false, 1);
    if (first.Failed) return -1;
    SendAndReceive(request, 10, second, false, 1);
    if (!second.Failed && first.Data == second.Data) return static_cast<std::uint8_t>(first.Data[0]);
    if (Clock::MillisecondsSince(start) > kMemoryWriteTimeoutMs) break;
  }
  return -1;
}

int TpyreonBrio::ReadSerialNumber() {
  int serial = 0;
  for (int i = 0; i < 3; ++i) {
    const int b = ReadMemoryByte(static_cast<std::uint16_t>(kSerialNumber + i));
    if (b < 0) return -1;
    serial = serial * 256 + b;
  }
  return serial;
}

bool TpyreonBrio::PowerOnDevice(bool configure) {
  if (!PortOpen()) {
    FireError(brioErrNotOpenControl);
    return false;
  }
  holdPoll_ = false;
  connected_ = false;
  SetDtr(false);
  SleepMs(2000);
  ClearRxHandler();
  SetDtr(true);
  if (!configure) return true;
  burstTimer_->stop();
  SleepMs(100);
  bool ok = WriteMemoryByteVerified(kOperatingMode, 0x8C) >= 0;
  if (ok) {
    const int flags = ReadMemoryByte(kModeFlags);
    ok = flags >= 0;
    // The device counts as configured only when it was put back to normal
    // operation as well.
    if (ok) ok = WriteMemoryByteVerified(kModeFlags, static_cast<std::uint8_t>(flags | 0x10)) >= 0;
    if (ok) ok = WriteMemoryByteVerified(kOperatingMode, 0x80) >= 0;
  }
  if (PortOpen()) connectPoll_->start();
  return ok;
}

void TpyreonBrio::EnterLoopMaintenance() {
  if (!PortOpen()) {
    FireError(brioErrNotOpenControl);
    ClosePort();
    return;
  }
  holdPoll_ = true;
  SetDtr(false);
  SleepMs(2000);
  ClearRxHandler();
  SetDtr(true);
  burstTimer_->stop();
  SleepMs(100);
  BrioReply reply;
  SendAndReceive(Request({0x3D, 0x02, 0x61, 0x90}), 50, reply, false, 1);
  SendAndReceive(Request({0x3D, 0x02, 0x64, 0x02}), 50, reply, false, 0);
}

void TpyreonBrio::LeaveLoopMaintenance() {
  BrioReply reply;
  SendAndReceive(Request({0x3D, 0x02, 0x61, 0x80}), 50, reply, false, 0);
}

std::uint16_t TpyreonBrio::LoopOutputWord(float t) {
  const double w = std::nearbyint(static_cast<double>(t) * 10.0 + 1000.0);
  if (!(w >= 0.0)) return 0;  // also NaN
  if (w > 65535.0) return 65535;
  return static_cast<std::uint16_t>(w);
}

void TpyreonBrio::SetLoopOutputTemperature(float t) {
  const std::uint16_t w = LoopOutputWord(t);
  BrioReply reply;
  SendAndReceive(Request({0x3A, 0x02, 0x12, w >> 8, w}), 50, reply, false, 0);
}

bool TpyreonBrio::WriteConfiguration(const BrioConfigImage& image) {
  // The loader's password is the vector table: only one read from this
  // device in this connection may be sent, and only over a configuration
  // segment that was read in this connection too. Checked before anything is sent,
  // since a failed exchange on the way clears the Loaded flags.
  if (!PortOpen() || !image.Loaded || !config_.Loaded || !vectors_.Loaded) {
    Logger::Warning(QStringLiteral("COM%1").arg(comPort_),
                    QStringLiteral("configuration not written: the images were not read from this device"));
    return false;
  }
  const BrioVectorImage vectors = vectors_;
  TBrioBootLoader loader(*this);
  // Start, password, the two segments, the block, the restart.
  constexpr int kSteps = 6;
  loader.SetProgress(kSteps, [this](int done, int total) {
    if (OnProgress) OnProgress(this, done * 100 / total);
  });
  if (!loader.StartBootloader()) return false;
  bool ok = loader.SendBootloaderPassword(vectors.Data);
  if (ok) {
    ok = false;
    const int segments[] = {1000, 1010};
    for (int attempt = 0; attempt < 4 && !ok && PortOpen(); ++attempt)
      ok = loader.EraseSegments(segments) && loader.ProgramBlock(kConfigAddress, image.Data);
  }
  if (ok) ok = loader.LoadProgramCounter(vectors.WordAt(30));
  if (ok) {
    connected_ = false;
    connectPoll_->start();
  }
  loader.RestoreParity();
  return ok;
}

QByteArray TpyreonBrio::LoaderExchange(const QByteArray& request, int timeoutMs, int expected) {
  BrioReply reply;
  SendAndReceive(request, timeoutMs, reply, true, expected);
  return reply.Data;
}

void TpyreonBrio::LoaderSend(const QByteArray& request) {
  BrioReply reply;
  SendAndReceive(request, 10, reply, true, 0);
}

void TpyreonBrio::LoaderEnableDtr() {
  if (port_ == nullptr) return;
  try {
    port_->FlowControl().SetControlDTR(dtrEnable);
  } catch (const std::exception& e) {
    Logger::Warning(QStringLiteral("COM%1").arg(comPort_),
                    QStringLiteral("enabling DTR control: ") + ExceptionDetails(e));
  }
  SetDtr(true);
}

void TpyreonBrio::LoaderSetEvenParity(bool even) {
  if (port_ == nullptr) return;
  try {
    port_->Parity().SetBits(even ? prEven : prNone);
  } catch (const std::exception& e) {
    Logger::Warning(QStringLiteral("COM%1").arg(comPort_), QStringLiteral("parity: ") + ExceptionDetails(e));
  }
}

QString TpyreonBrio::LogFileName() const {
  return Folders::WritableProgramFolderOr(QStringLiteral("ThermaSentinel")) +
         QStringLiteral("/LogFile COM ") + QString::number(comPort_) + QStringLiteral(".log");
}

void TpyreonBrio::WriteLog(const QString& text) {
  if (!logFile_ || text.isEmpty()) return;
  if (text.at(0) == QChar(1)) {
    QFile::remove(LogFileName());
    return;
  }
  Logger::AppendToFile(LogFileName(), text);
}

// --- Burst ---------------------------------------------------------------------------

class TpyreonBrio::ParserSink : public TBrioBurstParser::Listener {
 public:
  explicit ParserSink(TpyreonBrio& driver) : driver_(driver) {}
  void OnFrame(const TBrioBurstFrame& frame) override {
    TBrioBurstRecord record;
    for (int k = 0; k < frame.Count && k < static_cast<int>(record.Values.size()); ++k)
      record.Values[std::size_t(k)] = frame.Values[std::size_t(k)];
    record.Time = static_cast<float>(frame.Time);
    driver_.burstQueue_.push_back(record);
    driver_.WriteLog(QStringLiteral("korrekten Burst erhalten"));
    if (driver_.firstFrame_) {
      driver_.firstFrame_ = false;
      driver_.firstFrameTime_ = record.Time;
      if (driver_.OnBusrtStart) driver_.OnBusrtStart(&driver_);
    }
  }
  void OnBadFrame() override { driver_.WriteLog(QStringLiteral("fehlerhaften Burst erhalten")); }
  void OnNoSync() override { driver_.WriteLog(QStringLiteral("Keinen Start gefunden !")); }

 private:
  TpyreonBrio& driver_;
};

int TpyreonBrio::BurstFrameLengthFor(const std::array<std::uint16_t, 5>& channels) {
  int n = 0;
  while (n < 5 && channels[std::size_t(n)] != 0) ++n;
  return 2 + 2 * n;
}

BrioConfigImage TpyreonBrio::BurstImage(BrioConfigImage image, const std::array<std::uint16_t, 5>& channels) {
  for (std::size_t k = 0; k < channels.size(); ++k) {
    image.Data[106 + 2 * k] = static_cast<std::uint8_t>(channels[k] & 0xFF);
    image.Data[107 + 2 * k] = static_cast<std::uint8_t>(channels[k] >> 8);
  }
  image.Data[116] = 0;
  image.Data[117] = 0;
  image.Data[44] |= 0x88;
  return image;
}

bool TpyreonBrio::BurstParserActive() const { return burstTimer_->isActive(); }

void TpyreonBrio::StopBurstParser() {
  burstTimer_->stop();
  ClearRxHandler();
}

void TpyreonBrio::ClearRxHandler() {
  if (port_ == nullptr) return;
  port_->OnRxChar = nullptr;
  port_->SetInputBatchInterval(0);
}

bool TpyreonBrio::StartBurst(std::uint16_t c1, std::uint16_t c2, std::uint16_t c3, std::uint16_t c4,
                             std::uint16_t c5) {
  // Programming an image that was never read would overwrite the device's
  // configuration with whatever the driver holds: nothing is sent then.
  if (!PortOpen() || !config_.Loaded || !vectors_.Loaded) {
    Logger::Warning(QStringLiteral("COM%1").arg(comPort_),
                    QStringLiteral("burst not started: the images were not read from this device"));
    return false;
  }
  const std::array<std::uint16_t, 5> channels{c1, c2, c3, c4, c5};
  config_ = BurstImage(config_, channels);
  parser_.SetChannelCount((BurstFrameLengthFor(channels) - 2) / 2);
  const bool written = WriteConfiguration(config_);
  PrepareBurst();
  SleepMs(500);
  PowerOnDevice(false);
  connectPoll_->stop();
  firstChunk_ = true;
  firstFrame_ = true;
  parserBusy_ = false;
  ClearQueues();
  ring_->Clear(0);
  burstQueue_.clear();
  if (port_ != nullptr && PortOpen()) {
    port_->OnRxChar = [this](QObject*, int count) { BurstRxChar(count); };
    // The stream is handed on in batches: the driver's thread wakes a
    // bounded number of times a second, and every byte keeps its arrival time.
    port_->SetInputBatchInterval(kBurstInputBatchMs);
    burstTimer_->start();
  }
  return written;
}

void TpyreonBrio::PrepareBurst() {
  if (!PortOpen()) {
    FireError(brioErrNotOpenControl);
    return;
  }
  connected_ = false;
  ClearLoaded();
  connectPoll_->start();
  SetDtr(false);
  burstTimer_->start();
}

void TpyreonBrio::BurstRxChar(int count) {
  if (port_ == nullptr) return;
  try {
    DriverPort::SetReadQueuedAtOnce(*port_);
    int pending = std::max(count, port_->InputCount());
    while (pending > 0) {
      const int got = port_->Read(rxScratch_, std::min<int>(pending, static_cast<int>(sizeof(rxScratch_))));
      if (got <= 0) break;
      // The chunk's bytes get times spread evenly since the previous chunk;
      // the first chunk after a start is the burst's time zero.
      ArrivalStamps::Put(*ring_, rxScratch_, got, Clock::ToCounter(port_->LastArrival()),
                         ArrivalStamps::kStartAtArrival, firstChunk_, lastChunk_);
      pending = port_->InputCount();
    }
  } catch (const std::exception& e) {
    Logger::Warning(QStringLiteral("COM%1").arg(comPort_),
                    QStringLiteral("burst read: ") + ExceptionDetails(e));
  }
}

void TpyreonBrio::BurstParserTimer() {
  burstTimer_->stop();
  if (parserBusy_) return;
  parserBusy_ = true;
  ParserSink sink(*this);
  try {
    parser_.Pass(*ring_, sink);
  } catch (const std::exception& e) {
    Logger::Warning(QStringLiteral("COM%1").arg(comPort_),
                    QStringLiteral("burst parser: ") + ExceptionDetails(e));
    WriteLog(QStringLiteral("EXCEPTION in PYREONBrio BURSTTIMER !"));
  }
  parserBusy_ = false;
  if (PortOpen()) burstTimer_->start();
}

bool TpyreonBrio::GetNextBurstEntry(TBrioBurstRecord& entry) {
  entry = TBrioBurstRecord();
  try {
    if (burstQueue_.empty()) return false;
    WriteLog(QStringLiteral("Burst Auslesen ") + QString::number(burstQueue_.size()));
    entry = burstQueue_.front();
    entry.Time = static_cast<float>(entry.Time - firstFrameTime_);
    burstQueue_.pop_front();
    return true;
  } catch (const std::exception& e) {
    // The entry stays queued for the next call.
    Logger::Warning(QStringLiteral("COM%1").arg(comPort_),
                    QStringLiteral("burst entry: ") + ExceptionDetails(e));
    entry = TBrioBurstRecord();
    WriteLog(QStringLiteral("EXCEPTION in PYREON Brio GETNEXTBURSTENTRY !"));
    return false;
  }
}
