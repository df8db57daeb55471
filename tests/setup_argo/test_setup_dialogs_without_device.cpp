// The device setup dialogs bound to no device: every button is harmless.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QList>
#include <QPointer>
#include <QStringList>
#include <memory>

#include "setup_argo/argo_device_setup_dlg.h"
#include "setup_argo/vererodur_calibration_page.h"
#include "setup_argo/vererodur_device_setup_dlg.h"

namespace {

template <class Dialog>
void ClickEveryButton(Dialog& dlg) {
  QStringList messages;
  dlg.ShowMessage = [&](const QString& text) { messages << text; };
  dlg.ChooseFile = [](bool, const QString&) { return QString(); };
  dlg.RunSubDialog = [](QDialog*) { return static_cast<int>(QDialog::Rejected); };
  dlg.SetDevice(nullptr);
  dlg.show();
  QApplication::processEvents();
  // Guarded before the first click: a click may delete other buttons (a
  // page rebuilding its rows), and a guard taken from a pointer that is
  // already gone guards nothing.
  QList<QPointer<QAbstractButton>> buttons;
  for (QAbstractButton* button : dlg.template findChildren<QAbstractButton*>()) buttons.push_back(button);
  ASSERT_FALSE(buttons.isEmpty());
  for (const QPointer<QAbstractButton>& button : buttons) {
    if (!button) continue;
    SCOPED_TRACE(button->objectName().toStdString());
    if (!dlg.isVisible()) dlg.show();
    button->click();
    QApplication::processEvents();
  }
  // A change says that it did not reach a device, and nothing else is said.
  for (const QString& text : messages) {
    EXPECT_TRUE(text.startsWith(QStringLiteral("Not written to the device: "))) << text.toStdString();
  }
  dlg.ShowMessage = nullptr;
}

TEST(SetupDialogsWithoutADevice, SingleColourButtonsDoNothingHarmful) {
  auto dlg = std::make_unique<TArgoDeviceSetupDlg>();
  ClickEveryButton(*dlg);
}

TEST(SetupDialogsWithoutADevice, RatioButtonsDoNothingHarmful) {
  auto dlg = std::make_unique<TVererodurDeviceSetupDlg>();
  dlg->CalibrationPage->Confirm = [](const QString&) { return true; };
  dlg->CalibrationPage->ShowMessage = [](const QString&) {};
  ClickEveryButton(*dlg);
}

}  // namespace
