#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

#include "tools/devsim/device_model.h"
#include "tools/devsim/paced_stream.h"
#include "tools/devsim/record_log.h"
#include "tools/devsim/reply_shaper.h"

// What the emulated device families have in common around their protocol:
// a device that answers requests and streams burst frames, shows faults on
// command (`FaultsT` derives from ModelFaults), logs the requests it received
// (`RequestT`) and the frames it sent (`FrameT`), runs on a clock a test may
// replace, and can vanish from the line.
//
// Every public method is thread-safe (the model is driven by its server's
// thread while a test reads its logs and changes its faults); the protected
// members belong to the derived model, which uses them with mutex_ held.
template <class FaultsT, class OptionsT, class RequestT, class FrameT>
class StreamingDeviceModel : public DeviceModel {
 public:
  // Frames kept in the sent-frame record (the counters go on).
  static constexpr std::size_t kMaxKeptFrames = 1'000'000;

  OptionsT Options() const {
    std::lock_guard lock(mutex_);
    return options_;
  }
  // Replaces the clock that stamps received bytes (tests drive time by
  // hand together with Tick).
  void SetClockForTesting(std::function<Clock::time_point()> clock) {
    std::lock_guard lock(mutex_);
    clock_ = std::move(clock);
    ClockReplaced();
  }

  FaultsT Faults() const {
    std::lock_guard lock(mutex_);
    return faults_;
  }
  // Takes new faults; their seed restarts the random bytes.
  void SetFaults(const FaultsT& faults) {
    std::lock_guard lock(mutex_);
    faults_ = faults;
    shaper_.Seed(faults.noiseSeed);
    FaultsReplaced();
  }

  bool Streaming() const {
    std::lock_guard lock(mutex_);
    return streaming_;
  }
  bool HasVanished() const {
    std::lock_guard lock(mutex_);
    return vanished_;
  }

  // Requests received, oldest first.
  std::vector<RequestT> Requests() const { return requests_.Records(); }
  void ClearRequests() { requests_.Clear(); }

  // Frames streamed, oldest first (at most kMaxKeptFrames are kept).
  std::vector<FrameT> SentFrames() const { return stream_.Frames().Records(); }
  std::uint64_t FramesSent() const { return stream_.Frames().Added(); }
  void ClearSentFrames() { stream_.Frames().Clear(); }

 protected:
  explicit StreamingDeviceModel(const OptionsT& options) : options_(options) {}

  Clock::time_point Now() const { return clock_ ? clock_() : Clock::now(); }
  // Called with mutex_ held after the clock / the faults were replaced.
  virtual void ClockReplaced() {}
  virtual void FaultsReplaced() {}

  mutable std::mutex mutex_;
  OptionsT options_;
  FaultsT faults_;
  ReplyShaper shaper_;
  std::function<Clock::time_point()> clock_;
  bool vanished_ = false;
  bool streaming_ = false;
  PacedStream<FrameT> stream_{mutex_, kMaxKeptFrames};
  RecordLog<RequestT> requests_{mutex_};
};
