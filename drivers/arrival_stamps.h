#pragma once

#include <cstdint>

class TRingBuffer;

// Time stamps for the bytes of a received chunk: they come from when the
// bytes arrived, not from when a thread got to them.
//
// Byte i (1..count) of a chunk gets last + i * (arrival - last) / count,
// rounded to the nearest clock count (halves to even). A chunk whose arrival
// lies before the previous one's is stamped at the previous arrival: no byte
// is ever dated before a byte that came earlier.
class ArrivalStamps {
 public:
  // As `baudRate`: the first chunk starts at its own arrival (all its bytes
  // are stamped with that arrival, which becomes the ring's start count).
  static constexpr int kStartAtArrival = 0;

  // Puts `count` bytes into `ring`, their times spread evenly from `last` to
  // `arrival` (clock counts). With `first` set the chunk is taken to have
  // started its length at `baudRate` (10 bits a byte) before its arrival, or
  // at its arrival with kStartAtArrival; that start becomes the ring's start
  // count and `first` is cleared. `last` moves on to the arrival.
  static void Put(TRingBuffer& ring, const std::uint8_t* bytes, int count, std::int64_t arrival, int baudRate,
                  bool& first, std::int64_t& last);
};
