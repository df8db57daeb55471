#include "lang/english_lng_builder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>
#include <map>
#include <memory>
#include <optional>
#include <tuple>
#include <utility>
#include <vector>

#include "app/therma_sentinel_form.h"
#include "lang/text_key_scanner.h"
#include "platform/folders.h"
#include "platform/ini_file.h"
#include "platform/scoped_environment.h"
#include "setup_argo/argo_head_param_dlg.h"
#include "setup_argo/mat_table_dlg.h"
#include "setup_common/adjust_slope_dlg.h"
#include "ui/lng_ini_supp.h"

namespace {

const QString kLanguage = QStringLiteral("Language");

// One key to write: its section, key and English default.
struct Entry {
  QString section;
  QString key;
  std::optional<QString> defaultText;
  QString origin;  // file:line of a scanned key
};

QString Name(const QString& section, const QString& key) { return section + QLatin1Char('/') + key; }

// Entries in writing order: "Messages" first, then "Other", then the rest,
// keys alphabetically (ignoring case); the first default found for a key
// wins, a literal one over none.
std::vector<Entry> Ordered(const std::vector<Entry>& entries) {
  auto rank = [](const QString& section) {
    if (section.compare(QStringLiteral("Messages"), Qt::CaseInsensitive) == 0) return 0;
    if (section.compare(QStringLiteral("Other"), Qt::CaseInsensitive) == 0) return 1;
    return 2;
  };
  std::map<std::tuple<int, QString, QString>, Entry> sorted;
  for (const Entry& e : entries) {
    const auto id = std::make_tuple(rank(e.section), e.section.toLower(), e.key.toLower());
    auto [it, inserted] = sorted.emplace(id, e);
    if (!inserted && !it->second.defaultText && e.defaultText) it->second.defaultText = e.defaultText;
  }
  std::vector<Entry> out;
  for (auto& [id, e] : sorted) out.push_back(e);
  return out;
}

}  // namespace

QStringList EnglishLngBuilder::SourceFolders() {
  return {QStringLiteral("app"), QStringLiteral("ui"), QStringLiteral("drivers"),
          QStringLiteral("measurement"), QStringLiteral("setup_argo"), QStringLiteral("setup_common"),
          QStringLiteral("setup_brio")};
}

EnglishLngBuilder::Result EnglishLngBuilder::Update(const QString& fileName, const QString& sourceRoot) {
  Result result;
  // The forms work on a copy in a program folder of our own, with settings
  // and a port map of our own that names no port: nothing is connected.
  QTemporaryDir work;
  if (!work.isValid()) {
    result.error = QStringLiteral("no temporary folder");
    return result;
  }
  const QString copy = work.filePath(QStringLiteral("English.lng"));
  if (QFile::exists(fileName) && !QFile::copy(fileName, copy)) {
    result.error = QStringLiteral("cannot read ") + fileName;
    return result;
  }
  QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
  QFile ports(work.filePath(QStringLiteral("ports.ini")));
  if (!ports.open(QIODevice::WriteOnly) || ports.write("[Ports]\r\n") < 0) {
    result.error = QStringLiteral("cannot write the port map");
    return result;
  }
  ports.close();
  ScopedEnvironment portMap("THERMASENTINEL_PORTS", ports.fileName());
  ScopedEnvironment settings("XDG_CONFIG_HOME", work.filePath(QStringLiteral("cfg")));
  const QString previousProgramFolder = Folders::ProgramFolder();
  Folders::SetProgramFolderForTesting(work.path());

  {
    IniFile file(copy);
    if (!file.ValueExists(kLanguage, kLanguage))
      file.WriteString(kLanguage, kLanguage, QStringLiteral("English"));
    if (!file.ValueExists(kLanguage, QStringLiteral("mLanguage")))
      file.WriteString(kLanguage, QStringLiteral("mLanguage"), kLanguage);
  }
  std::map<QString, bool> before;
  {
    IniFile file(copy);
    for (const QString& section : file.ReadSections())
      for (const QString& key : file.ReadSection(section)) before[Name(section, key).toLower()] = true;
  }

  std::vector<Entry> entries;
  TLngINISupp::ResetSharedStateForTesting();
  TLngINISupp::SetTextReadObserver([&](const QString& section, const QString& key, const QString& text) {
    entries.push_back({section, key, text, QString()});
    result.read << Name(section, key);
  });
  {
    // The main window creates the program's dialogs; its own language
    // component only reads. A second one writes the missing captions.
    TThermaSentinelForm main(QStringList{QStringLiteral("ThermaSentinel")}, QStringLiteral("1.0.0.0"));
    // What the window reads when it is shown and after a language change.
    main.LISLanguageChange();
    // The dialogs the setup dialog makes when it opens them.
    TAdjustSlopeDlg slope(&main);
    TMatTableDlg matTable(&main);
    TArgoHeadParamDlg headParam(&main);
    TLngINISupp lis;
    lis.SetReadOnly(false);
    lis.OnShowMessage = [](const QString&) {};
    lis.SetFileName(QStringLiteral("English.lng"));
    lis.LoadLanguage();
  }
  {
    // A control designed without a caption gets its text from the program
    // (a value, the web link of Corporate.ini): a key would only blank it.
    IniFile file(copy);
    for (const QString& section : file.ReadSections())
      for (const QString& key : file.ReadSection(section))
        if (!before.count(Name(section, key).toLower()) && file.ReadString(section, key, QString()).isEmpty())
          file.DeleteKey(section, key);
  }
  TLngINISupp::SetTextReadObserver(nullptr);
  TLngINISupp::ResetSharedStateForTesting();

  for (const TextKeyScanner::TextKey& k : TextKeyScanner::ScanTree(sourceRoot, SourceFolders()))
    entries.push_back({k.section, k.key, k.defaultText, k.file + QLatin1Char(':') + QString::number(k.line)});
  {
    IniFile file(copy);
    for (const Entry& e : Ordered(entries)) {
      if (file.ValueExists(e.section, e.key)) continue;
      if (!e.defaultText) {
        result.unresolved << Name(e.section, e.key) + QStringLiteral(" (") + e.origin + QLatin1Char(')');
        continue;
      }
      file.WriteString(e.section, e.key, *e.defaultText);
    }
  }
  {
    IniFile file(copy);
    for (const QString& section : file.ReadSections())
      for (const QString& key : file.ReadSection(section))
        if (!before.count(Name(section, key).toLower())) result.added << Name(section, key);
  }
  Folders::SetProgramFolderForTesting(
      previousProgramFolder == QCoreApplication::applicationDirPath() ? QString() : previousProgramFolder);

  QFile updated(copy);
  QSaveFile out(fileName);
  if (!updated.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly) ||
      out.write(updated.readAll()) < 0 || !out.commit()) {
    result.error = QStringLiteral("cannot write ") + fileName;
    return result;
  }
  result.ok = true;
  return result;
}
