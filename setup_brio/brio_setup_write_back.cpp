#include "setup_brio/brio_setup_write_back.h"

#include "drivers/brio/pyreon_brio.h"
#include "drivers/brio/pyreon_brio_ma.h"
#include "drivers/device_type.h"

namespace {

constexpr std::uint16_t kOldLayoutFeature = 0x1000;
constexpr std::uint16_t kNewLayoutFeature = 0x2000;

}  // namespace

TBrioSetupWriteBack::TRoutine TBrioSetupWriteBack::Choose(std::uint8_t code, const TBrioSetupImages& images) {
  switch (code) {
    case DeviceType::Voduz1:
    case DeviceType::Dunav1:
      return TRoutine::Configuration;
    case DeviceType::Brio2W:
    case DeviceType::Duna2Wv1:
    case DeviceType::Fenn2W: {
      const std::uint16_t version = images.CalibrationVersion();
      if (version >= 2000 && (images.FeatureWord & kOldLayoutFeature) != 0)
        return TRoutine::ConfigurationAndCalibration;
      if ((version >= 2000 && version <= 2999) || (images.FeatureWord & kNewLayoutFeature) != 0)
        return TRoutine::ConfigurationAndNewCalibration;
      // Firmware before 2000 without a layout bit holds the old layout; its
      // edits are written in that layout rather than dropped.
      if (version < 2000) return TRoutine::ConfigurationAndCalibration;
      return TRoutine::None;
    }
    case DeviceType::Briov2:
    case DeviceType::Dunav2:
      return TRoutine::Briov2Images;
    case DeviceType::Duna2Wv2:
    case DeviceType::Duna2W2Mv2:
      return images.IsDuna2W2Mv2 ? TRoutine::KoraConfigurationThenCalibration : TRoutine::KoraImages;
    default:
      return TRoutine::None;
  }
}

TBrioSetupImages TBrioSetupWriteBack::Take(const TpyreonBrio& driver) {
  TBrioSetupImages images;
  images.Config = driver.ConfigImage();
  images.Calibration = driver.CalibrationImage();
  return images;
}

TBrioSetupImages TBrioSetupWriteBack::Take(const TpyreonBrio_mA& driver) {
  TBrioSetupImages images;
  images.Config = driver.ConfigImage(1);
  images.Calibration = driver.CalibrationImage(1);
  images.NewCalibration = driver.NewCalibrationImage();
  images.Extended = driver.ExtendedImage();
  images.FeatureWord = driver.FeatureWord();
  images.HasExtendedIdentity = driver.HasExtendedIdentity();
  images.IsHighResolution = driver.IsHighResolution();
  images.IsDuna2W2Mv2 = driver.IsDuna2W2Mv2();
  return images;
}

bool TBrioSetupWriteBack::Write(TpyreonBrio& driver, TRoutine routine, const TBrioSetupImages& images) {
  if (routine != TRoutine::Configuration) return false;
  return driver.WriteConfiguration(images.Config);
}

bool TBrioSetupWriteBack::Write(TpyreonBrio_mA& driver, TRoutine routine, const TBrioSetupImages& images) {
  switch (routine) {
    case TRoutine::ConfigurationAndCalibration:
      return driver.WriteConfigurationAndCalibration(images.Config, images.Calibration);
    case TRoutine::ConfigurationAndNewCalibration:
      return driver.WriteConfigurationAndNewCalibration(images.Config, images.NewCalibration);
    case TRoutine::Briov2Images:
      return driver.WriteBriov2Images(images.Config, images.Extended, images.Calibration);
    case TRoutine::KoraConfigurationThenCalibration:
      return driver.WriteKoraConfiguration(images.Config) &&
             driver.WriteCalibrationImage(images.NewCalibration);
    case TRoutine::KoraImages:
      return driver.WriteKoraImages(images.Config, images.Calibration);
    default:
      return false;
  }
}

QString TBrioSetupWriteBack::ResultKey(bool written) {
  return written ? QStringLiteral("OK!") : QStringLiteral("Failed!");
}
