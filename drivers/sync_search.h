#pragma once

#include <cstdint>

class QByteArray;
class TRingBuffer;
struct TRingBufferEntry;

// The start-of-frame search the burst parsers share: a frame begins after
// two 0xAA sync bytes, and the next frame's sync follows its data bytes.
class SyncSearch {
 public:
  static constexpr std::uint8_t kSync = 0xAA;

  // Takes bytes from `ring` up to and including the first sync pair while at
  // least `keep` bytes are available. A pair whose first byte was taken always
  // gets its second looked at, so no pair is split between two passes.
  // `entry` holds the last byte taken. False when no pair was found.
  static bool TakeSyncPair(TRingBuffer& ring, std::uint32_t keep, TRingBufferEntry& entry);

  // Takes a third sync byte right after a pair, if there is one.
  static void TakeThirdSync(TRingBuffer& ring, TRingBufferEntry& entry);

  // 1-based position of the first run of `run` sync bytes in `s`, 0 when none.
  static int FirstSyncRun(const QByteArray& s, int run);

  // True when the peeked `window` of one frame length holds the next frame's
  // sync right after the data bytes (as a pair or, with a third sync byte, a triple).
  static bool NextSyncFollows(const QByteArray& window, int frameLength);
};
