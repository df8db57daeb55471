// Reads arbitrary bytes as an ini document (in memory), writes one key into
// it and checks that the write changed only that key, that the document
// written out reads back the same, and that a batch of writes gives the same
// document as the writes one by one.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>

#include "platform/ini_file.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
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
  const QByteArray content(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  IniFile ini = IniFile::FromContent(content);
  const auto before = Snapshot(ini);
  // Written out unchanged, the document reads the same.
  Check(Snapshot(IniFile::FromContent(ini.Content())) == before);

  // The section written to: the file's first one when it has one. A name the
  // format cannot take back (blank, line breaks) is refused: then a section
  // of our own is used.
  const QStringList sections = ini.ReadSections();
  QString section = sections.isEmpty() ? QStringLiteral("Fuzz") : sections.first();
  const QString key = QStringLiteral("FuzzKey");
  const QString value = QStringLiteral("value \u00B0 1,5");
  IniFile batched = IniFile::FromContent(content);
  if (!ini.WriteString(section, key, value)) {
    section = QStringLiteral("Fuzz");
    Check(ini.WriteString(section, key, value));
  }
  // A value read from the document writes back without changing any read
  // (a blank section name cannot be written to and is refused).
  if (!before.empty()) {
    const auto& [firstKey, firstValue] = *before.begin();
    IniFile again = IniFile::FromContent(content);
    if (again.WriteString(firstKey.first, firstKey.second, firstValue)) Check(Snapshot(again) == before);
  }

  const IniFile reread = IniFile::FromContent(ini.Content());
  Check(reread.ReadString(section, key, QString()) == value);
  auto after = Snapshot(reread);
  after.erase({section.toCaseFolded(), key.toCaseFolded()});
  auto expected = before;
  expected.erase({section.toCaseFolded(), key.toCaseFolded()});
  Check(after == expected);

  // The same writes in a batch.
  batched.BeginUpdate();
  (void)batched.WriteString(section, key, value);
  Check(batched.EndUpdate());
  Check(batched.Content() == ini.Content());

  (void)ini.DeleteKey(section, key);
  (void)ini.EraseSection(section);
  return 0;
}
