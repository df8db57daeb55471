// Whole-configuration operations of the single-colour driver: read-all,
// write-all and the configuration files.

#include <QDateTime>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>
#include <cfloat>
#include <cmath>
#include <exception>
#include <limits>
#include <type_traits>

#include "drivers/argo/argo_codec.h"
#include "drivers/argo/pyreon_argo.h"
#include "platform/ini_file.h"
#include "platform/number_text.h"

// --- Read-all and write-all -----------------------------------------------------------

void TpyreonArgo::Progress(int step, int total, const QString& caption) {
  if (!OnProgress) return;
  const auto percent = static_cast<int>(NumberText::Round(static_cast<double>(step) / total * 100.0));
  OnProgress(this, percent, caption);
}

namespace {

// Ends a read-all once one of its requests went unanswered after all tries.
struct SequenceGivenUp {};

}  // namespace

bool TpyreonArgo::ReadAllParameters(bool notify) {
  // A device that does not answer one request will not answer the next
  // seventy: the first request that fails all its tries ends the read (its
  // failure was reported once by the exchange).
  inSequence_ = true;
  sequenceAbandoned_ = false;
  bool complete = false;
  try {
    complete = ReadAllSteps();
  } catch (const SequenceGivenUp&) {
    // Thrown on purpose when the owner or a failed exchange gave the read
    // up (the failure itself was logged where it happened); the owner
    // learns it through ConfigValid below.
    WriteLog(QStringLiteral("Konfiguration lesen abgebrochen"));
  }
  inSequence_ = false;
  sequenceAbandoned_ = false;
  config_.ConfigValid = complete && connected_ && PortOpen();
  // The owner learns whether the read succeeded, so it can try again.
  if (notify && OnLoadConfigData) OnLoadConfigData(this, config_.ConfigValid);
  return config_.ConfigValid;
}

bool TpyreonArgo::ReadAllSteps() {
  int total = 42;
  int step = 0;
  auto done = [&](const QString& caption) {
    if (SequenceAbandoned()) throw SequenceGivenUp{};
    Progress(++step, total, caption);
  };

  ClearPortBuffers(false, true);
  SleepMs(50);
  ClearPortBuffers(true, false);
  if (PortOpen() && PortInputCount() > 0) SetBurstMode(false);
  ClearPortBuffers(true, true);

  GetFirmwareRevision();
  GetFirmwareRevision();
  done(QStringLiteral("READ FW REV."));
  GetModelInfo();
  done(QStringLiteral("READ MODEL INFO"));

  if (!IsRatioFirmware()) {
    GetEmissivity();
    done(QStringLiteral("READ EMISSIVITY"));
    GetTransmission();
    done(QStringLiteral("READ TRANSMISSION"));
    GetAlarm1();
    done(QStringLiteral("READ ALARM 1"));
    GetAlarm2();
    done(QStringLiteral("READ ALARM 2"));
    GetAlarm3();
    done(QStringLiteral("READ ALARM 3"));
    GetAlarm4();
    done(QStringLiteral("READ ALARM 4"));
    GetAmbientSource();
    done(QStringLiteral("READ AMBIENT TEMP. SOURCE"));
    GetAmbientValue();
    done(QStringLiteral("READ AMBIENT TEMP. FIX VALUE"));
    GetEmissivitySource();
    done(QStringLiteral("READ EMISSIVITY SOURCE"));
    GetIRFailsafe();
    done(QStringLiteral("READ IR FAILSAFE"));
    GetAmbientFailsafe();
    done(QStringLiteral("READ AMBIENT FAILSAFE"));
    GetAmbientDacPercent();
    done(QStringLiteral("READ AMBIENT-DAC PERCENT"));
    GetMaterialTable();
    done(QStringLiteral("READ MATERIAL TABLE"));
    if (UsesLargeHeadCode(config_.FWrev))
      GetHeadCodeLarge();
    else
      GetHeadCodeShort();
    done(QStringLiteral("READ HEADCODE"));
    GetTweakGain();
    done(QStringLiteral("READ TWEAK GAIN"));
    for (int n = 0; n < 4; ++n) {
      GetAlarmMode(n);
      done(QStringLiteral("READ ALARM MODE %1").arg(n));
    }
    if (config_.ModelInfo.AlHysteresis) {
      GetAlarmHysteresis();
      done(QStringLiteral("READ ALARM HYSTERESE"));
    }
    GetF3Temp1();
    done(QStringLiteral("READ F3 TEMP. MIN"));
    GetF3Temp2();
    done(QStringLiteral("READ F3 TEMP. MAX"));
    if (config_.FWrev >= 1011 && config_.FWrev < 2000) {
      GetPanelLock();
      done(QStringLiteral("READ PANEL LOCK"));
    }
  } else {
    total = 46;
    if (GetFirmwareRevision() != 0xFFFF && config_.FWrev >= 5014) {
      GetAddTop();
      done(QStringLiteral("READ ADDTOP"));
      GetMulTop();
      done(QStringLiteral("READ MULTOP"));
      GetAddQuot();
      done(QStringLiteral("READ ADDQUOT"));
      GetMulQuot();
      done(QStringLiteral("READ MULQUOT"));
    }
    GetFirmwareRevision();
    if (config_.FWrev >= 5016) {
      GetDeflection1();
      done(QStringLiteral("READ DEFLECTION 1"));
      GetDeflection2();
      done(QStringLiteral("READ DEFLECTION 2"));
    }
    for (int n = 0; n < 4; ++n) {
      GetAlarmMode(n);
      done(QStringLiteral("READ ALARM MODE %1").arg(n));
    }
    int a = 0, b = 0;
    GetLWLParameter(a, b);
    done(QStringLiteral("READ LWL PARAMETER"));
    float s = 0, e = 0;
    GetMBRange(s, e);
    done(QStringLiteral("READ MB RANGE"));
    GetSlope();
    done(QStringLiteral("READ SLOPE"));
    GetSlope2();
    done(QStringLiteral("READ SLOPE2"));
    GetEpsilon();
    done(QStringLiteral("READ EPSILON"));
    GetEpsilon2();
    done(QStringLiteral("READ EPSILON2"));
    GetDetTop();
    done(QStringLiteral("READ DET_TOP"));
    GetLimTau();
    done(QStringLiteral("READ LIM TAU"));
    GetItemNumber();
    done(QStringLiteral("READ ITEMNUMBER"));
    GetRatioSerialNumber();
    done(QStringLiteral("READ SERIALNUMBER"));
    GetDALFunction(0);
    done(QStringLiteral("READ DAL1 FUNCTION"));
    GetDALFunction(1);
    done(QStringLiteral("READ DAL2 FUNCTION"));
    GetAlarmSource(0);
    done(QStringLiteral("READ ALx SOURCE"));
    GetAlarmSource(1);
    done(QStringLiteral("READ ALx SOURCE"));
    TArgoAlarmValues values;
    GetAlarmValues(0, values);
    GetAlarmValues(1, values);
    done(QStringLiteral("READ ALx VALUES"));
    GetAlarmNormallyOpen(0);
    GetAlarmNormallyOpen(1);
    done(QStringLiteral("READ ALx NORMALLY OPEN / CLOSE"));
    GetSmartThreshold();
    done(QStringLiteral("READ SMART THRESHOLD"));
    GetProcessSource();
    done(QStringLiteral("READ PROCESS SOURCE"));
    GetVisualAlarmSettings();
    done(QStringLiteral("READ VISUAL ALARM SETTINGS"));
    GetVisualAlarmSource();
    done(QStringLiteral("READ VISUAL ALARM SOURCE"));
    GetDisplayMainSource();
    done(QStringLiteral("READ DISPLAY MAIN SOURCE"));
    if (HasExtendedAlarms()) {
      GetAlarm1();
      done(QStringLiteral("READ ALARM 1"));
      GetAlarm2();
      done(QStringLiteral("READ ALARM 2"));
      GetRatioAlarmHysteresis();
      done(QStringLiteral("READ RATIO ALARM HYST"));
      GetRatioAlarmMode();
      done(QStringLiteral("READ RATIO ALARM MODE"));
    }
  }

  GetAverageTime();
  done(QStringLiteral("READ AVG. TIME"));
  GetValleyHoldTime();
  done(QStringLiteral("READ VALLEY HOLD TIME"));
  GetPeakHoldTime();
  done(QStringLiteral("READ PEAK HOLD TIME"));
  GetTemperatureUnit();
  done(QStringLiteral("READ TEMP. UNIT"));
  GetSerialNumber();
  done(QStringLiteral("READ SERIAL NUMBER"));
  GetRS485Address();
  done(QStringLiteral("READ RS485 ADDR."));
  GetScaledOutputMin();
  done(QStringLiteral("READ OUT MIN"));
  GetScaledOutputMax();
  done(QStringLiteral("READ OUT MAX"));
  GetOutputTempMin();
  done(QStringLiteral("READ OUTPUT TEMP. MIN"));
  GetOutputTempMax();
  done(QStringLiteral("READ OUTPUT TEMP. MAX"));
  GetIRDacPercent();
  done(QStringLiteral("READ IR-DAC PERCENT"));
  GetAverageMode();
  done(QStringLiteral("READ AVG MODE"));
  GetAdvancedHoldMode();
  done(QStringLiteral("READ ADVANCED HOLDE MODE"));
  GetAdvancedHoldThreshold();
  done(QStringLiteral("READ ADV. HOLD THRESHOLD"));
  GetAdvancedHoldHysteresis();
  done(QStringLiteral("READ ADV. HOLD HYSTERESE"));
  GetSpotIllumination();
  done(QStringLiteral("READ SPOT ILLUMINATION"));
  GetTweakOffset();
  done(QStringLiteral("READ TWEAK OFFSET"));
  std::array<std::uint8_t, 8> slots{};
  GetBurstChannels(slots);
  done(QStringLiteral("READ BURST VALUES"));
  if (config_.FWrev >= 1011 && config_.FWrev < 2000) {
    GetPanelLock();
    done(QStringLiteral("READ PANEL LOCK"));
  }
  return !SequenceAbandoned();
}

TArgoWriteReport TpyreonArgo::WriteAllParameters(const TArgoConfig& newConfig) {
  WriteLog(QStringLiteral("Schreibe ganze Konfiguration - START -"));
  const TArgoConfig n = newConfig;
  TArgoConfig& c = config_;
  TArgoWriteReport report;
  int total = 37;
  int step = 0;
  // A device that does not answer one write will not answer the next
  // thirty: the first write that goes unanswered after all its tries ends
  // the sequence, as a cancel does. What was not sent is still listed.
  inSequence_ = true;
  sequenceAbandoned_ = false;
  using Write = std::function<TArgoWriteResult()>;
  auto write = [&](const QString& key, const QString& name, const Write& w) {
    if (SequenceAbandoned()) {
      report.Items.push_back({key, name, TArgoWriteResult::NotAttempted});
      return;
    }
    report.Items.push_back({key, name, w()});
    Progress(step, total, QStringLiteral("WRITE ") + name);
  };
  auto stepIf = [&](bool changed, const QString& key, const QString& name, const Write& w) {
    ++step;
    if (changed) write(key, name, w);
  };
  auto alarmModes = [&] {
    ++step;
    for (int m = 0; m < 4; ++m) {
      const auto i = static_cast<std::size_t>(m);
      if (n.AlarmMode[i] == c.AlarmMode[i]) continue;
      write(QStringLiteral("AlarmMode%1").arg(m), QStringLiteral("ALARM MODE ") + QString::number(m),
            [&] { return SetAlarmMode(m, n.AlarmMode[i]); });
    }
  };

  stepIf(n.AverageTime != c.AverageTime, QStringLiteral("AvgTime"), QStringLiteral("AVERAGE TIME"),
         [&] { return SetAverageTime(n.AverageTime); });
  stepIf(n.ValleyHoldTime != c.ValleyHoldTime, QStringLiteral("VHoldTime"), QStringLiteral("VALLEYHOLD TIME"),
         [&] { return SetValleyHoldTime(n.ValleyHoldTime); });
  stepIf(n.PeakHoldTime != c.PeakHoldTime, QStringLiteral("PHoldTime"), QStringLiteral("PEAKHOLD TIME"),
         [&] { return SetPeakHoldTime(n.PeakHoldTime); });
  // Command 0x4A is a deflection on the ratio model: the single-colour
  // hysteresis is written only where it is also read.
  stepIf(n.ModelInfo.AlHysteresis && !IsRatioFirmware() && n.AlarmHysteresis != c.AlarmHysteresis,
         QStringLiteral("AlarmHysteresis"), QStringLiteral("ALARM HYSTERESE"),
         [&] { return SetAlarmHysteresis(n.AlarmHysteresis); });

  if (!IsRatioFirmware()) {
    stepIf(n.Emissivity != c.Emissivity, QStringLiteral("Eps"), QStringLiteral("EMISSIVITY"),
           [&] { return SetEmissivity(n.Emissivity); });
    stepIf(n.Transmission != c.Transmission, QStringLiteral("Trans"), QStringLiteral("TRANSMISSION"),
           [&] { return SetTransmission(n.Transmission); });
    stepIf(n.Alarm[0] != c.Alarm[0], QStringLiteral("AL1"), QStringLiteral("ALARM 1"),
           [&] { return SetAlarm1(n.Alarm[0]); });
    stepIf(n.Alarm[1] != c.Alarm[1], QStringLiteral("AL2"), QStringLiteral("ALARM 2"),
           [&] { return SetAlarm2(n.Alarm[1]); });
    stepIf(n.Alarm[2] != c.Alarm[2], QStringLiteral("AL3"), QStringLiteral("ALARM 3"),
           [&] { return SetAlarm3(n.Alarm[2]); });
    stepIf(n.Alarm[3] != c.Alarm[3], QStringLiteral("AL4"), QStringLiteral("ALARM 4"),
           [&] { return SetAlarm4(n.Alarm[3]); });
    stepIf(n.AmbientSource != c.AmbientSource, QStringLiteral("AmbTempSrc"),
           QStringLiteral("AMBIENT TEMP. SOURCE"), [&] { return SetAmbientSource(n.AmbientSource); });
    stepIf(n.AmbientValue != c.AmbientValue, QStringLiteral("AmbTempValue"),
           QStringLiteral("AMBIENT TEMP. VALUE"), [&] { return SetAmbientValue(n.AmbientValue); });
    stepIf(n.EmissivitySource != c.EmissivitySource, QStringLiteral("EpsilonSrc"),
           QStringLiteral("EMISSIVITY SOURCE"), [&] { return SetEmissivitySource(n.EmissivitySource); });
    stepIf(n.IRFailsafe != c.IRFailsafe, QStringLiteral("IRfailsafe"), QStringLiteral("IR FAILSAFE"),
           [&] { return SetIRFailsafe(n.IRFailsafe); });
    stepIf(n.AmbientFailsafe != c.AmbientFailsafe, QStringLiteral("Ambfailsafe"),
           QStringLiteral("AMBIENT FAILSAFE"), [&] { return SetAmbientFailsafe(n.AmbientFailsafe); });
    stepIf(n.MaterialTable != c.MaterialTable, QStringLiteral("Materialtable"),
           QStringLiteral("MATERIAL TABLE"), [&] { return SetMaterialTable(n.MaterialTable); });
    stepIf(n.TweakGain != c.TweakGain, QStringLiteral("TweakGain"), QStringLiteral("TWEAK GAIN"),
           [&] { return SetTweakGain(n.TweakGain); });
    stepIf(n.F3Temp1 != c.F3Temp1, QStringLiteral("F3Temp1"), QStringLiteral("F3 TEMP. 1"),
           [&] { return SetF3Temp1(n.F3Temp1); });
    stepIf(n.F3Temp2 != c.F3Temp2, QStringLiteral("F3Temp2"), QStringLiteral("F3 TEMP. 2"),
           [&] { return SetF3Temp2(n.F3Temp2); });
    // The same form as the read: large for firmware 2001..2999.
    if (UsesLargeHeadCode(n.FWrev))
      stepIf(n.HeadCodeLarge != c.HeadCodeLarge, QStringLiteral("HeadCodeStringLarge"),
             QStringLiteral("HEADCODE LARGE"), [&] { return SetHeadCodeLarge(n.HeadCodeLarge); });
    else
      stepIf(n.HeadCodeShort != c.HeadCodeShort, QStringLiteral("HeadCodeStringShort"),
             QStringLiteral("HEADCODE SHORT"), [&] { return SetHeadCodeShort(n.HeadCodeShort); });
    alarmModes();
  } else {
    total = 42;
    alarmModes();
    stepIf(HasChannelCalibration() && n.AddTop != c.AddTop, QStringLiteral("r_AddTop"),
           QStringLiteral("RATIO ADDTOP"), [&] { return SetAddTop(n.AddTop); });
    stepIf(HasChannelCalibration() && n.MulTop != c.MulTop, QStringLiteral("r_MulTop"),
           QStringLiteral("RATIO MULTOP"), [&] { return SetMulTop(n.MulTop); });
    stepIf(HasChannelCalibration() && n.AddQuot != c.AddQuot, QStringLiteral("r_AddQuot"),
           QStringLiteral("RATIO ADDQUOT"), [&] { return SetAddQuot(n.AddQuot); });
    stepIf(HasChannelCalibration() && n.MulQuot != c.MulQuot, QStringLiteral("r_MulQuot"),
           QStringLiteral("RATIO MULQUOT"), [&] { return SetMulQuot(n.MulQuot); });
    stepIf(n.LWLDiameter != c.LWLDiameter || n.LWLLength != c.LWLLength, QStringLiteral("r_LWL"),
           QStringLiteral("RATIO LWL DIA"), [&] { return SetLWLParameter(n.LWLDiameter, n.LWLLength); });
    stepIf(n.MBRangeStart != c.MBRangeStart || n.MBRangeEnd != c.MBRangeEnd, QStringLiteral("r_MB"),
           QStringLiteral("RATIO MB ANF_END"), [&] { return SetMBRange(n.MBRangeStart, n.MBRangeEnd); });
    stepIf(n.Slope != c.Slope, QStringLiteral("r_SLOPE"), QStringLiteral("RATIO SLOPE"),
           [&] { return SetSlope(n.Slope); });
    stepIf(n.Slope2 != c.Slope2, QStringLiteral("r_SLOPE2"), QStringLiteral("RATIO SLOPE2"),
           [&] { return SetSlope2(n.Slope2); });
    stepIf(n.Epsilon != c.Epsilon, QStringLiteral("r_EPSILON"), QStringLiteral("RATIO EPSILON"),
           [&] { return SetEpsilon(n.Epsilon); });
    stepIf(n.Epsilon2 != c.Epsilon2, QStringLiteral("r_EPSILON2"), QStringLiteral("RATIO EPSILON2"),
           [&] { return SetEpsilon2(n.Epsilon2); });
    stepIf(n.DetTop != c.DetTop, QStringLiteral("r_detTop"), QStringLiteral("RATIO DET_TOP"),
           [&] { return SetDetTop(n.DetTop); });
    stepIf(n.LimTau != c.LimTau, QStringLiteral("r_LimTau"), QStringLiteral("RATIO LIM_TAU"),
           [&] { return SetLimTau(n.LimTau); });
    stepIf(n.ItemNumber != c.ItemNumber, QStringLiteral("r_Itemnumber"), QStringLiteral("RATIO ITEM_NUMBER"),
           [&] { return SetItemNumber(n.ItemNumber); });
    stepIf(n.RatioSerialNumber != c.RatioSerialNumber, QStringLiteral("r_Serialnumber"),
           QStringLiteral("RATIO SERIAL_NUMBER"), [&] { return SetRatioSerialNumber(n.RatioSerialNumber); });
    for (int o = 0; o < 2; ++o) {
      const auto i = static_cast<std::size_t>(o);
      stepIf(n.DALFunction[i] != c.DALFunction[i], QStringLiteral("DAL%1_Function").arg(o),
             QStringLiteral("DAL%1 Function").arg(o), [&] { return SetDALFunction(o, n.DALFunction[i]); });
    }
    for (int o = 0; o < 2; ++o) {
      const auto i = static_cast<std::size_t>(o);
      stepIf(n.AlarmSource[i] != c.AlarmSource[i], QStringLiteral("AL%1_Source").arg(o),
             QStringLiteral("DAL%1 Source").arg(o), [&] { return SetAlarmSource(o, n.AlarmSource[i]); });
    }
    for (int o = 0; o < 2; ++o) {
      const auto i = static_cast<std::size_t>(o);
      stepIf(n.AlarmValues[i] != c.AlarmValues[i], QStringLiteral("AL%1_Values").arg(o),
             QStringLiteral("DAL%1 VALUES").arg(o), [&] { return SetAlarmValues(o, n.AlarmValues[i]); });
    }
    for (int o = 0; o < 2; ++o) {
      const auto i = static_cast<std::size_t>(o);
      stepIf(n.AlarmNormallyOpen[i] != c.AlarmNormallyOpen[i], QStringLiteral("AL%1_NoNc").arg(o),
             QStringLiteral("DAL%1 NORMALLY").arg(o),
             [&] { return SetAlarmNormallyOpen(o, n.AlarmNormallyOpen[i]); });
    }
    stepIf(n.SmartThreshold != c.SmartThreshold, QStringLiteral("SmartThreshold"),
           QStringLiteral("SMART THRESHOLD"), [&] { return SetSmartThreshold(n.SmartThreshold); });
    stepIf(n.ProcessSource != c.ProcessSource, QStringLiteral("ProcessSource"),
           QStringLiteral("PROCESS SOURCE"), [&] { return SetProcessSource(n.ProcessSource); });
    stepIf(n.VisualAlarms != c.VisualAlarms, QStringLiteral("VisualAlarm"),
           QStringLiteral("VISUAL ALARM SETTINGS"), [&] { return SetVisualAlarmSettings(n.VisualAlarms); });
    stepIf(n.VisualAlarmSource != c.VisualAlarmSource, QStringLiteral("VisualAlarmSource"),
           QStringLiteral("VISUAL ALARM SOURCE"), [&] { return SetVisualAlarmSource(n.VisualAlarmSource); });
    stepIf(n.DisplayMainSource != c.DisplayMainSource, QStringLiteral("DisplayMainSource"),
           QStringLiteral("DISPLAY MAIN SOURCE"), [&] { return SetDisplayMainSource(n.DisplayMainSource); });
    if (HasExtendedAlarms()) {
      stepIf(n.Alarm[0] != c.Alarm[0], QStringLiteral("AL1"), QStringLiteral("AL1 VALUE"),
             [&] { return SetAlarm1(n.Alarm[0]); });
      stepIf(n.Alarm[1] != c.Alarm[1], QStringLiteral("AL2"), QStringLiteral("AL2 VALUE"),
             [&] { return SetAlarm2(n.Alarm[1]); });
      stepIf(n.RatioAlarmHysteresis != c.RatioAlarmHysteresis, QStringLiteral("ALhysteresis"),
             QStringLiteral("AL-HYST VALUE"),
             [&] { return SetRatioAlarmHysteresis(n.RatioAlarmHysteresis); });
      stepIf(n.RatioAlarmMode != c.RatioAlarmMode, QStringLiteral("ALmode"), QStringLiteral("AL-MODE VALUE"),
             [&] { return SetRatioAlarmMode(n.RatioAlarmMode); });
    }
  }

  stepIf(n.TempUnitFahrenheit != c.TempUnitFahrenheit, QStringLiteral("Tempunit"),
         QStringLiteral("TEMP. UNIT"), [&] { return SetTemperatureUnit(n.TempUnitFahrenheit ? 1 : 0); });
  if (!SequenceAbandoned()) SleepMs(500);
  stepIf(n.ScaledOutputMin != c.ScaledOutputMin, QStringLiteral("SkalOutMin"),
         QStringLiteral("SKAL. OUT MIN"), [&] { return SetScaledOutputMin(n.ScaledOutputMin); });
  stepIf(n.ScaledOutputMax != c.ScaledOutputMax, QStringLiteral("SkalOutMax"),
         QStringLiteral("SKAL. OUT MAX"), [&] { return SetScaledOutputMax(n.ScaledOutputMax); });
  stepIf(n.OutputTempMin != c.OutputTempMin, QStringLiteral("OutTmin"), QStringLiteral("OUTPUT MIN."),
         [&] { return SetOutputTempMin(n.OutputTempMin); });
  stepIf(n.OutputTempMax != c.OutputTempMax, QStringLiteral("OutTmax"), QStringLiteral("OUTPUT MAX."),
         [&] { return SetOutputTempMax(n.OutputTempMax); });
  stepIf(n.BurstChannels != c.BurstChannels, QStringLiteral("Burst"), QStringLiteral("BURST VALUES"), [&] {
    std::array<std::uint8_t, 8> slots{};
    std::copy(n.BurstChannels.begin(), n.BurstChannels.begin() + 8, slots.begin());
    return SetBurstChannels(slots);
  });
  stepIf(n.AverageMode != c.AverageMode, QStringLiteral("AvgMode"), QStringLiteral("AVG. MODE"),
         [&] { return SetAverageMode(n.AverageMode); });
  stepIf(n.AdvancedHoldMode != c.AdvancedHoldMode, QStringLiteral("AdvHoldMode"),
         QStringLiteral("ADV. HOLD MODE"), [&] { return SetAdvancedHoldMode(n.AdvancedHoldMode); });
  stepIf(n.AdvancedHoldThreshold != c.AdvancedHoldThreshold, QStringLiteral("AdvHoldThreshold"),
         QStringLiteral("ADV. HOLD THRESHOLD"),
         [&] { return SetAdvancedHoldThreshold(n.AdvancedHoldThreshold); });
  stepIf(n.AdvancedHoldHysteresis != c.AdvancedHoldHysteresis, QStringLiteral("AdvHoldHysteresis"),
         QStringLiteral("ADV. HOLD HYSTERESIS"),
         [&] { return SetAdvancedHoldHysteresis(n.AdvancedHoldHysteresis); });
  stepIf(n.TweakOffset != c.TweakOffset, QStringLiteral("TweakOffs"), QStringLiteral("TWEAK OFFSET"),
         [&] { return SetTweakOffset(n.TweakOffset); });
  stepIf(n.SpotIllumination != c.SpotIllumination, QStringLiteral("SpotIllumination"),
         QStringLiteral("SPOT ILLUMINATION"), [&] { return SetSpotIllumination(n.SpotIllumination); });
  stepIf(n.PanelLock != c.PanelLock, QStringLiteral("PanelLock"), QStringLiteral("PANEL LOCK"),
         [&] { return SetPanelLock(n.PanelLock); });

  report.Cancelled = Cancelled();
  report.DeviceLost = sequenceAbandoned_;
  inSequence_ = false;
  sequenceAbandoned_ = false;
  if (OnProgress) {
    OnProgress(this, 100, QStringLiteral("READY"));
    OnProgress(this, 0, QStringLiteral("READY"));
  }
  WriteLog(QStringLiteral("Schreibe ganze Konfiguration - ENDE -"));
  return report;
}

// --- Configuration files ------------------------------------------------------------------

namespace {

constexpr double kMissing = -99999.0;

// Walks every key of the file layout in file order (without [File]); the
// visitor reads or writes the field behind each key.
template <typename Visitor>
void VisitConfigKeys(TArgoConfig& c, Visitor& v) {
  const QString config = QStringLiteral("Config");
  v.Float(config, QStringLiteral("Eps"), c.Emissivity, 3, true);
  v.Float(config, QStringLiteral("Trans"), c.Transmission, 3, true);
  v.Float(config, QStringLiteral("AvgTime"), c.AverageTime, 3, true);
  v.Float(config, QStringLiteral("VHoldTime"), c.ValleyHoldTime, 3, true);
  v.Float(config, QStringLiteral("PHoldTime"), c.PeakHoldTime, 3, true);
  for (int i = 0; i < 4; ++i)
    v.Float(config, QStringLiteral("AL%1").arg(i + 1), c.Alarm[static_cast<std::size_t>(i)], 3, true);
  v.Int(config, QStringLiteral("SerialNumber"), c.SerialNumber, false);
  v.Int(config, QStringLiteral("FWrev"), c.FWrev, false);
  v.Int(config, QStringLiteral("Tempunit"), c.TempUnitFahrenheit, true);
  v.Int(config, QStringLiteral("RS485addr"), c.RS485Addr, true);
  v.Int(config, QStringLiteral("SkalOutMin"), c.ScaledOutputMin, true);
  v.Int(config, QStringLiteral("SkalOutMax"), c.ScaledOutputMax, true);
  v.Int(config, QStringLiteral("AmbTempSrc"), c.AmbientSource, true);
  v.Float(config, QStringLiteral("AmbTempValue"), c.AmbientValue, 3, true);
  v.Int(config, QStringLiteral("EpsilonSrc"), c.EmissivitySource, true);
  v.Int(config, QStringLiteral("IRfailsafe"), c.IRFailsafe, true);
  v.Int(config, QStringLiteral("Ambfailsafe"), c.AmbientFailsafe, true);
  v.Float(config, QStringLiteral("OutTmin"), c.OutputTempMin, 3, true);
  v.Float(config, QStringLiteral("OutTmax"), c.OutputTempMax, 3, true);
  v.Int(config, QStringLiteral("IRdacPercent"), c.IRDacPercent, false);
  v.Int(config, QStringLiteral("AmbDacPercent"), c.AmbientDacPercent, false);
  for (int i = 0; i < 9; ++i)
    v.Int(config, QStringLiteral("Burst%1").arg(i), c.BurstChannels[static_cast<std::size_t>(i)], true);
  v.Int(config, QStringLiteral("AvgMode"), c.AverageMode, true);
  v.Int(config, QStringLiteral("AdvHoldMode"), c.AdvancedHoldMode, true);
  v.Float(config, QStringLiteral("AdvHoldThreshold"), c.AdvancedHoldThreshold, 3, true);
  v.Float(config, QStringLiteral("AdvHoldHysteresis"), c.AdvancedHoldHysteresis, 3, true);
  v.Float(config, QStringLiteral("TweakGain"), c.TweakGain, 3, true);
  v.Float(config, QStringLiteral("TweakOffs"), c.TweakOffset, 3, true);
  v.Float(config, QStringLiteral("F3Temp1"), c.F3Temp1, 3, true);
  v.Float(config, QStringLiteral("F3Temp2"), c.F3Temp2, 3, true);
  v.Int(config, QStringLiteral("SpotIllumination"), c.SpotIllumination, true);
  v.Float(config, QStringLiteral("AlarmHysteresis"), c.AlarmHysteresis, 3, true);
  v.Int(config, QStringLiteral("PanelLock"), c.PanelLock, true);
  for (int i = 0; i < 3; ++i)
    v.Text(config, QStringLiteral("HeadCodeStringShort%1").arg(i),
           c.HeadCodeShort[static_cast<std::size_t>(i)]);
  for (int i = 0; i < 5; ++i)
    v.Text(config, QStringLiteral("HeadCodeStringLarge%1").arg(i),
           c.HeadCodeLarge[static_cast<std::size_t>(i)]);
  for (int i = 0; i < 4; ++i) {
    TArgoAlarmMode& m = c.AlarmMode[static_cast<std::size_t>(i)];
    v.Int(config, QStringLiteral("AlarmMode%1_Source").arg(i), m.Source, true);
    v.Int(config, QStringLiteral("AlarmMode%1_OpenClose").arg(i), m.OpenClose, true);
    v.Int(config, QStringLiteral("AlarmMode%1_DigiAna").arg(i), m.DigiAna, true);
    v.Int(config, QStringLiteral("AlarmMode%1_OutMode").arg(i), m.OutMode, true);
  }

  const QString info = QStringLiteral("Info");
  TArgoModelInfo& mi = c.ModelInfo;
  v.Int(info, QStringLiteral("ModelType"), mi.ModelType, false);
  v.Int(info, QStringLiteral("ModelRange"), mi.ModelRange, false);
  v.Int(info, QStringLiteral("Laser"), mi.Laser, false);
  v.Int(info, QStringLiteral("Time_in_ms"), mi.Time_in_ms, false);
  v.Int(info, QStringLiteral("Time_in_10ms"), mi.Time_in_10ms, false);
  v.Int(info, QStringLiteral("AlHysteresis"), mi.AlHysteresis, false);
  v.Int(info, QStringLiteral("HeadCodeSize"), mi.HeadCodeSize, false);
  v.Float(info, QStringLiteral("LoRangeTemp"), mi.LoRangeTemp, 3, false);
  v.Float(info, QStringLiteral("HiRorangeTemp"), mi.HiRangeTemp, 3, false);
  v.Text(info, QStringLiteral("ModelStr"), mi.ModelStr);
  v.Int(info, QStringLiteral("FWrev"), mi.FWrev, false);

  const QString mat = QStringLiteral("Materialtable");
  for (int r = 0; r < 8; ++r) {
    TArgoMaterialRow& row = c.MaterialTable[static_cast<std::size_t>(r)];
    v.Float(mat, QStringLiteral("Emiss_%1").arg(r), row.Emiss, 3, true);
    v.Float(mat, QStringLiteral("LoAlarm_%1").arg(r), row.LoAlarm, 3, true);
    v.Float(mat, QStringLiteral("HiAlarm_%1").arg(r), row.HiAlarm, 3, true);
    v.Int(mat, QStringLiteral("DevLo_%1").arg(r), row.DevLo, true);
    v.Int(mat, QStringLiteral("DevHi_%1").arg(r), row.DevHi, true);
  }

  const QString ratio = QStringLiteral("Ratio");
  v.Int(ratio, QStringLiteral("r_LWL_dia"), c.LWLDiameter, false);
  v.Int(ratio, QStringLiteral("r_LWL_len"), c.LWLLength, false);
  v.Float(ratio, QStringLiteral("r_MB_anf"), c.MBRangeStart, 3, false);
  v.Float(ratio, QStringLiteral("r_MB_end"), c.MBRangeEnd, 3, false);
  v.Float(ratio, QStringLiteral("r_SLOPE"), c.Slope, 3, true);
  v.Float(ratio, QStringLiteral("r_SLOPE2"), c.Slope2, 3, true);
  v.Float(ratio, QStringLiteral("r_EPSILON"), c.Epsilon, 3, true);
  v.Float(ratio, QStringLiteral("r_EPSILON2"), c.Epsilon2, 3, true);
  v.Float(ratio, QStringLiteral("r_detTop"), c.DetTop, 3, true);
  v.Float(ratio, QStringLiteral("r_LimTau"), c.LimTau, 3, true);
  v.Int(ratio, QStringLiteral("r_Itemnumber"), c.ItemNumber, false);
  v.Int(ratio, QStringLiteral("r_Serialnumber"), c.RatioSerialNumber, false);
  for (int o = 0; o < 2; ++o) {
    const auto i = static_cast<std::size_t>(o);
    v.Int(ratio, QStringLiteral("AL%1_Source").arg(o), c.AlarmSource[i], true);
    for (int k = 0; k < 5; ++k)
      v.Int(ratio, QStringLiteral("AL%1_Value%2").arg(o).arg(k + 1), c.AlarmValues[i][k], true);
    v.Int(ratio, QStringLiteral("AL%1_NoNc").arg(o), c.AlarmNormallyOpen[i], true);
  }
  v.Int(ratio, QStringLiteral("ProcessSource"), c.ProcessSource, true);
  v.Float(ratio, QStringLiteral("SmartThreshold"), c.SmartThreshold, 3, true);
  v.Int(ratio, QStringLiteral("DAL0_Function"), c.DALFunction[0], true);
  v.Int(ratio, QStringLiteral("DAL1_Function"), c.DALFunction[1], true);
  v.Int(ratio, QStringLiteral("VisualAlarmSource"), c.VisualAlarmSource, true);
  v.Int(ratio, QStringLiteral("DisplayMainSource"), c.DisplayMainSource, true);
  for (int a = 0; a < 8; ++a) {
    TArgoVisualAlarm& va = c.VisualAlarms[static_cast<std::size_t>(a)];
    for (int j = 0; j < 4; ++j) {
      const auto k = static_cast<std::size_t>(j);
      v.Float(ratio, QStringLiteral("VisualAlarm%1_LowEnd%2").arg(a).arg(j), va.Lo[k], 3, true);
      v.Float(ratio, QStringLiteral("VisualAlarm%1_HighEnd%2").arg(a).arg(j), va.Hi[k], 3, true);
      v.Int(ratio, QStringLiteral("VisualAlarm%1_LEDs%2").arg(a).arg(j), va.Flags[k], true);
    }
  }
  v.Int(ratio, QStringLiteral("r_AddTop"), c.AddTop, false);
  v.Float(ratio, QStringLiteral("r_MulTop"), c.MulTop, 3, false);
  v.Int(ratio, QStringLiteral("r_AddQuot"), c.AddQuot, false);
  v.Float(ratio, QStringLiteral("r_MulQuot"), c.MulQuot, 3, false);
  v.Float(ratio, QStringLiteral("AL1"), c.Alarm[0], 1, true);
  v.Float(ratio, QStringLiteral("AL2"), c.Alarm[1], 1, true);
  v.Float(ratio, QStringLiteral("ALhysteresis"), c.RatioAlarmHysteresis, 3, true);
  v.Int(ratio, QStringLiteral("ALmode"), c.RatioAlarmMode, true);
}

// Builds the file text, section by section, in the layout of the ini layer.
class FileWriter {
 public:
  void Section(const QString& name) {
    if (name == section_) return;
    section_ = name;
    text_ += QLatin1Char('[') + name + QStringLiteral("]\r\n");
  }
  void Line(const QString& section, const QString& key, const QString& value) {
    Section(section);
    text_ += key + QLatin1Char('=') + value + QStringLiteral("\r\n");
  }
  void Float(const QString& s, const QString& k, float& v, int decimals, bool) {
    Line(s, k, NumberText::FormatFixed(v, decimals));
  }
  template <typename T>
  void Int(const QString& s, const QString& k, T& v, bool) {
    Line(s, k, QString::number(static_cast<long long>(v)));
  }
  void Text(const QString& s, const QString& k, QString& v) { Line(s, k, v); }
  const QString& Text() const { return text_; }

 private:
  QString section_;
  QString text_;
};

// Reads the read-back keys; stops at the first missing or unusable value.
class FileReader {
 public:
  explicit FileReader(const IniFile& ini) : ini_(ini) {}
  bool Failed() const { return failed_; }

  void Float(const QString& s, const QString& k, float& v, int, bool readBack) {
    double d = 0;
    if (Fetch(s, k, readBack, d)) v = static_cast<float>(d);
  }
  template <typename T>
  void Int(const QString& s, const QString& k, T& v, bool readBack) {
    double d = 0;
    if (!Fetch(s, k, readBack, d)) return;
    const std::int64_t r = NumberText::Round(d);
    if constexpr (std::is_same_v<T, bool>) {
      v = r != 0;
    } else {
      // A value the field cannot hold is refused, not wrapped.
      if (r < static_cast<std::int64_t>(std::numeric_limits<T>::min()) ||
          r > static_cast<std::int64_t>(std::numeric_limits<T>::max())) {
        failed_ = true;
        return;
      }
      v = static_cast<T>(r);
    }
  }
  void Text(const QString&, const QString&, QString&) {}

 private:
  bool Fetch(const QString& s, const QString& k, bool readBack, double& out) {
    if (!readBack || failed_) return false;
    const float f = TpyreonArgo::StrToFloatAnySep(ini_.ReadString(s, k, QStringLiteral("-99999")), kMissing);
    if (f == static_cast<float>(kMissing)) {
      failed_ = true;
      return false;
    }
    out = f;
    return true;
  }

  const IniFile& ini_;
  bool failed_ = false;
};

QString DateText() {
  const QLocale locale = QLocale::system();
  const QDateTime now = QDateTime::currentDateTime();
  QString s = locale.toString(now.date(), QLocale::ShortFormat);
  if (now.time() != QTime(0, 0)) s += QLatin1Char(' ') + locale.toString(now.time(), QLocale::LongFormat);
  return s;
}

}  // namespace

float TpyreonArgo::StrToFloatAnySep(const QString& text, double fallback) {
  double v = 0.0;
  if (!NumberText::TryStrToFloat(text, NumberText::DecimalSeparator(), v) || std::fabs(v) > FLT_MAX)
    return static_cast<float>(fallback);
  return static_cast<float>(v);
}

int TpyreonArgo::SaveConfigFile(const TArgoConfig& config, const QString& fileName) {
  try {
    TArgoConfig copy = config;
    FileWriter writer;
    writer.Line(QStringLiteral("File"), QStringLiteral("FileRev"), NumberText::FormatFixed(3.0, 1));
    writer.Line(QStringLiteral("File"), QStringLiteral("Date"), DateText());
    VisitConfigKeys(copy, writer);
    // Written beside the old file and renamed over it: a failed save keeps
    // the old file whole.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) return -2;
    const QByteArray bytes = IniFile::ToWindows1252(writer.Text());
    if (file.write(bytes) != bytes.size()) {
      file.cancelWriting();
      return -2;
    }
    return file.commit() ? 1 : -2;
  } catch (const std::exception& e) {
    LogFailure(QStringLiteral("saving ") + fileName, e);
    return -2;
  }
}

int TpyreonArgo::LoadConfigFile(const QString& fileName, TArgoConfig& config) {
  if (!QFileInfo(fileName).isFile()) {
    if (OnMessage) OnMessage(this, QStringLiteral("File not found !"));
    return -1;
  }
  try {
    IniFile ini(fileName);
    const float rev = StrToFloatAnySep(
        ini.ReadString(QStringLiteral("File"), QStringLiteral("Filerev"), QStringLiteral("-99999")),
        kMissing);
    if (rev != 3.0f) {
      if (OnMessage) OnMessage(this, QStringLiteral("File version mismatch !"));
      return -2;
    }
    FileReader reader(ini);
    VisitConfigKeys(config, reader);
    return reader.Failed() ? -2 : 1;
  } catch (const std::exception& e) {
    LogFailure(QStringLiteral("loading ") + fileName, e);
    return -2;
  }
}
