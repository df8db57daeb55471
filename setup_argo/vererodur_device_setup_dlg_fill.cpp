// The read side of the ratio setup dialog: opening, the fill of the controls
// from the snapshot of the driver's cache, and the idle refresh.

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

#include "drivers/argo/pyreon_argo.h"
#include "drivers/sentinel_utils.h"
#include "measurement/argo_family.h"
#include "setup_argo/argo_setup_post_processing.h"
#include "setup_argo/jog_image.h"
#include "setup_argo/vererodur_calibration_page.h"
#include "setup_argo/vererodur_device_setup_dlg.h"
#include "setup_argo/vererodur_display_page.h"
#include "setup_common/setup_post_processing_group.h"
#include "ui/d_spin_edit.h"
#include "ui/idle_hook.h"
#include "ui/loading_guard.h"
#include "ui/radio_group.h"

using Planner = RatioSetupParamPlanner;
using PP = ArgoSetupPostProcessing;

namespace {

enum PageIndex { kPageOutput = 0, kPageSignal = 1, kPageDisplay = 2, kPageAdvanced = 3, kPageKali = 4 };

float ToUnit(bool fahrenheit, float celsius) { return SentinelUtils::CelsiusToUnit(fahrenheit, celsius); }
float DeltaToUnit(bool fahrenheit, float kelvin) {
  return SentinelUtils::DeltaCelsiusToUnit(fahrenheit, kelvin);
}

QString Fixed(double value, int decimals) { return QString::number(value, 'f', decimals); }

}  // namespace

void TVererodurDeviceSetupDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormShow();
}

void TVererodurDeviceSetupDlg::FormShow() {
  FBusy = true;
  FClosing = false;
  FLoaded = false;
  FReloadPending = false;
  FRefreshCount = 0;
  FLiveCount = 0;
  FNotWritten.clear();
  FOkAfterPageWork = false;
  FClearingAdvHold = false;
  StopTimers();
  btnOK->setEnabled(true);
  // The calibration page is offered only to the service.
  VereRodurDeviceSetup_PageControl->setTabVisible(kPageKali, FServiceMode);
  Kali->setEnabled(FServiceMode);
  SetInputEnabled(false);
  FormShowTimer->start();
}

void TVererodurDeviceSetupDlg::FormShowTimerTimer() {
  FormShowTimer->stop();
  const bool reload = FReloadPending;
  FReloadPending = false;
  if (!FSetupSession) {
    OpeningFill(reload);
    return;
  }
  FSequence.JobStarted();
  FSetupSession->ReadCache([this, reload](const ArgoSetupSession::TOutcome& outcome) {
    FSequence.JobDone();
    if (!isVisible()) return;
    if (outcome.ran) FCache = outcome.config;
    OpeningFill(reload);
  });
}

void TVererodurDeviceSetupDlg::OpeningFill(bool reload, bool factory) {
  FJog = RatioDisplayJog{};
  // After a file load Cancel still restores the values from before it; the
  // factory values read back become the values Cancel restores.
  if (!reload) FConfigAtOpen = FCache;
  FPrevAvgTimeShown = FCache.AverageTime;
  {
    LoadingGuard guard(FLoading);
    SetItemTexts();
    FFahrenheit = FCache.TempUnitFahrenheit;
    PlaceUnitLabels();
    FClosing = false;
    LoadFromConfig();
    FKeepPostProcMode = false;
    FKeepOutputMode = false;
    FBusy = false;
    DeviceToControls();
    if (reload) seAddress->setValue(FFileAddress);
    for (TJogImage* image : JogImages()) image->SetState(0);
    CalibrationPage->SetFirmware(FCache.FWrev);
    CalibrationPage->SetFahrenheit(FFahrenheit);
    CalibrationPage->SetCache(FCache);
  }
  if (!reload && !factory) SetActivePage(kPageOutput);
  // The pages' contents changed: the form keeps its size where they fit.
  resize(QSize(kClientWidth, kClientHeight).expandedTo(minimumSizeHint()));
  FLoaded = true;
  FBusy = false;
  SetInputEnabled(true);
  if (FIdleId == 0) FIdleId = IdleHook::Instance().Attach([this] { AppIdle(); });
  FRefreshDue = false;
  FRefreshTimer->start();
  tiAnzeige->start();
}

void TVererodurDeviceSetupDlg::SetItemTexts() {
  const auto set = [](QComboBox* combo, const QStringList& items) {
    const int index = combo->currentIndex();
    combo->clear();
    combo->addItems(items);
    combo->setCurrentIndex(index < combo->count() ? index : -1);
  };
  set(cbPostProcMode, TSetupPostProcessingGroup::ModeTexts(
                          [this](const QString& key, const QString& text) { return OtherText(key, text); }));
  QStringList sources;
  for (const char* key : {"TQuot", "Tsingle", "Tau", "TBox", "TProcess"})
    sources << OtherTextOrKey(QString::fromLatin1(key));
  QStringList functions;
  for (const char* key : {"Dx_DigAL", "Dx_Valid_lo", "Dx_Valid_hi", "Dx_Hold_LoHi", "Dx_Hold_HiLo"})
    functions << OtherTextOrKey(QString::fromLatin1(key));
  for (std::size_t o = 0; o < 2; ++o) {
    set(cbDsource[o], sources);
    set(cbDfunction[o], functions);
    rgDnormally[o]->SetItems(
        {OtherTextOrKey(QStringLiteral("Open")), OtherTextOrKey(QStringLiteral("Close"))});
  }
  DisplayPage->FillSourceItems();
  rgTempUnit->SetItems(
      {OtherTextOrKey(QStringLiteral("UnitCelsius")), OtherTextOrKey(QStringLiteral("UnitFahrenheit"))});
}

bool TVererodurDeviceSetupDlg::PercentUnits() const { return cbProcessSource->currentIndex() == 2; }

void TVererodurDeviceSetupDlg::ShowPanelLock() {
  const bool available = FCache.FWrev >= 1011;
  const bool down = available && FCache.PanelLock;
  sbtnPanelLock->setEnabled(available);
  sbtnPanelLock->setChecked(down);
  sbtnPanelLock->setText(down ? OtherTextOrKey(QStringLiteral("Locked"))
                              : OtherTextOrKey(QStringLiteral("Unlocked")));
}

void TVererodurDeviceSetupDlg::LoadFromConfig() {
  LoadingGuard guard(FLoading);
  const TArgoConfig& c = FCache;
  FBusy = true;
  FClosing = false;
  FKeepOutputMode = true;
  FKeepPostProcMode = true;
  FChooseAveragingMode = true;
  stFirmware->setText(QString::number(c.FWrev));
  stSerial->setText(QString::number(c.SerialNumber));
  cbSmartAveraging->setChecked(c.AverageMode);
  FFahrenheit = c.TempUnitFahrenheit;
  // The process source decides the slots and the percent units below.
  SetComboItem(cbProcessSource, c.ProcessSource);
  for (std::size_t o = 0; o < 2; ++o) {
    SetComboItem(cbDsource[o], int(c.AlarmSource[o]) - 1);
    rgDnormally[o]->SetItemIndex(c.AlarmNormallyOpen[o] <= 1 ? c.AlarmNormallyOpen[o] : -1);
    SetComboItem(cbDfunction[o], c.DALFunction[o]);
  }
  SetAlarmRanges();
  ShowPanelLock();
  seAddress->setValue(c.RS485Addr);
  FLoadedAddress = seAddress->value();
  rgTempUnit->SetItemIndex(FFahrenheit ? 1 : 0);
  for (int tag : {12, 13, 22}) ReloadTag(tag);
  FBusy = false;
  FKeepOutputMode = false;
  FKeepPostProcMode = false;
  FClosing = false;
  LoadDisplayPage();
}

void TVererodurDeviceSetupDlg::LoadDisplayPage() { DisplayPage->LoadDisplayPage(FCache); }

double TVererodurDeviceSetupDlg::CachedShown(int tag) const {
  const TArgoConfig& c = FCache;
  const bool f = FFahrenheit;
  const bool percent = PercentUnits();
  switch (tag) {
    case 1:
      return c.Epsilon;
    case 2:
      return c.Slope;
    case 19:
      return c.Epsilon2;
    case 20:
      return c.Slope2;
    case 21:
      return c.LimTau;
    case 7:
    case 8: {
      const std::size_t o = static_cast<std::size_t>(tag - 7);
      const int item = cbDsource[o]->currentIndex();
      const std::optional<int> slot = Planner::AlarmSlot(item, cbProcessSource->currentIndex());
      if (!slot) return 0.0;
      return Planner::AlarmShown(c.AlarmValues[o][*slot],
                                 Planner::PercentSource(item, cbProcessSource->currentIndex()), f);
    }
    case 10:
      return c.AverageTime;
    case 11:
      return c.PeakHoldTime > 0 ? c.PeakHoldTime : (c.ValleyHoldTime > 0 ? c.ValleyHoldTime : 0.0f);
    case 12:
      return percent ? c.AdvancedHoldThreshold : ToUnit(f, c.AdvancedHoldThreshold);
    case 13:
      return percent ? c.AdvancedHoldHysteresis : DeltaToUnit(f, c.AdvancedHoldHysteresis);
    case 22:
      return percent ? c.SmartThreshold : DeltaToUnit(f, c.SmartThreshold);
    default:
      return 0.0;
  }
}

QWidget* TVererodurDeviceSetupDlg::ControlForTag(int tag) const {
  switch (tag) {
    case 1:
      return eEpsilon;
    case 2:
      return eSlope;
    case 5:
      return cbProcessSource;
    case 7:
    case 8:
      return seDAlarm[static_cast<std::size_t>(tag - 7)];
    case 10:
      return seAvgTime;
    case 11:
      return seHoldTime;
    case 12:
      return seTreshold;
    case 13:
      return seHysterese;
    case 14:
    case 15:
      return rgDnormally[static_cast<std::size_t>(tag - 14)];
    case 16:
      return rgTempUnit;
    case 19:
      return eGain1C;
    case 20:
      return eGain2C;
    case 21:
      return eAttMax;
    case 22:
      return seSmartThreshold;
    case 31:
      return seAddress;
    case 23:
      return DisplayPage->findChild<QWidget*>(QStringLiteral("cbVisualAlSource"));
    case 24:
      return DisplayPage->findChild<QWidget*>(QStringLiteral("cbDisplayMainSource"));
    case 25:
      return DisplayPage->findChild<QWidget*>(QStringLiteral("rbBacklightAlarmMode"));
    case 26:
      return DisplayPage->findChild<QWidget*>(QStringLiteral("dseValueBlue"));
    case 27:
      return DisplayPage->findChild<QWidget*>(QStringLiteral("dseValueRed"));
    case 28:
      return DisplayPage->findChild<QWidget*>(QStringLiteral("dseThresholdALhysteresis"));
    case 29:
      return DisplayPage->findChild<QWidget*>(QStringLiteral("rgNoNcBlue"));
    case 30:
      return DisplayPage->findChild<QWidget*>(QStringLiteral("rgNoNcRed"));
    default:
      return nullptr;
  }
}

void TVererodurDeviceSetupDlg::ReloadTag(int tag) {
  // A change the user made and that is still on its way, or that the
  // device did not take, stays in its control.
  if (FNotWritten.count(tag) > 0) return;
  if (ParamChangeTimer->Pending(tag)) return;
  LoadingGuard guard(FLoading);
  if (tag >= 23 && tag <= 30) {
    // The display page shows its controls from the cache.
    if (!DisplayPage->WritePending()) LoadDisplayPage();
    return;
  }
  QWidget* control = ControlForTag(tag);
  // (A spin edit is a line edit too.)
  if (auto* spin = qobject_cast<TDSpinEdit*>(control)) {
    spin->SetValue(CachedShown(tag));
  } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
    const QString text = Fixed(CachedShown(tag), tag == 21 ? 1 : 3);
    if (edit->text() != text) edit->setText(text);
  } else if (tag == 5) {
    SetComboItem(cbProcessSource, FCache.ProcessSource);
  } else if (tag == 14 || tag == 15) {
    const std::uint8_t v = FCache.AlarmNormallyOpen[static_cast<std::size_t>(tag - 14)];
    rgDnormally[static_cast<std::size_t>(tag - 14)]->SetItemIndex(v <= 1 ? v : -1);
  } else if (tag == 16) {
    rgTempUnit->SetItemIndex(FCache.TempUnitFahrenheit ? 1 : 0);
  } else if (tag == 31) {
    seAddress->setValue(FCache.RS485Addr);
  }
}

void TVererodurDeviceSetupDlg::SetAlarmLimits(int output) {
  const auto o = static_cast<std::size_t>(output);
  const int item = cbDsource[o]->currentIndex();
  const int process = cbProcessSource->currentIndex();
  const std::optional<Planner::TLimits> limits = Planner::AlarmLimits(item, process, FCache);
  // A list without a choice leaves the limits as they are.
  if (!limits) return;
  const bool percent = Planner::PercentSource(item, process);
  seDAlarm[o]->SetMinValue(percent ? limits->min : ToUnit(FFahrenheit, static_cast<float>(limits->min)));
  seDAlarm[o]->SetMaxValue(percent ? limits->max : ToUnit(FFahrenheit, static_cast<float>(limits->max)));
  seDAlarm[o]->SetDecimal(1);
}

void TVererodurDeviceSetupDlg::SetAlarmRanges() {
  SetAlarmLimits(0);
  SetAlarmLimits(1);
  FRangesFahrenheit = FFahrenheit;
}

void TVererodurDeviceSetupDlg::ShowAlarmOutput(int output) {
  LoadingGuard guard(FLoading);
  SetAlarmLimits(output);
  ReloadTag(7 + output);
}

void TVererodurDeviceSetupDlg::SetAlarmIncrement(int output) {
  const auto o = static_cast<std::size_t>(output);
  const double value = seDAlarm[o]->Value();
  const int item = cbDsource[o]->currentIndex();
  const bool percent = Planner::PercentSource(item, cbProcessSource->currentIndex());
  double increment = 0.1;
  if (value >= 1000)
    increment = 1.0;
  else if (!percent && FFahrenheit)
    increment = 0.2;
  seDAlarm[o]->SetIncrement(increment);
}

void TVererodurDeviceSetupDlg::DeviceToControls() {
  if (FBusy || FClosing) return;
  LoadingGuard guard(FLoading);
  const TArgoConfig& c = FCache;
  FFahrenheit = c.TempUnitFahrenheit;
  if (FFahrenheit != FRangesFahrenheit) {
    SetAlarmRanges();
    PlaceUnitLabels();
    for (int tag : {12, 13, 22}) ReloadTag(tag);
    CalibrationPage->SetFahrenheit(FFahrenheit);
    if (ActivePage() == kPageDisplay) LoadDisplayPage();
  }
  if (FOnSettingsChanged) FOnSettingsChanged(this, FFahrenheit);
  for (int tag : {1, 2, 21, 10}) ReloadTag(tag);
  if (!FKeepPostProcMode) PostProcModeFromConfig();
  ReloadTag(11);
  if (!FKeepOutputMode) {
    const std::uint8_t mode = c.AlarmMode[3].OutMode;
    SetComboItem(cbOutputMode4, mode <= 3 ? mode : -1);
    stOutputRemark->setText(QStringLiteral("OUT-mV/mA"));
  }
  ShowAlarmOutput(0);
  ShowAlarmOutput(1);
  // The increments rest, like the output mode, while that combo is held.
  if (!FKeepOutputMode) {
    SetAlarmIncrement(0);
    SetAlarmIncrement(1);
  }
  rgTempUnit->SetItemIndex(FFahrenheit ? 1 : 0);
  ReloadTag(19);
  ReloadTag(20);
  if (!FSequence.Running()) setCursor(Qt::ArrowCursor);
  UpdateEnabledStates();
}

void TVererodurDeviceSetupDlg::PostProcModeFromConfig() {
  LoadingGuard guard(FLoading);
  const TArgoConfig& c = FCache;
  if (c.ProcessSource == 2) {
    ClearAdvancedHoldUnderAttenuation();
    while (cbPostProcMode->count() > PP::AdvPeakHold) cbPostProcMode->removeItem(cbPostProcMode->count() - 1);
  }
  int item = cbPostProcMode->currentIndex();
  if (c.AdvancedHoldMode == 1) {
    item = PP::AdvPeakHold;
  } else if (c.AdvancedHoldMode == 2) {
    item = PP::AdvValleyHold;
  } else if (c.AdvancedHoldMode != 0) {
    item = PP::Off;
  } else if (c.PeakHoldTime > 0) {
    item = PP::PeakHold;
  } else if (c.ValleyHoldTime > 0) {
    item = PP::ValleyHold;
  } else if (FChooseAveragingMode) {
    item = c.AverageTime <= 0 ? PP::Off : PP::Averaging;
    FChooseAveragingMode = false;
  }
  SetComboItem(cbPostProcMode, item);
}

void TVererodurDeviceSetupDlg::ClearAdvancedHoldUnderAttenuation() {
  const std::uint8_t mode = FCache.AdvancedHoldMode;
  if ((mode != 1 && mode != 2) || FClearingAdvHold || !FSetupSession) return;
  // Attenuation has no advanced hold: the stored mode is cleared once, and
  // the values at opening hold it cleared, so Cancel does not bring back a
  // mode the process source cannot have.
  FClearingAdvHold = true;
  FConfigAtOpen.AdvancedHoldMode = 0;
  RunWrites({ArgoSetupWrite::Of(ArgoSetupWrite::AdvancedHoldMode, 0.0f)}, [this](bool) {
    if (FBusy || FClosing) return;
    PostProcModeFromConfig();
    UpdateEnabledStates();
  });
}

void TVererodurDeviceSetupDlg::UpdateEnabledStates() {
  const int m = cbPostProcMode->currentIndex();
  lblEmissivity->setEnabled(eEpsilon->isEnabled());
  const bool avg = m >= 1 && m <= 5;
  const bool hold = m == 2 || m == 3;
  const bool adv = m == 4 || m == 5;
  seAvgTime->setEnabled(avg);
  lblAvgTime->setEnabled(avg);
  cbSmartAveraging->setEnabled(avg);
  seHoldTime->setEnabled(hold);
  lblHoldTime->setEnabled(hold);
  for (QWidget* w : std::initializer_list<QWidget*>{seTreshold, lblThreshold, seHysterese, lblHysterese})
    w->setEnabled(adv);
  const bool smart = cbSmartAveraging->isChecked() && cbSmartAveraging->isEnabled();
  lblSmartThreshold->setEnabled(smart);
  seSmartThreshold->setEnabled(smart);
  for (std::size_t o = 0; o < 2; ++o) {
    const bool alarm = cbDfunction[o]->currentIndex() == 0;
    for (QWidget* w : std::initializer_list<QWidget*>{lblSourceD[o], cbDsource[o], lblValueD[o], seDAlarm[o],
                                                      rgDnormally[o]})
      w->setEnabled(alarm);
  }
  PlaceUnitLabels();
}

void TVererodurDeviceSetupDlg::PlaceUnitLabels() {
  const QString unit = FFahrenheit ? OtherText(QStringLiteral("UnitFahrenheit"), QStringLiteral("°F"))
                                   : OtherText(QStringLiteral("UnitCelsius"), QStringLiteral("°C"));
  const QString text =
      QStringLiteral(" ") + OtherText(QStringLiteral("TempLabelString"), QStringLiteral("[%s]:"))
                                .replace(QStringLiteral("%s"), unit);
  const QString percent = QStringLiteral("[%]");
  const int process = cbProcessSource->currentIndex();
  const struct {
    QLabel* unit;
    QWidget* partner;
    bool percent;
  } pairs[] = {
      {TempLbl0, lblValueD[0], Planner::PercentSource(cbDsource[0]->currentIndex(), process)},
      {TempLbl1, lblValueD[1], Planner::PercentSource(cbDsource[1]->currentIndex(), process)},
      {TempLbl4, lblThreshold, process == 2},
      {TempLbl5, lblHysterese, process == 2},
      {TempLbl11, lblSmartThreshold, process == 2},
  };
  for (const auto& p : pairs) {
    p.unit->setText(p.percent ? percent : text);
    p.unit->setEnabled(p.partner->isEnabled());
  }
  for (QLabel* unit : {TempLbl7, TempLbl8, TempLbl9, TempLbl10}) unit->setText(text);
}

void TVererodurDeviceSetupDlg::AppIdle() {
  if (!FRefreshDue || FBusy || FClosing || !FLoaded || !isVisible() || FSequence.Running() || FPageWork)
    return;
  // A change on its way is written before the controls follow the device again.
  if (WritePending() || FSequence.JobsInFlight() > 0) return;
  if (FDevice && !FDevice->Snapshot().Connected) return;
  FRefreshDue = false;
  RefreshTick();
}

void TVererodurDeviceSetupDlg::RefreshTick() {
  const auto show = [this] {
    if (FBusy || FClosing || !isVisible()) return;
    ++FRefreshCount;
    DeviceToControls();
  };
  FSequence.ReadCache(FSetupSession.get(), FCache, show);
}
