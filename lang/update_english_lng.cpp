// Writes the English language file from the program's own captions: every
// form of the program is created, and the language component's missing-key
// write-back adds each caption that the file lacks. Keys already in the file
// (and hand-written sections such as [Messages]) are kept as they are.
//
// Usage: update_english_lng <path of English.lng>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMainWindow>
#include <QSaveFile>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>
#include <vector>

#include "app/device_info_dlg.h"
#include "app/param_show.h"
#include "app/set_default_settings_dlg.h"
#include "platform/folders.h"
#include "platform/ini_file.h"
#include "ui/form_registry.h"
#include "ui/lng_ini_supp.h"

namespace {

// The forms of the program, in the order the program creates them. Each form
// registers itself with FormRegistry.
std::vector<std::unique_ptr<QWidget>> CreateForms() {
  std::vector<std::unique_ptr<QWidget>> forms;
  // The main window, as the program builds it today.
  auto main = std::make_unique<QMainWindow>();
  main->setObjectName(QStringLiteral("ThermaSentinelForm"));
  main->setWindowTitle(QStringLiteral("ThermaSentinel"));
  FormRegistry::Add(main.get());
  forms.push_back(std::move(main));
  forms.push_back(std::make_unique<TfParamShow>());
  forms.push_back(std::make_unique<TDeviceInfoDlg>());
  forms.push_back(std::make_unique<TSetDefaultSettingsDlg>());
  return forms;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <path of English.lng>\n", argv[0]);
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const QString target = QFile::decodeName(argv[1]);

  // Work on a copy in a folder of our own: the language component keeps its
  // file in the program folder and exports language.xml there.
  QTemporaryDir work;
  if (!work.isValid()) {
    std::fprintf(stderr, "no temporary folder\n");
    return 1;
  }
  Folders::SetProgramFolderForTesting(work.path());
  const QString copy = work.filePath(QStringLiteral("English.lng"));
  if (QFile::exists(target) && !QFile::copy(target, copy)) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 1;
  }
  QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);

  IniFile file(copy);
  const QString language = QStringLiteral("Language");
  if (!file.ValueExists(language, language)) file.WriteString(language, language, QStringLiteral("English"));
  if (!file.ValueExists(language, QStringLiteral("mLanguage")))
    file.WriteString(language, QStringLiteral("mLanguage"), language);

  const auto forms = CreateForms();
  TLngINISupp lis;
  lis.SetReadOnly(false);
  lis.OnShowMessage = [](const QString&) {};
  lis.SetFileName(QStringLiteral("English.lng"));
  lis.LoadLanguage();

  QFile result(copy);
  QSaveFile out(target);
  if (!result.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly) ||
      out.write(result.readAll()) < 0 || !out.commit()) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  std::printf("%s: %lld sections\n", argv[1], static_cast<long long>(file.ReadSections().size()));
  return 0;
}
