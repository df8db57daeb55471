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

  // Enters loop maintenance on `family`, shows the dialog with the family
  // and leaves loop maintenance after it closed (also after the dialog
  // threw); `finished` follows once, last. False, with nothing done, when
  // there is no dialog for the code or the family does not fit. `owner`
  // bounds the callbacks' lifetime.
  bool Run(std::uint8_t code, DeviceFamily& family, QObject* owner, std::function<void()> finished);

 private:
  std::array<TBrioLoopMaintenanceDialog*, 4> dialogs_{};
};
