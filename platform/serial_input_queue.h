#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <span>

#include "platform/serial_device.h"

// The input queue of one open serial line together with the read time-out
// engine of the classic serial API (interval, total multiplier and total
// constant, with the MAXDWORD special cases).
//
// One I/O thread appends what arrives; the owner's thread reads. Every
// blocked reader is woken by Abort, SetHungUp and Shutdown.
class SerialInputQueue {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  explicit SerialInputQueue(std::size_t capacity = 4096);

  // Bytes beyond the capacity are dropped (newest first) and raise
  // SerialLineError::RxOver. A capacity below the current fill keeps the
  // queued bytes.
  void SetCapacity(std::size_t capacity);
  std::size_t Capacity() const;
  // The byte that raises SerialEvent::RxFlag, and whether 0x00 bytes are
  // dropped on arrival.
  void SetEventChar(std::uint8_t eventChar);
  void SetDiscardNull(bool discard);

  // Prepares for a new open: no data, no errors, not hung up, not shut down.
  void Reset();

  // Purge generation: the I/O thread takes it before it reads from the line
  // and hands it back to Append, so bytes read before a Clear are dropped.
  std::uint64_t Generation() const;
  // Appends received bytes and returns the SerialEvent bits they raise
  // (RxChar when at least one byte was queued, RxFlag when the event
  // character was among them, Rx80Full when the fill crossed 80 %).
  std::uint32_t Append(std::span<const std::uint8_t> bytes, std::uint64_t generation);
  std::uint32_t Append(std::span<const std::uint8_t> bytes);

  // Reads up to buffer.size() bytes under `timeouts`. A time-out is no
  // failure: `transferred` gets the count (0..size). Returns
  // SerialStatus::BadCommand when the line hung up or was shut down and no
  // byte could be read, otherwise Ok.
  int Read(std::span<std::uint8_t> buffer, const SerialTimeouts& timeouts, int& transferred);

  std::size_t Size() const;
  // Drops every queued byte and starts a new purge generation.
  void Clear();
  // Ends every blocked read; each returns what it has so far.
  void Abort();
  // The line is gone: blocked reads end, reads of an empty queue fail.
  void SetHungUp();
  bool HungUp() const;
  // Closing: like SetHungUp, for the end of an open.
  void Shutdown();

  void AddErrors(std::uint32_t errors);
  // Returns and clears the accumulated SerialLineError bits.
  std::uint32_t TakeErrors();

  // Time of the newest append (epoch when none yet).
  TimePoint LastArrival() const;

 private:
  std::size_t TakeLocked(std::span<std::uint8_t> out);

  mutable std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<std::uint8_t> data_;
  std::size_t capacity_;
  std::uint8_t eventChar_ = 0;
  bool discardNull_ = false;
  std::uint64_t generation_ = 0;
  std::uint64_t abortCount_ = 0;
  std::uint32_t errors_ = 0;
  bool hungUp_ = false;
  bool shutDown_ = false;
  TimePoint lastArrival_{};
};
