#pragma once

#include "setup_brio/brio_setup_images.h"

class DeviceFamily;

// A Brio setup dialog as the main window drives it: it gets copies of the
// device's images and what else it shows, decodes them into its controls,
// is shown modally and gives the edited images back.
class TBrioSetupDialog {
 public:
  virtual ~TBrioSetupDialog() = default;
  virtual void SetImages(const TBrioSetupImages& images, const TBrioSetupContext& context) = 0;
  // Decodes the images into the controls and sets the control states; may
  // throw on images it cannot decode.
  virtual void ParamsToControls() = 0;
  // The dialog's defaults (after a decoding failure).
  virtual void btnDefaultClick() = 0;
  virtual void SelectFirstPage() = 0;
  // A TModalResult (mrOk: the images are to be written).
  virtual int ShowModal() = 0;
  virtual TBrioSetupImages Images() const = 0;
};

// A Brio loop-maintenance dialog: it drives the device's family while it
// is shown (the device was switched into loop maintenance before).
class TBrioLoopMaintenanceDialog {
 public:
  virtual ~TBrioLoopMaintenanceDialog() = default;
  // The device (null when the dialog has closed).
  virtual void SetDevice(DeviceFamily* family) = 0;
  virtual int ShowModal() = 0;
};
