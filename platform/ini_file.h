#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
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
//
// Line ends may be CR LF, LF or a lone CR; the file is written with CR LF.
// A path that is not a regular file (a FIFO, a device, a folder), a file
// larger than kMaxFileSize and a file that cannot be read are refused: reads
// give their defaults, writes return false and the path is left alone;
// LastProblem() says why.
//
// Several writes that belong together (closing, normalising, a dialog's OK)
// go between BeginUpdate and EndUpdate (or into an IniFile::Batch): they
// change the cached content only, and EndUpdate replaces the file once.
class IniFile {
 public:
  // Files larger than this are not taken as ini files.
  static constexpr qint64 kMaxFileSize = 64LL * 1024 * 1024;

  enum class Problem {
    None,
    NotAFile,    // the path is a FIFO, a device or a folder
    TooLarge,    // larger than kMaxFileSize
    Unreadable,  // exists but cannot be read
    Unwritable,  // the last replace of the file failed
  };

  explicit IniFile(QString path);
  // An ini document held in memory only: reads parse `content`, writes change
  // the memory copy (see Content()). Used to check texts without a file.
  static IniFile FromContent(const QByteArray& content);

  const QString& FileName() const { return path_; }
  bool InMemory() const { return inMemory_; }
  // The document as it would be written: every line with CR LF.
  QByteArray Content() const;

  // Why the last read or write could not use the file; None when it could.
  Problem LastProblem() const { return problem_; }
  // An English sentence naming the file and the problem; empty for None.
  QString ProblemText() const;
  // Looks at the file now (without reading it when unchanged) and returns
  // the problem a read or write would meet; Unwritable when the file, or
  // the folder of a missing file, cannot be written.
  Problem CheckAccess() const;

  // Writes between these change only the cached content; the outermost
  // EndUpdate replaces the file once and returns false when that failed
  // (the file on disk is then unchanged). Calls nest.
  void BeginUpdate();
  bool EndUpdate();
  bool Updating() const { return updateDepth_ > 0; }

  // BeginUpdate for the lifetime of the object.
  class Batch {
   public:
    explicit Batch(IniFile& ini) : ini_(ini) { ini_.BeginUpdate(); }
    ~Batch() { ini_.EndUpdate(); }
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

   private:
    IniFile& ini_;
  };

  // The value trimmed, one pair of surrounding double quotes removed.
  QString ReadString(const QString& section, const QString& key, const QString& fallback) const;
  // Decimal, or hexadecimal with a "0x"/"0X" prefix; otherwise the fallback.
  int ReadInteger(const QString& section, const QString& key, int fallback) const;
  // A non-zero integer is true; anything not an integer gives the fallback.
  bool ReadBool(const QString& section, const QString& key, bool fallback) const;
  // Accepts '.' or ',' as the decimal separator.
  double ReadFloat(const QString& section, const QString& key, double fallback) const;

  // Each write returns false when the file could not be written; the file on
  // disk is then unchanged. A value holding a line break cannot be stored on
  // one line and is refused; every other character is stored as it is (a
  // NUL too), so a value read from a file writes back unchanged. Inside an
  // update the write returns true once the cached content holds it.
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
    QString name;    // section or key name, trimmed
    QString folded;  // name case-folded, for lookups
    QString value;   // a key's value, trimmed, one pair of quotes removed
  };
  struct Stamp {
    bool exists = false;
    bool regular = false;
    qint64 size = -1;
    qint64 modifiedNs = 0;
    quint64 inode = 0;
    quint64 device = 0;
    bool operator==(const Stamp&) const = default;
  };
  static Line ParseLine(const QByteArray& raw);
  static Stamp StampOf(const QString& path);
  static void ParseContent(const QByteArray& data, std::vector<Line>& lines);
  // Every line with CR LF.
  static QByteArray Serialised(const std::vector<Line>& lines);
  void Refresh() const;
  // Replaces the file with `lines`, or, inside an update, only the cache.
  bool Commit(std::vector<Line>& lines);
  // Replaces the file with `lines`; on success the cache holds them.
  bool Store(std::vector<Line> lines);
  // Writes `data` to a new file beside `target` and renames it over.
  static bool ReplaceFile(const QString& target, const QByteArray& data);
  // Index of the first section header matching `section`, -1 when none; the
  // section's lines run up to `end` (exclusive), `entry` is its place in
  // sections_.
  int FindSection(const QString& section, int* end, int* entry = nullptr) const;
  // Index of the first line in section `entry` holding `key`, -1 when none.
  int FindKey(int entry, const QString& key) const;
  const Line* FindValue(const QString& section, const QString& key) const;
  // Builds sections_ and firstSection_ from lines_ when they are not valid.
  void IndexSections() const;
  // Keeps the index right after `line` was inserted into lines_ at `at`
  // as a key of section `entry`, or (entry -1) appended as a new section.
  void IndexInserted(int entry, int at) const;

  QString path_;
  bool inMemory_ = false;
  int updateDepth_ = 0;
  bool dirty_ = false;  // the cache holds writes not yet in the file
  mutable Problem problem_ = Problem::None;
  mutable std::vector<Line> lines_;
  // The section headers in file order, each with the first line of each of
  // its keys (as an offset from the header, so inserting lines into earlier
  // sections only moves the headers), and the first header of each folded
  // section name; valid while sectionsValid_. A lookup then costs two hash
  // look-ups, however large the file, and a write keeps the index up to date
  // instead of scanning the file again.
  struct SectionEntry {
    int header = 0;            // index of the header line in lines_
    QHash<QString, int> keys;  // folded key name -> offset of its first line
  };
  mutable std::vector<SectionEntry> sections_;
  mutable QHash<QString, int> firstSection_;  // folded name -> place in sections_
  mutable bool sectionsValid_ = false;
  mutable Stamp stamp_;
  mutable bool cacheValid_ = false;
  // The file exists but could not be read: writes are refused, so a file we
  // could not see is never replaced by one holding only the new key.
  mutable bool unreadable_ = false;
};
