#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

#include "tools/devsim/argo_wire.h"
#include "tools/devsim/device_model.h"
#include "tools/devsim/model_faults.h"
#include "tools/devsim/record_log.h"
#include "tools/devsim/reply_shaper.h"

// A burst stream sent at its frame rate as long as the line keeps up, and
// at the line rate beyond: a sample falls due every frame period, and is
// skipped while the line still holds a whole frame. The stream faults act
// on it (noise after every N-th frame, vanishing after so many bytes); the
// frames sent are recorded.
//
// `Frame` is the family's record of a sent frame, with fields `index`,
// `time`, `spoiled` and `truncated`. Not locked itself: the owner calls it
// with the mutex held that it shares with the frame log.
template <class Frame>
class PacedStream {
 public:
  using Clock = DeviceModel::Clock;

  PacedStream(std::mutex& mutex, std::size_t keepFrames) : frames_(mutex, keepFrames) {}

  // A new run of the stream whose first frame is due at `first`.
  void Restart(Clock::time_point first) {
    nextFrame_ = first;
    bytesThisRun_ = 0;
  }

  // Sends the frames due by `now` through `emit(span)`; `build(frame)` fills
  // in the frame's values (index and time are set) and returns its bytes.
  // `pending` is what the line still holds. Returns false when the stream
  // reached its vanishing limit: the device is to vanish now.
  template <class Build, class Emit>
  bool Send(Clock::time_point now, Clock::duration period, std::size_t frameSize, std::size_t pending,
            const ModelFaults& faults, ReplyShaper& shaper, Build&& build, Emit&& emit) {
    // After a stall the device does not make up for the samples it missed.
    if (now - nextFrame_ > 100 * period) nextFrame_ = now;
    while (nextFrame_ <= now) {
      nextFrame_ += period;
      // The line is still busy with earlier frames: this sample is skipped.
      if (pending >= frameSize) continue;

      Frame frame;
      frame.index = frames_.AddedLocked();
      frame.time = now;
      std::vector<std::uint8_t> bytes = build(frame);
      if (faults.streamNoiseEveryFrames > 0 &&
          (frame.index + 1) % std::uint64_t(faults.streamNoiseEveryFrames) == 0) {
        const std::vector<std::uint8_t> noise =
            shaper.Noise(std::max(1, faults.streamNoiseBytes), ArgoWire::kSync);
        bytes.insert(bytes.end(), noise.begin(), noise.end());
        frame.spoiled = true;
      }

      const std::int64_t limit = faults.vanishAfterStreamBytes;
      if (limit > 0 && bytesThisRun_ + std::int64_t(bytes.size()) >= limit) {
        // A limit lowered below what this run has sent already cuts the
        // frame to nothing.
        const auto cut = std::size_t(std::max<std::int64_t>(0, limit - bytesThisRun_));
        frame.truncated = cut < frameSize;
        emit(std::span<const std::uint8_t>(bytes.data(), cut));
        bytesSent_ += cut;
        frames_.Add(std::move(frame));
        return false;
      }

      emit(std::span<const std::uint8_t>(bytes));
      pending += bytes.size();
      bytesThisRun_ += std::int64_t(bytes.size());
      bytesSent_ += bytes.size();
      frames_.Add(std::move(frame));
    }
    return true;
  }

  // The frames sent (their accessors take the owner's mutex).
  const RecordLog<Frame>& Frames() const { return frames_; }
  RecordLog<Frame>& Frames() { return frames_; }
  // Stream bytes sent over all runs; with the owner's mutex held.
  std::uint64_t BytesSentLocked() const { return bytesSent_; }

 private:
  RecordLog<Frame> frames_;
  Clock::time_point nextFrame_{};
  std::int64_t bytesThisRun_ = 0;
  std::uint64_t bytesSent_ = 0;
};
