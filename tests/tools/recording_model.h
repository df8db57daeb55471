#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "tools/devsim/device_model.h"

// A model for the server tests: echoes what it receives (when told to) and
// records every call, with waits bounded by deadlines.
class RecordingModel : public DeviceModel {
 public:
  explicit RecordingModel(int baudRate = 9600, bool echo = true, bool wantsTicks = false)
      : baudRate_(baudRate), echo_(echo), wantsTicks_(wantsTicks) {}

  QString Name() const override { return QStringLiteral("recording"); }
  int BaudRate() const override { return baudRate_; }

  void OnReceived(std::span<const std::uint8_t> bytes, DeviceLink& link) override {
    Record([&] { received_.insert(received_.end(), bytes.begin(), bytes.end()); });
    if (echo_) link.Send(bytes);
  }
  void OnHostBaudRate(int baud, DeviceLink&) override {
    Record([&] { bauds_.push_back(baud); });
  }
  void OnDtr(bool on, DeviceLink&) override {
    Record([&] { dtr_.push_back(on); });
  }
  void OnRts(bool on, DeviceLink&) override {
    Record([&] { rts_.push_back(on); });
  }
  void OnParity(SerialLineSettings::Parity parity, DeviceLink&) override {
    Record([&] { parities_.push_back(parity); });
  }
  void OnPurge(std::uint32_t flags, DeviceLink&) override {
    Record([&] { purges_.push_back(flags); });
  }
  void Tick(Clock::time_point, DeviceLink&) override { ticks_++; }
  bool WantsTicks() const override { return wantsTicks_; }

  std::vector<std::uint8_t> Received() const { return Get(received_); }
  std::vector<int> Bauds() const { return Get(bauds_); }
  std::vector<bool> Dtr() const { return Get(dtr_); }
  std::vector<bool> Rts() const { return Get(rts_); }
  std::vector<SerialLineSettings::Parity> Parities() const { return Get(parities_); }
  std::vector<std::uint32_t> Purges() const { return Get(purges_); }
  long Ticks() const { return ticks_.load(); }

  // Waits until `predicate` (called under the lock) holds, or the timeout.
  bool WaitFor(const std::function<bool()>& predicate,
               std::chrono::milliseconds timeout = std::chrono::milliseconds(3000)) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, predicate);
  }
  // Direct access to the records for predicates passed to WaitFor.
  const std::vector<std::uint8_t>& ReceivedLocked() const { return received_; }
  const std::vector<bool>& DtrLocked() const { return dtr_; }
  const std::vector<bool>& RtsLocked() const { return rts_; }
  const std::vector<SerialLineSettings::Parity>& ParitiesLocked() const { return parities_; }
  const std::vector<int>& BaudsLocked() const { return bauds_; }
  const std::vector<std::uint32_t>& PurgesLocked() const { return purges_; }

 private:
  template <typename F>
  void Record(F&& f) {
    {
      std::lock_guard lock(mutex_);
      f();
    }
    changed_.notify_all();
  }
  template <typename T>
  T Get(const T& v) const {
    std::lock_guard lock(mutex_);
    return v;
  }

  int baudRate_;
  bool echo_;
  bool wantsTicks_;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<std::uint8_t> received_;
  std::vector<int> bauds_;
  std::vector<bool> dtr_;
  std::vector<bool> rts_;
  std::vector<SerialLineSettings::Parity> parities_;
  std::vector<std::uint32_t> purges_;
  std::atomic<long> ticks_{0};
};
