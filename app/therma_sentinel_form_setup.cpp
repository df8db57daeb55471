// The main window's device dialogs: the setup dialog and the loop
// maintenance of the connected device, chosen by its device type code, and
// the callback through which the single-colour dialogs keep the window in
// step with the device while they are open.

#include <QPointer>
#include <QTimer>
#include <memory>

#include "app/device_info_dlg.h"
#include "app/therma_sentinel_form.h"
#include "drivers/argo/pyreon_argo.h"
#include "drivers/device_type.h"
#include "measurement/argo_family.h"
#include "setup_argo/loop_maintenance_dlg.h"
#include "ui/diagram.h"

namespace {

// Device type codes whose setup dialog exists; the others keep the command
// disabled until theirs is built.
constexpr bool HasSetupDialog(std::uint8_t code) { return code == DeviceType::Argo; }
// Device type codes whose loop-maintenance dialog exists.
constexpr bool HasLoopDialog(std::uint8_t code) { return DeviceType::IsSingleColour(code); }

}  // namespace

// While a device dialog is open the window's own device work rests: its
// measurement timers are stopped and its state is "busy". Leaving puts back
// the state and the timers, however the dialog ended (an exception
// included), unless the device was disconnected meanwhile.
class TThermaSentinelForm::DeviceDialogScope {
 public:
  struct Saved {
    std::uint8_t state = csClosed;
    int closeCount = 0;
    bool burstTimer = false;
    bool pollTimer = false;
  };

  // Stops the timers and sets the busy state; returns what Leave restores.
  static Saved Enter(TThermaSentinelForm& form) {
    Saved saved{form.state_, form.closeCount_, form.BurstTimer->isActive(), form.PollTimer->isActive()};
    form.BurstTimer->stop();
    form.PollTimer->stop();
    form.state_ = csBusy;
    form.UpdateState();
    return saved;
  }
  static void Leave(TThermaSentinelForm& form, const Saved& saved) {
    if (form.closed_) return;
    if (form.closeCount_ == saved.closeCount && form.state_ == csBusy) {
      form.state_ = saved.state;
      if (saved.burstTimer) form.BurstTimer->start();
      // A connected device is polled again.
      if (saved.pollTimer || saved.state == csConnected) form.PollTimer->start();
    }
    form.UpdateState();
  }

  // Enters now and leaves when the scope ends.
  explicit DeviceDialogScope(TThermaSentinelForm& form) : form_(form), saved_(Enter(form)) {}
  DeviceDialogScope(TThermaSentinelForm& form, const Saved& saved) : form_(form), saved_(saved) {}
  ~DeviceDialogScope() { Leave(form_, saved_); }
  DeviceDialogScope(const DeviceDialogScope&) = delete;
  DeviceDialogScope& operator=(const DeviceDialogScope&) = delete;

 private:
  TThermaSentinelForm& form_;
  Saved saved_;
};

ArgoFamily* TThermaSentinelForm::Argo() const { return dynamic_cast<ArgoFamily*>(family_.get()); }

bool TThermaSentinelForm::HasDeviceSetupDialog() const {
  return HasSetupDialog(deviceTypeCode_) && Argo() != nullptr;
}

bool TThermaSentinelForm::HasLoopMaintenanceDialog() const {
  return HasLoopDialog(deviceTypeCode_) && Argo() != nullptr && LoopMaintenanceDlg != nullptr;
}

void TThermaSentinelForm::mDeviceSetupClick(QObject*) {
  if (!HasDeviceSetupDialog() || state_ != csConnected) return;
  const DeviceDialogScope scope(*this);
}

void TThermaSentinelForm::mLoopMaintenanceClick(QObject*) {
  if (!HasLoopMaintenanceDialog() || state_ != csConnected) return;
  const DeviceDialogScope scope(*this);
  TLoopMaintenanceDlg& dlg = *LoopMaintenanceDlg;
  dlg.FDevice = Argo();
  dlg.FOnSettingsChanged = [this](QObject* sender, bool fahrenheit) {
    DeviceSettingsChanged(sender, fahrenheit);
  };
  // The dialog keeps no device beyond its show.
  const struct Unbind {
    TLoopMaintenanceDlg& dlg;
    ~Unbind() {
      dlg.FDevice = nullptr;
      dlg.FOnSettingsChanged = nullptr;
    }
  } unbind{dlg};
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
  ArgoFamily* argo = Argo();
  // The dialogs call this every second; one poll at a time.
  if (argo == nullptr || settingsPollBusy_ || !DeviceType::IsSingleColour(deviceTypeCode_)) return;
  const auto shown = [this](int channel) { return graph_[static_cast<std::size_t>(channel)].ShowDigital; };
  const bool ratio = deviceTypeCode_ == DeviceType::ArgoRatio;
  const bool object = shown(ChannelValues::TObj), internal = shown(ChannelValues::TInt),
             box = shown(ChannelValues::TBox), quotient = ratio && shown(ChannelValues::T2C),
             single = ratio && shown(ChannelValues::T1C), tau = ratio && shown(ChannelValues::Tau);
  if (!(object || internal || box || quotient || single || tau)) return;
  // The values reach the panels through the driver's temperature event.
  settingsPollBusy_ = true;
  const QPointer<TThermaSentinelForm> self(this);
  const bool posted = argo->PostDriverJob(
      [=](TpyreonArgo& d) {
        if (object) d.ReadObjectTemperature();
        if (internal) d.ReadInternalTemperature();
        if (box) d.ReadBoxTemperature();
        if (quotient) d.ReadQuotientTemperature();
        if (single) d.ReadSingleTemperature();
        if (tau) d.ReadTau();
      },
      [self](bool) {
        if (self) self->settingsPollBusy_ = false;
      });
  if (!posted) settingsPollBusy_ = false;
}
