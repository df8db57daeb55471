// The main window's setup and loop-maintenance commands for the Brio
// families: the dialogs come from the dispatchers by device type code; the
// window holds its measurement timers and commands off while a command
// runs and puts them back when it ends (unless the device was reconnected
// meanwhile). While the edited images are written the window takes no
// input; a failed write offers the dialog again on the edited images
// before the device is read afresh.

#include <QAction>
#include <QMessageBox>
#include <QToolBar>

#include "app/therma_sentinel_form.h"
#include "drivers/device_type.h"
#include "measurement/device_family.h"
#include "setup_brio/loop_maintenance_dlg_brio.h"
#include "setup_brio/loop_maintenance_dlg_dazo4_20.h"
#include "ui/lng_ini_supp.h"
#include "ui/panel_status_bar.h"

bool TThermaSentinelForm::HasBrioDeviceSetupDialog() const {
  return DeviceType::IsBrio(deviceTypeCode_) && family_ != nullptr &&
         brioSetup_.DialogFor(deviceTypeCode_) != nullptr;
}

bool TThermaSentinelForm::HasBrioLoopMaintenanceDialog() const {
  return DeviceType::IsBrio(deviceTypeCode_) && family_ != nullptr &&
         brioLoop_.DialogFor(deviceTypeCode_) != nullptr;
}

void TThermaSentinelForm::RunBrioDeviceSetup() {
  if (!HasBrioDeviceSetupDialog() || state_ != csConnected) return;
  const DeviceDialogState saved = EnterDeviceDialog();
  TBrioSetupContext context;
  context.DeviceName = deviceTypeLabel_;
  context.SerialText = BrioSerialText();
  context.Fahrenheit = fahrenheit_;
  context.RangeLow = deviceTmin_;
  context.RangeHigh = deviceTmax_;
  context.SlopeRasters = config_->ReadSlopeRaster();
  context.AdjustColor = static_cast<std::uint32_t>(config_->ReadAdjustColor());
  TBrioSetupDispatch::THooks hooks;
  hooks.HoldInput = [this](bool writing) { HoldBrioWriteInput(writing); };
  hooks.OfferKept = [this](const TBrioSetupDispatch::TKeptImages& kept) { return AskKeptBrioImages(kept); };
  hooks.Written = [this](const QString& key) {
    SetProgress(0);
    SetStatusText(4, StatusBar_->PanelText(4) + LIS_->OtherTextOrKey(key));
    repaint();
  };
  // The device comes back with its new configuration (also after a failed
  // write: it is read afresh).
  hooks.Reconnect = [this] {
    if (closed_) return;
    mDisconnectClick(mDeviceSetup);
    mScanClick(mDeviceSetup);
  };
  hooks.Finished = [this, saved](bool) { LeaveDeviceDialog(saved); };
  if (!brioSetup_.Run(deviceTypeCode_, *family_, context, this, std::move(hooks))) LeaveDeviceDialog(saved);
}

void TThermaSentinelForm::CreateBrioLoopDialogs() {
  using Kind = TBrioLoopMaintenance::TDialogKind;
  // The dialogs refresh the window's values with the window's own unit.
  const auto refresh = [this](QObject* sender) { DeviceSettingsChanged(sender, fahrenheit_); };
  LoopMaintenanceDlgBrio = new TLoopMaintenanceDlgBrio(this);
  LoopMaintenanceDlgBrio->FOnSettingsChanged = refresh;
  brioLoop_.SetDialog(Kind::Brio, LoopMaintenanceDlgBrio);
  LoopMaintenanceDlgDazo4_20 = new TLoopMaintenanceDlgDazo4_20(this);
  LoopMaintenanceDlgDazo4_20->FOnSettingsChanged = refresh;
  brioLoop_.SetDialog(Kind::Dazo4_20, LoopMaintenanceDlgDazo4_20);
}

void TThermaSentinelForm::HoldBrioLoopInput(bool hold) {
  // The status bar stays as it is: it shows the progress.
  if (menuWidget() != nullptr) menuWidget()->setEnabled(!hold);
  if (centralWidget() != nullptr) centralWidget()->setEnabled(!hold);
  for (QToolBar* bar : findChildren<QToolBar*>()) bar->setEnabled(!hold);
}

void TThermaSentinelForm::HoldBrioWriteInput(bool writing) {
  brioWriting_ = writing;
  HoldBrioLoopInput(writing);
  if (writing) SetProgress(0);
}

bool TThermaSentinelForm::AskKeptBrioImages(const TBrioSetupDispatch::TKeptImages& kept) {
  const QString text =
      LIS_->MessageText(QStringLiteral("Brio_ImagesNotWritten"),
                        QStringLiteral("The device may not hold your changes: not written: %s."))
          .replace(QStringLiteral("%s"), TBrioSetupDispatch::NotWrittenText(kept.NotWritten)) +
      QStringLiteral("\n\n") +
      LIS_->MessageText(
          QStringLiteral("Brio_OpenKeptImages"),
          QStringLiteral("Open the device setup again on your changes (OK writes them once more, "
                         "\"Save Config\" keeps them in a file)?"));
  if (OnAskKeptImages) return OnAskKeptImages(text);
  return QMessageBox::question(this, LIS_->OtherTextOrKey(QStringLiteral("Information")), text,
                               QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void TThermaSentinelForm::RunBrioLoopMaintenance() {
  if (!HasBrioLoopMaintenanceDialog() || state_ != csConnected) return;
  const DeviceDialogState saved = EnterDeviceDialog();
  TBrioLoopMaintenance::THooks hooks;
  // The device's power cycles before and after the dialog run on its
  // session; the window paints their progress meanwhile.
  hooks.Progress = [this](int percent) {
    if (closed_) return;
    SetProgress(percent);
    HoldBrioLoopInput(percent > 0);
  };
  hooks.Finished = [this, saved] {
    HoldBrioLoopInput(false);
    LeaveDeviceDialog(saved);
  };
  if (!brioLoop_.Run(deviceTypeCode_, *family_, this, std::move(hooks))) LeaveDeviceDialog(saved);
}
