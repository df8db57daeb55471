// The shipped English language file lists every text the program reads:
// the captions of its forms, the texts the forms read, and every key the
// sources read with a literal key.

#include <gtest/gtest.h>

#include <QFile>
#include <QSet>
#include <QStringList>
#include <QTemporaryDir>

#include "lang/english_lng_builder.h"
#include "lang/text_key_scanner.h"
#include "platform/ini_file.h"

namespace {

const QString kShipped = QStringLiteral(TS_SOURCE_DIR "/lang/English.lng");

QString Describe(const TextKeyScanner::TextKey& k) {
  return QStringLiteral("[%1] %2 = %3 (%4:%5)")
      .arg(k.section, k.key, k.defaultText.value_or(QStringLiteral("<no literal>")), k.file)
      .arg(k.line);
}

}  // namespace

TEST(TextKeyScanner, FindsLiteralKeysAndTableMarkersOnly) {
  const QString source = QStringLiteral(R"cpp(
    a = LIS_->MessageText(QStringLiteral("Saved"), QStringLiteral("Data "
                                                                  "saved: \"%s\""));
    b = lng.OtherTextOrKey(QStringLiteral("Cycle"));
    c = LIS_->OtherText(QStringLiteral("Yes"), QStringLiteral("&Yes"));
    d = LIS_->ReadText(QStringLiteral("UnitC"), QStringLiteral("°C"), QStringLiteral("Messages"));
    e = LIS_->ReadText(QStringLiteral("UnitF"), QStringLiteral("°F"), section);
    f = LIS_->OtherTextOrKey(QString::fromLatin1(keys[c]));
    g = LIS_->MessageText(QStringLiteral("Computed"), fallback);
    static const char* const kStates[] = {LNG_OTHER_KEY("Closed"), ""};
    constexpr Button kOk{LNG_OTHER_TEXT("OK", "&OK"), mrOk};
    // h = LIS_->MessageText(QStringLiteral("InAComment"), QStringLiteral("x"));
    /* i = LIS_->OtherTextOrKey(QStringLiteral("InABlock")); */
    QString MyMessageText(const QString& key);
  )cpp");
  struct Expected {
    const char* section;
    const char* key;
    const char* defaultText;  // null: no literal default
    int line;
  };
  const Expected expected[] = {
      {"Messages", "Saved", "Data saved: \"%s\"", 2},
      {"Other", "Cycle", "Cycle", 4},
      {"Other", "Yes", "&Yes", 5},
      {"Messages", "UnitC", "°C", 6},
      {"Messages", "Computed", nullptr, 9},
      {"Other", "Closed", "Closed", 10},
      {"Other", "OK", "&OK", 11},
  };
  const auto keys = TextKeyScanner::ScanText(source, QStringLiteral("x.cpp"));
  ASSERT_EQ(keys.size(), std::size(expected));
  for (std::size_t i = 0; i < keys.size(); ++i) {
    SCOPED_TRACE(expected[i].key);
    EXPECT_EQ(keys[i].section, QString::fromUtf8(expected[i].section));
    EXPECT_EQ(keys[i].key, QString::fromUtf8(expected[i].key));
    if (expected[i].defaultText)
      EXPECT_EQ(keys[i].defaultText.value_or(QStringLiteral("<none>")),
                QString::fromUtf8(expected[i].defaultText));
    else
      EXPECT_FALSE(keys[i].defaultText.has_value());
    EXPECT_EQ(keys[i].line, expected[i].line);
  }
}

TEST(EnglishLng, EveryKeyTheSourcesReadIsShipped) {
  const IniFile shipped(kShipped);
  const auto keys =
      TextKeyScanner::ScanTree(QStringLiteral(TS_SOURCE_DIR), EnglishLngBuilder::SourceFolders());
  // The sources read a few dozen texts by key; far fewer means the scanner
  // lost its way.
  EXPECT_GT(keys.size(), 40u);
  for (const auto& k : keys)
    EXPECT_TRUE(shipped.ValueExists(k.section, k.key))
        << Describe(k).toStdString()
        << " is read but missing from lang/English.lng: run scripts/update-english-lng.sh";
}

TEST(EnglishLng, TheFormsAddNothingToTheShippedFile) {
  // The real main window and its dialogs, built offscreen, and the keys of
  // the sources: whatever the generator would add is missing.
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString copy = dir.filePath(QStringLiteral("English.lng"));
  ASSERT_TRUE(QFile::copy(kShipped, copy));
  QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
  const EnglishLngBuilder::Result result = EnglishLngBuilder::Update(copy, QStringLiteral(TS_SOURCE_DIR));
  ASSERT_TRUE(result.ok) << result.error.toStdString();
  EXPECT_TRUE(result.added.isEmpty()) << "missing from lang/English.lng (run scripts/update-english-lng.sh): "
                                      << result.added.join(QStringLiteral(", ")).toStdString();
  EXPECT_TRUE(result.unresolved.isEmpty()) << result.unresolved.join(QStringLiteral(", ")).toStdString();
  // The forms did read their texts while they were built.
  EXPECT_TRUE(result.read.contains(QStringLiteral("Other/TObj")));
  EXPECT_TRUE(result.read.contains(QStringLiteral("Messages/UnitCelsius")));
}

TEST(EnglishLng, KeepsItsFormat) {
  QFile file(kShipped);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray bytes = file.readAll();
  // Windows-1252: the degree sign is one byte 0xB0, never UTF-8.
  EXPECT_TRUE(
      bytes.contains("=\xB0"
                     "C"));
  EXPECT_FALSE(bytes.contains("\xC2\xB0"));
  const IniFile shipped(kShipped);
  const QStringList sections = shipped.ReadSections();
  for (const char* section : {"Language", "ThermaSentinelForm", "fParamShow", "DeviceInfoDlg",
                              "SetDefaultSettingsDlg", "Messages", "Other"})
    EXPECT_TRUE(sections.contains(QString::fromLatin1(section), Qt::CaseInsensitive)) << section;
  // The main window's own controls, not just its caption.
  for (const char* key : {"mFile", "btnStart", "Caption"})
    EXPECT_TRUE(shipped.ValueExists(QStringLiteral("ThermaSentinelForm"), QString::fromLatin1(key))) << key;
  EXPECT_EQ(shipped.ReadString(QStringLiteral("Other"), QStringLiteral("Closed"), QString()),
            QStringLiteral("Closed"));
}

// Each key stands once in its section: a second copy (left by two changes
// that both added it) would let a translator edit one copy while the
// program reads the other.
TEST(EnglishLng, EachKeyStandsOnceInItsSection) {
  QFile file(kShipped);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  QString section;
  QSet<QString> seen;
  QStringList twice;
  for (QByteArray line : file.readAll().split('\n')) {
    line = line.trimmed();
    if (line.startsWith('[')) {
      section = QString::fromLatin1(line).toLower();
      continue;
    }
    const int eq = line.indexOf('=');
    if (eq <= 0 || line.startsWith(';')) continue;
    const QString key = section + QLatin1Char('/') + QString::fromLatin1(line.left(eq)).trimmed().toLower();
    if (seen.contains(key)) twice << key;
    seen.insert(key);
  }
  EXPECT_TRUE(twice.isEmpty()) << twice.join(QStringLiteral(", ")).toStdString();
}
