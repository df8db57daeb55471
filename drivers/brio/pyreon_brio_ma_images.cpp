// Parameter images of the second-generation Brio driver: the block reads
// and the Loaded-flag rules.

#include <QThread>
#include <algorithm>

#include "drivers/brio/pyreon_brio_ma.h"

const BrioConfigImage& TpyreonBrio_mA::ConfigImage(int n) const {
  return config_[static_cast<std::size_t>(n >= 1 && n <= 4 ? n - 1 : 0)];
}

const BrioCalibrationImage& TpyreonBrio_mA::CalibrationImage(int n) const {
  return calibration_[static_cast<std::size_t>(n >= 1 && n <= 4 ? n - 1 : 0)];
}

bool TpyreonBrio_mA::ReadImage(const char* command, int timeoutMs, std::uint8_t* data, int length) {
  BrioMaReply reply;
  SendAndReceive(QByteArray(command), timeoutMs, reply, length);
  if (reply.Failed) return false;
  QThread::msleep(10);
  std::copy(reply.Data.begin(), reply.Data.begin() + length, data);
  return true;
}

void TpyreonBrio_mA::PostAllLoadedWhenComplete() {
  if (calibration_[0].Loaded && config_[0].Loaded && vectors_.Loaded && extended_.Loaded) Post(bnAllLoaded);
}

bool TpyreonBrio_mA::ReadConfigurationImage() {
  if (!PortOpen()) {
    config_[0].Loaded = false;
    PostError(brioErrNotOpen);
    return false;
  }
  std::array<std::uint8_t, 128> data{};
  if (!ReadImage("9CONF", 800, data.data(), 128)) {
    for (auto& c : config_) c.Loaded = false;
    return false;
  }
  for (auto& c : config_) c.Data = data;
  WriteLog(QStringLiteral("ReadCOnfigData ok"));
  Post(bnConfigLoaded);
  config_[0].Loaded = true;
  PostAllLoadedWhenComplete();
  Identify();
  return true;
}

bool TpyreonBrio_mA::ReadExtendedImage() {
  if (!PortOpen()) {
    extended_.Loaded = false;
    PostError(brioErrNotOpen);
    return false;
  }
  std::array<std::uint8_t, 256> data{};
  if (!ReadImage("9CON2", 1200, data.data(), 256)) {
    extended_.Loaded = false;
    return false;
  }
  extended_.Data = data;
  WriteLog(QStringLiteral("ReadCOnfigData2 ok"));
  Post(bnExtendedLoaded);
  extended_.Loaded = true;
  PostAllLoadedWhenComplete();
  return true;
}

bool TpyreonBrio_mA::ReadCalibrationImage() {
  if (!PortOpen()) {
    calibration_[0].Loaded = false;
    newCalibration_.Loaded = false;
    PostError(brioErrNotOpen);
    return false;
  }
  std::array<std::uint8_t, 128> data{};
  if (!ReadImage("9CALI", 800, data.data(), 128)) {
    for (auto& c : calibration_) c.Loaded = false;
    newCalibration_.Loaded = false;
    return false;
  }
  newCalibration_.Data = data;
  calibration_[0].Data = data;
  calibration_[1].Data = data;
  calibration_[3].Data = data;
  Post(bnCaliLoaded);
  newCalibration_.Loaded = true;
  calibration_[0].Loaded = true;
  calibration_[1].Loaded = true;
  calibration_[3].Loaded = true;
  calibration_[2] = calibration_[1];
  PostAllLoadedWhenComplete();
  return true;
}

bool TpyreonBrio_mA::ReadVectorImage() {
  if (!PortOpen()) {
    vectors_.Loaded = false;
    PostError(brioErrNotOpen);
    return false;
  }
  std::array<std::uint8_t, 32> data{};
  if (!ReadImage("9INTV", 500, data.data(), 32)) {
    vectors_.Loaded = false;
    return false;
  }
  vectors_.Data = data;
  Post(bnVectorsLoaded);
  vectors_.Loaded = true;
  PostAllLoadedWhenComplete();
  return true;
}

void TpyreonBrio_mA::ReadAllImages() {
  extended_.Loaded = !(IsBriov2() || IsDunav2());
  ReadCalibrationImage();
  ReadConfigurationImage();
  ReadVectorImage();
  if (IsBriov2() || IsDunav2()) ReadExtendedImage();
}
