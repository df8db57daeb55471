// The write side of the single-colour setup dialog: the delayed write of a
// typed value, the choices written at once, the buttons and the sub-dialogs.

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QThread>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>
#include <cmath>

#include "drivers/argo/pyreon_argo.h"
#include "drivers/sentinel_utils.h"
#include "measurement/argo_family.h"
#include "setup_argo/argo_device_setup_dlg.h"
#include "setup_argo/adjust_slope_dlg.h"
#include "setup_argo/argo_device_setup_view.h"
#include "setup_argo/argo_head_param_dlg.h"
#include "setup_argo/mat_table_dlg.h"
#include "setup_argo/slope_device_backend.h"
#include "ui/d_spin_edit.h"
#include "ui/loading_guard.h"
#include "ui/radio_group.h"

using View = ArgoDeviceSetupView;

namespace {

// Whether a write reached the device. A value the driver refuses as out of
// range is no failure to report: the control shows the unchanged cache again.
bool Reached(TArgoWriteResult result) {
  return result.Result == TArgoWriteResult::Confirmed || result.Result == TArgoWriteResult::Rejected;
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
                 [v](TpyreonArgo& d) { return Reached(d.SetEmissivity(v)); }, {}, tag);
      } else {
        RunWrite(name(QStringLiteral("Transmissivity"), QStringLiteral("Transmissivity")),
                 [v](TpyreonArgo& d) { return Reached(d.SetTransmission(v)); }, {}, tag);
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
            if (tag == 3) return Reached(d.SetAlarm1(t)) && (!follow || Reached(d.SetAlarm2(t)));
            return Reached(d.SetAlarm2(t)) && (!follow || Reached(d.SetAlarm1(t)));
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
                 return Reached(three ? d.SetAlarm3(t) : d.SetAlarm4(t));
               },
               {}, tag);
      break;
    }
    case 7: {
      const float t = ToCelsius(f, value);
      RunWrite(name(QStringLiteral("AmbientValue"), QStringLiteral("Fixed ambient value")),
               [t](TpyreonArgo& d) { return Reached(d.SetAmbientValue(t)); }, {}, tag);
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
                 return Reached(lowEnd ? d.SetF3Temp1(t) : d.SetF3Temp2(t));
               },
               {}, tag);
      break;
    }
    case 10: {
      const float s = static_cast<float>(value);
      RunWrite(name(QStringLiteral("AvgTime"), QStringLiteral("Average time")),
               [s](TpyreonArgo& d) { return Reached(d.SetAverageTime(s)); }, {}, tag);
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
                 return Reached(peak ? d.SetPeakHoldTime(s) : d.SetValleyHoldTime(s));
               },
               {}, tag);
      break;
    }
    case 12: {
      const float t = ToCelsius(f, value);
      RunWrite(name(QStringLiteral("Treshold"), QStringLiteral("Treshold")),
               [t](TpyreonArgo& d) { return Reached(d.SetAdvancedHoldThreshold(t)); }, {}, tag);
      break;
    }
    case 13: {
      const float k = DeltaToCelsius(f, value);
      RunWrite(name(QStringLiteral("Hysterese"), QStringLiteral("Hysterese")),
               [k](TpyreonArgo& d) { return Reached(d.SetAdvancedHoldHysteresis(k)); }, {}, tag);
      break;
    }
    case 14: {
      const float k = DeltaToCelsius(f, value);
      RunWrite(name(QStringLiteral("Offset"), QStringLiteral("Offset")),
               [k](TpyreonArgo& d) { return Reached(d.SetTweakOffset(k)); }, {}, tag);
      break;
    }
    case 15: {
      const float g = static_cast<float>(value);
      RunWrite(name(QStringLiteral("Gain"), QStringLiteral("Gain")),
               [g](TpyreonArgo& d) { return Reached(d.SetTweakGain(g)); }, {}, tag);
      break;
    }
    case 16: {
      const int fahrenheit = value == 1 ? 1 : 0;
      RunWrite(name(QStringLiteral("TempUnit"), QStringLiteral("Temperature unit")),
               [fahrenheit](TpyreonArgo& d) { return Reached(d.SetTemperatureUnit(fahrenheit)); },
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
               [k](TpyreonArgo& d) { return Reached(d.SetAlarmHysteresis(k)); }, {}, tag);
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
           [source](TpyreonArgo& d) { return Reached(d.SetEmissivitySource(source)); },
           [this](bool) {
             LoadingGuard guard(FLoading);
             SetComboItem(cbEmissivityMode, View::EmissivityItem(FCache.EmissivitySource));
           });
}

void TArgoDeviceSetupDlg::cbAmbientSourceChange() {
  if (FBusy || FLoading) return;
  const int source = View::AmbientSourceForItem(cbAmbientSource->currentIndex());
  if (source < 0) return;
  RunWrite(OtherText(QStringLiteral("AmbientSource"), QStringLiteral("Ambient source")),
           [source](TpyreonArgo& d) { return Reached(d.SetAmbientSource(source)); },
           [this](bool) {
             LoadingGuard guard(FLoading);
             SetComboItem(cbAmbientSource, View::AmbientItem(FCache.AmbientSource));
           });
}

void TArgoDeviceSetupDlg::cbSmartAveragingClick() {
  if (FBusy || FLoading) return;
  const bool on = cbSmartAveraging->isChecked();
  RunWrite(OtherText(QStringLiteral("SmartAveraging"), QStringLiteral("Smart averaging")),
           [on](TpyreonArgo& d) { return Reached(d.SetAverageMode(on)); },
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
        SetComboItem(cbSource1, View::SourceItem(m.Source));
        rgNormally1->SetItemIndex(View::FlagItem(m.OpenClose));
        break;
      case 1:
        SetComboItem(cbSource2, View::SourceItem(m.Source));
        rgNormally2->SetItemIndex(View::FlagItem(m.OpenClose));
        break;
      case 2:
        SetComboItem(cbSource3, View::SourceItem(m.Source));
        rgNormally3->SetItemIndex(View::FlagItem(m.OpenClose));
        rgAnalogDigital3->SetItemIndex(View::FlagItem(m.DigiAna));
        rgRange3->SetItemIndex(View::RangeItem(m.OutMode));
        break;
      default:
        rgNormally4->SetItemIndex(View::FlagItem(m.OpenClose));
        rgAnalogDigital4->SetItemIndex(View::FlagItem(m.DigiAna));
        SetComboItem(cbOutputMode4, View::OutputModeItem(m.OutMode));
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
           [mode, record](TpyreonArgo& d) { return Reached(d.SetAlarmMode(mode, record)); }, reload);
}

void TArgoDeviceSetupDlg::btnResetOffsetGainClick() {
  if (FBusy) return;
  RunWrite(OtherText(QStringLiteral("OffsetGain"), QStringLiteral("Offset/Gain")),
           [](TpyreonArgo& d) {
             return Reached(d.SetTweakOffset(0.0f)) && Reached(d.SetTweakGain(1.0f));
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
           [lock](TpyreonArgo& d) {
             const TArgoWriteResult result = d.SetPanelLock(lock);
             QThread::msleep(100);
             return Reached(result);
           },
           [this](bool) { ShowPanelLock(); });
}

void TArgoDeviceSetupDlg::cbPostProcModeChange() {
  if (FBusy || FLoading) return;
  const int item = cbPostProcMode->currentIndex();
  if (item < 0) return;
  FKeepPostProcMode = true;
  struct Remembered {
    float avg, peak, valley;
  };
  const auto remembered = std::make_shared<Remembered>(Remembered{FLastAvgTime, FLastPeakHold, FLastValleyHold});
  const auto job = [item, remembered](TpyreonArgo& d) {
    Remembered& r = *remembered;
    const auto keep = [](float cached, float& last) {
      if (cached != 0.0f) last = cached;
    };
    bool ok = true;
    const auto write = [&ok](TArgoWriteResult result) { ok = Reached(result) && ok; };
    const TArgoConfig& c = d.Config();
    switch (item) {
      case View::ppOff:
        keep(c.AverageTime, r.avg);
        keep(c.PeakHoldTime, r.peak);
        keep(c.ValleyHoldTime, r.valley);
        write(d.SetAverageTime(0));
        write(d.SetPeakHoldTime(0));
        write(d.SetValleyHoldTime(0));
        break;
      case View::ppAveraging:
        keep(c.PeakHoldTime, r.peak);
        keep(c.ValleyHoldTime, r.valley);
        if (r.avg == 0.0f) r.avg = 0.2f;
        write(d.SetPeakHoldTime(0));
        write(d.SetValleyHoldTime(0));
        if (d.Config().AverageTime == 0.0f) write(d.SetAverageTime(r.avg));
        break;
      case View::ppPeakHold:
      case View::ppValleyHold: {
        const bool peak = item == View::ppPeakHold;
        keep(peak ? c.ValleyHoldTime : c.PeakHoldTime, peak ? r.valley : r.peak);
        if (r.avg == 0.0f) r.avg = 0.2f;
        float& hold = peak ? r.peak : r.valley;
        if (hold == 0.0f) hold = 1.0f;
        write(peak ? d.SetValleyHoldTime(0) : d.SetPeakHoldTime(0));
        const float cachedHold = peak ? d.Config().PeakHoldTime : d.Config().ValleyHoldTime;
        if (cachedHold == 0.0f) write(peak ? d.SetPeakHoldTime(hold) : d.SetValleyHoldTime(hold));
        if (d.Config().AverageTime == 0.0f) write(d.SetAverageTime(r.avg));
        break;
      }
      default:
        break;
    }
    write(d.SetAdvancedHoldMode(item == View::ppAdvPeakHold ? 1 : (item == View::ppAdvValleyHold ? 2 : 0)));
    return ok;
  };
  RunWrite(OtherText(QStringLiteral("PostProcessing"), QStringLiteral("Post processing")), job,
           [this, remembered](bool) {
             FLastAvgTime = remembered->avg;
             FLastPeakHold = remembered->peak;
             FLastValleyHold = remembered->valley;
             ReloadTag(10);
             ReloadTag(11);
             FKeepPostProcMode = cbPostProcMode->hasFocus();
             if (gbPostProcessing->isEnabled()) gbPostProcessing->setFocus();
           });
}

void TArgoDeviceSetupDlg::btnPresetClick(bool blue) {
  if (FBusy || FSequenceRunning) return;
  const float low = blue ? FRangeLow : 25.0f;
  const float high = blue ? FRangeHigh : 30.0f;
  const std::uint8_t openClose = blue ? 0 : 1;
  RunSequence(
      [low, high, openClose](TpyreonArgo& d, QString& failed) {
        QStringList missed;
        for (int mode = 0; mode < 2; ++mode) {
          TArgoAlarmMode m = d.Config().AlarmMode[static_cast<std::size_t>(mode)];
          m.Source = 0;
          m.OpenClose = openClose;
          if (!Reached(d.SetAlarmMode(mode, m))) missed << QStringLiteral("Alarm %1 mode").arg(mode + 1);
        }
        if (!Reached(d.SetAlarm1(low))) missed << QStringLiteral("Alarm 1");
        if (!Reached(d.SetAlarm2(high))) missed << QStringLiteral("Alarm 2");
        failed = missed.join(QStringLiteral(", "));
        return missed.isEmpty();
      },
      [this](bool complete, const QString& failed) {
        {
          LoadingGuard guard(FLoading);
          SetComboItem(cbSource1, View::SourceItem(FCache.AlarmMode[0].Source));
          SetComboItem(cbSource2, View::SourceItem(FCache.AlarmMode[1].Source));
          rgNormally1->SetItemIndex(View::FlagItem(FCache.AlarmMode[0].OpenClose));
          rgNormally2->SetItemIndex(View::FlagItem(FCache.AlarmMode[1].OpenClose));
          DeviceToControls();
        }
        if (!complete) ReportNotWritten(failed);
      });
}

void TArgoDeviceSetupDlg::ReportNotWritten(const QString& names) {
  Report(OtherText(QStringLiteral("NotWrittenMsg"), QStringLiteral("%1 was not written to the device."))
             .replace(QStringLiteral("%1"), names.isEmpty() ? OtherTextOrKey(QStringLiteral("Settings")) : names));
}

int TArgoDeviceSetupDlg::ShowSubDialog(QDialog* dialog) {
  return RunSubDialog ? RunSubDialog(dialog) : dialog->exec();
}

void TArgoDeviceSetupDlg::btnEditMatTableClick() {
  if (FBusy || FSequenceRunning) return;
  if (!FMatTableDlg) FMatTableDlg = new TMatTableDlg(this);
  TMatTableDlg& dlg = *FMatTableDlg;
  dlg.FTable = FCache.MaterialTable;
  dlg.FCh2Analog = FCache.AlarmMode[2].DigiAna == 1;
  dlg.FCh1Analog = FCache.AlarmMode[3].DigiAna == 1;
  dlg.FRangeLow = FRangeLow;
  dlg.FRangeHigh = FRangeHigh;
  dlg.FFahrenheit = FFahrenheit;
  dlg.FDevice = FDevice;
  dlg.FLng = FLng;
  if (ShowSubDialog(&dlg) != QDialog::Accepted) return;
  const TArgoMaterialTable table = dlg.FTable;
  RunSequence(
      [table](TpyreonArgo& d, QString& failed) {
        const bool ok = Reached(d.SetMaterialTable(table));
        if (!ok) failed = QStringLiteral("Material table");
        return ok;
      },
      [this](bool complete, const QString& failed) {
        TabSheetOutputShow();
        if (!complete) ReportNotWritten(OtherText(QStringLiteral("MaterialTable"), failed));
      });
}

void TArgoDeviceSetupDlg::btnAdjustOutputSlopeClick() {
  if (FBusy || FSequenceRunning || !FDevice) return;
  SlopeDeviceBackend backend(*FDevice);
  TAdjustSlopeDlg dlg(this);
  dlg.SetBackend(&backend);
  dlg.TempMin = FRangeLow;
  dlg.TempMax = FRangeHigh;
  dlg.Fahrenheit = FFahrenheit;
  dlg.OnSettingsChanged = FOnSettingsChanged;
  dlg.TempRaster = FSlopeRasters.T;
  dlg.OutputRaster = FSlopeRasters.O;
  dlg.DiagramColor = FAdjustColor;
  dlg.FLng = FLng;
  ShowSubDialog(&dlg);
  // Whatever the result: the rasters and the colour come back.
  FSlopeRasters.T = dlg.TempRaster;
  FSlopeRasters.O = dlg.OutputRaster;
  FAdjustColor = dlg.DiagramColor;
}

void TArgoDeviceSetupDlg::btnHeadParamClick() {
  if (FBusy || FSequenceRunning) return;
  TArgoHeadParamDlg dlg(this);
  dlg.FLng = FLng;
  // The form of the code is the driver's, never guessed from the groups.
  const bool large = TpyreonArgo::UsesLargeHeadCode(FCache.FWrev);
  dlg.Mode = large ? TArgoHeadParamDlg::TMode::Large : TArgoHeadParamDlg::TMode::Short;
  if (large) {
    dlg.FLargeCode = FCache.HeadCodeLarge;
  } else {
    dlg.FShortCode = FCache.HeadCodeShort;
  }
  if (ShowSubDialog(&dlg) != QDialog::Accepted) return;
  const TArgoHeadCodeShort shortCode = dlg.FShortCode;
  const TArgoHeadCodeLarge largeCode = dlg.FLargeCode;
  RunWrite(OtherText(QStringLiteral("HeadParameter"), QStringLiteral("Head parameter")),
           [large, shortCode, largeCode](TpyreonArgo& d) {
             return Reached(large ? d.SetHeadCodeLarge(largeCode) : d.SetHeadCodeShort(shortCode));
           },
           [this](bool) { ShowHeadCode(); });
}

void TArgoDeviceSetupDlg::btnOKClick() {
  if (FBusy || FSequenceRunning || ParamChangeTimer->isActive()) return;
  const auto address = static_cast<std::uint8_t>(seAddress->value());
  // The bus address is written only when the user changed it.
  const bool changed = address != FLoadedAddress;
  FClosing = true;
  RunWrite(OtherText(QStringLiteral("Address"), QStringLiteral("Multidrop address")),
           [address, changed](TpyreonArgo& d) { return !changed || Reached(d.SetRS485Address(address)); },
           [this](bool confirmed) {
             if (confirmed) {
               accept();
             } else {
               FClosing = false;
             }
           });
}

void TArgoDeviceSetupDlg::btnCancelClick() {
  if (FSequenceRunning) return;
  ParamChangeTimer->stop();
  FPendingTag = 0;
  if (!FDevice || !FLoaded) {
    reject();
    return;
  }
  FClosing = true;
  const TArgoConfig atOpen = FConfigAtOpen;
  const auto cancelled = std::make_shared<bool>(false);
  RunSequence(
      [atOpen, cancelled](TpyreonArgo& d, QString& failed) {
        const TArgoWriteReport report = d.WriteAllParameters(atOpen);
        *cancelled = report.Cancelled;
        failed = report.Names(false).join(QStringLiteral(", "));
        return report.AllConfirmed() && !report.Cancelled;
      },
      [this, cancelled](bool complete, const QString& failed) {
        if (complete) {
          reject();
          return;
        }
        ReportNotWritten(failed);
        if (*cancelled) {
          // Stopped by the user: the dialog stays open.
          FClosing = false;
          LoadingGuard guard(FLoading);
          LoadFromDevice();
          DeviceToControls();
          return;
        }
        reject();
      });
}

QString TArgoDeviceSetupDlg::PickFile(bool save, const QString& proposed) {
  if (ChooseFile) return ChooseFile(save, proposed);
  const QString filter = QStringLiteral("All (*);;Argo Configuration (Argo_*.cfg)");
  QString selected = QStringLiteral("Argo Configuration (Argo_*.cfg)");
  return save ? QFileDialog::getSaveFileName(this, QString(), proposed, filter, &selected)
              : QFileDialog::getOpenFileName(this, QString(), proposed, filter, &selected);
}

void TArgoDeviceSetupDlg::btnSaveClick() {
  if (FBusy || FSequenceRunning) return;
  const QString file = PickFile(true, QStringLiteral("Argo_%1.cfg").arg(FCache.SerialNumber));
  if (file.isEmpty()) return;
  RunSequence(
      [file](TpyreonArgo& d, QString& failed) {
        const bool ok = d.SaveConfigFile(d.Config(), file) == 1;
        if (!ok) failed = QDir::toNativeSeparators(file);
        return ok;
      },
      [this](bool complete, const QString& failed) {
        if (!complete) {
          Report(OtherText(QStringLiteral("SaveFailed"), QStringLiteral("The configuration could not be saved to %1."))
                     .replace(QStringLiteral("%1"), failed));
        }
      });
}

void TArgoDeviceSetupDlg::btnLoadClick() {
  if (FBusy || FSequenceRunning) return;
  const QString file = PickFile(false, QStringLiteral("Argo_*.cfg"));
  if (file.isEmpty()) return;
  struct Loaded {
    int result = 0;
    QStringList messages;
    std::uint8_t address = 0;
  };
  const auto loaded = std::make_shared<Loaded>();
  RunSequence(
      [file, loaded](TpyreonArgo& d, QString& failed) {
        TArgoConfig copy = d.Config();
        const TargoMessageEvent saved = d.OnMessage;
        d.OnMessage = [loaded](QObject*, const QString& text) { loaded->messages << text; };
        loaded->result = d.LoadConfigFile(file, copy);
        d.OnMessage = saved;
        if (loaded->result != 1) return true;  // nothing written
        loaded->address = copy.RS485Addr;
        const TArgoWriteReport report = d.WriteAllParameters(copy);
        failed = report.Names(false).join(QStringLiteral(", "));
        if (!report.AllConfirmed() || report.Cancelled) return false;
        // The device settles before its values are shown.
        for (int waited = 0; waited < 1000 && !d.Cancelled(); waited += 50) QThread::msleep(50);
        return true;
      },
      [this, loaded](bool complete, const QString& failed) {
        if (loaded->result != 1) {
          Report(loaded->messages.isEmpty()
                     ? OtherText(QStringLiteral("ConversionError"), QStringLiteral("conversion error"))
                     : loaded->messages.join(QStringLiteral("\n")));
          return;
        }
        {
          LoadingGuard guard(FLoading);
          LoadFromDevice();
          DeviceToControls();
          // The file's address is written only by OK.
          seAddress->setValue(loaded->address);
        }
        if (!complete) ReportNotWritten(failed);
      });
}
