// Feeds arbitrary bytes to the language component as a language file held
// in memory: missing keys are added, the captions are applied to a small
// form, every key is read as a text (line markers included), and the text
// of language.xml is produced. The application and the form are made once.

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/folders.h"
#include "platform/ini_file.h"
#include "ui/form_registry.h"
#include "ui/lng_ini_supp.h"
#include "ui/panel_status_bar.h"

namespace {

struct Environment {
  Environment() {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz_language_file";
    static char* argv[] = {name, nullptr};
    app = new QApplication(argc, argv);
    Folders::SetProgramFolderForTesting(folder.path());
    qputenv("XDG_CONFIG_HOME", folder.path().toUtf8());
    form = new QWidget;
    form->setObjectName(QStringLiteral("Form"));
    auto* layout = new QVBoxLayout(form);
    auto* label = new QLabel(QStringLiteral("label"), form);
    label->setObjectName(QStringLiteral("lblA"));
    layout->addWidget(label);
    bar = new PanelStatusBar(form);
    bar->setObjectName(QStringLiteral("sb"));
    for (int i = 0; i < 3; ++i) bar->AddPanel(QString(), 20);
    layout->addWidget(bar);
    menu = new QMenuBar(form);
    menu->addMenu(QStringLiteral("File"))->addAction(QStringLiteral("Open"));
    FormRegistry::Add(form);
  }
  QApplication* app = nullptr;
  QTemporaryDir folder;
  QWidget* form = nullptr;
  PanelStatusBar* bar = nullptr;
  QMenuBar* menu = nullptr;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Environment env;
  const QByteArray content(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  TLngINISupp::ResetSharedStateForTesting();
  // A new menu bar each run: the language list is built into it afresh.
  delete env.menu;
  env.menu = new QMenuBar(env.form);
  env.menu->setObjectName(QStringLiteral("menu"));
  env.menu->addMenu(QStringLiteral("File"))->addAction(QStringLiteral("Open"));
  TLngINISupp lis;
  lis.OnShowMessage = [](const QString&) {};
  lis.SetMenu(env.menu);
  lis.SetReadOnly(size == 0 || (data[0] & 1) == 0);
  lis.SetContentForTesting(content);
  if (!lis.LoadLanguage()) std::abort();

  const IniFile file = IniFile::FromContent(content);
  int reads = 0;
  for (const QString& section : file.ReadSections()) {
    for (const QString& key : file.ReadSection(section)) {
      (void)lis.ReadText(key, QStringLiteral("default"), section);
      if (++reads > 500) break;
    }
    if (reads > 500) break;
  }
  (void)lis.OtherTextOrKey(QStringLiteral("Cycle"));
  (void)lis.RecordXml(QStringLiteral("Record"), QStringLiteral("generic"));
  lis.UnloadLanguage();
  return 0;
}
