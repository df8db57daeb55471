#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

#include "platform/serial_device.h"

// Cases of the read time-out engine: time-outs, bytes queued before the
// call, bytes arriving during it, the size asked for, and what the read
// must return within which window of elapsed time.
struct ReadEngineCase {
  const char* name;
  std::uint32_t interval;
  std::uint32_t multiplier;
  std::uint32_t constant;
  int queued;  // bytes already queued when the read starts
  struct Arrival {
    int atMs;
    int count;
  };
  std::vector<Arrival> arrivals;  // relative to the start of the read
  int n;                          // bytes asked for
  int expected;                   // bytes returned
  int minMs;                      // elapsed window
  int maxMs;
};

inline std::ostream& operator<<(std::ostream& os, const ReadEngineCase& c) { return os << c.name; }

inline constexpr std::uint32_t kMaxDword = SerialTimeouts::kMaxDword;

inline std::vector<ReadEngineCase> ReadEngineCases() {
  return {
      {"ImmediateReturnsWhatIsQueued", kMaxDword, 0, 0, 3, {{40, 5}}, 10, 3, 0, 30},
      {"ImmediateOnEmptyQueue", kMaxDword, 0, 0, 0, {{40, 5}}, 10, 0, 0, 30},
      {"ImmediateNeverMoreThanAsked", kMaxDword, 0, 0, 8, {}, 5, 5, 0, 30},
      {"SearchProbeWaitsFullConstant", 0, 0, 350, 0, {{50, 18}}, 19, 18, 345, 600},
      {"ConstantEndsWhenAllArrived", 0, 0, 350, 0, {{50, 19}}, 19, 19, 45, 300},
      {"ConstantWithStraddlingReply", 0, 0, 20, 3, {{8, 4}}, 7, 7, 6, 19},
      {"ConstantExpiresBeforeLateReply", 0, 0, 20, 0, {{80, 4}}, 4, 0, 19, 75},
      {"FirstByteWaitsForOneByte", kMaxDword, kMaxDword, 200, 0, {{40, 1}, {60, 3}}, 10, 1, 35, 150},
      {"FirstByteReturnsQueuedAtOnce", kMaxDword, kMaxDword, 200, 2, {{40, 3}}, 10, 2, 0, 30},
      {"FirstByteTimesOut", kMaxDword, kMaxDword, 60, 0, {}, 10, 0, 58, 200},
      {"MaxIntervalWithConstantWaitsForAll", kMaxDword, 0, 150, 1, {{20, 2}, {50, 2}}, 5, 5, 45, 140},
      {"MaxIntervalWithConstantTimesOut", kMaxDword, 0, 100, 1, {{20, 2}}, 10, 3, 98, 250},
      {"MultiplierScalesWithCount", 0, 10, 50, 0, {}, 5, 0, 98, 250},
      {"IntervalEndsAfterGap", 30, 0, 0, 0, {{40, 1}, {55, 1}}, 10, 2, 83, 200},
      {"IntervalNotBeforeFirstByte", 30, 0, 120, 0, {}, 10, 0, 118, 300},
      {"IntervalKeptOpenByArrivals", 40, 0, 1000, 0, {{10, 1}, {30, 1}, {50, 1}, {70, 1}}, 10, 4, 108, 400},
      {"TotalEndsBeforeInterval", 100, 0, 60, 0, {{20, 1}}, 10, 1, 58, 150},
      {"NoTimeoutsWaitsForAll", 0, 0, 0, 2, {{30, 3}}, 5, 5, 25, 250},
  };
}
