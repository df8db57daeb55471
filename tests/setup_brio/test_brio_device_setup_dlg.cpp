// The first-generation setup dialog on its own, offscreen: the images
// decoded into the fields, leaving a field normalising it through the image
// (or bringing the message and the previous value back), OK refused on a
// bad field, the fail-safe box with one limit changed, factory defaults with
// and without the question, and the configuration file saved and loaded
// through the dialog.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <memory>

#include "setup_brio/brio_device_setup_dlg.h"
#include "setup_brio/brio_field_codec.h"
#include "setup_brio/loop_maintenance_dlg_brio.h"
#include "tests/setup_brio/brio_first_gen_fixture.h"
#include "tests/support/language_fixture.h"
#include "tests/support/wait_for.h"

namespace {

using test_support::WaitForEvents;

// A converter scale that makes the default image's output levels read -100
// and 4500 mV.
constexpr std::uint16_t kW = 4254;
constexpr std::int16_t kS = 3764;

BrioCalibrationImage Calibration(std::uint16_t w = kW, std::int16_t variant = 0) {
  return brio_test::Calibration(w, kS, variant);
}

class BrioDeviceSetupDlgTest : public ::testing::Test {
 protected:
  void Open(const BrioConfigImage& config, const BrioCalibrationImage& calibration = Calibration(),
            bool fahrenheit = false) {
    if (!dlg_) dlg_ = std::make_unique<TBrioDeviceSetupDLg>();
    dlg_->ShowMessage = [this](const QString& text) { messages_.push_back(text); };
    dlg_->AskYesNo = [this](const QString& question) {
      questions_.push_back(question);
      return answer_;
    };
    TBrioSetupImages images;
    images.Config = config;
    images.Calibration = calibration;
    TBrioSetupContext context;
    context.DeviceType = 3;
    context.Fahrenheit = fahrenheit;
    context.RangeLow = -30.0f;
    context.RangeHigh = 1000.0f;
    dlg_->SetImages(images, context);
    try {
      dlg_->ParamsToControls();
    } catch (const BrioDecodeError&) {
      dlg_->btnDefaultClick();
    }
    dlg_->SelectFirstPage();
    dlg_->show();
    dlg_->activateWindow();
    ASSERT_TRUE(WaitForEvents([&] { return dlg_->isActiveWindow(); }, 10000));
    Settle();
  }

  // The change timer has run.
  void Settle() {
    WaitForEvents([] { return false; }, 3 * TBrioDeviceSetupDLg::kChangeTimerMs);
  }

  void ShowPageOf(QWidget* control) {
    for (int i = 0; i < dlg_->pControl->count(); ++i)
      if (dlg_->pControl->widget(i)->isAncestorOf(control)) dlg_->pControl->setCurrentIndex(i);
  }
  void Focus(QWidget* control) {
    ShowPageOf(control);
    control->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(WaitForEvents([&] { return control->hasFocus(); }));
  }
  // Types into `edit` and leaves it for `next`.
  void TypeAndLeave(QLineEdit* edit, const QString& text, QWidget* next) {
    Focus(edit);
    edit->setText(text);
    Focus(next);
  }
  BrioConfigImage Config() const { return dlg_->Images().Config; }

  std::unique_ptr<TBrioDeviceSetupDLg> dlg_;
  std::vector<QString> messages_;
  std::vector<QString> questions_;
  bool answer_ = true;
};

TEST_F(BrioDeviceSetupDlgTest, ShowsTheDecodedImage) {
  Open(brio_test::DefaultConfig());
  EXPECT_EQ(dlg_->eEmiss->text(), QStringLiteral("0.950"));
  EXPECT_EQ(dlg_->eTrans->text(), QStringLiteral("1.000"));
  EXPECT_EQ(dlg_->eFsTmin->text(), QStringLiteral("-100.0"));
  EXPECT_EQ(dlg_->eFsTmax->text(), QStringLiteral("2000"));
  EXPECT_EQ(dlg_->eFsmVmin->text(), QStringLiteral("-100"));
  EXPECT_EQ(dlg_->eFsmVmax->text(), QStringLiteral("4500"));
  EXPECT_FALSE(dlg_->cbFailsafe->isChecked());
  EXPECT_EQ(dlg_->gbFailsafe->size(), QSize(137, 19));
  EXPECT_EQ(dlg_->cbHoldMode->itemText(5), QStringLiteral("Peak hold trigger off"));
  EXPECT_EQ(dlg_->lblINPinConfig->text(), QStringLiteral("communication input"));
  EXPECT_EQ(dlg_->TempLbl[0]->text(), QStringLiteral(" [\u00B0C]:"));
  EXPECT_EQ(dlg_->TempLbl[4]->text(), QStringLiteral(" \u00B0C"));
  EXPECT_TRUE(messages_.empty());
  EXPECT_FALSE(dlg_->pControl->isTabVisible(TBrioDeviceSetupDLg::kPageMaterial));
  EXPECT_EQ(dlg_->gbINPinConfig->parentWidget(), dlg_->tsGeneral);
  dlg_->pControl->setCurrentIndex(TBrioDeviceSetupDLg::kPageAlarm);
  EXPECT_EQ(dlg_->gbINPinConfig->parentWidget(), dlg_->tsAlarm);
  EXPECT_TRUE(dlg_->gbINPinConfig->isVisible());
}

TEST_F(BrioDeviceSetupDlgTest, LeavingAFieldNormalisesItThroughTheImage) {
  Open(brio_test::DefaultConfig());
  TypeAndLeave(dlg_->eEmiss, QStringLiteral(" 0,5"), dlg_->eTrans);
  EXPECT_EQ(dlg_->eEmiss->text(), QStringLiteral("0.500"));
  EXPECT_EQ(brio_test::Word(Config(), 0), 500);
  EXPECT_TRUE(messages_.empty());
}

TEST_F(BrioDeviceSetupDlgTest, AnInvalidFieldBringsItsMessageAndItsPreviousValueBack) {
  Open(brio_test::DefaultConfig());
  const BrioConfigImage before = Config();
  Focus(dlg_->eEmiss);
  dlg_->eEmiss->setText(QStringLiteral("1.1001"));
  dlg_->eTrans->setFocus(Qt::TabFocusReason);
  ASSERT_TRUE(WaitForEvents([&] { return !messages_.empty(); }));
  // The field takes the focus back.
  EXPECT_TRUE(WaitForEvents([&] { return dlg_->eEmiss->hasFocus(); }));
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0], QStringLiteral("Error value : Emissivity"));
  EXPECT_EQ(dlg_->eEmiss->text(), QStringLiteral("0.950"));
  EXPECT_EQ(Config().Data, before.Data);
}

TEST_F(BrioDeviceSetupDlgTest, OkIsRefusedOnABadFieldWhichComesToTheFront) {
  Open(brio_test::DefaultConfig());
  dlg_->eGain->setText(QStringLiteral("2.5"));
  dlg_->btnOK->click();
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0], QStringLiteral("Error value : gen. Gain"));
  EXPECT_TRUE(dlg_->isVisible());
  EXPECT_EQ(dlg_->result(), QDialog::Rejected);
  EXPECT_EQ(dlg_->pControl->currentIndex(), TBrioDeviceSetupDLg::kPageCalibration);
  EXPECT_TRUE(WaitForEvents([&] { return dlg_->eGain->hasFocus(); }));
  dlg_->eGain->setText(QStringLiteral("1.5"));
  dlg_->btnOK->click();
  EXPECT_FALSE(dlg_->isVisible());
  EXPECT_EQ(dlg_->result(), QDialog::Accepted);
  EXPECT_EQ(brio_test::Word(Config(), 20), 49152);
}

TEST_F(BrioDeviceSetupDlgTest, ShowValueErrorReportsTheFieldOnItsPage) {
  Open(brio_test::DefaultConfig());
  dlg_->ShowValueError(QStringLiteral("Output mV max."), dlg_->eMVmax);
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0], QStringLiteral("Error value : Output mV max."));
  EXPECT_EQ(dlg_->pControl->currentIndex(), TBrioDeviceSetupDLg::kPageOutput);
  EXPECT_TRUE(WaitForEvents([&] { return dlg_->eMVmax->hasFocus(); }));
}

// A device with only its lower fail-safe limit changed opens with the box
// ticked, so OK keeps that limit instead of storing the default again.
TEST_F(BrioDeviceSetupDlgTest, OneChangedFailsafeLimitTicksTheBoxAndSurvivesOk) {
  for (const bool fahrenheit : {false, true}) {
    BrioConfigImage config = brio_test::DefaultConfig();
    brio_test::SetWord(config, 12, 1000);  // 0 °C
    Open(config, Calibration(), fahrenheit);
    EXPECT_TRUE(dlg_->cbFailsafe->isChecked()) << fahrenheit;
    EXPECT_EQ(dlg_->gbFailsafe->size(), QSize(345, 137));
    dlg_->btnOK->click();
    EXPECT_EQ(dlg_->result(), QDialog::Accepted);
    EXPECT_EQ(brio_test::Word(Config(), 12), 1000) << fahrenheit;
    EXPECT_EQ(brio_test::Word(Config(), 14), 21000) << fahrenheit;
  }
}

TEST_F(BrioDeviceSetupDlgTest, UntickingTheFailsafeBoxStoresTheDefaultLimits) {
  BrioConfigImage config = brio_test::DefaultConfig();
  brio_test::SetWord(config, 12, 1000);
  brio_test::SetWord(config, 14, 5000);
  Open(config);
  ShowPageOf(dlg_->cbFailsafe);
  dlg_->cbFailsafe->click();
  Settle();
  EXPECT_EQ(dlg_->gbFailsafe->size(), QSize(137, 19));
  dlg_->btnOK->click();
  EXPECT_EQ(brio_test::Word(Config(), 12), 0);
  EXPECT_EQ(brio_test::Word(Config(), 14), 21000);
}

TEST_F(BrioDeviceSetupDlgTest, FactoryDefaultsAskFromTheButtonOnly) {
  BrioConfigImage config = brio_test::DefaultConfig();
  brio_test::SetWord(config, 0, 700);
  Open(config);
  ASSERT_EQ(dlg_->eEmiss->text(), QStringLiteral("0.700"));

  answer_ = false;
  dlg_->btnDefault->click();
  ASSERT_EQ(questions_.size(), 1u);
  EXPECT_EQ(questions_[0], QStringLiteral("You are sure ?"));
  EXPECT_EQ(dlg_->eEmiss->text(), QStringLiteral("0.700"));

  answer_ = true;
  dlg_->btnDefault->click();
  EXPECT_EQ(questions_.size(), 2u);
  EXPECT_EQ(dlg_->eEmiss->text(), QStringLiteral("0.950"));

  brio_test::SetWord(config, 0, 800);
  Open(config);
  dlg_->btnDefaultClick();
  EXPECT_EQ(questions_.size(), 2u);
  EXPECT_EQ(dlg_->eEmiss->text(), QStringLiteral("0.950"));
  EXPECT_EQ(dlg_->eMVmax->text(), QStringLiteral("3500"));
}

// A calibration without a converter scale cannot be decoded: the defaults
// are shown, with the default output levels.
TEST_F(BrioDeviceSetupDlgTest, AnUndecodableImageOpensWithTheDefaults) {
  BrioConfigImage config = brio_test::DefaultConfig();
  brio_test::SetWord(config, 0, 700);
  Open(config, Calibration(0));
  EXPECT_EQ(dlg_->eEmiss->text(), QStringLiteral("0.950"));
  EXPECT_EQ(dlg_->eFsmVmin->text(), QStringLiteral("-100"));
  EXPECT_EQ(dlg_->eFsmVmax->text(), QStringLiteral("4500"));
  EXPECT_EQ(dlg_->eMVmin->text(), QStringLiteral("0"));
  EXPECT_EQ(dlg_->eMVmax->text(), QStringLiteral("3500"));
  EXPECT_TRUE(questions_.empty());
}

TEST_F(BrioDeviceSetupDlgTest, AlarmBoxWithAnAnalogAmbientMovesItToTheHead) {
  BrioConfigImage config = brio_test::DefaultConfig();
  config.Data[45] = 0x21;  // ambient on the analog input
  config.Data[44] = 0x00;
  Open(config);
  EXPECT_EQ(dlg_->cbAmbSrc->currentIndex(), 1);
  EXPECT_EQ(dlg_->lblINPinConfig->text(), QStringLiteral("analog ambient input"));
  ShowPageOf(dlg_->cbAlarm);
  dlg_->cbAlarm->click();
  EXPECT_EQ(dlg_->cbAmbSrc->currentIndex(), 0);
  EXPECT_EQ(dlg_->lblINPinConfig->text(), QStringLiteral("alarm output"));
  EXPECT_EQ(Config().Data[44] & 0x13, 0x01);
  EXPECT_EQ(Config().Data[45], 0x24);
  EXPECT_TRUE(dlg_->gbAlarm->isEnabled());
}

// Choosing a hold mode from the list (its close-up) runs the trigger rule.
TEST_F(BrioDeviceSetupDlgTest, PeakHoldWithTriggerTakesTheInPinAndPlainPeakHoldGivesItBack) {
  Open(brio_test::DefaultConfig());
  ShowPageOf(dlg_->cbHoldMode);
  const auto choose = [&](int item) {
    dlg_->cbHoldMode->showPopup();
    dlg_->cbHoldMode->setCurrentIndex(item);
    dlg_->cbHoldMode->hidePopup();
    WaitForEvents([] { return false; }, 50);
  };
  choose(5);
  EXPECT_EQ(Config().Data[44] & 0x13, 0x10);
  EXPECT_EQ(dlg_->lblINPinConfig->text(), QStringLiteral("ext. trigger input"));
  EXPECT_EQ(dlg_->cbHoldMode->currentIndex(), 5);
  choose(1);
  EXPECT_EQ(Config().Data[44] & 0x13, 0x02);
  EXPECT_EQ(dlg_->lblINPinConfig->text(), QStringLiteral("communication input"));
  EXPECT_EQ(dlg_->cbHoldMode->currentIndex(), 1);
}

TEST_F(BrioDeviceSetupDlgTest, AVariantWithoutAlarmHidesTheAlarmBox) {
  Open(brio_test::DefaultConfig(), Calibration(kW, 1));
  ShowPageOf(dlg_->gbAlarm);
  EXPECT_FALSE(dlg_->cbAlarm->isVisible());
  EXPECT_TRUE(dlg_->gbAlarm->isEnabled());
  EXPECT_EQ(dlg_->gbAlarm->size(), QSize(225, 115));
}

TEST_F(BrioDeviceSetupDlgTest, SaveAndLoadRoundTripThroughTheDialog) {
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("Brio_11000.cfg"));
  BrioConfigImage config = brio_test::DefaultConfig();
  brio_test::SetWord(config, 0, 870);
  Open(config);
  ASSERT_TRUE(dlg_->SaveConfig(file));
  QFile saved(file);
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  const QByteArray bytes = saved.readAll();
  saved.close();
  EXPECT_TRUE(bytes.startsWith("ThermaSentinel-CONFIGURATION-FILE V2\r\n"));
  EXPECT_TRUE(bytes.contains("\r\neEmiss=0.870\r\n"));
  EXPECT_TRUE(
      bytes.contains("\r\n_Tmin=-30.00\xB0"
                     "C\r\n"));

  dlg_->btnDefaultClick();
  ASSERT_EQ(dlg_->eEmiss->text(), QStringLiteral("0.950"));
  ASSERT_TRUE(dlg_->LoadConfig(file));
  EXPECT_EQ(dlg_->eEmiss->text(), QStringLiteral("0.870"));
  EXPECT_EQ(brio_test::Word(Config(), 0), 870);
  EXPECT_TRUE(messages_.empty());

  const QString again = dir.filePath(QStringLiteral("again.cfg"));
  ASSERT_TRUE(dlg_->SaveConfig(again));
  QFile second(again);
  ASSERT_TRUE(second.open(QIODevice::ReadOnly));
  EXPECT_EQ(second.readAll(), bytes);
}

TEST_F(BrioDeviceSetupDlgTest, ALoadOfAnotherModelsFileChangesNothing) {
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("other.cfg"));
  QFile f(file);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(
      "ThermaSentinel-CONFIGURATION-FILE V2\r\n------------------------------------\r\n_Device_Model=Kora\r\n"
      "[BEGIN]\r\neEmiss=0.500\r\n[END]\r\n");
  f.close();
  Open(brio_test::DefaultConfig());
  EXPECT_FALSE(dlg_->LoadConfig(file));
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0], QStringLiteral("CONFIGURATION FILE NOT VALID !"));
  EXPECT_EQ(dlg_->eEmiss->text(), QStringLiteral("0.950"));
}

TEST_F(BrioDeviceSetupDlgTest, AGermanLanguageFileSwitchesCaptionsListsAndMessages) {
  // The forms exist before the language is loaded, as at program start.
  dlg_ = std::make_unique<TBrioDeviceSetupDLg>();
  TLoopMaintenanceDlgBrio loop;
  test_support::LanguageFixture language(
      "[Language]\r\nLanguage=Deutsch\r\n"
      "[BrioDeviceSetupDLg]\r\nCaption=Ger\xE4teeinstellung\r\ntsGeneral=Allgemein\r\n"
      "btnLoad=Konfiguration laden\r\n"
      "[LoopMaintenanceDlgBrio]\r\nCaption=Schleifenwartung\r\nBtnClose=&Schlie\xDF"
      "en und Normalbetrieb\r\n"
      "[Messages]\r\nConfigFileNotValid=KONFIGURATIONSDATEI UNG\xDCLTIG !\r\n"
      "[Other]\r\nPeakHold=Spitzenwert halten\r\nTriggerOff=Trigger aus\r\n");
  dlg_->FLng = &language.lng;

  EXPECT_EQ(dlg_->windowTitle(), QString::fromUtf8("Geräteeinstellung"));
  EXPECT_EQ(dlg_->pControl->tabText(TBrioDeviceSetupDLg::kPageGeneral), QStringLiteral("Allgemein"));
  EXPECT_EQ(dlg_->btnLoad->text(), QStringLiteral("Konfiguration laden"));
  EXPECT_EQ(dlg_->btnSave->text(), QStringLiteral("Save Config"));  // not in the file
  EXPECT_EQ(loop.windowTitle(), QStringLiteral("Schleifenwartung"));
  EXPECT_EQ(loop.BtnClose->text(), QString::fromUtf8("&Schließen und Normalbetrieb"));

  Open(brio_test::DefaultConfig());
  EXPECT_EQ(dlg_->cbHoldMode->itemText(1), QStringLiteral("Spitzenwert halten"));
  EXPECT_EQ(dlg_->cbHoldMode->itemText(5), QStringLiteral("Spitzenwert halten Trigger aus"));
  EXPECT_EQ(dlg_->cbHoldMode->itemText(2), QStringLiteral("Valley hold"));  // not in the file

  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("other.cfg"));
  QFile f(file);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(
      "ThermaSentinel-CONFIGURATION-FILE V2\r\n------------------------------------\r\n"
      "_Device_Model=brio\r\n[BEGIN]\r\n[END]\r\n");
  f.close();
  EXPECT_FALSE(dlg_->LoadConfig(file));
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0], QString::fromUtf8("KONFIGURATIONSDATEI UNGÜLTIG !"));
  dlg_->FLng = nullptr;
}

}  // namespace
