#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "platform/serial_device.h"
#include "platform/serial_input_queue.h"

// What every serial line backend shares above its transport: the input
// queue fed by the backend's I/O thread with its read time-out engine, the
// time-outs, the line settings last configured, the hang-up flag and the
// event mask and callback.
//
// A backend opens and closes its line, configures it and moves bytes out;
// reads, input counts, line errors and event reporting are served here.
class QueuedSerialDevice : public SerialDevice {
 public:
  QueuedSerialDevice(const QueuedSerialDevice&) = delete;
  QueuedSerialDevice& operator=(const QueuedSerialDevice&) = delete;

  int SetTimeouts(const SerialTimeouts& timeouts) override;
  int SetQueueSizes(int inputSize, int outputSize) override;
  int Read(std::span<std::uint8_t> buffer, int& transferred) override;
  int InputCount(int& count) override;
  int CommErrors(std::uint32_t& errors) override;
  void SetEventMask(std::uint32_t mask) override;
  void SetEventCallback(EventCallback callback) override;
  std::chrono::steady_clock::time_point LastArrival() const override { return queue_.LastArrival(); }

 protected:
  QueuedSerialDevice() = default;

  // Whether Configure can apply `settings` at all (positive rate, 5 to 8
  // data bits, no 1.5 stop bits).
  static bool SettingsSupported(const SerialLineSettings& settings);

  // Prepares the shared state for a new open: empty queue, not hung up,
  // not configured yet.
  void ResetForOpen();
  // Records `settings` as the line's current ones once the backend applied
  // them, and hands the event character and null discarding to the queue.
  void AdoptSettings(const SerialLineSettings& settings);

  // Reports the `events` the mask selects (HangUp always) to the callback.
  void Raise(std::uint32_t events);
  std::uint32_t EventMask() const { return eventMask_.load(); }

  SerialInputQueue queue_;
  SerialTimeouts timeouts_{};
  SerialLineSettings settings_{};  // as last configured in this open
  bool configured_ = false;        // Configure succeeded since the open
  std::atomic<bool> hungUp_{false};

 private:
  std::atomic<std::uint32_t> eventMask_{0};
  std::mutex callbackMutex_;
  EventCallback callback_;
};
