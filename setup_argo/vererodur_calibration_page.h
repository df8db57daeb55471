#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>

#include "drivers/argo/argo_types.h"
#include "setup_argo/argo_setup_session.h"
#include "setup_argo/ratio_calibration_math.h"
#include "setup_argo/ratio_calibration_model.h"
#include "setup_argo/ratio_calibration_session.h"

class CaptionPanel;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class TLngINISupp;

// The calibration page of the ratio setup dialog: the twelve calibration
// values of the device in a name/value grid, the two-point calculation of
// offset and gain for the one-colour and the quotient channel, Read (which
// first restores the device's factory values), Write and "Save as factory
// default". The grid and the calculation groups stay locked until a Read;
// a page change (Lock) and a failed Write lock them again.
//
// Device work runs as jobs on the dialog's ArgoSetupSession and never
// blocks the window: deviceWorkStarted and deviceWorkFinished frame every
// job, so the dialog can show progress and hold off input meanwhile. Every
// value is checked against its register before Write sends the first one.
class TVererodurCalibrationPage : public QWidget {
  Q_OBJECT

 public:
  explicit TVererodurCalibrationPage(QWidget* parent = nullptr);
  ~TVererodurCalibrationPage() override;

  // The session the page's device work runs on and the language texts are
  // read through; nullptr unbinds (a running job's end is then ignored).
  // `settleMs` is the wait before every service operation.
  void Bind(ArgoSetupSession* session, TLngINISupp* language, int settleMs = RatioCalibrationSession::kSettleMs);
  // The group shows with firmware 5016 or later, the update panel otherwise.
  void SetFirmware(int fwRev);
  // The driver's cache (for Reset); the grid shows it while it is locked.
  void SetCache(const TArgoConfig& cache);
  // The temperatures of the calculation are typed in °F: they are taken
  // to °C before the calculation.
  void SetFahrenheit(bool fahrenheit);
  // The live values of the two channels, as the dialog's live display shows them.
  void SetLiveTexts(const QString& oneColour, const QString& twoColour);
  // Locked: the grid, the calculation groups, Write and "Save as factory
  // default" are disabled (until the next Read); false unlocks them.
  void Lock(bool locked);
  bool Locked() const { return model_->Locked(); }
  // A device job of the page is queued or running.
  bool Busy() const { return running_ != Job::None; }
  // Ends a Read that has not sent its factory reset yet (nothing is sent
  // then), and stops a running Write or store between exchanges.
  void CancelRunning();

  // The yes/no question of Read (a message box unless replaced).
  std::function<bool(const QString& text)> Confirm;
  // Errors and information (a message box unless replaced).
  std::function<void(const QString& text)> ShowMessage;

  RatioCalibrationModel& Model() { return *model_; }
  const TArgoConfig& Cache() const { return cache_; }

  // --- Controls (named as on the form) --------------------------------------
  QGroupBox* gbRatioCali;
  CaptionPanel* pnlFWrev;
  QTableView* vleRatioCali;
  QGroupBox* gb1Ccali;
  QLabel* lblIst1C1;
  QLineEdit* eIst1C1;
  QLabel* lblSoll1C1;
  QLineEdit* eSoll1C1;
  QLabel* lblIst1C2;
  QLineEdit* eIst1C2;
  QLabel* lblSoll1C2;
  QLineEdit* eSoll1C2;
  QPushButton* btnCalc1C;
  QPushButton* btnReset1C;
  QGroupBox* gb2Ccali;
  QLabel* lblIst2C1;
  QLineEdit* eIst2C1;
  QLabel* lblSoll2C1;
  QLineEdit* eSoll2C1;
  QLabel* lblIst2C2;
  QLineEdit* eIst2C2;
  QLabel* lblSoll2C2;
  QLineEdit* eSoll2C2;
  QPushButton* btnCalc2C;
  QPushButton* btnReset2C;
  QGroupBox* pnlCurrentTemps;
  QLabel* lbl1CtempCali;
  QLabel* p1CtempCali;
  QLabel* TempLbl2;
  QLabel* lbl2CtempCali;
  QLabel* p2CtempCali;
  QLabel* TempLbl3;
  QPushButton* btnReadCali;
  QPushButton* btnWriteCali;
  QPushButton* btnSetFactDefault;
  QPushButton* btnFactDefault;

 public Q_SLOTS:
  // Read: with `ask`, the question first and then the factory reset; without
  // it only the refill of the grid from the cache.
  void btnReadCaliClick(bool ask = true);
  void btnWriteCaliClick();
  void btnFactDefaultClick();
  void btnSetFactDefaultClick();
  void btnCalc1CClick();
  void btnCalc2CClick();
  void btnReset1CClick();
  void btnReset2CClick();
  void p1CtempCaliClick();
  void p2CtempCaliClick();
  void gb1CcaliClick();

 Q_SIGNALS:
  void deviceWorkStarted();
  void deviceWorkFinished(const ArgoSetupSession::TOutcome& outcome);
  // After the factory reset was read back: the dialog fills its controls
  // from outcome.config (and takes it as the configuration Cancel restores).
  void factoryValuesLoaded(const ArgoSetupSession::TOutcome& outcome);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  enum class Job { None, Read, Refill, Write, Store };
  struct TGroup {
    RatioCalibrationModel::Channel channel;
    QLineEdit* fields[RatioCalibrationMath::FieldCount];
    QPushButton* calc;
  };

  void BuildControls();
  void UpdateEnabled();
  bool Start(Job job);
  void Finish(const ArgoSetupSession::TOutcome& outcome);
  // The end of a job, dropped when the page is gone or bound anew.
  ArgoSetupSession::Done Guarded(void (TVererodurCalibrationPage::*handler)(const ArgoSetupSession::TOutcome&));
  void ReadDone(const ArgoSetupSession::TOutcome& outcome);
  void RefillDone(const ArgoSetupSession::TOutcome& outcome);
  void WriteDone(const ArgoSetupSession::TOutcome& outcome);
  void StoreDone(const ArgoSetupSession::TOutcome& outcome);
  void Calculate(const TGroup& group);
  void CopyLive(const TGroup& group, const QString& live);
  TGroup Group(RatioCalibrationModel::Channel channel) const;
  void FocusGridRow(int row);
  void ConversionError(QWidget* focus);
  void Report(const QString& text);
  QString MessageText(const QString& key, const QString& defaultText) const;
  QString OtherText(const QString& key, const QString& defaultText) const;
  bool CalibrationAvailable() const { return fwRev_ >= 5016; }

  RatioCalibrationModel* model_;
  QPointer<TLngINISupp> lng_;
  ArgoSetupSession* session_ = nullptr;
  std::unique_ptr<RatioCalibrationSession> calibration_;
  // Ends of jobs started under an earlier binding are ignored.
  std::shared_ptr<int> binding_ = std::make_shared<int>(0);
  TArgoConfig cache_;
  int fwRev_ = 0;
  bool fahrenheit_ = false;
  // Write is possible: after a Read, and again after a Write the device
  // stopped confirming (the grid then stays locked with the values typed).
  bool writeEnabled_ = false;
  Job running_ = Job::None;
};
