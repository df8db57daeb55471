#pragma once

#include <QString>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <mutex>
#include <thread>

#include "platform/serial_device.h"
#include "platform/serial_input_queue.h"

// A serial line on a Linux terminal device (UART, USB adapter, pty).
//
// Opened exclusively (flock and TIOCEXCL, so a second open fails with
// SerialStatus::AccessDenied, also within one process and for root), in raw
// mode. One I/O thread per open device is the only reader of the fd: it
// sleeps in poll() on the fd and a wake-up eventfd, appends what arrives to
// the input queue and reports the masked events. A hang-up is reported once;
// afterwards the thread only waits for its stop signal.
class TtyDevice : public SerialDevice {
 public:
  TtyDevice();
  ~TtyDevice() override;

  TtyDevice(const TtyDevice&) = delete;
  TtyDevice& operator=(const TtyDevice&) = delete;

  int Open(const QString& path) override;
  int Close() override;
  bool IsOpen() const override;

  int Configure(const SerialLineSettings& settings) override;
  int SetTimeouts(const SerialTimeouts& timeouts) override;
  int SetQueueSizes(int inputSize, int outputSize) override;

  int Read(std::span<std::uint8_t> buffer, int& transferred) override;
  int Write(std::span<const std::uint8_t> data, int& transferred) override;

  int InputCount(int& count) override;
  int OutputCount(int& count) override;
  int CommErrors(std::uint32_t& errors) override;
  int ModemStatus(std::uint32_t& status) override;
  int Purge(std::uint32_t flags) override;
  int SetDtr(bool on) override;
  int SetRts(bool on) override;

  void SetEventMask(std::uint32_t mask) override;
  void SetEventCallback(EventCallback callback) override;

  // CPU time the I/O thread has used so far in this open (for tests that
  // check it sleeps when idle); -1 when no thread runs.
  double IoThreadCpuSeconds() const;

 private:
  void Run();
  void Raise(std::uint32_t events);
  void Wake();
  int SetModemLine(int bit, bool on, const char* name);
  void LogOnce(std::atomic<bool>& flag, const char* what, int err);

  // Unsupported-feature notes go to stderr once per process.
  static std::atomic<bool> loggedParity_;
  static std::atomic<bool> loggedModem_;

  QString path_;
  int fd_ = -1;
  int wakeFd_ = -1;     // stops and nudges the I/O thread
  int txAbortFd_ = -1;  // wakes a blocked writer
  std::atomic<std::uint64_t> txAbortCount_{0};
  std::atomic<bool> stop_{false};
  std::atomic<bool> hungUp_{false};
  std::atomic<bool> txPending_{false};
  std::thread thread_;
  std::atomic<clockid_t> threadClock_{0};
  std::atomic<bool> threadClockValid_{false};
  std::mutex writersMutex_;  // lets Close wait for a writer woken by it
  std::condition_variable writersDone_;
  int activeWriters_ = 0;
  std::mutex rxMutex_;  // the I/O thread's read-and-append against a purge
  SerialInputQueue queue_;
  SerialTimeouts timeouts_{};
  SerialLineSettings settings_{};
  bool configured_ = false;
  std::atomic<int> baudRate_{9600};
  std::atomic<std::uint32_t> eventMask_{0};
  std::mutex callbackMutex_;
  EventCallback callback_;
};
