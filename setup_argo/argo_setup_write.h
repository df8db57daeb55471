#pragma once

#include <QString>
#include <algorithm>
#include <array>
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
    MaterialTable,           // SetMaterialTable(Table)
    HeadCodeShort,           // SetHeadCodeShort(the first three groups of HeadCode)
    HeadCodeLarge,           // SetHeadCodeLarge(HeadCode)
    // The ratio model.
    RatioEpsilon,          // SetEpsilon (r_EPSILON)
    RatioSlope,            // SetSlope (r_SLOPE)
    RatioEpsilon2,         // SetEpsilon2 (r_EPSILON2, gain of the one-colour channel)
    RatioSlope2,           // SetSlope2 (r_SLOPE2, gain of the two-colour channel)
    LimTau,                // SetLimTau (percent)
    ProcessSource,         // SetProcessSource (0 two-colour, 1 one-colour, 2 attenuation)
    SmartThreshold,        // SetSmartThreshold (K)
    DALFunction,           // SetDALFunction(Index, value)
    AlarmSource,           // SetAlarmSource(Index, value 1..5)
    AlarmNormallyOpen,     // SetAlarmNormallyOpen(Index, value)
    AlarmValues,           // SetAlarmValues(Index, Values)
    VisualAlarmSource,     // SetVisualAlarmSource (0..7)
    DisplayMainSource,     // SetDisplayMainSource (0..4)
    RatioAlarmMode,        // SetRatioAlarmMode (ALmode byte)
    RatioAlarmHysteresis,  // SetRatioAlarmHysteresis (K)
  };

  Parameter Param = Emissivity;
  float Value = 0.0f;
  int Index = 0;                      // AlarmMode: 0..3
  TArgoAlarmMode Mode;                // AlarmMode: the record written
  TArgoMaterialTable Table{};         // MaterialTable
  std::array<QString, 5> HeadCode{};  // HeadCodeShort (groups 0..2), HeadCodeLarge
  TArgoAlarmValues Values{};          // AlarmValues: the five raw words written

  static ArgoSetupWrite Of(Parameter param, float value) {
    ArgoSetupWrite w;
    w.Param = param;
    w.Value = value;
    return w;
  }
  static ArgoSetupWrite OfAlarmMode(int index, const TArgoAlarmMode& mode) {
    ArgoSetupWrite w = Of(AlarmMode, 0.0f);
    w.Index = index;
    w.Mode = mode;
    return w;
  }
  // A setting of one of the ratio model's alarm outputs (Index 0 or 1).
  static ArgoSetupWrite OfOutput(Parameter param, int output, float value) {
    ArgoSetupWrite w = Of(param, value);
    w.Index = output;
    return w;
  }
  static ArgoSetupWrite OfAlarmValues(int output, const TArgoAlarmValues& values) {
    ArgoSetupWrite w = OfOutput(AlarmValues, output, 0.0f);
    w.Values = values;
    return w;
  }
  // The material table dialog's rows, written on its OK.
  static ArgoSetupWrite OfMaterialTable(const TArgoMaterialTable& table) {
    ArgoSetupWrite w = Of(MaterialTable, 0.0f);
    w.Table = table;
    return w;
  }
  // The head-code dialog's groups: three (short) or five (large).
  static ArgoSetupWrite OfHeadCode(const TArgoHeadCodeShort& groups) {
    ArgoSetupWrite w = Of(HeadCodeShort, 0.0f);
    std::copy(groups.begin(), groups.end(), w.HeadCode.begin());
    return w;
  }
  static ArgoSetupWrite OfHeadCode(const TArgoHeadCodeLarge& groups) {
    ArgoSetupWrite w = Of(HeadCodeLarge, 0.0f);
    w.HeadCode = groups;
    return w;
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
