#pragma once

#include <QObject>
#include <array>
#include <cstdint>
#include <functional>

#include "setup_brio/brio_setup_dialog.h"

class DeviceFamily;
class TpyreonBrio;
class TpyreonBrio_mA;

// The loop-maintenance command for the Brio families: the dialog that fits
// the device type code, the step that switches the device into loop
// maintenance before the dialog is shown and the one that brings it back
// to normal operation after it closed:
//   codes 3-4: dialog Brio, enter loop maintenance / power on (configured);
//   codes 5-7 and 10-11: dialog Dazo4_20, no steps;
//   codes 8-9: dialog Briov2, start loop maintenance / power-on handshake.
class TBrioLoopMaintenance {
 public:
  enum class TDialogKind { None, Brio, Dazo4_20, Briov2 };

  static TDialogKind DialogKindOf(std::uint8_t code);

  // The steps of device type `code` (on the device's session thread); a
  // code without the step leaves the device as it is.
  static void Enter(TpyreonBrio& driver, std::uint8_t code);
  static void Enter(TpyreonBrio_mA& driver, std::uint8_t code);
  // True when the device is back in normal operation (or had no step).
  static bool Leave(TpyreonBrio& driver, std::uint8_t code);
  static bool Leave(TpyreonBrio_mA& driver, std::uint8_t code);

  void SetDialog(TDialogKind kind, TBrioLoopMaintenanceDialog* dialog);
  TBrioLoopMaintenanceDialog* DialogFor(std::uint8_t code) const;

  // How long a step's power cycle takes, for its progress (the device is
  // off for 2 s, then takes its first command).
  static constexpr int kStepMs = 2200;
  static constexpr int kProgressTickMs = 100;

  struct THooks {
    // While the enter or leave step runs on the device's session: its
    // progress in percent (1..100) as the power cycle goes on, then 0 when
    // the step has ended. The window keeps painting and takes no input
    // meanwhile.
    std::function<void(int percent)> Progress;
    // Always last, once: the command is over.
    std::function<void()> Finished;
  };

  // Enters loop maintenance on `family`, shows the dialog with the family
  // and leaves loop maintenance after it closed (also after the dialog
  // threw); `hooks.Finished` follows once, last. False, with nothing done,
  // when there is no dialog for the code or the family does not fit.
  // `owner` bounds the callbacks' lifetime.
  bool Run(std::uint8_t code, DeviceFamily& family, QObject* owner, THooks hooks);
  bool Run(std::uint8_t code, DeviceFamily& family, QObject* owner, std::function<void()> finished) {
    THooks hooks;
    hooks.Finished = std::move(finished);
    return Run(code, family, owner, std::move(hooks));
  }

 private:
  std::array<TBrioLoopMaintenanceDialog*, 4> dialogs_{};
};
