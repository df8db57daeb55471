#pragma once

#include <chrono>
#include <cstdint>

// The program's monotonic clock, in place of a high-resolution counter:
// counter values are nanoseconds, so the frequency is 1e9 per second.
class Clock {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  static TimePoint Now() { return std::chrono::steady_clock::now(); }
  // Counter value (nanoseconds since an arbitrary fixed point).
  static std::int64_t Counter() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Now().time_since_epoch()).count();
  }
  static constexpr std::int64_t Frequency() { return 1'000'000'000; }
  static std::int64_t ToCounter(TimePoint t) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
  }
  static double MillisecondsSince(TimePoint start) {
    return std::chrono::duration<double, std::milli>(Now() - start).count();
  }
};
