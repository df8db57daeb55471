#include "setup_argo/argo_device_setup_dlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

#include "drivers/argo/pyreon_argo.h"
#include "drivers/device_session.h"
#include "drivers/sentinel_utils.h"
#include "measurement/argo_family.h"
#include "setup_argo/argo_device_setup_view.h"
#include "setup_argo/mat_table_dlg.h"
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

using View = ArgoDeviceSetupView;

using namespace NamedWidgets;

namespace {

enum PageIndex { kPageSignal = 0, kPageOutput = 1, kPageAdvanced = 2 };

float ToUnit(bool fahrenheit, float celsius) { return SentinelUtils::CelsiusToUnit(fahrenheit, celsius); }
float DeltaToUnit(bool fahrenheit, float kelvin) {
  return SentinelUtils::DeltaCelsiusToUnit(fahrenheit, kelvin);
}

// The code font of the head-code texts: the first installed of the two
// fixed-width fonts the texts were laid out for, else the system's.
QFont CodeFont() {
  for (const QString& family : QFontDatabase::families()) {
    const QString upper = family.toUpper();
    if (upper == QLatin1String("WST_GERM") || upper == QLatin1String("CONSOLAS")) return QFont(family);
  }
  return QFontDatabase::systemFont(QFontDatabase::FixedFont);
}

}  // namespace

// The snapshot the opening job hands back from the session thread.
struct TArgoDeviceSetupDlg::JobResult {
  TArgoConfig config;
  std::optional<float> liveAverageTime;
};

TArgoDeviceSetupDlg::TArgoDeviceSetupDlg(QWidget* owner)
    : QDialog(owner), FAlive(std::make_shared<bool>(true)) {
  setObjectName(QStringLiteral("ArgoDeviceSetupDlg"));
  setWindowTitle(QStringLiteral("Device Setup"));
  // No close box: the dialog ends through OK or Cancel (Esc).
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  BuildForm();
  WireHandlers();
  FProgressRow->Follow(FSequence);
  FSequence.SetInputEnabled = [this](bool enabled) { SetInputEnabled(enabled); };
  FormRegistry::Add(this);
}

TArgoDeviceSetupDlg::~TArgoDeviceSetupDlg() {
  *FAlive = false;
  if (FIdleId != 0) IdleHook::Instance().Detach(FIdleId);
}

void TArgoDeviceSetupDlg::SetDevice(ArgoFamily* device) {
  if (device == FDevice) return;
  FDevice = device;
  FSetupSession = device ? std::make_unique<ArgoSetupSession>(*device) : nullptr;
  FSequence.DeviceChanged();
  FModelInfo = TArgoModelInfo{};
  FLoaded = false;
}

int TArgoDeviceSetupDlg::ActivePage() const { return ArgoDeviceSetup_PageControl->currentIndex(); }

void TArgoDeviceSetupDlg::SetActivePage(int index) {
  if (index >= 0 && index < ArgoDeviceSetup_PageControl->count()) {
    ArgoDeviceSetup_PageControl->setCurrentIndex(index);
  }
}

bool TArgoDeviceSetupDlg::WritePending() const { return ParamChangeTimer->isActive(); }

void TArgoDeviceSetupDlg::SetComboItem(QComboBox* combo, int item) {
  combo->setCurrentIndex(item >= 0 && item < combo->count() ? item : -1);
}

QString TArgoDeviceSetupDlg::OtherText(const QString& key, const QString& defaultText) const {
  return FLng ? FLng->OtherText(key, defaultText) : defaultText;
}

QString TArgoDeviceSetupDlg::OtherTextOrKey(const QString& key) const {
  return FLng ? FLng->OtherTextOrKey(key) : key;
}

// --- Form ------------------------------------------------------------------------

void TArgoDeviceSetupDlg::BuildForm() {
  stSerial = Label(this, "stSerial", QString());
  stFirmware = Label(this, "stFirmware", QString());
  auto* header = new QHBoxLayout;
  header->addWidget(Label(this, "lblSerial", QStringLiteral("Serial No.:")));
  header->addWidget(stSerial);
  header->addSpacing(20);
  header->addWidget(Label(this, "lblFirmware", QStringLiteral("Firmware Rev.:")));
  header->addWidget(stFirmware);
  header->addStretch(1);

  ArgoDeviceSetup_PageControl = new QTabWidget(this);
  ArgoDeviceSetup_PageControl->setObjectName(QStringLiteral("ArgoDeviceSetup_PageControl"));
  TabSheetSignal = BuildSignalPage();
  TabSheetOutput = BuildOutputPage();
  TabSheetAdvanced = BuildAdvancedPage();
  ArgoDeviceSetup_PageControl->addTab(TabSheetSignal, QStringLiteral("Signal processing"));
  ArgoDeviceSetup_PageControl->addTab(TabSheetOutput, QStringLiteral("Output signals"));
  ArgoDeviceSetup_PageControl->addTab(TabSheetAdvanced, QStringLiteral("Advanced settings"));

  FProgressRow = new TSequenceProgressRow(this);
  lblProgress = FProgressRow->Caption;
  pbProgress = FProgressRow->Bar;
  btnStopSequence = FProgressRow->StopButton;

  btnOK = Button(this, "btnOK", QStringLiteral("&OK"));
  btnOK->setDefault(true);
  btnCancel = Button(this, "btnCancel", QStringLiteral("&Cancel"));
  btnSave = Button(this, "btnSave", QStringLiteral("Save Config"));
  btnLoad = Button(this, "btnLoad", QStringLiteral("Load Config"));
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(btnSave);
  buttons->addWidget(btnLoad);
  buttons->addStretch(1);
  buttons->addWidget(btnOK);
  buttons->addWidget(btnCancel);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(header);
  layout->addWidget(ArgoDeviceSetup_PageControl, 1);
  layout->addLayout(FProgressRow);
  layout->addLayout(buttons);
  resize(568, 421);

  SetupChangeTimer::TRules changeRules;
  changeRules.intervalMs = kWriteDelayMs;
  changeRules.tags = SetupChangeTimer::TagRule::FlushPrevious;
  changeRules.fireWhenLeft = true;
  changeRules.okDisabledWhilePending = true;
  ParamChangeTimer = new SetupChangeTimer(this, QStringLiteral("ParamChangeTimer"), changeRules);
  ParamChangeTimer->OkButton = btnOK;
  FRefreshTimer = new QTimer(this);
  FRefreshTimer->setInterval(kRefreshMs);

  // The unit labels and the caption label each belongs to.
  const std::array<QLabel*, 7> captions = {lblAmbLoRangeTemp, lblAmbHiRangeTemp, lblAmbientValue, lblTreshold,
                                           lblHysterese,      lblAlarm4,         lblAlarm3};
  for (std::size_t i = 0; i < TempLbl.size(); ++i) {
    TempLbl[i] = new QLabel(QStringLiteral("[--]"), captions[i]->parentWidget());
    TempLbl[i]->setObjectName(QStringLiteral("TempLbl%1").arg(i + 1));
  }
  // Each unit label sits right after its caption label.
  const auto besideCaption = [](QLabel* caption, QLabel* unit) {
    auto* grid = qobject_cast<QGridLayout*>(caption->parentWidget()->layout());
    if (!grid) return;
    const int index = grid->indexOf(caption);
    int row = 0, col = 0, rowSpan = 0, colSpan = 0;
    grid->getItemPosition(index, &row, &col, &rowSpan, &colSpan);
    grid->addWidget(unit, row, col + 1);
  };
  for (std::size_t i = 0; i < TempLbl.size(); ++i) besideCaption(captions[i], TempLbl[i]);

  const QFont code = CodeFont();
  for (QLabel* label : stHeadParam) label->setFont(code);
}

QWidget* TArgoDeviceSetupDlg::BuildSignalPage() {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("TabSheetSignal"));

  gbEmissivity = Group(page, "gbEmissivity", QStringLiteral("Emissivity / Transmissivity"));
  cbEmissivityMode = Combo(gbEmissivity, "cbEmissivityMode");
  lblEmissivity = Label(gbEmissivity, "lblEmissivity", QStringLiteral("Emissivity:"));
  seEmissivity = Spin(gbEmissivity, "seEmissivity", 1, 0.1, 1.1, 0.001, 3);
  lblTransmissivity = Label(gbEmissivity, "lblTransmissivity", QStringLiteral("Transmissivity:"));
  seTransmissivity = Spin(gbEmissivity, "seTransmissivity", 2, 0.1, 1.1, 0.001, 3);
  btnEditMatTable = Button(gbEmissivity, "btnEditMatTable", QStringLiteral("Edit material table"));
  auto* eg = new QGridLayout(gbEmissivity);
  eg->addWidget(cbEmissivityMode, 0, 0, 1, 3);
  eg->addWidget(lblEmissivity, 1, 0);
  eg->addWidget(seEmissivity, 1, 2);
  eg->addWidget(lblTransmissivity, 2, 0);
  eg->addWidget(seTransmissivity, 2, 2);
  eg->addWidget(btnEditMatTable, 3, 0, 1, 3);

  gbAmbient = Group(page, "gbAmbient", QStringLiteral("Ambient control"));
  cbAmbientSource = Combo(gbAmbient, "cbAmbientSource");
  lblAmbientValue = Label(gbAmbient, "lblAmbientValue", QStringLiteral("Fixed value"));
  seAmbient = Spin(gbAmbient, "seAmbient", 7, 0, 0, 0.1, 1);
  lblAmbLoRangeTemp = Label(gbAmbient, "lblAmbLoRangeTemp", QStringLiteral("Low range temperature"));
  seAmbLoRangeTemp = Spin(gbAmbient, "seAmbLoRangeTemp", 8, 0, 0, 0.1, 1);
  lblAmbHiRangeTemp = Label(gbAmbient, "lblAmbHiRangeTemp", QStringLiteral("High range temperature"));
  seAmbHiRangeTemp = Spin(gbAmbient, "seAmbHiRangeTemp", 9, 0, 0, 0.1, 1);
  auto* ag = new QGridLayout(gbAmbient);
  ag->addWidget(cbAmbientSource, 0, 0, 1, 3);
  ag->addWidget(lblAmbientValue, 1, 0);
  ag->addWidget(seAmbient, 1, 2);
  ag->addWidget(lblAmbLoRangeTemp, 2, 0);
  ag->addWidget(seAmbLoRangeTemp, 2, 2);
  ag->addWidget(lblAmbHiRangeTemp, 3, 0);
  ag->addWidget(seAmbHiRangeTemp, 3, 2);

  TSetupPostProcessingGroup::TOptions ppOptions;
  ppOptions.thresholdLabelName = "lblTreshold";
  ppOptions.thresholdCaption = QStringLiteral("Treshold");
  ppOptions.hysteresisCaption = QStringLiteral("Hysterese");
  const TSetupPostProcessingGroup pp(page, ppOptions);
  pp.Bind(*this, &TArgoDeviceSetupDlg::lblTreshold);

  auto* layout = new QGridLayout(page);
  layout->addWidget(gbEmissivity, 0, 0);
  layout->addWidget(gbAmbient, 1, 0);
  layout->addWidget(gbPostProcessing, 0, 1, 2, 1);
  return page;
}

QWidget* TArgoDeviceSetupDlg::BuildOutputPage() {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("TabSheetOutput"));
  const QStringList digitalAnalog = {QStringLiteral("digital"), QStringLiteral("analog")};
  const QStringList openClosed = {QStringLiteral("open"), QStringLiteral("closed")};
  const QStringList sources = {QStringLiteral("TObj"), QStringLiteral("THead"), QStringLiteral("TBox")};

  gbOutputChannel1 = Group(page, "gbOutputChannel1", QStringLiteral("Output channel 1 (TObj):"));
  lblAlarm4 = Label(gbOutputChannel1, "lblAlarm4", QStringLiteral("Alarm"));
  seAlarm4 = Spin(gbOutputChannel1, "seAlarm4", 6, 0, 0, 0.1, 1);
  rgAnalogDigital4 = Radio(gbOutputChannel1, "rgAnalogDigital4", QString(), digitalAnalog);
  rgNormally4 = Radio(gbOutputChannel1, "rgNormally4", QString(), openClosed);
  gbOutputMode4 = Group(gbOutputChannel1, "gbOutputMode4", QStringLiteral("Output:"));
  gbOutputMode4->setFocusPolicy(Qt::TabFocus);
  cbOutputMode4 = Combo(gbOutputMode4, "cbOutputMode4",
                        {QStringLiteral("0..10V"), QStringLiteral("0..5V"), QStringLiteral("0..20mA"),
                         QStringLiteral("4..20mA"), QStringLiteral("TCK"), QStringLiteral("TCJ")});
  stOutputRemark = Label(gbOutputMode4, "stOutputRemark", QStringLiteral("OUT-mV/mA"));
  auto* om = new QVBoxLayout(gbOutputMode4);
  om->addWidget(cbOutputMode4);
  om->addWidget(stOutputRemark);
  btnAdjustOutputSlope =
      Button(gbOutputChannel1, "btnAdjustOutputSlope", QStringLiteral("Adjust output slope"));
  lblUsedByMatTable[3] =
      Label(gbOutputChannel1, "lblUsedByMatTable4", QStringLiteral("(Used by material table)"));
  auto* c1 = new QGridLayout(gbOutputChannel1);
  c1->addWidget(lblAlarm4, 0, 0);
  c1->addWidget(seAlarm4, 0, 2);
  c1->addWidget(rgAnalogDigital4, 1, 0, 1, 2);
  c1->addWidget(rgNormally4, 1, 2);
  c1->addWidget(gbOutputMode4, 2, 0, 1, 3);
  c1->addWidget(btnAdjustOutputSlope, 3, 0, 1, 3);
  c1->addWidget(lblUsedByMatTable[3], 4, 0, 1, 3);

  gbOutputChannel2 = Group(page, "gbOutputChannel2", QStringLiteral("Output channel 2 (THead):"));
  lblAlarm3 = Label(gbOutputChannel2, "lblAlarm3", QStringLiteral("Alarm"));
  seAlarm3 = Spin(gbOutputChannel2, "seAlarm3", 5, 0, 0, 0.1, 1);
  rgAnalogDigital3 = Radio(gbOutputChannel2, "rgAnalogDigital3", QString(), digitalAnalog);
  rgNormally3 = Radio(gbOutputChannel2, "rgNormally3", QString(), openClosed);
  rgRange3 =
      Radio(gbOutputChannel2, "rgRange3", QString(), {QStringLiteral("0..10V"), QStringLiteral("0..5V")});
  lblSource3 = Label(gbOutputChannel2, "lblSource3", QStringLiteral("Source:"));
  cbSource3 = Combo(gbOutputChannel2, "cbSource3", sources);
  lblUsedByMatTable[2] =
      Label(gbOutputChannel2, "lblUsedByMatTable3", QStringLiteral("(Used by material table)"));
  auto* c2 = new QGridLayout(gbOutputChannel2);
  c2->addWidget(lblAlarm3, 0, 0);
  c2->addWidget(seAlarm3, 0, 2);
  c2->addWidget(rgAnalogDigital3, 1, 0, 1, 2);
  c2->addWidget(rgNormally3, 1, 2);
  c2->addWidget(rgRange3, 2, 0, 1, 2);
  c2->addWidget(lblSource3, 3, 0);
  c2->addWidget(cbSource3, 3, 2);
  c2->addWidget(lblUsedByMatTable[2], 4, 0, 1, 3);

  gbVisualAlarms = Group(page, "gbVisualAlarms", QStringLiteral("Visual alarms:"));
  gbPresets = Group(gbVisualAlarms, "gbPresets", QStringLiteral("Presets:"));
  btnPresetBlue = Button(gbPresets, "btnPresetBlue", QStringLiteral("Blue Backlight"));
  btnPresetStandard = Button(gbPresets, "btnPresetStandard", QStringLiteral("Standard visual alarms"));
  auto* pr = new QHBoxLayout(gbPresets);
  pr->addWidget(btnPresetBlue);
  pr->addWidget(btnPresetStandard);
  const auto alarmGroup = [&](const char* group, const char* caption, QLabel*& label, const char* labelName,
                              TDSpinEdit*& edit, const char* editName, int tag, RadioGroup*& normally,
                              const char* normallyName, QLabel*& source, const char* sourceName,
                              QComboBox*& combo, const char* comboName, QLabel*& used, const char* usedName) {
    QGroupBox* box = Group(gbVisualAlarms, group, QString::fromLatin1(caption));
    label = Label(box, labelName, QStringLiteral("Alarm"));
    edit = Spin(box, editName, tag, 0, 0, 0.1, 1);
    normally = Radio(box, normallyName, QString(), openClosed);
    source = Label(box, sourceName, QStringLiteral("Source:"));
    combo = Combo(box, comboName, sources);
    used = Label(box, usedName, QStringLiteral("(Used by material table)"));
    auto* g = new QGridLayout(box);
    g->addWidget(label, 0, 0);
    g->addWidget(edit, 0, 1);
    g->addWidget(normally, 1, 0, 1, 2);
    g->addWidget(source, 2, 0);
    g->addWidget(combo, 2, 1);
    g->addWidget(used, 3, 0, 1, 2);
    return box;
  };
  gbAlarm1 = alarmGroup("gbAlarm1", "Alarm 1", lblAlarm1, "lblAlarm1", seAlarm1, "seAlarm1", 3, rgNormally1,
                        "rgNormally1", lblSource1, "lblSource1", cbSource1, "cbSource1", lblUsedByMatTable[0],
                        "lblUsedByMatTable1");
  gbAlarm2 = alarmGroup("gbAlarm2", "Alarm 2", lblAlarm2, "lblAlarm2", seAlarm2, "seAlarm2", 4, rgNormally2,
                        "rgNormally2", lblSource2, "lblSource2", cbSource2, "cbSource2", lblUsedByMatTable[1],
                        "lblUsedByMatTable2");
  lblAlHyst = Label(gbVisualAlarms, "lblAlHyst", QStringLiteral("Hysterese :"));
  seAlHyst = Spin(gbVisualAlarms, "seAlHyst", 17, 0, 20, 0.1, 1);
  lblAlHystUnit = Label(gbVisualAlarms, "lblAlHystUnit", QStringLiteral("[--]"));
  lblAlHyst->hide();
  seAlHyst->hide();
  lblAlHystUnit->hide();
  auto* va = new QGridLayout(gbVisualAlarms);
  va->addWidget(gbPresets, 0, 0, 1, 2);
  va->addWidget(gbAlarm1, 1, 0);
  va->addWidget(gbAlarm2, 1, 1);
  auto* hyst = new QHBoxLayout;
  hyst->addWidget(lblAlHyst);
  hyst->addWidget(lblAlHystUnit);
  hyst->addWidget(seAlHyst);
  hyst->addStretch(1);
  va->addLayout(hyst, 2, 0, 1, 2);

  auto* layout = new QGridLayout(page);
  layout->addWidget(gbOutputChannel1, 0, 0);
  layout->addWidget(gbOutputChannel2, 1, 0);
  layout->addWidget(gbVisualAlarms, 0, 1, 2, 1);
  return page;
}

QWidget* TArgoDeviceSetupDlg::BuildAdvancedPage() {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("TabSheetAdvanced"));

  gbHeadParam = Group(page, "gbHeadParam", QStringLiteral("Head parameter"));
  auto* hp = new QGridLayout(gbHeadParam);
  for (std::size_t i = 0; i < stHeadParam.size(); ++i) {
    stHeadParam[i] = new QLabel(QStringLiteral("0000"), gbHeadParam);
    stHeadParam[i]->setObjectName(QStringLiteral("stHeadParam%1").arg(i + 1));
    stHeadParam[i]->setFrameShape(QFrame::Panel);
    stHeadParam[i]->setFrameShadow(QFrame::Sunken);
    hp->addWidget(stHeadParam[i], 0, static_cast<int>(i));
  }
  btnHeadParam = Button(gbHeadParam, "btnHeadParam", QStringLiteral("Change head parameter"));
  hp->addWidget(btnHeadParam, 1, 0, 1, 5);

  gbAdjustment = Group(page, "gbAdjustment", QStringLiteral("Device adjustment"));
  lblOffset = Label(gbAdjustment, "lblOffset", QStringLiteral("Offset: "));
  seOffset = Spin(gbAdjustment, "seOffset", 14, -100, 100, 0.1, 1);
  lblOffsetUnit = Label(gbAdjustment, "lblOffsetUnit", QString());
  lblGain = Label(gbAdjustment, "lblGain", QStringLiteral("Gain: "));
  seGain = Spin(gbAdjustment, "seGain", 15, 0.5, 1.999, 0.001, 3);
  btnResetOffsetGain = Button(gbAdjustment, "btnResetOffsetGain", QStringLiteral("Reset Offset/Gain"));
  auto* ad = new QGridLayout(gbAdjustment);
  ad->addWidget(lblOffset, 0, 0);
  ad->addWidget(lblOffsetUnit, 0, 1);
  ad->addWidget(seOffset, 0, 2);
  ad->addWidget(lblGain, 1, 0);
  ad->addWidget(seGain, 1, 2);
  ad->addWidget(btnResetOffsetGain, 2, 0, 1, 3);

  gbAddress = Group(page, "gbAddress", QStringLiteral("Multidrop address"));
  seAddress = new QSpinBox(gbAddress);
  seAddress->setObjectName(QStringLiteral("seAddress"));
  seAddress->setRange(0, 79);
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
  auto* ui = new QVBoxLayout(gbUserInterface);
  ui->addWidget(sbtnPanelLock);

  rgTempUnit =
      Radio(page, "rgTempUnit", QStringLiteral("Temp unit"), {QStringLiteral("C"), QStringLiteral("F")}, 2);
  rgTempUnit->SetTag(16);

  auto* layout = new QGridLayout(page);
  layout->addWidget(gbHeadParam, 0, 0);
  layout->addWidget(gbAdjustment, 1, 0);
  layout->addWidget(gbAddress, 0, 1);
  layout->addWidget(gbUserInterface, 1, 1);
  layout->addWidget(rgTempUnit, 2, 1);
  return page;
}

void TArgoDeviceSetupDlg::WireHandlers() {
  for (TDSpinEdit* edit :
       {seEmissivity, seTransmissivity, seAmbient, seAmbLoRangeTemp, seAmbHiRangeTemp, seAvgTime, seHoldTime,
        seTreshold, seHysterese, seAlarm1, seAlarm2, seAlarm3, seAlarm4, seAlHyst, seOffset, seGain}) {
    edit->OnChange = [this](QObject* sender) { seParamChange(sender); };
    edit->OnExit = [this](QObject*) { seAvgTimeExit(); };
  }
  for (QWidget* control : std::initializer_list<QWidget*>{cbEmissivityMode, cbAmbientSource, cbPostProcMode,
                                                          cbSmartAveraging, rgTempUnit}) {
    EventAdapters::OnExit(control, [this] { seAvgTimeExit(); });
  }
  rgTempUnit->OnClick = [this](QObject* sender) { seParamChange(sender); };

  EventAdapters::OnComboChange(cbEmissivityMode, [this] { cbEmissivityModeChange(); });
  EventAdapters::OnComboChange(cbAmbientSource, [this] { cbAmbientSourceChange(); });
  EventAdapters::OnComboChange(cbPostProcMode, [this] { cbPostProcModeChange(); });
  EventAdapters::OnEnter(cbPostProcMode, [this] { FKeepPostProcMode = true; });
  EventAdapters::OnExit(cbPostProcMode, [this] { FKeepPostProcMode = false; });
  EventAdapters::OnEnter(cbOutputMode4, [this] { FKeepOutputMode = true; });
  EventAdapters::OnExit(cbOutputMode4, [this] { FKeepOutputMode = false; });
  EventAdapters::OnCheckClick(cbSmartAveraging, [this] { cbSmartAveragingClick(); });

  rgNormally1->OnClick = [this](QObject*) { AlarmModeChange(0); };
  EventAdapters::OnComboChange(cbSource1, [this] { AlarmModeChange(0); });
  rgNormally2->OnClick = [this](QObject*) { AlarmModeChange(1); };
  EventAdapters::OnComboChange(cbSource2, [this] { AlarmModeChange(1); });
  for (RadioGroup* group : {rgAnalogDigital3, rgNormally3, rgRange3}) {
    group->OnClick = [this](QObject*) { AlarmModeChange(2); };
  }
  EventAdapters::OnComboChange(cbSource3, [this] { AlarmModeChange(2); });
  for (RadioGroup* group : {rgAnalogDigital4, rgNormally4}) {
    group->OnClick = [this](QObject*) { AlarmModeChange(3); };
  }
  EventAdapters::OnComboChange(cbOutputMode4, [this] { AlarmModeChange(3); });

  connect(btnPresetBlue, &QPushButton::clicked, this, [this] { btnPresetClick(true); });
  connect(btnPresetStandard, &QPushButton::clicked, this, [this] { btnPresetClick(false); });
  connect(btnResetOffsetGain, &QPushButton::clicked, this, &TArgoDeviceSetupDlg::btnResetOffsetGainClick);
  connect(sbtnPanelLock, &QToolButton::clicked, this, &TArgoDeviceSetupDlg::sbtnPanelLockClick);
  connect(btnEditMatTable, &QPushButton::clicked, this, &TArgoDeviceSetupDlg::btnEditMatTableClick);
  connect(btnAdjustOutputSlope, &QPushButton::clicked, this, &TArgoDeviceSetupDlg::btnAdjustOutputSlopeClick);
  connect(btnHeadParam, &QPushButton::clicked, this, &TArgoDeviceSetupDlg::btnHeadParamClick);
  connect(btnOK, &QPushButton::clicked, this, &TArgoDeviceSetupDlg::btnOKClick);
  connect(btnCancel, &QPushButton::clicked, this, &TArgoDeviceSetupDlg::btnCancelClick);
  connect(btnSave, &QPushButton::clicked, this, &TArgoDeviceSetupDlg::btnSaveClick);
  connect(btnLoad, &QPushButton::clicked, this, &TArgoDeviceSetupDlg::btnLoadClick);
  connect(btnStopSequence, &QPushButton::clicked, this, [this] {
    if (FSetupSession) FSetupSession->CancelSequence();
  });
  ParamChangeTimer->OnFire = [this](int tag) { ParamChangeTimerTimer(tag); };
  connect(FRefreshTimer, &QTimer::timeout, this, [this] { FRefreshDue = true; });
  connect(ArgoDeviceSetup_PageControl, &QTabWidget::currentChanged, this, [this](int index) {
    if (index == kPageOutput) TabSheetOutputShow();
    if (FLoaded && !FBusy) {
      LoadingGuard guard(FLoading);
      DeviceToControls();
    }
  });
}

// --- Read side -----------------------------------------------------------------------

void TArgoDeviceSetupDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormShow();
}

void TArgoDeviceSetupDlg::SetItemTexts() {
  const auto set = [](QComboBox* combo, const QStringList& items) {
    const int index = combo->currentIndex();
    for (int i = 0; i < items.size() && i < combo->count(); ++i) combo->setItemText(i, items[i]);
    while (combo->count() < items.size()) combo->addItem(items[combo->count()]);
    combo->setCurrentIndex(index);
  };
  const QString fixed = OtherText(QStringLiteral("FixedValue"), QStringLiteral("Fixed value"));
  const QString external = OtherTextOrKey(QStringLiteral("External"));
  set(cbEmissivityMode,
      {fixed, external + QStringLiteral(" (Pin F2)"), OtherTextOrKey(QStringLiteral("Table"))});
  set(cbAmbientSource, {OtherTextOrKey(QStringLiteral("Internal")) + QStringLiteral(" (") +
                            OtherTextOrKey(QStringLiteral("Head")) + QStringLiteral(")"),
                        external + QStringLiteral(" (Pin F3)"), fixed});
  set(cbPostProcMode, TSetupPostProcessingGroup::ModeTexts(
                          [this](const QString& key, const QString& text) { return OtherText(key, text); }));
  const QStringList sources = {OtherTextOrKey(QStringLiteral("TObj")),
                               OtherTextOrKey(QStringLiteral("THead")),
                               OtherTextOrKey(QStringLiteral("TBox"))};
  for (QComboBox* combo : {cbSource1, cbSource2, cbSource3}) set(combo, sources);
  const QStringList digitalAnalog = {OtherTextOrKey(QStringLiteral("Digital")),
                                     OtherTextOrKey(QStringLiteral("Analog"))};
  for (RadioGroup* group : {rgAnalogDigital3, rgAnalogDigital4}) group->SetItems(digitalAnalog);
  const QStringList openClose = {OtherTextOrKey(QStringLiteral("Open")),
                                 OtherTextOrKey(QStringLiteral("Close"))};
  for (RadioGroup* group : {rgNormally1, rgNormally2, rgNormally3, rgNormally4}) group->SetItems(openClose);
  rgTempUnit->SetItems({OtherText(QStringLiteral("UnitCelsius"), QStringLiteral("°C")),
                        OtherText(QStringLiteral("UnitFahrenheit"), QStringLiteral("°F"))});
}

void TArgoDeviceSetupDlg::FormShow() {
  FBusy = true;
  FClosing = false;
  FLoaded = false;
  FKeepOutputMode = true;
  FKeepPostProcMode = true;
  FReadAvgTimeOnce = true;
  FRefreshCount = 0;
  FNotWritten.clear();
  ParamChangeTimer->Discard();
  btnOK->setEnabled(true);
  {
    LoadingGuard guard(FLoading);
    SetItemTexts();
  }
  // Input waits for the snapshot of the device's configuration.
  SetInputEnabled(false);
  const auto result = std::make_shared<JobResult>();
  const auto loaded = [this, result] {
    FCache = result->config;
    FModelInfo = FCache.ModelInfo;
    FConfigAtOpen = FCache;
    const View::TimeStep step = View::TimeResolution(FModelInfo);
    for (TDSpinEdit* edit : {seAvgTime, seHoldTime}) {
      edit->SetDecimal(static_cast<std::uint8_t>(step.decimals));
      edit->SetIncrement(step.increment);
      edit->SetMinValue(step.increment);
    }
    const bool hysteresis = FModelInfo.AlHysteresis;
    lblAlHyst->setVisible(hysteresis);
    seAlHyst->setVisible(hysteresis);
    lblAlHystUnit->setVisible(hysteresis);
    const bool large = View::ShowsLargeHeadBoxes(FCache.FWrev);
    stHeadParam[3]->setVisible(large);
    stHeadParam[4]->setVisible(large);
    for (QLabel* label : stHeadParam) label->setText(QStringLiteral("0000"));
    {
      LoadingGuard guard(FLoading);
      FFahrenheit = FCache.TempUnitFahrenheit;
      PlaceUnitLabels();
      LoadFromDevice();
      const bool single = View::SingleOutputFirmware(FCache.FWrev);
      gbOutputChannel2->setVisible(!single);
      gbOutputChannel2->setEnabled(!single);
      gbPresets->setVisible(!single);
      gbPresets->setEnabled(!single);
      FKeepPostProcMode = false;
      FKeepOutputMode = false;
      if (result->liveAverageTime) {
        FReadAvgTimeOnce = false;
        const std::optional<int> item = View::PostProcMode(FCache.AdvancedHoldMode, FCache.PeakHoldTime,
                                                           FCache.ValleyHoldTime, result->liveAverageTime);
        if (item) SetComboItem(cbPostProcMode, *item);
      }
      DeviceToControls();
      TabSheetOutputShow();
    }
    FLoaded = true;
    FBusy = false;
    SetInputEnabled(true);
    if (FIdleId == 0) FIdleId = IdleHook::Instance().Attach([this] { AppIdle(); });
    FRefreshDue = false;
    FRefreshTimer->start();
  };
  if (!FDevice) {
    result->config = FCache;
    loaded();
    return;
  }
  const QPointer<TArgoDeviceSetupDlg> self(this);
  FSequence.JobStarted();
  const bool posted = FDevice->PostDriverJob(
      [result](TpyreonArgo& d) {
        const TArgoConfig& c = d.Config();
        // The one live read: whether an average time runs decides the
        // post-processing mode when no hold mode does.
        if (View::PostProcNeedsAverageTime(c.AdvancedHoldMode, c.PeakHoldTime, c.ValleyHoldTime) &&
            d.Connected()) {
          result->liveAverageTime = d.GetAverageTime();
        }
        result->config = d.Config();
      },
      [self, loaded](bool) {
        if (!self) return;
        self->FSequence.JobDone();
        if (self->isVisible()) loaded();
      });
  if (!posted) {
    FSequence.JobDone();
    result->config = FCache;
    loaded();
  }
}

void TArgoDeviceSetupDlg::LoadFromDevice() {
  LoadingGuard guard(FLoading);
  const TArgoConfig& c = FCache;
  FBusy = true;
  FReadAvgTimeOnce = true;
  stFirmware->setText(QString::number(c.FWrev));
  stSerial->setText(QString::number(c.SerialNumber));
  SetComboItem(cbEmissivityMode, View::EmissivityItem(c.EmissivitySource));
  SetComboItem(cbAmbientSource, View::AmbientItem(c.AmbientSource));
  FFahrenheit = c.TempUnitFahrenheit;
  cbSmartAveraging->setChecked(c.AverageMode);
  SetTemperatureRanges();
  for (int tag : {8, 9, 5, 6, 17}) ReloadTag(tag);
  SetComboItem(cbSource1, View::SourceItem(c.AlarmMode[0].Source));
  SetComboItem(cbSource2, View::SourceItem(c.AlarmMode[1].Source));
  SetComboItem(cbSource3, View::SourceItem(c.AlarmMode[2].Source));
  rgNormally1->SetItemIndex(View::FlagItem(c.AlarmMode[0].OpenClose));
  rgNormally2->SetItemIndex(View::FlagItem(c.AlarmMode[1].OpenClose));
  rgNormally3->SetItemIndex(View::FlagItem(c.AlarmMode[2].OpenClose));
  rgNormally4->SetItemIndex(View::FlagItem(c.AlarmMode[3].OpenClose));
  rgAnalogDigital3->SetItemIndex(View::FlagItem(c.AlarmMode[2].DigiAna));
  rgAnalogDigital4->SetItemIndex(View::FlagItem(c.AlarmMode[3].DigiAna));
  rgRange3->SetItemIndex(View::RangeItem(c.AlarmMode[2].OutMode));
  ShowPanelLock();
  seAddress->setValue(c.RS485Addr);
  FLoadedAddress = static_cast<std::uint8_t>(seAddress->value());
  rgTempUnit->SetItemIndex(FFahrenheit ? 1 : 0);
  FBusy = false;
  FClosing = false;
}

void TArgoDeviceSetupDlg::ShowPanelLock() {
  const bool available = View::HasPanelLock(FCache.FWrev);
  const bool down = available && FCache.PanelLock;
  sbtnPanelLock->setEnabled(available);
  sbtnPanelLock->setChecked(down);
  sbtnPanelLock->setText(down ? OtherTextOrKey(QStringLiteral("Locked"))
                              : OtherTextOrKey(QStringLiteral("Unlocked")));
}

void TArgoDeviceSetupDlg::LoadEdit(TDSpinEdit* edit, double value) {
  if (FNotWritten.count(edit->Tag()) > 0) return;
  if (ParamChangeTimer->Pending(edit->Tag())) return;
  LoadingGuard guard(FLoading);
  edit->SetValue(value);
}

void TArgoDeviceSetupDlg::DeviceToControls() {
  LoadingGuard guard(FLoading);
  const TArgoConfig& c = FCache;
  ReloadTag(1);
  ReloadTag(2);
  FFahrenheit = c.TempUnitFahrenheit;
  if (FFahrenheit != FRangesFahrenheit) {
    SetTemperatureRanges();
    ReloadTag(17);
    PlaceUnitLabels();
    if (FMatTableDlg && FMatTableDlg->isVisible()) FMatTableDlg->UnitChanged(FFahrenheit);
  }
  if (FOnSettingsChanged) FOnSettingsChanged(this, FFahrenheit);
  switch (ActivePage()) {
    case kPageSignal:
      ReloadTag(7);
      if (!FKeepPostProcMode) PostProcModeFromDevice();
      for (int tag : {10, 11, 12, 13}) ReloadTag(tag);
      break;
    case kPageOutput:
      ReloadTag(3);
      ReloadTag(4);
      for (TDSpinEdit* edit : {seAlarm1, seAlarm2}) {
        edit->SetIncrement(View::AlarmIncrement(edit->Value(), FFahrenheit));
      }
      if (!FKeepOutputMode) {
        SetComboItem(cbOutputMode4, View::OutputModeItem(c.AlarmMode[3].OutMode));
        stOutputRemark->setText(View::ThermocoupleOutput(c.AlarmMode[3].OutMode)
                                    ? QStringLiteral("OUT-TC")
                                    : QStringLiteral("OUT-mV/mA"));
      }
      break;
    case kPageAdvanced:
      ReloadTag(14);
      ReloadTag(15);
      ShowHeadCode();
      rgTempUnit->SetItemIndex(FFahrenheit ? 1 : 0);
      break;
    default:
      break;
  }
  if (!FSequence.Running()) setCursor(Qt::ArrowCursor);
  UpdateEnabledStates();
}

void TArgoDeviceSetupDlg::ShowHeadCode() {
  if (TpyreonArgo::UsesLargeHeadCode(FCache.FWrev)) {
    for (std::size_t i = 0; i < 5; ++i) stHeadParam[i]->setText(FCache.HeadCodeLarge[i]);
  } else {
    for (std::size_t i = 0; i < 3; ++i) stHeadParam[i]->setText(FCache.HeadCodeShort[i]);
  }
}

void TArgoDeviceSetupDlg::PostProcModeFromDevice() {
  const TArgoConfig& c = FCache;
  const std::optional<int> item =
      View::PostProcMode(c.AdvancedHoldMode, c.PeakHoldTime, c.ValleyHoldTime, std::nullopt);
  if (item) SetComboItem(cbPostProcMode, *item);
  // With neither a hold mode nor a hold time the list keeps its item: the
  // average time was read live once, at showing.
}

void TArgoDeviceSetupDlg::UpdateEnabledStates() {
  const View::Enabled e = View::EnabledStates(
      cbEmissivityMode->currentIndex(), cbAmbientSource->currentIndex(), cbPostProcMode->currentIndex(),
      rgAnalogDigital3->ItemIndex(), rgAnalogDigital4->ItemIndex(), cbOutputMode4->currentIndex());
  seEmissivity->setEnabled(e.emissivity);
  lblEmissivity->setEnabled(e.emissivity);
  btnEditMatTable->setEnabled(e.matTable);
  seAmbient->setEnabled(e.ambientValue);
  lblAmbientValue->setEnabled(e.ambientValue);
  for (QWidget* w : std::initializer_list<QWidget*>{seAmbLoRangeTemp, seAmbHiRangeTemp, lblAmbLoRangeTemp,
                                                    lblAmbHiRangeTemp}) {
    w->setEnabled(e.ambientRange);
  }
  seAvgTime->setEnabled(e.avgTime);
  lblAvgTime->setEnabled(e.avgTime);
  cbSmartAveraging->setEnabled(e.avgTime);
  seHoldTime->setEnabled(e.holdTime);
  lblHoldTime->setEnabled(e.holdTime);
  for (QWidget* w : std::initializer_list<QWidget*>{seTreshold, seHysterese, lblTreshold, lblHysterese}) {
    w->setEnabled(e.advHold);
  }
  for (QWidget* w : std::initializer_list<QWidget*>{rgNormally3, lblAlarm3, lblUsedByMatTable[2], seAlarm3,
                                                    lblSource3, cbSource3}) {
    w->setEnabled(e.channel2Digital);
  }
  for (QWidget* w : std::initializer_list<QWidget*>{rgNormally4, lblAlarm4, lblUsedByMatTable[3], seAlarm4}) {
    w->setEnabled(e.channel1Digital);
  }
  btnAdjustOutputSlope->setEnabled(e.adjustSlope);
  const std::array<QLabel*, 7> captions = {lblAmbLoRangeTemp, lblAmbHiRangeTemp, lblAmbientValue, lblTreshold,
                                           lblHysterese,      lblAlarm4,         lblAlarm3};
  for (std::size_t i = 0; i < TempLbl.size(); ++i) TempLbl[i]->setEnabled(captions[i]->isEnabled());
}

void TArgoDeviceSetupDlg::SetTemperatureRanges() {
  const View::Ranges r = View::TemperatureRanges(FRangeHigh, FFahrenheit);
  const auto limit = [](TDSpinEdit* edit, const View::Limits& l) {
    edit->SetMinValue(l.min);
    edit->SetMaxValue(l.max);
  };
  for (TDSpinEdit* edit : {seAlarm1, seAlarm2, seAlarm3, seAlarm4}) limit(edit, r.alarm);
  limit(seAmbient, r.ambient);
  limit(seAmbLoRangeTemp, r.ambLow);
  limit(seAmbHiRangeTemp, r.ambHigh);
  limit(seAlHyst, r.alarmHysteresis);
  seAlHyst->SetHint(QString::asprintf("%0.1f .. %0.1f", r.alarmHysteresis.min, r.alarmHysteresis.max));
  LoadingGuard guard(FLoading);
  for (int tag : {5, 6, 8, 9}) ReloadTag(tag);
  FRangesFahrenheit = FFahrenheit;
}

void TArgoDeviceSetupDlg::PlaceUnitLabels() {
  const QString unit = FFahrenheit ? OtherText(QStringLiteral("UnitFahrenheit"), QStringLiteral("°F"))
                                   : OtherText(QStringLiteral("UnitCelsius"), QStringLiteral("°C"));
  const QString text =
      QStringLiteral(" ") + OtherText(QStringLiteral("TempLabelString"), QStringLiteral("[%s]:"))
                                .replace(QStringLiteral("%s"), unit);
  const std::array<QLabel*, 7> captions = {lblAmbLoRangeTemp, lblAmbHiRangeTemp, lblAmbientValue, lblTreshold,
                                           lblHysterese,      lblAlarm4,         lblAlarm3};
  for (std::size_t i = 0; i < TempLbl.size(); ++i) {
    TempLbl[i]->setText(text);
    TempLbl[i]->setEnabled(captions[i]->isEnabled());
  }
  // The differences: the alarm hysteresis and the offset, in K or °F.
  lblAlHystUnit->setText(text);
  lblOffsetUnit->setText(text);
}

void TArgoDeviceSetupDlg::TabSheetOutputShow() {
  const std::array<bool, 4> used = View::UsedByMaterialTable(FCache);
  for (std::size_t i = 0; i < used.size(); ++i) lblUsedByMatTable[i]->setVisible(used[i]);
}

void TArgoDeviceSetupDlg::AppIdle() {
  if (!FRefreshDue || FBusy || FClosing || !FLoaded || !isVisible() || FSequence.Running()) return;
  if (ParamChangeTimer->isActive() || FSequence.JobsInFlight() > 0) return;
  // No refresh while the driver says the device is not answering.
  if (FDevice && !FDevice->Snapshot().Connected) return;
  FRefreshDue = false;
  RefreshTick();
}

void TArgoDeviceSetupDlg::RefreshTick() {
  const auto show = [this] {
    if (FBusy || FClosing || !isVisible()) return;
    FBusy = true;
    ++FRefreshCount;
    DeviceToControls();
    FBusy = false;
  };
  FSequence.ReadCache(FSetupSession.get(), FCache, show);
}

TDSpinEdit* TArgoDeviceSetupDlg::EditForTag(int tag) const {
  for (TDSpinEdit* edit :
       {seEmissivity, seTransmissivity, seAlarm1, seAlarm2, seAlarm3, seAlarm4, seAmbient, seAmbLoRangeTemp,
        seAmbHiRangeTemp, seAvgTime, seHoldTime, seTreshold, seHysterese, seOffset, seGain, seAlHyst}) {
    if (edit->Tag() == tag) return edit;
  }
  return nullptr;
}

void TArgoDeviceSetupDlg::MarkNotWritten(int tag, bool notWritten) {
  if (notWritten) {
    FNotWritten.insert(tag);
  } else {
    FNotWritten.erase(tag);
  }
  if (TDSpinEdit* edit = EditForTag(tag)) {
    edit->setProperty("notWritten", notWritten);
    edit->setStyleSheet(notWritten ? QStringLiteral("QLineEdit { background: #ffd8d8; }") : QString());
    edit->SetHint(notWritten
                      ? OtherText(QStringLiteral("NotWritten"), QStringLiteral("Not written to the device"))
                      : QString());
  }
}

double TArgoDeviceSetupDlg::CachedShown(int tag) const {
  const TArgoConfig& c = FCache;
  const bool f = FFahrenheit;
  switch (tag) {
    case 1:
      return c.Emissivity;
    case 2:
      return c.Transmission;
    case 3:
    case 4:
    case 5:
    case 6:
      return ToUnit(f, c.Alarm[static_cast<std::size_t>(tag - 3)]);
    case 7:
      return ToUnit(f, c.AmbientValue);
    case 8:
      return ToUnit(f, c.F3Temp1);
    case 9:
      return ToUnit(f, c.F3Temp2);
    case 10:
      return c.AverageTime;
    case 11:
      return View::HoldTimeShown(c.PeakHoldTime, c.ValleyHoldTime);
    case 12:
      return ToUnit(f, c.AdvancedHoldThreshold);
    case 13:
      return DeltaToUnit(f, c.AdvancedHoldHysteresis);
    case 14:
      return DeltaToUnit(f, c.TweakOffset);
    case 15:
      return c.TweakGain;
    case 17:
      return FModelInfo.AlHysteresis ? DeltaToUnit(f, c.AlarmHysteresis) : 0.0;
    default:
      return 0.0;
  }
}

void TArgoDeviceSetupDlg::ReloadTag(int tag) {
  LoadingGuard guard(FLoading);
  if (tag == 16) {
    rgTempUnit->SetItemIndex(FCache.TempUnitFahrenheit ? 1 : 0);
  } else if (TDSpinEdit* edit = EditForTag(tag)) {
    LoadEdit(edit, CachedShown(tag));
  }
}

// --- Write side -------------------------------------------------------------------------

void TArgoDeviceSetupDlg::SetInputEnabled(bool enabled) {
  ArgoDeviceSetup_PageControl->setEnabled(enabled);
  btnSave->setEnabled(enabled);
  btnLoad->setEnabled(enabled);
  btnCancel->setEnabled(enabled);
  btnOK->setEnabled(enabled && !ParamChangeTimer->isActive());
}

void TArgoDeviceSetupDlg::Report(const QString& text) {
  if (ShowMessage) {
    ShowMessage(text);
  } else {
    QMessageBox::warning(this, windowTitle(), text);
  }
}

void TArgoDeviceSetupDlg::seParamChange(QObject* sender) {
  // Controls filled from the snapshot never write.
  if (FLoading || FBusy || FClosing || !FLoaded) return;
  int tag = 0;
  if (auto* edit = qobject_cast<TDSpinEdit*>(sender)) {
    // Only an edit in the control that holds the focus is the user's: the
    // edit's own clamping when it is left is not (the value is written then).
    if (!edit->hasFocus()) return;
    tag = edit->Tag();
    if (edit == seAvgTime) {
      double value = 0;
      if (seAvgTime->TryValue(value)) {
        const View::TimeStep step = View::AvgTimeStep(FModelInfo, value);
        seAvgTime->SetDecimal(static_cast<std::uint8_t>(step.decimals));
        seAvgTime->SetIncrement(step.increment);
      }
    }
  } else if (auto* group = qobject_cast<RadioGroup*>(sender)) {
    tag = group->Tag();
  }
  // (Another control's edit replacing the pending one writes that first.)
  ParamChangeTimer->Change(tag);
}

void TArgoDeviceSetupDlg::seAvgTimeExit() { ParamChangeTimer->ControlLeft(); }

void TArgoDeviceSetupDlg::ParamChangeTimerTimer(int tag) {
  if (FBusy || FClosing) return;
  WriteTag(tag);
  btnOK->setEnabled(!FSequence.Running());
}

void TArgoDeviceSetupDlg::EndSequence(const ArgoSetupSession::TOutcome& outcome) {
  if (outcome.ran) FCache = outcome.config;
  // Nothing more when it ended already (the dialog closed while it ran).
  FSequence.End();
}

void TArgoDeviceSetupDlg::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    // Esc cancels without leaving the edited control: a pending change is
    // dropped, not written.
    ParamChangeTimer->Discard();
    btnCancelClick();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TArgoDeviceSetupDlg::done(int result) {
  ParamChangeTimer->Discard();
  // A sequence still running reports to nobody: input and the driver's
  // progress are given back now.
  if (FSequence.Running()) EndSequence({});
  FRefreshTimer->stop();
  FBusy = true;
  FClosing = true;
  if (FIdleId != 0) {
    IdleHook::Instance().Detach(FIdleId);
    FIdleId = 0;
  }
  QDialog::done(result);
}
