#include "platform/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/number_text.h"

namespace {

// Windows-1252 0x80..0x9F; the five unassigned bytes map to the C1 control
// characters of the same value so that every byte survives a round trip.
constexpr char16_t kHighTable[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// `name` trimmed and case-folded, as the index holds names. Short ASCII
// names (all of the program's own) are folded into a buffer on the stack,
// so a lookup allocates nothing.
class FoldedName {
 public:
  explicit FoldedName(const QString& name) {
    const QStringView t = QStringView(name).trimmed();
    if (t.size() <= kSize) {
      const char16_t* p = t.utf16();
      qsizetype i = 0;
      for (; i < t.size() && p[i] < 0x80; ++i)
        buffer_[i] = p[i] >= u'A' && p[i] <= u'Z' ? static_cast<char16_t>(p[i] + 0x20) : p[i];
      if (i == t.size()) {
        text_ = QString::fromRawData(reinterpret_cast<const QChar*>(buffer_), i);
        return;
      }
    }
    text_ = t.toString().toCaseFolded();
  }
  FoldedName(const FoldedName&) = delete;
  FoldedName& operator=(const FoldedName&) = delete;
  const QString& Text() const { return text_; }

 private:
  static constexpr qsizetype kSize = 64;
  char16_t buffer_[kSize];
  QString text_;
};

bool IsBlank(const QByteArray& raw) { return raw.trimmed().isEmpty(); }

// A section or key name the file format can hold.
bool ValidName(const QString& name, bool isKey) {
  const QString t = name.trimmed();
  if (t.isEmpty()) return false;
  if (name.contains(QLatin1Char('\r')) || name.contains(QLatin1Char('\n')) || name.contains(QChar(0)))
    return false;
  if (name.contains(isKey ? QLatin1Char('=') : QLatin1Char(']'))) return false;
  if (isKey && (t.startsWith(QLatin1Char('[')) || t.startsWith(QLatin1Char(';')))) return false;
  return true;
}

// The text stored for `value`: reading trims a value and removes one pair of
// surrounding quotes, so a value with blanks at an end, or one in quotes,
// is stored in quotes to read back as it is.
QString Stored(const QString& value) {
  const bool quoted =
      value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"'));
  if (!quoted && value.trimmed().size() == value.size()) return value;
  return QLatin1Char('"') + value + QLatin1Char('"');
}

// A line break inside a value would split its line.
bool FitsOneLine(const QString& value) {
  return !value.contains(QLatin1Char('\r')) && !value.contains(QLatin1Char('\n'));
}

bool WriteAll(int fd, const QByteArray& data) {
  const char* p = data.constData();
  qint64 left = data.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    left -= n;
  }
  return true;
}

}  // namespace

IniFile::IniFile(QString path) : path_(std::move(path)) {}

IniFile IniFile::FromContent(const QByteArray& content) {
  IniFile ini{QString()};
  ini.inMemory_ = true;
  ParseContent(content, ini.lines_);
  ini.cacheValid_ = true;
  return ini;
}

QByteArray IniFile::Content() const {
  Refresh();
  return Serialised(lines_);
}

QByteArray IniFile::Serialised(const std::vector<Line>& lines) {
  QByteArray data;
  qsizetype size = 0;
  for (const Line& l : lines) size += l.raw.size() + 2;
  data.reserve(size);
  for (const Line& l : lines) {
    data += l.raw;
    data += "\r\n";
  }
  return data;
}

QString IniFile::ProblemText() const {
  const QString name = path_;
  switch (problem_) {
    case Problem::None:
      return {};
    case Problem::NotAFile:
      return QStringLiteral("%1 is not a regular file.").arg(name);
    case Problem::TooLarge:
      return QStringLiteral("%1 is larger than %2 MB.").arg(name).arg(kMaxFileSize / (1024 * 1024));
    case Problem::Unreadable:
      return QStringLiteral("%1 cannot be read.").arg(name);
    case Problem::Unwritable:
      return QStringLiteral("%1 cannot be written.").arg(name);
  }
  return {};
}

IniFile::Problem IniFile::CheckAccess() const {
  if (inMemory_) return Problem::None;
  Refresh();
  if (problem_ == Problem::NotAFile || problem_ == Problem::TooLarge || problem_ == Problem::Unreadable)
    return problem_;
  const QByteArray file = QFile::encodeName(path_);
  const QByteArray folder = QFile::encodeName(QFileInfo(path_).absolutePath());
  const bool writable = (!stamp_.exists || ::access(file.constData(), W_OK) == 0) &&
                        ::access(folder.constData(), W_OK | X_OK) == 0;
  if (!writable) problem_ = Problem::Unwritable;
  return problem_;
}

void IniFile::BeginUpdate() {
  if (updateDepth_++ == 0) dirty_ = false;
}

bool IniFile::EndUpdate() {
  if (updateDepth_ == 0 || --updateDepth_ > 0) return true;
  if (!dirty_) return true;
  dirty_ = false;
  if (inMemory_) return true;
  if (Store(lines_)) return true;
  // The cache holds what could not be stored: read the file again.
  cacheValid_ = false;
  return false;
}

bool IniFile::Commit(std::vector<Line>& lines) {
  if (&lines == &lines_) {
    // Changed in place: in an update, or in memory.
    if (updateDepth_ > 0) dirty_ = true;
    return true;
  }
  return Store(std::move(lines));
}

QString IniFile::FromWindows1252(const QByteArray& bytes) {
  // Latin-1 but for 0x80..0x9F, which are mended in place.
  QString out = QString::fromLatin1(bytes);
  char16_t* p = reinterpret_cast<char16_t*>(out.data());
  for (qsizetype i = 0, n = out.size(); i < n; ++i) {
    if (p[i] >= 0x80 && p[i] <= 0x9F) p[i] = kHighTable[p[i] - 0x80];
  }
  return out;
}

QByteArray IniFile::ToWindows1252(const QString& text) {
  // Latin-1 (unmappable characters become '?') but for the characters the
  // high table holds and the C1 controls, which are mended in place.
  QByteArray out = text.toLatin1();
  const char16_t* in = reinterpret_cast<const char16_t*>(text.constData());
  char* p = out.data();
  for (qsizetype i = 0, n = text.size(); i < n; ++i) {
    const char16_t c = in[i];
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) continue;
    p[i] = '?';
    for (int k = 0; k < 32; ++k) {
      if (kHighTable[k] == c) {
        p[i] = static_cast<char>(0x80 + k);
        break;
      }
    }
  }
  return out;
}

IniFile::Line IniFile::ParseLine(const QByteArray& raw) {
  Line line;
  line.raw = raw;
  const QString text = FromWindows1252(raw).trimmed();
  if (text.isEmpty() || text.startsWith(QLatin1Char(';'))) return line;
  if (text.startsWith(QLatin1Char('['))) {
    const qsizetype close = text.indexOf(QLatin1Char(']'));
    line.kind = Kind::Section;
    line.name = (close < 0 ? text.mid(1) : text.mid(1, close - 1)).trimmed();
    line.folded = line.name.toCaseFolded();
    return line;
  }
  const qsizetype eq = text.indexOf(QLatin1Char('='));
  if (eq <= 0) return line;
  line.name = text.left(eq).trimmed();
  line.folded = line.name.toCaseFolded();
  if (line.name.isEmpty()) return line;
  QString value = text.mid(eq + 1).trimmed();
  if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"'))) {
    value = value.mid(1, value.size() - 2);
  }
  line.kind = Kind::Key;
  line.value = value;
  return line;
}

IniFile::Stamp IniFile::StampOf(const QString& path) {
  Stamp s;
  struct stat st;
  if (::stat(QFile::encodeName(path).constData(), &st) != 0) return s;
  s.exists = true;
  s.regular = S_ISREG(st.st_mode);
  s.size = st.st_size;
  s.modifiedNs = static_cast<qint64>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
  s.inode = st.st_ino;
  s.device = st.st_dev;
  return s;
}

void IniFile::Refresh() const {
  // In memory, and during an update with pending writes, the cache is the
  // document.
  if (inMemory_ || (updateDepth_ > 0 && dirty_)) return;
  const Stamp now = StampOf(path_);
  if (cacheValid_ && now == stamp_) return;
  lines_.clear();
  sectionsValid_ = false;
  unreadable_ = false;
  stamp_ = now;
  cacheValid_ = true;
  if (problem_ != Problem::Unwritable) problem_ = Problem::None;
  if (!now.exists) return;
  auto refuse = [this](Problem why) {
    unreadable_ = true;
    problem_ = why;
    cacheValid_ = false;  // try again next time
  };
  // Only regular files are read: opening a FIFO would wait for a writer and
  // a device may never end.
  if (!now.regular) return refuse(Problem::NotAFile);
  if (now.size > kMaxFileSize) return refuse(Problem::TooLarge);
  const int fd = ::open(QFile::encodeName(path_).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return refuse(Problem::Unreadable);
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return refuse(Problem::NotAFile);  // replaced since the look above
  }
  QByteArray data;
  bool ok = true;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    data.append(buffer, static_cast<qsizetype>(n));
    if (data.size() > kMaxFileSize) break;
  }
  ::close(fd);
  if (!ok) return refuse(Problem::Unreadable);
  if (data.size() > kMaxFileSize) return refuse(Problem::TooLarge);
  ParseContent(data, lines_);
}

void IniFile::ParseContent(const QByteArray& data, std::vector<Line>& lines) {
  lines.clear();
  // A line ends at CR LF, LF or a lone CR.
  const qsizetype n = data.size();
  const char* p = data.constData();
  qsizetype start = 0;
  while (start < n) {
    qsizetype end = start;
    while (end < n && p[end] != '\n' && p[end] != '\r') ++end;
    lines.push_back(ParseLine(data.mid(start, end - start)));
    start = end + ((end + 1 < n && p[end] == '\r' && p[end + 1] == '\n') ? 2 : 1);
  }
}

void IniFile::IndexSections() const {
  if (sectionsValid_) return;
  sections_.clear();
  firstSection_.clear();
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const Line& l = lines_[i];
    if (l.kind == Kind::Section) {
      if (!firstSection_.contains(l.folded))
        firstSection_.insert(l.folded, static_cast<int>(sections_.size()));
      sections_.push_back({static_cast<int>(i), {}});
    } else if (l.kind == Kind::Key && !sections_.empty()) {
      SectionEntry& e = sections_.back();
      if (!e.keys.contains(l.folded)) e.keys.insert(l.folded, static_cast<int>(i) - e.header);
    }
  }
  sectionsValid_ = true;
}

void IniFile::IndexInserted(int entry, int at) const {
  if (!sectionsValid_) return;
  const Line& l = lines_[static_cast<std::size_t>(at)];
  if (l.kind != Kind::Key) {
    sectionsValid_ = false;
    return;
  }
  if (entry < 0) {
    // A new section at the end: its header and this key.
    const Line& header = lines_[static_cast<std::size_t>(at - 1)];
    if (header.kind != Kind::Section) {
      sectionsValid_ = false;
      return;
    }
    if (!firstSection_.contains(header.folded))
      firstSection_.insert(header.folded, static_cast<int>(sections_.size()));
    sections_.push_back({at - 1, {}});
    sections_.back().keys.insert(l.folded, 1);
    return;
  }
  // Keys go after the section's last key, so only later sections move.
  for (std::size_t k = static_cast<std::size_t>(entry) + 1; k < sections_.size(); ++k) ++sections_[k].header;
  SectionEntry& e = sections_[static_cast<std::size_t>(entry)];
  if (!e.keys.contains(l.folded)) e.keys.insert(l.folded, at - e.header);
}

int IniFile::FindSection(const QString& section, int* end, int* entry) const {
  IndexSections();
  const auto it = firstSection_.constFind(FoldedName(section).Text());
  if (it == firstSection_.cend()) return -1;
  const std::size_t k = static_cast<std::size_t>(it.value());
  if (end) *end = k + 1 < sections_.size() ? sections_[k + 1].header : static_cast<int>(lines_.size());
  if (entry) *entry = static_cast<int>(k);
  return sections_[k].header;
}

int IniFile::FindKey(int entry, const QString& key) const {
  const SectionEntry& e = sections_[static_cast<std::size_t>(entry)];
  const auto it = e.keys.constFind(FoldedName(key).Text());
  return it == e.keys.cend() ? -1 : e.header + it.value();
}

const IniFile::Line* IniFile::FindValue(const QString& section, const QString& key) const {
  Refresh();
  int entry = 0;
  if (FindSection(section, nullptr, &entry) < 0) return nullptr;
  const int k = FindKey(entry, key);
  return k < 0 ? nullptr : &lines_[static_cast<size_t>(k)];
}

QString IniFile::ReadString(const QString& section, const QString& key, const QString& fallback) const {
  const Line* l = FindValue(section, key);
  return l ? l->value : fallback;
}

int IniFile::ReadInteger(const QString& section, const QString& key, int fallback) const {
  const Line* l = FindValue(section, key);
  if (!l) return fallback;
  int v;
  return NumberText::TryStrToInt(l->value, v) ? v : fallback;
}

bool IniFile::ReadBool(const QString& section, const QString& key, bool fallback) const {
  return ReadInteger(section, key, fallback ? 1 : 0) != 0;
}

double IniFile::ReadFloat(const QString& section, const QString& key, double fallback) const {
  const Line* l = FindValue(section, key);
  if (!l) return fallback;
  double v;
  return NumberText::TryStrToFloat(l->value, v) ? v : fallback;
}

bool IniFile::WriteString(const QString& section, const QString& key, const QString& value) {
  if (!ValidName(section, false) || !ValidName(key, true) || !FitsOneLine(value)) return false;
  Refresh();
  if (unreadable_) return false;
  const QString stored = Stored(value);
  // In an update and in memory the cache (and its index) is changed in
  // place; otherwise a copy is stored and then becomes the cache.
  const bool inPlace = updateDepth_ > 0 || inMemory_;
  std::vector<Line> copy;
  std::vector<Line>& lines = inPlace ? lines_ : (copy = lines_);
  int end = 0;
  int entry = -1;
  const int s = FindSection(section, &end, &entry);
  if (s < 0) {
    lines.push_back(ParseLine(ToWindows1252(QLatin1Char('[') + section.trimmed() + QLatin1Char(']'))));
    lines.push_back(ParseLine(ToWindows1252(key.trimmed() + QLatin1Char('=') + stored)));
    if (inPlace) IndexInserted(-1, static_cast<int>(lines.size()) - 1);
    return Commit(lines);
  }
  const int k = FindKey(entry, key);
  if (k >= 0) {
    Line& l = lines[static_cast<size_t>(k)];
    const QByteArray raw = ToWindows1252(l.name + QLatin1Char('=') + stored);
    if (raw == l.raw) return true;  // already stored as it is
    Line replaced = ParseLine(raw);
    if (inPlace && (replaced.kind != Kind::Key || replaced.folded != l.folded)) sectionsValid_ = false;
    l = std::move(replaced);
    return Commit(lines);
  }
  int insertAt = end;
  while (insertAt > s + 1 && IsBlank(lines[static_cast<size_t>(insertAt - 1)].raw)) --insertAt;
  lines.insert(lines.begin() + insertAt, ParseLine(ToWindows1252(key.trimmed() + QLatin1Char('=') + stored)));
  if (inPlace) IndexInserted(entry, insertAt);
  return Commit(lines);
}

bool IniFile::WriteInteger(const QString& section, const QString& key, int value) {
  return WriteString(section, key, QString::number(value));
}

bool IniFile::WriteBool(const QString& section, const QString& key, bool value) {
  return WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

bool IniFile::WriteFloat(const QString& section, const QString& key, double value) {
  return WriteString(section, key,
                     NumberText::FloatToStrF(value, NumberText::FloatFormat::General, 15, 0,
                                             NumberText::SystemDecimalSeparator()));
}

QStringList IniFile::ReadSections() const {
  Refresh();
  QStringList out;
  for (const Line& l : lines_) {
    if (l.kind == Kind::Section && !out.contains(l.name, Qt::CaseInsensitive)) out << l.name;
  }
  return out;
}

QStringList IniFile::ReadSection(const QString& section) const {
  Refresh();
  QStringList out;
  int end = 0;
  const int s = FindSection(section, &end);
  if (s < 0) return out;
  for (int i = s + 1; i < end; ++i) {
    const Line& l = lines_[static_cast<size_t>(i)];
    if (l.kind == Kind::Key && !out.contains(l.name, Qt::CaseInsensitive)) out << l.name;
  }
  return out;
}

QStringList IniFile::ReadSectionValues(const QString& section) const {
  Refresh();
  QStringList out;
  QStringList seen;
  int end = 0;
  const int s = FindSection(section, &end);
  if (s < 0) return out;
  for (int i = s + 1; i < end; ++i) {
    const Line& l = lines_[static_cast<size_t>(i)];
    if (l.kind != Kind::Key || seen.contains(l.name, Qt::CaseInsensitive)) continue;
    seen << l.name;
    out << l.name + QLatin1Char('=') + l.value;
  }
  return out;
}

bool IniFile::SectionExists(const QString& section) const {
  Refresh();
  return FindSection(section, nullptr) >= 0;
}

bool IniFile::ValueExists(const QString& section, const QString& key) const {
  return FindValue(section, key) != nullptr;
}

bool IniFile::EraseSection(const QString& section) {
  Refresh();
  if (unreadable_) return false;
  int end = 0;
  const int s = FindSection(section, &end);
  if (s < 0) return true;
  std::vector<Line> copy;
  std::vector<Line>& lines = updateDepth_ > 0 || inMemory_ ? lines_ : (copy = lines_);
  lines.erase(lines.begin() + s, lines.begin() + end);
  sectionsValid_ = false;
  return Commit(lines);
}

bool IniFile::DeleteKey(const QString& section, const QString& key) {
  Refresh();
  if (unreadable_) return false;
  int entry = 0;
  if (FindSection(section, nullptr, &entry) < 0) return true;
  const int k = FindKey(entry, key);
  if (k < 0) return true;
  std::vector<Line> copy;
  std::vector<Line>& lines = updateDepth_ > 0 || inMemory_ ? lines_ : (copy = lines_);
  lines.erase(lines.begin() + k);
  sectionsValid_ = false;
  return Commit(lines);
}

bool IniFile::Store(std::vector<Line> lines) {
  // Write beside the real file (a symbolic link stays a link).
  QString target = path_;
  {
    const QByteArray encoded = QFile::encodeName(path_);
    struct stat st;
    if (::lstat(encoded.constData(), &st) == 0 && S_ISLNK(st.st_mode)) {
      char resolved[PATH_MAX];
      if (::realpath(encoded.constData(), resolved)) target = QFile::decodeName(resolved);
    }
  }
  if (!ReplaceFile(target, Serialised(lines))) {
    problem_ = Problem::Unwritable;
    return false;
  }
  lines_ = std::move(lines);
  sectionsValid_ = false;
  stamp_ = StampOf(path_);
  cacheValid_ = stamp_.exists;
  unreadable_ = false;
  problem_ = Problem::None;
  return true;
}

bool IniFile::ReplaceFile(const QString& target, const QByteArray& data) {
  const QByteArray targetName = QFile::encodeName(target);
  // The temporary file is created with 0666 so the umask applies to a new
  // file; an existing file's permissions are carried over.
  static std::atomic<unsigned> counter{0};
  QByteArray tmpl;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    tmpl = targetName + ".tmp" + QByteArray::number(::getpid()) + '.' + QByteArray::number(++counter);
    fd = ::open(tmpl.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;
  struct stat old;
  bool ok = true;
  if (::stat(targetName.constData(), &old) == 0) ok = ::fchmod(fd, old.st_mode & 07777) == 0;
  ok = ok && WriteAll(fd, data) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok) ok = ::rename(tmpl.constData(), targetName.constData()) == 0;
  if (!ok) {
    ::unlink(tmpl.constData());
    return false;
  }
  // Make the rename itself durable.
  const QByteArray dir = QFile::encodeName(QFileInfo(target).absolutePath());
  const int dfd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
  return true;
}
