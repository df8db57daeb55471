#pragma once

#include <array>
#include <cstdint>

class TRingBuffer;

// One burst frame of a Brio device: the channel values in channel order
// (only the first Count are filled) and the arrival time of its last byte
// in seconds.
struct TBrioBurstFrame {
  std::array<std::uint16_t, 8> Values{};
  int Count = 0;
  double Time = 0.0;
};

// Cuts the burst stream of a Brio device into frames, for both
// generations.
//
// A frame is 0xAA 0xAA (a third 0xAA may precede it) followed by n
// big-endian words, L = 2 + 2n bytes. A frame is taken only when the next
// frame's sync follows right after its data, so the last, unconfirmed frame
// always stays in the ring and a spoiled frame only costs a resync. A pass
// works while four frames' worth of bytes wait and skips to a sync only
// while two frames' worth are left.
class TBrioBurstParser {
 public:
  class Listener {
   public:
    virtual ~Listener() = default;
    virtual void OnFrame(const TBrioBurstFrame& frame) = 0;
    // A frame whose following sync was out of place (it is skipped).
    virtual void OnBadFrame() {}
    // A search that found no sync in the bytes it was allowed to skip.
    virtual void OnNoSync() {}
  };

  static constexpr int kMaxChannels = 8;

  // n channels, 0..8 (values outside are clamped).
  void SetChannelCount(int n);
  int ChannelCount() const { return channels_; }
  int FrameLength() const { return 2 + 2 * channels_; }

  // Takes every confirmed frame; returns how many.
  int Pass(TRingBuffer& ring, Listener& listener) const;

 private:
  int channels_ = 1;
};
