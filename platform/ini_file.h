#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

// An ini file with the semantics of the platform's profile-string functions:
// section and key names match without regard to case, the first match wins,
// values are trimmed, a missing or unparsable value gives the caller's
// default, every write goes to the file at once (new sections and keys are
// appended, unknown lines kept), and the file is replaced atomically through
// a temporary file, so a crash never leaves half a file.
//
// Files are bytes in Windows-1252 (the degree sign is the byte 0xB0), so
// files move between installations unchanged; texts are converted to and
// from QString at this boundary.
//
// The file's content is cached and read again only when the file changed on
// disk (size or modification time), so many lookups cost one read.
class IniFile {
 public:
  explicit IniFile(QString path);

  const QString& FileName() const { return path_; }

  // The value trimmed, one pair of surrounding double quotes removed.
  QString ReadString(const QString& section, const QString& key, const QString& fallback) const;
  // Decimal, or hexadecimal with a "0x"/"0X" prefix; otherwise the fallback.
  int ReadInteger(const QString& section, const QString& key, int fallback) const;
  // A non-zero integer is true; anything not an integer gives the fallback.
  bool ReadBool(const QString& section, const QString& key, bool fallback) const;
  // Accepts '.' or ',' as the decimal separator.
  double ReadFloat(const QString& section, const QString& key, double fallback) const;

  // Each write returns false when the file could not be written; the file on
  // disk is then unchanged.
  bool WriteString(const QString& section, const QString& key, const QString& value);
  bool WriteInteger(const QString& section, const QString& key, int value);
  bool WriteBool(const QString& section, const QString& key, bool value);  // "1" / "0"
  // General format, up to 15 significant digits of the value as given, with
  // the system locale's decimal separator.
  bool WriteFloat(const QString& section, const QString& key, double value);

  QStringList ReadSections() const;
  QStringList ReadSection(const QString& section) const;        // key names in file order
  QStringList ReadSectionValues(const QString& section) const;  // "key=value" lines
  bool SectionExists(const QString& section) const;
  bool ValueExists(const QString& section, const QString& key) const;
  bool EraseSection(const QString& section);
  bool DeleteKey(const QString& section, const QString& key);

  // Windows-1252 conversions used at the file boundary.
  static QString FromWindows1252(const QByteArray& bytes);
  static QByteArray ToWindows1252(const QString& text);  // unmappable characters become '?'

 private:
  enum class Kind { Other, Section, Key };
  struct Line {
    QByteArray raw;  // the line as stored, without its line end
    Kind kind = Kind::Other;
    QString name;   // section or key name, trimmed
    QString value;  // a key's value, trimmed, one pair of quotes removed
  };
  struct Stamp {
    bool exists = false;
    qint64 size = -1;
    qint64 modifiedNs = 0;
    quint64 inode = 0;
    quint64 device = 0;
    bool operator==(const Stamp&) const = default;
  };
  static Line ParseLine(const QByteArray& raw);
  static Stamp StampOf(const QString& path);
  void Refresh() const;
  // Replaces the file with `lines`; on success the cache holds them.
  bool Store(std::vector<Line> lines);
  // Index of the first section header matching `section`, -1 when none; the
  // section's lines run up to `end` (exclusive).
  int FindSection(const QString& section, int* end) const;
  int FindKey(int sectionIndex, int sectionEnd, const QString& key) const;
  const Line* FindValue(const QString& section, const QString& key) const;

  QString path_;
  mutable std::vector<Line> lines_;
  mutable Stamp stamp_;
  mutable bool cacheValid_ = false;
  // The file exists but could not be read: writes are refused, so a file we
  // could not see is never replaced by one holding only the new key.
  mutable bool unreadable_ = false;
};
