#include "setup_brio/loop_maintenance_dlg_dazo4_20.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>

#include "drivers/brio/pyreon_brio_ma.h"
#include "measurement/brio_ma_family.h"
#include "ui/d_spin_edit.h"
#include "ui/form_registry.h"

TLoopMaintenanceDlgDazo4_20::TLoopMaintenanceDlgDazo4_20(QWidget* owner)
    : TLoopMaintenanceForm(owner, {"LoopMaintenanceDlgDazo4_20",
                                   "Any change of this values sets the mA output to a fixed value.",
                                   "mA out [1/10 mA]:", false, 160}) {
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  seIrOut->SetMinValue(LoopCurrentOutput::kMin);
  seIrOut->SetMaxValue(LoopCurrentOutput::kMax);
  seIrOut->SetValue(LoopCurrentOutput::kStartValue);
  BtnReset->setDefault(true);

  output_.Send = [this](float milliamperes) {
    PostJob([milliamperes](TpyreonBrio_mA& d) { d.SetLoopOutputCurrent(milliamperes); });
  };
  seIrOut->OnChange = [this](QObject*) { seIrOutChange(); };
  connect(BtnReset, &QPushButton::clicked, this, [this] { output_.Reset(); });
  connect(BtnClose, &QPushButton::clicked, this, [this] {
    closeButton_ = true;
    reject();
  });
  connect(Timer1, &QTimer::timeout, this, &TLoopMaintenanceDlgDazo4_20::Timer1Timer);

  FormRegistry::Add(this);
}

TLoopMaintenanceDlgDazo4_20::~TLoopMaintenanceDlgDazo4_20() = default;

void TLoopMaintenanceDlgDazo4_20::SetDevice(DeviceFamily* family) {
  FDevice = dynamic_cast<BrioMaFamily*>(family);
}

void TLoopMaintenanceDlgDazo4_20::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void TLoopMaintenanceDlgDazo4_20::PostJob(std::function<void(TpyreonBrio_mA&)> job) {
  if (FDevice == nullptr) return;
  ++pendingJobs_;
  const QPointer<TLoopMaintenanceDlgDazo4_20> self(this);
  if (!FDevice->PostDriverJob(std::move(job), [self](bool) {
        if (self) --self->pendingJobs_;
      }))
    --pendingJobs_;
}

void TLoopMaintenanceDlgDazo4_20::FormShow() {
  // The start value is shown, never sent: the output stays as it is until
  // the user picks a current.
  closeButton_ = false;
  {
    const LoadingGuard guard(loading_);
    seIrOut->SetValue(output_.Show());
  }
  Mark(false);
  FBusy = false;
  Timer1->start();
}

void TLoopMaintenanceDlgDazo4_20::seIrOutChange() {
  if (loading_ || FBusy) return;
  FBusy = true;
  Mark(!output_.TextChanged(seIrOut->text()));
  FBusy = false;
}

void TLoopMaintenanceDlgDazo4_20::Mark(bool marked) {
  marked_ = marked;
  QPalette palette = seIrOut->palette();
  palette.setColor(QPalette::Text,
                   marked ? QColor(Qt::red) : QApplication::palette(seIrOut).color(QPalette::Text));
  seIrOut->setPalette(palette);
}

void TLoopMaintenanceDlgDazo4_20::Timer1Timer() {
  if (FBusy || pendingJobs_ > 0 || !FOnSettingsChanged) return;
  FBusy = true;
  FOnSettingsChanged(this);
  FBusy = false;
}

void TLoopMaintenanceDlgDazo4_20::done(int result) {
  Timer1->stop();
  FBusy = true;
  // After every current still queued: the output ends in normal operation.
  output_.Close(closeButton_);
  closeButton_ = false;
  QDialog::done(result);
}
