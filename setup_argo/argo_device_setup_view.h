#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "drivers/argo/argo_types.h"

// What the single-colour setup dialog shows for a cached configuration,
// without any widget: the item maps of its lists, the firmware rules, the
// ranges of its edits in the display unit, the enabled states and the
// post-processing mode. Item -1 means "no selection": a cached value that
// has no item is shown as none and never written back.
struct ArgoDeviceSetupView {
  // --- Item maps -----------------------------------------------------------
  // Emissivity source (0 external, 1 fixed, 2 table) <-> list item
  // (0 fixed value, 1 external, 2 table).
  static int EmissivityItem(std::uint8_t source);
  static int EmissivitySourceForItem(int item);  // -1 for no item
  // Ambient source (0 external, 1 fixed, 2 internal) <-> list item
  // (0 internal, 1 external, 2 fixed value).
  static int AmbientItem(std::uint8_t source);
  static int AmbientSourceForItem(int item);
  // Alarm source 0..2 (object, head, box); output mode 0..5 of output
  // channel 1; output range 0..1 of output channel 2; a 0/1 field.
  static int SourceItem(std::uint8_t source);
  static int OutputModeItem(std::uint8_t outMode);
  static int RangeItem(std::uint8_t outMode);
  static int FlagItem(std::uint8_t value);
  // Output channel 1 drives a thermocouple signal (modes 4 and up).
  static bool ThermocoupleOutput(std::uint8_t outMode) { return outMode >= 4; }

  // --- Post processing -----------------------------------------------------
  enum PostProcItem { ppOff = 0, ppAveraging, ppPeakHold, ppValleyHold, ppAdvPeakHold, ppAdvValleyHold };
  // The item for the cached hold mode and times; nullopt when only the
  // average time decides and none is given (`liveAverageTime`, read from the
  // device once per opening): the list keeps its item.
  static std::optional<int> PostProcMode(std::uint8_t advHoldMode, float peakHold, float valleyHold,
                                         std::optional<float> liveAverageTime);
  // True when the mode needs the live average time to be decided.
  static bool PostProcNeedsAverageTime(std::uint8_t advHoldMode, float peakHold, float valleyHold);
  // The hold time shown: the peak-hold time when set, else the valley-hold time.
  static float HoldTimeShown(float peakHold, float valleyHold);

  // --- Model and firmware rules ---------------------------------------------
  struct TimeStep {
    int decimals;
    double increment;  // also the edits' minimum
  };
  // Millisecond, 10 ms or 100 ms times.
  static TimeStep TimeResolution(const TArgoModelInfo& info);
  // The average-time edit's step for its current value (0.1 s and below
  // get the model's finer step).
  static TimeStep AvgTimeStep(const TArgoModelInfo& info, double value);
  // Head-code boxes 4 and 5 shown.
  static bool ShowsLargeHeadBoxes(int firmware) { return firmware >= 2000 && firmware <= 3000; }
  // Firmware with a single analog output: no output channel 2, no presets.
  static bool SingleOutputFirmware(int firmware) { return firmware >= 2400 && firmware <= 2499; }
  static bool HasPanelLock(int firmware) { return firmware >= 1011; }

  // --- Enabled states -------------------------------------------------------
  struct Enabled {
    bool emissivity, matTable;
    bool ambientValue, ambientRange;
    bool avgTime, holdTime, advHold;
    bool channel2Digital, channel1Digital;
    bool adjustSlope;
  };
  static Enabled EnabledStates(int emissivityItem, int ambientItem, int postProcItem, int analogDigital3,
                               int analogDigital4, int outputMode4);

  // --- Ranges ---------------------------------------------------------------
  struct Limits {
    double min, max;
  };
  struct Ranges {
    Limits alarm, ambient, ambLow, ambHigh, alarmHysteresis;
  };
  // The edits' limits in the display unit. The alarm hysteresis is a
  // difference: 0..20 K, 0..36 in Fahrenheit.
  static Ranges TemperatureRanges(float rangeHigh, bool fahrenheit);
  // Step of the visual alarm edits for the shown value.
  static double AlarmIncrement(double shownValue, bool fahrenheit);

  // Which of the four outputs (alarm 1, alarm 2, output channel 2, output
  // channel 1) the material table uses; none unless the emissivity comes
  // from the table.
  static std::array<bool, 4> UsedByMaterialTable(const TArgoConfig& config);
};
