#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <stdexcept>

#include "drivers/brio/brio_image.h"
#include "setup_brio/brio_field_table.h"
#include "setup_common/setup_values.h"

// Raised by a decode that cannot make sense of an image (a zero divisor, a
// result that is not a finite number). The main window's guard catches it
// and loads the factory defaults.
class BrioDecodeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The first field an encode refused: its control and its caption. The
// dialog shows Message() ("Error value : " + caption), brings the control's
// page to the front and focuses the control.
struct BrioFieldError {
  QString Control;
  QString Caption;
  QString Message() const { return QStringLiteral("Error value : ") + Caption; }
  friend bool operator==(const BrioFieldError&, const BrioFieldError&) = default;
};

// The images a codec reads and writes; unused ones may be null.
struct BrioImageSet {
  BrioConfigImage* Config = nullptr;
  BrioCalibrationImage* Calibration = nullptr;
  BrioCalibrationImage* NewCalibration = nullptr;
  BrioExtendedImage* Extended = nullptr;
};

struct BrioCodecContext {
  bool Fahrenheit = false;
  // The measuring range (degrees Celsius), for checks whose limits follow it.
  float RangeLow = -20.0f;
  float RangeHigh = 1000.0f;
};

// The table-driven part of every Brio codec: one row at a time, by its
// coding. Rows coded Rule are left to the model's rules.
class BrioFieldCodec {
 public:
  // The separator-tolerant number of a typed or stored text: blanks around
  // it ignored, '.' or ',' as the decimal separator; nothing for anything
  // else (also NaN and infinities).
  static std::optional<double> ParseNumber(const QString& text);
  // Minimum <= value <= maximum, compared in single precision; a value that
  // is not a number fails.
  static bool CheckRange(float value, float minimum, float maximum);
  // Rounds halves to even; nothing when the result is not finite.
  static std::optional<std::int64_t> RoundChecked(double value);

  // Raw field access (little-endian); Offset and Width from the row.
  static std::int64_t ReadRaw(const BrioImageSet& images, const BrioFieldRow& row);
  // False (and nothing written) when `raw` does not fit the row's width.
  static bool WriteRaw(const BrioImageSet& images, const BrioFieldRow& row, std::int64_t raw);
  static bool Fits(BrioFieldWidth width, std::int64_t raw);

  // Decodes every generic row of `table` into `values` (Rule rows are
  // skipped; a list whose code is unknown and whose UnknownItem is
  // kBrioKeepItem leaves its value as it is).
  static void Decode(BrioFieldTable table, const BrioImageSet& images, const BrioCodecContext& context,
                     SetupValues& values);
  static void DecodeRow(const BrioFieldRow& row, const BrioImageSet& images, const BrioCodecContext& context,
                        SetupValues& values);

  // The number a control holds (a Text control's parsed text, a Spin
  // control's value); nothing when it holds none or a text that is no number.
  static std::optional<double> NumberOf(const SetupValues& values, const QString& name);

  // Runs the range checks of `table` in their Order; the first failure, or
  // a checked text that is not a number, comes back as the error.
  static std::optional<BrioFieldError> RunChecks(BrioFieldTable table, const SetupValues& values,
                                                 const BrioCodecContext& context);

  // Encodes every generic row into `images`. Stops at the first row whose
  // value is not a number or does not fit its field and returns it; the
  // images may then be partly written, so callers encode into copies.
  static std::optional<BrioFieldError> Encode(BrioFieldTable table, const SetupValues& values,
                                              const BrioCodecContext& context, const BrioImageSet& images);
  static std::optional<BrioFieldError> EncodeRow(const BrioFieldRow& row, const SetupValues& values,
                                                 const BrioCodecContext& context, const BrioImageSet& images);

  // The raw value of a number typed into a Scaled, Temperature or Difference
  // row; nothing when it is not finite.
  static std::optional<std::int64_t> RawOf(const BrioFieldRow& row, double value,
                                           const BrioCodecContext& context);
  // The error for `row`.
  static BrioFieldError ErrorFor(const BrioFieldRow& row);
  static const BrioFieldRow* FindRow(BrioFieldTable table, const QString& name);
};
