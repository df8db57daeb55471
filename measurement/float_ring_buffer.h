#pragma once

#include <cstdint>
#include <vector>

// A small ring of single-precision values with their average. Its size is
// always 1..1000.
class TFloatRingBuffer {
 public:
  explicit TFloatRingBuffer(std::uint16_t size);

  std::uint16_t Size() const { return size_; }
  std::uint16_t Position() const { return position_; }

  // Clamps n to 1..1000; entries kept, new ones 0.0.
  void SetSize(int n);
  // Sum of all entries divided by Size().
  float Average() const;
  // Every entry := v; Position() := 0.
  void Fill(float v);

 private:
  std::uint16_t size_ = 1;
  std::uint16_t position_ = 0;
  std::vector<float> entries_;
};
