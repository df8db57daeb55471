#pragma once

#include <cstdint>

#include "drivers/argo/argo_types.h"

class TRingBuffer;

// Cuts the burst byte stream of a single-colour device into frames.
//
// A frame is 0xAA 0xAA (a third 0xAA may precede it) followed by n
// big-endian channel words, L = 2 + 2n bytes in all. A frame is taken only
// when the next frame's sync follows right after its data bytes, so the
// parser resynchronises on every mismatch and always leaves the last,
// unconfirmed frame in the ring. One Pass takes every complete frame that
// is available; it is called from the driver's parser timer.
class ArgoBurstParser {
 public:
  // What a pass reports besides the frames.
  class Listener {
   public:
    virtual ~Listener() = default;
    virtual void OnFrame(const TArgoBurstRecord& record) = 0;
    // A frame whose following sync was out of place (it is skipped).
    virtual void OnBadFrame() {}
  };

  enum class PassResult {
    Waiting,    // fewer than two frames' worth of bytes; try again at the next tick
    Parsed,     // the available frames were taken
    EndNoData,  // 11 ticks in a row without two frames' worth of bytes
    EndNoSync,  // more than 50 passes in a row without a sync
  };

  static constexpr int kNoDataTicks = 11;
  static constexpr int kNoSyncPasses = 50;

  // n channels, 0..8 (values outside are clamped).
  void SetChannelCount(int n);
  int ChannelCount() const { return channels_; }
  int FrameLength() const { return 2 + 2 * channels_; }

  // Forgets the rounds without data or sync.
  void Reset() { noSyncRounds_ = 0; }
  std::uint32_t NoSyncRounds() const { return noSyncRounds_; }

  PassResult Pass(TRingBuffer& ring, Listener& listener);

 private:
  int channels_ = 1;
  std::uint32_t noSyncRounds_ = 0;
};
