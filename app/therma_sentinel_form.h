#pragma once

#include <QDateTime>
#include <QMainWindow>
#include <QSet>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/brio_loop_maintenance.h"
#include "app/brio_setup_dispatch.h"
#include "app/command_line.h"
#include "app/value_panels.h"
#include "measurement/channel_values.h"
#include "measurement/config.h"
#include "measurement/device_family.h"
#include "measurement/display_value_encoding.h"
#include "measurement/float_ring_buffer.h"
#include "measurement/live_timeline.h"
#include "ui/graph_properties.h"

class QAction;
class QFile;
class QFrame;
class QGroupBox;
class QLabel;
class QMenu;
class QProgressBar;
class QSplitter;
class QTimer;
class QToolButton;
class QListWidget;
class QTextEdit;
class PanelStatusBar;
class TDiagram;
class TForm1;
class TLngINISupp;
class TfParamShow;
class TDeviceInfoDlg;
class TLoopMaintenanceDlg;
class TLoopMaintenanceDlgBrio;
class TLoopMaintenanceDlgDazo4_20;
class TArgoDeviceSetupDlg;
class TVererodurDeviceSetupDlg;
class ArgoFamily;
class TInterfaceDlg;
class TScanDeviceDlg;
class TBrioDeviceSetupDLg;
class TDisplayLink;
class TSetDefaultSettingsDlg;
class TViewSettingsDlg;
struct TViewSettings;
class TOptionsDlg;
class TMeasurementSettingsDlg;
class TChangeEmissDlg;

// The connection state of the main window.
enum TConnectionState : std::uint8_t {
  csDenied = 0,
  csClosed = 1,
  csWaiting = 2,
  csOpened = 3,
  csUnknownDevice = 4,
  csConnected = 5,
  csBusy = 6,
  csMeasuring = 7,
  csRecording = 8,
};

// The main window of ThermaSentinel: start-up and shutdown, the device
// connection and its state, the live measurement loop, the value panels,
// the chart and its commands, the measurement data file.
//
// Devices are driven through the family interface (DeviceFamily), each on
// its own device thread: the single-colour family and both Brio generations
// (the window's Brio handlers are in therma_sentinel_form_brio.cpp). The
// Brio setup and loop-maintenance dialogs attach through BrioSetup() and
// BrioLoopMaintenance(); a device type without its dialog keeps the command
// disabled.
class TThermaSentinelForm : public QMainWindow {
  Q_OBJECT

 public:
  // `arguments` as QCoreApplication::arguments() gives them (program first).
  // The constructor runs FormCreate; with StopFlag set it has shown the
  // command-line help and the caller ends the program.
  explicit TThermaSentinelForm(const QStringList& arguments, const QString& versionText = QString(),
                               QWidget* parent = nullptr);
  ~TThermaSentinelForm() override;

  // ---- start-up and shutdown fields ----
  bool StopFlag() const { return stopFlag_; }
  const QString& InstanceName() const { return instanceName_; }
  const QString& ProductString() const { return productString_; }
  const QString& CompanyString() const { return companyString_; }
  const QString& CopyRight() const { return copyRight_; }
  TConfig* Config() const { return config_.get(); }
  bool Started() const { return started_; }
  std::uint8_t State() const { return state_; }
  std::uint8_t MeasureMode() const { return measureMode_; }
  std::uint8_t DeviceTypeCode() const { return deviceTypeCode_; }
  const QString& DeviceTypeLabel() const { return deviceTypeLabel_; }
  bool Fahrenheit() const { return fahrenheit_; }
  const TOptions& Options() const { return options_; }
  bool UnsavedData() const { return unsavedData_; }
  void SetUnsavedData(bool value) { unsavedData_ = value; }
  int ErrorCount() const { return errorCount_; }
  bool RewritePending() const { return rewritePending_; }
  bool StopRequested() const { return stopRequested_; }
  // Brio: notifications of the second generation received, configuration
  // rewrites finished.
  int BrioNotifications() const { return brioNotifications_; }
  int RewritesDone() const { return rewritesDone_; }
  // The longest a close waits for a running Brio measurement to stop (the
  // device restarts, is read and gets its configuration back).
  static constexpr int kBrioStopDeadlineMs = 45000;
  // The pause of a disconnected Brio device before the close goes on.
  static constexpr int kBrioDisconnectPauseMs = 500;
  int RecordCount() const { return static_cast<int>(timeline_.Records()); }
  // Chart samples added since the start of the current measurement.
  std::int64_t SampleCount() const { return sampleCount_; }
  const TChannelValues& CurrentValues() const { return values_; }
  // The value the external displays of DisplayKind 1..11 are given.
  TDisplayValueMessage DisplayValue(int kind) const { return ValuePanels.DisplayValue(kind); }
  const std::array<TGraphProperties, 11>& Graph() const { return graph_; }
  int StartupTimerInterval() const { return startupInterval_; }
  float InitialTime() const { return initialTime_; }

  // The connected device's family (null before the first connection and
  // after close).
  DeviceFamily* Family() const { return family_.get(); }
  TDiagram* Diagram() const { return Diagram_; }
  TLngINISupp* LIS() const { return LIS_; }
  PanelStatusBar* StatusBar() const { return StatusBar_; }

  // Versions of the program.
  static QString GetVersionText(const QString& version);
  static QString GetVersionFlagsText(bool hasVersionInfo, std::uint32_t flags);
  float ParseFloat(const QString& S) const;
  bool CanUseFastBurst() const;

  // ---- commands (menu items and tool buttons) ----
  void mScanClick(QObject* Sender);
  void mInterfaceClick(QObject* Sender);
  void mDisconnectClick(QObject* Sender);
  void mLASERClick(QObject* Sender);
  void mStartClick(QObject* Sender);
  void mStopClick(QObject* Sender);
  void btnPauseClick(QObject* Sender);
  // Returns true when the data were written.
  bool mSaveClick(QObject* Sender);
  void mOpenClick(QObject* Sender);
  void mDeviceInfoClick(QObject* Sender);
  void mAboutClick(QObject* Sender);
  void mSetDefaultSettingsClick(QObject* Sender);
  // The settings dialogs (therma_sentinel_form_settings.cpp): each stores
  // what OK gives and applies it at once.
  void mViewSettingsClick(QObject* Sender);
  // The same dialog for the chart: every row editable, the time window the
  // chart shows offered, the chart's range following the device's.
  void mDiagramSettingsClick(QObject* Sender);
  void mOptionsClick(QObject* Sender);
  void mMeasurementSettingsClick(QObject* Sender);

  // ---- device setup and loop maintenance (therma_sentinel_form_setup.cpp) ----
  // The setup and loop-maintenance dialogs go by the device type code.
  void mDeviceSetupClick(QObject* Sender);
  void mLoopMaintenanceClick(QObject* Sender);
  // The emissivity dialog of the connected device (every family).
  void mEmissivityClick(QObject* Sender);
  bool HasDeviceSetupDialog() const;
  bool HasLoopMaintenanceDialog() const;
  // The Brio families' setup and loop-maintenance dialogs, by kind (a kind
  // without its dialog keeps its command disabled).
  TBrioSetupDispatch& BrioSetup() { return brioSetup_; }
  TBrioLoopMaintenance& BrioLoopMaintenance() { return brioLoop_; }
  // The single-colour dialogs' callback after device changes: takes a
  // changed display unit and polls the values of the shown panels.
  void DeviceSettingsChanged(QObject* Sender, bool Fahrenheit);

  // ---- state ----
  void UpdateState();
  void ApplyChartSettings();
  void PrepareChart();
  void ArrangePanels();
  void pnlControlResize();
  void pnlGlowReadout2Resize();
  void LISLanguageChange();

  // ---- measurement data file ----
  bool WriteDataFile(const QString& fileName);
  bool ReadDataFile(const QString& fileName);
  // Tells the user (queued, after start-up) of `notice` and of a settings
  // file that cannot be used, and later of a failing settings write.
  void ReportSettingsProblems(const QString& notice);
  // language.xml could not be written to `folder` (nor to the per-user
  // folder): the user is told once the event loop runs.
  void ReportLanguageExportFailed(const QString& folder);
  bool AskSaveUnsavedData();
  // The save "ForceSaving" asks for when a measurement stops. Inside a burst
  // batch it waits until the batch is done (the device is stopped by then);
  // a save that fails or is cancelled makes the close ask about the data.
  void ForceSave();

  // ---- the live loop (public for tests) ----
  void NewBurstEvent();
  bool NewBurstData(double& Time, double& Cycle);
  // A poll-mode chart sample for a reading that arrived at `readingTime`
  // (seconds, steady clock).
  void NewPollEvent(double readingTime);
  void UpdateDiagram(double Cycle, double Time);
  // Shows the newest burst values and the status-bar figures now if they
  // wait; the live loop refreshes them at a bounded rate.
  void ShowLiveTexts();
  void PollTimerTimer();
  // Values the device read on request (every family, every source but the
  // burst): the current values, the panels, the displays, the emissivity
  // dialog and in poll mode the chart.
  void TakeReading(const TChannelSample& reading);
  void DiagramBufferFull(QObject* Sender);

  // Self-posted messages.
  void MsgStartup();
  void MsgStopRequest();
  void MsgDisconnectRequest();
  void MsgScanRequest();
  void MsgStartRequest();

  // SIGTERM / SIGINT: unsaved measurement data are saved into the data
  // folder under a timestamped name (no question, no box), then the window
  // closes whatever box is open. Returns the file written (empty: none).
  QString TerminateBySignal();

  // ---- external displays (therma_sentinel_form_displays.cpp) ----
  TDisplayLink* DisplayLinks() const { return displayLink_; }
  // Sends the popup captions and the decimal separator to every display.
  void SendDisplayTexts();
  // Opens a display for the value panel `Sender` (a group box or its label).
  void gbTAmbDblClick(QObject* Sender);
  // The n-th item of either external-display submenu opens a display for
  // the n-th panel of gbTObj, gbTInt, gbTAct, gbTBox, gbTSingle, gbTQuot,
  // gbTau, gbmVin, gbEps, gbTAmb, gbVcc.
  void mExtTargetClick(int index);
  // Hides the main window while displays run.
  void mInvisibleClick();
  // The external-display items take their panels' captions.
  void UpdateDisplayMenus();
  QMenu* mExternaldisplay = nullptr;
  QMenu* mExternaldisplay2 = nullptr;
  QAction* mInvisible = nullptr;

  // Test aids, both off unless their environment variable names a file:
  // THERMASENTINEL_TEST_REPORT gets "key=value" lines on the window's state
  // (State, Mode, DeviceType, Records, Samples, Queued, BytesLost, UsedData,
  // panel and status texts), rewritten at state changes, every half second
  // while samples come and at close; THERMASENTINEL_TEST_RECORDS gets one
  // line per burst record taken (eight raw values and the time, tab
  // separated), emptied at every start.
  void WriteTestReport();

  // Hooks replacing modal questions in tests: when set, they are asked
  // instead of showing the box / file dialog.
  std::function<int()> OnAskSaveQuestion;                  // returns a TModalResult
  std::function<QString(bool save)> OnChooseDataFileName;  // empty: cancelled
  std::function<void(const QString& text, const QString& caption)> OnShowMessage;
  // A Brio write failed: asks whether to open the setup dialog again on the
  // edited images (Yes/No box when not set).
  std::function<bool(const QString& text)> OnAskKeptImages;

  // Controls (object names are the control names).
  QMenuBar* MainMenu = nullptr;
  QAction *mFile = nullptr, *mOpen = nullptr, *mSave = nullptr, *mExit = nullptr;
  QAction *mMeasurement = nullptr, *mScan = nullptr, *mDisconnect = nullptr, *mStart = nullptr,
          *mStop = nullptr, *mPause = nullptr, *mEmissivity = nullptr, *mLASER = nullptr,
          *mLaserSeparator = nullptr;
  QAction *mSetup = nullptr, *mInterface = nullptr, *mMeasurementSettings = nullptr, *mDeviceSetup = nullptr,
          *mLoopMaintenance = nullptr, *mDeviceInfo = nullptr, *mViewSettings = nullptr, *mOptions = nullptr,
          *mSetDefaultSettings = nullptr;
  QAction *mView = nullptr, *mTitleBar = nullptr, *mMenuBar = nullptr, *mToolBar = nullptr,
          *mToolBarCap = nullptr, *mStatusBar = nullptr, *mTempbartop = nullptr, *mTempbarright = nullptr,
          *mShowDiagram = nullptr, *mAlwaysOnTop = nullptr, *mFullScreen = nullptr, *mShowAllBars = nullptr,
          *mHideAllBars = nullptr;
  QAction *mTObj = nullptr, *mTInt = nullptr, *mTBox = nullptr, *mTAct = nullptr, *mTQuot = nullptr,
          *mTSingle = nullptr, *mTau = nullptr, *mEps = nullptr, *mmVin = nullptr, *mVcc = nullptr,
          *mTamb = nullptr;
  QAction *mChart = nullptr, *mDiagramSettings = nullptr, *mTimeZoomIn = nullptr, *mTimeZoomOut = nullptr,
          *mTimeZoomFull = nullptr, *mTempZoomIn = nullptr, *mTempZoomOut = nullptr, *mTempZoomFull = nullptr,
          *mManualScaling = nullptr, *mGlobalScaling = nullptr, *mLocalScaling = nullptr,
          *mCopyToClipboard = nullptr;
  QAction *mHelp = nullptr, *mHelpFile = nullptr, *mURL = nullptr, *mAbout = nullptr, *mADC = nullptr;
  QMenu* pmDiagram = nullptr;
  QAction *mView2 = nullptr, *mTitleBar2 = nullptr, *mMenuBar2 = nullptr, *mToolbar2 = nullptr,
          *mToolBarCap2 = nullptr, *mStatusbar2 = nullptr, *mTempBarTop2 = nullptr, *mTempbarright2 = nullptr,
          *mShowDiagram2 = nullptr, *mAlwaysontop2 = nullptr, *mShowAllBars2 = nullptr,
          *mHideAllBars2 = nullptr, *mExit2 = nullptr;

  QFrame* pnlControl = nullptr;
  QFrame* ToolBar = nullptr;
  QToolButton *btnOpen = nullptr, *btnSave = nullptr, *btnScan = nullptr, *btnDisconnect = nullptr,
              *btnStart = nullptr, *btnStop = nullptr, *btnPause = nullptr, *btnDeviceInfo = nullptr,
              *btnDeviceSetup = nullptr, *btnEmissivity = nullptr, *btnLASER = nullptr;
  QFrame* pnlDigital = nullptr;
  QSplitter* Splitter2 = nullptr;
  QFrame* pnlGlowReadout2 = nullptr;
  QListWidget* lbGlowReadout = nullptr;
  QTextEdit* Memo1 = nullptr;
  // The window is blended with its AlphaBlendValue (255: opaque) while it
  // stays on top (where the window system supports opacity).
  bool AlphaBlend() const { return alphaBlend_; }
  static constexpr int AlphaBlendValue = 255;
  QProgressBar* ProgressBar = nullptr;
  // The value panels and what the external displays are given.
  TValuePanels ValuePanels;
  // Value panels by channel (0..10): first set (top bar), second set (right column).
  std::array<TValuePanel, 11>& Panels1 = ValuePanels.First;
  std::array<TValuePanel, 11>& Panels2 = ValuePanels.Second;

  QTimer* StartupTimer = nullptr;
  QTimer* ConnectTimeOutTimer = nullptr;
  QTimer* ReadConfigTimeOutTimer = nullptr;
  QTimer* PollTimer = nullptr;
  QTimer* BurstTimer = nullptr;
  QTimer* tiMaximized = nullptr;

  // Dialogs created at start-up.
  TfParamShow* fParamShow = nullptr;
  TScanDeviceDlg* ScanDeviceDlg = nullptr;
  TDeviceInfoDlg* DeviceInfoDlg = nullptr;
  TInterfaceDlg* InterfaceDlg = nullptr;
  TSetDefaultSettingsDlg* SetDefaultSettingsDlg = nullptr;
  TViewSettingsDlg* ViewSettingsDlg = nullptr;
  TOptionsDlg* OptionsDlg = nullptr;
  TMeasurementSettingsDlg* MeasurementSettingsDlg = nullptr;
  TForm1* Form1 = nullptr;
  TLoopMaintenanceDlg* LoopMaintenanceDlg = nullptr;
  TLoopMaintenanceDlgBrio* LoopMaintenanceDlgBrio = nullptr;
  TLoopMaintenanceDlgDazo4_20* LoopMaintenanceDlgDazo4_20 = nullptr;
  TArgoDeviceSetupDlg* ArgoDeviceSetupDlg = nullptr;
  TChangeEmissDlg* ChangeEmissDlg = nullptr;
  TVererodurDeviceSetupDlg* VererodurDeviceSetupDlg = nullptr;
  TBrioDeviceSetupDLg* BrioDeviceSetupDLg = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  // A press on the value panels or the panel bars moves the window.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // start-up / shutdown
  void FormCreate();
  void FormShow();
  bool FormCloseQuery();
  void FormClose();
  void CreateControls();
  void CreateMenus();
  void CreateToolBar();
  void CreatePanels();
  void CreateStatusBar();
  void CreateDriver();
  void CreateDialogs();
  void StartupTimerTimer();
  void ApplyPriority(int priority);
  void HideFromTaskbar();

  // connection
  // A port that does not open runs the disconnect command, or with
  // `quietFailure` only returns the window to Closed.
  void ConnectFamily(int port, int baudIndex, bool quietFailure = false);
  void AutoConnect();
  void RunScanDialog();
  // The scan dialog of the start closed with `result`: the device chosen is
  // connected and its port stored.
  void ScanDialogClosed(int result);
  void ConnectTimeOutTimerTimer();
  void ReadConfigTimeOutTimerTimer();
  void pyreonArgoConnect(QObject* Sender);
  void pyreonArgoDisconnect(QObject* Sender);
  void pyreonArgoError(QObject* Sender, int Errorcode);
  void pyreonArgoLoadConfigData(QObject* Sender, bool success);
  void pyreonArgoProgress(QObject* Sender, int Percent, const QString& caption);
  // The rest of the connect handler, once the configuration was read.
  void ConfigurationRead(bool complete, int closes);
  void PollDone(const TPollResult& result);
  // Makes the family of the current device type code (none for a family
  // without a driver yet).
  void CreateFamily();
  // After a device thread missed its shutdown deadline.
  void LeaveStuckFamily();
  void PortRemoved();
  void SetProgress(int percent);
  QString KeepPluggedText() const;
  void SetChartMessageForLaser(bool laserOn);

  // Brio families (therma_sentinel_form_brio.cpp)
  enum class TFamilyGroup { SingleColour, BrioFirst, BrioSecond };
  static TFamilyGroup FamilyGroupOf(std::uint8_t code);
  void WireBrioFamily();
  // Both generations' notifications; `second`: the second generation.
  void pyreonBrioComOpen(bool second);
  void pyreonBrioComClose();
  void pyreonBrioConnect(bool second);
  void pyreonBrioDisconnect();
  void pyreonBrioImageLoaded();
  void pyreonBrioAllLoaded(bool second);
  void pyreonBrioError(int Errorcode);
  void pyreonBrioProgress(int Percent);
  void pyreonBrioBusrtStart();
  // The end of loading of both generations: rewrite, stop done or connected.
  void BrioLoaded();
  void HideBrioChannels();
  // Writes the configuration saved at the burst start back to the device.
  void BrioRewrite();
  // Closes the port and, after `pauseMs`, connects the stored device again.
  void BrioRestart(int pauseMs);
  // A stop asked for by the close has finished.
  void BrioStopFinished();
  // measurement (therma_sentinel_form_measurement.cpp)
  void StartBrioBurst();
  QString BrioSerialText() const;
  // The close waits for a Brio measurement to stop (or a Brio device to be
  // disconnected); true when it must wait.
  bool BrioCloseWait();
  // Posts the stop request once no device job runs.
  void RequestBrioStop();
  void ContinueClose();
  // The close that waits goes on at once (the stop finished, or the device
  // is gone).
  void ResumeWaitingClose();

  // measurement
  void BurstTimerTimer();
  // The record queue's drop count in the status bar (panel 3), when it changed.
  void ShowDroppedRecords();
  // The channels the connected device sends (the others show no value in
  // their panels and on their displays); every channel while none is.
  std::uint16_t DeliveredChannels() const;
  // The panels' texts before any value.
  void ShowStartTexts();
  void AddSample(double time);
  // An automatic value axis starts around the first usable sample of a
  // measurement (and widens from there), not at the stored window.
  void FitValueAxisToSample();
  bool valueAxisFromSample_ = false;
  // The ratio model shows its object value as a percentage (display mode 2).
  bool RatioPercentMode() const;
  // The channels of `channels` (bit c: channel c) to their external
  // displays, from the current values.
  void FeedDisplays(std::uint16_t channels, const TChannelSample& sample);

  // panels and layout
  // Gives every popup-menu twin the check mark of its main-menu item.
  void CopyChecksToTwins();
  void mViewPairClick(QAction* item, QAction* twin);
  void mPanelToggleClick(int channel, QAction* item);
  void mTempbarClick(bool top, QAction* sender);
  void mShowAllBarsClick();
  void mHideAllBarsClick();
  void mAlwaysOnTopClick(QObject* Sender);
  // A change of the diagnostic memo: the chart's lower range end is noted in
  // it.
  void Memo1Change();
  bool memo1Changing_ = false;
  bool alphaBlend_ = false;
  void mFullScreenClick(QObject* Sender);
  void ApplyViewOptions();
  void FitTopPanel(TValuePanel& panel);
  void StartWindowMove(bool always);
  void StatusBarResize();
  void SetStatusText(int panel, const QString& text);
  QAction* AddCheckItem(QMenu* menu, const char* name, const QString& text, bool checked = false);
  QAction* AddItem(QMenu* menu, const char* name, const QString& text);

  // settings of the view
  void ReadViewSettings();
  // The view record the view settings dialog starts from, and what its OK
  // gave (stored and applied).
  void FillViewSettings(TViewSettings& view) const;
  void TakeViewSettings(const TViewSettings& view);
  // The eleven channels' records into the settings.
  void WriteGraphSettings();

  // device dialogs (therma_sentinel_form_setup.cpp)
  // While a device dialog is open the window's measurement timers rest and
  // its state is busy; leaving puts back what entering saved.
  struct DeviceDialogState {
    std::uint8_t state = csClosed;
    int closeCount = 0;
    bool burstTimer = false;
    bool pollTimer = false;
  };
  DeviceDialogState EnterDeviceDialog();
  void LeaveDeviceDialog(const DeviceDialogState& saved);
  class DeviceDialogScope;
  ArgoFamily* Argo() const;
  // The single-colour setup: the device is read on its session, then the
  // dialog is shown (`read`: the read completed).
  void RunArgoDeviceSetup(const DeviceDialogState& saved);
  void ShowArgoDeviceSetup(const DeviceDialogState& saved, bool read);
  // The connected Argo device when its setup dialog may open after the read
  // (its range then set on the chart); nullptr otherwise.
  ArgoFamily* ArgoSetupDevice(const DeviceDialogState& saved, bool read);
  template <class SetupDialog, class StorePage>
  void ShowArgoSetupDialog(SetupDialog& dlg, ArgoFamily* argo, std::uint8_t page, StorePage storePage);
  // The Brio families (therma_sentinel_form_brio_setup.cpp).
  bool HasBrioDeviceSetupDialog() const;
  bool HasBrioLoopMaintenanceDialog() const;
  void RunBrioDeviceSetup();
  // While a Brio write runs the window takes no input (it paints and shows
  // the progress).
  void HoldBrioWriteInput(bool writing);
  bool AskKeptBrioImages(const TBrioSetupDispatch::TKeptImages& kept);
  bool brioWriting_ = false;
  void RunBrioLoopMaintenance();
  // Makes the Brio loop-maintenance dialogs and plugs them in.
  void CreateBrioLoopDialogs();
  // Holds the window's input off while a loop-maintenance step runs.
  void HoldBrioLoopInput(bool hold);
  TBrioSetupDispatch brioSetup_;
  TBrioLoopMaintenance brioLoop_;
  void ShowVererodurDeviceSetup(const DeviceDialogState& saved, bool read);
  // A display unit the device reported: stored, shown by a visible
  // device-info dialog and the chart.
  void TakeDeviceUnit(bool fahrenheit);
  // The connection (closeCount_) whose poll for the dialogs is under way;
  // -1: none.
  int settingsPollConnection_ = -1;

  // ---- fields ----
  QStringList arguments_;
  QStringList parameters_;
  CommandLine commandLine_;
  QString versionText_;
  bool stopFlag_ = false;
  QString instanceName_;
  QString productString_, companyString_, copyRight_, applicationTitle_;
  // The window caption (branding, version, instance name); the language
  // file's caption of the form does not replace it.
  QString caption_;
  // The caption without a user-defined title.
  QString defaultCaption_;
  std::unique_ptr<TConfig> config_;
  bool configExisted_ = false;
  bool firstShowDone_ = false;
  bool layoutApplied_ = false;
  bool started_ = false;
  bool deferredStart_ = true;
  bool deferredScan_ = true;
  bool stopRequested_ = false;
  bool stopDone_ = false;
  bool rewritePending_ = false;
  int startupInterval_ = 1;
  QChar systemDecimalSeparator_ = QLatin1Char('.');
  QChar decimalSeparatorInUse_ = QLatin1Char('.');
  std::uint8_t deviceTypeCode_ = 0;
  QString deviceTypeLabel_;
  std::uint8_t state_ = csClosed;
  std::uint8_t measureMode_ = 0;
  bool fahrenheit_ = false;
  TOptions options_;
  std::array<TGraphProperties, 11> graph_{};
  int smoothCycles_ = 1;
  // The averaging ring; its size follows smoothCycles_, its mean is kept.
  TFloatRingBuffer smoothRing_{1};
  bool smartSmoothing_ = false;
  int scale_ = 1;
  bool argo1ms_ = false;
  float initialTime_ = 10.0f;
  int errorCount_ = 0;
  // Counts the disconnects that closed the port (a handler that runs a long
  // device sequence sees whether it was disconnected meanwhile).
  int closeCount_ = 0;
  float deviceTmin_ = -50.0f;
  float deviceTmax_ = 3000.0f;
  // The device keys are stored at close only when a device was read in
  // this run.
  bool deviceReadThisRun_ = false;
  std::int32_t deviceSerial_ = -1;
  std::uint8_t deviceRs485_ = 0;

  // measurement
  bool useInitialTime_ = false;
  bool windowStartPending_ = false;
  bool unsavedData_ = false;
  std::int64_t sampleCount_ = 0;
  // The start delay of the burst being started (seconds).
  double startDelay_ = 0.0;
  // The measurement's time zero, start delay and cycle.
  TLiveTimeline timeline_;
  QDateTime measureStartTime_;
  bool xWindowFromChart_ = false;
  // The live chart's view while the chart shows a loaded file: put back
  // before the next measurement and before the settings are written, so the
  // file's window and range never become the live ones.
  struct LiveChartView {
    double yMin, yMax, yRangeMin, yRangeMax;
    int scale;
    bool xWindowFromChart;
  };
  std::optional<LiveChartView> liveChartView_;
  void RestoreLiveChartView();
  bool pollBusy_ = false;
  bool bufferFullHandled_ = false;
  bool inBurstBatch_ = false;
  bool forcedSaveFailed_ = false;
  TChannelValues values_{};
  std::int64_t lastReportMs_ = 0;
  // Texts of the live loop waiting for the next refresh (at most one per
  // kLiveTextIntervalMs, whatever the record rate).
  static constexpr int kLiveTextIntervalMs = 50;
  void RequestLiveTexts();
  QTimer* liveTextTimer_ = nullptr;
  std::int64_t lastLiveTextMs_ = -1000000;
  // The record layout asked of the device at the start of a burst
  // measurement (the settings are not read again for every batch).
  bool burstFastLayout_ = false;
  bool burstPanelsPending_ = false;
  // The newest record's sample, shown at the next refresh.
  TChannelSample burstPanelSample_;
  bool statusTextsPending_ = false;
  double pendingCycle_ = 0.0;
  double pendingTime_ = 0.0;
  std::unique_ptr<QFile> recordsOut_;
  QString recordsFile_;
  QString reportFile_;

  // external displays
  void CreateDisplayLink();
  void RestoreDisplays(const QStringList& lines, bool hideWhileDisplaysRun);
  void CloseDisplays();
  QGroupBox* PanelOfKind(int kind) const;
  TDisplayLink* displayLink_ = nullptr;
  // The stored "invisible" state hides the window once a restored display
  // really runs, never before.
  bool hideWhenDisplayRuns_ = false;
  // The display starts the user asked for (their failure is reported).
  QSet<int> userDisplayStarts_;
  void ReportDisplayNotStarted();

  // components
  std::unique_ptr<DeviceFamily> family_;
  TFamilyGroup familyGroup_ = TFamilyGroup::SingleColour;
  // Brio: the configuration image taken when a burst started (written back
  // after the measurement), a burst was started, the close's wait.
  std::array<std::uint8_t, 128> savedConfigImage_{};
  bool burstStarted_ = false;
  QTimer* closeWaitTimer_ = nullptr;
  bool closeAfterWait_ = false;
  int brioNotifications_ = 0;
  int rewritesDone_ = 0;
  // A configuration read is queued or running.
  bool configReadPending_ = false;
  bool terminating_ = false;
  bool closed_ = false;
  // Every error event of the device (the test report shows it).
  int errorsReported_ = 0;
  // Test aid THERMASENTINEL_TEST_TICKS=1: a 10 ms timer on the window's
  // thread; the report shows the longest gap between two of its ticks.
  void StartTickProbe();
  QTimer* tickProbe_ = nullptr;
  std::int64_t lastTickMs_ = -1;
  std::int64_t maxTickGapMs_ = 0;
  std::uint64_t droppedShown_ = 0;
  // Records taken from the family's queue in one refresh.
  std::vector<TMeasurementRecord> recordBatch_;
  TDiagram* Diagram_ = nullptr;
  TLngINISupp* LIS_ = nullptr;
  PanelStatusBar* StatusBar_ = nullptr;
  QMenu* menuFile_ = nullptr;
  QMenu* menuMeasurement_ = nullptr;
  QMenu* menuSetup_ = nullptr;
  QMenu* menuView_ = nullptr;
  QMenu* menuHelp_ = nullptr;
  QMenu* menuView2_ = nullptr;
};

// The program's main window (created by main).
extern TThermaSentinelForm* ThermaSentinelForm;
