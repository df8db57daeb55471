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
  // Windows are wide where a late wake-up of a busy machine could blur
  // two outcomes: what tells the cases apart is the order of events, not
  // millisecond precision.
  return {
      {"ImmediateReturnsWhatIsQueued", kMaxDword, 0, 0, 3, {{200, 5}}, 10, 3, 0, 100},
      {"ImmediateOnEmptyQueue", kMaxDword, 0, 0, 0, {{200, 5}}, 10, 0, 0, 100},
      {"ImmediateNeverMoreThanAsked", kMaxDword, 0, 0, 8, {}, 5, 5, 0, 100},
      {"SearchProbeWaitsFullConstant", 0, 0, 350, 0, {{50, 18}}, 19, 18, 345, 600},
      {"ConstantEndsWhenAllArrived", 0, 0, 350, 0, {{50, 19}}, 19, 19, 45, 300},
      {"ConstantWithStraddlingReply", 0, 0, 300, 3, {{30, 4}}, 7, 7, 25, 250},
      {"ConstantExpiresBeforeLateReply", 0, 0, 60, 0, {{400, 4}}, 4, 0, 58, 350},
      {"FirstByteWaitsForOneByte", kMaxDword, kMaxDword, 600, 0, {{40, 1}, {400, 3}}, 10, 1, 35, 350},
      {"FirstByteReturnsQueuedAtOnce", kMaxDword, kMaxDword, 600, 2, {{200, 3}}, 10, 2, 0, 150},
      {"FirstByteTimesOut", kMaxDword, kMaxDword, 60, 0, {}, 10, 0, 58, 300},
      {"MaxIntervalWithConstantWaitsForAll", kMaxDword, 0, 400, 1, {{20, 2}, {50, 2}}, 5, 5, 45, 350},
      {"MaxIntervalWithConstantTimesOut", kMaxDword, 0, 100, 1, {{20, 2}}, 10, 3, 98, 300},
      {"MultiplierScalesWithCount", 0, 10, 50, 0, {}, 5, 0, 98, 300},
      {"IntervalEndsAfterGap", 100, 0, 0, 0, {{40, 1}, {70, 1}}, 10, 2, 165, 400},
      {"IntervalNotBeforeFirstByte", 30, 0, 120, 0, {}, 10, 0, 118, 300},
      {"IntervalKeptOpenByArrivals", 120, 0, 2000, 0, {{10, 1}, {60, 1}, {110, 1}, {160, 1}}, 10, 4, 275, 700},
      {"TotalEndsBeforeInterval", 400, 0, 150, 0, {{20, 1}}, 10, 1, 148, 380},
      {"NoTimeoutsWaitsForAll", 0, 0, 0, 2, {{30, 3}}, 5, 5, 25, 250},
  };
}
