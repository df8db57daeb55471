#pragma once

#include <QString>
#include <cstdint>

#include "setup_brio/brio_setup_images.h"

class TpyreonBrio;
class TpyreonBrio_mA;

// What the main window writes to a Brio device after its setup dialog
// closed with OK: the driver routine chosen by the device type code and the
// images the dialog gave back, its run on the device's driver, and the
// status text that reports the result. Also the copy of the driver's
// images the dialog starts from.
class TBrioSetupWriteBack {
 public:
  enum class TRoutine {
    None,                              // nothing applies: nothing is written
    Configuration,                     // first generation: the configuration
    ConfigurationAndCalibration,       // 4-20 mA, old calibration layout
    ConfigurationAndNewCalibration,    // 4-20 mA, new calibration layout
    Briov2Images,                      // user, table and factory images
    KoraConfigurationThenCalibration,  // Kora, new layout: configuration, then the calibration
    KoraImages,                        // Kora, old layout: configuration and calibration
  };

  // The routine for device type `code` and the images the dialog gave back.
  // The 4-20 mA models write the calibration layout their dialog edits: the
  // old one when the calibration version is below 2000 or the feature word
  // has bit 0x1000, else the new one when the version is 2000..2999 or the
  // feature word has bit 0x2000, else none (TRoutine::None).
  static TRoutine Choose(std::uint8_t code, const TBrioSetupImages& images);

  // The driver's images, as the dialog of device type `code` starts from
  // them (on the device's session thread).
  static TBrioSetupImages Take(const TpyreonBrio& driver);
  static TBrioSetupImages Take(const TpyreonBrio_mA& driver);

  // Runs `routine` on the driver (on the device's session thread); true
  // when every write it makes succeeded. TRoutine::None, or a routine of the
  // other generation, writes nothing and gives false.
  static bool Write(TpyreonBrio& driver, TRoutine routine, const TBrioSetupImages& images);
  static bool Write(TpyreonBrio_mA& driver, TRoutine routine, const TBrioSetupImages& images);

  // The key of the text appended to the status text: "OK!" when the write
  // succeeded, "Failed!" otherwise (nothing written counts as failed: the
  // user's changes did not reach the device).
  static QString ResultKey(bool written);
};
