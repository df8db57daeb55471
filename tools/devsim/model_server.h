#pragma once

#include <QString>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "tools/devsim/device_model.h"

class ModelLine;

// A device model served to a host over one transport (pseudo-terminal,
// RFC 2217, in-process line) by one serving thread.
//
// This class holds what every transport shares: the model and its
// ModelLine, the serving thread with its start, stop and wake-up, the
// vanished state and access to the model. A transport opens and closes its
// own end and supplies the thread's loop (Serve).
//
// Start, Stop, Vanish and Access may be called from any thread; the model is
// only ever called under the model line's lock. A transport's destructor
// must call Stop() while its overrides still exist.
class ModelServer {
 public:
  virtual ~ModelServer();
  ModelServer(const ModelServer&) = delete;
  ModelServer& operator=(const ModelServer&) = delete;

  // Stops serving and closes the transport's end (the host sees a hang-up
  // or a dropped connection).
  virtual void Stop();
  bool IsRunning() const;

  // The device disappears: serving ends and the host sees it gone. Must not
  // be called from inside the model (the model calls DeviceLink::Vanish).
  void Vanish();
  // True once the device vanished (by Vanish or by the model).
  bool Vanished() const;

  std::shared_ptr<DeviceModel> Model() const { return model_; }
  // How often a model that wants ticks gets one (default 1 ms, at least
  // 50 us). A stream that fills the line needs ticks finer than its frame
  // time, or it sends at most one frame a tick.
  void SetTickInterval(std::chrono::microseconds interval);
  // Runs `fn` with the model and its link under the model line's lock, e.g.
  // to change the model's behaviour or inspect its state from a test.
  void Access(const std::function<void(DeviceModel&, DeviceLink&)>& fn);
  // The rates the host sent bytes at, in order (ModelLine::HostSendingRates).
  std::vector<int> HostSendingRates() const;

 protected:
  using Clock = DeviceModel::Clock;

  explicit ModelServer(std::shared_ptr<DeviceModel> model);

  // Starts serving unless already running. `open` opens the transport's end
  // under the control lock and returns nullptr, or the name of the call that
  // failed with errno set; the failure then goes to `error` and what was
  // opened is closed again.
  bool StartServing(QString* error, const std::function<const char*()>& open);
  // Ends the serving thread; called with control_ held.
  void StopThread();

  // The serving thread's loop; runs while KeepServing() holds.
  virtual void Serve() = 0;
  // Closes what the transport holds; called with control_ held and the
  // serving thread ended (and before a new start).
  virtual void CloseTransport() {}
  // Called on the serving thread when it ended because the model vanished.
  virtual void OnVanished() { CloseTransport(); }

  bool KeepServing() const;
  // The eventfd that becomes readable when the model line has news or the
  // thread should stop; DrainWake() resets it.
  int WakeFd() const { return wakeFd_; }
  void DrainWake();
  // Ticks the model when it wants ticks and the next one is due.
  void TickIfDue(Clock::time_point now);
  // When the model wants its next tick; none when it wants no ticks.
  std::optional<Clock::time_point> NextTick() const;
  static timespec ToTimespec(Clock::duration d);

  std::shared_ptr<ModelLine> modelLine_;
  mutable std::mutex control_;  // serialises Start, Stop and Vanish

 private:
  void RunThread();
  void WakeThread();

  std::shared_ptr<DeviceModel> model_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> running_{false};
  std::atomic<bool> vanished_{false};
  int wakeFd_ = -1;
  Clock::time_point nextTick_{};  // serving thread only
  std::atomic<std::int64_t> tickIntervalUs_{1000};
};
