#pragma once

#include <array>
#include <cstdint>

class TRingBuffer;

// One burst entry of a second-generation Brio device: up to eight channel
// values (the first (L - 2) / 2 filled) and the arrival time in seconds.
struct TBrioV2BurstRecord {
  std::array<std::uint16_t, 8> Values{};
  float Time = 0.0f;

  bool operator==(const TBrioV2BurstRecord&) const = default;
};

// Cuts a Brio burst stream into frames: 0xAA 0xAA (a third 0xAA may come
// first) followed by n big-endian words, L = 2 + 2n bytes. A frame is taken
// only when the next frame's sync follows right after its data, so the
// parser resynchronises on every mismatch and the newest frame waits for
// its successor. A pass works while four frames' worth of bytes wait and
// skips towards a sync only while two frames' worth remain.
class BrioMaBurstParser {
 public:
  class Listener {
   public:
    virtual ~Listener() = default;
    virtual void OnFrame(const TBrioV2BurstRecord& record) = 0;
    virtual void OnBadFrame() {}
    virtual void OnNoSync() {}
  };

  // n channels, 0..8 (values outside are clamped).
  void SetChannelCount(int n);
  int ChannelCount() const { return channels_; }
  int FrameLength() const { return 2 + 2 * channels_; }

  // Takes every confirmed frame; returns how many.
  int Pass(TRingBuffer& ring, Listener& listener) const;

 private:
  int channels_ = 3;
};
