#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

#include "platform/folders.h"
#include "platform/ini_file.h"
#include "ui/caption_panel.h"
#include "ui/form_registry.h"
#include "ui/lng_ini_supp.h"
#include "ui/panel_status_bar.h"
#include "ui/radio_group.h"

namespace {

const QString kFixture = QStringLiteral(TS_SOURCE_DIR "/tests/ui/fixtures/Fixture.lng");

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A form with one control of every kind that takes a caption.
class TestForm : public QDialog {
 public:
  TestForm() {
    setObjectName(QStringLiteral("TestForm"));
    setWindowTitle(QStringLiteral("Test form"));
    auto* layout = new QVBoxLayout(this);
    menuBar = new QMenuBar(this);
    for (int i = 0; i < 6; ++i) {
      QMenu* top = menuBar->addMenu(QStringLiteral("Top %1").arg(i));
      top->setObjectName(i == 0 ? QStringLiteral("mFile") : QStringLiteral("mTop%1").arg(i));
      for (int j = 0; j < 4; ++j) {
        QAction* item = top->addAction(QStringLiteral("Item %1.%2").arg(i).arg(j));
        item->setObjectName(i == 0 && j == 0 ? QStringLiteral("mOpen")
                                             : QStringLiteral("mItem%1_%2").arg(i).arg(j));
      }
    }
    layout->setMenuBar(menuBar);
    lblName = Add<QLabel>(layout, "lblName", "Name:");
    lblEmpty = Add<QLabel>(layout, "lblEmpty", "Designed");
    lblMissing = Add<QLabel>(layout, "lblMissing", "Missing caption");
    btnOK = Add<QPushButton>(layout, "btnOK", "&OK");
    cbAuto = Add<QCheckBox>(layout, "cbAuto", "Automatic");
    rbOne = Add<QRadioButton>(layout, "rbOne", "One");
    gbBox = new QGroupBox(QStringLiteral("Group"), this);
    gbBox->setObjectName(QStringLiteral("gbBox"));
    layout->addWidget(gbBox);
    rgMode = new RadioGroup(this);
    rgMode->setObjectName(QStringLiteral("rgMode"));
    rgMode->setTitle(QStringLiteral("Mode"));
    rgMode->SetItems({QStringLiteral("A"), QStringLiteral("B")});
    layout->addWidget(rgMode);
    pnlInfo = new CaptionPanel(this);
    pnlInfo->setObjectName(QStringLiteral("pnlInfo"));
    pnlInfo->SetCaption(QStringLiteral("Information"));
    layout->addWidget(pnlInfo);
    tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("pcPages"));
    tsFirst = new QWidget;
    tsFirst->setObjectName(QStringLiteral("tsFirst"));
    tabs->addTab(tsFirst, QStringLiteral("First page"));
    layout->addWidget(tabs);
    dlgOpen = new QFileDialog(this, QStringLiteral("Open file"));
    dlgOpen->setObjectName(QStringLiteral("dlgOpen"));
    dlgOpen->setOption(QFileDialog::DontUseNativeDialog);
    sbMain = new PanelStatusBar(this);
    sbMain->setObjectName(QStringLiteral("sbMain"));
    for (int i = 0; i < 13; ++i) sbMain->AddPanel(QStringLiteral("P%1").arg(i), 40);
    layout->addWidget(sbMain);
    FormRegistry::Add(this);
  }

  template <class W>
  W* Add(QVBoxLayout* layout, const char* name, const char* text) {
    auto* widget = new W(QString::fromUtf8(text), this);
    widget->setObjectName(QString::fromUtf8(name));
    layout->addWidget(widget);
    return widget;
  }

  QMenuBar* menuBar;
  QLabel* lblName;
  QLabel* lblEmpty;
  QLabel* lblMissing;
  QPushButton* btnOK;
  QCheckBox* cbAuto;
  QRadioButton* rbOne;
  QGroupBox* gbBox;
  RadioGroup* rgMode;
  CaptionPanel* pnlInfo;
  QTabWidget* tabs;
  QWidget* tsFirst;
  QFileDialog* dlgOpen;
  PanelStatusBar* sbMain;
};

class LngIniSuppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(programDir.isValid());
    ASSERT_TRUE(userDir.isValid());
    qputenv("XDG_CONFIG_HOME", userDir.path().toUtf8());
    Folders::SetProgramFolderForTesting(programDir.path());
    TLngINISupp::ResetSharedStateForTesting();
    lis.OnShowMessage = [this](const QString& text) { messages.append(text); };
  }
  void TearDown() override {
    TLngINISupp::ResetSharedStateForTesting();
    Folders::SetProgramFolderForTesting(QString());
    qunsetenv("XDG_CONFIG_HOME");
  }

  QString InstallFixture(const QString& name = QStringLiteral("Fixture.lng")) {
    const QString path = programDir.filePath(name);
    QFile::remove(path);
    EXPECT_TRUE(QFile::copy(kFixture, path));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    return path;
  }

  QTemporaryDir programDir;
  QTemporaryDir userDir;
  TLngINISupp lis;
  QStringList messages;
};

TEST_F(LngIniSuppTest, AppliesCaptionsByNameAndClass) {
  InstallFixture();
  TestForm form;
  lis.SetReadOnly(true);
  lis.SetFileName(QStringLiteral("Fixture.lng"));
  ASSERT_TRUE(lis.LoadLanguage());
  EXPECT_TRUE(messages.isEmpty());

  // Section and key names match without regard to case; Windows-1252 bytes
  // arrive as their characters.
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Testformular"));
  EXPECT_EQ(form.lblName->text(), QStringLiteral("Name in \u00b0C:"));
  EXPECT_EQ(form.btnOK->text(), QStringLiteral("&Okay"));
  EXPECT_EQ(form.cbAuto->text(), QStringLiteral("Automatisch"));
  EXPECT_EQ(form.rbOne->text(), QStringLiteral("Eins"));
  EXPECT_EQ(form.gbBox->title(), QStringLiteral("Gruppe"));
  EXPECT_EQ(form.rgMode->title(), QStringLiteral("Modus"));
  EXPECT_EQ(form.pnlInfo->Caption(), QStringLiteral("Info"));
  EXPECT_EQ(form.tabs->tabText(0), QStringLiteral("Erste Seite"));
  EXPECT_EQ(form.menuBar->actions()[0]->text(), QStringLiteral("&Datei"));
  EXPECT_EQ(form.menuBar->actions()[0]->menu()->actions()[0]->text(), QStringLiteral("\u00d6&ffnen"));
  EXPECT_EQ(form.dlgOpen->windowTitle(), QStringLiteral("Datei \u00f6ffnen"));
  // A key with an empty value gives an empty caption; a control without a key
  // keeps its designed caption.
  EXPECT_EQ(form.lblEmpty->text(), QString());
  EXPECT_EQ(form.lblMissing->text(), QStringLiteral("Missing caption"));
  EXPECT_EQ(lis.HelpFile(), QStringLiteral("fixture.chm"));
}

TEST_F(LngIniSuppTest, StatusBarKeysWithBadPanelNumbersAreSkipped) {
  InstallFixture();
  TestForm form;
  lis.SetReadOnly(true);
  lis.SetFileName(QStringLiteral("Fixture.lng"));
  ASSERT_TRUE(lis.LoadLanguage());
  // The bad keys come first in the section; everything after them still applies.
  EXPECT_EQ(form.sbMain->PanelText(3), QStringLiteral("Drei"));
  EXPECT_EQ(form.sbMain->PanelText(12), QStringLiteral("Zw\u00f6lf"));
  EXPECT_EQ(form.sbMain->PanelText(1), QStringLiteral("P1"));  // "[12]" is panel 12, not panel 1
  EXPECT_EQ(form.sbMain->PanelText(0), QStringLiteral("P0"));
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Testformular"));
}

TEST_F(LngIniSuppTest, MissingKeysAreAppendedAndExistingOnesKept) {
  const QString path = InstallFixture();
  TestForm form;
  lis.SetFileName(QStringLiteral("Fixture.lng"));
  ASSERT_TRUE(lis.LoadLanguage());

  const IniFile file(path);
  EXPECT_EQ(file.ReadString(QStringLiteral("TestForm"), QStringLiteral("lblMissing"), QString()),
            QStringLiteral("Missing caption"));
  EXPECT_EQ(file.ReadString(QStringLiteral("TestForm"), QStringLiteral("sbMain.Panels[5]"), QString()),
            QStringLiteral("P5"));
  EXPECT_EQ(file.ReadString(QStringLiteral("TestForm"), QStringLiteral("mItem5_2"), QString()),
            QStringLiteral("Item 5.2"));
  // Existing keys, whatever their case, are neither rewritten nor doubled.
  EXPECT_EQ(file.ReadString(QStringLiteral("TestForm"), QStringLiteral("lblName"), QString()),
            QStringLiteral("Name in \u00b0C:"));
  const QStringList keys = file.ReadSection(QStringLiteral("TestForm"));
  const auto countOf = [&keys](const char* key) {
    return std::count_if(keys.begin(), keys.end(), [key](const QString& k) {
      return k.compare(QLatin1String(key), Qt::CaseInsensitive) == 0;
    });
  };
  EXPECT_EQ(countOf("Caption"), 1);
  EXPECT_EQ(countOf("lblName"), 1);
  // The inside of the file dialog and Qt's own children are not the form's.
  EXPECT_FALSE(file.ValueExists(QStringLiteral("TestForm"), QStringLiteral("fileNameLabel")));
  for (const QString& key : keys) EXPECT_FALSE(key.startsWith(QStringLiteral("qt_"))) << key.toStdString();
  // The file stays Windows-1252 with CR LF line ends.
  const QByteArray bytes = ReadAll(path);
  EXPECT_TRUE(
      bytes.contains("LBLNAME=Name in \xb0"
                     "C:\r\n"));
  EXPECT_TRUE(bytes.contains("lblMissing=Missing caption\r\n"));
  EXPECT_FALSE(bytes.contains("\n\n"));
}

TEST_F(LngIniSuppTest, ReadOnlyNeverWrites) {
  const QString path = InstallFixture();
  const QByteArray before = ReadAll(path);
  TestForm form;
  lis.SetReadOnly(true);
  lis.SetFileName(QStringLiteral("Fixture.lng"));
  ASSERT_TRUE(lis.LoadLanguage());
  EXPECT_EQ(ReadAll(path), before);

  lis.SetFileName(QStringLiteral("Absent.lng"));
  ASSERT_TRUE(lis.LoadLanguage());
  EXPECT_FALSE(QFile::exists(programDir.filePath(QStringLiteral("Absent.lng"))));
  ASSERT_EQ(messages.size(), 1);
  EXPECT_EQ(messages[0], QStringLiteral("WARNING!!!\r\n Language File Not Found! Its now creating a new!"));
}

TEST_F(LngIniSuppTest, MissingFileIsCreatedFromTheForms) {
  TestForm form;
  lis.SetFileName(QStringLiteral("New.lng"));
  ASSERT_TRUE(lis.LoadLanguage());
  ASSERT_EQ(messages.size(), 1);
  const IniFile file(programDir.filePath(QStringLiteral("New.lng")));
  EXPECT_EQ(file.ReadString(QStringLiteral("TestForm"), QStringLiteral("Caption"), QString()),
            QStringLiteral("Test form"));
  EXPECT_EQ(file.ReadString(QStringLiteral("TestForm"), QStringLiteral("tsFirst"), QString()),
            QStringLiteral("First page"));
  EXPECT_EQ(file.ReadString(QStringLiteral("TestForm"), QStringLiteral("dlgOpen"), QString()),
            QStringLiteral("Open file"));
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Test form"));  // applied back unchanged
}

TEST_F(LngIniSuppTest, EmptyFileNameAbandonsTheLoad) {
  lis.SetFileName(QString());
  EXPECT_FALSE(lis.LoadLanguage());
  EXPECT_FALSE(TLngINISupp::LanguageLoaded());
  ASSERT_EQ(messages.size(), 1);
  EXPECT_EQ(messages[0], QStringLiteral("ERROR!!!\r\nFile not preset!"));
}

TEST_F(LngIniSuppTest, ReadersGiveDefaultsUntilLoadedAndExpandLineMarkers) {
  InstallFixture();
  lis.SetReadOnly(true);
  lis.SetFileName(QStringLiteral("Fixture.lng"));
  EXPECT_EQ(lis.MessageText(QStringLiteral("Multi"), QStringLiteral("dflt")), QStringLiteral("dflt"));

  ASSERT_TRUE(lis.LoadLanguage());
  struct Case {
    const char* key;
    const char* expected;
  };
  const Case cases[] = {
      {"Multi", "First\r\nSecond"},
      {"MULTIEND", "First\r\nSecond\r\n"},
      {"Short", "Tail\r\n"},  // a marker cut short at the end
      {"Absent", "dflt"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(lis.MessageText(QString::fromUtf8(c.key), QStringLiteral("dflt")),
              QString::fromUtf8(c.expected))
        << c.key;
  }
  EXPECT_EQ(lis.OtherText(QStringLiteral("unitcelsius"), QStringLiteral("C")), QStringLiteral("\u00b0C"));
  EXPECT_EQ(lis.OtherTextOrKey(QStringLiteral("Cycle")), QStringLiteral("Cycle"));
  EXPECT_EQ(lis.ReadText(QStringLiteral("Language"), QString(), QStringLiteral("language")),
            QStringLiteral("Fixture"));

  lis.UnloadLanguage();
  EXPECT_TRUE(lis.FileName().isEmpty());
  EXPECT_EQ(lis.MessageText(QStringLiteral("Multi"), QStringLiteral("dflt")), QStringLiteral("dflt"));
}

TEST_F(LngIniSuppTest, OutsideEditsAreSeen) {
  const QString path = InstallFixture();
  lis.SetReadOnly(true);
  lis.SetFileName(QStringLiteral("Fixture.lng"));
  ASSERT_TRUE(lis.LoadLanguage());
  EXPECT_EQ(lis.OtherText(QStringLiteral("Fresh"), QStringLiteral("no")), QStringLiteral("no"));
  IniFile(path).WriteString(QStringLiteral("Other"), QStringLiteral("Fresh"),
                            QStringLiteral("yes, and longer"));
  EXPECT_EQ(lis.OtherText(QStringLiteral("Fresh"), QStringLiteral("no")), QStringLiteral("yes, and longer"));
}

TEST_F(LngIniSuppTest, LanguageChangeIsRaisedFromTheSecondLoadOn) {
  InstallFixture();
  lis.SetReadOnly(true);
  int changes = 0;
  lis.OnLanguageChange = [&](QObject* sender) {
    EXPECT_EQ(sender, &lis);
    ++changes;
  };
  lis.SetFileName(QStringLiteral("Fixture.lng"));
  ASSERT_TRUE(lis.LoadLanguage());
  EXPECT_EQ(changes, 0);
  ASSERT_TRUE(lis.LoadLanguage());
  EXPECT_EQ(changes, 1);
}

TEST_F(LngIniSuppTest, FileNameAlwaysLiesInTheProgramFolder) {
  QTemporaryDir elsewhere;
  lis.SetFileName(elsewhere.filePath(QStringLiteral("English.lng")));
  EXPECT_EQ(lis.FileName(), programDir.path() + QStringLiteral("/English.lng"));
  lis.SetFileName(QStringLiteral("C:\\Program Files\\App\\Deutsch.lng"));
  EXPECT_EQ(lis.FileName(), programDir.path() + QStringLiteral("/Deutsch.lng"));
}

TEST_F(LngIniSuppTest, LanguageXmlMatchesTheGoldenText) {
  InstallFixture();
  lis.SetRevision(QStringLiteral("1.2"));
  lis.SetCopyRight(QStringLiteral("(c) X & Y"));
  lis.SetFileName(QStringLiteral("Fixture.lng"));
  const QString expected = QStringLiteral(
      "<Vars>\r\n"
      "<Var><ID>Company</ID><generic>A &amp; B &lt;C&gt; &amp; D</generic></Var>\r\n"
      "<Var><ID>Plain</ID><generic>Hello</generic></Var>\r\n"
      "<Var><ID>Empty</ID><generic></generic></Var>\r\n"
      "<Var><ID>Revision</ID><generic>Rev. 1.2</generic></Var>\r\n"
      "<Var><ID>CopyRight</ID><generic>(c) X &amp; Y</generic></Var>\r\n"
      "<Var><ID>ISRecord</ID><generic></generic></Var>\r\n"
      "<Var><ID>ApplicationKey</ID><generic></generic></Var>\r\n"
      "</Vars>\r\n");
  EXPECT_EQ(lis.ExportedFile(), programDir.path() + QStringLiteral("/language.xml"));
  EXPECT_EQ(QString::fromUtf8(ReadAll(lis.ExportedFile())), expected);
  // Any element name; a file without the section gives the four fixed entries.
  EXPECT_TRUE(lis.RecordXml(QStringLiteral("Record"), QStringLiteral("tag"))
                  .contains(QStringLiteral("<Var><ID>Plain</ID><tag>Hello</tag></Var>\r\n")));
  EXPECT_EQ(
      lis.RecordXml(QStringLiteral("NoSuchSection"), QStringLiteral("g")).count(QStringLiteral("<Var>")), 4);
}

TEST_F(LngIniSuppTest, LanguageXmlGoesToTheUserFolderWhenTheProgramFolderIsNotWritable) {
  InstallFixture();
  lis.SetFileName(QStringLiteral("Fixture.lng"));
  // A program folder that cannot take files.
  Folders::SetProgramFolderForTesting(programDir.filePath(QStringLiteral("not-a-folder")));
  lis.SetFileName(QStringLiteral("Fixture.lng"));
  EXPECT_TRUE(lis.ExportedFile().startsWith(userDir.path())) << lis.ExportedFile().toStdString();
  EXPECT_TRUE(QFile::exists(lis.ExportedFile()));

  // Nowhere to write at all: the assignment and the load still go on.
  QFile blocker(userDir.filePath(QStringLiteral("blocker")));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  qputenv("XDG_CONFIG_HOME", blocker.fileName().toUtf8());
  lis.SetReadOnly(true);
  EXPECT_FALSE(lis.ExportRecord(QStringLiteral("Record"), QStringLiteral("generic")));
  lis.SetFileName(QStringLiteral("Fixture.lng"));
  EXPECT_TRUE(lis.LoadLanguage());
}

// A language.xml that can be written nowhere reaches the code that named
// the language: SetFileName says so, and a language chosen from the list
// raises OnExportFailed; the language is loaded all the same.
TEST_F(LngIniSuppTest, AFailedLanguageXmlReachesWhoeverNamedTheLanguage) {
  InstallFixture();
  EXPECT_TRUE(lis.SetFileName(QStringLiteral("Fixture.lng")));
  // language.xml becomes a folder, and the per-user folder a file.
  ASSERT_TRUE(QFile::remove(programDir.filePath(QStringLiteral("language.xml"))));
  ASSERT_TRUE(QDir().mkpath(programDir.filePath(QStringLiteral("language.xml/x"))));
  QFile blocker(userDir.filePath(QStringLiteral("blocker")));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  qputenv("XDG_CONFIG_HOME", blocker.fileName().toUtf8());
  EXPECT_FALSE(lis.SetFileName(QStringLiteral("Fixture.lng")));
  EXPECT_EQ(lis.FileName(), programDir.path() + QStringLiteral("/Fixture.lng"));

  TestForm form;
  lis.SetReadOnly(true);
  lis.SetMenu(form.menuBar);
  lis.SetMenuItemNo(9);
  QStringList failures;
  lis.OnExportFailed = [&](const QString& folder) { failures << folder; };
  ASSERT_TRUE(lis.LoadLanguage());
  QMenu* list = form.menuBar->actions().last()->menu();
  ASSERT_NE(list, nullptr);
  list->actions()[0]->trigger();
  EXPECT_EQ(failures, QStringList{programDir.path()});
  EXPECT_TRUE(TLngINISupp::LanguageLoaded());
}

TEST_F(LngIniSuppTest, LanguageMenuListsWritableFilesAndSwitchesLanguage) {
  InstallFixture(QStringLiteral("Fixture.lng"));
  {
    IniFile de(programDir.filePath(QStringLiteral("Deutsch.lng")));
    de.WriteString(QStringLiteral("Language"), QStringLiteral("Language"), QStringLiteral("Deutsch"));
    de.WriteString(QStringLiteral("Language"), QStringLiteral("mLanguage"), QStringLiteral("Sprachen"));
    de.WriteString(QStringLiteral("TestForm"), QStringLiteral("btnOK"), QStringLiteral("Gut"));
    IniFile ro(programDir.filePath(QStringLiteral("Locked.lng")));
    ro.WriteString(QStringLiteral("Language"), QStringLiteral("Language"), QStringLiteral("Locked"));
  }
  QFile::setPermissions(programDir.filePath(QStringLiteral("Locked.lng")),
                        QFile::ReadOwner | QFile::ReadGroup);
  EXPECT_EQ(TLngINISupp::LanguageFiles(programDir.path()),
            (QStringList{QStringLiteral("Deutsch.lng"), QStringLiteral("Fixture.lng")}));

  TestForm form;
  lis.SetReadOnly(true);
  lis.SetMenu(form.menuBar);
  lis.SetMenuItemNo(5);
  lis.SetMenuSubItemNo(3);
  int changes = 0;
  lis.OnLanguageChange = [&](QObject*) { ++changes; };
  lis.SetFileName(QStringLiteral("Fixture.lng"));
  ASSERT_TRUE(lis.LoadLanguage());

  QMenu* top = form.menuBar->actions()[5]->menu();
  ASSERT_EQ(top->actions().size(), 5);
  QMenu* list = top->actions()[3]->menu();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->objectName(), QStringLiteral("LngItem"));
  EXPECT_EQ(top->actions()[3]->text(), QStringLiteral("Sprache"));  // [Language] mLanguage
  ASSERT_EQ(list->actions().size(), 2);
  EXPECT_EQ(list->actions()[0]->objectName(), QStringLiteral("Deutsch"));
  EXPECT_EQ(list->actions()[0]->text(), QStringLiteral("Deutsch"));
  EXPECT_EQ(list->actions()[1]->text(), QStringLiteral("Fixture"));

  list->actions()[0]->trigger();
  EXPECT_EQ(lis.FileName(), programDir.path() + QStringLiteral("/Deutsch.lng"));
  EXPECT_EQ(form.btnOK->text(), QStringLiteral("Gut"));
  EXPECT_EQ(top->actions()[3]->text(), QStringLiteral("Sprachen"));
  EXPECT_EQ(changes, 1);

  // The list is built once per run.
  ASSERT_TRUE(lis.LoadLanguage());
  EXPECT_EQ(top->actions().size(), 5);
  // The language list is not part of the form's components.
  EXPECT_EQ(FormRegistry::FindComponent(&form, QStringLiteral("LngItem")), nullptr);
}

TEST_F(LngIniSuppTest, LanguageListIsAppendedToTheMenuBarWhenTheEntryIsMissing) {
  InstallFixture();
  TestForm form;
  QMenu popup;
  lis.SetReadOnly(true);
  lis.SetMenu(form.menuBar);
  lis.SetPopupMenu(&popup);
  lis.SetMenuItemNo(9);
  lis.SetFileName(QStringLiteral("Fixture.lng"));
  ASSERT_TRUE(lis.LoadLanguage());
  QAction* last = form.menuBar->actions().last();
  ASSERT_NE(last->menu(), nullptr);
  EXPECT_EQ(last->menu()->objectName(), QStringLiteral("LngItem"));
  ASSERT_EQ(popup.actions().size(), 1);
  QMenu* plist = popup.actions()[0]->menu();
  ASSERT_NE(plist, nullptr);
  EXPECT_EQ(plist->objectName(), QStringLiteral("PLngItem"));
  ASSERT_EQ(plist->actions().size(), 1);
  EXPECT_EQ(plist->actions()[0]->objectName(), QStringLiteral("PFixture"));
  plist->actions()[0]->trigger();
  EXPECT_EQ(lis.FileName(), programDir.path() + QStringLiteral("/Fixture.lng"));
}

TEST(FormRegistryTest, FindsFormsAndComponentsByNameWithoutRegardToCase) {
  auto first = std::make_unique<QWidget>();
  first->setObjectName(QStringLiteral("MainForm"));
  auto second = std::make_unique<QDialog>();
  second->setObjectName(QStringLiteral("OtherDlg"));
  FormRegistry::Add(first.get());
  FormRegistry::Add(second.get());
  FormRegistry::Add(first.get());
  auto* label = new QLabel(first.get());
  label->setObjectName(QStringLiteral("lblValue"));
  auto* hidden = new QLabel(first.get());
  hidden->setObjectName(QStringLiteral("lblHidden"));
  hidden->setProperty(FormRegistry::kExcludedProperty, true);
  auto* internal = new QLabel(first.get());
  internal->setObjectName(QStringLiteral("qt_internal"));

  const QList<QWidget*> forms = FormRegistry::Forms();
  ASSERT_GE(forms.size(), 2);
  EXPECT_EQ(forms.indexOf(first.get()) + 1, forms.indexOf(second.get()));
  EXPECT_EQ(FormRegistry::FindForms(QStringLiteral("mainform")), QList<QWidget*>{first.get()});
  EXPECT_EQ(FormRegistry::FindComponent(first.get(), QStringLiteral("LBLVALUE")), label);
  EXPECT_EQ(FormRegistry::FindComponent(first.get(), QStringLiteral("lblHidden")), nullptr);
  EXPECT_EQ(FormRegistry::FindComponent(first.get(), QStringLiteral("qt_internal")), nullptr);

  QWidget* gone = second.get();
  second.reset();
  EXPECT_FALSE(FormRegistry::Forms().contains(gone));
}

}  // namespace
