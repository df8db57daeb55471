#pragma once

#include <cstdint>
#include <span>

#include "setup_common/setup_values.h"

// One row per control of a Brio parameter image: where its value lives, how
// it is shown and typed, how it is checked before it is stored. A model's
// codec is its table plus the few rules that no row can describe (named
// functions beside the table).

// Which of a dialog's images a field lives in.
enum class BrioImageId { Config, Calibration, NewCalibration, Extended };

// The stored width and signedness of a field.
enum class BrioFieldWidth { U8, U16, S16, U32, S32 };

// How a field's raw value becomes its control's value and back.
enum class BrioCoding {
  // shown = (raw - RawBias) / RawPerUnit with Decimals;
  // raw = round(v * RawPerUnit + RawBias).
  Scaled,
  // A raw temperature word: tenths above -100 degrees Celsius (hundredths
  // with Hundredths), shown in the display unit by FormatRawTemperature,
  // stored as round(UnitToCelsius(v) * RawPerUnit + RawBias).
  Temperature,
  // A temperature difference: shown = DeltaCelsiusToUnit((raw - RawBias) /
  // RawPerUnit) with Decimals; raw = round(DeltaUnitToCelsius(v) * RawPerUnit
  // + RawBias).
  Difference,
  // A list: the bits under Mask map to an item through Codes.
  CodeList,
  // A check box: ticked when any bit under Mask is set.
  CheckBit,
  // Decoded and encoded by one of the model's named rules, not by the row.
  Rule,
};

// One entry of a list's code map. Decoding takes the first entry whose Code
// matches; encoding takes the first entry whose Item matches, unless it is
// marked DecodeOnly.
struct BrioCode {
  std::uint32_t Code = 0;
  int Item = 0;
  bool DecodeOnly = false;
};

// What a list does with a code that its map does not hold.
inline constexpr int kBrioKeepItem = -2;  // leave the control as it is

struct BrioCodecContext;

// An inclusive range check of the value as typed (times Factor), in single
// precision. Order gives the position in the model's check sequence (1 is
// first); 0 means the field is not range-checked. Limits, when set, gives
// the range from the context (for ranges that follow the display unit or
// the device's range) instead of Min and Max.
struct BrioFieldCheck {
  int Order = 0;
  double Factor = 1.0;
  float Min = 0.0f;
  float Max = 0.0f;
  void (*Limits)(const BrioCodecContext& context, float& min, float& max) = nullptr;
};

struct BrioFieldRow {
  const char* Name = "";  // the control's name, also its configuration file key
  SetupValueKind Kind = SetupValueKind::Text;
  BrioImageId Image = BrioImageId::Config;
  int Offset = -1;  // data byte offset in the image; -1 for a derived control
  BrioFieldWidth Width = BrioFieldWidth::U16;
  BrioCoding Coding = BrioCoding::Rule;
  double RawPerUnit = 1.0;
  double RawBias = 0.0;
  int Decimals = 0;
  bool Hundredths = false;  // Temperature: hundredths word
  std::uint32_t Mask = 0;   // CodeList, CheckBit: the bits the row owns (0: the whole field)
  std::span<const BrioCode> Codes = {};
  int UnknownItem = kBrioKeepItem;  // CodeList: the item of a code not in Codes
  BrioFieldCheck Check = {};
  // Decoded by its coding, encoded by one of the model's rules (a field whose
  // encoding depends on other controls); the generic encode skips it.
  bool EncodeByRule = false;
  // The field's name in "Error value : " + Caption, for a failed range check
  // and for a text that is not a number or does not fit the field.
  const char* Caption = "";
};

using BrioFieldTable = std::span<const BrioFieldRow>;

// Row makers for the models' tables.
struct BrioRow {
  static constexpr BrioFieldRow Scaled(const char* name, int offset, double rawPerUnit, int decimals,
                                       const char* caption) {
    BrioFieldRow r;
    r.Name = name;
    r.Offset = offset;
    r.Coding = BrioCoding::Scaled;
    r.RawPerUnit = rawPerUnit;
    r.Decimals = decimals;
    r.Caption = caption;
    return r;
  }

  // A raw temperature word in tenths, or hundredths (raw/100 - 100).
  static constexpr BrioFieldRow Temperature(const char* name, int offset, const char* caption,
                                            bool hundredths = false) {
    BrioFieldRow r;
    r.Name = name;
    r.Offset = offset;
    r.Coding = BrioCoding::Temperature;
    r.RawPerUnit = hundredths ? 100.0 : 10.0;
    r.RawBias = hundredths ? 10000.0 : 1000.0;
    r.Hundredths = hundredths;
    r.Decimals = hundredths ? 2 : 1;
    r.Caption = caption;
    return r;
  }

  // A difference word in tenths of a kelvin (rawPerUnit 100: hundredths)
  // above rawBias.
  static constexpr BrioFieldRow Difference(const char* name, int offset, double rawBias, const char* caption,
                                           double rawPerUnit = 10.0, int decimals = 1) {
    BrioFieldRow r;
    r.Name = name;
    r.Offset = offset;
    r.Coding = BrioCoding::Difference;
    r.RawPerUnit = rawPerUnit;
    r.RawBias = rawBias;
    r.Decimals = decimals;
    r.Caption = caption;
    return r;
  }

  static constexpr BrioFieldRow List(const char* name, int offset, BrioFieldWidth width, std::uint32_t mask,
                                     std::span<const BrioCode> codes, int unknownItem) {
    BrioFieldRow r;
    r.Name = name;
    r.Kind = SetupValueKind::ListIndex;
    r.Offset = offset;
    r.Width = width;
    r.Coding = BrioCoding::CodeList;
    r.Mask = mask;
    r.Codes = codes;
    r.UnknownItem = unknownItem;
    r.Caption = name;
    return r;
  }

  static constexpr BrioFieldRow Bit(const char* name, int offset, std::uint32_t mask) {
    BrioFieldRow r;
    r.Name = name;
    r.Kind = SetupValueKind::Mark;
    r.Offset = offset;
    r.Width = BrioFieldWidth::U8;
    r.Coding = BrioCoding::CheckBit;
    r.Mask = mask;
    r.Caption = name;
    return r;
  }

  static constexpr BrioFieldRow Rule(const char* name, SetupValueKind kind, int offset, BrioFieldWidth width,
                                     const char* caption) {
    BrioFieldRow r;
    r.Name = name;
    r.Kind = kind;
    r.Offset = offset;
    r.Width = width;
    r.Coding = BrioCoding::Rule;
    r.Caption = caption;
    return r;
  }

  static constexpr BrioFieldRow Checked(BrioFieldRow r, int order, double factor, float min, float max) {
    r.Check = BrioFieldCheck{order, factor, min, max, nullptr};
    return r;
  }

  static constexpr BrioFieldRow ByRule(BrioFieldRow r) {
    r.EncodeByRule = true;
    return r;
  }
};
