// The write side of the single-colour setup dialog: the delayed write of a
// typed value, the choices written at once, the buttons and the sub-dialogs.

#include <QComboBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>
#include <cmath>

#include "drivers/argo/pyreon_argo.h"
#include "drivers/sentinel_utils.h"
#include "measurement/argo_family.h"
#include "setup_argo/argo_device_setup_dlg.h"
#include "setup_argo/argo_device_setup_view.h"
#include "ui/d_spin_edit.h"
#include "ui/loading_guard.h"
#include "ui/radio_group.h"

using View = ArgoDeviceSetupView;

namespace {

// Runs `write` on the driver and tells whether the device confirmed it: an
// exchange that got no answer (or found the port closed) did not reach it.
// A value the driver refuses as out of range is no failure to report: the
// control is reloaded with the unchanged cache.
bool Confirmed(TpyreonArgo& d, const std::function<void()>& write) {
  bool failed = false;
  TargoErrorEvent saved = d.OnError;
  d.OnError = [&failed, saved](QObject* sender, int code) {
    if (code == argoErrNoAnswer || code == argoErrPortClosed) failed = true;
    if (saved) saved(sender, code);
  };
  write();
  d.OnError = saved;
  return !failed && d.Connected();
}

float ToCelsius(bool fahrenheit, double shown) {
  return SentinelUtils::UnitToCelsius(fahrenheit, static_cast<float>(shown));
}
float DeltaToCelsius(bool fahrenheit, double shown) {
  return SentinelUtils::DeltaUnitToCelsius(fahrenheit, static_cast<float>(shown));
}

}  // namespace

void TArgoDeviceSetupDlg::WriteTag(int tag) {
  if (tag < 1 || tag > 17) return;
  double value = 0;
  if (tag == 16) {
    value = rgTempUnit->ItemIndex();
    if (value < 0) return;
  } else {
    TDSpinEdit* edit = EditForTag(tag);
    // Text that is no number writes nothing: the control shows the device's value again.
    if (!edit || !edit->TryValue(value)) {
      MarkNotWritten(tag, false);
      ReloadTag(tag);
      return;
    }
  }
  const bool f = FFahrenheit;
  const auto name = [this](const QString& key, const QString& text) { return OtherText(key, text); };
  switch (tag) {
    case 1:
    case 2: {
      const float v = value > 1.1001 ? 1.1f : (value < 0.1 ? 0.1f : static_cast<float>(value));
      if (tag == 1) {
        RunWrite(name(QStringLiteral("Emissivity"), QStringLiteral("Emissivity")),
                 [v](TpyreonArgo& d) { return Confirmed(d, [&] { d.SetEmissivity(v); }); }, {}, tag);
      } else {
        RunWrite(name(QStringLiteral("Transmissivity"), QStringLiteral("Transmissivity")),
                 [v](TpyreonArgo& d) { return Confirmed(d, [&] { d.SetTransmission(v); }); }, {}, tag);
      }
      break;
    }
    case 3:
    case 4: {
      // Alarm 1 never ends above alarm 2: the other one follows.
      double other = 0;
      TDSpinEdit* otherEdit = tag == 3 ? seAlarm2 : seAlarm1;
      const bool haveOther = otherEdit->TryValue(other);
      const bool follow = haveOther && (tag == 3 ? other < value : other > value);
      const float t = ToCelsius(f, value);
      if (follow) {
        LoadingGuard guard(FLoading);
        otherEdit->SetValue(value);
      }
      const int otherTag = tag == 3 ? 4 : 3;
      RunWrite(
          tag == 3 ? name(QStringLiteral("Alarm1"), QStringLiteral("Alarm 1"))
                   : name(QStringLiteral("Alarm2"), QStringLiteral("Alarm 2")),
          [t, tag, follow](TpyreonArgo& d) {
            return Confirmed(d, [&] {
              if (tag == 3) {
                d.SetAlarm1(t);
                if (follow) d.SetAlarm2(t);
              } else {
                d.SetAlarm2(t);
                if (follow) d.SetAlarm1(t);
              }
            });
          },
          [this, otherTag](bool) { ReloadTag(otherTag); }, tag);
      break;
    }
    case 5:
    case 6: {
      const float t = ToCelsius(f, value);
      const bool three = tag == 5;
      RunWrite(three ? name(QStringLiteral("OutputChannel2Alarm"), QStringLiteral("Alarm of output channel 2"))
                     : name(QStringLiteral("OutputChannel1Alarm"), QStringLiteral("Alarm of output channel 1")),
               [t, three](TpyreonArgo& d) {
                 return Confirmed(d, [&] { three ? d.SetAlarm3(t) : d.SetAlarm4(t); });
               },
               {}, tag);
      break;
    }
    case 7: {
      const float t = ToCelsius(f, value);
      RunWrite(name(QStringLiteral("AmbientValue"), QStringLiteral("Fixed ambient value")),
               [t](TpyreonArgo& d) { return Confirmed(d, [&] { d.SetAmbientValue(t); }); }, {}, tag);
      break;
    }
    case 8:
    case 9: {
      // The ambient input range keeps a span of at least 10 K.
      double low = 0, high = 0;
      if (!seAmbLoRangeTemp->TryValue(low) || !seAmbHiRangeTemp->TryValue(high)) {
        ReloadTag(tag);
        return;
      }
      if (ToCelsius(f, low) + 10.0f > ToCelsius(f, high)) {
        const double span = SentinelUtils::DeltaCelsiusToUnit(f, 10.0f);
        LoadingGuard guard(FLoading);
        if (tag == 8) {
          seAmbLoRangeTemp->SetValue(high - span);
          seAmbLoRangeTemp->TryValue(low);
        } else {
          seAmbHiRangeTemp->SetValue(low + span);
          seAmbHiRangeTemp->TryValue(high);
        }
      }
      const float t = ToCelsius(f, tag == 8 ? low : high);
      const bool lowEnd = tag == 8;
      RunWrite(lowEnd ? name(QStringLiteral("AmbLoRange"), QStringLiteral("Low range temperature"))
                      : name(QStringLiteral("AmbHiRange"), QStringLiteral("High range temperature")),
               [t, lowEnd](TpyreonArgo& d) {
                 return Confirmed(d, [&] { lowEnd ? d.SetF3Temp1(t) : d.SetF3Temp2(t); });
               },
               {}, tag);
      break;
    }
    case 10: {
      const float s = static_cast<float>(value);
      RunWrite(name(QStringLiteral("AvgTime"), QStringLiteral("Average time")),
               [s](TpyreonArgo& d) { return Confirmed(d, [&] { d.SetAverageTime(s); }); }, {}, tag);
      break;
    }
    case 11: {
      const int mode = cbPostProcMode->currentIndex();
      if (mode != View::ppPeakHold && mode != View::ppValleyHold) {
        ReloadTag(tag);
        return;
      }
      const float s = static_cast<float>(value);
      const bool peak = mode == View::ppPeakHold;
      RunWrite(name(QStringLiteral("HoldTime"), QStringLiteral("Hold time")),
               [s, peak](TpyreonArgo& d) {
                 return Confirmed(d, [&] { peak ? d.SetPeakHoldTime(s) : d.SetValleyHoldTime(s); });
               },
               {}, tag);
      break;
    }
    case 12: {
      const float t = ToCelsius(f, value);
      RunWrite(name(QStringLiteral("Treshold"), QStringLiteral("Treshold")),
               [t](TpyreonArgo& d) { return Confirmed(d, [&] { d.SetAdvancedHoldThreshold(t); }); }, {}, tag);
      break;
    }
    case 13: {
      const float k = DeltaToCelsius(f, value);
      RunWrite(name(QStringLiteral("Hysterese"), QStringLiteral("Hysterese")),
               [k](TpyreonArgo& d) { return Confirmed(d, [&] { d.SetAdvancedHoldHysteresis(k); }); }, {}, tag);
      break;
    }
    case 14: {
      const float k = DeltaToCelsius(f, value);
      RunWrite(name(QStringLiteral("Offset"), QStringLiteral("Offset")),
               [k](TpyreonArgo& d) { return Confirmed(d, [&] { d.SetTweakOffset(k); }); }, {}, tag);
      break;
    }
    case 15: {
      const float g = static_cast<float>(value);
      RunWrite(name(QStringLiteral("Gain"), QStringLiteral("Gain")),
               [g](TpyreonArgo& d) { return Confirmed(d, [&] { d.SetTweakGain(g); }); }, {}, tag);
      break;
    }
    case 16: {
      const int fahrenheit = value == 1 ? 1 : 0;
      RunWrite(name(QStringLiteral("TempUnit"), QStringLiteral("Temperature unit")),
               [fahrenheit](TpyreonArgo& d) { return Confirmed(d, [&] { d.SetTemperatureUnit(fahrenheit); }); },
               [this](bool) {
                 LoadingGuard guard(FLoading);
                 DeviceToControls();
               },
               tag);
      break;
    }
    case 17: {
      const float k = DeltaToCelsius(f, value);
      RunWrite(name(QStringLiteral("AlarmHysteresis"), QStringLiteral("Alarm hysteresis")),
               [k](TpyreonArgo& d) { return Confirmed(d, [&] { d.SetAlarmHysteresis(k); }); }, {}, tag);
      break;
    }
    default:
      break;
  }
}

void TArgoDeviceSetupDlg::cbEmissivityModeChange() {
  if (FBusy || FLoading) return;
  const int source = View::EmissivitySourceForItem(cbEmissivityMode->currentIndex());
  if (source < 0) return;
  RunWrite(OtherText(QStringLiteral("EmissivitySource"), QStringLiteral("Emissivity source")),
           [source](TpyreonArgo& d) { return Confirmed(d, [&] { d.SetEmissivitySource(source); }); },
           [this](bool) {
             LoadingGuard guard(FLoading);
             SetItem(cbEmissivityMode, View::EmissivityItem(FCache.EmissivitySource));
           });
}

void TArgoDeviceSetupDlg::cbAmbientSourceChange() {
  if (FBusy || FLoading) return;
  const int source = View::AmbientSourceForItem(cbAmbientSource->currentIndex());
  if (source < 0) return;
  RunWrite(OtherText(QStringLiteral("AmbientSource"), QStringLiteral("Ambient source")),
           [source](TpyreonArgo& d) { return Confirmed(d, [&] { d.SetAmbientSource(source); }); },
           [this](bool) {
             LoadingGuard guard(FLoading);
             SetItem(cbAmbientSource, View::AmbientItem(FCache.AmbientSource));
           });
}

void TArgoDeviceSetupDlg::cbSmartAveragingClick() {
  if (FBusy || FLoading) return;
  const bool on = cbSmartAveraging->isChecked();
  RunWrite(OtherText(QStringLiteral("SmartAveraging"), QStringLiteral("Smart averaging")),
           [on](TpyreonArgo& d) { return Confirmed(d, [&] { d.SetAverageMode(on); }); },
           [this](bool) {
             LoadingGuard guard(FLoading);
             cbSmartAveraging->setChecked(FCache.AverageMode);
           });
}

void TArgoDeviceSetupDlg::AlarmModeChange(int mode) {
  if (FBusy || FLoading) return;
  TArgoAlarmMode record = FCache.AlarmMode[static_cast<std::size_t>(mode)];
  int source = record.Source, openClose = -1, digiAna = record.DigiAna, outMode = record.OutMode;
  switch (mode) {
    case 0:
      source = cbSource1->currentIndex();
      openClose = rgNormally1->ItemIndex();
      break;
    case 1:
      source = cbSource2->currentIndex();
      openClose = rgNormally2->ItemIndex();
      break;
    case 2:
      source = cbSource3->currentIndex();
      openClose = rgNormally3->ItemIndex();
      digiAna = rgAnalogDigital3->ItemIndex();
      outMode = rgRange3->ItemIndex();
      break;
    default:
      openClose = rgNormally4->ItemIndex();
      digiAna = rgAnalogDigital4->ItemIndex();
      outMode = cbOutputMode4->currentIndex();
      break;
  }
  // A field that has no choice (a cached value without an item) is not
  // written; the controls show the device's record again.
  const bool complete = (mode == 3 || source >= 0) && openClose >= 0 && digiAna >= 0 && outMode >= 0;
  if (mode == 3) FKeepOutputMode = true;
  const auto reload = [this, mode](bool) {
    LoadingGuard guard(FLoading);
    const TArgoAlarmMode& m = FCache.AlarmMode[static_cast<std::size_t>(mode)];
    switch (mode) {
      case 0:
        SetItem(cbSource1, View::SourceItem(m.Source));
        rgNormally1->SetItemIndex(View::FlagItem(m.OpenClose));
        break;
      case 1:
        SetItem(cbSource2, View::SourceItem(m.Source));
        rgNormally2->SetItemIndex(View::FlagItem(m.OpenClose));
        break;
      case 2:
        SetItem(cbSource3, View::SourceItem(m.Source));
        rgNormally3->SetItemIndex(View::FlagItem(m.OpenClose));
        rgAnalogDigital3->SetItemIndex(View::FlagItem(m.DigiAna));
        rgRange3->SetItemIndex(View::RangeItem(m.OutMode));
        break;
      default:
        rgNormally4->SetItemIndex(View::FlagItem(m.OpenClose));
        rgAnalogDigital4->SetItemIndex(View::FlagItem(m.DigiAna));
        SetItem(cbOutputMode4, View::OutputModeItem(m.OutMode));
        stOutputRemark->setText(View::ThermocoupleOutput(m.OutMode) ? QStringLiteral("OUT-TC")
                                                                    : QStringLiteral("OUT-mV/mA"));
        FKeepOutputMode = cbOutputMode4->hasFocus();
        if (gbOutputMode4->isEnabled() && gbOutputMode4->isVisible()) gbOutputMode4->setFocus();
        break;
    }
  };
  if (!complete) {
    reload(false);
    UpdateEnabledStates();
    return;
  }
  record.Source = static_cast<std::uint8_t>(source);
  record.OpenClose = static_cast<std::uint8_t>(openClose);
  record.DigiAna = static_cast<std::uint8_t>(digiAna);
  record.OutMode = static_cast<std::uint8_t>(outMode);
  static const char* const kNames[] = {"Alarm 1", "Alarm 2", "Output channel 2", "Output channel 1"};
  RunWrite(OtherText(QStringLiteral("AlarmMode%1").arg(mode + 1),
                     QString::fromLatin1(kNames[mode]) + QStringLiteral(" mode")),
           [mode, record](TpyreonArgo& d) { return Confirmed(d, [&] { d.SetAlarmMode(mode, record); }); }, reload);
}

void TArgoDeviceSetupDlg::btnResetOffsetGainClick() {
  if (FBusy) return;
  RunWrite(OtherText(QStringLiteral("OffsetGain"), QStringLiteral("Offset/Gain")),
           [](TpyreonArgo& d) {
             return Confirmed(d, [&] {
               d.SetTweakOffset(0.0f);
               d.SetTweakGain(1.0f);
             });
           },
           [this](bool) {
             ReloadTag(14);
             ReloadTag(15);
           });
}

void TArgoDeviceSetupDlg::sbtnPanelLockClick() {
  if (FBusy) return;
  const bool lock = !FCache.PanelLock;
  RunWrite(OtherText(QStringLiteral("PanelLock"), QStringLiteral("Panel lock")),
           [lock](TpyreonArgo& d) { return Confirmed(d, [&] { d.SetPanelLock(lock); }); },
           [this](bool) { ShowPanelLock(); });
}
