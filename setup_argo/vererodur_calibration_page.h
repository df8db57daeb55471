#pragma once

#include <QWidget>
#include <functional>

#include "drivers/argo/argo_types.h"
#include "setup_argo/argo_setup_session.h"
#include "setup_argo/ratio_calibration_session.h"

class QGroupBox;
class QLabel;
class TLngINISupp;

// The calibration page of the ratio setup dialog (placeholder).
class TVererodurCalibrationPage : public QWidget {
  Q_OBJECT

 public:
  explicit TVererodurCalibrationPage(QWidget* parent = nullptr);

  void Bind(ArgoSetupSession* session, TLngINISupp* language, int settleMs = RatioCalibrationSession::kSettleMs);
  void SetFirmware(int fwRev);
  void SetCache(const TArgoConfig&) {}
  void SetFahrenheit(bool) {}
  void SetLiveTexts(const QString&, const QString&) {}
  void Lock(bool) {}
  bool Busy() const { return false; }
  void CancelRunning() {}
  std::function<bool(const QString&)> Confirm;
  std::function<void(const QString&)> ShowMessage;

  QGroupBox* gbRatioCali;
  QLabel* pnlFWrev;

 Q_SIGNALS:
  void deviceWorkStarted();
  void deviceWorkFinished(const ArgoSetupSession::TOutcome& outcome);
  void factoryValuesLoaded(const ArgoSetupSession::TOutcome& outcome);
};
