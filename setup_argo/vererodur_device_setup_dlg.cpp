#include "setup_argo/vererodur_device_setup_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

#include "drivers/argo/pyreon_argo.h"
#include "drivers/sentinel_utils.h"
#include "measurement/argo_family.h"
#include "setup_argo/jog_image.h"
#include "setup_argo/vererodur_calibration_page.h"
#include "setup_argo/vererodur_display_page.h"
#include "setup_common/sequence_progress_row.h"
#include "setup_common/setup_post_processing_group.h"
#include "ui/d_spin_edit.h"
#include "ui/event_adapters.h"
#include "ui/form_registry.h"
#include "ui/idle_hook.h"
#include "ui/lng_ini_supp.h"
#include "ui/loading_guard.h"
#include "ui/named_widgets.h"
#include "ui/radio_group.h"

using Planner = RatioSetupParamPlanner;

using namespace NamedWidgets;

namespace {

enum PageIndex { kPageOutput = 0, kPageSignal = 1, kPageDisplay = 2, kPageAdvanced = 3, kPageKali = 4 };

// A live value panel.
QLabel* Panel(QWidget* parent, const char* name) {
  QLabel* panel = Label(parent, name, QString());
  panel->setFrameShape(QFrame::Panel);
  panel->setFrameShadow(QFrame::Sunken);
  panel->setAlignment(Qt::AlignCenter);
  panel->setMinimumWidth(70);
  return panel;
}

QLineEdit* Edit(QWidget* parent, const char* name, int tag, const QString& text) {
  auto* edit = new QLineEdit(text, parent);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setProperty("Tag", tag);
  edit->setMaximumWidth(80);
  return edit;
}

TJogImage* Jog(QWidget* parent, const char* name) {
  auto* image = new TJogImage(parent);
  image->setObjectName(QString::fromLatin1(name));
  // Beside its edit; a drag reaches the faster steps beyond the image.
  image->setFixedSize(22, 60);
  return image;
}

}  // namespace

TVererodurDeviceSetupDlg::TVererodurDeviceSetupDlg(QWidget* owner)
    : QDialog(owner), FAlive(std::make_shared<bool>(true)) {
  setObjectName(QStringLiteral("VererodurDeviceSetupDlg"));
  setWindowTitle(QStringLiteral("Device Setup"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinMaxButtonsHint);
  BuildForm();
  WireHandlers();
  FProgressRow->Follow(FSequence);
  FSequence.SetInputEnabled = [this](bool enabled) { SetInputEnabled(enabled); };
  FJogClock.start();
  FormRegistry::Add(this);
}

TVererodurDeviceSetupDlg::~TVererodurDeviceSetupDlg() {
  *FAlive = false;
  if (FIdleId != 0) IdleHook::Instance().Detach(FIdleId);
}

void TVererodurDeviceSetupDlg::SetDevice(ArgoFamily* device) {
  if (device == FDevice && (device == nullptr || FSetupSession)) return;
  FDevice = device;
  FSetupSession = device ? std::make_unique<ArgoSetupSession>(*device) : nullptr;
  FSequence.DeviceChanged();
  FLiveInFlight = false;
  FLoaded = false;
  DisplayPage->Bind(FSetupSession.get(), FLng);
  CalibrationPage->Bind(FSetupSession.get(), FLng);
}

int TVererodurDeviceSetupDlg::ActivePage() const { return VereRodurDeviceSetup_PageControl->currentIndex(); }

void TVererodurDeviceSetupDlg::SetActivePage(int index) {
  if (index >= 0 && index < VereRodurDeviceSetup_PageControl->count() &&
      VereRodurDeviceSetup_PageControl->isTabVisible(index)) {
    VereRodurDeviceSetup_PageControl->setCurrentIndex(index);
  }
}

bool TVererodurDeviceSetupDlg::WritePending() const {
  return ParamChangeTimer->isActive() || DisplayPage->WritePending();
}

bool TVererodurDeviceSetupDlg::DeviceWorkPending() const {
  return FSequence.JobsInFlight() > 0 || !FLoaded || FormShowTimer->isActive() || FSequence.Running() ||
         FPageWork || DisplayPage->Busy() || CalibrationPage->Busy();
}

void TVererodurDeviceSetupDlg::SetComboItem(QComboBox* combo, int item) {
  combo->setCurrentIndex(item >= 0 && item < combo->count() ? item : -1);
}

QString TVererodurDeviceSetupDlg::OtherText(const QString& key, const QString& defaultText) const {
  return FLng ? FLng->OtherText(key, defaultText) : defaultText;
}

QString TVererodurDeviceSetupDlg::OtherTextOrKey(const QString& key) const {
  return FLng ? FLng->OtherTextOrKey(key) : key;
}

std::array<TJogImage*, RatioDisplayJog::ImageCount> TVererodurDeviceSetupDlg::JogImages() const {
  return {imgEpsilon, imgSlope, imgGain1C, imgGain2C, imgTauMin};
}

std::array<QLineEdit*, RatioDisplayJog::ImageCount> TVererodurDeviceSetupDlg::JogEdits() const {
  return {eEpsilon, eSlope, eGain1C, eGain2C, eAttMax};
}

// --- Form ----------------------------------------------------------------------------

void TVererodurDeviceSetupDlg::BuildForm() {
  stSerial = Label(this, "stSerial", QStringLiteral("00000000"));
  stFirmware = Label(this, "stFirmware", QStringLiteral("0.000"));
  auto* header = new QHBoxLayout;
  header->addWidget(Label(this, "lblSerial", QStringLiteral("Serial No.:")));
  header->addWidget(stSerial);
  header->addSpacing(20);
  header->addWidget(Label(this, "lblFirmware", QStringLiteral("Firmware Rev.:")));
  header->addWidget(stFirmware);
  header->addStretch(1);

  VereRodurDeviceSetup_PageControl = new QTabWidget(this);
  VereRodurDeviceSetup_PageControl->setObjectName(QStringLiteral("VereRodurDeviceSetup_PageControl"));
  TabSheetOutput = BuildOutputPage();
  TabSheetSignal = BuildSignalPage();
  TabSheetVisualAlarm = new QWidget;
  TabSheetVisualAlarm->setObjectName(QStringLiteral("TabSheetVisualAlarm"));
  DisplayPage = new TVererodurDisplayPage(TabSheetVisualAlarm);
  (new QVBoxLayout(TabSheetVisualAlarm))->addWidget(DisplayPage);
  TabSheetAdvanced = BuildAdvancedPage();
  Kali = new QWidget;
  Kali->setObjectName(QStringLiteral("Kali"));
  // The calibration page is taller than the others: it scrolls where the
  // dialog's client area cannot hold it.
  auto* kaliScroll = new QScrollArea(Kali);
  kaliScroll->setObjectName(QStringLiteral("KaliScroll"));
  kaliScroll->setFrameShape(QFrame::NoFrame);
  kaliScroll->setWidgetResizable(true);
  CalibrationPage = new TVererodurCalibrationPage;
  kaliScroll->setWidget(CalibrationPage);
  auto* kaliLayout = new QVBoxLayout(Kali);
  kaliLayout->setContentsMargins(0, 0, 0, 0);
  kaliLayout->addWidget(kaliScroll);
  VereRodurDeviceSetup_PageControl->addTab(TabSheetOutput, QStringLiteral("Output signals"));
  VereRodurDeviceSetup_PageControl->addTab(TabSheetSignal, QStringLiteral("Signal processing"));
  VereRodurDeviceSetup_PageControl->addTab(TabSheetVisualAlarm, QStringLiteral("Display settings"));
  VereRodurDeviceSetup_PageControl->addTab(TabSheetAdvanced, QStringLiteral("Advanced settings"));
  VereRodurDeviceSetup_PageControl->addTab(Kali, QStringLiteral("Calibration"));
  VereRodurDeviceSetup_PageControl->setTabVisible(kPageKali, false);

  FProgressRow = new TSequenceProgressRow(this);
  lblProgress = FProgressRow->Caption;
  pbProgress = FProgressRow->Bar;
  btnStopSequence = FProgressRow->StopButton;

  btnOK = Button(this, "btnOK", QStringLiteral("&OK"));
  btnOK->setDefault(true);
  btnCancel = Button(this, "btnCancel", QStringLiteral("&Cancel"));
  btnSave = Button(this, "btnSave", QStringLiteral("Save Config"));
  btnLoad = Button(this, "btnLoad", QStringLiteral("Load Config"));
  btnDefault = Button(this, "btnDefault", QStringLiteral("Factory default"));
  btnDefault->hide();
  // Unit labels that follow no control: they carry the unit text like the
  // others but are not shown.
  TempLbl7 = Label(this, "TempLbl7", QStringLiteral("[--]"));
  TempLbl8 = Label(this, "TempLbl8", QStringLiteral("[--]"));
  TempLbl9 = Label(this, "TempLbl9", QStringLiteral("[--]"));
  TempLbl10 = Label(this, "TempLbl10", QStringLiteral("[--]"));
  for (QLabel* unit : {TempLbl7, TempLbl8, TempLbl9, TempLbl10}) unit->hide();
  auto* buttons = new QVBoxLayout;
  buttons->addWidget(btnOK);
  buttons->addWidget(btnCancel);
  buttons->addSpacing(12);
  buttons->addWidget(btnSave);
  buttons->addWidget(btnLoad);
  buttons->addWidget(btnDefault);
  buttons->addStretch(1);

  auto* body = new QHBoxLayout;
  body->addWidget(VereRodurDeviceSetup_PageControl, 1);
  body->addLayout(buttons);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->addLayout(header);
  layout->addLayout(body, 1);
  layout->addLayout(FProgressRow);
  // A compact form: the pages fit the dialog's client area.
  for (QLayout* l : findChildren<QLayout*>()) {
    if (l == layout) continue;
    l->setSpacing(3);
    if (qobject_cast<QGroupBox*>(l->parentWidget())) l->setContentsMargins(6, 3, 6, 3);
  }
  for (QWidget* p : {TabSheetOutput, TabSheetSignal, TabSheetAdvanced})
    p->layout()->setContentsMargins(4, 4, 4, 4);
  // Every page caption whole: the dialog is as wide as its tabs need.
  VereRodurDeviceSetup_PageControl->setElideMode(Qt::ElideNone);
  VereRodurDeviceSetup_PageControl->setUsesScrollButtons(false);
  resize(kClientWidth, kClientHeight);

  const auto timer = [this](const char* name, int interval) {
    auto* t = new QTimer(this);
    t->setObjectName(QString::fromLatin1(name));
    t->setInterval(interval);
    return t;
  };
  SetupChangeTimer::TRules changeRules;
  changeRules.intervalMs = kEditDelayMs;  // choices pass kChoiceDelayMs
  changeRules.tags = SetupChangeTimer::TagRule::LastWins;
  changeRules.fireWhenLeft = true;
  changeRules.okDisabledWhilePending = true;
  changeRules.retryWhileBusy = true;
  ParamChangeTimer = new SetupChangeTimer(this, QStringLiteral("ParamChangeTimer"), changeRules);
  ParamChangeTimer->OkButton = btnOK;
  // Another job of the dialog on its way: the change tries again after the interval.
  ParamChangeTimer->Busy = [this] { return !FClosing && (FBusy || FSequence.Running() || FPageWork); };
  tiChange = timer("tiChange", RatioDisplayJog::kTickMs);
  tiAnzeige = timer("tiAnzeige", kLiveMs);
  FormShowTimer = timer("FormShowTimer", kFormShowMs);
  FormShowTimer->setSingleShot(true);
  FRefreshTimer = timer("RefreshTimer", kRefreshMs);
}

QWidget* TVererodurDeviceSetupDlg::BuildOutputPage() {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("TabSheetOutput"));

  gbOutputChannel1 = Group(page, "gbOutputChannel1", QStringLiteral("Output channel 1 (TObj):"));
  lblProcessSource = Label(gbOutputChannel1, "lblProcessSource", QStringLiteral("Source :"));
  cbProcessSource = Combo(gbOutputChannel1, "cbProcessSource",
                          {QStringLiteral("T 2C"), QStringLiteral("T 1C"), QStringLiteral("Attenuation")});
  cbProcessSource->setProperty("Tag", 5);
  gbOutputMode4 = Group(gbOutputChannel1, "gbOutputMode4", QStringLiteral("Output:"));
  gbOutputMode4->setFocusPolicy(Qt::TabFocus);
  lblOutputMode = Label(gbOutputMode4, "lblOutputMode", QStringLiteral("Mode:"));
  cbOutputMode4 = Combo(gbOutputMode4, "cbOutputMode4",
                        {QStringLiteral("0..10V"), QStringLiteral("0..5V"), QStringLiteral("0..20mA"),
                         QStringLiteral("4..20mA")});
  lblConnectPin = Label(gbOutputMode4, "lblConnectPin", QStringLiteral("Connect your hardware to pin:"));
  stOutputRemark = Label(gbOutputMode4, "stOutputRemark", QStringLiteral("OUT-mV/mA"));
  QFont bold = stOutputRemark->font();
  bold.setBold(true);
  stOutputRemark->setFont(bold);
  btnAdjustOutputSlope = Button(gbOutputMode4, "btnAdjustOutputSlope", QStringLiteral("Adjust output slope"));
  auto* om = new QGridLayout(gbOutputMode4);
  om->addWidget(lblOutputMode, 0, 0);
  om->addWidget(cbOutputMode4, 0, 1);
  om->addWidget(lblConnectPin, 1, 0);
  om->addWidget(stOutputRemark, 1, 1);
  om->addWidget(btnAdjustOutputSlope, 0, 2, 2, 1);
  auto* c1 = new QGridLayout(gbOutputChannel1);
  c1->addWidget(lblProcessSource, 0, 0);
  c1->addWidget(cbProcessSource, 0, 1);
  c1->setColumnStretch(2, 1);
  c1->addWidget(gbOutputMode4, 1, 0, 1, 3);

  gbDigitalAlarms = Group(page, "gbDigitalAlarms", QStringLiteral("Digital alarms:"));
  auto* da = new QGridLayout(gbDigitalAlarms);
  for (int o = 0; o < 2; ++o) {
    const auto i = static_cast<std::size_t>(o);
    const QByteArray n = QByteArray::number(o + 1);
    const auto name = [&](const char* base) { return QByteArray(base).replace('#', n); };
    gbDAlarm[i] =
        Group(gbDigitalAlarms, name("gbDAlarm#").constData(), QStringLiteral("Alarm %1").arg(o + 1));
    lblFunctionD[i] = Label(gbDAlarm[i], name("lblFunctionD#").constData(), QStringLiteral("Function:"));
    cbDfunction[i] = Combo(gbDAlarm[i], name("cbD#function").constData());
    lblSourceD[i] = Label(gbDAlarm[i], name("lblSourceD#").constData(), QStringLiteral("Source:"));
    cbDsource[i] = Combo(gbDAlarm[i], name("cbDsource#").constData());
    lblValueD[i] = Label(gbDAlarm[i], name("lblValueD#").constData(), QStringLiteral("Value :"));
    seDAlarm[i] = Spin(gbDAlarm[i], name("seDAlarm#").constData(), 7 + o, -100, 3000, 0.1, 1);
    rgDnormally[i] = Radio(gbDAlarm[i], name("rgDnormally#").constData(), QStringLiteral("Normally:"),
                           {QStringLiteral("Open"), QStringLiteral("Close")}, 2);
    rgDnormally[i]->SetTag(14 + o);
    QLabel* unit = Label(gbDAlarm[i], o == 0 ? "TempLbl0" : "TempLbl1", QStringLiteral("[--]"));
    (o == 0 ? TempLbl0 : TempLbl1) = unit;
    auto* g = new QGridLayout(gbDAlarm[i]);
    g->addWidget(lblFunctionD[i], 0, 0);
    g->addWidget(cbDfunction[i], 0, 1, 1, 2);
    g->addWidget(lblSourceD[i], 1, 0);
    g->addWidget(cbDsource[i], 1, 1, 1, 2);
    g->addWidget(lblValueD[i], 2, 0);
    g->addWidget(unit, 2, 1);
    g->addWidget(seDAlarm[i], 2, 2);
    g->addWidget(rgDnormally[i], 3, 0, 1, 3);
    gbDALActs[i] =
        Group(gbDAlarm[i], name("gbDAL#Acts").constData(), QStringLiteral("\"AL%1\" acts as :").arg(o + 1));
    lblDALInOut[i] = Label(gbDALActs[i], name("lblDAL#InOut").constData(), QStringLiteral("OUTPUT"));
    lblDALInOut[i]->setAlignment(Qt::AlignCenter);
    QFont strong = lblDALInOut[i]->font();
    strong.setBold(true);
    lblDALInOut[i]->setFont(strong);
    (new QVBoxLayout(gbDALActs[i]))->addWidget(lblDALInOut[i]);
    g->addWidget(gbDALActs[i], 4, 0, 1, 3);
    da->addWidget(gbDAlarm[i], 0, o);
  }

  auto* layout = new QVBoxLayout(page);
  layout->addWidget(gbOutputChannel1);
  layout->addWidget(gbDigitalAlarms);
  layout->addStretch(1);
  return page;
}

QWidget* TVererodurDeviceSetupDlg::BuildSignalPage() {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("TabSheetSignal"));

  gbEmissivity = Group(page, "gbEmissivity", QStringLiteral("Emissivity / Slope"));
  lblEmissivity = Label(gbEmissivity, "lblEmissivity", QStringLiteral("Emissivity: "));
  eEpsilon = Edit(gbEmissivity, "eEpsilon", 1, QStringLiteral("1.000"));
  imgEpsilon = Jog(gbEmissivity, "imgEpsilon");
  lblSlope = Label(gbEmissivity, "lblSlope", QStringLiteral("Slope: "));
  eSlope = Edit(gbEmissivity, "eSlope", 2, QStringLiteral("1.000"));
  imgSlope = Jog(gbEmissivity, "imgSlope");
  lblAttMax = Label(gbEmissivity, "lblAttMax", QStringLiteral("max. attenuation:"));
  eAttMax = Edit(gbEmissivity, "eAttMax", 21, QStringLiteral("0.0"));
  imgTauMin = Jog(gbEmissivity, "imgTauMin");
  p1Ctemp = Panel(gbEmissivity, "p1Ctemp");
  p2Ctemp = Panel(gbEmissivity, "p2Ctemp");
  auto* eg = new QGridLayout(gbEmissivity);
  eg->addWidget(lblEmissivity, 0, 0);
  eg->addWidget(eEpsilon, 0, 1);
  eg->addWidget(imgEpsilon, 0, 2);
  eg->addWidget(lblSlope, 1, 0);
  eg->addWidget(eSlope, 1, 1);
  eg->addWidget(imgSlope, 1, 2);
  eg->addWidget(lblAttMax, 2, 0);
  eg->addWidget(eAttMax, 2, 1);
  eg->addWidget(imgTauMin, 2, 2);
  eg->addWidget(Label(gbEmissivity, "lbl1Ctemp", QStringLiteral("1C Temp. : ")), 3, 0);
  eg->addWidget(p1Ctemp, 3, 1, 1, 2);
  eg->addWidget(Label(gbEmissivity, "lbl2Ctemp", QStringLiteral("2C Temp. : ")), 4, 0);
  eg->addWidget(p2Ctemp, 4, 1, 1, 2);
  eg->setRowStretch(5, 1);

  TSetupPostProcessingGroup::TOptions ppOptions;
  ppOptions.avgTimeMin = 0.01;
  ppOptions.holdTimeMin = 0.1;
  ppOptions.holdTimeMax = 100;
  const TSetupPostProcessingGroup pp(page, ppOptions);
  pp.Bind(*this, &TVererodurDeviceSetupDlg::lblThreshold);
  lblSmartThreshold = Label(gbPostProcessing, "lblSmartThreshold", QStringLiteral("min. difference"));
  seSmartThreshold = Spin(gbPostProcessing, "seSmartThreshold", 22, 0.1, 3000, 0.1, 1);
  seSmartThreshold->SetValue(2.0);
  seSmartThreshold->SetHint(QStringLiteral("Threshold for Smart Averaging"));
  TempLbl4 = Label(gbPostProcessing, "TempLbl4", QStringLiteral("[--]"));
  TempLbl5 = Label(gbPostProcessing, "TempLbl5", QStringLiteral("[--]"));
  TempLbl11 = Label(gbPostProcessing, "TempLbl11", QStringLiteral("[--]"));
  pnlProcessSource = Panel(gbPostProcessing, "pnlProcessSource");
  QGridLayout* pg = pp.Grid;
  pg->addWidget(TempLbl4, 3, 1);
  pg->addWidget(TempLbl5, 4, 1);
  pg->addWidget(lblSmartThreshold, 6, 0);
  pg->addWidget(TempLbl11, 6, 1);
  pg->addWidget(seSmartThreshold, 6, 2);
  pg->addWidget(pnlProcessSource, 7, 0, 1, 3);
  pg->setRowStretch(8, 1);

  auto* layout = new QHBoxLayout(page);
  layout->addWidget(gbEmissivity);
  layout->addWidget(gbPostProcessing);
  return page;
}

QWidget* TVererodurDeviceSetupDlg::BuildAdvancedPage() {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("TabSheetAdvanced"));

  gbAddress = Group(page, "gbAddress", QStringLiteral("Multidrop address"));
  seAddress = new QSpinBox(gbAddress);
  seAddress->setObjectName(QStringLiteral("seAddress"));
  seAddress->setRange(0, Planner::kMaxAddress);
  seAddress->setProperty("Tag", 31);
  lblAddressRemark =
      Label(gbAddress, "lblAddressRemark",
            QStringLiteral("Changing the address takes effect after closing this dialog. Check "
                           "fixed address in interface setup!"));
  lblAddressRemark->setWordWrap(true);
  auto* am = new QVBoxLayout(gbAddress);
  am->addWidget(seAddress);
  am->addWidget(lblAddressRemark);

  gbUserInterface = Group(page, "gbUserInterface", QStringLiteral("User interface"));
  sbtnPanelLock = new QToolButton(gbUserInterface);
  sbtnPanelLock->setObjectName(QStringLiteral("sbtnPanelLock"));
  sbtnPanelLock->setCheckable(true);
  sbtnPanelLock->setText(QStringLiteral("Unlocked"));
  (new QVBoxLayout(gbUserInterface))->addWidget(sbtnPanelLock);

  rgTempUnit =
      Radio(page, "rgTempUnit", QStringLiteral("Temp unit"), {QStringLiteral("C"), QStringLiteral("F")}, 2);
  rgTempUnit->SetTag(16);

  gbCalibration = Group(page, "gbCalibration", QStringLiteral("Calibration :"));
  lblGain1C = Label(gbCalibration, "lblGain1C", QStringLiteral("Gain 1C :"));
  eGain1C = Edit(gbCalibration, "eGain1C", 19, QStringLiteral("1.000"));
  imgGain1C = Jog(gbCalibration, "imgGain1C");
  lblGain2C = Label(gbCalibration, "lblGain2C", QStringLiteral("Gain 2C :"));
  eGain2C = Edit(gbCalibration, "eGain2C", 20, QStringLiteral("1.000"));
  imgGain2C = Jog(gbCalibration, "imgGain2C");
  p1Ctemp2 = Panel(gbCalibration, "p1Ctemp2");
  p2Ctemp2 = Panel(gbCalibration, "p2Ctemp2");
  auto* cg = new QGridLayout(gbCalibration);
  cg->addWidget(lblGain1C, 0, 0);
  cg->addWidget(eGain1C, 0, 1);
  cg->addWidget(imgGain1C, 0, 2);
  cg->addWidget(p1Ctemp2, 0, 3);
  cg->addWidget(lblGain2C, 1, 0);
  cg->addWidget(eGain2C, 1, 1);
  cg->addWidget(imgGain2C, 1, 2);
  cg->addWidget(p2Ctemp2, 1, 3);

  auto* layout = new QGridLayout(page);
  layout->addWidget(gbAddress, 0, 0);
  layout->addWidget(gbUserInterface, 0, 1);
  layout->addWidget(rgTempUnit, 1, 1);
  layout->addWidget(gbCalibration, 1, 0, 2, 1);
  layout->setRowStretch(3, 1);
  return page;
}

void TVererodurDeviceSetupDlg::WireHandlers() {
  for (TDSpinEdit* edit :
       {seDAlarm[0], seDAlarm[1], seAvgTime, seHoldTime, seTreshold, seHysterese, seSmartThreshold}) {
    edit->OnChange = [this](QObject* sender) { seParamChange(sender); };
    edit->OnExit = [this](QObject*) { OnElementExit(); };
  }
  for (QLineEdit* edit : {eEpsilon, eSlope, eAttMax, eGain1C, eGain2C}) {
    connect(edit, &QLineEdit::textEdited, this, [this, edit] { seParamChange(edit); });
    EventAdapters::OnExit(edit, [this] { OnElementExit(); });
  }
  connect(seAddress, &QSpinBox::valueChanged, this, [this] {
    if (seAddress->hasFocus()) seParamChange(seAddress);
  });
  EventAdapters::OnExit(seAddress, [this] { OnElementExit(); });
  EventAdapters::OnComboChange(cbProcessSource, [this] { seParamChange(cbProcessSource); });
  for (QWidget* control : std::initializer_list<QWidget*>{cbProcessSource, rgDnormally[0], rgDnormally[1],
                                                          rgTempUnit, cbPostProcMode, cbSmartAveraging}) {
    EventAdapters::OnExit(control, [this] { OnElementExit(); });
  }
  for (RadioGroup* group : {rgDnormally[0], rgDnormally[1], rgTempUnit}) {
    group->OnClick = [this](QObject* sender) { seParamChange(sender); };
  }

  EventAdapters::OnComboChange(cbPostProcMode, [this] { cbPostProcModeChange(); });
  EventAdapters::OnEnter(cbPostProcMode, [this] { FKeepPostProcMode = true; });
  EventAdapters::OnExit(cbPostProcMode, [this] { FKeepPostProcMode = false; });
  EventAdapters::OnEnter(cbOutputMode4, [this] { FKeepOutputMode = true; });
  EventAdapters::OnExit(cbOutputMode4, [this] { FKeepOutputMode = false; });
  EventAdapters::OnComboChange(cbOutputMode4, [this] { cbOutputMode4Change(); });
  EventAdapters::OnCheckClick(cbSmartAveraging, [this] { cbSmartAveragingClick(); });
  for (int o = 0; o < 2; ++o) {
    EventAdapters::OnComboChange(cbDfunction[static_cast<std::size_t>(o)], [this, o] { DfunctionChange(o); });
    EventAdapters::OnComboChange(cbDsource[static_cast<std::size_t>(o)], [this, o] { DsourceChange(o); });
  }

  connect(sbtnPanelLock, &QToolButton::clicked, this, &TVererodurDeviceSetupDlg::sbtnPanelLockClick);
  connect(btnAdjustOutputSlope, &QPushButton::clicked, this,
          &TVererodurDeviceSetupDlg::btnAdjustOutputSlopeClick);
  connect(btnOK, &QPushButton::clicked, this, &TVererodurDeviceSetupDlg::btnOKClick);
  connect(btnCancel, &QPushButton::clicked, this, &TVererodurDeviceSetupDlg::btnCancelClick);
  connect(btnSave, &QPushButton::clicked, this, &TVererodurDeviceSetupDlg::btnSaveClick);
  connect(btnLoad, &QPushButton::clicked, this, &TVererodurDeviceSetupDlg::btnLoadClick);
  connect(btnStopSequence, &QPushButton::clicked, this, [this] {
    if (FPageWork) {
      CalibrationPage->CancelRunning();
    } else if (FSetupSession) {
      FSetupSession->CancelSequence();
    }
  });
  ParamChangeTimer->OnFire = [this](int tag) { ParamChangeTimerTimer(tag); };
  connect(FormShowTimer, &QTimer::timeout, this, &TVererodurDeviceSetupDlg::FormShowTimerTimer);
  connect(tiAnzeige, &QTimer::timeout, this, &TVererodurDeviceSetupDlg::tiAnzeigeTimer);
  connect(tiChange, &QTimer::timeout, this, &TVererodurDeviceSetupDlg::tiChangeTimer);
  connect(FRefreshTimer, &QTimer::timeout, this, [this] { FRefreshDue = true; });
  connect(VereRodurDeviceSetup_PageControl, &QTabWidget::currentChanged, this, [this](int index) {
    // Leaving or entering a page locks the calibration values until the next Read.
    CalibrationPage->Lock(true);
    if (!FLoaded || FBusy) return;
    if (index == kPageDisplay) LoadDisplayPage();
  });

  for (TJogImage* image : JogImages()) {
    connect(image, &TJogImage::pressed, this, &TVererodurDeviceSetupDlg::JogPressed);
    connect(image, &TJogImage::moved, this, &TVererodurDeviceSetupDlg::JogMoved);
    connect(image, &TJogImage::released, this, &TVererodurDeviceSetupDlg::JogReleased);
  }

  connect(DisplayPage, &TVererodurDisplayPage::tagChanged, this, &TVererodurDeviceSetupDlg::PageTagChange);
  // Leaving a source combo or a threshold-mode control of the display page
  // writes its change at once, as with the dialog's own controls.
  for (int tag = 23; tag <= 30; ++tag) {
    if (QWidget* control = ControlForTag(tag)) EventAdapters::OnExit(control, [this] { OnElementExit(); });
  }
  connect(DisplayPage, &TVererodurDisplayPage::deviceWorkStarted, this,
          &TVererodurDeviceSetupDlg::PageWorkStarted);
  connect(DisplayPage, &TVererodurDisplayPage::deviceWorkFinished, this,
          &TVererodurDeviceSetupDlg::PageWorkFinished);
  connect(CalibrationPage, &TVererodurCalibrationPage::deviceWorkStarted, this,
          &TVererodurDeviceSetupDlg::PageWorkStarted);
  connect(CalibrationPage, &TVererodurCalibrationPage::deviceWorkFinished, this,
          &TVererodurDeviceSetupDlg::PageWorkFinished);
  connect(CalibrationPage, &TVererodurCalibrationPage::factoryValuesLoaded, this,
          [this](const ArgoSetupSession::TOutcome& outcome) {
            if (outcome.ran) FCache = outcome.config;
            // The factory values fill the dialog again, without a page
            // switch, and become the values Cancel restores.
            OpeningFill(false, true);
          });
  CalibrationPage->ShowMessage = [this](const QString& text) { Report(text); };
}
