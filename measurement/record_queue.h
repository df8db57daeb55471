#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

// One record of a streamed measurement: its time in seconds (from the
// arrival of its bytes) and the raw values of up to eight channels.
struct TMeasurementRecord {
  double Time = 0.0;
  std::array<std::uint16_t, 8> Values{};
};

// The hand-over of streamed records from a device session to the window:
// the session appends, the window takes everything queued on its refresh
// timer. Bounded: when the window falls behind by the capacity, newer
// records are dropped and counted, so memory stays bounded and the loss
// is visible instead of silent. Thread-safe.
class RecordQueue {
 public:
  explicit RecordQueue(std::size_t capacity = 1u << 17);

  // False (and counted as dropped) when the queue is full.
  bool Push(const TMeasurementRecord& record);
  // Appends up to `max` of the oldest records to `out`; returns how many.
  std::size_t TakeAll(std::vector<TMeasurementRecord>& out, std::size_t max = SIZE_MAX);
  std::size_t Size() const;
  std::size_t Capacity() const { return capacity_; }
  // Records refused because the queue was full, since the last Clear.
  std::uint64_t Dropped() const;
  // Empties the queue and resets the drop count (a new measurement).
  void Clear();

 private:
  mutable std::mutex mutex_;
  std::deque<TMeasurementRecord> records_;
  const std::size_t capacity_;
  std::uint64_t dropped_ = 0;
};
