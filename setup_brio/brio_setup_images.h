#pragma once

#include <QString>
#include <cstdint>

#include "drivers/brio/brio_image.h"
#include "measurement/config.h"

// The parameter images a Brio setup dialog edits, as the device's driver
// holds them, with the driver facts the dialog and the write-back need.
// Which images a model uses:
//  - first generation (codes 3-4): Config (and Calibration, shown only);
//  - 4-20 mA models (codes 5-7): Config, Calibration (old layout) and
//    NewCalibration (new layout);
//  - Briov2 models (codes 8-9): Config (user image), Extended (table image)
//    and Calibration (factory image);
//  - Kora models (codes 10-11): Config, Calibration and NewCalibration.
struct TBrioSetupImages {
  BrioConfigImage Config;
  BrioCalibrationImage Calibration;
  BrioCalibrationImage NewCalibration;
  BrioExtendedImage Extended;
  // Second generation: the identification's feature word and the facts the
  // dialogs take from it.
  std::uint16_t FeatureWord = 0;
  bool HasExtendedIdentity = false;
  bool IsHighResolution = false;
  bool IsDuna2W2Mv2 = false;

  // The calibration version word (the first word of the old-layout image).
  std::uint16_t CalibrationVersion() const { return Calibration.WordAt(0); }
};

// What else the main window hands a Brio setup dialog.
struct TBrioSetupContext {
  std::uint8_t DeviceType = 0;
  QString DeviceName;
  QString SerialText;
  bool Fahrenheit = false;
  float RangeLow = -20.0f;
  float RangeHigh = 1000.0f;
  // Codes 8-11: the slope diagrams' rasters and colour from the settings.
  TSlopeRaster SlopeRasters;
  std::uint32_t AdjustColor = 32768;
};
