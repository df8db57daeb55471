#include "measurement/float_ring_buffer.h"

#include <algorithm>

namespace {
constexpr int kMinSize = 1;
constexpr int kMaxSize = 1000;
}  // namespace

TFloatRingBuffer::TFloatRingBuffer(std::uint16_t size) { SetSize(size); }

void TFloatRingBuffer::SetSize(int n) {
  size_ = static_cast<std::uint16_t>(std::clamp(n, kMinSize, kMaxSize));
  entries_.resize(size_, 0.0f);
  // The next write position stays inside the ring.
  if (position_ >= size_) position_ = 0;
}

float TFloatRingBuffer::Average() const {
  double sum = 0.0;
  for (float v : entries_) sum += v;
  return static_cast<float>(sum / size_);
}

void TFloatRingBuffer::Fill(float v) {
  std::fill(entries_.begin(), entries_.end(), v);
  position_ = 0;
}
