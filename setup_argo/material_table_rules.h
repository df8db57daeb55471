#pragma once

#include <cstdint>
#include <vector>

#include "drivers/argo/argo_types.h"

// The rules of the material table editor, free of widgets: which outputs an
// alarm can drive on which firmware (the device code behind each item of the
// output list), the edits with their "set all" and the rule that the two
// alarms of a row never drive the same output, the outputs that have no
// effect, and the alarm editor's limits in the display unit.
class MaterialTableRules {
 public:
  // Device codes of an alarm's output.
  static constexpr std::uint8_t kVisualAlarm1 = 0;  // blue
  static constexpr std::uint8_t kVisualAlarm2 = 1;  // red
  static constexpr std::uint8_t kOutputChannel2 = 2;
  static constexpr std::uint8_t kOutputChannel1 = 3;
  static constexpr std::uint8_t kNone = 4;

  // Firmware 2400..2499 has one analog output only (output channel 1); a
  // failed read (65535) counts as other firmware.
  static bool SingleOutputFirmware(int firmware) { return firmware >= 2400 && firmware <= 2499; }
  // The codes of the output list's items, in list order. Only codes the
  // device acts on are offered: single-output firmware has no item for
  // output channel 2 (nor an empty one).
  static const std::vector<std::uint8_t>& ItemCodes(bool singleOutput);
  // The item showing `code`; -1 when the firmware has none for it.
  static int ItemForCode(std::uint8_t code, bool singleOutput);
  // The code of `item`; -1 for an index outside the list.
  static int CodeForItem(int item, bool singleOutput);

  // An alarm on an analog output has no effect (shown grey).
  static bool OutputWithoutEffect(std::uint8_t code, bool ch1Analog, bool ch2Analog) {
    return (code == kOutputChannel2 && ch2Analog) || (code == kOutputChannel1 && ch1Analog);
  }

  // The alarm editor's limits: the model's range (°C) in the display unit.
  struct TLimits {
    double Min = 0;
    double Max = 0;
  };
  static TLimits AlarmLimits(float rangeLowC, float rangeHighC, bool fahrenheit);

  // Edits; `all` applies them to every row ("Set all").
  static void SetEmissivity(TArgoMaterialTable& table, int row, float value, bool all);
  // `celsius` in °C; alarm B when `alarmB`, otherwise alarm A.
  static void SetAlarm(TArgoMaterialTable& table, bool alarmB, int row, float celsius, bool all);
  // Sets the output of alarm A or B; in every row changed the other alarm
  // gives the output up (it drives none) when it drove the same one.
  static void SetOutput(TArgoMaterialTable& table, bool alarmB, int row, std::uint8_t code, bool all);
};
