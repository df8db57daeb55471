#pragma once

#include <functional>

#include "setup_brio/brio_setup_dialog.h"
#include "setup_common/loop_maintenance_form.h"
#include "ui/loading_guard.h"

class BrioFamily;
class LoopTemperatureOutput;
class QLabel;
class QPushButton;
class QTimer;
class TDSpinEdit;
class TpyreonBrio;

// Loop maintenance of a first-generation Brio device (type codes 3 and 4):
// the device's analog output follows a temperature in tenths of a degree
// Celsius within the output range of its configuration (see
// LoopTemperatureOutput). The main window has put the device into loop
// maintenance before the dialog shows; every way of closing it sends the
// device back to normal mode.
//
// The device work runs as jobs on the device's session in the order the
// user made it; while the configuration is fetched at show the dialog holds
// input off.
class TLoopMaintenanceDlgBrio : public TLoopMaintenanceForm, public TBrioLoopMaintenanceDialog {
  Q_OBJECT

 public:
  explicit TLoopMaintenanceDlgBrio(QWidget* owner = nullptr);
  ~TLoopMaintenanceDlgBrio() override;

  void SetDevice(DeviceFamily* family) override;
  int ShowModal() override { return exec(); }
  void done(int result) override;

  // The main window's refresh of its values. The dialog keeps it but, as
  // its device sits in loop maintenance, does not call it (Timer1 never runs).
  std::function<void(QObject* sender)> FOnSettingsChanged;

  LoopTemperatureOutput& Output() const { return *output_; }
  // True while the dialog waits for its device (input held off).
  bool Loading() const { return jobsAtShow_ > 0; }


 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FormShow();
  void seIrOutChange();
  // Posts a driver job; false when there is no device to run it.
  bool PostJob(std::function<void(TpyreonBrio&)> job, std::function<void()> done = {});
  void SetInputEnabled(bool enabled);

  BrioFamily* FDevice = nullptr;
  LoopTemperatureOutput* output_;
  LoadingFlag loading_;
  int jobsAtShow_ = 0;
};
