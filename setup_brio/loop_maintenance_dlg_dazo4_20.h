#pragma once

#include <functional>

#include "setup_brio/brio_setup_dialog.h"
#include "setup_brio/loop_current_output.h"
#include "setup_common/loop_maintenance_form.h"
#include "ui/loading_guard.h"

class BrioMaFamily;
class QLabel;
class QPushButton;
class QTimer;
class TDSpinEdit;
class TpyreonBrio_mA;

// Loop maintenance of the 4-20 mA models (type codes 5 to 7, 10 and 11):
// the output current in tenths of a milliampere, sent at once for every
// valid change (see LoopCurrentOutput), a reset to normal operation that
// keeps the dialog open, and the main window's refresh every second.
// No way of closing the dialog leaves the loop at a test current.
//
// The device work runs as jobs on the device's session, in the order the
// user made it.
class TLoopMaintenanceDlgDazo4_20 : public TLoopMaintenanceForm, public TBrioLoopMaintenanceDialog {
  Q_OBJECT

 public:
  explicit TLoopMaintenanceDlgDazo4_20(QWidget* owner = nullptr);
  ~TLoopMaintenanceDlgDazo4_20() override;

  void SetDevice(DeviceFamily* family) override;
  int ShowModal() override { return exec(); }
  void done(int result) override;

  // Called every second while the dialog is open and none of its own jobs
  // is pending (the main window refreshes its values with its own unit).
  std::function<void(QObject* sender)> FOnSettingsChanged;

  const LoopCurrentOutput& Output() const { return output_; }
  // Whether the edit's text is marked as a current that cannot be sent.
  bool TextMarked() const { return marked_; }


 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FormShow();
  void seIrOutChange();
  void Timer1Timer();
  void Mark(bool marked);
  void PostJob(std::function<void(TpyreonBrio_mA&)> job);

  BrioMaFamily* FDevice = nullptr;
  LoopCurrentOutput output_;
  LoadingFlag loading_;
  bool FBusy = false;
  bool closeButton_ = false;
  bool marked_ = false;
  int pendingJobs_ = 0;
};
