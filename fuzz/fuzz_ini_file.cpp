// Reads an arbitrary file as an ini file, writes one key into it and checks
// that the write changed only that key.
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>

#include "platform/ini_file.h"

namespace {

QString ScratchPath() {
  // Memory-backed when possible: every write syncs the file to its disk.
  static const QString folder =
      QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
  static const QString path =
      folder + QStringLiteral("/fuzz_ini_file_") + QString::number(::getpid()) + QStringLiteral(".ini");
  return path;
}

// Every (section, key) -> value the reader sees; keys compared without case.
std::map<std::pair<QString, QString>, QString> Snapshot(const IniFile& ini) {
  std::map<std::pair<QString, QString>, QString> out;
  for (const QString& section : ini.ReadSections()) {
    for (const QString& key : ini.ReadSection(section)) {
      out[{section.toCaseFolded(), key.toCaseFolded()}] = ini.ReadString(section, key, QString());
      (void)ini.ReadInteger(section, key, 0);
      (void)ini.ReadFloat(section, key, 0.0);
      (void)ini.ReadBool(section, key, false);
    }
    (void)ini.ReadSectionValues(section);
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QString path = ScratchPath();
  {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
    f.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
  }
  IniFile ini(path);
  const auto before = Snapshot(ini);

  // The section written to: the file's first one when it has one.
  // A name the file format cannot take back (blank, line breaks) is refused:
  // then a section of our own is used.
  const QStringList sections = ini.ReadSections();
  QString section = sections.isEmpty() ? QStringLiteral("Fuzz") : sections.first();
  const QString key = QStringLiteral("FuzzKey");
  const QString value = QStringLiteral("value \u00B0 1,5");
  if (!ini.WriteString(section, key, value)) {
    section = QStringLiteral("Fuzz");
    if (!ini.WriteString(section, key, value)) std::abort();
  }

  const IniFile reread(path);
  if (reread.ReadString(section, key, QString()) != value) std::abort();
  auto after = Snapshot(reread);
  after.erase({section.toCaseFolded(), key.toCaseFolded()});
  auto expected = before;
  expected.erase({section.toCaseFolded(), key.toCaseFolded()});
  if (after != expected) std::abort();

  (void)ini.DeleteKey(section, key);
  (void)ini.EraseSection(section);
  QFile::remove(path);
  return 0;
}
