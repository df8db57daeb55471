// The main window's device dialogs: the setup dialog and the loop
// maintenance of the connected device, chosen by its device type code, and
// the callback through which the single-colour dialogs keep the window in
// step with the device while they are open.

#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <memory>

#include "app/change_emiss_dlg.h"
#include "app/device_info_dlg.h"
#include "app/therma_sentinel_form.h"
#include "drivers/argo/pyreon_argo.h"
#include "drivers/device_type.h"
#include "measurement/argo_family.h"
#include "platform/scope_exit.h"
#include "setup_argo/argo_device_setup_dlg.h"
#include "setup_argo/loop_maintenance_dlg.h"
#include "setup_argo/vererodur_device_setup_dlg.h"
#include "ui/diagram.h"
#include "ui/lng_ini_supp.h"

namespace {

// Device type codes whose setup dialog exists; the others keep the command
// disabled until theirs is built.
constexpr bool HasSetupDialog(std::uint8_t code) {
  return code == DeviceType::Argo || code == DeviceType::ArgoRatio;
}
// Device type codes whose loop-maintenance dialog exists.
constexpr bool HasLoopDialog(std::uint8_t code) { return DeviceType::IsSingleColour(code); }

}  // namespace

TThermaSentinelForm::DeviceDialogState TThermaSentinelForm::EnterDeviceDialog() {
  const DeviceDialogState saved{state_, closeCount_, BurstTimer->isActive(), PollTimer->isActive()};
  BurstTimer->stop();
  PollTimer->stop();
  state_ = csBusy;
  UpdateState();
  return saved;
}

void TThermaSentinelForm::LeaveDeviceDialog(const DeviceDialogState& saved) {
  if (closed_) return;
  // A device disconnected meanwhile stays disconnected.
  if (closeCount_ == saved.closeCount && state_ == csBusy) {
    state_ = saved.state;
    if (saved.burstTimer) BurstTimer->start();
    // A connected device is polled again.
    if (saved.pollTimer || saved.state == csConnected) PollTimer->start();
  }
  UpdateState();
}

// Leaves the device dialog when it ends, however the dialog ended (an
// exception included).
class TThermaSentinelForm::DeviceDialogScope {
 public:
  DeviceDialogScope(TThermaSentinelForm& form, const DeviceDialogState& saved) : form_(form), saved_(saved) {}
  explicit DeviceDialogScope(TThermaSentinelForm& form) : DeviceDialogScope(form, form.EnterDeviceDialog()) {}
  ~DeviceDialogScope() { form_.LeaveDeviceDialog(saved_); }
  DeviceDialogScope(const DeviceDialogScope&) = delete;
  DeviceDialogScope& operator=(const DeviceDialogScope&) = delete;

 private:
  TThermaSentinelForm& form_;
  const DeviceDialogState saved_;
};

ArgoFamily* TThermaSentinelForm::Argo() const { return dynamic_cast<ArgoFamily*>(family_.get()); }

bool TThermaSentinelForm::HasDeviceSetupDialog() const {
  if (DeviceType::IsBrio(deviceTypeCode_)) return HasBrioDeviceSetupDialog();
  if (!HasSetupDialog(deviceTypeCode_) || Argo() == nullptr) return false;
  return deviceTypeCode_ == DeviceType::ArgoRatio ? VererodurDeviceSetupDlg != nullptr
                                                  : ArgoDeviceSetupDlg != nullptr;
}

bool TThermaSentinelForm::HasLoopMaintenanceDialog() const {
  if (DeviceType::IsBrio(deviceTypeCode_)) return HasBrioLoopMaintenanceDialog();
  return HasLoopDialog(deviceTypeCode_) && Argo() != nullptr && LoopMaintenanceDlg != nullptr;
}

void TThermaSentinelForm::mDeviceSetupClick(QObject*) {
  if (DeviceType::IsBrio(deviceTypeCode_)) {
    RunBrioDeviceSetup();
    return;
  }
  if (!HasDeviceSetupDialog() || state_ != csConnected) return;
  const DeviceDialogState saved = EnterDeviceDialog();
  switch (deviceTypeCode_) {
    case DeviceType::Argo:
    case DeviceType::ArgoRatio:
      RunArgoDeviceSetup(saved);
      return;
    default:
      LeaveDeviceDialog(saved);
  }
}

void TThermaSentinelForm::RunArgoDeviceSetup(const DeviceDialogState& saved) {
  // The dialog shows what the device holds now. The read runs on the
  // device's session; the window keeps painting and shows its progress,
  // its commands held off by the busy state.
  auto read = std::make_shared<bool>(false);
  const QPointer<TThermaSentinelForm> self(this);
  const bool posted = Argo()->PostDriverJob([read](TpyreonArgo& d) { *read = d.ReadAllParameters(false); },
                                            [self, saved, read](bool ran) {
                                              if (!self) return;
                                              if (self->deviceTypeCode_ == DeviceType::ArgoRatio)
                                                self->ShowVererodurDeviceSetup(saved, ran && *read);
                                              else
                                                self->ShowArgoDeviceSetup(saved, ran && *read);
                                            });
  if (!posted) LeaveDeviceDialog(saved);
}

ArgoFamily* TThermaSentinelForm::ArgoSetupDevice(const DeviceDialogState& saved, bool read) {
  // A device that did not answer the read (the driver reported it) or was
  // disconnected meanwhile gets no dialog.
  ArgoFamily* argo = Argo();
  if (!read || closed_ || closeCount_ != saved.closeCount || argo == nullptr) return nullptr;
  const TDeviceSnapshot& device = argo->Snapshot();
  if (device.RangeHi > device.RangeLo) {
    deviceTmin_ = device.RangeLo;
    deviceTmax_ = device.RangeHi;
  }
  Diagram_->SetYRangeMin(deviceTmin_);
  Diagram_->SetYRangeMax(deviceTmax_);
  return argo;
}

// Shows one of the two Argo setup dialogs on `argo`. The page, the rasters
// and the colour are kept whatever the result, and the dialog keeps no
// device beyond its show.
template <class SetupDialog, class StorePage>
void TThermaSentinelForm::ShowArgoSetupDialog(SetupDialog& dlg, ArgoFamily* argo, std::uint8_t page,
                                              StorePage storePage) {
  dlg.SetDevice(argo);
  dlg.FOnSettingsChanged = [this](QObject* sender, bool fahrenheit) {
    DeviceSettingsChanged(sender, fahrenheit);
  };
  dlg.SetActivePage(page);
  dlg.FSlopeRasters = config_->ReadSlopeRaster();
  dlg.FAdjustColor = static_cast<std::uint32_t>(config_->ReadAdjustColor());
  const ScopeExit writeBack([this, &dlg, &storePage] {
    const TConfig::Batch batch(*config_);
    storePage(static_cast<std::uint8_t>(std::clamp(dlg.ActivePage(), 0, 255)));
    config_->WriteSlopeRaster(dlg.FSlopeRasters);
    config_->WriteAdjustColor(static_cast<int>(dlg.FAdjustColor));
    dlg.FOnSettingsChanged = nullptr;
    dlg.SetDevice(nullptr);
  });
  dlg.ShowModal();
}

void TThermaSentinelForm::ShowArgoDeviceSetup(const DeviceDialogState& saved, bool read) {
  const DeviceDialogScope scope(*this, saved);
  SetProgress(0);
  ArgoFamily* argo = ArgoSetupDevice(saved, read);
  if (argo == nullptr) return;
  TArgoDeviceSetupDlg& dlg = *ArgoDeviceSetupDlg;
  dlg.FRangeLow = deviceTmin_;
  dlg.FRangeHigh = deviceTmax_;
  ShowArgoSetupDialog(dlg, argo, config_->ReadArgoDeviceSetupPage(),
                      [this](std::uint8_t page) { config_->WriteArgoDeviceSetupPage(page); });
}

void TThermaSentinelForm::ShowVererodurDeviceSetup(const DeviceDialogState& saved, bool read) {
  const DeviceDialogScope scope(*this, saved);
  SetProgress(0);
  ArgoFamily* argo = ArgoSetupDevice(saved, read);
  if (argo == nullptr) return;
  TVererodurDeviceSetupDlg& dlg = *VererodurDeviceSetupDlg;
  dlg.FSlopeTempMin = deviceTmin_;
  dlg.FSlopeTempMax = deviceTmax_;
  ShowArgoSetupDialog(dlg, argo, config_->ReadVererodurDeviceSetupPage(),
                      [this](std::uint8_t page) { config_->WriteVererodurDeviceSetupPage(page); });
}

void TThermaSentinelForm::mLoopMaintenanceClick(QObject*) {
  if (DeviceType::IsBrio(deviceTypeCode_)) {
    RunBrioLoopMaintenance();
    return;
  }
  if (!HasLoopMaintenanceDialog() || state_ != csConnected) return;
  const DeviceDialogScope scope(*this);
  TLoopMaintenanceDlg& dlg = *LoopMaintenanceDlg;
  dlg.FDevice = Argo();
  dlg.FOnSettingsChanged = [this](QObject* sender, bool fahrenheit) {
    DeviceSettingsChanged(sender, fahrenheit);
  };
  // The dialog keeps no device beyond its show.
  const ScopeExit unbind([&dlg] {
    dlg.FDevice = nullptr;
    dlg.FOnSettingsChanged = nullptr;
  });
  dlg.ShowModal();
}

void TThermaSentinelForm::mEmissivityClick(QObject*) {
  if (ChangeEmissDlg == nullptr || family_ == nullptr || state_ != csConnected ||
      deviceTypeCode_ == DeviceType::ArgoRatio)
    return;
  // The window rests while the dialog works on the device; the dialog gets
  // the object temperature through ShowObjectTemperature.
  const DeviceDialogScope scope(*this);
  Diagram_->SetYRangeMin(deviceTmin_);
  Diagram_->SetYRangeMax(deviceTmax_);
  TChangeEmissDlg& dlg = *ChangeEmissDlg;
  dlg.Device = family_.get();
  dlg.DeviceType = deviceTypeCode_;
  dlg.Fahrenheit = fahrenheit_;
  dlg.TempMin = deviceTmin_;
  dlg.TempMax = deviceTmax_;
  dlg.OnUnitChanged = [this](QObject* sender, bool fahrenheit) { DeviceSettingsChanged(sender, fahrenheit); };
  // The dialog keeps no device beyond its show.
  const ScopeExit unbind([&dlg] {
    dlg.Device = nullptr;
    dlg.OnUnitChanged = nullptr;
  });
  dlg.ShowModal();
}

void TThermaSentinelForm::mDeviceInfoClick(QObject*) {
  if (DeviceInfoDlg == nullptr || family_ == nullptr || state_ != csConnected) return;
  // The window rests while the dialog shows the device.
  const DeviceDialogScope scope(*this);
  const TDeviceSnapshot& c = family_->Snapshot();
  TDeviceInfoDlg& dlg = *DeviceInfoDlg;
  dlg.Fahrenheit = fahrenheit_;
  dlg.DeviceTypeText = deviceTypeLabel_ + QLatin1Char(' ') + c.ModelText;
  dlg.SerialText = QString::number(c.SerialNumber);
  // A device that gives no firmware revision (the first Brio generation)
  // shows none.
  dlg.FirmwareText = c.Firmware > 0
                         ? QString::number(c.Firmware)
                         : LIS_->OtherText(QStringLiteral("FirmwareUnknown"), QStringLiteral("unknown"));
  dlg.RangeLow = deviceTmin_;
  dlg.RangeHigh = deviceTmax_;
  // The ratio model shows the range its driver read, as it is.
  if (deviceTypeCode_ == DeviceType::ArgoRatio) {
    dlg.RangeLow = c.RangeLo;
    dlg.RangeHigh = c.RangeHi;
  }
  Diagram_->SetYRangeMin(dlg.RangeLow);
  Diagram_->SetYRangeMax(dlg.RangeHigh);
  dlg.ShowModal();
}

void TThermaSentinelForm::TakeDeviceUnit(bool fahrenheit) {
  if (fahrenheit == fahrenheit_) return;
  fahrenheit_ = fahrenheit;
  if (DeviceInfoDlg != nullptr && DeviceInfoDlg->isVisible()) DeviceInfoDlg->UnitMessage(fahrenheit_ ? 1 : 0);
  Diagram_->update();
}

void TThermaSentinelForm::DeviceSettingsChanged(QObject*, bool Fahrenheit) {
  TakeDeviceUnit(Fahrenheit);
  const QPointer<TThermaSentinelForm> self(this);
  // A Brio device is asked for all its values at once (they reach the
  // panels through the family's notifications).
  if (family_ != nullptr && DeviceType::IsBrio(deviceTypeCode_)) {
    if (settingsPollConnection_ == closeCount_) return;
    settingsPollConnection_ = closeCount_;
    family_->PollValues([self, connection = closeCount_](const TPollResult&) {
      if (self && self->settingsPollConnection_ == connection) self->settingsPollConnection_ = -1;
    });
    return;
  }
  ArgoFamily* argo = Argo();
  // The dialogs call this every second; one poll at a time (a poll of a
  // connection closed since never reports back).
  if (argo == nullptr || settingsPollConnection_ == closeCount_ ||
      !DeviceType::IsSingleColour(deviceTypeCode_))
    return;
  const auto shown = [this](int channel) { return graph_[static_cast<std::size_t>(channel)].ShowDigital; };
  const bool ratio = deviceTypeCode_ == DeviceType::ArgoRatio;
  const bool object = shown(ChannelValues::TObj), internal = shown(ChannelValues::TInt),
             box = shown(ChannelValues::TBox), quotient = ratio && shown(ChannelValues::T2C),
             single = ratio && shown(ChannelValues::T1C), tau = ratio && shown(ChannelValues::Tau);
  if (!(object || internal || box || quotient || single || tau)) return;
  // The values reach the panels through the driver's temperature event.
  settingsPollConnection_ = closeCount_;
  const bool posted = argo->PostDriverJob(
      [=](TpyreonArgo& d) {
        if (object) d.ReadObjectTemperature();
        if (internal) d.ReadInternalTemperature();
        if (box) d.ReadBoxTemperature();
        if (quotient) d.ReadQuotientTemperature();
        if (single) d.ReadSingleTemperature();
        if (tau) d.ReadTau();
      },
      [self, connection = closeCount_](bool) {
        if (self && self->settingsPollConnection_ == connection) self->settingsPollConnection_ = -1;
      });
  if (!posted) settingsPollConnection_ = -1;
}
