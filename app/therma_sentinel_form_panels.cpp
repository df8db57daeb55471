// Controls of the main window, the value panels, the window layout commands
// and the chart commands.

#include <QApplication>
#include <QClipboard>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProgressBar>
#include <QResizeEvent>
#include <QSplitter>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>
#include <cmath>

#include "app/help_commands.h"
#include "app/therma_sentinel_form.h"
#include "app/view_settings_rows.h"
#include "drivers/argo/pyreon_argo.h"
#include "drivers/device_type.h"
#include "drivers/sentinel_utils.h"
#include "platform/number_text.h"
#include "ui/bgr_color.h"
#include "ui/diagram.h"
#include "ui/lng_ini_supp.h"
#include "ui/panel_status_bar.h"

namespace {

// Panel menu items' captions, by channel.
constexpr const char* kPanelCaptions[11] = {"TObj", "TInt",    "TBox",     "TAct", "T2C", "T1C",
                                            "Tau",  "Epsilon", "mV input", "Vcc",  "TAmb"};

QColor ColorOf(std::uint32_t bgr) { return BgrColor::ToQColor(bgr); }

}  // namespace

QAction* TThermaSentinelForm::AddItem(QMenu* menu, const char* name, const QString& text) {
  QAction* a = menu->addAction(text);
  a->setObjectName(QString::fromLatin1(name));
  return a;
}

QAction* TThermaSentinelForm::AddCheckItem(QMenu* menu, const char* name, const QString& text, bool checked) {
  QAction* a = AddItem(menu, name, text);
  a->setCheckable(true);
  a->setChecked(checked);
  return a;
}

void TThermaSentinelForm::CreateControls() {
  LIS_ = new TLngINISupp(this);
  LIS_->setObjectName(QStringLiteral("LIS"));
  // The main window never writes into the language file.
  LIS_->SetReadOnly(true);
  LIS_->OnLanguageChange = [this](QObject*) { LISLanguageChange(); };

  CreateMenus();
  LIS_->SetMenu(MainMenu);
  // Where the language list goes: entry 3 of top-level menu 5, or the end
  // of the menu bar when the menu bar has no such entry.
  LIS_->SetMenuItemNo(5);
  LIS_->SetMenuSubItemNo(3);

  auto* central = new QWidget(this);
  central->setObjectName(QStringLiteral("pnlClient"));
  auto* v = new QVBoxLayout(central);
  v->setContentsMargins(0, 0, 0, 0);
  v->setSpacing(0);

  pnlControl = new QFrame(central);
  pnlControl->setObjectName(QStringLiteral("pnlControl"));
  pnlControl->setFrameShape(QFrame::StyledPanel);
  // The bar is clipped on a narrow window rather than widening it.
  pnlControl->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  auto* h = new QHBoxLayout(pnlControl);
  h->setContentsMargins(2, 1, 2, 1);
  h->setSpacing(4);
  CreateToolBar();
  h->addWidget(ToolBar);
  pnlDigital = new QFrame(pnlControl);
  pnlDigital->setObjectName(QStringLiteral("pnlDigital"));
  auto* digital = new QHBoxLayout(pnlDigital);
  digital->setContentsMargins(4, 0, 4, 0);
  digital->setSpacing(2);
  h->addWidget(pnlDigital);
  h->addStretch(1);
  v->addWidget(pnlControl);

  Splitter2 = new QSplitter(Qt::Horizontal, central);
  Splitter2->setObjectName(QStringLiteral("Splitter2"));
  Diagram_ = new TDiagram(Splitter2);
  Diagram_->setObjectName(QStringLiteral("Diagram"));
  Diagram_->setMinimumWidth(200);
  pnlGlowReadout2 = new QFrame(Splitter2);
  pnlGlowReadout2->setObjectName(QStringLiteral("pnlGlowReadout2"));
  pnlGlowReadout2->setMinimumWidth(70);
  auto* right = new QVBoxLayout(pnlGlowReadout2);
  right->setContentsMargins(1, 4, 1, 1);
  right->setSpacing(2);
  Splitter2->addWidget(Diagram_);
  Splitter2->addWidget(pnlGlowReadout2);
  Splitter2->setStretchFactor(0, 1);
  Splitter2->setStretchFactor(1, 0);
  Splitter2->setCollapsible(0, false);
  Splitter2->setCollapsible(1, false);
  connect(Splitter2, &QSplitter::splitterMoved, this, [this] { pnlGlowReadout2Resize(); });
  v->addWidget(Splitter2, 1);

  // The running external displays and the diagnostic memo, both hidden.
  lbGlowReadout = new QListWidget(central);
  lbGlowReadout->setObjectName(QStringLiteral("lbGlowReadout"));
  lbGlowReadout->hide();
  Memo1 = new QTextEdit(central);
  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->hide();
  connect(Memo1, &QTextEdit::textChanged, this, [this] { Memo1Change(); });
  setCentralWidget(central);

  CreatePanels();
  CreateStatusBar();

  // Chart popup menu.
  pmDiagram = new QMenu(this);
  pmDiagram->setObjectName(QStringLiteral("pmDiagram"));
  QMenu* view2 = pmDiagram->addMenu(QStringLiteral("View"));
  mView2 = view2->menuAction();
  mView2->setObjectName(QStringLiteral("mView2"));
  mTitleBar2 = AddCheckItem(view2, "mTitleBar2", mTitleBar->text());
  mMenuBar2 = AddCheckItem(view2, "mMenuBar2", mMenuBar->text());
  mToolbar2 = AddCheckItem(view2, "mToolbar2", mToolBar->text());
  mToolBarCap2 = AddCheckItem(view2, "mToolBarCap2", mToolBarCap->text());
  mStatusbar2 = AddCheckItem(view2, "mStatusbar2", mStatusBar->text());
  mTempBarTop2 = AddCheckItem(view2, "mTempBarTop2", mTempbartop->text());
  mTempbarright2 = AddCheckItem(view2, "mTempbarright2", mTempbarright->text());
  mShowDiagram2 = AddCheckItem(view2, "mShowDiagram2", mShowDiagram->text());
  mShowAllBars2 = AddItem(pmDiagram, "mShowAllBars2", mShowAllBars->text());
  mHideAllBars2 = AddItem(pmDiagram, "mHideAllBars2", mHideAllBars->text());
  mAlwaysontop2 = AddCheckItem(pmDiagram, "mAlwaysontop2", mAlwaysOnTop->text());
  pmDiagram->addSeparator();
  mExit2 = AddItem(pmDiagram, "mExit2", mExit->text());
  LIS_->SetPopupMenu(pmDiagram);
  Diagram_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(Diagram_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& p) { pmDiagram->popup(Diagram_->mapToGlobal(p)); });

  for (auto [item, twin] : {std::pair{mTitleBar, mTitleBar2},
                            {mMenuBar, mMenuBar2},
                            {mToolBar, mToolbar2},
                            {mToolBarCap, mToolBarCap2},
                            {mStatusBar, mStatusbar2},
                            {mShowDiagram, mShowDiagram2}}) {
    QAction* a = item;
    QAction* b = twin;
    connect(a, &QAction::triggered, this, [this, a, b] { mViewPairClick(a, b); });
    connect(b, &QAction::triggered, this, [this, a, b] { mViewPairClick(b, a); });
  }
  connect(mTempbartop, &QAction::triggered, this, [this] { mTempbarClick(true, mTempbartop); });
  connect(mTempBarTop2, &QAction::triggered, this, [this] { mTempbarClick(true, mTempBarTop2); });
  connect(mTempbarright, &QAction::triggered, this, [this] { mTempbarClick(false, mTempbarright); });
  connect(mTempbarright2, &QAction::triggered, this, [this] { mTempbarClick(false, mTempbarright2); });
  connect(mAlwaysOnTop, &QAction::triggered, this, [this] { mAlwaysOnTopClick(mAlwaysOnTop); });
  connect(mAlwaysontop2, &QAction::triggered, this, [this] {
    mAlwaysOnTop->setChecked(mAlwaysontop2->isChecked());
    mAlwaysOnTopClick(nullptr);
  });
  connect(mShowAllBars, &QAction::triggered, this, [this] { mShowAllBarsClick(); });
  connect(mShowAllBars2, &QAction::triggered, this, [this] { mShowAllBarsClick(); });
  connect(mHideAllBars, &QAction::triggered, this, [this] { mHideAllBarsClick(); });
  connect(mHideAllBars2, &QAction::triggered, this, [this] { mHideAllBarsClick(); });
  connect(mExit2, &QAction::triggered, this, [this] { close(); });

  // Timers.
  auto makeTimer = [this](const char* name, int interval) {
    auto* t = new QTimer(this);
    t->setObjectName(QString::fromLatin1(name));
    t->setInterval(interval);
    return t;
  };
  ConnectTimeOutTimer = makeTimer("ConnectTimeOutTimer", 4000);
  connect(ConnectTimeOutTimer, &QTimer::timeout, this, [this] { ConnectTimeOutTimerTimer(); });
  ReadConfigTimeOutTimer = makeTimer("ReadConfigTimeOutTimer", 5000);
  connect(ReadConfigTimeOutTimer, &QTimer::timeout, this, [this] { ReadConfigTimeOutTimerTimer(); });
  PollTimer = makeTimer("PollTimer", 500);
  PollTimer->setTimerType(Qt::PreciseTimer);
  connect(PollTimer, &QTimer::timeout, this, [this] { PollTimerTimer(); });
  BurstTimer = makeTimer("BurstTimer", 128);
  connect(BurstTimer, &QTimer::timeout, this, [this] { BurstTimerTimer(); });
  liveTextTimer_ = makeTimer("liveTextTimer", kLiveTextIntervalMs);
  liveTextTimer_->setSingleShot(true);
  connect(liveTextTimer_, &QTimer::timeout, this, [this] { ShowLiveTexts(); });
  tiMaximized = makeTimer("tiMaximized", 1000);
  tiMaximized->setSingleShot(true);
  connect(tiMaximized, &QTimer::timeout, this, [this] { mFullScreen->setChecked(isMaximized()); });

  // Chart events.
  Diagram_->OnBufferFull = [this](QObject* sender) { DiagramBufferFull(sender); };
  Diagram_->OnXRange = [this](QObject*, double, double) {
    windowStartPending_ = false;
    xWindowFromChart_ = true;
  };
  Diagram_->OnXScaleModeChanged = [this](QObject*, TDiagramScaleMode& mode) {
    btnPause->setChecked(mode == smManual && btnPause->isEnabled());
  };
  Diagram_->OnYScaleModeChanged = [this](QObject*, TDiagramScaleMode& mode) { scale_ = mode; };
  Diagram_->OnProcessDiagramPaint = [this](double value) {
    return static_cast<double>(SentinelUtils::CelsiusToUnit(fahrenheit_, static_cast<float>(value)));
  };

  Diagram_->OnMouseDown = [this](QObject*, Qt::MouseButton button, Qt::KeyboardModifiers, int, int) {
    if (button == Qt::LeftButton) StartWindowMove(false);
  };
  for (QWidget* w : {static_cast<QWidget*>(pnlControl), static_cast<QWidget*>(pnlDigital),
                     static_cast<QWidget*>(pnlGlowReadout2)})
    w->installEventFilter(this);
  for (int c = 0; c < 11; ++c) {
    for (TValuePanel* p : {&Panels1[c], &Panels2[c]}) {
      p->Box->installEventFilter(this);
      p->Label->installEventFilter(this);
    }
  }

  CreateDriver();
}

bool TThermaSentinelForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonDblClick) {
    // A value panel or its label opens an external display.
    const QObject* panel = watched->property("Tag").isValid() ? watched : watched->parent();
    if (panel != nullptr && panel->property("Tag").isValid()) {
      gbTAmbDblClick(watched);
      return true;
    }
  }
  if (event->type() == QEvent::MouseButtonPress &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    StartWindowMove(watched == pnlControl);
  }
  return QMainWindow::eventFilter(watched, event);
}

void TThermaSentinelForm::StartWindowMove(bool always) {
  if ((always || !isMaximized()) && windowHandle() != nullptr) windowHandle()->startSystemMove();
}

void TThermaSentinelForm::CreateMenus() {
  MainMenu = menuBar();
  MainMenu->setObjectName(QStringLiteral("MainMenu"));

  menuFile_ = MainMenu->addMenu(QStringLiteral("&File"));
  mFile = menuFile_->menuAction();
  mFile->setObjectName(QStringLiteral("mFile"));
  mOpen = AddItem(menuFile_, "mOpen", QStringLiteral("&Open ..."));
  mSave = AddItem(menuFile_, "mSave", QStringLiteral("&Save ..."));
  menuFile_->addSeparator();
  mExit = AddItem(menuFile_, "mExit", QStringLiteral("E&xit"));

  menuMeasurement_ = MainMenu->addMenu(QStringLiteral("&Measurement"));
  mMeasurement = menuMeasurement_->menuAction();
  mMeasurement->setObjectName(QStringLiteral("mMeasurement"));
  mScan = AddItem(menuMeasurement_, "mScan", QStringLiteral("S&can"));
  mDisconnect = AddItem(menuMeasurement_, "mDisconnect", QStringLiteral("&Disconnect"));
  menuMeasurement_->addSeparator();
  mStart = AddItem(menuMeasurement_, "mStart", QStringLiteral("S&tart"));
  mStop = AddItem(menuMeasurement_, "mStop", QStringLiteral("St&op"));
  mPause = AddItem(menuMeasurement_, "mPause", QStringLiteral("&Pause"));
  menuMeasurement_->addSeparator();
  mEmissivity = AddItem(menuMeasurement_, "mEmissivity", QStringLiteral("&Emissivity ..."));
  mLaserSeparator = menuMeasurement_->addSeparator();
  mLaserSeparator->setObjectName(QStringLiteral("mLaserSeparator"));
  mLASER = AddItem(menuMeasurement_, "mLASER", QStringLiteral("&LASER"));

  menuSetup_ = MainMenu->addMenu(QStringLiteral("&Setup"));
  mSetup = menuSetup_->menuAction();
  mSetup->setObjectName(QStringLiteral("mSetup"));
  mInterface = AddItem(menuSetup_, "mInterface", QStringLiteral("&Interface ..."));
  mMeasurementSettings =
      AddItem(menuSetup_, "mMeasurementSettings", QStringLiteral("&Measurement settings ..."));
  mDeviceSetup = AddItem(menuSetup_, "mDeviceSetup", QStringLiteral("&Device setup ..."));
  mLoopMaintenance = AddItem(menuSetup_, "mLoopMaintenance", QStringLiteral("&Loop maintenance ..."));
  mDeviceInfo = AddItem(menuSetup_, "mDeviceInfo", QStringLiteral("Device i&nfo ..."));
  menuSetup_->addSeparator();
  mViewSettings = AddItem(menuSetup_, "mViewSettings", QStringLiteral("&View settings ..."));
  mOptions = AddItem(menuSetup_, "mOptions", QStringLiteral("&Options ..."));
  mSetDefaultSettings = AddItem(menuSetup_, "mSetDefaultSettings", QStringLiteral("Default settings ..."));

  menuView_ = MainMenu->addMenu(QStringLiteral("&View"));
  mView = menuView_->menuAction();
  mView->setObjectName(QStringLiteral("mView"));
  mTitleBar = AddCheckItem(menuView_, "mTitleBar", QStringLiteral("Title bar"), true);
  mMenuBar = AddCheckItem(menuView_, "mMenuBar", QStringLiteral("Menu bar"), true);
  mToolBar = AddCheckItem(menuView_, "mToolBar", QStringLiteral("Tool bar"), true);
  mToolBarCap = AddCheckItem(menuView_, "mToolBarCap", QStringLiteral("Tool bar captions"), true);
  mStatusBar = AddCheckItem(menuView_, "mStatusBar", QStringLiteral("Status bar"), true);
  mTempbartop = AddCheckItem(menuView_, "mTempbartop", QStringLiteral("Values on top"));
  mTempbarright = AddCheckItem(menuView_, "mTempbarright", QStringLiteral("Values on the right"), true);
  mShowDiagram = AddCheckItem(menuView_, "mShowDiagram", QStringLiteral("Chart"), true);
  mAlwaysOnTop = AddCheckItem(menuView_, "mAlwaysOnTop", QStringLiteral("Always on top"));
  mFullScreen = AddCheckItem(menuView_, "mFullScreen", QStringLiteral("Full screen"));
  mShowAllBars = AddItem(menuView_, "mShowAllBars", QStringLiteral("Show all bars"));
  mHideAllBars = AddItem(menuView_, "mHideAllBars", QStringLiteral("Hide all bars"));
  menuView_->addSeparator();
  const char* channelItems[11] = {"mTObj", "mTInt", "mTBox", "mTAct", "mTQuot", "mTSingle",
                                  "mTau",  "mEps",  "mmVin", "mVcc",  "mTamb"};
  std::array<QAction**, 11> slots{&mTObj, &mTInt, &mTBox, &mTAct, &mTQuot, &mTSingle,
                                  &mTau,  &mEps,  &mmVin, &mVcc,  &mTamb};
  for (int c = 0; c < 11; ++c) {
    *slots[c] = AddCheckItem(menuView_, channelItems[c], QString::fromLatin1(kPanelCaptions[c]));
    QAction* item = *slots[c];
    connect(item, &QAction::triggered, this, [this, c, item] { mPanelToggleClick(c, item); });
  }
  menuView_->addSeparator();
  QMenu* chart = menuView_->addMenu(QStringLiteral("Chart &zoom"));
  mChart = chart->menuAction();
  mChart->setObjectName(QStringLiteral("mChart"));
  mTimeZoomIn = AddItem(chart, "mTimeZoomIn", QStringLiteral("Time zoom in"));
  mTimeZoomOut = AddItem(chart, "mTimeZoomOut", QStringLiteral("Time zoom out"));
  mTimeZoomFull = AddItem(chart, "mTimeZoomFull", QStringLiteral("Time zoom full"));
  mTempZoomIn = AddItem(chart, "mTempZoomIn", QStringLiteral("Temperature zoom in"));
  mTempZoomOut = AddItem(chart, "mTempZoomOut", QStringLiteral("Temperature zoom out"));
  mTempZoomFull = AddItem(chart, "mTempZoomFull", QStringLiteral("Temperature zoom full"));
  chart->addSeparator();
  mManualScaling = AddItem(chart, "mManualScaling", QStringLiteral("Manual scaling"));
  mGlobalScaling = AddItem(chart, "mGlobalScaling", QStringLiteral("Global scaling"));
  mLocalScaling = AddItem(chart, "mLocalScaling", QStringLiteral("Local scaling"));
  chart->addSeparator();
  mCopyToClipboard = AddItem(chart, "mCopyToClipboard", QStringLiteral("Copy to clipboard"));
  chart->addSeparator();
  mDiagramSettings = AddItem(chart, "mDiagramSettings", QStringLiteral("Diagram settings ..."));

  menuHelp_ = MainMenu->addMenu(QStringLiteral("&Help"));
  mHelp = menuHelp_->menuAction();
  mHelp->setObjectName(QStringLiteral("mHelp"));
  mHelpFile = AddItem(menuHelp_, "mHelpFile", QStringLiteral("&Help"));
  mURL = AddItem(menuHelp_, "mURL", QString());
  mAbout = AddItem(menuHelp_, "mAbout", QStringLiteral("&About ..."));
  mADC = AddItem(menuHelp_, "mADC", QStringLiteral("ADC"));
  mADC->setVisible(false);

  connect(mOpen, &QAction::triggered, this, [this] { mOpenClick(mOpen); });
  connect(mSave, &QAction::triggered, this, [this] { mSaveClick(mSave); });
  connect(mExit, &QAction::triggered, this, [this] { close(); });
  connect(mScan, &QAction::triggered, this, [this] { mScanClick(mScan); });
  connect(mDisconnect, &QAction::triggered, this, [this] { mDisconnectClick(mDisconnect); });
  connect(mStart, &QAction::triggered, this, [this] { mStartClick(mStart); });
  connect(mStop, &QAction::triggered, this, [this] { mStopClick(mStop); });
  connect(mPause, &QAction::triggered, this, [this] { btnPauseClick(mPause); });
  connect(mLASER, &QAction::triggered, this, [this] { mLASERClick(mLASER); });
  connect(mDeviceInfo, &QAction::triggered, this, [this] { mDeviceInfoClick(mDeviceInfo); });
  connect(mSetDefaultSettings, &QAction::triggered, this,
          [this] { mSetDefaultSettingsClick(mSetDefaultSettings); });
  connect(mAbout, &QAction::triggered, this, [this] { mAboutClick(mAbout); });
  connect(mFullScreen, &QAction::triggered, this, [this] { mFullScreenClick(mFullScreen); });
  connect(mTimeZoomIn, &QAction::triggered, this, [this] { Diagram_->XZoomIn(); });
  connect(mTimeZoomOut, &QAction::triggered, this, [this] { Diagram_->XZoomOut(); });
  connect(mTimeZoomFull, &QAction::triggered, this, [this] { Diagram_->XZoomFull(); });
  connect(mTempZoomIn, &QAction::triggered, this, [this] { Diagram_->YZoomIn(); });
  connect(mTempZoomOut, &QAction::triggered, this, [this] { Diagram_->YZoomOut(); });
  connect(mTempZoomFull, &QAction::triggered, this, [this] {
    Diagram_->SetYRangeMin(deviceTmin_);
    Diagram_->SetYRangeMax(deviceTmax_);
    Diagram_->YZoomFull();
  });
  connect(mManualScaling, &QAction::triggered, this, [this] { Diagram_->SetYScaleMode(smManual); });
  connect(mGlobalScaling, &QAction::triggered, this, [this] { Diagram_->SetYScaleMode(smGlobal); });
  connect(mLocalScaling, &QAction::triggered, this, [this] { Diagram_->SetYScaleMode(smLocal); });
  connect(mCopyToClipboard, &QAction::triggered, this, [this] { Diagram_->CopyToClipboard(); });
  connect(mHelpFile, &QAction::triggered, this,
          [this] { HelpCommands::OpenHelpFile(this, *LIS_, {}, OnShowMessage); });
  connect(mURL, &QAction::triggered, this, [this] { HelpCommands::OpenWebLink(mURL->text()); });
  // The device's own dialogs (enabled only when its type has them).
  connect(mDeviceSetup, &QAction::triggered, this, [this] { mDeviceSetupClick(mDeviceSetup); });
  connect(mLoopMaintenance, &QAction::triggered, this, [this] { mLoopMaintenanceClick(mLoopMaintenance); });
  connect(mInterface, &QAction::triggered, this, [this] { mInterfaceClick(mInterface); });
  connect(mViewSettings, &QAction::triggered, this, [this] { mViewSettingsClick(mViewSettings); });
  connect(mDiagramSettings, &QAction::triggered, this, [this] { mDiagramSettingsClick(mDiagramSettings); });
  connect(mOptions, &QAction::triggered, this, [this] { mOptionsClick(mOptions); });
  connect(mMeasurementSettings, &QAction::triggered, this,
          [this] { mMeasurementSettingsClick(mMeasurementSettings); });
  connect(mEmissivity, &QAction::triggered, this, [this] { mEmissivityClick(mEmissivity); });
}

void TThermaSentinelForm::CreateToolBar() {
  ToolBar = new QFrame(pnlControl);
  ToolBar->setObjectName(QStringLiteral("ToolBar"));
  auto* row = new QHBoxLayout(ToolBar);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  auto separator = [this, row] {
    auto* line = new QFrame(ToolBar);
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Sunken);
    row->addWidget(line);
  };
  auto add = [this, row](const char* name, const QString& text, QAction* twin, QStyle::StandardPixmap icon) {
    auto* b = new QToolButton(ToolBar);
    b->setObjectName(QString::fromLatin1(name));
    b->setText(text);
    b->setIcon(style()->standardIcon(icon));
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setAutoRaise(true);
    b->setIconSize(QSize(16, 16));
    row->addWidget(b);
    if (twin != nullptr)
      connect(b, &QToolButton::clicked, this, [this, b, twin] {
        if (twin == mScan)
          mScanClick(b);
        else if (twin == mDisconnect)
          mDisconnectClick(b);
        else if (twin == mStart)
          mStartClick(b);
        else if (twin == mStop)
          mStopClick(b);
        else if (twin == mPause)
          btnPauseClick(b);
        else if (twin == mOpen)
          mOpenClick(b);
        else if (twin == mSave)
          mSaveClick(b);
        else if (twin == mDeviceInfo)
          mDeviceInfoClick(b);
        else if (twin == mDeviceSetup)
          mDeviceSetupClick(b);
        else if (twin == mLASER)
          mLASERClick(b);
        else if (twin == mEmissivity)
          mEmissivityClick(b);
      });
    return b;
  };
  btnOpen = add("btnOpen", QStringLiteral("Open"), mOpen, QStyle::SP_DialogOpenButton);
  btnSave = add("btnSave", QStringLiteral("Save"), mSave, QStyle::SP_DialogSaveButton);
  separator();
  btnScan = add("btnScan", QStringLiteral("Scan"), mScan, QStyle::SP_BrowserReload);
  btnDisconnect =
      add("btnDisconnect", QStringLiteral("Disconnect"), mDisconnect, QStyle::SP_DialogCloseButton);
  separator();
  btnStart = add("btnStart", QStringLiteral("Start"), mStart, QStyle::SP_MediaPlay);
  btnStop = add("btnStop", QStringLiteral("Stop"), mStop, QStyle::SP_MediaStop);
  btnPause = add("btnPause", QStringLiteral("Pause"), mPause, QStyle::SP_MediaPause);
  btnPause->setCheckable(true);
  separator();
  btnDeviceInfo = add("btnDeviceInfo", QStringLiteral("Info"), mDeviceInfo, QStyle::SP_MessageBoxInformation);
  btnDeviceSetup =
      add("btnDeviceSetup", QStringLiteral("Setup"), mDeviceSetup, QStyle::SP_FileDialogDetailedView);
  btnEmissivity = add("btnEmissivity", QStringLiteral("Emissivity"), mEmissivity, QStyle::SP_ArrowRight);
  btnLASER = add("btnLASER", QStringLiteral("LASER"), mLASER, QStyle::SP_DialogYesButton);
  btnLASER->setCheckable(true);
}

void TThermaSentinelForm::CreatePanels() {
  auto* right = static_cast<QVBoxLayout*>(pnlGlowReadout2->layout());
  ValuePanels.Create(pnlDigital, static_cast<QHBoxLayout*>(pnlDigital->layout()), pnlGlowReadout2, right);
  right->addStretch(1);
}

void TThermaSentinelForm::CreateStatusBar() {
  StatusBar_ = new PanelStatusBar(this);
  StatusBar_->setObjectName(QStringLiteral("StatusBar"));
  const int widths[7] = {100, 35, 85, 45, 50, 200, 50};
  const QString texts[7] = {QStringLiteral("COM:"),
                            QStringLiteral("XX"),
                            QStringLiteral("Cycle: 0.00ms"),
                            QString(),
                            QString(),
                            QString(),
                            QString()};
  for (int i = 0; i < 7; ++i) StatusBar_->AddPanel(texts[i], widths[i]);
  // Each panel is as wide as its text and 10 pixels; panel 3 keeps the
  // width of the progress bar it holds, and panel 4 (the data file and its
  // progress) takes what the others leave. The bar places its panels
  // itself: a new text moves nothing else in the window.
  for (int i : {0, 1, 2, 5, 6}) StatusBar_->SetFitToText(i, 10);
  StatusBar_->SetStretchPanel(4);
  StatusBar_->Panel(1)->setAlignment(Qt::AlignCenter);
  ProgressBar = new QProgressBar(StatusBar_->Panel(3));
  ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
  ProgressBar->setRange(0, 100);
  ProgressBar->setValue(0);
  ProgressBar->setTextVisible(false);
  auto* l = new QHBoxLayout(StatusBar_->Panel(3));
  l->setContentsMargins(1, 2, 1, 2);
  l->addWidget(ProgressBar);
  setStatusBar(StatusBar_);
}

// ---------------------------------------------------------------------------
// Value panels

std::uint16_t TThermaSentinelForm::DeliveredChannels() const {
  if (state_ < csConnected || family_ == nullptr) return TValuePanelModel::kAllChannels;
  TViewSettings view;
  view.DeviceType = deviceTypeCode_;
  view.Measuring = state_;
  const bool fast = burstFastLayout_ && state_ >= csMeasuring && measureMode_ == MeasureMode::Burst;
  std::uint16_t delivered = 0;
  for (int c = 0; c < 11; ++c) {
    if (ViewSettingsRows::RowLock(view, c, fast) != ViewSettingsRows::Lock::NotDelivered)
      delivered |= TChannelSample::Bit(c);
  }
  return delivered;
}

void TThermaSentinelForm::ShowStartTexts() {
  ValuePanels.SetDelivered(DeliveredChannels());
  for (int c = 0; c < 11; ++c) ValuePanels.ShowText(c, TValuePanelModel::StartText(c, fahrenheit_));
}

void TThermaSentinelForm::FitTopPanel(TValuePanel& panel) {
  const int boxHeight = std::max(24, pnlControl->height() - 4);
  panel.Box->setFixedHeight(boxHeight);
  const int labelHeight = std::max(8, boxHeight - 23);
  QFont f = panel.Label->font();
  f.setPixelSize(labelHeight);
  panel.Label->setFont(f);
  const int labelWidth =
      QFontMetrics(f).horizontalAdvance(QStringLiteral("9999.9") + SentinelUtils::UnitCelsiusText);
  TValuePanels::FitLabel(panel.Label, labelWidth, labelHeight);
  panel.Box->setFixedWidth(labelWidth + 15);
}

void TThermaSentinelForm::pnlControlResize() {
  if (!pnlDigital->isVisible() && !mTempbartop->isChecked()) return;
  int sum = 0;
  for (int i : TValuePanels::kOrder) {
    FitTopPanel(Panels1[i]);
    if (!Panels1[i].Box->isHidden()) sum += Panels1[i].Box->width();
  }
  pnlDigital->setFixedWidth(sum + 4 + 2 * 11 + 8);
}

void TThermaSentinelForm::pnlGlowReadout2Resize() {
  QFont scratch = font();
  scratch.setPixelSize(20);
  const double r = std::max(1.0, QFontMetrics(scratch).horizontalAdvance(QStringLiteral("9999.99") +
                                                                         SentinelUtils::UnitCelsiusText) /
                                     20.0);
  const int width = std::max(70, pnlGlowReadout2->width()) - 2;
  for (int i : TValuePanels::kOrder) {
    TValuePanel& p = Panels2[i];
    const int labelWidth = std::max(10, width - 8);
    QFont f = p.Label->font();
    f.setPixelSize(std::max(8, static_cast<int>(std::lround(labelWidth / r))));
    p.Label->setFont(f);
    const int labelHeight = QFontMetrics(f).height();
    // The label's width stays inside the box's margins and frame, so the
    // column never widens for it.
    TValuePanels::FitLabel(p.Label, std::max(10, labelWidth - 4), labelHeight);
    p.Box->setFixedHeight(labelHeight + QFontMetrics(p.Box->font()).height() + 6);
  }
}

void TThermaSentinelForm::ArrangePanels() {
  const bool top = mTempbartop->isChecked();
  const bool right = mTempbarright->isChecked();
  std::uint16_t shown = 0;
  for (int c = 0; c < 11; ++c) {
    if (graph_[c].ShowDigital) shown |= TChannelSample::Bit(c);
  }
  ValuePanels.Arrange(shown, top, right);
  for (int c = 0; c < 11; ++c) {
    for (TValuePanel* p : {&Panels1[c], &Panels2[c]}) {
      QPalette pal = p->Box->palette();
      pal.setColor(QPalette::WindowText, ColorOf(graph_[c].Color));
      p->Box->setPalette(pal);
      p->Label->setPalette(pal);
    }
  }
  pnlDigital->setVisible(top);
  if (!top) pnlDigital->setFixedWidth(0);
  pnlGlowReadout2->setVisible(right);
  if (top) pnlControlResize();
  if (right) pnlGlowReadout2Resize();
}

// ---------------------------------------------------------------------------
// View commands

void TThermaSentinelForm::mViewPairClick(QAction* item, QAction* twin) {
  // The item has toggled itself; the twin follows.
  twin->setChecked(item->isChecked());
  UpdateState();
}

void TThermaSentinelForm::mPanelToggleClick(int channel, QAction* item) {
  graph_[channel].ShowDigital = item->isChecked();
  UpdateState();
  ArrangePanels();
  pnlControlResize();
  pnlControlResize();
}

void TThermaSentinelForm::mTempbarClick(bool top, QAction* sender) {
  QAction* item = top ? mTempbartop : mTempbarright;
  QAction* twin = top ? mTempBarTop2 : mTempbarright2;
  const bool on = sender->isChecked();
  item->setChecked(on);
  twin->setChecked(on);
  if (on) {
    (top ? mTempbarright : mTempbartop)->setChecked(false);
    (top ? mTempbarright2 : mTempBarTop2)->setChecked(false);
  }
  ArrangePanels();
  UpdateState();
}

void TThermaSentinelForm::CopyChecksToTwins() {
  for (auto [item, twin] : {std::pair{mStatusBar, mStatusbar2},
                            {mToolBar, mToolbar2},
                            {mToolBarCap, mToolBarCap2},
                            {mTempbartop, mTempBarTop2},
                            {mTempbarright, mTempbarright2},
                            {mAlwaysOnTop, mAlwaysontop2},
                            {mTitleBar, mTitleBar2},
                            {mMenuBar, mMenuBar2},
                            {mShowDiagram, mShowDiagram2}}) {
    twin->setChecked(item->isChecked());
  }
}

void TThermaSentinelForm::mShowAllBarsClick() {
  for (QAction* a : {mTitleBar, mMenuBar, mStatusBar, mToolBar, mToolBarCap, mTempbartop, mShowDiagram})
    a->setChecked(true);
  mTempbarright->setChecked(false);
  CopyChecksToTwins();
  ArrangePanels();
  UpdateState();
  mAlwaysOnTopClick(nullptr);
}

void TThermaSentinelForm::mHideAllBarsClick() {
  for (QAction* a : {mTitleBar, mMenuBar, mStatusBar, mToolBar, mToolBarCap, mTempbartop, mTempbarright})
    a->setChecked(false);
  CopyChecksToTwins();
  ArrangePanels();
  UpdateState();
  mAlwaysOnTopClick(nullptr);
}

void TThermaSentinelForm::mAlwaysOnTopClick(QObject* Sender) {
  // A menu item has toggled itself already; without a sender the check
  // mark stands and is only applied.
  (void)Sender;
  mAlwaysontop2->setChecked(mAlwaysOnTop->isChecked());
  const bool on = mAlwaysOnTop->isChecked();
  if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) != on) {
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (visible) show();
  }
  alphaBlend_ = on;
  setWindowOpacity(on ? AlphaBlendValue / 255.0 : 1.0);
}

void TThermaSentinelForm::Memo1Change() {
  // The line added here changes the memo too.
  if (memo1Changing_ || Diagram_ == nullptr) return;
  memo1Changing_ = true;
  Memo1->append(QStringLiteral("Ymin : ") + NumberText::FormatFixed(Diagram_->YRangeMin(), 1));
  memo1Changing_ = false;
}

void TThermaSentinelForm::mFullScreenClick(QObject*) {
  if (mFullScreen->isChecked())
    setWindowState(windowState() | Qt::WindowMaximized);
  else
    setWindowState(windowState() & ~Qt::WindowMaximized);
}

void TThermaSentinelForm::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  if (tiMaximized != nullptr) tiMaximized->start();
  StatusBarResize();
}

void TThermaSentinelForm::ApplyViewOptions() {
  MainMenu->setVisible(mMenuBar->isChecked());
  ToolBar->setVisible(mToolBar->isChecked());
  const Qt::ToolButtonStyle style =
      mToolBarCap->isChecked() ? Qt::ToolButtonTextUnderIcon : Qt::ToolButtonIconOnly;
  for (QToolButton* b : ToolBar->findChildren<QToolButton*>()) b->setToolButtonStyle(style);
  StatusBar_->setVisible(mStatusBar->isChecked());
  Diagram_->setVisible(mShowDiagram->isChecked());
  pnlControl->setVisible(mToolBar->isChecked() || mTempbartop->isChecked());
  const bool frameless = !mTitleBar->isChecked();
  if (windowFlags().testFlag(Qt::FramelessWindowHint) != frameless) {
    const bool visible = isVisible();
    setWindowFlag(Qt::FramelessWindowHint, frameless);
    if (visible) show();
  }
}

void TThermaSentinelForm::SetStatusText(int panel, const QString& text) {
  if (StatusBar_->PanelText(panel) == text) return;
  StatusBar_->SetPanelText(panel, text);
}

void TThermaSentinelForm::StatusBarResize() {
  if (StatusBar_ != nullptr) StatusBar_->update();
}

void TThermaSentinelForm::SetProgress(int percent) {
  ProgressBar->setValue(std::clamp(percent, 0, 100));
  if (percent <= 0) ProgressBar->setTextVisible(false);
}

// ---------------------------------------------------------------------------
// Chart set-up

void TThermaSentinelForm::ApplyChartSettings() {
  TDiagram& d = *Diagram_;
  d.SetYRangeMin(config_->ReadYRangeMin());
  d.SetYRangeMax(config_->ReadYRangeMax());
  double yMin = config_->ReadMinScale();
  double yMax = config_->ReadMaxScale();
  if (std::fabs(yMin - yMax) < 0.1) {
    if (yMin >= d.YRangeMax() - 10)
      yMin = yMax - 1;
    else
      yMax = yMin + 1;
  }
  yMin = std::max(yMin, d.YRangeMin());
  yMax = std::min(yMax, d.YRangeMax());
  d.SetYMin(yMin);
  d.SetYMax(yMax);
  d.SetYScaleMode(static_cast<TDiagramScaleMode>(std::clamp(scale_, 0, 2)));
  d.SetMemoryMode(config_->ReadOnMaxData() == 1 ? dmmOverwrite : dmmStop);
  d.SetResolution(config_->ReadResolution());
  d.SetXExcludeRanging(0.0);
  if (!(initialTime_ > 0.0f)) initialTime_ = 10.0f;
  d.Reset(smLocal, 0.0, initialTime_);
  for (int c = 0; c < 11; ++c) d.SetGraph(c, graph_[c]);
}

void TThermaSentinelForm::PrepareChart() {
  TDiagram& d = *Diagram_;
  RestoreLiveChartView();
  valueAxisFromSample_ = true;
  double lo = deviceTmin_;
  double hi = deviceTmax_;
  if (graph_[ChannelValues::TInt].ShowDiagram || graph_[ChannelValues::TBox].ShowDiagram)
    lo = std::min(lo, -50.0);
  if (deviceTypeCode_ == DeviceType::ArgoRatio &&
      (graph_[ChannelValues::Tau].ShowDiagram ||
       (graph_[ChannelValues::TObj].ShowDiagram && RatioPercentMode()))) {
    lo = std::min(lo, -50.0);
    hi = std::max(hi, 100.0);
  }
  d.SetYRangeMin(lo);
  d.SetYRangeMax(hi);
  d.SetMemoryMode(config_->ReadOnMaxData() == 1 ? dmmOverwrite : dmmStop);
  d.SetResolution(config_->ReadResolution());
  const double w = useInitialTime_ ? initialTime_ : d.XMax() - d.XMin();
  d.Reset(smLocal, 0.0, w > 0.0 ? w : 10.0);
  values_.fill(config_->ReadMinScale());
  d.SetYScaleMode(static_cast<TDiagramScaleMode>(std::clamp(scale_, 0, 2)));
  d.SetXConstDiff(true);
  for (int c = 0; c < 11; ++c) d.SetGraph(c, graph_[c]);
  if (DeviceType::IsBrioFirstGeneration(deviceTypeCode_)) {
    // The first-generation family has no box temperature, and its first
    // 1.6 s do not count for the ranging.
    TGraphProperties box = graph_[ChannelValues::TBox];
    box.ShowDiagram = false;
    d.SetGraph(ChannelValues::TBox, box);
    d.SetXExcludeRanging(1.6);
  } else {
    d.SetXExcludeRanging(1.0);
  }
}

void TThermaSentinelForm::btnPauseClick(QObject*) {
  Diagram_->SetXScaleMode(Diagram_->XScaleMode() == smLocal ? smManual : smLocal);
  btnPause->setChecked(Diagram_->XScaleMode() == smManual);
}

// ---------------------------------------------------------------------------
// Language

void TThermaSentinelForm::LISLanguageChange() {
  if (!caption_.isEmpty()) setWindowTitle(caption_);
  const QString msg = QStringLiteral("Messages");
  SentinelUtils::UnitCelsiusText = LIS_->ReadText(QStringLiteral("UnitCelsius"), QStringLiteral("°C"), msg);
  SentinelUtils::UnitFahrenheitText =
      LIS_->ReadText(QStringLiteral("UnitFahrenheit"), QStringLiteral("°F"), msg);
  SentinelUtils::UnitMByteText = LIS_->ReadText(QStringLiteral("UnitMByte"), QStringLiteral("MB"), msg);
  SentinelUtils::UnitKByteText = LIS_->ReadText(QStringLiteral("UnitKByte"), QStringLiteral("KB"), msg);
  SentinelUtils::OverflowText = LIS_->ReadText(QStringLiteral("Overflow"), QStringLiteral("O"), msg);
  SentinelUtils::UnderflowText = LIS_->ReadText(QStringLiteral("Underflow"), QStringLiteral("U"), msg);
  SentinelUtils::CycleText = LIS_->OtherTextOrKey(QStringLiteral("Cycle"));

  const char* keys[11] = {LNG_OTHER_KEY("TObj"), LNG_OTHER_KEY("TInt"), LNG_OTHER_KEY("TBox"),
                          LNG_OTHER_KEY("TAct"), LNG_OTHER_KEY("T_2C"), LNG_OTHER_KEY("T_1C"),
                          LNG_OTHER_KEY("TAU"),  LNG_OTHER_KEY("Eps"),  LNG_OTHER_KEY("mVin"),
                          LNG_OTHER_KEY("Vcc"),  LNG_OTHER_KEY("TAmb")};
  for (int c = 0; c < 11; ++c) graph_[c].Name = LIS_->OtherTextOrKey(QString::fromLatin1(keys[c]));
  for (int c = 0; c < 11 && Diagram_->GraphCount() == 11; ++c) Diagram_->SetGraph(c, graph_[c]);

  auto plain = [](const QAction* a) { return QString(a->text()).remove(QLatin1Char('&')); };
  Diagram_->SetHintXZoomIn(plain(mTimeZoomIn));
  Diagram_->SetHintXZoomOut(plain(mTimeZoomOut));
  Diagram_->SetHintXZoomFull(plain(mTimeZoomFull));
  Diagram_->SetHintYZoomIn(plain(mTempZoomIn));
  Diagram_->SetHintYZoomOut(plain(mTempZoomOut));
  Diagram_->SetHintYZoomFull(plain(mTempZoomFull));
  Diagram_->SetHintContinue(LIS_->OtherTextOrKey(QStringLiteral("Continue")));
  Diagram_->SetHintHold(LIS_->OtherTextOrKey(QStringLiteral("Hold")));
  Diagram_->SetHintGlobal(plain(mGlobalScaling));
  Diagram_->SetHintLocal(plain(mLocalScaling));
  Diagram_->SetHintXScroll(LIS_->OtherTextOrKey(QStringLiteral("TimeScroll")));
  Diagram_->SetHintYScroll(LIS_->OtherTextOrKey(QStringLiteral("TempScroll")));

  for (auto [twin, item] : {std::pair{mToolbar2, mToolBar},
                            {mToolBarCap2, mToolBarCap},
                            {mTitleBar2, mTitleBar},
                            {mStatusbar2, mStatusBar},
                            {mMenuBar2, mMenuBar},
                            {mTempBarTop2, mTempbartop},
                            {mTempbarright2, mTempbarright},
                            {mShowDiagram2, mShowDiagram},
                            {mView2, mView},
                            {mShowAllBars2, mShowAllBars},
                            {mHideAllBars2, mHideAllBars},
                            {mAlwaysontop2, mAlwaysOnTop},
                            {mExit2, mExit}}) {
    twin->setText(item->text());
  }
  UpdateDisplayMenus();
  SendDisplayTexts();
  if (started_) UpdateState();
  ArrangePanels();
}
