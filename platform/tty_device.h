#pragma once

#include <QString>
#include <atomic>
#include <cstdint>
#include <ctime>

#include "platform/fd_serial_device.h"

// A serial line on a Linux terminal device (UART, USB adapter, pty).
//
// Opened exclusively (flock and TIOCEXCL, so a second open fails with
// SerialStatus::AccessDenied, also within one process and for root), in raw
// mode. One I/O thread per open device is the only reader of the fd: it
// sleeps in poll() on the fd and a wake-up eventfd, appends what arrives to
// the input queue and reports the masked events. A hang-up is reported once;
// afterwards the thread only waits for its stop signal.
class TtyDevice : public FdSerialDevice {
 public:
  TtyDevice();
  ~TtyDevice() override;

  int Open(const QString& path) override;
  int Close() override;

  int Configure(const SerialLineSettings& settings) override;
  int OutputCount(int& count) override;
  int ModemStatus(std::uint32_t& status) override;
  int Purge(std::uint32_t flags) override;
  int SetDtr(bool on) override;
  int SetRts(bool on) override;
  void SetInputBatchInterval(int ms) override { batchMs_ = ms > 0 ? ms : 0; }

  // CPU time the I/O thread has used so far in this open (for tests that
  // check it sleeps when idle); -1 when no thread runs.
  double IoThreadCpuSeconds() const;

 private:
  void Run() override;
  int WriteAvailable(std::span<const std::uint8_t> data, std::size_t& done) override;
  int ReleaseLine() override;
  int SetModemLine(int bit, bool on, const char* name);
  void LogOnce(std::atomic<bool>& flag, const char* what, int err);

  // Unsupported-feature notes go to the log once per process.
  static std::atomic<bool> loggedParity_;
  static std::atomic<bool> loggedModem_;

  QString path_;
  std::atomic<clockid_t> threadClock_{0};
  std::atomic<bool> threadClockValid_{false};
  std::atomic<int> baudRate_{9600};
  std::atomic<int> batchMs_{0};
};
