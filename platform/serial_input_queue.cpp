#include "platform/serial_input_queue.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace {
constexpr std::uint32_t kMax = SerialTimeouts::kMaxDword;
}

SerialInputQueue::SerialInputQueue(std::size_t capacity) : capacity_(capacity) {}

void SerialInputQueue::SetCapacity(std::size_t capacity) {
  std::lock_guard lock(mutex_);
  capacity_ = capacity;
}

std::size_t SerialInputQueue::Capacity() const {
  std::lock_guard lock(mutex_);
  return capacity_;
}

void SerialInputQueue::SetEventChar(std::uint8_t eventChar) {
  std::lock_guard lock(mutex_);
  eventChar_ = eventChar;
}

void SerialInputQueue::SetDiscardNull(bool discard) {
  std::lock_guard lock(mutex_);
  discardNull_ = discard;
}

void SerialInputQueue::Reset() {
  std::lock_guard lock(mutex_);
  data_.clear();
  ++generation_;
  errors_ = 0;
  hungUp_ = false;
  shutDown_ = false;
  lastArrival_ = {};
}

std::uint64_t SerialInputQueue::Generation() const {
  std::lock_guard lock(mutex_);
  return generation_;
}

std::uint32_t SerialInputQueue::Append(std::span<const std::uint8_t> bytes) {
  return Append(bytes, Generation());
}

std::uint32_t SerialInputQueue::Append(std::span<const std::uint8_t> bytes, std::uint64_t generation) {
  std::uint32_t events = 0;
  {
    std::lock_guard lock(mutex_);
    if (generation != generation_ || shutDown_ || hungUp_) return 0;
    const std::size_t before = data_.size();
    for (std::uint8_t b : bytes) {
      if (discardNull_ && b == 0) continue;
      if (data_.size() >= capacity_) {
        errors_ |= SerialLineError::RxOver;
        break;
      }
      data_.push_back(b);
      if (b == eventChar_) events |= SerialEvent::RxFlag;
    }
    const std::size_t after = data_.size();
    if (after == before) return events;
    events |= SerialEvent::RxChar;
    const std::size_t mark = capacity_ - capacity_ / 5;
    if (before < mark && after >= mark) events |= SerialEvent::Rx80Full;
    lastArrival_ = std::chrono::steady_clock::now();
  }
  arrived_.notify_all();
  return events;
}

std::size_t SerialInputQueue::TakeLocked(std::span<std::uint8_t> out) {
  const std::size_t n = std::min(out.size(), data_.size());
  std::copy_n(data_.begin(), n, out.begin());
  data_.erase(data_.begin(), data_.begin() + static_cast<std::ptrdiff_t>(n));
  return n;
}

int SerialInputQueue::Read(std::span<std::uint8_t> buffer, const SerialTimeouts& timeouts, int& transferred) {
  transferred = 0;
  const std::size_t n = buffer.size();
  const TimePoint start = std::chrono::steady_clock::now();
  const std::uint32_t interval = timeouts.readInterval;
  const std::uint32_t multiplier = timeouts.readTotalMultiplier;
  const std::uint32_t constant = timeouts.readTotalConstant;

  // (MAXDWORD, 0, 0): whatever is queued, at once.
  const bool immediate = interval == kMax && multiplier == 0 && constant == 0;
  // (MAXDWORD, MAXDWORD, 0 < C < MAXDWORD): at once when anything is
  // queued, otherwise the first byte that arrives within C.
  const bool firstByte = interval == kMax && multiplier == kMax && constant != 0 && constant != kMax;

  std::optional<TimePoint> total;
  if (firstByte) {
    total = start + std::chrono::milliseconds(constant);
  } else if (!immediate && multiplier != kMax && constant != kMax) {
    const std::uint64_t ms = std::uint64_t{multiplier} * n + constant;
    if (ms != 0) total = start + std::chrono::milliseconds(ms);
  }
  const bool intervalActive = interval != 0 && interval != kMax;

  std::unique_lock lock(mutex_);
  const std::uint64_t abortAtStart = abortCount_;
  std::size_t got = 0;
  for (;;) {
    got += TakeLocked(buffer.subspan(got));
    if (got == n || immediate || (firstByte && got > 0)) break;
    if (abortCount_ != abortAtStart || hungUp_ || shutDown_) break;
    std::optional<TimePoint> deadline = total;
    if (intervalActive && got > 0) {
      const TimePoint gapEnd = std::max(lastArrival_, start) + std::chrono::milliseconds(interval);
      deadline = deadline ? std::min(*deadline, gapEnd) : gapEnd;
    }
    if (deadline) {
      if (std::chrono::steady_clock::now() >= *deadline) break;
      arrived_.wait_until(lock, *deadline);
    } else {
      arrived_.wait(lock);
    }
  }
  transferred = static_cast<int>(got);
  if (got == 0 && n > 0 && (hungUp_ || shutDown_)) return SerialStatus::BadCommand;
  return SerialStatus::Ok;
}

std::size_t SerialInputQueue::Size() const {
  std::lock_guard lock(mutex_);
  return data_.size();
}

void SerialInputQueue::Clear() {
  std::lock_guard lock(mutex_);
  data_.clear();
  ++generation_;
}

void SerialInputQueue::Abort() {
  {
    std::lock_guard lock(mutex_);
    ++abortCount_;
  }
  arrived_.notify_all();
}

void SerialInputQueue::SetHungUp() {
  {
    std::lock_guard lock(mutex_);
    hungUp_ = true;
  }
  arrived_.notify_all();
}

bool SerialInputQueue::HungUp() const {
  std::lock_guard lock(mutex_);
  return hungUp_;
}

void SerialInputQueue::Shutdown() {
  {
    std::lock_guard lock(mutex_);
    shutDown_ = true;
    ++abortCount_;
  }
  arrived_.notify_all();
}

void SerialInputQueue::AddErrors(std::uint32_t errors) {
  std::lock_guard lock(mutex_);
  errors_ |= errors;
}

std::uint32_t SerialInputQueue::TakeErrors() {
  std::lock_guard lock(mutex_);
  return std::exchange(errors_, 0u);
}

SerialInputQueue::TimePoint SerialInputQueue::LastArrival() const {
  std::lock_guard lock(mutex_);
  return lastArrival_;
}
