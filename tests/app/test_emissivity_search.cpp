// The emissivity search and the live-write rule without a device: which
// values are written live, and what one pass of the search makes of its
// readings (the next emissivity, its bounds, when the search ends, and the
// readings it refuses to divide by).

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "app/emissivity_search.h"

namespace {

using Outcome = EmissivitySearch::Outcome;
using Readings = EmissivitySearch::Readings;

TEST(EmissivitySearchTest, LiveWriteRange) {
  const struct {
    double e;
    bool writable;
  } cases[] = {{0.1, true},  {1.1, true},    {1.1001, true},
               {0.5, true},  {0.099, false}, {1.1002, false},
               {0.0, false}, {-0.5, false},  {std::numeric_limits<double>::quiet_NaN(), false}};
  for (const auto& c : cases) EXPECT_EQ(EmissivitySearch::LiveWritable(c.e), c.writable) << c.e;
}

TEST(EmissivitySearchTest, OnePass) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const struct {
    const char* what;
    double given;
    Readings r;
    Outcome outcome;
    double emissivity;  // checked when written
  } cases[] = {
      {"near enough", 500.0, {0.95f, 25.0f, 500.1f}, Outcome::Converged, 0.95 * 475.1 / 475.0},
      {"reads high: lower", 500.0, {0.95f, 25.0f, 520.0f}, Outcome::Continue, 0.95 * 495.0 / 475.0},
      {"reads low: higher", 500.0, {0.80f, 25.0f, 450.0f}, Outcome::Continue, 0.80 * 425.0 / 475.0},
      {"below the lower bound", 500.0, {0.20f, 25.0f, 100.0f}, Outcome::OutOfReach, 0.1001},
      {"above the upper bound", 100.0, {1.00f, 25.0f, 500.0f}, Outcome::OutOfReach, 1.0999},
      {"opposite sides of the reference", 10.0, {0.9f, 25.0f, 300.0f}, Outcome::OutOfReach, 0.1001},
      {"object at the reference", 500.0, {0.95f, 25.0f, 25.0f}, Outcome::NoSolution, 0.0},
      {"given at the reference", 25.0, {0.95f, 25.0f, 300.0f}, Outcome::NoSolution, 0.0},
      {"both at the reference", 25.0, {0.95f, 25.0f, 25.0f}, Outcome::NoSolution, 0.0},
      {"object not read", 500.0, {0.95f, 25.0f, -9999.0f}, Outcome::NoReading, 0.0},
      {"reference not read", 500.0, {0.95f, -9999.0f, 480.0f}, Outcome::NoReading, 0.0},
      {"family without readings", 500.0, {1.0f, 32768.0f, 32768.0f}, Outcome::NoReading, 0.0},
      {"emissivity not read", 500.0, {-1.0f, 25.0f, 480.0f}, Outcome::NoReading, 0.0},
      {"emissivity zero", 500.0, {0.0f, 25.0f, 480.0f}, Outcome::NoReading, 0.0},
      {"not a number", 500.0, {0.95f, nan, 480.0f}, Outcome::NoReading, 0.0},
      {"infinite", 500.0, {0.95f, 25.0f, inf}, Outcome::NoReading, 0.0},
  };
  for (const auto& c : cases) {
    EmissivitySearch search(c.given);
    const auto step = search.Next(c.r);
    EXPECT_EQ(step.Result, c.outcome) << c.what;
    EXPECT_EQ(step.Pass, 1) << c.what;
    const bool writes = c.outcome != Outcome::NoReading && c.outcome != Outcome::NoSolution;
    EXPECT_EQ(step.Writes(), writes) << c.what;
    if (writes) {
      EXPECT_NEAR(step.Emissivity, c.emissivity, 1e-5) << c.what;
      EXPECT_TRUE(std::isfinite(step.Emissivity)) << c.what;
    }
  }
}

// The tolerance widens after 15 and after 25 passes; the pass limit ends a
// search that never gets there.
TEST(EmissivitySearchTest, ToleranceByPassAndPassLimit) {
  const struct {
    double error;
    int pass;
    Outcome outcome;
  } cases[] = {
      {0.19, 1, Outcome::Converged}, {0.3, 15, Outcome::Continue},  {0.3, 16, Outcome::Converged},
      {0.5, 25, Outcome::Continue},  {0.5, 26, Outcome::Converged}, {0.7, 49, Outcome::Continue},
      {0.7, 50, Outcome::PassLimit},
  };
  for (const auto& c : cases) {
    EmissivitySearch search(500.0);
    EmissivitySearch::Step step;
    const Readings r{0.9f, 25.0f, static_cast<float>(500.0 + c.error)};
    for (int n = 0; n < c.pass; ++n) {
      step = search.Next(r);
      if (n + 1 < c.pass) {
        ASSERT_FALSE(step.Finished()) << "error " << c.error << " pass " << n + 1;
      }
    }
    EXPECT_EQ(step.Result, c.outcome) << "error " << c.error << " pass " << c.pass;
    EXPECT_EQ(step.Pass, c.pass);
  }
  EmissivitySearch limited(500.0, 3);
  const Readings far{0.9f, 25.0f, 600.0f};
  EXPECT_EQ(limited.Next(far).Result, Outcome::Continue);
  EXPECT_EQ(limited.Next(far).Result, Outcome::Continue);
  EXPECT_EQ(limited.Next(far).Result, Outcome::PassLimit);
}

TEST(EmissivitySearchTest, DeviceWord) {
  EXPECT_EQ(EmissivitySearch::Thousandths(0.95), 950);
  EXPECT_EQ(EmissivitySearch::Thousandths(1.0999), 1100);
  EXPECT_EQ(EmissivitySearch::Thousandths(0.1001), 100);
  EXPECT_EQ(EmissivitySearch::Thousandths(0.0625), 62);  // half to even
  EXPECT_EQ(EmissivitySearch::Thousandths(std::numeric_limits<double>::quiet_NaN()), 0);
}

}  // namespace
