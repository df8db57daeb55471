#include "app/therma_sentinel_form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QShowEvent>
#include <QSplitter>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <stdexcept>

#include "app/about_dlg.h"
#include "app/change_emiss_dlg.h"
#include "app/device_info_dlg.h"
#include "app/display_link.h"
#include "app/form1.h"
#include "app/interface_dlg.h"
#include "app/measurement_settings_dlg.h"
#include "app/options_dlg.h"
#include "app/param_show.h"
#include "app/process_priority.h"
#include "app/scan_device_dlg.h"
#include "app/set_default_settings_dlg.h"
#include "app/view_settings_dlg.h"
#include "drivers/device_type.h"
#include "drivers/sentinel_utils.h"
#include "platform/folders.h"
#include "platform/ini_file.h"
#include "platform/logger.h"
#include "platform/number_text.h"
#include "setup_argo/argo_device_setup_dlg.h"
#include "setup_argo/vererodur_device_setup_dlg.h"
#include "setup_brio/brio_device_setup_dlg.h"
#include "setup_argo/loop_maintenance_dlg.h"
#include "ui/diagram.h"
#include "ui/form_registry.h"
#include "ui/lng_ini_supp.h"
#include "ui/panel_status_bar.h"

TThermaSentinelForm* ThermaSentinelForm = nullptr;

namespace {

// Runs `block`, dropping any exception (the close path must always finish).
template <typename F>
void Guarded(const char* what, F&& block) {
  try {
    block();
  } catch (const std::exception& e) {
    Logger::Error(QString::fromLatin1(what), QString::fromLocal8Bit(e.what()));
  } catch (...) {
    Logger::Error(QString::fromLatin1(what), QStringLiteral("unknown exception"));
  }
}

}  // namespace

TThermaSentinelForm::TThermaSentinelForm(const QStringList& arguments, const QString& versionText,
                                         QWidget* parent)
    : QMainWindow(parent), arguments_(arguments), versionText_(versionText) {
  setObjectName(QStringLiteral("ThermaSentinelForm"));
  ThermaSentinelForm = this;
  reportFile_ = qEnvironmentVariable("THERMASENTINEL_TEST_REPORT");
  recordsFile_ = qEnvironmentVariable("THERMASENTINEL_TEST_RECORDS");
  FormCreate();
  if (!stopFlag_) CreateDialogs();
  if (!stopFlag_) CreateDisplayLink();
}

TThermaSentinelForm::~TThermaSentinelForm() {
  // The dialogs go with the window's widgets, after its own members: none
  // of them may reach the window any more.
  if (ScanDeviceDlg != nullptr) ScanDeviceDlg->disconnect(this);
  FormRegistry::Remove(this);
  if (ThermaSentinelForm == this) ThermaSentinelForm = nullptr;
}

QString TThermaSentinelForm::GetVersionText(const QString& version) {
  // Four parts: major.minor.release.build; missing parts count as 0.
  QStringList parts = version.split(QLatin1Char('.'));
  QStringList out;
  for (int i = 0; i < 4; ++i) {
    bool ok = false;
    const uint v = i < parts.size() ? parts[i].trimmed().toUInt(&ok) : 0;
    out << QString::number(ok ? (v & 0xFFFFu) : 0u);
  }
  return out.join(QLatin1Char('.'));
}

QString TThermaSentinelForm::GetVersionFlagsText(bool hasVersionInfo, std::uint32_t flags) {
  if (!hasVersionInfo) return QStringLiteral("NoVersionInfo");
  QString s;
  if (flags & 0x01) s += QStringLiteral(" DEBUG");
  if (flags & 0x02) s += QStringLiteral(" BETA");
  if (flags & 0x08) s += QStringLiteral(" PRIVATE");
  if (flags & 0x20) s += QStringLiteral(" SPECIAL");
  return s;
}

float TThermaSentinelForm::ParseFloat(const QString& S) const {
  double v = 0.0;
  if (!NumberText::TryStrToFloat(S, decimalSeparatorInUse_, v)) throw std::invalid_argument("not a number");
  return static_cast<float>(v);
}

bool TThermaSentinelForm::CanUseFastBurst() const {
  if (deviceTypeCode_ != DeviceType::Argo || family_ == nullptr) return false;
  if (!family_->Snapshot().RecordsInMs) return false;
  constexpr int kBaudIndex115200 = 4;
  if (family_->Snapshot().BaudIndex != kBaudIndex115200) return false;
  const int mode = config_->ReadCommunicationMode();
  if (mode == 1) return true;
  return mode == 0 && Diagram_->Resolution() < 0.2 && config_->ReadRS845Addr() == 0;
}

// ---------------------------------------------------------------------------
// FormCreate

void TThermaSentinelForm::FormCreate() {
  firstShowDone_ = false;
  started_ = false;
  stopFlag_ = false;
  instanceName_.clear();

  commandLine_ = CommandLine::FromArguments(arguments_);
  parameters_ = commandLine_.Parameters();
  stopFlag_ = commandLine_.StopFlag();
  instanceName_ = commandLine_.InstanceName();

  if (stopFlag_) {
    fParamShow = new TfParamShow(this);
    fParamShow->ShowModal();
    return;
  }

  CreateControls();
  FormRegistry::Add(this);

  // Branding.
  {
    IniFile corporate(Folders::ProgramFolder() + QStringLiteral("/Corporate.ini"));
    const QString section = QStringLiteral("Corporate");
    productString_ = corporate.ReadString(section, QStringLiteral("ProductString"), QString());
    companyString_ = corporate.ReadString(section, QStringLiteral("CompanyString"), QString());
    applicationTitle_ = corporate.ReadString(section, QStringLiteral("ApplicationString"), QString());
    QGuiApplication::setApplicationDisplayName(applicationTitle_);
    copyRight_ = corporate.ReadString(section, QStringLiteral("CopyRight"), QString());
    mURL->setText(corporate.ReadString(section, QStringLiteral("URL"), QString()));
    // Without a link in the branding file there is no web-link item.
    mURL->setVisible(!mURL->text().isEmpty());
  }

  QString caption = applicationTitle_ + QLatin1Char(' ') + GetVersionText(versionText_);
  if (!instanceName_.isEmpty()) caption = instanceName_ + QStringLiteral(" - ") + caption;
  caption += GetVersionFlagsText(!versionText_.isEmpty(), 0);
  caption_ = caption;
  defaultCaption_ = caption;
  setWindowTitle(caption);

  // Settings.
  QString settingsNotice;
  const QString path =
      TConfig::GetSettingsFileName(QCoreApplication::applicationFilePath(), instanceName_, &settingsNotice);
  configExisted_ = QFile::exists(path);
  config_ = std::make_unique<TConfig>(path);
  ReportSettingsProblems(settingsNotice);
  QRect screen(0, 0, 1024, 768);
  QRect virtualScreen = screen;
  if (QScreen* s = QGuiApplication::primaryScreen()) {
    screen = s->geometry();
    virtualScreen = s->virtualGeometry();
  }
  config_->SetDefaultWindowRect({100, 100, screen.width() - 100, screen.height() - 100});
  config_->SetDefaultTitle(applicationTitle_ + QLatin1Char(' ') + GetVersionText(versionText_));
  {
    // One replace of the settings file for the writes of the start.
    const TConfig::Batch settingsBatch(*config_);
    config_->WriteArgoBurstStartDelay(config_->ReadArgoBurstStartDelay());
    config_->WriteBrioBurstStartDelay(config_->ReadBrioBurstStartDelay());
    if (!configExisted_) config_->NormaliseSettings();
  }

  TRect r = config_->ReadWindowRect();
  const QRect wanted(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
  // Off the right or bottom edge, or (after a screen was removed) not on any
  // screen at all: the default rectangle.
  if (virtualScreen.right() + 1 < r.Left + 20 || virtualScreen.bottom() + 1 < r.Top + 10 ||
      !virtualScreen.intersects(wanted) || wanted.width() < 100 || wanted.height() < 100) {
    r = config_->DefaultWindowRect();
  }
  setGeometry(r.Left, r.Top, std::max(100, r.Right - r.Left), std::max(100, r.Bottom - r.Top));

  options_ = config_->ReadOptions();
  mFullScreen->setChecked(options_.Has(TOption::Maximized));

  // Chart.
  Diagram_->SetMaxData(config_->ReadMaxData());
  Diagram_->SetGraphCount(11);
  values_.fill(0.0f);
  smoothCycles_ = config_->ReadSmoothCycles();
  smoothRing_.SetSize(smoothCycles_);
  timeline_ = TLiveTimeline();
  sampleCount_ = 0;

  state_ = csClosed;
  deferredStart_ = true;
  deferredScan_ = true;
  stopRequested_ = false;
  rewritePending_ = false;
  fahrenheit_ = config_->ReadTemperatureUnit();
  SentinelUtils::UnitCelsiusText = QStringLiteral("°C");
  SentinelUtils::UnitFahrenheitText = QStringLiteral("°F");

  // Language.
  LIS_->SetRevision(QStringLiteral("version.dll"));
  LIS_->OnExportFailed = [this](const QString& folder) { ReportLanguageExportFailed(folder); };
  if (!LIS_->SetFileName(config_->ReadLanguageFile())) ReportLanguageExportFailed(LIS_->ExportFolder());
  LIS_->LoadLanguage();
  setWindowTitle(caption_);

  Form1 = new TForm1(this);
  Form1->Message = LIS_->ReadText(QStringLiteral("PleaseWait"), QStringLiteral("Please wait ..."),
                                  QStringLiteral("Other"));
  Form1->show();
  Form1->repaint();

  layoutApplied_ = false;
}

void TThermaSentinelForm::CreateDialogs() {
  // The program's dialogs, created once in this order. The device dialogs
  // are opened by device type code (therma_sentinel_form_setup.cpp).
  fParamShow = new TfParamShow(this);
  ScanDeviceDlg = new TScanDeviceDlg(this);
  DeviceInfoDlg = new TDeviceInfoDlg(this);
  InterfaceDlg = new TInterfaceDlg(this);
  InterfaceDlg->SetScanDialog(ScanDeviceDlg);
  ViewSettingsDlg = new TViewSettingsDlg(this);
  MeasurementSettingsDlg = new TMeasurementSettingsDlg(this);
  MeasurementSettingsDlg->SetLIS(LIS_);
  OptionsDlg = new TOptionsDlg(this);
  SetDefaultSettingsDlg = new TSetDefaultSettingsDlg(this);
  LoopMaintenanceDlg = new TLoopMaintenanceDlg(this);
  LoopMaintenanceDlg->FLng = LIS_;
  CreateBrioLoopDialogs();
  ArgoDeviceSetupDlg = new TArgoDeviceSetupDlg(this);
  ArgoDeviceSetupDlg->FLng = LIS_;
  ChangeEmissDlg = new TChangeEmissDlg(this);
  ChangeEmissDlg->FLng = LIS_;
  VererodurDeviceSetupDlg = new TVererodurDeviceSetupDlg(this);
  VererodurDeviceSetupDlg->FLng = LIS_;
  VererodurDeviceSetupDlg->FServiceMode = commandLine_.CalibrationSwitch();
  BrioDeviceSetupDLg = new TBrioDeviceSetupDLg(this);
  BrioDeviceSetupDLg->FLng = LIS_;
  brioSetup_.SetDialog(TBrioSetupDispatch::TDialogKind::Brio, BrioDeviceSetupDLg);
}

// ---------------------------------------------------------------------------
// FormShow

void TThermaSentinelForm::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!firstShowDone_ && !stopFlag_) {
    firstShowDone_ = true;
    FormShow();
  }
}

void TThermaSentinelForm::FormShow() {
  // A stored "invisible" state hides the window only once a restored
  // display runs (RestoreDisplays), so it is never left without one.
  if (commandLine_.Invisible()) HideFromTaskbar();

  lbGlowReadout->clear();
  RestoreDisplays(config_->ReadDisplayList(), config_->ReadInvisible());

  if (!layoutApplied_) {
    layoutApplied_ = true;
    ApplyPriority(config_->ReadPriority());
    pnlControl->setFixedHeight(std::clamp(config_->ReadMenuPanel(), 30, 400));
    const int column = std::clamp(config_->ReadGlowReadout2(), 70, 2000);
    Splitter2->setSizes({std::max(200, width() - column), column});
    ReadViewSettings();
    mTInt->setVisible(true);
    mTAct->setVisible(true);

    mStatusBar->setChecked(options_.Has(TOption::StatusBar));
    mToolBar->setChecked(options_.Has(TOption::ToolBar));
    mToolBarCap->setChecked(options_.Has(TOption::ToolBarCap));
    mTempbartop->setChecked(options_.Has(TOption::DigitalTop));
    // The two bars exclude each other; the top bar wins a stored conflict.
    mTempbarright->setChecked(options_.Has(TOption::DigitalRight) && !options_.Has(TOption::DigitalTop));
    mAlwaysOnTop->setChecked(options_.Has(TOption::AlwaysOnTop));
    mTitleBar->setChecked(options_.Has(TOption::TitleBar));
    mMenuBar->setChecked(options_.Has(TOption::MenuBar));
    mShowDiagram->setChecked(options_.Has(TOption::ShowDiagram));
    const std::array<QAction*, 11> items{mTObj, mTInt, mTBox, mTAct, mTQuot, mTSingle,
                                         mTau,  mEps,  mmVin, mVcc,  mTamb};
    for (int c = 0; c < 11; ++c) items[c]->setChecked(graph_[c].ShowDigital);
    CopyChecksToTwins();

    ShowStartTexts();
    ArrangePanels();
  }

  systemDecimalSeparator_ = NumberText::SystemDecimalSeparator();
  NumberText::SetDecimalSeparator(TConfig::DecimalSeparatorOf(options_, systemDecimalSeparator_));
  decimalSeparatorInUse_ = NumberText::DecimalSeparator();

  deviceTypeCode_ = config_->ReadDeviceType();
  SentinelUtils::DeviceTypeName(deviceTypeCode_, deviceTypeLabel_);
  SetStatusText(2, QString());

  if (options_.Has(TOption::ApplicationTitle_Mode)) caption_ = options_.ApplicationTitle_Title;

  LIS_->LoadLanguage();
  LISLanguageChange();
  ScanDeviceDlg->SetLanguage(LIS_);
  InterfaceDlg->SetLanguage(LIS_);

  ScanDeviceDlg->TimeoutSeconds = config_->ReadArgoScanTimeOut();
  ScanDeviceDlg->SearchTimeout = commandLine_.ScanTimeOut();
  config_->WriteArgoScanTimeOut(ScanDeviceDlg->TimeoutSeconds);

  const QString icon = Folders::ProgramFolder() + QStringLiteral("/Corporate.ico");
  if (QFile::exists(icon)) {
    QIcon ico(icon);
    if (!ico.isNull()) {
      QApplication::setWindowIcon(ico);
      setWindowIcon(ico);
    }
  }

  if (commandLine_.ServiceSwitch()) mADC->setShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_F7));

  startupInterval_ = commandLine_.StartupTimerInterval();
  StartupTimer = new QTimer(this);
  StartupTimer->setSingleShot(true);
  StartupTimer->setInterval(startupInterval_);
  connect(StartupTimer, &QTimer::timeout, this, [this] { StartupTimerTimer(); });
  StartupTimer->start();

  Diagram_->SetYRangeMin(-50.0);
  Diagram_->SetYRangeMax(3000.0);

  if (!options_.Has(TOption::Maximized))
    setWindowState(windowState() & ~Qt::WindowMaximized);
  else
    setWindowState(windowState() | Qt::WindowMaximized);
  if (Form1 != nullptr) Form1->hide();
}

void TThermaSentinelForm::ReadViewSettings() {
  smoothCycles_ = config_->ReadSmoothCycles();
  smartSmoothing_ = config_->ReadSmartSmoothing();
  scale_ = config_->ReadScale();
  graph_[0] = config_->ReadTObjGraph();
  graph_[1] = config_->ReadTIntGraph();
  graph_[2] = config_->ReadTBoxGraph();
  graph_[3] = config_->ReadTActGraph();
  graph_[4] = config_->ReadTQuotGraph();
  graph_[5] = config_->ReadTSingleGraph();
  graph_[6] = config_->ReadTauGraph();
  graph_[7] = config_->ReadEpsGraph();
  graph_[8] = config_->ReadmVinGraph();
  graph_[9] = config_->ReadVccGraph();
  graph_[10] = config_->ReadAmbientGraph();
  argo1ms_ = config_->ReadArgo1ms();
  initialTime_ = config_->ReadInitialTime();
  if (!(initialTime_ > 0.0f)) initialTime_ = 10.0f;
  options_ = config_->ReadOptions();
}

void TThermaSentinelForm::ApplyPriority(int priority) { ProcessPriority::Apply(priority); }

void TThermaSentinelForm::HideFromTaskbar() {
  // No taskbar button: a tool window has none on the usual desktops.
  setWindowFlag(Qt::Tool, true);
}

void TThermaSentinelForm::StartupTimerTimer() {
  QMetaObject::invokeMethod(
      this, [this] { MsgStartup(); }, Qt::QueuedConnection);
}

// ---------------------------------------------------------------------------
// Self-posted messages

void TThermaSentinelForm::MsgStartup() {
  // Queued calls that arrive after the window closed find no driver.
  if (closed_) return;
  if (commandLine_.Invisible()) hide();

  started_ = true;
  StartTickProbe();
  mAlwaysOnTopClick(nullptr);
  if (StartupTimer != nullptr) {
    StartupTimer->deleteLater();
    StartupTimer = nullptr;
  }

  SetProgress(0);
  UpdateState();
  ApplyChartSettings();
  state_ = csClosed;
  pnlControlResize();

  if (options_.Has(TOption::AutoScan)) AutoConnect();

  UpdateState();
  if (commandLine_.Invisible()) HideFromTaskbar();
}

void TThermaSentinelForm::StartTickProbe() {
  if (qEnvironmentVariable("THERMASENTINEL_TEST_TICKS") != QStringLiteral("1") || tickProbe_ != nullptr)
    return;
  tickProbe_ = new QTimer(this);
  tickProbe_->setTimerType(Qt::PreciseTimer);
  tickProbe_->setInterval(10);
  lastTickMs_ = -1;
  connect(tickProbe_, &QTimer::timeout, this, [this] {
    const std::int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now().time_since_epoch())
                                 .count();
    if (lastTickMs_ >= 0) maxTickGapMs_ = std::max(maxTickGapMs_, now - lastTickMs_);
    lastTickMs_ = now;
  });
  tickProbe_->start();
}

void TThermaSentinelForm::MsgStopRequest() {
  if (closed_) return;
  mStopClick(nullptr);
}

void TThermaSentinelForm::MsgDisconnectRequest() {
  if (closed_) return;
  mDisconnectClick(nullptr);
}

void TThermaSentinelForm::MsgScanRequest() {
  if (closed_) return;
  if (deferredScan_) mScanClick(nullptr);
  deferredScan_ = false;
}

void TThermaSentinelForm::MsgStartRequest() {
  if (closed_) return;
  if (deferredStart_) mStartClick(nullptr);
  deferredStart_ = false;
}

// ---------------------------------------------------------------------------
// Shutdown

void TThermaSentinelForm::closeEvent(QCloseEvent* event) {
  if (stopFlag_) {
    event->accept();
    return;
  }
  // A Brio device's flash is being written: the window waits for its end.
  if (brioWriting_ && !terminating_) {
    event->ignore();
    return;
  }
  // While the close waits for a Brio device, further closes wait with it.
  if (closeWaitTimer_ != nullptr && closeWaitTimer_->isActive()) {
    event->ignore();
    return;
  }
  // A termination signal asks nothing: its data were saved already. A
  // close that waited was asked already.
  if (!terminating_ && !closeAfterWait_ && !FormCloseQuery()) {
    event->ignore();
    return;
  }
  if (!terminating_ && !closeAfterWait_ && BrioCloseWait()) {
    event->ignore();
    return;
  }
  FormClose();
  event->accept();
}

bool TThermaSentinelForm::FormCloseQuery() {
  bool canClose = true;
  Guarded("close query", [&] {
    canClose = AskSaveUnsavedData();
    // Every display is told to close, also when the question was cancelled.
    CloseDisplays();
    if (!canClose && !isVisible()) showNormal();
  });
  return canClose;
}

bool TThermaSentinelForm::BrioCloseWait() {
  if (!DeviceType::IsBrio(deviceTypeCode_) || family_ == nullptr) return false;
  int waitMs = 0;
  Guarded("close query", [&] {
    if (state_ > csConnected || burstStarted_ || rewritePending_) {
      // A running (or starting) measurement stops: the device restarts and
      // gets back the configuration the burst changed; a restart under way
      // ends in that rewrite. The close goes on when it has finished, or at
      // the deadline; the window stays responsive meanwhile.
      stopRequested_ = true;
      stopDone_ = false;
      if (state_ > csConnected || burstStarted_) RequestBrioStop();
      waitMs = kBrioStopDeadlineMs;
    } else if (state_ == csConnected) {
      mDisconnectClick(this);
      repaint();
      waitMs = kBrioDisconnectPauseMs;
    }
  });
  if (waitMs <= 0) return false;
  if (closeWaitTimer_ == nullptr) {
    closeWaitTimer_ = new QTimer(this);
    closeWaitTimer_->setSingleShot(true);
    connect(closeWaitTimer_, &QTimer::timeout, this, [this] { ContinueClose(); });
  }
  closeWaitTimer_->start(waitMs);
  UpdateState();
  return true;
}

void TThermaSentinelForm::RequestBrioStop() {
  // A burst start still programming the device is not cut short: the stop
  // follows once it reported back.
  if (family_ != nullptr && family_->Busy()) {
    QTimer::singleShot(100, this, [this] {
      if (!closed_) RequestBrioStop();
    });
    return;
  }
  QMetaObject::invokeMethod(
      this, [this] { MsgStopRequest(); }, Qt::QueuedConnection);
}

void TThermaSentinelForm::ContinueClose() {
  if (closeWaitTimer_ != nullptr) closeWaitTimer_->stop();
  closeAfterWait_ = true;
  close();
}

void TThermaSentinelForm::FormClose() {
  if (config_ == nullptr || closed_) return;
  closed_ = true;
  if (terminating_ && family_ != nullptr) {
    // Ending on a signal: the device gets a moment for what is queued (a
    // burst stop), then its thread ends, before anything else is written.
    if (state_ > csConnected) family_->StopBurst({});
    if (!family_->Shutdown(150, 400)) LeaveStuckFamily();
  }
  // Everything written below replaces the settings file once.
  const TConfig::Batch settingsBatch(*config_);
  Guarded("saving the window settings", [&] {
    const QRect g = normalGeometry().isValid() ? normalGeometry() : geometry();
    config_->WriteWindowRect({g.left(), g.top(), g.left() + g.width(), g.top() + g.height()});
    config_->WriteMenuPanel(pnlControl->height());
    config_->WriteGlowReadout2(pnlGlowReadout2->width());
    config_->WriteSmoothCycles(smoothCycles_);
    config_->WriteSmartSmoothing(smartSmoothing_);
    WriteGraphSettings();
    config_->WriteArgo1ms(argo1ms_);
    RestoreLiveChartView();
    const double span = Diagram_->XMax() - Diagram_->XMin();
    config_->WriteInitialTime(xWindowFromChart_ && span > 0.0 ? static_cast<float>(span) : initialTime_);
    config_->WriteScale(scale_);
    config_->WriteMinScale(static_cast<float>(Diagram_->YMin()));
    config_->WriteMaxScale(static_cast<float>(Diagram_->YMax()));
    config_->WriteYRangeMin(static_cast<float>(Diagram_->YRangeMin()));
    config_->WriteYRangeMax(static_cast<float>(Diagram_->YRangeMax()));
    TOptions o = config_->ReadOptions();
    o.Set(TOption::StatusBar, mStatusBar->isChecked());
    o.Set(TOption::ToolBar, mToolBar->isChecked());
    o.Set(TOption::ToolBarCap, mToolBarCap->isChecked());
    o.Set(TOption::DigitalTop, mTempbartop->isChecked());
    o.Set(TOption::DigitalRight, mTempbarright->isChecked());
    o.Set(TOption::AlwaysOnTop, mAlwaysOnTop->isChecked());
    o.Set(TOption::TitleBar, mTitleBar->isChecked());
    o.Set(TOption::MenuBar, mMenuBar->isChecked());
    o.Set(TOption::ShowDiagram, mShowDiagram->isChecked());
    o.Set(TOption::Maximized, mFullScreen->isChecked() || isMaximized());
    config_->WriteOptions(o);
  });
  Guarded("saving the device settings", [&] {
    // Only what a device told during this run replaces the stored values.
    if (deviceReadThisRun_ && DeviceType::IsSingleColour(deviceTypeCode_)) {
      config_->WriteArgoSerial(deviceSerial_);
      config_->WriteRS845Addr(deviceRs485_);
    } else if (deviceReadThisRun_ && DeviceType::IsBrio(deviceTypeCode_)) {
      config_->WriteBrioSerial(deviceSerial_);
    }
    if (state_ > csConnected) mStopClick(this);
    PollTimer->stop();
    BurstTimer->stop();
    ConnectTimeOutTimer->stop();
    ReadConfigTimeOutTimer->stop();
  });
  Guarded("saving the program settings", [&] {
    config_->WriteDeviceType(deviceTypeCode_);
    config_->WriteTemperatureUnit(fahrenheit_);
    config_->WriteLanguageFile(QFileInfo(LIS_->FileName()).fileName());
    if (displayLink_ != nullptr) config_->WriteDisplayList(displayLink_->SavedLines());
    config_->WriteInvisible(!isVisible());
    WriteTestReport();
    LIS_->UnloadLanguage();
    if (family_ != nullptr) {
      // The stop queued above gets a moment to reach the device; then the
      // device thread ends with a deadline, whatever the device does.
      if (family_->Shutdown(1000, 600))
        family_.reset();
      else
        LeaveStuckFamily();
    }
  });
}

// ---------------------------------------------------------------------------
// Small commands

void TThermaSentinelForm::LeaveStuckFamily() {
  // A device thread that did not end in time still uses its family's
  // objects: they stay alive (unreachable from here) until the process ends,
  // rather than being freed under it.
  static_cast<void>(family_.release());
}

void TThermaSentinelForm::mSetDefaultSettingsClick(QObject*) {
  if (SetDefaultSettingsDlg == nullptr) return;
  if (SetDefaultSettingsDlg->ShowModal() != 1) return;
  config_->ResetSettings();
  close();
  TSetDefaultSettingsDlg::Restart();
}

// ---------------------------------------------------------------------------
// Test aid

void TThermaSentinelForm::WriteTestReport() {
  if (reportFile_.isEmpty()) return;
  // The report shows what the window would show now.
  ShowLiveTexts();
  QFile file(reportFile_ + QStringLiteral(".tmp"));
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return;
  QString text;
  text += QStringLiteral("State=%1\n").arg(state_);
  text += QStringLiteral("Mode=%1\n").arg(measureMode_);
  text += QStringLiteral("DeviceType=%1\n").arg(deviceTypeCode_);
  text += QStringLiteral("Records=%1\n").arg(timeline_.Records());
  text += QStringLiteral("Samples=%1\n").arg(sampleCount_);
  text += QStringLiteral("Queued=%1\n")
              .arg(family_ != nullptr ? static_cast<qulonglong>(family_->Records().Size()) : 0ull);
  text += QStringLiteral("Dropped=%1\n")
              .arg(family_ != nullptr ? static_cast<qulonglong>(family_->Records().Dropped()) : 0ull);
  text += QStringLiteral("BytesLost=%1\n")
              .arg(family_ != nullptr ? static_cast<qulonglong>(family_->BytesLost()) : 0ull);
  text += QStringLiteral("UsedData=%1\n").arg(Diagram_->UsedData());
  // What the labels show, as a user would read them.
  text += QStringLiteral("lblTObj=%1\n").arg(Panels1[ChannelValues::TObj].Label->text());
  text += QStringLiteral("lblTObj2=%1\n").arg(Panels2[ChannelValues::TObj].Label->text());
  text += QStringLiteral("StatusPanel0=%1\n").arg(StatusBar_->PanelText(0));
  text += QStringLiteral("StatusPanel1=%1\n").arg(StatusBar_->PanelText(1));
  text += QStringLiteral("Fahrenheit=%1\n").arg(fahrenheit_ ? 1 : 0);
  text += QStringLiteral("Errors=%1\n").arg(errorsReported_);
  text += QStringLiteral("Caption=%1\n").arg(windowTitle());
  if (tickProbe_ != nullptr) text += QStringLiteral("MaxTickGap=%1\n").arg(maxTickGapMs_);
  text += QStringLiteral("Unsaved=%1\n").arg(unsavedData_ ? 1 : 0);
  file.write(text.toUtf8());
  file.close();
  QFile::remove(reportFile_);
  QFile::rename(reportFile_ + QStringLiteral(".tmp"), reportFile_);
}

void TThermaSentinelForm::mAboutClick(QObject*) {
  TAboutDlg dlg(this);
  dlg.ProgTitle = applicationTitle_;
  dlg.NoticeText = copyRight_;
  dlg.ShowModal();
}
