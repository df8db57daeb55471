#pragma once

#include <QThread>
#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>

class QObject;

// Probes one serial port for a single-colour device on a thread of its own.
//
// The port number is resolved through the port map (PortMap) and opened
// directly as a SerialDevice (a tty, or an rfc2217:// entry), not through
// the port component: the probe does its own blocking reads with a 350 ms
// deadline. It tries 9600, 19200, 38400, 57600 and 115200 baud in turn,
// stops a device that streams, asks for the identification (18 bytes
// expected) and twice for the 24-bit serial number, and accepts the device
// when both numbers agree and lie in the range of this family. A search
// given a first rate (SetFirstBaudRate, the rate stored with the device)
// tries that one first and the others after it in rising order.
//
// While it works it posts a heartbeat to the receiver set with
// SetWindowHandle: a QEvent of type MessageNo(), posted and never waited
// for, so a busy receiver thread never holds the search up.
//
// A search given up (QThread::requestInterruption) ends after the read it
// is waiting for, with nothing found.
//
// The results are written once, when the search has ended, and Done() turns
// true after them (release); a reader that has seen Done() (acquire) reads
// the results the search wrote. Before Done() the results read as nothing
// found.
class TArgosuche : public QThread {
 public:
  // Timeout() right after construction.
  static constexpr std::uint16_t kInitialTimeout = 100;
  // The rates a search tries, in rising order (baud index 0..4).
  static constexpr std::array<int, 5> kBaudRates{9600, 19200, 38400, 57600, 115200};

  // Starts the thread at once unless `createSuspended`; a suspended search
  // runs when Resume() (or start()) is called.
  TArgosuche(bool createSuspended, std::uint8_t port, QObject* parent = nullptr);
  // Waits for the search to end.
  ~TArgosuche() override;

  TArgosuche(const TArgosuche&) = delete;
  TArgosuche& operator=(const TArgosuche&) = delete;

  void Resume() { start(); }

  std::uint8_t Port() const { return port_; }

  // The heartbeat's receiver; null (none) after construction. Once
  // SetWindowHandle(nullptr) has returned, no heartbeat is posted to the
  // previous receiver any more, so it may then be deleted.
  void SetWindowHandle(QObject* receiver);
  QObject* WindowHandle() const;
  // The heartbeat's event type.
  void SetMessageNo(std::uint16_t messageNo) { messageNo_.store(messageNo, std::memory_order_relaxed); }
  std::uint16_t MessageNo() const { return messageNo_.load(std::memory_order_relaxed); }
  // Kept for the scan dialog; the search itself uses fixed read deadlines.
  void SetTimeout(std::uint16_t timeout) { timeout_.store(timeout, std::memory_order_relaxed); }
  std::uint16_t Timeout() const { return timeout_.load(std::memory_order_relaxed); }

  // The rate tried first (set before the search runs); 0 or a rate not in
  // kBaudRates: none, all in rising order.
  void SetFirstBaudRate(int baud) { firstBaud_.store(baud, std::memory_order_relaxed); }
  int FirstBaudRate() const { return firstBaud_.load(std::memory_order_relaxed); }
  // The order the rates are tried in with `first` tried first.
  static std::array<int, 5> BaudRateOrder(int first);

  // True once the search has ended and the results are written.
  bool Done() const { return done_.load(std::memory_order_acquire); }
  std::uint8_t ResultPort() const { return resultPort_.load(std::memory_order_relaxed); }
  bool ResultFound() const { return resultFound_.load(std::memory_order_relaxed); }
  // The 24-bit serial number; 0 when nothing was found.
  std::uint32_t ResultSerial() const { return resultSerial_.load(std::memory_order_relaxed); }
  // 9600 .. 115200; 0 when nothing was found.
  int ResultBaud() const { return resultBaud_.load(std::memory_order_relaxed); }

  // Whether a serial-number answer belongs to a device of this family.
  static bool SerialAccepted(std::uint32_t serial);

 protected:
  void run() override { Execute(); }
  // Runs the search, then writes the results and sets Done last.
  void Execute();
  // Posts the heartbeat when a receiver is set; never waits for it.
  void PostProgress();

 private:
  void Search();
  // Probes at one rate; returns false when the search must end.
  bool ProbeAt(class SerialDevice& line, int baud);

  const std::uint8_t port_;
  mutable std::mutex receiverMutex_;  // held only around posting and setting
  QObject* receiver_ = nullptr;
  std::atomic<std::uint16_t> messageNo_{0};
  std::atomic<std::uint16_t> timeout_{kInitialTimeout};
  std::atomic<int> firstBaud_{0};

  // Written by the search thread only.
  bool found_ = false;
  std::uint32_t serial_ = 0;
  int baud_ = 0;

  std::atomic<std::uint8_t> resultPort_{0};
  std::atomic<bool> resultFound_{false};
  std::atomic<std::uint32_t> resultSerial_{0};
  std::atomic<int> resultBaud_{0};
  std::atomic<bool> done_{false};
};
