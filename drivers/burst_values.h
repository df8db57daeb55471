#pragma once

#include <array>
#include <cstdint>

class TRingBuffer;
struct TRingBufferEntry;

// The data bytes of a burst frame: one big-endian 16-bit value a channel.
class BurstValues {
 public:
  // Takes 2 * `channels` data bytes from `ring` into `values`; `last` holds
  // the last byte taken (its time is the frame's time).
  static void Take(TRingBuffer& ring, int channels, std::array<std::uint16_t, 8>& values,
                   TRingBufferEntry& last);
};
