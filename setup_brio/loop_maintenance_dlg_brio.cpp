#include "setup_brio/loop_maintenance_dlg_brio.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <memory>

#include "drivers/brio/pyreon_brio.h"
#include "measurement/brio_family.h"
#include "platform/number_text.h"
#include "setup_brio/loop_temperature_output.h"
#include "ui/d_spin_edit.h"
#include "ui/form_registry.h"

TLoopMaintenanceDlgBrio::TLoopMaintenanceDlgBrio(QWidget* owner)
    : TLoopMaintenanceForm(owner, {"LoopMaintenanceDlgBrio",
                                   "Any change of this values sets the custom output to a fixed percentage of range.",
                                   "mV out [1/10°C]:", true, 180}),
      output_(new LoopTemperatureOutput(this)) {
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  seIrOut->SetMinValue(LoopTemperatureOutput::kDesignMin);
  seIrOut->SetMaxValue(LoopTemperatureOutput::kDesignMax);
  // This model has one output: the ambient row and the reset stay hidden.
  for (QWidget* w : {static_cast<QWidget*>(lblAmbientOut), static_cast<QWidget*>(seAmbientOut),
                     static_cast<QWidget*>(BtnReset)}) {
    w->setVisible(false);
    w->setEnabled(false);
  }

  output_->Send = [this](float celsius) {
    PostJob([celsius](TpyreonBrio& d) { d.SetLoopOutputTemperature(celsius); });
  };
  seIrOut->OnChange = [this](QObject*) { seIrOutChange(); };
  // done() leaves loop maintenance for every way out.
  connect(BtnClose, &QPushButton::clicked, this, &QDialog::reject);

  FormRegistry::Add(this);
}

TLoopMaintenanceDlgBrio::~TLoopMaintenanceDlgBrio() = default;

void TLoopMaintenanceDlgBrio::SetDevice(DeviceFamily* family) { FDevice = dynamic_cast<BrioFamily*>(family); }

void TLoopMaintenanceDlgBrio::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void TLoopMaintenanceDlgBrio::SetInputEnabled(bool enabled) { seIrOut->setEnabled(enabled); }

bool TLoopMaintenanceDlgBrio::PostJob(std::function<void(TpyreonBrio&)> job, std::function<void()> done) {
  if (FDevice == nullptr) return false;
  const QPointer<TLoopMaintenanceDlgBrio> self(this);
  return FDevice->PostDriverJob(std::move(job), [self, done = std::move(done)](bool) {
    if (self && done) done();
  });
}

void TLoopMaintenanceDlgBrio::FormShow() {
  // The range comes from the configuration the driver holds; the edit
  // takes no input until it is there.
  auto config = std::make_shared<BrioConfigImage>();
  const auto load = [this, config] {
    if (jobsAtShow_ > 0) --jobsAtShow_;
    if (!isVisible()) return;
    const LoopTemperatureOutput::TRange range = LoopTemperatureOutput::RangeOf(config->Data, config->Loaded);
    {
      const LoadingGuard guard(loading_);
      seIrOut->SetMinValue(range.Min);
      seIrOut->SetMaxValue(range.Max);
      seIrOut->SetValue(output_->Show(range));
    }
    SetInputEnabled(true);
  };
  SetInputEnabled(false);
  ++jobsAtShow_;
  if (!PostJob([config](TpyreonBrio& d) { *config = d.ConfigImage(); }, load)) load();
}

void TLoopMaintenanceDlgBrio::seIrOutChange() {
  if (loading_) return;
  double value = 0.0;
  const bool valid = seIrOut->TryValue(value);
  output_->ValueChanged(valid ? static_cast<int>(NumberText::Round(seIrOut->CheckValue(value))) : 0, valid);
}

void TLoopMaintenanceDlgBrio::done(int result) {
  Timer1->stop();
  output_->Close();
  // After every output still queued, so the device ends in normal mode.
  PostJob([](TpyreonBrio& d) { d.LeaveLoopMaintenance(); });
  QDialog::done(result);
}
