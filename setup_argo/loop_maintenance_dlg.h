#pragma once

#include <functional>

#include "setup_common/loop_maintenance_form.h"

class ArgoFamily;
class QLabel;
class QPushButton;
class QTimer;
class TDSpinEdit;
class TLngINISupp;
class TpyreonArgo;
struct TArgoWriteResult;

// Tests the current loops of a single-colour device: every change of one of
// the two values fixes the device's IR or ambient output at that percentage
// of its range at once, until the outputs are reset to normal operation.
// Every way of leaving the dialog (its buttons, Esc, the close box) resets
// them, so no loop stays at a test value.
//
// All device work runs as jobs on the device's session in the order the
// user made it; while the values are read at show the dialog holds off input.
class TLoopMaintenanceDlg : public TLoopMaintenanceForm {
  Q_OBJECT

 public:
  explicit TLoopMaintenanceDlg(QWidget* owner = nullptr);

  // Set by the main window before each show.
  ArgoFamily* FDevice = nullptr;
  // Called every second while the dialog is open (and nothing of its own
  // runs) with the device's display unit, so the main window can refresh.
  std::function<void(QObject* sender, bool fahrenheit)> FOnSettingsChanged;
  // The program's language component (its captions are applied by name).
  TLngINISupp* FLng = nullptr;

  int ShowModal() { return exec(); }
  void done(int result) override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FormShow();
  // Fixes an output at the edit's value (a typed or stepped change).
  void WritePercent(const TDSpinEdit* edit, TArgoWriteResult (TpyreonArgo::*setter)(int));
  void BtnResetClick();
  void Timer1Timer();
  // Posts a driver job; counts it as pending until it reports back.
  void PostJob(std::function<void(TpyreonArgo&)> job, std::function<void()> done = {});
  void SetInputEnabled(bool enabled);

  bool FBusy = true;
  int pendingJobs_ = 0;
};
