#pragma once

#include <vector>

// Plans the writes of the output slope editor's pending changes, keeping
// the low point below the high point: temperatures may end equal, outputs
// stay strictly apart. The edited value stands and the other point of the
// pair is pushed by the raster's gap; where the push would leave the output
// range, the pair is laid against that end instead (the edited value gives
// way by the gap).
class SlopeWritePlanner {
 public:
  // Change bits, as the spin edits' tags.
  static constexpr int kLowTemp = 1;
  static constexpr int kHighTemp = 2;
  static constexpr int kLowOutput = 4;
  static constexpr int kHighOutput = 8;

  enum class Target { TempMin, TempMax, OutputMin, OutputMax };
  struct TWrite {
    Target target = Target::TempMin;
    // Degrees Celsius (percent, unscaled, in the percent mode).
    double temperature = 0.0;
    // Thousandths of a volt or milliampere.
    int output = 0;
    bool operator==(const TWrite&) const = default;
  };

  struct TInput {
    int pending = 0;
    // Spin values: temperatures in the display unit (or percent), outputs
    // in volts or milliamperes.
    double loTemp = 0.0;
    double hiTemp = 0.0;
    double loOutput = 0.0;
    double hiOutput = 0.0;
    // Limits of the spin edits.
    double tempMin = -40.0;
    double tempMax = 900.0;
    double outputMin = 0.0;
    double outputMax = 10.0;
    int tempRaster = 0;    // degrees, 0 = off
    int outputRaster = 0;  // tenths, 0 = off
    bool fahrenheit = false;
    bool percent = false;
  };
  struct TPlan {
    std::vector<TWrite> writes;
    // The spin values after the plan.
    double loTemp = 0.0;
    double hiTemp = 0.0;
    double loOutput = 0.0;
    double hiOutput = 0.0;
    // A value other than the edited one was moved.
    bool pushed = false;
  };
  static TPlan Plan(const TInput& in);
};
