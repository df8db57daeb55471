#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "tools/devsim/device_model.h"

// The line between one served model and its host, shared by every
// transport (pseudo-terminal, RFC 2217, in-process).
//
// It hands the host's bytes and line changes to the model, keeps what the
// model sends and releases it at the line rate: byte k of a stream that
// starts on an idle line reaches the host at start + (k + 1) * 10 bit times.
// The schedule is kept as absolute deadlines, so late wake-ups do not add
// up. Every call into the model happens under one lock, whichever thread
// makes it; the transport does its own I/O outside that lock.
class ModelLine final : public DeviceLink {
 public:
  using Clock = DeviceModel::Clock;

  explicit ModelLine(std::shared_ptr<DeviceModel> model);
  ~ModelLine() override;
  ModelLine(const ModelLine&) = delete;
  ModelLine& operator=(const ModelLine&) = delete;

  // Called (under the lock, must not block) when output was queued or the
  // model vanished, so the transport thread re-plans its wait.
  void SetWakeHandler(std::function<void()> handler);

  std::shared_ptr<DeviceModel> Model() const { return model_; }
  // Runs `fn` with the model and this link under the lock; the transport
  // is woken afterwards so output queued by `fn` goes out.
  void Access(const std::function<void(DeviceModel&, DeviceLink&)>& fn);

  // Forgets the host's line state, the queued output and a vanish, without
  // telling the model (a server starting anew).
  void Reset();

  // --- Host side, called by the transport.
  // Bytes that arrived while the host's line ran at `hostBaud`; they reach
  // the model only when that equals the model's rate. Returns whether they
  // were delivered.
  bool HostBytes(std::span<const std::uint8_t> bytes, int hostBaud);
  // The host's line rate as seen now; the model hears of changes only.
  void HostBaudRate(int baud);
  int LastHostBaudRate() const;
  // The rates the host sent bytes at, in order, each run of bytes at one
  // rate counted once (whether the model's rate or not): what a host that
  // hunts for the device's rate tried, and in which order.
  std::vector<int> HostSendingRates() const;
  // Modem lines and parity: the model hears of changes only.
  void HostDtr(bool on);
  void HostRts(bool on);
  void HostParity(SerialLineSettings::Parity parity);
  // Every purge request is passed on (SerialPurge bits).
  void HostPurge(std::uint32_t flags);
  // The host closed its end (connection dropped): modem lines fall, as they
  // do when a port is closed; parity returns to the default.
  void HostClosed();

  // --- Timing, called by the transport.
  bool WantsTicks() const;
  void Tick(Clock::time_point now);
  // Appends to `out` the queued bytes whose transmission has ended by `now`.
  void TakeDue(Clock::time_point now, std::vector<std::uint8_t>& out);
  // When the next queued byte will have been transmitted; none when the
  // queue is empty.
  std::optional<Clock::time_point> NextDue() const;
  // The host stopped taking bytes for a while: the rest of the queue is
  // paced from `now` on instead of being released in one burst.
  void RestartSchedule(Clock::time_point now);
  // Time one byte takes on the line at the model's rate (start, 8 data and
  // stop bit).
  Clock::duration ByteTime() const;

  // True once the model (or anyone) asked the device to vanish.
  bool Vanished() const { return vanished_.load(); }

  // --- DeviceLink (called with the lock held, from the model).
  void Send(std::span<const std::uint8_t> bytes) override;
  std::size_t PendingOutput() const override;
  void DiscardOutput() override;
  void Vanish() override;

 private:
  void Wake();
  void WakeIfTicking();

  mutable std::recursive_mutex mutex_;
  std::shared_ptr<DeviceModel> model_;
  std::function<void()> wake_;
  std::deque<std::uint8_t> queue_;
  // When the byte now on the line (or the last one) ends.
  Clock::time_point lineFreeAt_{};
  int hostBaud_ = 0;
  std::vector<int> sendingRates_;
  bool dtr_ = false;
  bool rts_ = false;
  SerialLineSettings::Parity parity_ = SerialLineSettings::Parity::None;
  std::atomic<bool> vanished_{false};
};
