#include "setup_argo/argo_setup_write.h"

#include <cmath>

#include "drivers/argo/pyreon_argo.h"

namespace {

struct Names {
  const char* key;
  const char* name;
};

// Keys and names as the driver's write-all reports them.
Names NamesOf(ArgoSetupWrite::Parameter p) {
  switch (p) {
    case ArgoSetupWrite::Emissivity:
      return {"Eps", "EMISSIVITY"};
    case ArgoSetupWrite::Transmission:
      return {"Trans", "TRANSMISSION"};
    case ArgoSetupWrite::Alarm1:
      return {"AL1", "ALARM 1"};
    case ArgoSetupWrite::Alarm2:
      return {"AL2", "ALARM 2"};
    case ArgoSetupWrite::Alarm3:
      return {"AL3", "ALARM 3"};
    case ArgoSetupWrite::Alarm4:
      return {"AL4", "ALARM 4"};
    case ArgoSetupWrite::AmbientValue:
      return {"AmbTempValue", "AMBIENT TEMP. VALUE"};
    case ArgoSetupWrite::F3Temp1:
      return {"F3Temp1", "F3 TEMP. 1"};
    case ArgoSetupWrite::F3Temp2:
      return {"F3Temp2", "F3 TEMP. 2"};
    case ArgoSetupWrite::AverageTime:
      return {"AvgTime", "AVERAGE TIME"};
    case ArgoSetupWrite::PeakHoldTime:
      return {"PHoldTime", "PEAKHOLD TIME"};
    case ArgoSetupWrite::ValleyHoldTime:
      return {"VHoldTime", "VALLEYHOLD TIME"};
    case ArgoSetupWrite::AdvancedHoldThreshold:
      return {"AdvHoldThreshold", "ADV. HOLD THRESHOLD"};
    case ArgoSetupWrite::AdvancedHoldHysteresis:
      return {"AdvHoldHysteresis", "ADV. HOLD HYSTERESIS"};
    case ArgoSetupWrite::TweakOffset:
      return {"TweakOffs", "TWEAK OFFSET"};
    case ArgoSetupWrite::TweakGain:
      return {"TweakGain", "TWEAK GAIN"};
    case ArgoSetupWrite::TemperatureUnit:
      return {"Tempunit", "TEMP. UNIT"};
    case ArgoSetupWrite::AlarmHysteresis:
      return {"AlarmHysteresis", "ALARM HYSTERESE"};
    case ArgoSetupWrite::EmissivitySource:
      return {"EpsilonSrc", "EMISSIVITY SOURCE"};
    case ArgoSetupWrite::AmbientSource:
      return {"AmbTempSrc", "AMBIENT TEMP. SOURCE"};
    case ArgoSetupWrite::AverageMode:
      return {"AvgMode", "AVG. MODE"};
    case ArgoSetupWrite::AdvancedHoldMode:
      return {"AdvHoldMode", "ADV. HOLD MODE"};
    case ArgoSetupWrite::AlarmMode:
      return {"AlarmMode", "ALARM MODE "};
    case ArgoSetupWrite::PanelLock:
      return {"PanelLock", "PANEL LOCK"};
    case ArgoSetupWrite::RS485Address:
      return {"RS485addr", "RS485 ADDR."};
    case ArgoSetupWrite::MaterialTable:
      return {"Materialtable", "MATERIAL TABLE"};
    case ArgoSetupWrite::HeadCodeShort:
      return {"HeadCodeStringShort", "HEADCODE SHORT"};
    case ArgoSetupWrite::HeadCodeLarge:
      return {"HeadCodeStringLarge", "HEADCODE LARGE"};
    case ArgoSetupWrite::RatioEpsilon:
      return {"r_EPSILON", "RATIO EPSILON"};
    case ArgoSetupWrite::RatioSlope:
      return {"r_SLOPE", "RATIO SLOPE"};
    case ArgoSetupWrite::RatioEpsilon2:
      return {"r_EPSILON2", "RATIO EPSILON2"};
    case ArgoSetupWrite::RatioSlope2:
      return {"r_SLOPE2", "RATIO SLOPE2"};
    case ArgoSetupWrite::LimTau:
      return {"r_LimTau", "RATIO LIM_TAU"};
    case ArgoSetupWrite::ProcessSource:
      return {"ProcessSource", "PROCESS SOURCE"};
    case ArgoSetupWrite::SmartThreshold:
      return {"SmartThreshold", "SMART THRESHOLD"};
    case ArgoSetupWrite::DALFunction:
      return {"DAL%1_Function", "DAL%1 Function"};
    case ArgoSetupWrite::AlarmSource:
      return {"AL%1_Source", "DAL%1 Source"};
    case ArgoSetupWrite::AlarmNormallyOpen:
      return {"AL%1_NoNc", "DAL%1 NORMALLY"};
    case ArgoSetupWrite::AlarmValues:
      return {"AL%1_Values", "DAL%1 VALUES"};
    case ArgoSetupWrite::VisualAlarmSource:
      return {"VisualAlarmSource", "VISUAL ALARM SOURCE"};
    case ArgoSetupWrite::DisplayMainSource:
      return {"DisplayMainSource", "DISPLAY MAIN SOURCE"};
    case ArgoSetupWrite::RatioAlarmMode:
      return {"ALmode", "AL-MODE VALUE"};
    case ArgoSetupWrite::RatioAlarmHysteresis:
      return {"ALhysteresis", "AL-HYST VALUE"};
  }
  return {"", ""};
}

int Code(float value) { return static_cast<int>(std::lround(value)); }

// A code for a byte register; one that does not fit is refused by the setter.
std::uint8_t ByteCode(float value) {
  const int code = Code(value);
  return static_cast<std::uint8_t>(code < 0 || code > 255 ? 255 : code);
}

}  // namespace

// The settings of the ratio model's alarm outputs carry the output's number.
static bool PerOutput(ArgoSetupWrite::Parameter p) {
  return p == ArgoSetupWrite::DALFunction || p == ArgoSetupWrite::AlarmSource ||
         p == ArgoSetupWrite::AlarmNormallyOpen || p == ArgoSetupWrite::AlarmValues;
}

QString ArgoSetupWrite::Key() const {
  const QString key = QString::fromLatin1(NamesOf(Param).key);
  if (PerOutput(Param)) return key.arg(Index);
  return Param == AlarmMode ? key + QString::number(Index) : key;
}

QString ArgoSetupWrite::Name() const {
  const QString name = QString::fromLatin1(NamesOf(Param).name);
  if (PerOutput(Param)) return name.arg(Index);
  return Param == AlarmMode ? name + QString::number(Index) : name;
}

TArgoWriteResult ArgoSetupWrite::Apply(TpyreonArgo& d) const {
  switch (Param) {
    case Emissivity:
      return d.SetEmissivity(Value);
    case Transmission:
      return d.SetTransmission(Value);
    case Alarm1:
      return d.SetAlarm1(Value);
    case Alarm2:
      return d.SetAlarm2(Value);
    case Alarm3:
      return d.SetAlarm3(Value);
    case Alarm4:
      return d.SetAlarm4(Value);
    case AmbientValue:
      return d.SetAmbientValue(Value);
    case F3Temp1:
      return d.SetF3Temp1(Value);
    case F3Temp2:
      return d.SetF3Temp2(Value);
    case AverageTime:
      return d.SetAverageTime(Value);
    case PeakHoldTime:
      return d.SetPeakHoldTime(Value);
    case ValleyHoldTime:
      return d.SetValleyHoldTime(Value);
    case AdvancedHoldThreshold:
      return d.SetAdvancedHoldThreshold(Value);
    case AdvancedHoldHysteresis:
      return d.SetAdvancedHoldHysteresis(Value);
    case TweakOffset:
      return d.SetTweakOffset(Value);
    case TweakGain:
      return d.SetTweakGain(Value);
    case TemperatureUnit:
      return d.SetTemperatureUnit(Code(Value));
    case AlarmHysteresis:
      return d.SetAlarmHysteresis(Value);
    case EmissivitySource:
      return d.SetEmissivitySource(Code(Value));
    case AmbientSource:
      return d.SetAmbientSource(Code(Value));
    case AverageMode:
      return d.SetAverageMode(Code(Value) == 1);
    case AdvancedHoldMode:
      return d.SetAdvancedHoldMode(Code(Value));
    case AlarmMode:
      return d.SetAlarmMode(Index, Mode);
    case PanelLock:
      return d.SetPanelLock(Code(Value) == 1);
    case RS485Address: {
      // A value the address byte cannot hold is refused like one above 79.
      const int address = Code(Value);
      return d.SetRS485Address(static_cast<std::uint8_t>(address < 0 || address > 255 ? 255 : address));
    }
    case MaterialTable:
      return d.SetMaterialTable(Table);
    case HeadCodeShort:
      return d.SetHeadCodeShort({HeadCode[0], HeadCode[1], HeadCode[2]});
    case HeadCodeLarge:
      return d.SetHeadCodeLarge(HeadCode);
    case RatioEpsilon:
      return d.SetEpsilon(Value);
    case RatioSlope:
      return d.SetSlope(Value);
    case RatioEpsilon2:
      return d.SetEpsilon2(Value);
    case RatioSlope2:
      return d.SetSlope2(Value);
    case LimTau:
      return d.SetLimTau(Value);
    case ProcessSource:
      return d.SetProcessSource(ByteCode(Value));
    case SmartThreshold: {
      // The edit shows the threshold read back from the device afterwards.
      const TArgoWriteResult result = d.SetSmartThreshold(Value);
      if (result.Result != TArgoWriteResult::Unconfirmed) d.GetSmartThreshold();
      return result;
    }
    case DALFunction:
      return d.SetDALFunction(Index, ByteCode(Value));
    case AlarmSource:
      return d.SetAlarmSource(Index, ByteCode(Value));
    case AlarmNormallyOpen:
      return d.SetAlarmNormallyOpen(Index, ByteCode(Value));
    case AlarmValues:
      return d.SetAlarmValues(Index, Values);
    case VisualAlarmSource:
      return d.SetVisualAlarmSource(ByteCode(Value));
    case DisplayMainSource:
      return d.SetDisplayMainSource(ByteCode(Value));
    case RatioAlarmMode:
      return d.SetRatioAlarmMode(ByteCode(Value));
    case RatioAlarmHysteresis:
      return d.SetRatioAlarmHysteresis(Value);
  }
  return TArgoWriteResult::Rejected;
}
