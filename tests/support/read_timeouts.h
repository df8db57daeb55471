#pragma once

#include <cstdint>

#include "platform/serial_device.h"

namespace test_support {

// Read time-outs (interval, total multiplier, total constant) with the
// default write time-outs.
inline SerialTimeouts ReadTimeouts(std::uint32_t interval, std::uint32_t multiplier, std::uint32_t constant) {
  SerialTimeouts t;
  t.readInterval = interval;
  t.readTotalMultiplier = multiplier;
  t.readTotalConstant = constant;
  return t;
}

}  // namespace test_support
