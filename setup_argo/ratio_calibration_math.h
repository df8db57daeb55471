#pragma once

#include <QString>
#include <cstdint>
#include <optional>

// The two-point calibration of one ratio channel: from two actual readings
// and the two nominal temperatures they should have shown, under the
// present offset A and gain M, the new offset and gain. Temperatures are
// taken as °C and converted to sixteenths of a kelvin (x' = 16x + 4370.4);
// everything is computed in single precision:
//   r_i = (actual_i' - A) / M,  M' = (n2' - n1') / (r2 - r1),  A' = n2' - r2 M'.
class RatioCalibrationMath {
 public:
  enum class Status { Ok, ConversionError, ArithmeticError };
  // The edits of one calibration group, in the order they are read.
  enum Field { Actual1, Actual2, Nominal1, Nominal2, FieldCount };

  struct TInput {
    QString actual1, actual2, nominal1, nominal2;  // the group's edits
    QString offset, gain;                          // the grid's offset and gain rows
    bool fahrenheit = false;                       // the four temperatures are °F
  };
  struct TResult {
    Status status = Status::Ok;
    // ConversionError: the first edit that is not a number (it takes the
    // focus), or -1 when the grid's offset or gain is not.
    int badField = -1;
    std::int64_t offset = 0;  // A' rounded, halves to even
    float gain = 0.0f;        // M'
    QString offsetText;       // for the grid
    QString gainText;         // "%.4F"
  };

  // No result when a value or an intermediate is not finite, or a divisor
  // is 0 (equal actual values, a zero gain, equal raw values).
  struct TNew {
    float offset;
    float gain;
  };
  static std::optional<TNew> Calculate(float actual1, float actual2, float nominal1, float nominal2,
                                       float offset, float gain);
  // Parses the texts (tolerant of either separator), takes °F entries to
  // °C and calculates. A new offset or gain that the channel's registers
  // cannot hold (offset beyond the signed 16-bit range, gain outside
  // 0..65535/4096) is an arithmetic error too: it is never put in the grid.
  static TResult Calculate(const TInput& input);

  // A click on a live temperature: the actual-value edit it goes into,
  // Actual2 when |live - nominal1| >= |live - nominal2| (a tie too), else
  // Actual1. The texts are parsed; a failure names the first bad one of
  // live (-1), nominal 1 and nominal 2 (Nominal1, Nominal2) in `badField`.
  // A failed live read (-9999) is never copied.
  struct TCopy {
    bool ok = false;
    int badField = -1;
    int target = Actual2;
  };
  static TCopy CopyTarget(const QString& live, const QString& nominal1, const QString& nominal2);
  static constexpr float kSixteenthsOffset = 4370.4f;
  static constexpr float kFailedLiveRead = -9999.0f;
};
