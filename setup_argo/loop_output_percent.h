#pragma once

#include <cstdint>

// The loop outputs' percentages as the device reports and takes them.
class LoopOutputPercent {
 public:
  // A percentage read from the device, taken as a signed byte and limited
  // to 0..100: a failed read (255) and values from 128 up show as 0, values
  // 101..127 as 100.
  static int FromDeviceByte(std::uint8_t value);
  // A percentage the device takes (0..100).
  static bool Writable(double value) { return value >= 0.0 && value <= 100.0; }
};
