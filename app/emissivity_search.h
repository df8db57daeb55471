#pragma once

#include <cstdint>

// The rules of the emissivity dialog's device work, apart from any widget or
// device: which emissivities may be written live, and the search for the
// emissivity that makes the device read a temperature the user knows.
//
// The search is stepped once per pass with the readings of that pass: the
// emissivity the device works with, its internal (reference) temperature and
// its object temperature. Each pass gives the emissivity to write next,
//   eNew = e / ((Tgiven - Tref) / (Tobj - Tref)),
// held inside 0.1001 .. 1.0999 (the given temperature is then out of reach
// and the search ends), and says whether to go on: the search ends once the
// object temperature is within 0.2 of the given one (0.4 after 15 passes,
// 0.6 after 25), at the pass limit, on a reading the device did not give, or
// when the readings allow no emissivity at all (object or given temperature
// equal to the reference).
class EmissivitySearch {
 public:
  // Values the live edit writes (an emissivity outside is refused).
  static constexpr double kLiveMin = 0.1;
  static constexpr double kLiveMax = 1.1001;
  // Bounds of a searched emissivity.
  static constexpr double kSearchMin = 0.1001;
  static constexpr double kSearchMax = 1.0999;
  static constexpr int kPassLimit = 50;

  enum class Outcome {
    Continue,    // write and take the next pass
    Converged,   // write; the device reads the given temperature
    OutOfReach,  // write the bound; the given temperature cannot be reached
    PassLimit,   // write; no convergence within the pass limit
    NoReading,   // a reading failed: nothing is written
    NoSolution,  // the readings allow no emissivity: nothing is written
  };

  struct Readings {
    float Emissivity = 0.0f;
    float Reference = 0.0f;  // °C
    float Object = 0.0f;     // °C
  };

  struct Step {
    Outcome Result = Outcome::NoReading;
    int Pass = 0;
    double Emissivity = 0.0;  // to be written (when Writes())
    double Error = 0.0;       // |Tgiven - Tobj| of the pass
    bool Writes() const { return Result != Outcome::NoReading && Result != Outcome::NoSolution; }
    bool Finished() const { return Result != Outcome::Continue; }
  };

  // `givenCelsius`: the temperature the object really has.
  explicit EmissivitySearch(double givenCelsius = 0.0, int passLimit = kPassLimit);

  // The next pass with its readings.
  Step Next(const Readings& readings);
  int Passes() const { return pass_; }
  double Given() const { return given_; }

  // Whether the live edit writes `e`.
  static bool LiveWritable(double e);
  // A temperature the drivers really read (their failure values, -9999 and
  // the 32768 of a family without readings, are none).
  static bool ValidTemperature(float celsius);
  // An emissivity a device really reported.
  static bool ValidEmissivity(float e);
  // The device word of `e`: the nearest integer to e × 1000 (halves to
  // even), 0 for anything that is not a number.
  static std::uint16_t Thousandths(double e);

 private:
  double given_;
  int passLimit_;
  int pass_ = 0;
};
