// The settings dialogs: view settings, options and measurement settings.
// Their rules apart from the widgets, each dialog's OK and Cancel through
// the main window and the settings file, and what the window applies.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QValidator>
#include <functional>
#include <memory>

#include "app/measurement_settings_dlg.h"
#include "app/measurement_settings_texts.h"
#include "app/modal_result.h"
#include "app/options_dlg.h"
#include "app/process_priority.h"
#include "app/therma_sentinel_form.h"
#include "app/view_settings_dlg.h"
#include "app/view_settings_rows.h"
#include "drivers/sentinel_utils.h"
#include "measurement/config.h"
#include "platform/number_text.h"
#include "tests/support/modal_dialog.h"
#include "tests/support/program_home.h"
#include "tests/support/wait_for.h"
#include "ui/d_spin_edit.h"
#include "ui/diagram.h"
#include "ui/lng_ini_supp.h"
#include "ui/radio_group.h"

namespace {

using test_support::WaitForEvents;
using test_support::WhenShown;
using Lock = ViewSettingsRows::Lock;

constexpr Lock N = Lock::None;
constexpr Lock M = Lock::Measurement;
constexpr Lock X = Lock::NotDelivered;

// ---------------------------------------------------------------------------
// Rows of the view settings

TEST(ViewSettingsRowsTest, RowLocksByDeviceStateAndMeasurement) {
  struct Case {
    const char* name;
    std::uint8_t type;
    std::uint8_t state;
    bool fast;
    std::array<Lock, 11> locks;  // rows TObj TInt TBox TAct T2C T1C Tau Eps mVin Vcc TAmb
  };
  const Case cases[] = {
      {"no device", 0, 1, false, {N, N, N, N, N, N, N, X, X, X, X}},
      {"single-colour, not connected", 1, 1, false, {N, N, N, N, N, N, N, X, X, X, X}},
      {"single-colour, connected", 1, 5, false, {N, N, N, N, X, X, X, X, X, X, X}},
      {"single-colour, 1 ms", 1, 5, true, {N, X, X, N, X, X, X, X, X, X, X}},
      {"ratio, connected", 2, 5, false, {N, X, N, X, N, N, N, X, X, X, X}},
      {"ratio, not connected", 2, 1, false, {N, N, N, N, N, N, N, X, X, X, X}},
      {"first-generation Brio", 3, 5, false, {N, N, X, N, X, X, X, X, X, X, X}},
      {"first-generation Brio, other model", 4, 1, false, {N, N, X, N, X, X, X, X, X, X, X}},
      {"second generation with inputs", 8, 5, false, {N, N, N, N, X, X, X, N, N, N, N}},
      {"second generation with inputs (2)", 9, 5, false, {N, N, N, N, X, X, X, N, N, N, N}},
      {"two-wire model", 5, 5, false, {N, N, N, N, X, X, X, X, X, X, X}},
      {"measuring", 8, 7, false, {M, M, M, M, X, X, X, M, M, M, M}},
      {"measuring, first generation", 3, 7, false, {M, M, X, M, X, X, X, X, X, X, X}},
  };
  for (const Case& c : cases) {
    TViewSettings view;
    view.DeviceType = c.type;
    view.Measuring = c.state;
    view.RowsEnabled = c.state < 7;
    for (int row = 0; row < 11; ++row)
      EXPECT_EQ(ViewSettingsRows::RowLock(view, row, c.fast), c.locks[row]) << c.name << ", row " << row;
  }
}

// OK during a measurement keeps the stored choices of the rows that only
// the measurement locked; rows the device does not deliver are stored as
// not shown; TObj is always drawn and ranged.
TEST(ViewSettingsRowsTest, OkKeepsRowsLockedOnlyByTheMeasurement) {
  TViewSettings view;
  view.DeviceType = 3;  // first generation: no box temperature
  view.Measuring = 7;
  view.RowsEnabled = false;
  for (TGraphProperties& g : view.Graphs) g = {true, true, true, 3, 0x123456, QString()};
  std::array<ViewSettingsRows::RowInput, 11> input{};  // every box shown unticked
  const auto graphs = ViewSettingsRows::GraphsOnOk(view, input, false);
  for (int row = 0; row < 11; ++row) {
    const bool delivered = ViewSettingsRows::RowLock(view, row, false) != Lock::NotDelivered;
    EXPECT_EQ(graphs[row].ShowDigital, delivered) << row;
    EXPECT_EQ(graphs[row].ShowDiagram, delivered || row == 0) << row;
    EXPECT_EQ(graphs[row].PenWidth, 3) << row;
    EXPECT_EQ(graphs[row].Color, 0x123456u) << row;
  }
  EXPECT_FALSE(graphs[2].ShowDigital);

  // Not measuring: the boxes count, the range only while the row is drawn,
  // and TObj is drawn and ranged whatever its boxes show.
  view.Measuring = 1;
  view.RowsEnabled = true;
  view.DeviceType = 1;
  input[1] = {true, false, true, 5};
  input[3] = {false, true, true, 0};
  const auto edited = ViewSettingsRows::GraphsOnOk(view, input, false);
  EXPECT_TRUE(edited[0].ShowDiagram);
  EXPECT_TRUE(edited[0].RangeDiagram);
  EXPECT_FALSE(edited[0].ShowDigital);
  EXPECT_TRUE(edited[1].ShowDigital);
  EXPECT_FALSE(edited[1].RangeDiagram);
  EXPECT_EQ(edited[1].PenWidth, 5);
  EXPECT_TRUE(edited[3].RangeDiagram);
  EXPECT_EQ(edited[3].PenWidth, ViewSettingsRows::kMinPenWidth);
}

// ---------------------------------------------------------------------------
// Figures of the measurement settings

TEST(MeasurementSettingsTextsTest, IntervalIndexAndTexts) {
  struct Case {
    float r;
    int index;
    const char* text;
  };
  const Case cases[] = {
      {0.001f, 0, "1msec"}, {0.002f, 1, "2msec"},  {0.03f, 5, "30msec"},
      {0.5f, 8, "500msec"}, {1.0f, 9, "1sec"},     {30.0f, 14, "30sec"},
      {120.0f, 16, "2min"}, {900.0f, 19, "15min"}, {5000.0f, 19, "83min"},
  };
  const MeasurementSettingsTexts texts;
  for (const Case& c : cases) {
    EXPECT_EQ(MeasurementSettingsTexts::IntervalIndex(c.r), c.index) << c.r;
    EXPECT_EQ(texts.IntervalText(c.r), QString::fromLatin1(c.text)) << c.r;
  }
}

TEST(MeasurementSettingsTextsTest, MemoryAndRecordingTime) {
  SentinelUtils::UnitKByteText = QStringLiteral("KB");
  SentinelUtils::UnitMByteText = QStringLiteral("MB");
  NumberText::SetDecimalSeparator(QLatin1Char('.'));
  EXPECT_EQ(MeasurementSettingsTexts::MemoryText(5000000), QStringLiteral("209.8MB"));
  EXPECT_EQ(MeasurementSettingsTexts::MemoryText(1000), QStringLiteral("42KB"));
  EXPECT_EQ(MeasurementSettingsTexts::MemoryText(23000), QStringLiteral("988KB"));
  EXPECT_EQ(MeasurementSettingsTexts::MemoryText(24000), QStringLiteral("  1.0MB"));
  NumberText::SetDecimalSeparator(QChar());

  struct Case {
    double seconds;
    const char* text;
  };
  const Case cases[] = {
      {1000 * double(0.001f), "1 sec"},
      {59.9, "59 sec"},
      {90.0, "1 min, 30 sec"},
      {3600.0 + 1800.0, "1 h, 30 min"},
      {86400.0 + 6 * 3600.0, "1 day, 6 h"},
      {3 * 86400.0 + 12 * 3600.0, "3 days, 12 h"},
      {604800.0 + 2 * 86400.0, "1 week, 2 days"},
      {5000.0 * 1000.0, "8 weeks, 2 days"},
      {63115200.0, "2 years"},
  };
  const MeasurementSettingsTexts texts;
  for (const Case& c : cases)
    EXPECT_EQ(texts.RecordingTimeText(c.seconds), QString::fromLatin1(c.text)) << c.seconds;
}

TEST(ProcessPriorityTest, NiceValuesMapToTheFourClasses) {
  EXPECT_EQ(ProcessPriority::IndexOfNice(19), ProcessPriority::kIdle);
  EXPECT_EQ(ProcessPriority::IndexOfNice(5), ProcessPriority::kIdle);
  EXPECT_EQ(ProcessPriority::IndexOfNice(0), ProcessPriority::kNormal);
  EXPECT_EQ(ProcessPriority::IndexOfNice(-10), ProcessPriority::kHigh);
  EXPECT_EQ(ProcessPriority::IndexOfNice(-20), ProcessPriority::kRealtime);
  EXPECT_FALSE(ProcessPriority::Apply(4));
}

// ---------------------------------------------------------------------------
// The dialogs on their own

TEST(OptionsDlgTest, OnlyPointAndCommaAreDecimalSeparators) {
  TOptionsDlg dlg;
  const QValidator* v = dlg.eDecimalSeparator->validator();
  ASSERT_NE(v, nullptr);
  struct Case {
    const char* text;
    bool accepted;
    char stored;  // after OK with that text in the edit
  };
  const Case cases[] = {{".", true, '.'},  {",", true, ','},  {"", true, '.'},    {";", false, '.'},
                        {"5", false, '.'}, {"-", false, '.'}, {"\t", false, '.'}, {"e", false, '.'}};
  for (const Case& c : cases) {
    QString text = QString::fromLatin1(c.text);
    int pos = 0;
    EXPECT_EQ(v->validate(text, pos) == QValidator::Acceptable, c.accepted) << '"' << c.text << '"';
    dlg.Options = TOptions{};
    dlg.Options.Set(TOption::DecimalSeparator);
    dlg.FormShow();
    // Text set by code passes no validator; OK still takes only '.' or ','.
    dlg.eDecimalSeparator->setText(text);
    dlg.btnOKClick();
    EXPECT_EQ(dlg.result(), mrOk);
    EXPECT_EQ(dlg.Options.DecimalUserDefined, QLatin1Char(c.stored)) << '"' << c.text << '"';
  }
}

TEST(OptionsDlgTest, OkKeepsTheFlagsItDoesNotShow) {
  TOptionsDlg dlg;
  dlg.Options.Flags = 0x1FFFFF;  // every flag
  dlg.FormShow();
  for (QCheckBox* b : {dlg.cbAskForSaving, dlg.cbForceSaving, dlg.cbAutoScan, dlg.cbAutoStart,
                       dlg.cbScanNonUSB, dlg.cbEnableLASER, dlg.cbLaserWarning, dlg.cbBriov2InputInspection})
    b->setChecked(false);
  dlg.rbSystem->setChecked(true);
  dlg.rbAppName->setChecked(true);
  EXPECT_FALSE(dlg.eDecimalSeparator->isEnabled());
  EXPECT_FALSE(dlg.eUserDefTitle->isEnabled());
  dlg.btnOKClick();
  EXPECT_EQ(dlg.Options.Flags, 0x1FFFFFu & ~TOptionsDlg::ShownFlags());
  EXPECT_TRUE(dlg.Options.Has(TOption::ShowOnlyDiagram));
  EXPECT_FALSE(dlg.Options.Has(TOption::DecimalSeparator));
}

TEST(OptionsDlgTest, PriorityShownIsTheProcesssOwn) {
  TOptionsDlg dlg;
  dlg.FormShow();
  EXPECT_EQ(dlg.cbPriority->count(), 4);
  EXPECT_EQ(dlg.cbPriority->currentIndex(), ProcessPriority::Current());
  EXPECT_EQ(dlg.cbPriority->itemText(0), QStringLiteral("idle"));
}

TEST(ViewSettingsDlgTest, RowsFollowTheDeviceAndTheColourDialog) {
  TViewSettingsDlg dlg;
  dlg.View.DeviceType = 3;
  dlg.View.Measuring = 5;
  for (TGraphProperties& g : dlg.View.Graphs) g = {false, true, true, 2, 0x0000FF, QStringLiteral("x")};
  dlg.FormShow();
  // The first generation has no box temperature: its row cannot be ticked.
  EXPECT_FALSE(dlg.cbShowDig[2]->isEnabled());
  EXPECT_FALSE(dlg.bbColor[2]->isEnabled());
  EXPECT_TRUE(dlg.cbShowDig[1]->isEnabled());
  EXPECT_FALSE(dlg.cbArgo1ms->isVisibleTo(&dlg));
  // The range box follows the diagram box.
  dlg.cbShowDia[1]->setChecked(false);
  EXPECT_FALSE(dlg.cbRangeDia[1]->isEnabled());
  dlg.cbShowDia[1]->setChecked(true);
  EXPECT_TRUE(dlg.cbRangeDia[1]->isEnabled());
  // A cancelled colour dialog keeps the colour; a chosen one replaces it.
  dlg.ChooseColor = [](const QColor&) -> std::optional<QColor> { return std::nullopt; };
  dlg.bbColor[1]->click();
  EXPECT_EQ(dlg.View.Graphs[1].Color, 0x0000FFu);
  dlg.ChooseColor = [](const QColor& c) -> std::optional<QColor> {
    EXPECT_EQ(c, QColor(255, 0, 0));
    return QColor(0, 0, 255);
  };
  dlg.bbColor[1]->click();
  EXPECT_EQ(dlg.View.Graphs[1].Color, 0xFF0000u);
}

TEST(ViewSettingsDlgTest, OneMillisecondModeLocksTIntAndTBox) {
  TViewSettingsDlg dlg;
  dlg.View.DeviceType = 1;
  dlg.View.Measuring = 5;
  dlg.View.FastBurstPossible = true;
  dlg.View.Argo1ms = false;
  for (TGraphProperties& g : dlg.View.Graphs) g = {true, true, true, 2, 0, QString()};
  dlg.FormShow();
  EXPECT_TRUE(dlg.cbArgo1ms->isVisibleTo(&dlg));
  EXPECT_TRUE(dlg.cbShowDig[1]->isEnabled());
  dlg.cbArgo1ms->setChecked(true);
  EXPECT_FALSE(dlg.cbShowDig[1]->isEnabled());
  EXPECT_FALSE(dlg.cbShowDig[2]->isEnabled());
  EXPECT_TRUE(dlg.cbShowDig[3]->isEnabled());
  dlg.btnOKClick();
  EXPECT_TRUE(dlg.View.Argo1ms);
  EXPECT_FALSE(dlg.View.Graphs[1].ShowDigital);
  EXPECT_TRUE(dlg.View.Graphs[3].ShowDigital);
  // Without a device that can take it, the box is hidden and the stored
  // choice stays; the rows are not locked by it.
  dlg.View.FastBurstPossible = false;
  dlg.FormShow();
  EXPECT_TRUE(dlg.cbShowDig[1]->isEnabled());
  dlg.btnOKClick();
  EXPECT_TRUE(dlg.View.Argo1ms);
  dlg.View.FastBurstPossible = true;
  dlg.FormShow();
  dlg.cbArgo1ms->setChecked(false);
  dlg.btnOKClick();
  EXPECT_FALSE(dlg.View.Argo1ms);
}

TEST(ViewSettingsDlgTest, OnlyMeasuringLocksTheIntervalAndTheInitialTime) {
  TViewSettingsDlg dlg;
  dlg.View.DeviceType = 1;
  dlg.View.FastBurstPossible = true;
  for (const auto& [state, locked] : {std::pair{5, false}, std::pair{7, true}, std::pair{8, false}}) {
    dlg.View.Measuring = static_cast<std::uint8_t>(state);
    dlg.View.RowsEnabled = state < 7;
    dlg.FormShow();
    EXPECT_EQ(dlg.cbArgo1ms->isEnabled(), !locked) << state;
    EXPECT_EQ(dlg.seInitialTime->isEnabled(), !locked) << state;
    // The rows stay locked through the whole measurement.
    EXPECT_EQ(dlg.cbShowDig[0]->isEnabled(), state < 7) << state;
  }
}

TEST(MeasurementSettingsDlgTest, ShowsTheFiguresOfItsSettings) {
  SentinelUtils::UnitKByteText = QStringLiteral("KB");
  TMeasurementSettingsDlg dlg;
  dlg.MaxData = 1000;
  dlg.SetResolution(0.0f);
  dlg.SetResolution(0.001f);
  dlg.FormShow();
  EXPECT_EQ(dlg.stResolution->text(), QStringLiteral("1msec"));
  EXPECT_EQ(dlg.stRecordingTime->text(), QStringLiteral("1 sec"));
  EXPECT_EQ(dlg.stMemory->text(), QStringLiteral("42KB"));
  EXPECT_EQ(dlg.udResolution->value(), 0);
  EXPECT_TRUE(dlg.rbStop->isChecked());
  EXPECT_TRUE(dlg.gbCommModeAuto->isChecked());
  // An interval between the table's entries puts the arrows at the next one.
  dlg.SetResolution(0.03f);
  EXPECT_EQ(dlg.udResolution->value(), 5);
  EXPECT_EQ(dlg.stResolution->text(), QStringLiteral("30msec"));
  dlg.udResolution->stepBy(1);
  EXPECT_FLOAT_EQ(dlg.Resolution(), 0.1f);
  EXPECT_EQ(dlg.stRecordingTime->text(), QStringLiteral("1 min, 40 sec"));
}

// ---------------------------------------------------------------------------
// Through the main window and the settings file

class SettingsDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(home_.IsValid()); }
  void TearDown() override { form_.reset(); }

  static constexpr const char* kOptions =
      "[Options]\r\nAutoScan=0\r\nAutoStart=1\r\nShowOnlyDiagram=1\r\nDecimalSeparator=0\r\n"
      "DecimalUserDefined=.\r\nApplicationTitle_Mode=0\r\nApplicationTitle_Title=Plant\r\n";

  TThermaSentinelForm& Start(const char* options = kOptions) {
    QFile f(home_.SettingsFile());
    EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(options);
    f.write(
        "[Settings]\r\nTInt_ShowDigital=0\r\nTObj_Color=16711680\r\nInitialTime=10\r\nMaxData=10000000\r\n"
        "Resolution=0.001\r\nOnMaxData=0\r\nCommunicationMode=0\r\n");
    f.close();
    form_ = std::make_unique<TThermaSentinelForm>(QStringList{QStringLiteral("ThermaSentinel")},
                                                  QStringLiteral("1.2.3.4"));
    form_->show();
    EXPECT_TRUE(WaitForEvents([&] { return form_->Started(); }, 8000));
    return *form_;
  }

  test_support::ProgramHome home_;
  std::unique_ptr<TThermaSentinelForm> form_;
};

// Each dialog opened from its command, edited, and closed with Cancel (the
// file and the window as before) or OK (stored and applied at once).
TEST_F(SettingsDialogsTest, OkAndCancelThroughTheSettingsFile) {
  struct Case {
    const char* name;
    std::function<QDialog*(TThermaSentinelForm&)> dialog;
    std::function<void(TThermaSentinelForm&)> command;
    std::function<void(TThermaSentinelForm&)> edit;
    std::function<QStringList(const TConfig&)> stored;
    QStringList before;
    QStringList after;
    // What the window shows, after Cancel (false) or OK (true).
    std::function<void(TThermaSentinelForm&, bool ok)> applied;
  };
  const auto bit = [](const TConfig& c, TOption o) {
    return QString::number(c.ReadOptions().Has(o) ? 1 : 0);
  };
  const Case cases[] = {
      {"view settings",
       [](TThermaSentinelForm& f) { return static_cast<QDialog*>(f.ViewSettingsDlg); },
       [](TThermaSentinelForm& f) { f.mViewSettings->trigger(); },
       [](TThermaSentinelForm& f) {
         TViewSettingsDlg& d = *f.ViewSettingsDlg;
         d.cbShowDig[1]->setChecked(true);
         d.ChooseColor = [](const QColor&) -> std::optional<QColor> { return QColor(0, 255, 0); };
         d.bbColor[0]->click();
         d.seInitialTime->SetValue(25.0);
       },
       [](const TConfig& c) {
         return QStringList{QString::number(c.ReadTIntGraph().ShowDigital),
                            QString::number(c.ReadTObjGraph().Color), QString::number(c.ReadInitialTime())};
       },
       {"0", "16711680", "10"},
       {"1", "65280", "25"},
       [](TThermaSentinelForm& f, bool ok) {
         EXPECT_EQ(f.Graph()[1].ShowDigital, ok);
         EXPECT_EQ(f.mTInt->isChecked(), ok);
         EXPECT_EQ(f.Graph()[0].Color, ok ? 0x00FF00u : 0xFF0000u);
         EXPECT_FLOAT_EQ(f.InitialTime(), ok ? 25.0f : 10.0f);
         const bool panelShown = !f.Panels1[1].Box->isHidden() || !f.Panels2[1].Box->isHidden();
         EXPECT_EQ(panelShown, ok);
       }},
      {"options",
       [](TThermaSentinelForm& f) { return static_cast<QDialog*>(f.OptionsDlg); },
       [](TThermaSentinelForm& f) { f.mOptions->trigger(); },
       [](TThermaSentinelForm& f) {
         TOptionsDlg& d = *f.OptionsDlg;
         // Without a Brio device the unit is the device's own.
         EXPECT_FALSE(d.rgTempUnit->isEnabled());
         EXPECT_EQ(d.cbPriority->currentIndex(), ProcessPriority::Current());
         d.cbAutoStart->setChecked(false);
         d.rbUserDefined->setChecked(true);
         d.eDecimalSeparator->setText(QStringLiteral(","));
         d.rbUserDefTitle->setChecked(true);
         d.eUserDefTitle->setText(QStringLiteral("Kiln A"));
       },
       [bit](const TConfig& c) {
         return QStringList{bit(c, TOption::AutoStart),
                            bit(c, TOption::DecimalSeparator),
                            QString(c.ReadOptions().DecimalUserDefined),
                            bit(c, TOption::ApplicationTitle_Mode),
                            c.ReadOptions().ApplicationTitle_Title,
                            bit(c, TOption::ShowOnlyDiagram)};
       },
       {"1", "0", ".", "0", "Plant", "1"},
       {"0", "1", ",", "1", "Kiln A", "1"},
       [](TThermaSentinelForm& f, bool ok) {
         EXPECT_EQ(f.windowTitle() == QStringLiteral("Kiln A"), ok) << f.windowTitle().toStdString();
         EXPECT_EQ(NumberText::DecimalSeparator() == QLatin1Char(','), ok);
         EXPECT_EQ(f.Options().Has(TOption::AutoStart), !ok);
         EXPECT_TRUE(f.Options().Has(TOption::ShowOnlyDiagram));
       }},
      {"measurement settings",
       [](TThermaSentinelForm& f) { return static_cast<QDialog*>(f.MeasurementSettingsDlg); },
       [](TThermaSentinelForm& f) { f.mMeasurementSettings->trigger(); },
       [](TThermaSentinelForm& f) {
         TMeasurementSettingsDlg& d = *f.MeasurementSettingsDlg;
         d.udResolution->stepBy(1);
         d.seMaxData->setValue(1);
         d.rbOverwrite->setChecked(true);
         d.gbCommModePoll->setChecked(true);
       },
       [](const TConfig& c) {
         return QStringList{QString::number(c.ReadResolution()), QString::number(c.ReadMaxData()),
                            QString::number(c.ReadOnMaxData()), QString::number(c.ReadCommunicationMode())};
       },
       {"0.001", "10000000", "0", "0"},
       {"0.002", "1000", "1", "2"},
       [](TThermaSentinelForm& f, bool ok) {
         EXPECT_EQ(f.Diagram()->MaxData(), ok ? 1000 : 10000000);
         EXPECT_FLOAT_EQ(static_cast<float>(f.Diagram()->Resolution()), ok ? 0.002f : 0.001f);
         EXPECT_EQ(f.Diagram()->MemoryMode(), ok ? dmmOverwrite : dmmStop);
       }},
  };
  for (const Case& c : cases) {
    for (const bool ok : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (ok ? ", OK" : ", Cancel"));
      TThermaSentinelForm& f = Start();
      QDialog* dialog = c.dialog(f);
      bool acted = false;
      WhenShown(dialog, [&] {
        c.edit(f);
        acted = true;
        (ok ? dialog->findChild<QPushButton*>(QStringLiteral("btnOK"))
            : dialog->findChild<QPushButton*>(QStringLiteral("btnCancel")))
            ->click();
      });
      c.command(f);
      EXPECT_TRUE(acted);
      EXPECT_EQ(dialog->result(), ok ? mrOk : mrCancel);
      // The file holds it at once, not only after the window closed.
      EXPECT_EQ(c.stored(TConfig(f.Config()->FileName())), ok ? c.after : c.before);
      c.applied(f, ok);
      form_.reset();
      NumberText::SetDecimalSeparator(QChar());
    }
  }
}

// A separator stored by hand (or by an older version) that is not '.' or ','
// is not used: the numbers keep the system's separator.
TEST_F(SettingsDialogsTest, StoredDecimalSeparatorIsUsedOnlyWhenAllowed) {
  struct Case {
    const char* options;
    QChar expected;
  };
  const QChar system = NumberText::SystemDecimalSeparator();
  const Case cases[] = {
      {"[Options]\r\nAutoScan=0\r\nDecimalSeparator=1\r\nDecimalUserDefined=,\r\n", QLatin1Char(',')},
      {"[Options]\r\nAutoScan=0\r\nDecimalSeparator=1\r\nDecimalUserDefined=;\r\n", system},
      {"[Options]\r\nAutoScan=0\r\nDecimalSeparator=1\r\nDecimalUserDefined=7\r\n", system},
      {"[Options]\r\nAutoScan=0\r\nDecimalSeparator=0\r\nDecimalUserDefined=,\r\n", system},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options);
    Start(c.options);
    EXPECT_EQ(NumberText::DecimalSeparator(), c.expected);
    form_.reset();
    NumberText::SetDecimalSeparator(QChar());
  }
}

// OK in the measurement settings starts the chart afresh: unsaved data get
// the question first; a cancel keeps the data, the chart and the settings.
TEST_F(SettingsDialogsTest, MeasurementSettingsAskAboutUnsavedData) {
  for (const int answer : {int(mrCancel), int(mrNo)}) {
    SCOPED_TRACE(answer);
    TThermaSentinelForm& f = Start();
    f.SetUnsavedData(true);
    int asked = 0;
    f.OnAskSaveQuestion = [&] {
      ++asked;
      return answer;
    };
    TMeasurementSettingsDlg& d = *f.MeasurementSettingsDlg;
    WhenShown(&d, [&] {
      d.seMaxData->setValue(2);
      d.btnOK->click();
    });
    f.mMeasurementSettings->trigger();
    EXPECT_EQ(asked, 1);
    const bool applied = answer == mrNo;
    EXPECT_EQ(TConfig(f.Config()->FileName()).ReadMaxData(), applied ? 2000 : 10000000);
    EXPECT_EQ(f.Diagram()->MaxData(), applied ? 2000 : 10000000);
    EXPECT_EQ(f.UnsavedData(), !applied);
    f.SetUnsavedData(false);
    form_.reset();
  }
}

// The settings commands are there whatever the connection state allows.
TEST_F(SettingsDialogsTest, CommandsAreEnabled) {
  TThermaSentinelForm& f = Start();
  EXPECT_TRUE(f.mViewSettings->isEnabled());
  EXPECT_TRUE(f.mOptions->isEnabled());
  EXPECT_TRUE(f.mMeasurementSettings->isEnabled());
}

}  // namespace
