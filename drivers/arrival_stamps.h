#pragma once

#include <cstdint>

class TRingBuffer;

// Time stamps for the bytes of a received chunk: they come from when the
// bytes arrived, not from when a thread got to them.
class ArrivalStamps {
 public:
  // Puts `count` bytes into `ring`, their times spread evenly from `last` to
  // `arrival` (clock counts). With `first` set the chunk is taken to have
  // started its length at `baudRate` (10 bits a byte) before its arrival;
  // that start becomes the ring's start count and `first` is cleared.
  // `last` moves on to the arrival.
  static void Put(TRingBuffer& ring, const std::uint8_t* bytes, int count, std::int64_t arrival, int baudRate,
                  bool& first, std::int64_t& last);
};
