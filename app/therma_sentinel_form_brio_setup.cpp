// The main window's setup and loop-maintenance commands for the Brio
// families: the dialogs come from the dispatchers by device type code; the
// window holds its measurement timers and commands off while a command
// runs and puts them back when it ends (unless the device was reconnected
// meanwhile). While the edited images are written the window takes no
// input; a failed write offers the dialog again on the edited images
// before the device is read afresh.

#include <QAction>
#include <QMenuBar>
#include <QMessageBox>

#include "app/therma_sentinel_form.h"
#include "drivers/device_type.h"
#include "measurement/device_family.h"
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

void TThermaSentinelForm::HoldBrioWriteInput(bool writing) {
  brioWriting_ = writing;
  if (MainMenu != nullptr) MainMenu->setEnabled(!writing);
  if (centralWidget() != nullptr) centralWidget()->setEnabled(!writing);
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
  if (!brioLoop_.Run(deviceTypeCode_, *family_, this, [this, saved] { LeaveDeviceDialog(saved); }))
    LeaveDeviceDialog(saved);
}
