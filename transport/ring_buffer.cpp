#include "transport/ring_buffer.h"

#include "platform/clock.h"

TRingBuffer::TRingBuffer(QObject* owner) : QObject(owner), frequency_(Clock::Frequency()) { SetCount(10000); }

void TRingBuffer::SetCount(std::uint32_t n) {
  if (n < 1) n = 1;
  count_ = n;
  entries_.assign(n, TRingBufferEntry{});
  Clear(0);
}

void TRingBuffer::SetReadPos(std::uint32_t value) {
  if (value < count_) readPos_ = value;
}

void TRingBuffer::SetWritePos(std::uint32_t value) {
  if (value < count_) writePos_ = value;
}

bool TRingBuffer::Clear(std::uint8_t fill) {
  for (TRingBufferEntry& e : entries_) e = TRingBufferEntry{fill, 0.0};
  readPos_ = 0;
  writePos_ = 0;
  return true;
}

bool TRingBuffer::Put(std::uint8_t value, std::int64_t counter) {
  const long double seconds =
      static_cast<long double>(counter - startCount_) / static_cast<long double>(frequency_);
  entries_[writePos_] = TRingBufferEntry{value, static_cast<double>(seconds)};
  writePos_ = (writePos_ + 1 == count_) ? 0 : writePos_ + 1;
  if (writePos_ == readPos_) {
    // Full: a ring whose positions meet would read as empty, so the oldest
    // unread entry gives way to the new one.
    readPos_ = (readPos_ + 1 == count_) ? 0 : readPos_ + 1;
    ++lostCount_;
  }
  return true;
}

bool TRingBuffer::Get(TRingBufferEntry& entry) {
  entry = entries_[readPos_];
  readPos_ = (readPos_ + 1 == count_) ? 0 : readPos_ + 1;
  return true;
}

bool TRingBuffer::Peek(TRingBufferEntry& entry) const {
  entry = entries_[readPos_];
  return true;
}

std::uint32_t TRingBuffer::Available() const {
  if (writePos_ >= readPos_) return writePos_ - readPos_;
  return count_ - readPos_ + writePos_;
}

bool TRingBuffer::PeekString(QByteArray& s, std::uint8_t n) const {
  if (n > count_) {
    s.clear();
    return false;
  }
  s.resize(n);
  std::uint32_t index = readPos_;
  for (std::uint32_t i = 0; i < n; ++i) {
    s[static_cast<qsizetype>(i)] = static_cast<char>(entries_[index].Value);
    index = (index + 1 == count_) ? 0 : index + 1;
  }
  return true;
}
