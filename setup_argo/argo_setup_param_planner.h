#pragma once

#include "setup_argo/argo_setup_write.h"

// The delayed write of the single-colour setup dialog: the edit whose Tag
// (1..17) the change timer carries, with the value the user typed in the
// display unit, becomes the driver writes it stands for:
//   1 emissivity, 2 transmission (both limited to 0.1..1.1), 3..6 alarms 1..4,
//   7 ambient fixed value, 8/9 ambient input low/high range temperature,
//   10 average time, 11 hold time (peak or valley by the selected mode,
//   nothing otherwise), 12 advanced-hold threshold, 13 advanced-hold
//   hysteresis (a difference), 14 offset (a difference), 15 gain,
//   16 temperature unit (the radio item: 1 = Fahrenheit), 17 alarm
//   hysteresis (a difference, and only on models that have one).
// Tag 0 and Tags from 18 up write nothing.
//
// Alarm 1 never ends above alarm 2: raising alarm 1 above the shown alarm 2
// writes alarm 2 with the same value after it, lowering alarm 2 below alarm 1
// writes alarm 1 after it. The ambient input range keeps a span of at least
// 10 K: the edited end moves to 10 K (18 degrees F) from the other before it
// is written.
class ArgoSetupParamPlanner {
 public:
  // What the dialog shows beside the edited control, in the display unit.
  struct TEdits {
    bool fahrenheit = false;       // the display unit (the device's)
    bool alarmHysteresis = false;  // the model has an alarm hysteresis
    double alarm1 = 0.0;           // seAlarm1
    double alarm2 = 0.0;           // seAlarm2
    double ambLow = 0.0;           // seAmbLoRangeTemp
    double ambHigh = 0.0;          // seAmbHiRangeTemp
    int postProcItem = 0;          // cbPostProcMode (2 peak hold, 3 valley hold)
  };

  // The writes for `tag` with the edited control's `value`, in order.
  static ArgoSetupWrites Plan(int tag, double value, const TEdits& edits);
};
