// The pages of the first-generation setup dialog: its controls, where they
// stand and their hints. The groups whose sizes the dialog's rules change
// (fail-safe, alarm, post processing) are placed by pixel, so all are.

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "setup_brio/brio_device_setup_dlg.h"
#include "setup_common/setup_change_timer.h"

namespace {

QString Latin(const char* text) { return QString::fromLatin1(text); }

QLabel* Label(QWidget* parent, const char* name, const char* text, int x, int y, int w = 120) {
  auto* label = new QLabel(Latin(text), parent);
  label->setObjectName(Latin(name));
  label->setGeometry(x, y + 3, w, 17);
  return label;
}

QLineEdit* Edit(QWidget* parent, const char* name, int x, int y, const char* hint, int w = 65) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(Latin(name));
  edit->setGeometry(x, y, w, 21);
  edit->setToolTip(Latin(hint));
  return edit;
}

QComboBox* Combo(QWidget* parent, const char* name, int x, int y, int w,
                 std::initializer_list<const char*> items) {
  auto* combo = new QComboBox(parent);
  combo->setObjectName(Latin(name));
  combo->setGeometry(x, y, w, 21);
  for (const char* item : items) combo->addItem(Latin(item));
  return combo;
}

QGroupBox* Group(QWidget* parent, const char* name, const char* caption, int x, int y, int w, int h) {
  auto* group = new QGroupBox(Latin(caption), parent);
  group->setObjectName(Latin(name));
  group->setGeometry(x, y, w, h);
  return group;
}

QCheckBox* Check(QWidget* parent, const char* name, const char* caption, int x, int y, int w = 16) {
  auto* box = new QCheckBox(Latin(caption), parent);
  box->setObjectName(Latin(name));
  box->setGeometry(x, y, w, 17);
  return box;
}

QWidget* Page(QTabWidget* tabs, const char* name, const char* caption) {
  auto* page = new QWidget(tabs);
  page->setObjectName(Latin(name));
  tabs->addTab(page, Latin(caption));
  return page;
}

constexpr const char* kTempHint =
    "-40 ... 500\xB0"
    "C";
constexpr const char* kMvHint = "0 ... 11000";
// The items of the fail-safe lists, as they stand (they are not renamed).
const std::initializer_list<const char*> kFailsafeItems = {
    "@under -> mV min  , @over -> mV max", "@under -> mV max , @over -> mV min",
    "@under -> mV min  , @over -> mV min", "@under -> mV max , @over -> mV max"};

}  // namespace

void TBrioDeviceSetupDLg::CreatePages() {
  setObjectName(QStringLiteral("BrioDeviceSetupDLg"));
  setWindowTitle(QStringLiteral("Device Setup"));
  resize(567, 418);
  auto* layout = new QVBoxLayout(this);
  pControl = new QTabWidget(this);
  pControl->setObjectName(QStringLiteral("pControl"));
  layout->addWidget(pControl, 1);
  tsGeneral = Page(pControl, "tsGeneral", "General");
  tsOutput = Page(pControl, "tsOutput", "Output");
  tsMaterial = Page(pControl, "tsMaterial", "Material tab.");
  tsAlarm = Page(pControl, "tsAlarm", "Alarm");
  tsPostProcessing = Page(pControl, "tsPostProcessing", "Post Processing");
  tsCalibration = Page(pControl, "tsCalibration", "Calibration");
  CreateGeneralPage();
  CreateOutputPage();
  CreateMaterialPage();
  CreateAlarmPage();
  CreatePostProcessingPage();
  CreateCalibrationPage();
  // The material table is not offered.
  pControl->setTabVisible(kPageMaterial, false);
  CreateButtons();
  // The tick only sets which controls are shown and enabled.
  SetupChangeTimer::TRules rules;
  rules.intervalMs = kChangeTimerMs;
  ChangeTimer = new SetupChangeTimer(this, QStringLiteral("ChangeTimer"), rules);
}

void TBrioDeviceSetupDLg::CreateGeneralPage() {
  gbGeneral = Group(tsGeneral, "gbGeneral", "General setup", 8, 8, 530, 180);
  QWidget* g = gbGeneral;
  Label(g, "lblTrans", "Transmission:", 12, 22);
  eTrans = Edit(g, "eTrans", 165, 22, "0.1 ... 1.1");
  Label(g, "lblAvg", "Avg. Time [s]:", 12, 47);
  eAvg = Edit(g, "eAvg", 165, 47, "0 ... 999.95");
  cbSmartAvg = Check(g, "cbSmartAvg", "Smart averaging", 245, 49, 160);
  Label(g, "lblEmissSrc", "Emissivity Source:", 12, 72);
  cbEmissSrc = Combo(g, "cbEmissSrc", 165, 72, 180, {"FixedValue", "External Analog"});
  lblEmiss = Label(g, "lblEmiss", "Emissivity:", 12, 97);
  eEmiss = Edit(g, "eEmiss", 165, 97, "0.1 ... 1.1");
  Label(g, "lblAmbSrc", "Ambient temp. source:", 12, 122, 150);
  cbAmbSrc = Combo(g, "cbAmbSrc", 165, 122, 180, {"Internal (Head)", "External Analog", "FixedValue"});
  lblFixAmb = Label(g, "lblFixAmb", "Ambient temperature:", 12, 147, 150);
  eFixAmb = Edit(g, "eFixAmb", 165, 147, kTempHint);
  TempLbl[0] = Label(g, "TempLbl1", "", 137, 147, 40);
  TempLblPartner[0] = lblFixAmb;

  gbINPinConfig = Group(tsGeneral, "gbINPinConfig", "\"IN\" pin is configured as", 8, 200, 530, 60);
  lblINPinConfig = new QLabel(gbINPinConfig);
  lblINPinConfig->setObjectName(QStringLiteral("lblINPinConfig"));
  lblINPinConfig->setGeometry(8, 24, 514, 20);
  lblINPinConfig->setAlignment(Qt::AlignCenter);
  QFont bold = lblINPinConfig->font();
  bold.setBold(true);
  lblINPinConfig->setFont(bold);
}

void TBrioDeviceSetupDLg::CreateOutputPage() {
  QWidget* p = tsOutput;
  gbMode = Group(p, "gbMode", "Mode:", 8, 4, 530, 48);
  cbOutMode =
      Combo(gbMode, "cbOutMode", 12, 20, 200, {"mVOutput", "CommOutput", "BurstOutput", "AlarmOutput"});

  gbOutput = Group(p, "gbOutput", "mV output  :", 8, 58, 180, 130);
  lblOutputTempMin = Label(gbOutput, "lblOutputTempMin", "Temp min", 8, 22, 50);
  eTmin = Edit(gbOutput, "eTmin", 105, 22, "-30.0..900.0");
  TempLbl[2] = Label(gbOutput, "TempLbl3", "", 58, 22, 45);
  TempLblPartner[2] = lblOutputTempMin;
  lblOutputTempMax = Label(gbOutput, "lblOutputTempMax", "Temp max", 8, 47, 50);
  eTmax = Edit(gbOutput, "eTmax", 105, 47, "-30.0..900.0");
  TempLbl[3] = Label(gbOutput, "TempLbl4", "", 58, 47, 45);
  TempLblPartner[3] = lblOutputTempMax;
  Label(gbOutput, "lblMVmin", "mV min :", 8, 72, 90);
  eMVmin = Edit(gbOutput, "eMVmin", 105, 72, "0 ... 10000");
  Label(gbOutput, "lblMVmax", "mV min :", 8, 97, 90);
  eMVmax = Edit(gbOutput, "eMVmax", 105, 97, "0 ... 10000");

  gbFailsafe = Group(p, "gbFailsafe", "Failsafe settings :", 192, 58, 345, 137);
  QWidget* f = gbFailsafe;
  Label(f, "lblFsTmin", "Temp min:", 8, 22, 60);
  eFsTmin = Edit(f, "eFsTmin", 70, 22, kTempHint);
  TempLbl[4] = Label(f, "TempLbl5", "", 137, 22, 35);
  Label(f, "lblFsTmax", "Temp max:", 8, 47, 60);
  eFsTmax = Edit(f, "eFsTmax", 70, 47, kTempHint);
  TempLbl[5] = Label(f, "TempLbl6", "", 137, 47, 35);
  eFsmVmin = Edit(f, "eFsmVmin", 180, 22, kMvHint);
  Label(f, "lblFsmVmin", "mV", 250, 22, 30);
  eFsmVmax = Edit(f, "eFsmVmax", 180, 47, kMvHint);
  Label(f, "lblFsmVmax", "mV", 250, 47, 30);
  Label(f, "lblFsAmb", "Amb. failsafe:", 8, 75, 90);
  cbFsAmb = Combo(f, "cbFsAmb", 100, 75, 235, kFailsafeItems);
  Label(f, "lblFsTarget", "Target failsafe:", 8, 102, 90);
  cbFsTarget = Combo(f, "cbFsTarget", 100, 102, 235, kFailsafeItems);
  // The box sits on the group's frame, outside it, so the group's enabling
  // does not reach it.
  cbFailsafe = Check(p, "cbFailsafe", "", 300, 56);

  gbBurst = Group(p, "gbBurst", "Burstmode :", 8, 58, 260, 160);
  const char* burstNames[] = {"cbBurst1", "cbBurst2", "cbBurst3", "cbBurst4", "cbBurst5"};
  const char* burstLabels[] = {"lblBurst1", "lblBurst2", "lblBurst3", "lblBurst4", "lblBurst5"};
  const char* burstCaptions[] = {"Value 1:", "Value 2:", "Value 3:", "Value 4:", "Value 5:"};
  for (int i = 0; i < 5; ++i) {
    Label(gbBurst, burstLabels[i], burstCaptions[i], 8, 22 + 26 * i, 60);
    cbBurst[i] = Combo(gbBurst, burstNames[i], 70, 22 + 26 * i, 180,
                       {"None", "ProcessTemp", "InternalTemp", "Emissivity", "Transmissivity", "AmbientTemp",
                        "ActTargetTemp"});
  }

  gbOutAlarm = Group(p, "gbOutAlarm", "Alarm output :", 8, 58, 300, 160);
  QWidget* a = gbOutAlarm;
  Label(a, "lblAlarmSource", "Source:", 8, 22, 90);
  cbAlarmSource = Combo(a, "cbAlarmSource", 110, 22, 150, {"TargetTemp", "HeadTemp"});
  Label(a, "lblAlarmMode", "Mode:", 8, 48, 90);
  cbAlarmMode = Combo(a, "cbAlarmMode", 110, 48, 150, {"Normally Open", "Normally Close"});
  lblAlarm2 = Label(a, "lblAlarm2", "Temp", 8, 74, 40);
  eAlarm2 = Edit(a, "eAlarm2", 110, 74, "-30.0..900.0");
  TempLbl[8] = Label(a, "TempLbl9", "", 48, 74, 50);
  TempLblPartner[8] = lblAlarm2;
  Label(a, "lblAlarmMVmin", "Low alarm mV :", 8, 100, 100);
  eAlarmMVmin = Edit(a, "eAlarmMVmin", 110, 100, kMvHint);
  Label(a, "lblAlarmMVmax", "High alarm mV :", 8, 126, 100);
  eAlarmMVmax = Edit(a, "eAlarmMVmax", 110, 126, kMvHint);

  // Never shown: its values only travel through the configuration file.
  gbOutput05 = Group(p, "gbOutput05", "mV output 0-5V :", 8, 200, 180, 120);
  eTmin5 = Edit(gbOutput05, "eTmin5", 105, 22, "-30.0..900.0");
  eTmax5 = Edit(gbOutput05, "eTmax5", 105, 47, "-30.0..900.0");
  eMVmin5 = Edit(gbOutput05, "eMVmin5", 105, 72, "");
  eMVmax5 = Edit(gbOutput05, "eMVmax5", 105, 97, "");
  gbOutput05->setVisible(false);
  gbOutput05->setEnabled(false);
}

void TBrioDeviceSetupDLg::CreateMaterialPage() {
  static const char* const kNames[8][5] = {
      {"lblPos1", "eEmiss1", "eLo1", "eHi1", "cbOut1"}, {"lblPos2", "eEmiss2", "eLo2", "eHi2", "cbOut2"},
      {"lblPos3", "eEmiss3", "eLo3", "eHi3", "cbOut3"}, {"lblPos4", "eEmiss4", "eLo4", "eHi4", "cbOut4"},
      {"lblPos5", "eEmiss5", "eLo5", "eHi5", "cbOut5"}, {"lblPos6", "eEmiss6", "eLo6", "eHi6", "cbOut6"},
      {"lblPos7", "eEmiss7", "eLo7", "eHi7", "cbOut7"}, {"lblPos8", "eEmiss8", "eLo8", "eHi8", "cbOut8"}};
  static const char* const kCaptions[8] = {
      "Pos. 1 :", "Pos. 2 :", "Pos. 3 :", "Pos. 4 :", "Pos. 5 :", "Pos. 6 :", "Pos. 7 :", "Pos. 8 :"};
  for (int row = 0; row < 8; ++row) {
    const int y = 10 + 26 * row;
    Label(tsMaterial, kNames[row][0], kCaptions[row], 8, y, 50);
    Edit(tsMaterial, kNames[row][1], 60, y, "", 60);
    Edit(tsMaterial, kNames[row][2], 125, y, "", 60);
    Edit(tsMaterial, kNames[row][3], 190, y, "", 60);
    Combo(tsMaterial, kNames[row][4], 255, y, 110, {"blue led", "mV output", "none"})->setCurrentIndex(0);
  }
}

void TBrioDeviceSetupDLg::CreateAlarmPage() {
  gbAlarm = Group(tsAlarm, "gbAlarm", "Alarm :", 8, 8, 225, 115);
  Label(gbAlarm, "lblLEDsource", "Source:", 8, 24, 60);
  cbLEDsource = Combo(gbAlarm, "cbLEDsource", 70, 24, 145, {"TargetTemp", "HeadTemp"});
  Label(gbAlarm, "lblLEDmode", "Mode:", 8, 52, 60);
  cbLEDmode = Combo(gbAlarm, "cbLEDmode", 70, 52, 145, {"Normally Off", "Normally On"});
  Label(gbAlarm, "lblAlarm1", "Temp:", 8, 80, 60);
  eAlarm1 = Edit(gbAlarm, "eAlarm1", 70, 80, "-30.0..900.0");
  TempLbl[1] = Label(gbAlarm, "TempLbl2", "", 140, 80, 40);
  cbAlarm = Check(tsAlarm, "cbAlarm", "", 60, 6);
}

void TBrioDeviceSetupDLg::CreatePostProcessingPage() {
  gbPostProcessing = Group(tsPostProcessing, "gbPostProcessing", "Post processing", 8, 8, 400, 137);
  QWidget* g = gbPostProcessing;
  Label(g, "lblHoldMode", "Hold mode:", 8, 18, 130);
  cbHoldMode = Combo(g, "cbHoldMode", 140, 18, 200,
                     {"Off", "PeakHold", "ValleyHold", "AdvPeakHold", "AdvValleyHold", "PeakHold trigger off",
                      "ValleyHold trigger off"});
  lblHTime = Label(g, "lblHTime", "Hold time [sec]:", 8, 46, 130);
  eHTime = Edit(g, "eHTime", 140, 46, "0 ... 999.9 (999.9 = infinite)");
  lblHTimeRemark = Label(g, "lblHTimeRemark", "(999.9 = infinite)", 210, 46, 120);
  lblThreshold = Label(g, "lblThreshold", "Adv. Hold Threshold", 8, 78, 110);
  eHSchwelle = Edit(g, "eHSchwelle", 140, 78, "0 ... 999.9");
  TempLbl[6] = Label(g, "TempLbl7", "", 118, 78, 40);
  TempLblPartner[6] = lblThreshold;
  lblHysterese = Label(g, "lblHysterese", "Adv. Hold Hyterese", 8, 104, 110);
  eHHysterese = Edit(g, "eHHysterese", 140, 104, "0 ... 999.9");
  TempLbl[7] = Label(g, "TempLbl8", "", 118, 104, 40);
  TempLblPartner[7] = lblHysterese;
}

void TBrioDeviceSetupDLg::CreateCalibrationPage() {
  auto* g = Group(tsCalibration, "gbCalibration", "Calibration", 8, 8, 250, 80);
  Label(g, "lblGain", "Gain:", 8, 22, 60);
  eGain = Edit(g, "eGain", 80, 22, "0 ... 1.999");
  Label(g, "lblOffs", "Offset:", 8, 48, 60);
  eOffs = Edit(g, "eOffs", 80, 48, "-200.0 ... 200.0");
}

void TBrioDeviceSetupDLg::CreateButtons() {
  auto* row = new QHBoxLayout;
  const auto button = [this, row](const char* name, const char* caption) {
    auto* b = new QPushButton(Latin(caption), this);
    b->setObjectName(Latin(name));
    b->setAutoDefault(false);
    row->addWidget(b);
    return b;
  };
  btnSave = button("btnSave", "Save Config");
  btnLoad = button("btnLoad", "Load Config");
  btnDefault = button("btnDefault", "Factory default");
  row->addStretch(1);
  btnCancel = button("btnCancel", "Cancel");
  btnOK = button("btnOK", "OK");
  btnOK->setDefault(true);
  static_cast<QVBoxLayout*>(layout())->addLayout(row);
}
