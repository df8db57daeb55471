#include "setup_argo/loop_maintenance_dlg.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <cmath>
#include <memory>

#include "drivers/argo/pyreon_argo.h"
#include "measurement/argo_family.h"
#include "setup_argo/loop_output_percent.h"
#include "ui/d_spin_edit.h"
#include "ui/form_registry.h"

TLoopMaintenanceDlg::TLoopMaintenanceDlg(QWidget* owner)
    : TLoopMaintenanceForm(owner, {"LoopMaintenanceDlg",
                                   "Any change of this values sets the custom output to a fixed percentage of range.",
                                   "IR out [%]:", true, 208}) {
  seIrOut->SetMinValue(0);
  seIrOut->SetMaxValue(100);
  BtnReset->setDefault(true);

  seIrOut->OnChange = [this](QObject*) { WritePercent(seIrOut, &TpyreonArgo::SetIRDacPercent); };
  seAmbientOut->OnChange = [this](QObject*) {
    WritePercent(seAmbientOut, &TpyreonArgo::SetAmbientDacPercent);
  };
  connect(BtnReset, &QPushButton::clicked, this, &TLoopMaintenanceDlg::BtnResetClick);
  // Closing resets the outputs (done() does it for every way out).
  connect(BtnClose, &QPushButton::clicked, this, &QDialog::reject);
  connect(Timer1, &QTimer::timeout, this, &TLoopMaintenanceDlg::Timer1Timer);

  FormRegistry::Add(this);
}

void TLoopMaintenanceDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormShow();
}

void TLoopMaintenanceDlg::SetInputEnabled(bool enabled) {
  seIrOut->setEnabled(enabled);
  seAmbientOut->setEnabled(enabled);
  BtnReset->setEnabled(enabled);
}

void TLoopMaintenanceDlg::PostJob(std::function<void(TpyreonArgo&)> job, std::function<void()> done) {
  if (!FDevice) return;
  ++pendingJobs_;
  const QPointer<TLoopMaintenanceDlg> self(this);
  const bool posted = FDevice->PostDriverJob(std::move(job), [self, done = std::move(done)](bool) {
    if (!self) return;
    --self->pendingJobs_;
    if (done) done();
  });
  if (!posted) {
    --pendingJobs_;
    if (done) done();
  }
}

void TLoopMaintenanceDlg::FormShow() {
  // The values are loaded, not typed: nothing is written for them.
  FBusy = true;
  SetInputEnabled(false);
  auto percents = std::make_shared<std::pair<std::uint8_t, std::uint8_t>>(255, 255);
  const auto load = [this, percents] {
    seIrOut->SetValue(LoopOutputPercent::FromDeviceByte(percents->first));
    seAmbientOut->SetValue(LoopOutputPercent::FromDeviceByte(percents->second));
    FBusy = false;
    SetInputEnabled(true);
    Timer1->start();
  };
  if (!FDevice) {
    load();
    return;
  }
  PostJob(
      [percents](TpyreonArgo& driver) {
        percents->first = driver.GetIRDacPercent();
        percents->second = driver.GetAmbientDacPercent();
      },
      [this, load] {
        if (isVisible()) load();
      });
}

void TLoopMaintenanceDlg::WritePercent(const TDSpinEdit* edit, TArgoWriteResult (TpyreonArgo::*setter)(int)) {
  double value = 0;
  if (FBusy || !edit->TryValue(value) || !LoopOutputPercent::Writable(value)) return;
  const int percent = static_cast<int>(std::lround(value));
  PostJob([percent, setter](TpyreonArgo& driver) { (driver.*setter)(percent); });
}

void TLoopMaintenanceDlg::BtnResetClick() {
  PostJob([](TpyreonArgo& driver) { driver.ResetLoopOutput(); });
}

void TLoopMaintenanceDlg::Timer1Timer() {
  if (FBusy || pendingJobs_ > 0 || !FOnSettingsChanged) return;
  FBusy = true;
  FOnSettingsChanged(this, FDevice && FDevice->Snapshot().Fahrenheit);
  FBusy = false;
}

void TLoopMaintenanceDlg::done(int result) {
  Timer1->stop();
  FBusy = true;
  // After every write still queued, so the outputs end in normal operation.
  PostJob([](TpyreonArgo& driver) { driver.ResetLoopOutput(); });
  QDialog::done(result);
}
