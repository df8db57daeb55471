// The write side of the ratio setup dialog: the delayed write of a tagged
// control, the choices written at once, the buttons, the live display and
// the jog images.

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <cmath>

#include "drivers/argo/pyreon_argo.h"
#include "drivers/driver_timer.h"
#include "drivers/sentinel_utils.h"
#include "measurement/argo_family.h"
#include "setup_argo/argo_setup_config_file.h"
#include "setup_argo/argo_setup_post_processing.h"
#include "setup_argo/argo_setup_selection_writes.h"
#include "setup_argo/jog_image.h"
#include "setup_argo/slope_device_backend.h"
#include "setup_argo/vererodur_calibration_page.h"
#include "setup_argo/vererodur_device_setup_dlg.h"
#include "setup_argo/vererodur_display_page.h"
#include "setup_common/adjust_slope_dlg.h"
#include "setup_common/setup_post_processing_group.h"
#include "ui/d_spin_edit.h"
#include "ui/idle_hook.h"
#include "ui/loading_guard.h"
#include "ui/radio_group.h"

using Planner = RatioSetupParamPlanner;
using PP = ArgoSetupPostProcessing;
using W = ArgoSetupWrite;

namespace {

constexpr int kPageDisplay = 2;

// The Tag a jog image writes with.
constexpr std::array<int, RatioDisplayJog::ImageCount> kJogTags = {1, 2, 19, 20, 21};

}  // namespace

// --- Busy state and reports -----------------------------------------------------------

void TVererodurDeviceSetupDlg::Report(const QString& text) {
  if (ShowMessage) {
    ShowMessage(text);
  } else {
    QMessageBox::warning(this, windowTitle(), text);
  }
}

void TVererodurDeviceSetupDlg::ReportNotWritten(const QString& names) {
  Report(OtherText(QStringLiteral("NotWrittenMsg"), QStringLiteral("Not written to the device: %1"))
             .replace(QStringLiteral("%1"), names));
}

void TVererodurDeviceSetupDlg::SetInputEnabled(bool enabled) {
  VereRodurDeviceSetup_PageControl->setEnabled(enabled);
  btnSave->setEnabled(enabled);
  btnLoad->setEnabled(enabled);
  btnCancel->setEnabled(enabled);
  btnOK->setEnabled(enabled && !WritePending());
}

void TVererodurDeviceSetupDlg::EndSequence(const ArgoSetupSession::TOutcome& outcome) {
  if (outcome.ran) FCache = outcome.config;
  FSequence.End();
}

void TVererodurDeviceSetupDlg::PageWorkStarted() {
  if (FPageWork) return;
  FPageWork = true;
  // Only the calibration page's reading can be stopped.
  FSequence.Begin(FDevice, sender() == CalibrationPage);
}

void TVererodurDeviceSetupDlg::PageWorkFinished(const ArgoSetupSession::TOutcome& outcome) {
  if (!FPageWork) return;
  FPageWork = false;
  EndSequence(outcome);
  if (FClosing) return;
  if (outcome.ran) {
    CalibrationPage->SetCache(FCache);
    if (ActivePage() == kPageDisplay) LoadDisplayPage();
  }
  if (FOkAfterPageWork) {
    FOkAfterPageWork = false;
    btnOKClick();
  }
}

void TVererodurDeviceSetupDlg::RunWrites(const ArgoSetupWrites& writes,
                                         std::function<void(bool reached)> after, int tag, int waitMs) {
  const QPointer<TVererodurDeviceSetupDlg> self(this);
  const auto finish = [self, writes, tag, after](const ArgoSetupSession::TOutcome& outcome) {
    if (!self) return;
    TVererodurDeviceSetupDlg& d = *self;
    if (outcome.ran) d.FCache = outcome.config;
    const QString missed = ArgoSetupSession::NotReached(outcome, writes);
    if (tag != 0) {
      if (missed.isEmpty()) {
        d.FNotWritten.erase(tag);
      } else {
        d.FNotWritten.insert(tag);
      }
      if (QWidget* control = d.ControlForTag(tag)) {
        control->setProperty("notWritten", !missed.isEmpty());
        control->setToolTip(missed.isEmpty() ? QString()
                                             : d.OtherText(QStringLiteral("NotWritten"),
                                                           QStringLiteral("Not written to the device")));
      }
    }
    if (!missed.isEmpty()) d.ReportNotWritten(missed);
    if (tag != 0) d.ReloadTag(tag);
    if (after) after(missed.isEmpty());
    if (d.FClosing) return;
    LoadingGuard guard(d.FLoading);
    d.UpdateEnabledStates();
    d.btnOK->setEnabled(!d.WritePending() && !d.FSequence.Running() && !d.FPageWork);
  };
  FSequence.Write(FSetupSession.get(), writes, FCache, finish, waitMs);
}

// --- The change timer ------------------------------------------------------------------

void TVererodurDeviceSetupDlg::seParamChange(QObject* sender) {
  if (FLoading || FBusy || FClosing || !FLoaded) return;
  int tag = 0;
  int interval = kChoiceDelayMs;
  if (auto* spin = qobject_cast<TDSpinEdit*>(sender)) {
    // Only the control with the focus is the user's.
    if (!spin->hasFocus()) return;
    tag = spin->Tag();
    interval = kEditDelayMs;
    if (spin == seAvgTime) {
      double value = 0;
      if (seAvgTime->TryValue(value)) {
        const double hundredths = std::round(value * 100.0) / 100.0;
        const double previous = std::round(FPrevAvgTimeShown * 100.0) / 100.0;
        // (The edit's lower limit of 0.01 may have caught the step first.)
        if (previous == 0.10 && hundredths <= 0.01) {
          // Stepping down below 0.1 lands on 0.09, not on 0.
          LoadingGuard guard(FLoading);
          seAvgTime->SetDecimal(2);
          seAvgTime->SetIncrement(0.01);
          seAvgTime->SetValue(0.09);
          value = 0.09;
        }
        const bool fine = std::round(value * 100.0) / 100.0 < 0.10;
        seAvgTime->SetDecimal(fine ? 2 : 1);
        seAvgTime->SetIncrement(fine ? 0.01 : 0.1);
        FPrevAvgTimeShown = value;
      }
    }
  } else if (auto* edit = qobject_cast<QLineEdit*>(sender)) {
    tag = edit->property("Tag").toInt();
    interval = kEditDelayMs;
  } else if (auto* group = qobject_cast<RadioGroup*>(sender)) {
    tag = group->Tag();
  } else if (sender == seAddress) {
    tag = 31;
    interval = kEditDelayMs;
  } else if (sender == cbProcessSource) {
    tag = 5;
  }
  if (tag == 0) return;
  ParamChangeTimer->Change(tag, interval);
}

void TVererodurDeviceSetupDlg::PageTagChange(int tag, QWidget* control) {
  if (FLoading || FBusy || FClosing || !FLoaded) return;
  auto* spin = qobject_cast<TDSpinEdit*>(control);
  // Only the control with the focus is the user's.
  if (spin && !spin->hasFocus()) return;
  ParamChangeTimer->Change(tag, spin ? kEditDelayMs : kChoiceDelayMs);
}

void TVererodurDeviceSetupDlg::OnElementExit() { ParamChangeTimer->ControlLeft(); }

void TVererodurDeviceSetupDlg::ParamChangeTimerTimer(int tag) {
  if (FClosing) return;
  WriteTag(tag);
}

void TVererodurDeviceSetupDlg::WriteTag(int tag) {
  const auto nothing = [this, tag] {
    // Text that is no number writes nothing: the control shows the cache.
    FNotWritten.erase(tag);
    if (tag == 23 || tag == 24) DisplayPage->SourceChoiceDone(tag);
    ReloadTag(tag);
    btnOK->setEnabled(!WritePending() && !FSequence.Running() && !FPageWork);
  };
  double value = 0;
  QWidget* control = ControlForTag(tag);
  // (A spin edit is a line edit too.)
  if (auto* spin = qobject_cast<TDSpinEdit*>(control)) {
    const std::optional<double> parsed = Planner::ParseFloatTolerant(spin->text());
    if (!parsed) return nothing();
    value = spin->CheckValue(*parsed);
  } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
    const std::optional<double> parsed = Planner::ParseFloatTolerant(edit->text());
    if (!parsed) return nothing();
    value = *parsed;
  } else if (auto* group = qobject_cast<RadioGroup*>(control)) {
    if (group->ItemIndex() < 0) return nothing();
    value = group->ItemIndex();
  } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
    // The process source (5) and the display page's two sources (23, 24).
    if (combo->currentIndex() < 0) return nothing();
    value = combo->currentIndex();
  } else if (tag == 31) {
    // The address reaches the device with OK.
    const std::optional<int> address = Planner::ParseAddress(seAddress->text());
    LoadingGuard guard(FLoading);
    seAddress->setValue(address ? *address : FCache.RS485Addr);
    btnOK->setEnabled(!WritePending() && !FSequence.Running() && !FPageWork);
    return;
  } else {
    return nothing();
  }
  Planner::TEdits edits;
  edits.fahrenheit = FFahrenheit;
  edits.postProcItem = cbPostProcMode->currentIndex();
  edits.processSource = cbProcessSource->currentIndex();
  edits.alarmSource1 = cbDsource[0]->currentIndex();
  edits.alarmSource2 = cbDsource[1]->currentIndex();
  // The process source's own value is what the user chose.
  if (tag == 5) edits.processSource = FCache.ProcessSource;
  const ArgoSetupWrites writes = FPlanner.Plan(tag, value, edits, FCache);
  if (writes.empty()) return nothing();
  RunWrites(
      writes,
      [this, tag](bool reached) {
        if (FClosing) return;
        // A source the device took: its combo follows the cache again.
        if (reached && (tag == 23 || tag == 24)) DisplayPage->SourceChoiceDone(tag);
        if (tag == 5) {
          LoadingGuard guard(FLoading);
          ReloadTag(5);
          if (FCache.ProcessSource == 2) {
            if (cbPostProcMode->currentIndex() >= PP::AdvPeakHold) SetComboItem(cbPostProcMode, PP::Off);
            while (cbPostProcMode->count() > PP::AdvPeakHold)
              cbPostProcMode->removeItem(cbPostProcMode->count() - 1);
          } else if (cbPostProcMode->count() < PP::AdvValleyHold) {
            const QStringList items = TSetupPostProcessingGroup::ModeTexts(
                [this](const QString& key, const QString& text) { return OtherText(key, text); });
            for (const QString& item : items.mid(cbPostProcMode->count())) cbPostProcMode->addItem(item);
          }
          SetAlarmRanges();
          for (int t : {7, 8, 10, 11, 12, 13, 22}) ReloadTag(t);
        }
        if (tag == 16) {
          LoadingGuard guard(FLoading);
          DeviceToControls();
        }
        if (tag >= 23 && tag <= 30 && !DisplayPage->WritePending()) LoadDisplayPage();
      },
      tag);
}

// --- Choices written at once -------------------------------------------------------------

void TVererodurDeviceSetupDlg::cbPostProcModeChange() {
  if (FBusy || FLoading || !FLoaded) return;
  const int item = cbPostProcMode->currentIndex();
  if (item < 0) return;
  FKeepPostProcMode = true;
  RunWrites(FPlanner.ChoosePostProcessing(item, FCache), [this](bool) {
    ReloadTag(10);
    ReloadTag(11);
    FKeepPostProcMode = false;
    if (gbPostProcessing->isEnabled() && gbPostProcessing->isVisible()) gbPostProcessing->setFocus();
  });
}

void TVererodurDeviceSetupDlg::cbSmartAveragingClick() {
  if (FBusy || FLoading || !FLoaded) return;
  RunWrites(ArgoSetupSelectionWrites::SmartAveraging(cbSmartAveraging->isChecked()), [this](bool) {
    LoadingGuard guard(FLoading);
    cbSmartAveraging->setChecked(FCache.AverageMode);
  });
}

void TVererodurDeviceSetupDlg::cbOutputMode4Change() {
  if (FBusy || FLoading || !FLoaded) return;
  const int item = cbOutputMode4->currentIndex();
  if (item < 0) return;
  FKeepOutputMode = true;
  TArgoAlarmMode mode = FCache.AlarmMode[3];
  mode.OutMode = static_cast<std::uint8_t>(item);
  RunWrites({W::OfAlarmMode(3, mode)}, [this](bool) {
    LoadingGuard guard(FLoading);
    const std::uint8_t out = FCache.AlarmMode[3].OutMode;
    SetComboItem(cbOutputMode4, out <= 3 ? out : -1);
    FKeepOutputMode = false;
    if (gbOutputMode4->isEnabled() && gbOutputMode4->isVisible()) gbOutputMode4->setFocus();
  });
}

void TVererodurDeviceSetupDlg::DfunctionChange(int output) {
  if (FBusy || FLoading || !FLoaded) return;
  const auto o = static_cast<std::size_t>(output);
  const int item = cbDfunction[o]->currentIndex();
  if (item < 0) return;
  RunWrites({W::OfOutput(W::DALFunction, output, static_cast<float>(item))}, [this, o](bool) {
    LoadingGuard guard(FLoading);
    SetComboItem(cbDfunction[o], FCache.DALFunction[o]);
  });
}

void TVererodurDeviceSetupDlg::SetSourceIncrement(int output) {
  const auto o = static_cast<std::size_t>(output);
  const int item = cbDsource[o]->currentIndex();
  const int process = cbProcessSource->currentIndex();
  // A source without limits (process value of an unknown process source)
  // keeps its step; the next refresh sets it by the unit and the value.
  if ((item >= 0 && item <= 3) || (item == 4 && process >= 0 && process <= 2)) seDAlarm[o]->SetIncrement(0.1);
}

void TVererodurDeviceSetupDlg::DsourceChange(int output) {
  if (FBusy || FLoading || !FLoaded) return;
  const auto o = static_cast<std::size_t>(output);
  const int item = cbDsource[o]->currentIndex();
  if (item < 0 || item > 4) return;
  {
    // The value edit shows the cached value of the new source's slot.
    LoadingGuard guard(FLoading);
    ShowAlarmOutput(output);
    SetSourceIncrement(output);
    PlaceUnitLabels();
  }
  RunWrites({W::OfOutput(W::AlarmSource, output, static_cast<float>(item + 1))}, [this, o, output](bool) {
    LoadingGuard guard(FLoading);
    SetComboItem(cbDsource[o], int(FCache.AlarmSource[o]) - 1);
    ShowAlarmOutput(output);
    SetSourceIncrement(output);
  });
}

void TVererodurDeviceSetupDlg::sbtnPanelLockClick() {
  if (FBusy || !FLoaded || !FSetupSession) {
    ShowPanelLock();
    return;
  }
  // The device's own state decides: its inverse is written, then the
  // device takes a moment before the lock shows.
  FSequence.JobStarted();
  const QPointer<TVererodurDeviceSetupDlg> self(this);
  FSetupSession->Post(
      [](TpyreonArgo& d, ArgoSetupSession::TOutcome& o) {
        const W write = W::Of(W::PanelLock, d.GetPanelLock() ? 0.0f : 1.0f);
        const TArgoWriteResult result = write.Apply(d);
        o.report.Items.push_back({write.Key(), write.Name(), result});
        if (result) DriverTimer::Sleep(100, [&d] { return d.Cancelled(); });
      },
      [self](const ArgoSetupSession::TOutcome& outcome) {
        if (!self) return;
        self->FSequence.JobDone();
        if (outcome.ran) self->FCache = outcome.config;
        const QString missed = ArgoSetupSession::NotReached(outcome, {W::Of(W::PanelLock, 0.0f)});
        if (!missed.isEmpty()) self->ReportNotWritten(missed);
        self->ShowPanelLock();
      });
}

void TVererodurDeviceSetupDlg::btnAdjustOutputSlopeClick() {
  if (FBusy || FSequence.Running() || !FDevice) return;
  SlopeDeviceBackend backend(*FDevice);
  TAdjustSlopeDlg dlg(this);
  dlg.SetBackend(&backend);
  const bool attenuation = FCache.ProcessSource == 2;
  dlg.TempMin = attenuation ? -50.0f : FSlopeTempMin;
  dlg.TempMax = attenuation ? 100.0f : FSlopeTempMax;
  dlg.Fahrenheit = FFahrenheit;
  dlg.OnSettingsChanged = FOnSettingsChanged;
  dlg.TempRaster = FSlopeRasters.T;
  dlg.OutputRaster = FSlopeRasters.O;
  dlg.DiagramColor = FAdjustColor;
  dlg.FLng = FLng;
  ShowSubDialog(&dlg);
  FSlopeRasters.T = dlg.TempRaster;
  FSlopeRasters.O = dlg.OutputRaster;
  FAdjustColor = dlg.DiagramColor;
}

int TVererodurDeviceSetupDlg::ShowSubDialog(QDialog* dialog) {
  return RunSubDialog ? RunSubDialog(dialog) : dialog->exec();
}

// --- Files ---------------------------------------------------------------------------------

QString TVererodurDeviceSetupDlg::PickFile(bool save, const QString& proposed) {
  if (ChooseFile) return ChooseFile(save, proposed);
  const QString filter = ArgoSetupConfigFile::RatioFilter();
  QString selected = filter.section(QStringLiteral(";;"), 1, 1);
  return save ? QFileDialog::getSaveFileName(this, QString(), proposed, filter, &selected)
              : QFileDialog::getOpenFileName(this, QString(), proposed, filter, &selected);
}

void TVererodurDeviceSetupDlg::btnSaveClick() {
  if (FBusy || FSequence.Running() || FPageWork || !FSetupSession) return;
  const QString file = PickFile(true, ArgoSetupConfigFile::RatioDefaultFileName(FCache.SerialNumber));
  if (file.isEmpty()) return;
  FSequence.Run(
      FDevice, false, [&](ArgoSetupSession::Done done) { FSetupSession->Save(file, std::move(done)); },
      [this](const ArgoSetupSession::TOutcome& outcome) {
        if (outcome.ran) FCache = outcome.config;
        if (!outcome.message.isEmpty()) Report(outcome.message);
      });
}

void TVererodurDeviceSetupDlg::btnLoadClick() {
  if (FBusy || FSequence.Running() || FPageWork || !FSetupSession) return;
  tiAnzeige->stop();
  const QString file = PickFile(false, ArgoSetupConfigFile::RatioLoadPattern());
  if (file.isEmpty()) {
    tiAnzeige->start();
    return;
  }
  FSequence.Run(
      FDevice, true, [&](ArgoSetupSession::Done done) { FSetupSession->Load(file, std::move(done)); },
      [this](const ArgoSetupSession::TOutcome& outcome) {
        if (outcome.ran) FCache = outcome.config;
        if (FClosing) return;
        if (!outcome.fileLoaded) {
          // Nothing was written.
          if (!outcome.message.isEmpty()) Report(outcome.message);
          tiAnzeige->start();
          return;
        }
        const QString missed = ArgoSetupSession::NotReached(outcome, {});
        if (!missed.isEmpty()) ReportNotWritten(missed);
        // The reload fill: the device's new values, the file's address (written
        // by OK); the values at opening stay those Cancel restores.
        FFileAddress = outcome.loadedAddress;
        FReloadPending = true;
        FBusy = true;
        SetInputEnabled(false);
        FormShowTimer->start();
      });
}

// --- Closing -------------------------------------------------------------------------------

void TVererodurDeviceSetupDlg::StopTimers() {
  ParamChangeTimer->Discard();
  tiChange->stop();
  tiAnzeige->stop();
  FormShowTimer->stop();
  FRefreshTimer->stop();
  FReloadPending = false;
  DisplayPage->DiscardPendingWrite();
}

void TVererodurDeviceSetupDlg::btnOKClick() {
  if (FBusy || FSequence.Running() || FPageWork || ParamChangeTimer->isActive() || !FLoaded) return;
  // The display page's pending rows are written before the dialog closes.
  if (DisplayPage->WritePending()) DisplayPage->FlushPendingWrite();
  if (DisplayPage->Busy() || FPageWork) {
    FOkAfterPageWork = true;
    return;
  }
  FClosing = true;
  // The bus address is written only when the user changed it.
  const int address = Planner::ParseAddress(seAddress->text()).value_or(FLoadedAddress);
  RunWrites(ArgoSetupSelectionWrites::Address(address, FLoadedAddress), [this](bool reached) {
    if (reached) {
      accept();
    } else {
      FClosing = false;
    }
  });
}

void TVererodurDeviceSetupDlg::btnCancelClick() {
  if (FSequence.Running() && !FPageWork) return;
  StopTimers();
  CalibrationPage->CancelRunning();
  if (!FSetupSession || !FLoaded) {
    reject();
    return;
  }
  FClosing = true;
  if (FPageWork) {
    // The page's job ends by itself; its report comes to a closing dialog.
    FPageWork = false;
    EndSequence({});
  }
  FSequence.Restore(
      FDevice, *FSetupSession, FConfigAtOpen, FCache,
      OtherText(QStringLiteral("Settings"), QStringLiteral("Settings")), [this] { reject(); },
      [this](const QString& names) { ReportNotWritten(names); },
      [this] {
        // Stopped by the user: the dialog stays open on what the device holds.
        FClosing = false;
        OpeningFill(true);
        seAddress->setValue(FCache.RS485Addr);
      });
}

void TVererodurDeviceSetupDlg::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    // Esc cancels without leaving the edited control: a pending change is
    // dropped, not written.
    StopTimers();
    btnCancelClick();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TVererodurDeviceSetupDlg::CloseLost() {
  // The device is gone: nothing is restored.
  FClosing = true;
  done(QDialog::Rejected);
}

void TVererodurDeviceSetupDlg::done(int result) {
  StopTimers();
  CalibrationPage->CancelRunning();
  FOkAfterPageWork = false;
  if (FSequence.Running()) {
    FPageWork = false;
    EndSequence({});
  }
  FBusy = true;
  FClosing = true;
  if (FIdleId != 0) {
    IdleHook::Instance().Detach(FIdleId);
    FIdleId = 0;
  }
  for (TJogImage* image : JogImages()) image->SetState(0);
  FJog = RatioDisplayJog{};
  QDialog::done(result);
}

// --- Live display ---------------------------------------------------------------------------

void TVererodurDeviceSetupDlg::tiAnzeigeTimer() {
  if (FBusy || FClosing || FSequence.Running() || FLiveInFlight || !isVisible()) return;
  if (FDevice && !FDevice->Snapshot().Connected) {
    CloseLost();
    return;
  }
  if (!FSetupSession) return;
  struct Live {
    float single = kArgoNoTemperature;
    float quotient = kArgoNoTemperature;
  };
  auto live = std::make_shared<Live>();
  FLiveInFlight = true;
  const QPointer<TVererodurDeviceSetupDlg> self(this);
  FSetupSession->Post(
      [live](TpyreonArgo& d, ArgoSetupSession::TOutcome&) {
        live->single = d.ReadSingleTemperature();
        if (d.Connected()) live->quotient = d.ReadQuotientTemperature();
      },
      [self, live](const ArgoSetupSession::TOutcome& outcome) {
        if (!self) return;
        self->FLiveInFlight = false;
        if (self->FClosing || !self->isVisible()) return;
        if (outcome.ran && !outcome.connected) {
          self->CloseLost();
          return;
        }
        ++self->FLiveCount;
        self->ShowLive(live->single, live->quotient);
      });
}

void TVererodurDeviceSetupDlg::ShowLive(float single, float quotient) {
  const auto text = [this](float celsius, QLabel* current) {
    // A failed read leaves the last text.
    if (celsius == kArgoNoTemperature || !std::isfinite(celsius)) return current->text();
    return QString::number(SentinelUtils::CelsiusToUnit(FFahrenheit, celsius), 'f', 1);
  };
  const QString one = text(single, p1Ctemp);
  const QString two = text(quotient, p2Ctemp);
  for (QLabel* panel : {p1Ctemp, p1Ctemp2}) panel->setText(one);
  for (QLabel* panel : {p2Ctemp, p2Ctemp2}) panel->setText(two);
  CalibrationPage->SetLiveTexts(one, two);
  pnlProcessSource->setText(lblProcessSource->text() + QStringLiteral(" ") + cbProcessSource->currentText());
  for (std::size_t o = 0; o < 2; ++o) {
    lblDALInOut[o]->setText(cbDfunction[o]->currentIndex() > 0 ? OtherTextOrKey(QStringLiteral("INPUT"))
                                                               : OtherTextOrKey(QStringLiteral("OUTPUT")));
  }
}

// --- Jog images -------------------------------------------------------------------------------

int TVererodurDeviceSetupDlg::JogIndex(TJogImage* image) const {
  const auto images = JogImages();
  for (std::size_t i = 0; i < images.size(); ++i)
    if (images[i] == image) return static_cast<int>(i);
  return -1;
}

void TVererodurDeviceSetupDlg::JogPressed(TJogImage* image, QPoint pos) {
  const int index = JogIndex(image);
  if (index < 0 || FBusy || FClosing || !FLoaded) return;
  FJog.MouseDown(index, pos.y(), image->height(), FJogClock.elapsed());
}

void TVererodurDeviceSetupDlg::JogMoved(TJogImage* image, QPoint pos) {
  const int index = JogIndex(image);
  if (index < 0 || FBusy || FClosing || !FLoaded) return;
  image->SetState(FJog.MouseMove(index, pos.y(), image->height()));
  if (FJog.ActiveImage() >= 0) {
    if (!tiChange->isActive()) tiChange->start();
  } else {
    tiChange->stop();
  }
}

void TVererodurDeviceSetupDlg::JogReleased(TJogImage* image, QPoint pos) {
  const int index = JogIndex(image);
  if (index < 0) return;
  for (TJogImage* i : JogImages()) i->SetState(0);
  const auto edits = JogEdits();
  const std::optional<double> shown =
      Planner::ParseFloatTolerant(edits[static_cast<std::size_t>(index)]->text());
  const double value = shown.value_or(CachedShown(kJogTags[static_cast<std::size_t>(index)]));
  const std::optional<double> stepped =
      FJog.MouseUp(index, pos.y(), image->height(), FJogClock.elapsed(), value);
  if (FJog.ActiveImage() < 0) tiChange->stop();
  if (stepped && !FBusy && !FClosing && FLoaded) JogWrite(index, *stepped);
}

void TVererodurDeviceSetupDlg::tiChangeTimer() {
  if (FBusy || FClosing || !FLoaded) return;
  const int active = FJog.ActiveImage();
  if (active < 0) {
    tiChange->stop();
    return;
  }
  // One write at a time: a tick that finds the last write still on its
  // way waits for the next one.
  if (FSequence.JobsInFlight() > 0 || FSequence.Running() || FPageWork) return;
  const auto index = static_cast<std::size_t>(active);
  if (FJog.StepOf(active) == 0) return;
  const std::optional<double> shown = Planner::ParseFloatTolerant(JogEdits()[index]->text());
  const double value = shown.value_or(CachedShown(kJogTags[index]));
  const std::optional<RatioDisplayJog::TTick> tick = FJog.Tick(value);
  if (!tick) {
    tiChange->stop();
    return;
  }
  JogWrite(tick->image, tick->value);
}

void TVererodurDeviceSetupDlg::JogWrite(int image, double value) {
  const auto index = static_cast<std::size_t>(image);
  const int tag = kJogTags[index];
  const RatioDisplayJog::TValueRange& range = RatioDisplayJog::ValueRange(image);
  {
    LoadingGuard guard(FLoading);
    JogEdits()[index]->setText(QString::number(value, 'f', range.decimals));
  }
  Planner::TEdits edits;
  edits.fahrenheit = FFahrenheit;
  RunWrites(FPlanner.Plan(tag, value, edits, FCache), {}, tag);
}
