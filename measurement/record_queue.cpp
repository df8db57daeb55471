#include "measurement/record_queue.h"

#include <algorithm>

RecordQueue::RecordQueue(std::size_t capacity) : capacity_(std::max<std::size_t>(capacity, 1)) {}

bool RecordQueue::Push(const TMeasurementRecord& record) {
  std::lock_guard lock(mutex_);
  if (records_.size() >= capacity_) {
    ++dropped_;
    return false;
  }
  records_.push_back(record);
  return true;
}

std::size_t RecordQueue::TakeAll(std::vector<TMeasurementRecord>& out, std::size_t max) {
  std::lock_guard lock(mutex_);
  const std::size_t n = std::min(max, records_.size());
  out.insert(out.end(), records_.begin(), records_.begin() + static_cast<std::ptrdiff_t>(n));
  records_.erase(records_.begin(), records_.begin() + static_cast<std::ptrdiff_t>(n));
  return n;
}

std::size_t RecordQueue::Size() const {
  std::lock_guard lock(mutex_);
  return records_.size();
}

std::uint64_t RecordQueue::Dropped() const {
  std::lock_guard lock(mutex_);
  return dropped_;
}

void RecordQueue::Clear() {
  std::lock_guard lock(mutex_);
  records_.clear();
  dropped_ = 0;
}
