#include "drivers/argosuche.h"

#include <QCoreApplication>
#include <QEvent>
#include <algorithm>
#include <array>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "platform/port_map.h"
#include "platform/serial_device.h"

namespace {

// Every read waits at most this long for its full count.
constexpr std::uint32_t kReadDeadlineMs = 350;
constexpr std::size_t kZeroRunLength = 15;
constexpr int kStopRepeats = 11;
// Ten filler bytes, then "burst off" with its checksum.
constexpr std::array<std::uint8_t, 13> kStopSequence{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x52, 0x00, 0x52};
constexpr std::uint8_t kIdentify = 0x2A;
constexpr int kIdentifyLength = 18;
constexpr std::uint8_t kSerialRequest = 0x0E;
constexpr int kDrainSlackMs = 100;
// The least wait before a purge, for lines whose far end takes the bytes
// from a buffer of its own (a pseudo-terminal, a network port).
constexpr auto kDrainFloor = std::chrono::milliseconds(5);

constexpr std::uint32_t kSerialMin = 10000;
constexpr std::uint32_t kSerialMax = 11129999;

// A transfer failed (the line hung up or the device went away): the search
// ends with what it has found so far.
struct LineFailure {};

int WriteBytes(SerialDevice& line, std::span<const std::uint8_t> bytes) {
  int written = 0;
  if (line.Write(bytes, written) != SerialStatus::Ok) throw LineFailure{};
  return written;
}

std::vector<std::uint8_t> ReadUpTo(SerialDevice& line, std::size_t count) {
  std::vector<std::uint8_t> buffer(count);
  int got = 0;
  if (line.Read(buffer, got) != SerialStatus::Ok) throw LineFailure{};
  buffer.resize(static_cast<std::size_t>(got));
  return buffer;
}

// How long `bytes` take on the wire at `baud` (ten bits a byte).
std::chrono::microseconds LineTime(std::size_t bytes, int baud) {
  return std::chrono::microseconds(static_cast<std::int64_t>(bytes) * 10 * 1'000'000 / baud);
}

// A write returns once the bytes are queued, not once they have left the
// line: purging the output right after it would throw them away. So wait
// until the output queue is empty and at least the line time of what was
// written has passed (the UART's own buffer, or the far end of a
// pseudo-terminal, is not counted in the queue), then purge both ways.
void DrainThenPurge(SerialDevice& line, std::size_t bytesWritten, int baud) {
  using Clock = std::chrono::steady_clock;
  const auto written = Clock::now();
  const auto lineTime = std::max<std::chrono::microseconds>(LineTime(bytesWritten, baud), kDrainFloor);
  const auto giveUp = written + 2 * lineTime + std::chrono::milliseconds(kDrainSlackMs);
  for (;;) {
    int queued = 0;
    if (line.OutputCount(queued) != SerialStatus::Ok) throw LineFailure{};
    if (queued <= 0 || Clock::now() >= giveUp) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  std::this_thread::sleep_until(written + lineTime + std::chrono::milliseconds(1));
  if (line.Purge(SerialPurge::TxClear | SerialPurge::RxClear) != SerialStatus::Ok) throw LineFailure{};
}

std::uint32_t SerialFromBytes(const std::vector<std::uint8_t>& b) {
  return (std::uint32_t{b[0]} << 16) | (std::uint32_t{b[1]} << 8) | b[2];
}

SerialLineSettings ProbeLineSettings(int baud) {
  // Binary 8N1, no flow control, no parity check, DTR and RTS off; the
  // control characters all zero.
  SerialLineSettings s;
  s.baudRate = baud;
  s.dataBits = 8;
  s.parity = SerialLineSettings::Parity::None;
  s.stopBits = SerialLineSettings::StopBits::One;
  s.xonChar = 0;
  s.xoffChar = 0;
  s.eventChar = 0;
  s.xonLimit = 0;
  s.xoffLimit = 0;
  s.dtrControl = SerialLineSettings::DtrControl::Disable;
  s.rtsControl = SerialLineSettings::RtsControl::Disable;
  return s;
}

}  // namespace

TArgosuche::TArgosuche(bool createSuspended, std::uint8_t port, QObject* parent)
    : QThread(parent), port_(port) {
  if (!createSuspended) start();
}

TArgosuche::~TArgosuche() { wait(); }

void TArgosuche::SetWindowHandle(QObject* receiver) {
  std::lock_guard lock(receiverMutex_);
  receiver_ = receiver;
}

QObject* TArgosuche::WindowHandle() const {
  std::lock_guard lock(receiverMutex_);
  return receiver_;
}

std::array<int, 5> TArgosuche::BaudRateOrder(int first) {
  std::array<int, 5> order = kBaudRates;
  const auto it = std::find(order.begin(), order.end(), first);
  // The first rate moves to the front; the others keep their rising order.
  if (it != order.end()) std::rotate(order.begin(), it, it + 1);
  return order;
}

bool TArgosuche::SerialAccepted(std::uint32_t serial) {
  const std::uint32_t hundredThousands = (serial % 1000000) / 100000;
  return serial >= kSerialMin && serial <= kSerialMax && hundredThousands <= 1;
}

void TArgosuche::Execute() {
  Search();
  resultPort_.store(port_, std::memory_order_relaxed);
  resultFound_.store(found_, std::memory_order_relaxed);
  resultSerial_.store(found_ ? serial_ : 0, std::memory_order_relaxed);
  resultBaud_.store(found_ ? baud_ : 0, std::memory_order_relaxed);
  done_.store(true, std::memory_order_release);
}

void TArgosuche::PostProgress() {
  // postEvent only queues: it never waits for the receiver's thread.
  std::lock_guard lock(receiverMutex_);
  if (receiver_) QCoreApplication::postEvent(receiver_, new QEvent(static_cast<QEvent::Type>(MessageNo())));
}

void TArgosuche::Search() {
  const QString path = PortMap::FromEnvironment().PathForNumber(port_);
  std::unique_ptr<SerialDevice> line;
  if (!path.isEmpty()) {
    line = SerialDevice::CreateFor(path);
    if (line->Open(path) != SerialStatus::Ok) line.reset();
  }
  PostProgress();
  if (!line) return;

  const std::array<int, 5> rates = BaudRateOrder(FirstBaudRate());
  // The line starts at the rate tried first: it sends nothing at any other.
  const int configured = line->Configure(ProbeLineSettings(rates.front()));
  PostProgress();
  if (configured != SerialStatus::Ok) {
    line->Close();
    return;
  }
  PostProgress();  // the time-outs in force were looked at
  SerialTimeouts timeouts;
  timeouts.readInterval = 0;
  timeouts.readTotalMultiplier = 0;
  timeouts.readTotalConstant = kReadDeadlineMs;
  timeouts.writeTotalMultiplier = 1;
  timeouts.writeTotalConstant = 1;
  const int timed = line->SetTimeouts(timeouts);
  PostProgress();
  if (timed != SerialStatus::Ok) {
    // Without the deadlines the reads below would not wait for answers.
    line->Close();
    return;
  }

  try {
    for (const int baud : rates) {
      if (isInterruptionRequested() || !ProbeAt(*line, baud) || found_) break;
    }
  } catch (const LineFailure&) {
    // The line failed: end with what was found so far.
  }
  line->Close();
}

bool TArgosuche::ProbeAt(SerialDevice& line, int baud) {
  const SerialLineSettings settings = ProbeLineSettings(baud);
  if (line.Configure(settings) != SerialStatus::Ok) throw LineFailure{};
  PostProgress();

  const std::array<std::uint8_t, kZeroRunLength> zeros{};
  if (WriteBytes(line, zeros) < 1) return false;
  for (const std::uint8_t zero : zeros) WriteBytes(line, std::span(&zero, 1));
  PostProgress();

  // A search given up (requestInterruption) ends after the read under way.
  const bool streams = !ReadUpTo(line, 255).empty();
  if (isInterruptionRequested()) return false;
  if (streams) {
    // A device that streams: stop it, throwing away what it sent meanwhile.
    for (int i = 0; i < kStopRepeats; ++i) {
      WriteBytes(line, kStopSequence);
      DrainThenPurge(line, kStopSequence.size(), baud);
    }
    WriteBytes(line, zeros);
  }
  PostProgress();
  ReadUpTo(line, 255);
  if (isInterruptionRequested()) return false;

  if (WriteBytes(line, std::span(&kIdentify, 1)) != 1) return true;
  if (ReadUpTo(line, kIdentifyLength + 1).size() != kIdentifyLength) return true;
  if (isInterruptionRequested()) return false;

  WriteBytes(line, std::span(&kSerialRequest, 1));
  const auto first = ReadUpTo(line, 3);
  if (first.size() != 3) return true;
  if (isInterruptionRequested()) return false;
  PostProgress();
  WriteBytes(line, std::span(&kSerialRequest, 1));
  const auto second = ReadUpTo(line, 3);
  if (second.size() != 3) return true;

  const std::uint32_t serial = SerialFromBytes(first);
  if (serial == SerialFromBytes(second) && SerialAccepted(serial)) {
    found_ = true;
    serial_ = serial;
    baud_ = baud;
  }
  return true;
}
