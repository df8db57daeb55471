#pragma once

#include <QString>
#include <vector>

#include "drivers/argo/argo_types.h"

class TpyreonArgo;

// One write the single-colour setup dialog makes: which parameter, with
// which value in the driver's units (degrees Celsius, kelvin for
// differences, seconds, factors, codes). Carries it out with the driver's
// setter and names it the way the driver's write-all does, so the dialog
// reports a cut-short sequence and a write-all in the same words.
struct ArgoSetupWrite {
  enum Parameter {
    Emissivity,    // SetEmissivity
    Transmission,  // SetTransmission
    Alarm1,        // SetAlarm1 .. SetAlarm4
    Alarm2,
    Alarm3,
    Alarm4,
    AmbientValue,            // SetAmbientValue
    F3Temp1,                 // SetF3Temp1 (ambient input's low range temperature)
    F3Temp2,                 // SetF3Temp2
    AverageTime,             // SetAverageTime
    PeakHoldTime,            // SetPeakHoldTime
    ValleyHoldTime,          // SetValleyHoldTime
    AdvancedHoldThreshold,   // SetAdvancedHoldThreshold
    AdvancedHoldHysteresis,  // SetAdvancedHoldHysteresis (K)
    TweakOffset,             // SetTweakOffset (K)
    TweakGain,               // SetTweakGain
    TemperatureUnit,         // SetTemperatureUnit (value 1 = Fahrenheit)
    AlarmHysteresis,         // SetAlarmHysteresis (K)
    EmissivitySource,        // SetEmissivitySource (0 external, 1 fixed, 2 table)
    AmbientSource,           // SetAmbientSource (0 external, 1 fixed, 2 internal)
    AverageMode,             // SetAverageMode (1 smart averaging)
    AdvancedHoldMode,        // SetAdvancedHoldMode (0 off, 1 peak, 2 valley)
    AlarmMode,               // SetAlarmMode(Index, Mode)
    PanelLock,               // SetPanelLock (value 1 = locked)
    RS485Address,            // SetRS485Address (0..79)
  };

  Parameter Param = Emissivity;
  float Value = 0.0f;
  int Index = 0;        // AlarmMode: 0..3
  TArgoAlarmMode Mode;  // AlarmMode: the record written

  static ArgoSetupWrite Of(Parameter param, float value) { return {param, value, 0, {}}; }
  static ArgoSetupWrite OfAlarmMode(int index, const TArgoAlarmMode& mode) {
    return {AlarmMode, 0.0f, index, mode};
  }

  // The configuration file's name of the field, e.g. "Eps", "AL2",
  // "AlarmMode3" (as in a write-all report's items).
  QString Key() const;
  // The name in the driver's progress captions, e.g. "EMISSIVITY", "ALARM 2".
  QString Name() const;
  // Writes it with the driver's setter.
  TArgoWriteResult Apply(TpyreonArgo& driver) const;

  bool operator==(const ArgoSetupWrite&) const = default;
};

using ArgoSetupWrites = std::vector<ArgoSetupWrite>;
