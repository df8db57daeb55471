#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>

#include "drivers/argo/argo_types.h"
#include "measurement/config.h"
#include "setup_argo/argo_setup_sequence.h"
#include "setup_argo/argo_setup_session.h"
#include "setup_argo/ratio_display_jog.h"
#include "setup_argo/ratio_setup_param_planner.h"
#include "setup_common/setup_change_timer.h"

class ArgoFamily;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTimer;
class QToolButton;
class RadioGroup;
class TDSpinEdit;
class TJogImage;
class TLngINISupp;
class TSequenceProgressRow;
class TVererodurCalibrationPage;
class TVererodurDisplayPage;

// The setup dialog of the ratio model. Its controls show the session's
// snapshot of the driver's cached configuration and follow it about once a
// second while the dialog is idle (never while a change is pending or the
// device does not answer). A typed value is written 2000 ms, a choice of a
// tagged list 500 ms after the last change, or at once when the control is
// left; the other choices at once. Every write is a job on the device's
// session; the control then shows what the device confirmed. Filling the
// controls never writes, apart from clearing an advanced hold mode that the
// attenuation process source does not have.
class TVererodurDeviceSetupDlg : public QDialog {
  Q_OBJECT

 public:
  explicit TVererodurDeviceSetupDlg(QWidget* owner = nullptr);
  ~TVererodurDeviceSetupDlg() override;

  // Binds the dialog to the device (nullptr unbinds).
  void SetDevice(ArgoFamily* device);

  // Called with the device's display unit by every refresh.
  std::function<void(QObject* sender, bool fahrenheit)> FOnSettingsChanged;
  TSlopeRaster FSlopeRasters;          // handed on to the slope dialog and back
  std::uint32_t FAdjustColor = 32768;  // 0x00BBGGRR, as stored
  float FSlopeTempMin = -20.0f;        // measuring range, degrees C
  float FSlopeTempMax = 1000.0f;
  TLngINISupp* FLng = nullptr;
  // The program was started with "/SRVC": the calibration page is offered.
  bool FServiceMode = false;

  int ActivePage() const;
  void SetActivePage(int index);
  int ShowModal() { return exec(); }
  // Every way out stops every timer of the dialog and of its pages, so
  // nothing pending is written later.
  void done(int result) override;

  static constexpr int kEditDelayMs = 2000;
  static constexpr int kChoiceDelayMs = 500;
  static constexpr int kRefreshMs = 1000;
  static constexpr int kLiveMs = 1000;
  static constexpr int kFormShowMs = 100;
  static constexpr int kClientWidth = 566;
  static constexpr int kClientHeight = 460;

  const TArgoConfig& Cache() const { return FCache; }
  const TArgoConfig& ConfigAtOpen() const { return FConfigAtOpen; }
  // From showing until the opening fill is done, and while device work of
  // the dialog or of a page runs.
  bool DeviceWorkPending() const;
  bool WritePending() const;
  int RefreshCount() const { return FRefreshCount; }
  int LiveCount() const { return FLiveCount; }
  std::function<void(const QString& text)> ShowMessage;
  std::function<QString(bool save, const QString& proposed)> ChooseFile;
  std::function<int(QDialog* dialog)> RunSubDialog;

  // --- Controls (named as on the form) ----------------------------------------
  QLabel* stSerial;
  QLabel* stFirmware;
  QTabWidget* VereRodurDeviceSetup_PageControl;
  QWidget* TabSheetOutput;
  QWidget* TabSheetSignal;
  QWidget* TabSheetVisualAlarm;
  QWidget* TabSheetAdvanced;
  QWidget* Kali;
  TVererodurDisplayPage* DisplayPage;
  TVererodurCalibrationPage* CalibrationPage;
  QPushButton* btnOK;
  QPushButton* btnCancel;
  QPushButton* btnSave;
  QPushButton* btnLoad;
  QPushButton* btnDefault;
  QLabel* lblProgress;
  QProgressBar* pbProgress;
  QPushButton* btnStopSequence;
  SetupChangeTimer* ParamChangeTimer;
  QTimer* tiChange;
  QTimer* tiAnzeige;
  QTimer* FormShowTimer;

  // "Output signals"
  QGroupBox* gbOutputChannel1;
  QLabel* lblProcessSource;
  QComboBox* cbProcessSource;
  QGroupBox* gbOutputMode4;
  QLabel* lblOutputMode;
  QComboBox* cbOutputMode4;
  QLabel* lblConnectPin;
  QLabel* stOutputRemark;
  QPushButton* btnAdjustOutputSlope;
  QGroupBox* gbDigitalAlarms;
  std::array<QGroupBox*, 2> gbDAlarm;      // "Alarm 1", "Alarm 2"
  std::array<QLabel*, 2> lblFunctionD;     // lblFunctionD1/2
  std::array<QComboBox*, 2> cbDfunction;   // cbD1function, cbD2function
  std::array<QLabel*, 2> lblSourceD;       // lblSourceD1/2
  std::array<QComboBox*, 2> cbDsource;     // cbDsource1/2
  std::array<QLabel*, 2> lblValueD;        // lblValueD1/2
  std::array<TDSpinEdit*, 2> seDAlarm;     // seDAlarm1/2 (Tags 7/8)
  std::array<RadioGroup*, 2> rgDnormally;  // rgDnormally1/2 (Tags 14/15)
  std::array<QGroupBox*, 2> gbDALActs;     // '"AL1" acts as :'
  std::array<QLabel*, 2> lblDALInOut;      // lblDAL1InOut, lblDAL2InOut

  // "Signal processing"
  QGroupBox* gbEmissivity;
  QLabel* lblEmissivity;
  QLineEdit* eEpsilon;
  TJogImage* imgEpsilon;
  QLabel* lblSlope;
  QLineEdit* eSlope;
  TJogImage* imgSlope;
  QLabel* lblAttMax;
  QLineEdit* eAttMax;
  TJogImage* imgTauMin;
  QLabel* p1Ctemp;
  QLabel* p2Ctemp;
  QGroupBox* gbPostProcessing;
  QLabel* lblPostProcMode;
  QComboBox* cbPostProcMode;
  QLabel* lblAvgTime;
  TDSpinEdit* seAvgTime;
  QLabel* lblHoldTime;
  TDSpinEdit* seHoldTime;
  QLabel* lblThreshold;
  TDSpinEdit* seTreshold;
  QLabel* lblHysterese;
  TDSpinEdit* seHysterese;
  QCheckBox* cbSmartAveraging;
  QLabel* lblSmartThreshold;
  TDSpinEdit* seSmartThreshold;
  QLabel* pnlProcessSource;

  // "Advanced settings"
  QGroupBox* gbAddress;
  QSpinBox* seAddress;
  QLabel* lblAddressRemark;
  QGroupBox* gbUserInterface;
  QToolButton* sbtnPanelLock;
  RadioGroup* rgTempUnit;
  QGroupBox* gbCalibration;
  QLabel* lblGain1C;
  QLineEdit* eGain1C;
  TJogImage* imgGain1C;
  QLabel* lblGain2C;
  QLineEdit* eGain2C;
  TJogImage* imgGain2C;
  QLabel* p1Ctemp2;
  QLabel* p2Ctemp2;

  // Unit labels: TempLbl0 (value of output 1), TempLbl1 (output 2),
  // TempLbl4 (threshold), TempLbl5 (hysteresis), TempLbl11 (smart threshold);
  // TempLbl7..TempLbl10 follow no control and stay hidden.
  QLabel* TempLbl0;
  QLabel* TempLbl1;
  QLabel* TempLbl4;
  QLabel* TempLbl5;
  QLabel* TempLbl7;
  QLabel* TempLbl8;
  QLabel* TempLbl9;
  QLabel* TempLbl10;
  QLabel* TempLbl11;

  // The five jog images in the order of RatioDisplayJog::Image.
  std::array<TJogImage*, RatioDisplayJog::ImageCount> JogImages() const;
  std::array<QLineEdit*, RatioDisplayJog::ImageCount> JogEdits() const;

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void BuildForm();
  QWidget* BuildOutputPage();
  QWidget* BuildSignalPage();
  QWidget* BuildAdvancedPage();
  void WireHandlers();
  QString OtherText(const QString& key, const QString& defaultText) const;
  QString OtherTextOrKey(const QString& key) const;

  // --- Read side -------------------------------------------------------------------
  void FormShow();
  void FormShowTimerTimer();
  // The opening fill; after a file load (reload) the controls show the
  // device's new values and the file's address, after the factory values
  // were read (factory) the values without a page switch.
  void OpeningFill(bool reload, bool factory = false);
  void SetItemTexts();
  void LoadFromConfig();
  void DeviceToControls();
  void PostProcModeFromConfig();
  void ClearAdvancedHoldUnderAttenuation();
  void UpdateEnabledStates();
  void SetAlarmRanges();
  void SetAlarmLimits(int output);
  void PlaceUnitLabels();
  void ShowPanelLock();
  // Limits and cached value of an alarm-value edit.
  void ShowAlarmOutput(int output);
  // The refresh's step of an alarm-value edit: 1.0 from 1000, 0.2 for a
  // temperature in °F, else 0.1.
  void SetAlarmIncrement(int output);
  // The step of an alarm-value edit right after its source changed: 0.1.
  void SetSourceIncrement(int output);
  void AppIdle();
  void RefreshTick();
  void LoadDisplayPage();
  // Shows the cached value of a Tag's control (unless the user's change to
  // it is pending or was not written).
  void ReloadTag(int tag);
  double CachedShown(int tag) const;
  QWidget* ControlForTag(int tag) const;
  bool PercentUnits() const;

  // --- Write side --------------------------------------------------------------------
  void seParamChange(QObject* sender);
  // A threshold-mode control of the display page changed (Tags 25..30).
  void PageTagChange(int tag, QWidget* control);
  void OnElementExit();
  void ParamChangeTimerTimer(int tag);
  void WriteTag(int tag);
  void cbPostProcModeChange();
  void cbSmartAveragingClick();
  void cbOutputMode4Change();
  void DfunctionChange(int output);
  void DsourceChange(int output);
  void sbtnPanelLockClick();
  void btnAdjustOutputSlopeClick();
  void btnSaveClick();
  void btnLoadClick();
  void btnOKClick();
  void btnCancelClick();
  void RunWrites(const ArgoSetupWrites& writes, std::function<void(bool reached)> after = {}, int tag = 0,
                 int waitMs = 0);
  // A sequence (FSequence.Begin) ends with the snapshot of its outcome.
  void EndSequence(const ArgoSetupSession::TOutcome& outcome);
  void PageWorkStarted();
  void PageWorkFinished(const ArgoSetupSession::TOutcome& outcome);
  void ReportNotWritten(const QString& names);
  void Report(const QString& text);
  void SetInputEnabled(bool enabled);
  void StopTimers();
  void CloseLost();

  // --- Live display and jogs ----------------------------------------------------------
  void tiAnzeigeTimer();
  void ShowLive(float single, float quotient);
  void JogPressed(TJogImage* image, QPoint pos);
  void JogMoved(TJogImage* image, QPoint pos);
  void JogReleased(TJogImage* image, QPoint pos);
  void tiChangeTimer();
  void JogWrite(int image, double value);
  int JogIndex(TJogImage* image) const;

  static void SetComboItem(QComboBox* combo, int item);
  QString PickFile(bool save, const QString& proposed);
  int ShowSubDialog(QDialog* dialog);

  ArgoFamily* FDevice = nullptr;
  std::unique_ptr<ArgoSetupSession> FSetupSession;
  RatioSetupParamPlanner FPlanner;
  RatioDisplayJog FJog;
  QElapsedTimer FJogClock;
  TArgoConfig FCache;
  TArgoConfig FConfigAtOpen;
  bool FBusy = true;
  bool FClosing = false;
  bool FLoading = false;
  bool FLoaded = false;
  bool FKeepOutputMode = true;
  bool FKeepPostProcMode = true;
  bool FChooseAveragingMode = true;
  bool FFahrenheit = false;
  bool FRangesFahrenheit = false;
  bool FPageWork = false;
  bool FRefreshDue = false;
  bool FLiveInFlight = false;
  bool FReloadPending = false;  // the next opening fill is a reload
  int FIdleId = 0;
  int FRefreshCount = 0;
  int FLiveCount = 0;
  int FLoadedAddress = 0;          // the device's address at the last fill
  double FPrevAvgTimeShown = 0.0;  // the average time the edit showed last
  int FFileAddress = 0;            // the address of the file loaded last
  bool FClearingAdvHold = false;   // the stored advanced hold was cleared at this opening
  bool FOkAfterPageWork = false;
  std::set<int> FNotWritten;
  QTimer* FRefreshTimer = nullptr;
  TSequenceProgressRow* FProgressRow = nullptr;
  // The jobs in flight and the running sequence.
  ArgoSetupSequence FSequence;
  std::shared_ptr<bool> FAlive;
};
