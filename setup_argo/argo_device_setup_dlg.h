#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>

#include "drivers/argo/argo_types.h"
#include "measurement/config.h"
#include "setup_argo/argo_setup_post_processing.h"
#include "setup_argo/argo_setup_sequence.h"
#include "setup_argo/argo_setup_session.h"
#include "setup_common/setup_change_timer.h"

class ArgoFamily;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTimer;
class QToolButton;
class RadioGroup;
class TDSpinEdit;
class TLngINISupp;
class TMatTableDlg;
class TpyreonArgo;
class TSequenceProgressRow;

// The setup dialog of a single-colour device. Every control shows the
// session's snapshot of the driver's cached configuration; the active page
// follows it while the dialog is open (refreshed when the program is idle,
// at most every kRefreshMs, and only while the device answers). A typed
// number is written kWriteDelayMs after the last change or when the control
// is left, a choice at once; each write runs as a job on the device's
// session and the control then shows what the device confirmed. Loading
// controls from the snapshot never writes.
class TArgoDeviceSetupDlg : public QDialog {
  Q_OBJECT

 public:
  explicit TArgoDeviceSetupDlg(QWidget* owner = nullptr);
  ~TArgoDeviceSetupDlg() override;

  // Binds the dialog to the device.
  void SetDevice(ArgoFamily* device);

  // Raised when the device's settings changed, with the device's display unit.
  std::function<void(QObject* sender, bool fahrenheit)> FOnSettingsChanged;
  TSlopeRaster FSlopeRasters;          // handed on to the slope dialog and back
  std::uint32_t FAdjustColor = 32768;  // 0x00BBGGRR, as stored
  float FRangeLow = -20.0f;            // measuring range, degrees C
  float FRangeHigh = 1000.0f;
  TLngINISupp* FLng = nullptr;  // the program's language component
  // Three change counters, set to 0 by the main window on every connection
  // of a single-colour device.
  int FChangeCount1 = 0;
  int FChangeCount2 = 0;
  int FChangeCount3 = 0;

  // Page index of the page control.
  int ActivePage() const;
  void SetActivePage(int index);
  int ShowModal() { return exec(); }
  // Every way out stops the change timer and the refresh.
  void done(int result) override;

  static constexpr int kWriteDelayMs = 1500;
  static constexpr int kRefreshMs = 250;

  // The snapshot the controls show.
  const TArgoConfig& Cache() const { return FCache; }
  // True from showing until the first snapshot arrived, and while a write
  // or a sequence runs on the session.
  bool DeviceWorkPending() const { return FSequence.JobsInFlight() > 0 || !FLoaded; }
  bool WritePending() const;
  // How many refreshes of the active page ran since the dialog was shown.
  int RefreshCount() const { return FRefreshCount; }
  // Tags of edits the device did not confirm (the control keeps the value).
  const std::set<int>& NotWritten() const { return FNotWritten; }
  // Shows a message to the user (a message box unless replaced, e.g. by tests).
  std::function<void(const QString& text)> ShowMessage;
  // Replaces the file dialogs of Save and Load (tests): the chosen name, or
  // empty when the user cancelled.
  std::function<QString(bool save, const QString& proposed)> ChooseFile;
  // Opens the sub-dialogs modally (tests replace them); the default shows them.
  std::function<int(QDialog* dialog)> RunSubDialog;

  // --- Controls (named as on the form) ----------------------------------------
  QLabel* stSerial;
  QLabel* stFirmware;
  QTabWidget* ArgoDeviceSetup_PageControl;
  QWidget* TabSheetSignal;
  QWidget* TabSheetOutput;
  QWidget* TabSheetAdvanced;
  QPushButton* btnOK;
  QPushButton* btnCancel;
  QPushButton* btnSave;
  QPushButton* btnLoad;
  SetupChangeTimer* ParamChangeTimer;
  QLabel* lblProgress;
  QProgressBar* pbProgress;
  QPushButton* btnStopSequence;

  // "Signal processing"
  QGroupBox* gbEmissivity;
  QComboBox* cbEmissivityMode;
  QLabel* lblEmissivity;
  TDSpinEdit* seEmissivity;
  QLabel* lblTransmissivity;
  TDSpinEdit* seTransmissivity;
  QPushButton* btnEditMatTable;
  QGroupBox* gbAmbient;
  QComboBox* cbAmbientSource;
  QLabel* lblAmbientValue;
  TDSpinEdit* seAmbient;
  QLabel* lblAmbLoRangeTemp;
  TDSpinEdit* seAmbLoRangeTemp;
  QLabel* lblAmbHiRangeTemp;
  TDSpinEdit* seAmbHiRangeTemp;
  QGroupBox* gbPostProcessing;
  QLabel* lblPostProcMode;
  QComboBox* cbPostProcMode;
  QLabel* lblAvgTime;
  TDSpinEdit* seAvgTime;
  QLabel* lblHoldTime;
  TDSpinEdit* seHoldTime;
  QLabel* lblTreshold;
  TDSpinEdit* seTreshold;
  QLabel* lblHysterese;
  TDSpinEdit* seHysterese;
  QCheckBox* cbSmartAveraging;

  // "Output signals"
  QGroupBox* gbOutputChannel1;
  QLabel* lblAlarm4;
  TDSpinEdit* seAlarm4;
  RadioGroup* rgAnalogDigital4;
  RadioGroup* rgNormally4;
  QGroupBox* gbOutputMode4;
  QComboBox* cbOutputMode4;
  QLabel* stOutputRemark;
  QPushButton* btnAdjustOutputSlope;
  QGroupBox* gbOutputChannel2;
  QLabel* lblAlarm3;
  TDSpinEdit* seAlarm3;
  RadioGroup* rgAnalogDigital3;
  RadioGroup* rgNormally3;
  RadioGroup* rgRange3;
  QLabel* lblSource3;
  QComboBox* cbSource3;
  QGroupBox* gbVisualAlarms;
  QGroupBox* gbPresets;
  QPushButton* btnPresetBlue;
  QPushButton* btnPresetStandard;
  QGroupBox* gbAlarm1;
  QLabel* lblAlarm1;
  TDSpinEdit* seAlarm1;
  RadioGroup* rgNormally1;
  QLabel* lblSource1;
  QComboBox* cbSource1;
  QGroupBox* gbAlarm2;
  QLabel* lblAlarm2;
  TDSpinEdit* seAlarm2;
  RadioGroup* rgNormally2;
  QLabel* lblSource2;
  QComboBox* cbSource2;
  QLabel* lblAlHyst;
  TDSpinEdit* seAlHyst;
  QLabel* lblAlHystUnit;
  std::array<QLabel*, 4> lblUsedByMatTable;  // lblUsedByMatTable1 .. 4

  // "Advanced settings"
  QGroupBox* gbHeadParam;
  std::array<QLabel*, 5> stHeadParam;  // stHeadParam1 .. 5
  QPushButton* btnHeadParam;
  QGroupBox* gbAdjustment;
  QLabel* lblOffset;
  TDSpinEdit* seOffset;
  QLabel* lblOffsetUnit;
  QLabel* lblGain;
  TDSpinEdit* seGain;
  QPushButton* btnResetOffsetGain;
  QGroupBox* gbAddress;
  QSpinBox* seAddress;
  QLabel* lblAddressRemark;
  QGroupBox* gbUserInterface;
  QToolButton* sbtnPanelLock;
  RadioGroup* rgTempUnit;

  // Unit labels TempLbl1 .. TempLbl7 and the caption label each belongs to.
  std::array<QLabel*, 7> TempLbl;

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  struct JobResult;

  void BuildForm();
  QWidget* BuildSignalPage();
  QWidget* BuildOutputPage();
  QWidget* BuildAdvancedPage();
  void WireHandlers();
  QString OtherText(const QString& key, const QString& defaultText) const;
  QString OtherTextOrKey(const QString& key) const;

  // --- Read side ---------------------------------------------------------------
  void FormShow();
  void SetItemTexts();
  void LoadFromDevice();
  void DeviceToControls();
  void PostProcModeFromDevice();
  void UpdateEnabledStates();
  void SetTemperatureRanges();
  void PlaceUnitLabels();
  void TabSheetOutputShow();
  void ShowHeadCode();
  void ShowPanelLock();
  void AppIdle();
  void RefreshTick();
  // Loads one spin edit unless the device did not confirm its last write.
  void LoadEdit(TDSpinEdit* edit, double value);
  // The snapshot's value of the edit with `tag`, in the display unit.
  double CachedShown(int tag) const;
  // Reloads the edit of `tag` from the snapshot.
  void ReloadTag(int tag);
  TDSpinEdit* EditForTag(int tag) const;
  void MarkNotWritten(int tag, bool notWritten);

  // --- Write side ---------------------------------------------------------------
  void seParamChange(QObject* sender);
  void seAvgTimeExit();
  void ParamChangeTimerTimer(int tag);
  void WriteTag(int tag);
  void cbEmissivityModeChange();
  void cbAmbientSourceChange();
  void cbSmartAveragingClick();
  void cbPostProcModeChange();
  void AlarmModeChange(int mode);
  void btnPresetClick(bool blue);
  void btnResetOffsetGainClick();
  void sbtnPanelLockClick();
  void btnEditMatTableClick();
  void btnAdjustOutputSlopeClick();
  void btnHeadParamClick();
  void btnOKClick();
  void btnCancelClick();
  void btnSaveClick();
  void btnLoadClick();

  // Writes in order as one job on the device's session; `after` runs with
  // the snapshot updated (false when a write did not reach the device, which
  // is then reported once by name). `tag` names the edit that keeps the
  // user's value when the device did not confirm it.
  void RunWrites(const ArgoSetupWrites& writes, std::function<void(bool reached)> after = {}, int tag = 0,
                 int waitMs = 0);
  // A sequence of writes (FSequence.Begin) holds off input, shows the
  // driver's progress and can be stopped between exchanges; it ends with
  // the snapshot of its outcome.
  void EndSequence(const ArgoSetupSession::TOutcome& outcome);
  void ShowAlarmMode(int mode);
  void Report(const QString& text);
  void ReportNotWritten(const QString& names);
  int ShowSubDialog(QDialog* dialog);
  QString PickFile(bool save, const QString& proposed);
  // Sets a list's item without raising its change event (-1: no selection).
  static void SetComboItem(QComboBox* combo, int item);
  void SetInputEnabled(bool enabled);

  ArgoFamily* FDevice = nullptr;
  TArgoModelInfo FModelInfo;
  TArgoConfig FCache;         // the session's snapshot of the driver's cache
  TArgoConfig FConfigAtOpen;  // for Cancel
  bool FBusy = true;
  bool FClosing = false;
  bool FLoading = false;  // controls are being filled from the snapshot
  bool FKeepOutputMode = true;
  bool FKeepPostProcMode = true;
  bool FReadAvgTimeOnce = true;
  bool FFahrenheit = false;
  bool FRangesFahrenheit = false;
  bool FLoaded = false;
  bool FRefreshDue = false;
  int FIdleId = 0;
  int FRefreshCount = 0;
  std::uint8_t FLoadedAddress = 0;
  std::set<int> FNotWritten;
  QTimer* FRefreshTimer = nullptr;
  ArgoSetupPostProcessing FPostProcessing;  // remembers the times between showings
  std::unique_ptr<ArgoSetupSession> FSetupSession;
  TSequenceProgressRow* FProgressRow = nullptr;
  // The jobs in flight and the running sequence.
  ArgoSetupSequence FSequence;
  std::shared_ptr<bool> FAlive;
  TMatTableDlg* FMatTableDlg = nullptr;
};
