// What a user reads in the program's windows without a device: English
// texts from the shipped language file, and no caption cut off at a
// window's default size.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <memory>

#include "app/interface_dlg.h"
#include "app/measurement_settings_dlg.h"
#include "app/modal_result.h"
#include "app/options_dlg.h"
#include "app/therma_sentinel_form.h"
#include "app/view_settings_dlg.h"
#include "tests/app/dialog_texts.h"
#include "tests/support/modal_dialog.h"
#include "tests/support/program_home.h"
#include "tests/support/wait_for.h"

namespace {

using test_support::WaitForEvents;

// German or misspelt words the English program must not show.
constexpr const char* kNotEnglish[] = {"Warnung", "Abbrechen", "Strichst", "Hysterese", "Treshold"};

void ExpectEnglish(QWidget* w) {
  const QString all = test_support::WindowTexts(w).join(QLatin1Char('|'));
  for (const char* word : kNotEnglish)
    EXPECT_FALSE(all.contains(QLatin1String(word))) << w->objectName().toStdString() << ": " << word;
  EXPECT_NE(w->windowTitle(), QStringLiteral("Dialog")) << w->objectName().toStdString();
}

void ExpectWhole(QWidget* w) {
  const QStringList clipped = test_support::ClippedTexts(w);
  EXPECT_TRUE(clipped.isEmpty()) << w->objectName().toStdString() << ":\n"
                                 << clipped.join(QLatin1Char('\n')).toStdString();
}

class DialogTextsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    test_support::PrepareProgramHome(dir_);
  }
  void TearDown() override {
    form_.reset();
    test_support::LeaveProgramHome();
  }
  void WriteSettings(const QByteArray& text) {
    const QString name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    QDir().mkpath(dir_.filePath(QStringLiteral("cfg/") + name));
    QFile f(dir_.filePath(QStringLiteral("cfg/") + name + QLatin1Char('/') + name + QStringLiteral(".ini")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
  }
  TThermaSentinelForm& Start() {
    form_ = std::make_unique<TThermaSentinelForm>(QStringList{QStringLiteral("ThermaSentinel")});
    form_->OnShowMessage = [](const QString&, const QString&) {};
    form_->show();
    EXPECT_TRUE(WaitForEvents([&] { return form_->Started(); }, 8000));
    return *form_;
  }
  // Triggers `action` and checks the dialog it opens, then closes it.
  void Open(QAction* action, QDialog* dialog) {
    bool seen = false;
    test_support::WhenShown(dialog, [&] {
      seen = true;
      ExpectEnglish(dialog);
      ExpectWhole(dialog);
      if (qEnvironmentVariableIsSet("TS_GRAB"))
        dialog->grab().save(qEnvironmentVariable("TS_GRAB") + QLatin1Char('/') + dialog->objectName() +
                            QStringLiteral(".png"));
      dialog->reject();
    });
    action->trigger();
    EXPECT_TRUE(seen) << dialog->objectName().toStdString();
  }

  QTemporaryDir dir_;
  std::unique_ptr<TThermaSentinelForm> form_;
};

}  // namespace

// The dialogs the menus open without a device, at their default sizes.
TEST_F(DialogTextsTest, MenuDialogsReadEnglishAndShowTheirTextsWhole) {
  WriteSettings("[Options]\r\nAutoScan=0\r\n");
  TThermaSentinelForm& f = Start();
  Open(f.mMeasurementSettings, f.MeasurementSettingsDlg);
  Open(f.mViewSettings, f.ViewSettingsDlg);
  Open(f.mOptions, f.OptionsDlg);
  Open(f.mInterface, f.InterfaceDlg);
  EXPECT_EQ(test_support::ShownText(
                f.MeasurementSettingsDlg->findChild<QPushButton*>(QStringLiteral("btnCancel"))->text()),
            QStringLiteral("Cancel"));
}

// A long title of the user's own is shown whole in the options dialog.
TEST_F(DialogTextsTest, OptionsShowALongTitleWhole) {
  WriteSettings(
      "[Options]\r\nAutoScan=0\r\nApplicationTitle_Mode=1\r\n"
      "ApplicationTitle_Title=Furnace line 3 - ThermaSentinel pyrometer monitor\r\n");
  TThermaSentinelForm& f = Start();
  QString shown;
  test_support::WhenShown(f.OptionsDlg, [&] {
    shown = f.OptionsDlg->findChild<QLineEdit*>(QStringLiteral("eUserDefTitle"))->text();
    ExpectWhole(f.OptionsDlg);
    f.OptionsDlg->reject();
  });
  f.mOptions->trigger();
  EXPECT_EQ(shown, QStringLiteral("Furnace line 3 - ThermaSentinel pyrometer monitor"));
}

// The question about unsaved data, asked when a file is to be opened.
TEST_F(DialogTextsTest, UnsavedDataQuestionIsEnglish) {
  WriteSettings("[Options]\r\nAutoScan=0\r\nAskForSaving=1\r\n");
  TThermaSentinelForm& f = Start();
  f.SetUnsavedData(true);
  QString title;
  test_support::WhenModalShown([&](QWidget* question) {
    title = question->windowTitle();
    ExpectEnglish(question);
    ExpectWhole(question);
    static_cast<QDialog*>(question)->reject();
  });
  f.mOpen->trigger();
  EXPECT_EQ(title, QStringLiteral("Warning"));
  f.SetUnsavedData(false);
}
