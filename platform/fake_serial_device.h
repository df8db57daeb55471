#pragma once

#include <QString>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/fake_serial_line.h"
#include "platform/queued_serial_device.h"

// An in-process serial device for tests, bound to a FakeSerialLine.
//
// It behaves like a real line towards its owner: its own I/O thread delivers
// injected input into the same input queue and read time-out engine the
// real backends use, raises the masked events, and reports a hang-up once.
// Writes complete at once and are handed to the line.
class FakeSerialDevice : public QueuedSerialDevice {
 public:
  // Makes `line` reachable under `name` through SerialDevice::CreateFor.
  static void Register(const QString& name, std::shared_ptr<FakeSerialLine> line);
  static void Unregister(const QString& name);
  // The line registered under `name`, or null.
  static std::shared_ptr<FakeSerialLine> Find(const QString& name);

  // A device bound to `line`; Open then ignores the path's registration.
  explicit FakeSerialDevice(std::shared_ptr<FakeSerialLine> line = nullptr);
  ~FakeSerialDevice() override;

  int Open(const QString& path) override;
  int Close() override;
  bool IsOpen() const override;

  int Configure(const SerialLineSettings& settings) override;
  int SetTimeouts(const SerialTimeouts& timeouts) override;
  int SetQueueSizes(int inputSize, int outputSize) override;

  // With the line's immediate input and nothing pending, no input can come
  // while the reader waits: the read returns at once with what is queued.
  int Read(std::span<std::uint8_t> buffer, int& transferred) override;
  int Write(std::span<const std::uint8_t> data, int& transferred) override;

  int OutputCount(int& count) override;
  int CommErrors(std::uint32_t& errors) override;
  int ModemStatus(std::uint32_t& status) override;
  int Purge(std::uint32_t flags) override;
  int SetDtr(bool on) override;
  int SetRts(bool on) override;

  std::shared_ptr<FakeSerialLine> Line() const { return line_; }

 private:
  friend class FakeSerialLine;

  void Run();

  std::shared_ptr<FakeSerialLine> line_;
  bool boundAtCreation_ = false;
  std::atomic<bool> open_{false};
  bool stop_ = false;            // guarded by the line's mutex
  bool txEmptyPending_ = false;  // guarded by the line's mutex
  std::thread thread_;
};
