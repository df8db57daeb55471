// The write side of the single-colour setup dialog: the delayed write of a
// typed value, the choices written at once, the buttons and the sub-dialogs.

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <cmath>

#include "drivers/argo/pyreon_argo.h"
#include "drivers/sentinel_utils.h"
#include "measurement/argo_family.h"
#include "setup_argo/argo_device_setup_dlg.h"
#include "setup_argo/argo_device_setup_view.h"
#include "setup_argo/argo_head_param_dlg.h"
#include "setup_argo/argo_setup_config_file.h"
#include "setup_argo/argo_setup_selection_writes.h"
#include "setup_argo/mat_table_dlg.h"
#include "setup_argo/slope_device_backend.h"
#include "setup_common/adjust_slope_dlg.h"
#include "ui/d_spin_edit.h"
#include "ui/loading_guard.h"
#include "ui/radio_group.h"

using View = ArgoDeviceSetupView;

void TArgoDeviceSetupDlg::RunWrites(const ArgoSetupWrites& writes, std::function<void(bool reached)> after,
                                    int tag, int waitMs) {
  const auto finish = [this, writes, tag, after](const ArgoSetupSession::TOutcome& outcome) {
    if (outcome.ran) FCache = outcome.config;
    const QString missed = ArgoSetupSession::NotReached(outcome, writes);
    if (tag != 0) MarkNotWritten(tag, !missed.isEmpty());
    if (!missed.isEmpty()) ReportNotWritten(missed);
    if (tag != 0) ReloadTag(tag);
    if (after) after(missed.isEmpty());
    LoadingGuard guard(FLoading);
    UpdateEnabledStates();
  };
  FSequence.Write(FSetupSession.get(), writes, FCache, finish, waitMs);
}

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
  ArgoSetupParamPlanner::TEdits edits;
  edits.fahrenheit = FFahrenheit;
  edits.alarmHysteresis = FModelInfo.AlHysteresis;
  double shown = 0;
  if (seAlarm1->TryValue(shown)) edits.alarm1 = shown;
  if (seAlarm2->TryValue(shown)) edits.alarm2 = shown;
  if (seAmbLoRangeTemp->TryValue(shown)) edits.ambLow = shown;
  if (seAmbHiRangeTemp->TryValue(shown)) edits.ambHigh = shown;
  edits.postProcItem = cbPostProcMode->currentIndex();
  if (tag == 3 || tag == 4) {
    // Alarm 1 never ends above alarm 2: the other edit shows the value
    // that follows until the device's echo comes back.
    edits.alarm1 = tag == 3 ? value : edits.alarm1;
    edits.alarm2 = tag == 4 ? value : edits.alarm2;
  }
  const ArgoSetupWrites writes = ArgoSetupParamPlanner::Plan(tag, value, edits);
  // Both alarms and both range ends: the planner may move the other one.
  const int partner = tag == 3 ? 4 : tag == 4 ? 3 : tag == 8 ? 9 : tag == 9 ? 8 : 0;
  RunWrites(
      writes,
      [this, partner, tag](bool) {
        if (partner != 0) ReloadTag(partner);
        if (tag == 16) {
          LoadingGuard guard(FLoading);
          DeviceToControls();
        }
      },
      tag);
}

void TArgoDeviceSetupDlg::cbEmissivityModeChange() {
  if (FBusy || FLoading) return;
  RunWrites(ArgoSetupSelectionWrites::EmissivitySource(cbEmissivityMode->currentIndex()), [this](bool) {
    LoadingGuard guard(FLoading);
    SetComboItem(cbEmissivityMode, View::EmissivityItem(FCache.EmissivitySource));
    TabSheetOutputShow();
  });
}

void TArgoDeviceSetupDlg::cbAmbientSourceChange() {
  if (FBusy || FLoading) return;
  RunWrites(ArgoSetupSelectionWrites::AmbientSource(cbAmbientSource->currentIndex()), [this](bool) {
    LoadingGuard guard(FLoading);
    SetComboItem(cbAmbientSource, View::AmbientItem(FCache.AmbientSource));
  });
}

void TArgoDeviceSetupDlg::cbSmartAveragingClick() {
  if (FBusy || FLoading) return;
  RunWrites(ArgoSetupSelectionWrites::SmartAveraging(cbSmartAveraging->isChecked()), [this](bool) {
    LoadingGuard guard(FLoading);
    cbSmartAveraging->setChecked(FCache.AverageMode);
  });
}

void TArgoDeviceSetupDlg::ShowAlarmMode(int mode) {
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
      break;
  }
}

void TArgoDeviceSetupDlg::AlarmModeChange(int mode) {
  if (FBusy || FLoading) return;
  ArgoSetupSelectionWrites::TAlarmControls controls;
  switch (mode) {
    case 0:
      controls.source = cbSource1->currentIndex();
      controls.openClose = rgNormally1->ItemIndex();
      break;
    case 1:
      controls.source = cbSource2->currentIndex();
      controls.openClose = rgNormally2->ItemIndex();
      break;
    case 2:
      controls.source = cbSource3->currentIndex();
      controls.openClose = rgNormally3->ItemIndex();
      controls.digiAna = rgAnalogDigital3->ItemIndex();
      controls.outMode = rgRange3->ItemIndex();
      break;
    default:
      controls.openClose = rgNormally4->ItemIndex();
      controls.digiAna = rgAnalogDigital4->ItemIndex();
      controls.outMode = cbOutputMode4->currentIndex();
      FKeepOutputMode = true;
      break;
  }
  RunWrites(
      ArgoSetupSelectionWrites::AlarmMode(mode, controls, FCache.AlarmMode[static_cast<std::size_t>(mode)]),
      [this, mode](bool) {
        ShowAlarmMode(mode);
        if (mode == 3) {
          FKeepOutputMode = cbOutputMode4->hasFocus();
          if (gbOutputMode4->isEnabled() && gbOutputMode4->isVisible()) gbOutputMode4->setFocus();
        }
      });
}

void TArgoDeviceSetupDlg::btnResetOffsetGainClick() {
  if (FBusy) return;
  RunWrites(ArgoSetupSelectionWrites::ResetOffsetGain(), [this](bool) {
    ReloadTag(14);
    ReloadTag(15);
  });
}

void TArgoDeviceSetupDlg::sbtnPanelLockClick() {
  if (FBusy) return;
  // The device takes a moment before the lock shows.
  RunWrites(
      ArgoSetupSelectionWrites::TogglePanelLock(FCache), [this](bool) { ShowPanelLock(); }, 0, 100);
}

void TArgoDeviceSetupDlg::cbPostProcModeChange() {
  if (FBusy || FLoading) return;
  const int item = cbPostProcMode->currentIndex();
  if (item < 0) return;
  FKeepPostProcMode = true;
  RunWrites(FPostProcessing.Choose(item, FCache.AverageTime, FCache.PeakHoldTime, FCache.ValleyHoldTime),
            [this](bool) {
              ReloadTag(10);
              ReloadTag(11);
              FKeepPostProcMode = cbPostProcMode->hasFocus();
              if (gbPostProcessing->isEnabled()) gbPostProcessing->setFocus();
            });
}

void TArgoDeviceSetupDlg::btnPresetClick(bool blue) {
  if (FBusy || FSequence.Running() || !FSetupSession) return;
  const ArgoSetupWrites writes = blue ? ArgoSetupSelectionWrites::PresetBlue(FCache, FRangeLow, FRangeHigh)
                                      : ArgoSetupSelectionWrites::PresetStandard(FCache);
  FSequence.Run(
      FDevice, true, [&](ArgoSetupSession::Done done) { FSetupSession->Write(writes, std::move(done)); },
      [this, writes](const ArgoSetupSession::TOutcome& outcome) {
        if (outcome.ran) FCache = outcome.config;
        ShowAlarmMode(0);
        ShowAlarmMode(1);
        {
          LoadingGuard guard(FLoading);
          DeviceToControls();
        }
        const QString missed = ArgoSetupSession::NotReached(outcome, writes);
        if (!missed.isEmpty()) ReportNotWritten(missed);
      });
}

void TArgoDeviceSetupDlg::ReportNotWritten(const QString& names) {
  Report(OtherText(QStringLiteral("NotWrittenMsg"), QStringLiteral("Not written to the device: %1"))
             .replace(QStringLiteral("%1"), names));
}

int TArgoDeviceSetupDlg::ShowSubDialog(QDialog* dialog) {
  return RunSubDialog ? RunSubDialog(dialog) : dialog->exec();
}

void TArgoDeviceSetupDlg::btnEditMatTableClick() {
  if (FBusy || FSequence.Running()) return;
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
  FSequence.Begin(FDevice);
  ArgoSetupSession::TOutcome none;
  RunWrites({ArgoSetupWrite::OfMaterialTable(dlg.FTable)}, [this, none](bool) {
    EndSequence(none);
    TabSheetOutputShow();
  });
}

void TArgoDeviceSetupDlg::btnAdjustOutputSlopeClick() {
  if (FBusy || FSequence.Running() || !FDevice) return;
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
  if (FBusy || FSequence.Running()) return;
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
  RunWrites({large ? ArgoSetupWrite::OfHeadCode(dlg.FLargeCode) : ArgoSetupWrite::OfHeadCode(dlg.FShortCode)},
            [this](bool) { ShowHeadCode(); });
}

void TArgoDeviceSetupDlg::btnOKClick() {
  if (FBusy || FSequence.Running() || ParamChangeTimer->isActive()) return;
  FClosing = true;
  // The bus address is written only when the user changed it; the writes
  // still on their way are reported before the dialog closes.
  RunWrites(ArgoSetupSelectionWrites::Address(seAddress->value(), FLoadedAddress), [this](bool reached) {
    if (reached) {
      accept();
    } else {
      FClosing = false;
    }
  });
}

void TArgoDeviceSetupDlg::btnCancelClick() {
  if (FSequence.Running()) return;
  ParamChangeTimer->Discard();
  if (!FSetupSession || !FLoaded) {
    reject();
    return;
  }
  FClosing = true;
  FSequence.Restore(
      FDevice, *FSetupSession, FConfigAtOpen, FCache,
      OtherText(QStringLiteral("Settings"), QStringLiteral("Settings")), [this] { reject(); },
      [this](const QString& names) { ReportNotWritten(names); },
      [this] {
        // Stopped by the user: the dialog stays open on what the device holds.
        FClosing = false;
        LoadingGuard guard(FLoading);
        LoadFromDevice();
        DeviceToControls();
      });
}

QString TArgoDeviceSetupDlg::PickFile(bool save, const QString& proposed) {
  if (ChooseFile) return ChooseFile(save, proposed);
  const QString filter = ArgoSetupConfigFile::Filter();
  QString selected = filter.section(QStringLiteral(";;"), 1, 1);
  return save ? QFileDialog::getSaveFileName(this, QString(), proposed, filter, &selected)
              : QFileDialog::getOpenFileName(this, QString(), proposed, filter, &selected);
}

void TArgoDeviceSetupDlg::btnSaveClick() {
  if (FBusy || FSequence.Running() || !FSetupSession) return;
  const QString file = PickFile(true, ArgoSetupConfigFile::DefaultFileName(FCache.SerialNumber));
  if (file.isEmpty()) return;
  FSequence.Run(
      FDevice, true, [&](ArgoSetupSession::Done done) { FSetupSession->Save(file, std::move(done)); },
      [this](const ArgoSetupSession::TOutcome& outcome) {
        if (outcome.ran) FCache = outcome.config;
        if (!outcome.message.isEmpty()) Report(outcome.message);
      });
}

void TArgoDeviceSetupDlg::btnLoadClick() {
  if (FBusy || FSequence.Running() || !FSetupSession) return;
  const QString file = PickFile(false, ArgoSetupConfigFile::LoadPattern());
  if (file.isEmpty()) return;
  FSequence.Run(
      FDevice, true, [&](ArgoSetupSession::Done done) { FSetupSession->Load(file, std::move(done)); },
      [this](const ArgoSetupSession::TOutcome& outcome) {
        if (outcome.ran) FCache = outcome.config;
        if (!outcome.fileLoaded) {
          // Nothing was written.
          if (!outcome.message.isEmpty()) Report(outcome.message);
          return;
        }
        {
          LoadingGuard guard(FLoading);
          LoadFromDevice();
          DeviceToControls();
          // The file's address is written only by OK.
          seAddress->setValue(outcome.loadedAddress);
        }
        const QString missed = ArgoSetupSession::NotReached(outcome, {});
        if (!missed.isEmpty()) ReportNotWritten(missed);
      });
}
