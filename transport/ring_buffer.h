#pragma once

#include <QByteArray>
#include <QObject>
#include <cstdint>
#include <vector>

// One received byte with its arrival time in seconds since StartCount.
struct TRingBufferEntry {
  std::uint8_t Value = 0;
  double Time = 0.0;
};

// A fixed-capacity ring of received bytes, each stamped with its arrival
// time. Written by a receive handler and read by a frame parser on the same
// thread; it takes no locks.
//
// The ring holds at most Count - 1 unread entries. When it is full, Put
// drops the oldest unread entry (ReadPos advances) so the newest entries
// stay readable, and counts the lost entry in LostCount.
class TRingBuffer : public QObject {
  Q_OBJECT

 public:
  explicit TRingBuffer(QObject* owner = nullptr);

  std::uint32_t Count() const { return count_; }
  // Reallocates to `n` entries (at least 1) and clears everything.
  void SetCount(std::uint32_t n);
  std::uint32_t ReadPos() const { return readPos_; }
  // A position outside 0..Count-1 is refused (the old value stays).
  void SetReadPos(std::uint32_t value);
  std::uint32_t WritePos() const { return writePos_; }
  void SetWritePos(std::uint32_t value);

  // The counter value that is time 0 (see Clock::Counter()).
  std::int64_t StartCount() const { return startCount_; }
  void SetStartCount(std::int64_t value) { startCount_ = value; }

  // Every entry := (fill, 0.0); both positions 0. Returns true.
  bool Clear(std::uint8_t fill = 0);
  // Stores `value` with the time (counter - StartCount) / frequency.
  bool Put(std::uint8_t value, std::int64_t counter);
  // Takes the entry at ReadPos (callers test Available first).
  bool Get(TRingBufferEntry& entry);
  // The entry at ReadPos, positions unchanged.
  bool Peek(TRingBufferEntry& entry) const;
  // Entries put and not yet taken.
  std::uint32_t Available() const;
  // The values of the `n` entries from ReadPos on; false (and `s` empty)
  // when n exceeds Count.
  bool PeekString(QByteArray& s, std::uint8_t n) const;

  // Entries dropped because the ring was full, since creation or the last reset.
  std::uint64_t LostCount() const { return lostCount_; }
  void ResetLostCount() { lostCount_ = 0; }

 private:
  std::vector<TRingBufferEntry> entries_;
  std::uint32_t count_ = 0;
  std::uint32_t readPos_ = 0;
  std::uint32_t writePos_ = 0;
  std::int64_t frequency_;
  std::int64_t startCount_ = 0;
  std::uint64_t lostCount_ = 0;
};
