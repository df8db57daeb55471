#include "setup_argo/loop_output_percent.h"

#include <algorithm>

int LoopOutputPercent::FromDeviceByte(std::uint8_t value) {
  const int signedValue = static_cast<std::int8_t>(value);
  return std::clamp(signedValue, 0, 100);
}
