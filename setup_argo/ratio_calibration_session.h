#pragma once

#include <QString>
#include <atomic>
#include <functional>
#include <memory>

#include "setup_argo/argo_setup_session.h"
#include "setup_argo/ratio_calibration_model.h"

// The device work of the ratio dialog's calibration page, each operation
// one job on the device's session (through ArgoSetupSession). Every service
// operation first lets the device settle (twice the live display's period),
// so the live reads before it are over.
//
// - Read: settle, restore the factory values (0x65 0x01 0x7F 0x91), wait
//   250 ms, read the whole configuration (the configuration-loaded event
//   is held off meanwhile), settle. Until the reset is sent, CancelRead
//   ends it with nothing sent; from then on the read runs to its end so the
//   cache matches the device. The outcome's config then holds the factory
//   values (for the opening fill and the grid). Its report holds one item,
//   "ReadAllParameters", confirmed when the whole configuration was read
//   (DeviceLost otherwise).
// - Refill: settle, then the cache (a Read without the factory reset).
// - Write: settle, the checked values in the fixed order (measuring range,
//   fibre, item number, serial number, one-colour offset and gain, quotient
//   offset and gain, deflections), wait 250 ms, settle. A write the device
//   does not confirm ends the sequence; the report lists what was written
//   and what was not attempted. A range rejection by the driver goes on.
// - SaveAsFactoryDefault: settle, store the current values as the factory
//   values (0x65 0x01 0x7F 0x97), wait 250 ms.
class RatioCalibrationSession {
 public:
  using TOutcome = ArgoSetupSession::TOutcome;
  using Done = ArgoSetupSession::Done;

  static constexpr int kSettleMs = 2000;
  static constexpr int kAfterCommandMs = 250;
  static constexpr int kFactoryIndex = 127;
  static constexpr std::uint8_t kRestoreFactory = 145;
  static constexpr std::uint8_t kStoreFactory = 151;

  explicit RatioCalibrationSession(ArgoSetupSession& session, int settleMs = kSettleMs);

  void Read(Done done);
  // Ends a Read that has not sent its reset yet (nothing is sent then).
  void CancelRead();
  void Refill(Done done);
  void Write(const RatioCalibrationModel::TValues& values, Done done);
  void SaveAsFactoryDefault(Done done);

  // The write-all report keys of Write's steps, in order (for tests and
  // the dialog's "not written" list).
  static QStringList WriteKeys();

 private:
  ArgoSetupSession& session_;
  int settleMs_;
  std::shared_ptr<std::atomic<bool>> readCancelled_ = std::make_shared<std::atomic<bool>>(false);
};
