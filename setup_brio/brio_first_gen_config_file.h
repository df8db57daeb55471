#pragma once

#include <QString>
#include <functional>
#include <span>

#include "drivers/brio/brio_image.h"
#include "setup_brio/brio_config_file.h"
#include "setup_common/setup_values.h"

// The first-generation setup dialog's configuration file: its model line,
// its controls in form order, its file names.
class BrioFirstGenConfigFile {
 public:
  struct ControlName {
    const char* Name;
    SetupValueKind Kind;
  };
  // Every control the dialog writes, in form order (material-table edits
  // included; they stay empty and so are left out of the file).
  static std::span<const ControlName> Controls();
  // A registry of Controls() held in `values` (without widgets; `values`
  // must outlive it).
  static BrioControlRegistry ValueRegistry(SetupValues& values);

  // Model "_Device_Model=Brio"; reads check boxes, lists and edits, in file
  // order; `postLoad` is the dialog's field-exit routine plus its change timer.
  static BrioConfigFileProfile Profile(std::function<void()> postLoad = {});

  // "Brio_" + the 24-bit serial number of the calibration image + ".cfg".
  static QString DefaultFileName(const BrioCalibrationImage& calibration);
  // The file dialogs' filters ("All (*.*)" first, the second selected).
  static QStringList NameFilters();
  static QString SelectedNameFilter();
  static QString LoadPattern() { return QStringLiteral("Brio_*.cfg"); }
};
