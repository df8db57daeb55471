#pragma once

// The longest pause of the GUI thread a test accepts as "the window kept
// answering". A blocking wait on a device shows as a pause of hundreds of
// milliseconds in a plain build; a build instrumented by the address
// sanitizer runs every thread several times slower and shares the cores
// with the other tests, so there the same limit is scaled.

#if defined(__SANITIZE_ADDRESS__)
#define TS_TEST_INSTRUMENTED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TS_TEST_INSTRUMENTED 1
#endif
#endif

namespace test_support {

#ifdef TS_TEST_INSTRUMENTED
inline constexpr int kInstrumentedSlowdown = 4;
#else
inline constexpr int kInstrumentedSlowdown = 1;
#endif

constexpr long long StallLimitMs(long long plainBuildMs) { return plainBuildMs * kInstrumentedSlowdown; }

}  // namespace test_support
