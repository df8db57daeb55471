#pragma once

#include "setup_argo/argo_setup_write.h"

// The writes of the single-colour setup dialog's lists, radio groups,
// check box and buttons, made at once. An item of -1 (no selection: a
// cached value without an item) writes nothing, or, inside an alarm mode
// record, keeps the cached field.
class ArgoSetupSelectionWrites {
 public:
  // cbEmissivityMode: 0 fixed value, 1 external (pin F2), 2 table.
  static ArgoSetupWrites EmissivitySource(int item);
  // cbAmbientSource: 0 internal (head), 1 external (pin F3), 2 fixed value.
  static ArgoSetupWrites AmbientSource(int item);
  // cbSmartAveraging.
  static ArgoSetupWrites SmartAveraging(bool ticked);

  // The controls of one alarm mode record; -1 where the record has no
  // control (or no item is selected): the cached field stays.
  struct TAlarmControls {
    int source = -1;     // cbSource1..3: 0 TObj, 1 THead, 2 TBox
    int openClose = -1;  // rgNormally1..4: 0 open, 1 closed
    int digiAna = -1;    // rgAnalogDigital3/4: 0 digital, 1 analog
    int outMode = -1;    // rgRange3 / cbOutputMode4: 0..5
  };
  // The record written for mode `index` (0 visual alarm 1, 1 visual alarm 2,
  // 2 output channel 2, 3 output channel 1): the controls over `cached`.
  static TArgoAlarmMode AlarmModeRecord(const TAlarmControls& controls, const TArgoAlarmMode& cached);
  static ArgoSetupWrites AlarmMode(int index, const TAlarmControls& controls, const TArgoAlarmMode& cached);

  // "Blue Backlight": both visual alarms on the object temperature, open,
  // alarm 1 at the range's low end and alarm 2 at its high end (degrees C).
  // "Standard visual alarms": closed, 25.0 and 30.0 degrees C. Order: mode 0,
  // mode 1, alarm 1, alarm 2.
  static ArgoSetupWrites PresetBlue(const TArgoConfig& cached, float rangeLow, float rangeHigh);
  static ArgoSetupWrites PresetStandard(const TArgoConfig& cached);

  // Offset 0 K, gain 1.0.
  static ArgoSetupWrites ResetOffsetGain();
  // The panel lock toggled from the cached state.
  static ArgoSetupWrites TogglePanelLock(const TArgoConfig& cached);
  // OK: the bus address, only when it differs from the one loaded.
  static ArgoSetupWrites Address(int shown, int loaded);
};
