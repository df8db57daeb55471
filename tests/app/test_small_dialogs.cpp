// The small dialogs: device information, the question box, the command-line
// help, the please-wait window, the default-settings question, the about box
// and the help menu's desktop commands.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>

#include "app/about_dlg.h"
#include "app/device_info_dlg.h"
#include "app/form1.h"
#include "app/help_commands.h"
#include "app/param_show.h"
#include "app/pyreon_msg_dlg.h"
#include "app/set_default_settings_dlg.h"
#include "drivers/sentinel_utils.h"
#include "platform/folders.h"
#include "platform/ini_file.h"
#include "tests/support/language_fixture.h"
#include "ui/caption_panel.h"
#include "ui/form_registry.h"
#include "ui/lng_ini_supp.h"

namespace {

struct NamedText {
  const char* name;
  const char* text;
};

// The text of a named control (label or button), or a marker when there is
// no such control.
QString TextOf(const QWidget* form, const char* name) {
  const QObject* control = form->findChild<QObject*>(QString::fromLatin1(name));
  if (const auto* label = qobject_cast<const QLabel*>(control)) return label->text();
  if (const auto* button = qobject_cast<const QAbstractButton*>(control)) return button->text();
  return QStringLiteral("<no control %1>").arg(QString::fromLatin1(name));
}

void ExpectTexts(const QWidget* form, std::initializer_list<NamedText> texts) {
  for (const NamedText& t : texts) EXPECT_EQ(TextOf(form, t.name), QString::fromUtf8(t.text)) << t.name;
}

// Presses and releases `key` on `widget`.
void KeyClick(QWidget* widget, Qt::Key key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QApplication::sendEvent(widget, &press);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
  QApplication::sendEvent(widget, &release);
}

// Clicks `button` and returns the dialog's result.
int ResultOfClick(QDialog& dialog, QAbstractButton* button) {
  dialog.setResult(-1);
  button->click();
  return dialog.result();
}

// A language file in a program folder of its own, loaded read-only.
using test_support::LanguageFixture;

class UnitTexts : public ::testing::Test {
 protected:
  void SetUp() override {
    SentinelUtils::UnitCelsiusText = QStringLiteral(" °C");
    SentinelUtils::UnitFahrenheitText = QStringLiteral(" °F");
  }
  void TearDown() override {
    SentinelUtils::UnitCelsiusText.clear();
    SentinelUtils::UnitFahrenheitText.clear();
  }
};

}  // namespace

// ---------------------------------------------------------------- device info

using DeviceInfoDlgTest = UnitTexts;

TEST_F(DeviceInfoDlgTest, DesignTextsAndRegistration) {
  TDeviceInfoDlg dlg;
  EXPECT_EQ(dlg.objectName(), QStringLiteral("DeviceInfoDlg"));
  EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Device Information"));
  ExpectTexts(&dlg, {{"lblDeviceType", "Device type:"},
                     {"lblSerial", "Serial No.:"},
                     {"lblFirmware", "Firmware Rev.:"},
                     {"lblDeviceRange", "IR Temperature range:"},
                     {"stDeviceType", "??"},
                     {"stSerial", "00000000"},
                     {"stFirmware", "0.000"},
                     {"stDeviceRange", "0.0 .. 0.0"},
                     {"btnOK", "OK"}});
  EXPECT_EQ(FormRegistry::FindComponent(&dlg, QStringLiteral("bvlDeviceRange")), dlg.bvlDeviceRange);
  EXPECT_TRUE(FormRegistry::Forms().contains(&dlg));
  EXPECT_EQ(ResultOfClick(dlg, dlg.btnOK), 1);
}

TEST_F(DeviceInfoDlgTest, ShowFillsTextsAndUnitSwitchesWhileOpen) {
  TDeviceInfoDlg dlg;
  dlg.DeviceTypeText = QStringLiteral("Argo");
  dlg.SerialText = QStringLiteral("12345678");
  dlg.FirmwareText = QStringLiteral("2.150");
  dlg.RangeLow = 0.0F;
  dlg.RangeHigh = 1000.0F;
  dlg.show();
  ExpectTexts(&dlg, {{"stDeviceType", "Argo"},
                     {"stSerial", "12345678"},
                     {"stFirmware", "2.150"},
                     {"stDeviceRange", "0.0 °C .. 1000 °C"}});
  EXPECT_TRUE(dlg.lblDeviceRange->isVisible());
  EXPECT_TRUE(dlg.bvlDeviceRange->isVisible());

  struct Case {
    int unitFlag;
    const char* range;
  };
  for (const Case& c :
       {Case{1, "32.0 °F .. 1832 °F"}, Case{0, "0.0 °C .. 1000 °C"}, Case{1, "32.0 °F .. 1832 °F"}}) {
    dlg.UnitMessage(c.unitFlag);
    EXPECT_EQ(dlg.Fahrenheit, c.unitFlag == 1);
    EXPECT_EQ(dlg.stDeviceRange->text(), QString::fromUtf8(c.range)) << c.unitFlag;
    EXPECT_TRUE(dlg.isVisible());
  }
}

TEST_F(DeviceInfoDlgTest, RangeLabelFollowsRangeText) {
  TDeviceInfoDlg dlg;
  dlg.stDeviceRange->hide();
  dlg.show();
  EXPECT_FALSE(dlg.lblDeviceRange->isVisible());
  EXPECT_FALSE(dlg.bvlDeviceRange->isVisible());
  dlg.hide();
  dlg.stDeviceRange->show();
  dlg.show();
  EXPECT_TRUE(dlg.lblDeviceRange->isVisible());
  EXPECT_TRUE(dlg.bvlDeviceRange->isVisible());
}

// --------------------------------------------------------------- question box

struct ButtonSetCase {
  int set;
  std::vector<std::pair<const char*, int>> buttons;  // caption, modal result
};

TEST(PyreonMsgDlgTest, ButtonSetsGiveCaptionsAndResults) {
  const std::vector<ButtonSetCase> cases{
      {0, {{"&OK", mrOk}}},
      {1, {{"&OK", mrOk}, {"&Cancel", mrCancel}}},
      {2, {{"&Abort", mrAbort}, {"&Retry", mrRetry}, {"&Ignore", mrIgnore}}},
      {3, {{"&Yes", mrYes}, {"&No", mrNo}, {"&Cancel", mrCancel}}},
      {4, {{"&Yes", mrYes}, {"&No", mrNo}}},
      {5, {{"&Retry", mrRetry}, {"&Cancel", mrCancel}}},
  };
  for (const ButtonSetCase& c : cases) {
    const int count = static_cast<int>(c.buttons.size());
    EXPECT_EQ(TPyreonMsgDlgRules::ButtonSet(c.set).Count, count) << "set " << c.set;
    TPyreonMsgDlg dlg(nullptr, c.set, count);
    dlg.show();
    QPushButton* all[3] = {dlg.Btn1, dlg.Btn2, dlg.Btn3};
    EXPECT_TRUE(dlg.Btn1->isDefault());
    for (int i = 0; i < 3; ++i) {
      SCOPED_TRACE(testing::Message() << "set " << c.set << " button " << i + 1);
      EXPECT_EQ(all[i]->isVisible(), i < count);
      if (i < count) {
        EXPECT_EQ(all[i]->text(), QString::fromLatin1(c.buttons[i].first));
      }
    }
    for (int i = 0; i < count; ++i) {
      dlg.show();
      EXPECT_EQ(ResultOfClick(dlg, all[i]), c.buttons[i].second) << "set " << c.set << " button " << i + 1;
      EXPECT_FALSE(dlg.isVisible());
    }
  }
}

TEST(PyreonMsgDlgTest, ButtonCountsAreKeptInsideTheSet) {
  struct Case {
    int set, count, shown;
  } cases[] = {{3, 3, 3}, {3, 2, 2}, {4, 3, 2}, {0, 0, 1}, {1, -5, 1}, {2, 9, 3}};
  for (const Case& c : cases)
    EXPECT_EQ(TPyreonMsgDlgRules::ShownButtons(c.set, c.count), c.shown) << c.set << "/" << c.count;
  // A set the box does not know is a single OK button.
  for (int set : {-1, 6, 100}) {
    TPyreonMsgDlg dlg(nullptr, set, 3);
    dlg.show();
    EXPECT_TRUE(dlg.Btn1->isVisible());
    EXPECT_FALSE(dlg.Btn2->isVisible());
    EXPECT_FALSE(dlg.Btn3->isVisible());
    EXPECT_EQ(ResultOfClick(dlg, dlg.Btn1), mrOk);
  }
}

TEST(PyreonMsgDlgTest, CheckBoxLayoutTable) {
  struct Case {
    bool q1, q2;
    int slotQ1, slotQ2, slotsShown;
  } cases[] = {
      {true, false, 0, 1, 1},
      {false, true, 1, 0, 1},
      {true, true, 0, 1, 2},
      {false, false, 0, 1, 0},
  };
  for (const Case& c : cases) {
    const TMsgDlgCheckLayout l = TPyreonMsgDlgRules::CheckLayout(c.q1, c.q2);
    EXPECT_EQ(l.SlotQ1, c.slotQ1) << c.q1 << c.q2;
    EXPECT_EQ(l.SlotQ2, c.slotQ2) << c.q1 << c.q2;
    EXPECT_EQ(l.SlotsShown, c.slotsShown) << c.q1 << c.q2;
  }
}

TEST(PyreonMsgDlgTest, FormEndsBelowTheLastShownRow) {
  auto make = [](const QString& q1, const QString& q2) {
    auto dlg = std::make_unique<TPyreonMsgDlg>(nullptr, 4, 2);
    dlg->SetText(QStringLiteral("There is unsaved Data.  Save now?"));
    dlg->SetCheckBox1Text(q1);
    dlg->SetCheckBox2Text(q2);
    dlg->show();
    return dlg;
  };
  const QString a = QStringLiteral("Do not ask me this question again.");
  const QString b = QStringLiteral("Second");
  auto none = make(QString(), QString());
  auto onlyQ1 = make(a, QString());
  auto onlyQ2 = make(QString(), b);
  auto both = make(a, b);

  // Set 4 without check boxes: two buttons, no check box, the form ends
  // right below the buttons.
  EXPECT_FALSE(none->cbQ1->isVisible());
  EXPECT_FALSE(none->cbQ2->isVisible());
  const int buttonsBottom = none->Btn1->geometry().bottom();
  EXPECT_GT(none->height(), buttonsBottom);
  EXPECT_LT(none->height() - buttonsBottom, 30);

  EXPECT_TRUE(onlyQ1->cbQ1->isVisible());
  EXPECT_FALSE(onlyQ1->cbQ2->isVisible());
  EXPECT_FALSE(onlyQ2->cbQ1->isVisible());
  EXPECT_TRUE(onlyQ2->cbQ2->isVisible());
  // The second box alone takes the place of the first.
  EXPECT_EQ(onlyQ2->cbQ2->y(), onlyQ1->cbQ1->y());
  EXPECT_EQ(onlyQ2->height(), onlyQ1->height());
  EXPECT_EQ(both->cbQ1->y(), onlyQ1->cbQ1->y());
  EXPECT_GT(both->cbQ2->y(), both->cbQ1->y());
  EXPECT_LT(none->height(), onlyQ1->height());
  EXPECT_LT(onlyQ1->height(), both->height());

  // A caption given while the box is open lays it out again.
  none->SetCheckBox1Text(a);
  QApplication::processEvents();
  EXPECT_TRUE(none->cbQ1->isVisible());
  EXPECT_EQ(none->height(), onlyQ1->height());
  onlyQ1->SetCheckBox1Text(QString());
  QApplication::processEvents();
  EXPECT_FALSE(onlyQ1->cbQ1->isVisible());
}

TEST(PyreonMsgDlgTest, TextCheckStateAndClosing) {
  TPyreonMsgDlg dlg(nullptr, 3, 3);
  EXPECT_EQ(dlg.objectName(), QStringLiteral("DlgPyreonMsg"));
  EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Dialog"));
  dlg.SetText(QStringLiteral("There is unsaved Data.  Save now?"));
  EXPECT_EQ(dlg.lblQ0->text(), QStringLiteral("There is unsaved Data.  Save now?"));
  EXPECT_FALSE(dlg.CheckBox1State());
  dlg.SetCheckBox1State(true);
  EXPECT_TRUE(dlg.CheckBox1State());
  EXPECT_TRUE(dlg.cbQ1->isChecked());

  // Escape presses the cancel button (Btn3) when the set has one ...
  dlg.show();
  dlg.setResult(-1);
  KeyClick(&dlg, Qt::Key_Escape);
  EXPECT_EQ(dlg.result(), mrCancel);
  EXPECT_FALSE(dlg.isVisible());

  // ... and does nothing otherwise; closing the window counts as Cancel.
  TPyreonMsgDlg yesNo(nullptr, 4, 2);
  yesNo.show();
  yesNo.setResult(-1);
  KeyClick(&yesNo, Qt::Key_Escape);
  EXPECT_TRUE(yesNo.isVisible());
  yesNo.close();
  EXPECT_EQ(yesNo.result(), mrCancel);
}

TEST(PyreonMsgDlgTest, ButtonCaptionsComeFromTheLanguageFile) {
  LanguageFixture language("[Language]\r\nLanguage=Test\r\n[Other]\r\nYes=&Ja\r\nNo=&Nein\r\n");
  TPyreonMsgDlg dlg(nullptr, 3, 3, &language.lng);
  dlg.show();
  EXPECT_EQ(dlg.Btn1->text(), QStringLiteral("&Ja"));
  EXPECT_EQ(dlg.Btn2->text(), QStringLiteral("&Nein"));
  EXPECT_EQ(dlg.Btn3->text(), QStringLiteral("&Cancel"));  // not in the file
}

// ------------------------------------------------------- command-line help

TEST(ParamShowTest, HelpTexts) {
  TfParamShow dlg;
  EXPECT_EQ(dlg.objectName(), QStringLiteral("fParamShow"));
  EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Help :"));
  ExpectTexts(&dlg, {{"Label1", "Parameter Help :"},
                     {"Label2", "/? or /HELP"},
                     {"Label3", ": This HELP screen"},
                     {"Label4", "/NAME=xxx"},
                     {"Label5", ": Start Therma Sentinel with instance name \"xxxx\""},
                     {"Label6", "  (do only use letters and digits)"},
                     {"Label7", "/DELAY=xxx"},
                     {"Label8", ": Start Therma Sentinel with a delay of xx seconds"},
                     {"bOK", "OK"}});
  EXPECT_FALSE(dlg.windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_EQ(dlg.palette().color(QPalette::Window), QColor(Qt::white));
  dlg.show();
  // Each meaning stands right of its switch, the note below the name's.
  EXPECT_GT(dlg.Label3->x(), dlg.Label2->x() + dlg.Label2->width() - 1);
  EXPECT_EQ(dlg.Label3->y(), dlg.Label2->y());
  EXPECT_EQ(dlg.Label6->x(), dlg.Label5->x());
  EXPECT_GT(dlg.Label6->y(), dlg.Label5->y());
  EXPECT_GT(dlg.Label7->y(), dlg.Label6->y());
  EXPECT_EQ(ResultOfClick(dlg, dlg.bOK), 1);
  EXPECT_FALSE(dlg.isVisible());
}

// --------------------------------------------------------------- please wait

TEST(Form1Test, ShowsItsMessage) {
  TForm1 form;
  EXPECT_EQ(form.objectName(), QStringLiteral("Form1"));
  EXPECT_EQ(form.Message, QStringLiteral("Please wait !"));
  EXPECT_EQ(form.Panel1->Caption(), QStringLiteral("Please wait ...."));
  EXPECT_TRUE(form.windowFlags() & Qt::FramelessWindowHint);
  EXPECT_TRUE(form.windowFlags() & Qt::WindowStaysOnTopHint);
  form.Message = QStringLiteral("Please wait ...");
  form.show();
  EXPECT_EQ(form.Panel1->Caption(), QStringLiteral("Please wait ..."));
  EXPECT_EQ(form.Panel1->geometry(), form.rect());
}

// ----------------------------------------------------------- default settings

TEST(SetDefaultSettingsDlgTest, TextsAndSafeDefault) {
  TSetDefaultSettingsDlg dlg;
  EXPECT_EQ(dlg.objectName(), QStringLiteral("SetDefaultSettingsDlg"));
  EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Set default settings :"));
  ExpectTexts(&dlg, {{"lblLine1", "Set all settings to default"},
                     {"lblLine2", "and restart the application ."},
                     {"lblLine3", "Are you sure ?"},
                     {"btnOK", "OK"},
                     {"btnCancel", "Cancel"}});
  EXPECT_TRUE(dlg.lblLine1->alignment() & Qt::AlignHCenter);
  EXPECT_FALSE(dlg.windowFlags() & Qt::WindowCloseButtonHint);

  dlg.show();
  dlg.activateWindow();
  EXPECT_TRUE(dlg.btnCancel->isDefault());
  EXPECT_FALSE(dlg.btnOK->isDefault());
  // Return and Escape both answer Cancel.
  for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
    dlg.show();
    dlg.setResult(-1);
    KeyClick(&dlg, key);
    EXPECT_EQ(dlg.result(), 2) << key;
  }
  dlg.show();
  EXPECT_EQ(ResultOfClick(dlg, dlg.btnOK), 1);
}

TEST(SetDefaultSettingsDlgTest, StartsAProgramWithItsArguments) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString out = dir.filePath(QStringLiteral("args.txt"));
  const QStringList args{QStringLiteral("-c"),
                         QStringLiteral("printf '%s|' \"$@\" > \"$0.tmp\" && mv \"$0.tmp\" \"$0\""), out,
                         QStringLiteral("/NAME=Line 2"), QStringLiteral("/DELAY=3")};
  ASSERT_TRUE(TSetDefaultSettingsDlg::StartProgram(QStringLiteral("/bin/sh"), args));
  QElapsedTimer timer;
  timer.start();
  while (!QFile::exists(out) && timer.elapsed() < 10000) {
    QApplication::processEvents();
    QThread::msleep(10);
  }
  QFile file(out);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), QByteArray("/NAME=Line 2|/DELAY=3|"));

  EXPECT_FALSE(TSetDefaultSettingsDlg::StartProgram(dir.filePath(QStringLiteral("missing")), {}));
  EXPECT_FALSE(TSetDefaultSettingsDlg::StartProgram(QString(), {}));
}

// ------------------------------------------------------------------ about box

TEST(AboutDlgTest, VersionText) {
  struct Case {
    const char* version;
    const char* text;
  } cases[] = {
      {"2.1.0.57", "2.1.0 Build 57"},
      {"1.0.0.1", "1.0.0 Build 1"},
      {"3.2", "3.2.0 Build 0"},
      {"65535.0.0.65535", "65535.0.0 Build 65535"},
      {"", ""},
      {"1.2.3.4.5", ""},
      {"1.x.0.0", ""},
      {"65536.0.0.0", ""},
      {"1..2.3", ""},
      {"-1.0.0.0", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(TAboutDlg::FormatVersionText(QString::fromLatin1(c.version)), QString::fromLatin1(c.text))
        << c.version;
  EXPECT_FALSE(TAboutDlg::VersionText().isEmpty());
}

TEST(AboutDlgTest, ShowsTitleVersionAndNotice) {
  TAboutDlg dlg;
  EXPECT_EQ(dlg.objectName(), QStringLiteral("AboutDlg"));
  EXPECT_EQ(dlg.windowTitle(), QStringLiteral("About"));
  ExpectTexts(&dlg, {{"stProgTitle", "Program title"}, {"Label2", "CopyRight"}, {"btnOK", "OK"}});
  EXPECT_TRUE(dlg.Label2->wordWrap());
  EXPECT_TRUE(dlg.findChild<QFrame*>(QStringLiteral("Bevel1")));
  EXPECT_TRUE(dlg.findChild<QLabel*>(QStringLiteral("Logo")));

  dlg.ProgTitle = QStringLiteral("ThermaSentinel");
  dlg.NoticeText = QStringLiteral("(c) The maker");
  dlg.show();
  EXPECT_EQ(dlg.stProgTitle->text(), QStringLiteral("ThermaSentinel"));
  EXPECT_TRUE(dlg.stProgTitle->alignment() & Qt::AlignHCenter);
  EXPECT_EQ(dlg.Label1->text(), QStringLiteral("Rev. ") + TAboutDlg::VersionText());
  EXPECT_EQ(dlg.Label2->text(), QStringLiteral("(c) The maker"));
  EXPECT_EQ(ResultOfClick(dlg, dlg.btnOK), 1);
}

// ------------------------------------------------------------ help menu items

TEST(HelpCommandsTest, WebLinkAddress) {
  struct Case {
    const char* caption;
    const char* address;
  } cases[] = {
      {"&www.example.com", "http://www.example.com"},
      {"www.example.com/de", "http://www.example.com/de"},
      {"&", ""},
      {"", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(HelpCommands::WebLinkAddress(QString::fromLatin1(c.caption)), QString::fromLatin1(c.address))
        << c.caption;

  QList<QUrl> opened;
  auto open = [&opened](const QUrl& url) {
    opened.append(url);
    return true;
  };
  EXPECT_FALSE(HelpCommands::OpenWebLink(QString(), open));
  EXPECT_TRUE(opened.isEmpty());
  EXPECT_TRUE(HelpCommands::OpenWebLink(QStringLiteral("&www.example.com"), open));
  ASSERT_EQ(opened.size(), 1);
  EXPECT_EQ(opened[0].toString(), QStringLiteral("http://www.example.com"));
}

TEST(HelpCommandsTest, HelpFileStaysInTheProgramFolder) {
  LanguageFixture language("[Language]\r\nLanguage=Test\r\nHelpFile=..\\..\\Manual.pdf\r\n");
  const QDir folder(language.ProgramFolder());
  EXPECT_EQ(language.lng.HelpFile(), QStringLiteral("..\\..\\Manual.pdf"));
  EXPECT_EQ(HelpCommands::HelpFilePath(language.lng.HelpFile()),
            folder.filePath(QStringLiteral("Manual.pdf")));
  EXPECT_EQ(HelpCommands::HelpFilePath(QStringLiteral("/etc/passwd")),
            folder.filePath(QStringLiteral("passwd")));
  EXPECT_EQ(HelpCommands::HelpFilePath(QStringLiteral("..")), QString());
  EXPECT_EQ(HelpCommands::HelpFilePath(QString()), QString());

  QList<QUrl> opened;
  QStringList messages;
  auto open = [&opened](const QUrl& url) {
    opened.append(url);
    return true;
  };
  auto show = [&messages](const QString& text, const QString& caption) {
    messages.append(caption + u'|' + text);
  };

  // Missing: the message, and nothing is opened.
  EXPECT_FALSE(HelpCommands::OpenHelpFile(nullptr, language.lng, open, show));
  EXPECT_TRUE(opened.isEmpty());
  EXPECT_EQ(messages, QStringList{QStringLiteral("Error|HelpFile not found!")});

  // Present: handed to the desktop.
  QFile help(folder.filePath(QStringLiteral("Manual.pdf")));
  ASSERT_TRUE(help.open(QIODevice::WriteOnly));
  help.close();
  messages.clear();
  EXPECT_TRUE(HelpCommands::OpenHelpFile(nullptr, language.lng, open, show));
  EXPECT_TRUE(messages.isEmpty());
  ASSERT_EQ(opened.size(), 1);
  EXPECT_EQ(opened[0], QUrl::fromLocalFile(folder.filePath(QStringLiteral("Manual.pdf"))));
}

TEST(HelpCommandsTest, MissingHelpMessageComesFromTheLanguageFile) {
  LanguageFixture language(
      "[Language]\r\nLanguage=Test\r\nHelpFile=none.pdf\r\n[Messages]\r\nNoHelp=Keine "
      "Hilfe\r\n[Other]\r\nError=Fehler\r\n");
  QStringList messages;
  auto show = [&messages](const QString& text, const QString& caption) {
    messages.append(caption + u'|' + text);
  };
  EXPECT_FALSE(HelpCommands::OpenHelpFile(
      nullptr, language.lng, [](const QUrl&) { return true; }, show));
  EXPECT_EQ(messages, QStringList{QStringLiteral("Fehler|Keine Hilfe")});
}

// ------------------------------------------------------------- language file

TEST(SmallDialogsLanguageTest, EnglishFileKeepsTheDesignTexts) {
  QFile english(QStringLiteral(TS_SOURCE_DIR "/lang/English.lng"));
  ASSERT_TRUE(english.open(QIODevice::ReadOnly));
  TfParamShow help;
  TDeviceInfoDlg info;
  TSetDefaultSettingsDlg reset;
  const std::vector<QDialog*> forms{&help, &info, &reset};
  std::vector<std::vector<std::pair<QString, QString>>> before;
  auto texts = [](const QDialog* form) {
    std::vector<std::pair<QString, QString>> all{{QStringLiteral("Caption"), form->windowTitle()}};
    for (const QObject* c : FormRegistry::Components(form)) {
      if (const auto* label = qobject_cast<const QLabel*>(c))
        all.emplace_back(c->objectName(), label->text());
      if (const auto* button = qobject_cast<const QAbstractButton*>(c))
        all.emplace_back(c->objectName(), button->text());
    }
    return all;
  };
  for (const QDialog* form : forms) before.push_back(texts(form));

  const IniFile file(english.fileName());
  LanguageFixture language(english.readAll());
  for (std::size_t i = 0; i < forms.size(); ++i) {
    for (const auto& [key, text] : before[i])
      EXPECT_TRUE(file.ValueExists(forms[i]->objectName(), key))
          << forms[i]->objectName().toStdString() << "." << key.toStdString();
    const auto after = texts(forms[i]);
    ASSERT_EQ(after.size(), before[i].size());
    for (std::size_t k = 0; k < after.size(); ++k) {
      // Ini values lose their leading blanks.
      EXPECT_EQ(after[k].second, before[i][k].second.trimmed())
          << forms[i]->objectName().toStdString() << "." << after[k].first.toStdString();
    }
  }
}
