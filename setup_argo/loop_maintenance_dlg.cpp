#include "setup_argo/loop_maintenance_dlg.h"

#include <QGridLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>
#include <memory>

#include "drivers/argo/pyreon_argo.h"
#include "measurement/argo_family.h"
#include "setup_argo/loop_output_percent.h"
#include "ui/d_spin_edit.h"
#include "ui/form_registry.h"

namespace {

TDSpinEdit* PercentEdit(QWidget* parent, const char* name) {
  auto* edit = new TDSpinEdit(parent);
  edit->setObjectName(QString::fromLatin1(name));
  edit->SetMinValue(0);
  edit->SetMaxValue(100);
  edit->SetIncrement(1);
  edit->SetDecimal(0);
  edit->SetValue(0);
  return edit;
}

}  // namespace

TLoopMaintenanceDlg::TLoopMaintenanceDlg(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("LoopMaintenanceDlg"));
  setWindowTitle(QStringLiteral("Loop maintenance"));

  lblLoopMaintenance = new QLabel(
      QStringLiteral("Any change of this values sets the custom output to a fixed percentage of range."),
      this);
  lblLoopMaintenance->setObjectName(QStringLiteral("lblLoopMaintenance"));
  lblLoopMaintenance->setWordWrap(true);
  lblIrOut = new QLabel(QStringLiteral("IR out [%]:"), this);
  lblIrOut->setObjectName(QStringLiteral("lblIrOut"));
  seIrOut = PercentEdit(this, "seIrOut");
  lblAmbientOut = new QLabel(QStringLiteral("Ambient out [%]:"), this);
  lblAmbientOut->setObjectName(QStringLiteral("lblAmbientOut"));
  seAmbientOut = PercentEdit(this, "seAmbientOut");
  BtnReset = new QPushButton(QStringLiteral("&Reset to normal mode"), this);
  BtnReset->setObjectName(QStringLiteral("BtnReset"));
  BtnReset->setDefault(true);
  BtnClose = new QPushButton(QStringLiteral("&Close and reset to normal mode"), this);
  BtnClose->setObjectName(QStringLiteral("BtnClose"));
  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(1000);

  auto* grid = new QGridLayout;
  grid->addWidget(lblIrOut, 0, 0);
  grid->addWidget(seIrOut, 0, 1);
  grid->addWidget(lblAmbientOut, 1, 0);
  grid->addWidget(seAmbientOut, 1, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lblLoopMaintenance);
  layout->addLayout(grid);
  layout->addWidget(BtnReset);
  layout->addWidget(BtnClose);
  resize(239, 208);

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
