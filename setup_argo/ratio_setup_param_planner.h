#pragma once

#include <QString>
#include <optional>

#include "drivers/argo/argo_types.h"
#include "setup_argo/argo_setup_post_processing.h"
#include "setup_argo/argo_setup_write.h"

// The writes of the ratio setup dialog, without widgets: the control whose
// Tag (1..31) the change timer carries, with the value the user entered in
// the display unit, becomes the driver writes it stands for.
//
//   1 emissivity (0.05..1.0), 2 slope (0.8..1.2), 19 gain 1C (0.75..1.25),
//   20 gain 2C (0.9..1.1), 21 attenuation limit (-50..99 %): clamped;
//   5 process source, then, under attenuation, the advanced hold modes end
//     (the post-processing list falls back to "off");
//   7, 8 the value of digital alarm output 1/2 in the slot of its source:
//     raw = round(v x 10 + 1000), v in degrees C for temperature sources, in
//     percent for Tau and for the process value under attenuation; clamped
//     to the source's limits; no slot (no source chosen) writes nothing;
//   10 average time, 11 hold time (peak or valley by the post-processing
//     item, nothing for a time of 0 or below), 12 advanced-hold threshold,
//   13 advanced-hold hysteresis, 22 smart-averaging threshold (differences;
//     in percent, unconverted, under attenuation);
//   14, 15 normally open/closed of output 1/2; 16 temperature unit;
//   23 visual-alarm source, 24 display main-value source, 25 backlight
//     mode (ALmode bit 0), 29/30 blue/red normally closed (bits 2/3),
//     26/27 blue/red threshold, 28 threshold hysteresis;
//   31 the bus address: nothing (OK writes it).
//
// One object lives as long as the dialog: the post-processing list
// remembers the times it switched off between showings.
class RatioSetupParamPlanner {
 public:
  // What the dialog shows beside the edited control.
  struct TEdits {
    bool fahrenheit = false;  // the display unit (the device's)
    int postProcItem = 0;     // cbPostProcMode
    int processSource = 0;    // cbProcessSource (0 T 2C, 1 T 1C, 2 attenuation)
    int alarmSource1 = 0;     // cbDsource1 (0 Tquot .. 4 process value)
    int alarmSource2 = 0;     // cbDsource2
  };

  // Limits of a clamped value.
  struct TLimits {
    double min, max;
  };
  static constexpr TLimits kEpsilon{0.05, 1.0};
  static constexpr TLimits kSlope{0.8, 1.2};
  static constexpr TLimits kGain1C{0.75, 1.25};
  static constexpr TLimits kGain2C{0.9, 1.1};
  static constexpr TLimits kLimTau{-50.0, 99.0};
  static constexpr int kMaxAddress = 79;

  // The writes for `tag` with the edited control's `value`, in order;
  // `cache` is the driver's cached configuration.
  ArgoSetupWrites Plan(int tag, double value, const TEdits& edits, const TArgoConfig& cache);
  // The post-processing list's choice of `item` (see ArgoSetupPostProcessing).
  ArgoSetupWrites ChoosePostProcessing(int item, const TArgoConfig& cache);

  // The slot of an alarm output's value (0..4) for the source combo's
  // index, by the process source for the process value; none without one.
  static std::optional<int> AlarmSlot(int sourceItem, int processSource);
  // Whether the source's values are percentages (Tau, or the process value
  // under attenuation), which no unit conversion touches.
  static bool PercentSource(int sourceItem, int processSource);
  // The limits of an alarm value for the source combo's index in degrees C
  // (percent for Tau); none for an index without a table row.
  static std::optional<TLimits> AlarmLimits(int sourceItem, int processSource, const TArgoConfig& cache);
  // The shown value of a raw alarm word: raw / 10 - 100, in the display
  // unit unless a percentage.
  static double AlarmShown(std::uint16_t raw, bool percent, bool fahrenheit);

  // A number typed with either decimal separator (the program's number
  // parser): none for empty text, text that is no number, and "nan", "inf"
  // or an overflowing exponent.
  static std::optional<double> ParseFloatTolerant(const QString& text);
  // The bus address of the address edit's text: none when it is no number,
  // else the integer clamped to 0..79.
  static std::optional<int> ParseAddress(const QString& text);

  const ArgoSetupPostProcessing& PostProcessing() const { return FPostProcessing; }

 private:
  ArgoSetupPostProcessing FPostProcessing;
};
