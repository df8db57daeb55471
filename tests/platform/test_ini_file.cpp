#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <ostream>

#include "platform/ini_file.h"
#include "platform/number_text.h"

// Readable QString values in test failure messages.
[[maybe_unused]] static void PrintTo(const QString& s, std::ostream* os) {
  *os << '"' << s.toStdString() << '"';
}

namespace {

class IniFileTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

  QString PathOf(const QString& name) const { return dir_.filePath(name); }

  QString WriteRaw(const QByteArray& bytes, const QString& name = QStringLiteral("test.ini")) {
    const QString path = PathOf(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
    return path;
  }

  static QByteArray ReadRaw(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }

  QStringList DirEntries() const { return QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden); }

  QTemporaryDir dir_;
};

TEST_F(IniFileTest, LookupsIgnoreCaseAndFirstMatchWins) {
  const QString path = WriteRaw(
      "; settings\n"
      "top=ignored\n"
      "[Config]\r\n"
      "  Emissivity = 0,950 \r\n"
      "Name=\"  quoted  \"\n"
      "no equals sign here\n"
      "Count=1\n"
      "count=2\n"
      "[config]\n"
      "Count=3\n"
      "Extra=4\n");
  const IniFile ini(path);
  EXPECT_EQ(ini.ReadInteger(QStringLiteral("CONFIG"), QStringLiteral("COUNT"), 0), 1);
  EXPECT_EQ(ini.ReadString(QStringLiteral("config"), QStringLiteral("name"), QString()),
            QStringLiteral("  quoted  "));
  EXPECT_EQ(ini.ReadString(QStringLiteral("Config"), QStringLiteral("Extra"), QStringLiteral("d")),
            QStringLiteral("d"));  // only the first section of that name is seen
  EXPECT_EQ(ini.ReadString(QStringLiteral("Config"), QStringLiteral("top"), QStringLiteral("d")),
            QStringLiteral("d"));
  EXPECT_EQ(ini.ReadSections(), QStringList{QStringLiteral("Config")});
  EXPECT_EQ(ini.ReadSection(QStringLiteral("config")),
            (QStringList{QStringLiteral("Emissivity"), QStringLiteral("Name"), QStringLiteral("Count")}));
  EXPECT_EQ(ini.ReadSectionValues(QStringLiteral("Config")).value(0), QStringLiteral("Emissivity=0,950"));
  EXPECT_TRUE(ini.ValueExists(QStringLiteral("CONFIG"), QStringLiteral("emissivity")));
  EXPECT_FALSE(ini.ValueExists(QStringLiteral("CONFIG"), QStringLiteral("no equals sign here")));
  EXPECT_TRUE(ini.SectionExists(QStringLiteral("CoNfIg")));
}

TEST_F(IniFileTest, CommaDecimalReadsBackUnderEitherSeparator) {
  const QString path = WriteRaw("[Config]\nEmissivity=0,950\nGain=1.25\n");
  const IniFile ini(path);
  const QChar saved = NumberText::DecimalSeparator();
  for (QChar sep : {QLatin1Char(','), QLatin1Char('.')}) {
    NumberText::SetDecimalSeparator(sep);
    EXPECT_DOUBLE_EQ(ini.ReadFloat(QStringLiteral("config"), QStringLiteral("emissivity"), 1.0), 0.95);
    EXPECT_DOUBLE_EQ(ini.ReadFloat(QStringLiteral("config"), QStringLiteral("gain"), 1.0), 1.25);
  }
  NumberText::SetDecimalSeparator(saved);
}

TEST_F(IniFileTest, MissingOrUnparsableValuesGiveTheDefault) {
  const QString path = WriteRaw(
      "[S]\nEmpty=\nWord=abc\nHex=0x10\nTwo=2\nTrue=true\nZero=0\nSpaced=  7  \nFloat=1.5\nBoth=1.234,5\n"
      "Neg=-3\n");
  const IniFile ini(path);
  const QString s = QStringLiteral("S");
  struct IntCase {
    const char* key;
    int expected;
  } ints[] = {{"Empty", 99}, {"Word", 99},    {"Hex", 16}, {"Two", 2},  {"Float", 99},
              {"Spaced", 7}, {"Missing", 99}, {"Neg", -3}, {"True", 99}};
  for (const IntCase& c : ints) EXPECT_EQ(ini.ReadInteger(s, QLatin1String(c.key), 99), c.expected) << c.key;
  struct BoolCase {
    const char* key;
    bool fallback;
    bool expected;
  } bools[] = {{"Two", false, true}, {"Zero", true, false}, {"True", false, false},
               {"True", true, true}, {"Empty", true, true}, {"Missing", false, false}};
  for (const BoolCase& c : bools)
    EXPECT_EQ(ini.ReadBool(s, QLatin1String(c.key), c.fallback), c.expected) << c.key;
  struct FloatCase {
    const char* key;
    double expected;
  } floats[] = {{"Word", 100.0}, {"Float", 1.5}, {"Both", 100.0}, {"Empty", 100.0}, {"Two", 2.0}};
  for (const FloatCase& c : floats)
    EXPECT_DOUBLE_EQ(ini.ReadFloat(s, QLatin1String(c.key), 100.0), c.expected) << c.key;
  EXPECT_EQ(ini.ReadString(QStringLiteral("Nowhere"), QStringLiteral("Word"), QStringLiteral("def")),
            QStringLiteral("def"));
  EXPECT_EQ(ini.ReadString(s, QStringLiteral("Empty"), QStringLiteral("def")), QString());
  // A file that does not exist reads as empty.
  const IniFile none(PathOf(QStringLiteral("missing.ini")));
  EXPECT_EQ(none.ReadInteger(s, QStringLiteral("Two"), 5), 5);
  EXPECT_TRUE(none.ReadSections().isEmpty());
}

TEST_F(IniFileTest, WritesGoToTheFileAtOnceAndKeepEverythingElse) {
  const QString path = WriteRaw(
      "; comment\n"
      "[A]\n"
      "x=1\n"
      "junk line\n"
      "\n"
      "\n"
      "[B]\n"
      "y=2\n");
  IniFile ini(path);
  EXPECT_TRUE(ini.WriteInteger(QStringLiteral("a"), QStringLiteral("X"), 5));  // replaced in place
  EXPECT_TRUE(
      ini.WriteString(QStringLiteral("A"), QStringLiteral("new"), QStringLiteral("v")));  // before blanks
  EXPECT_TRUE(ini.WriteBool(QStringLiteral("C"), QStringLiteral("flag"), true));  // new section at the end
  EXPECT_TRUE(ini.WriteFloat(QStringLiteral("C"), QStringLiteral("f"), static_cast<double>(0.001f)));
  EXPECT_TRUE(ini.WriteFloat(QStringLiteral("C"), QStringLiteral("g"), -50.0));
  // A line break cannot be stored on one line: the value is refused, not altered.
  EXPECT_FALSE(ini.WriteString(QStringLiteral("B"), QStringLiteral("multi"), QStringLiteral("a\nb")));
  EXPECT_FALSE(ini.WriteString(QStringLiteral("B"), QStringLiteral("multi"), QStringLiteral("a\rb")));
  EXPECT_EQ(ReadRaw(path), QByteArray("; comment\r\n"
                                      "[A]\r\n"
                                      "x=5\r\n"
                                      "junk line\r\n"
                                      "new=v\r\n"
                                      "\r\n"
                                      "\r\n"
                                      "[B]\r\n"
                                      "y=2\r\n"
                                      "[C]\r\n"
                                      "flag=1\r\n"
                                      "f=0.00100000004749745\r\n"
                                      "g=-50\r\n"));
  // Another reader of the same file sees the values.
  const IniFile other(path);
  EXPECT_EQ(other.ReadInteger(QStringLiteral("A"), QStringLiteral("x"), 0), 5);
  EXPECT_FLOAT_EQ(static_cast<float>(other.ReadFloat(QStringLiteral("c"), QStringLiteral("F"), 0)), 0.001f);
  EXPECT_TRUE(ini.DeleteKey(QStringLiteral("a"), QStringLiteral("NEW")));
  EXPECT_TRUE(ini.EraseSection(QStringLiteral("b")));
  EXPECT_EQ(ReadRaw(path), QByteArray("; comment\r\n[A]\r\nx=5\r\njunk line\r\n\r\n\r\n[C]\r\nflag=1\r\n"
                                      "f=0.00100000004749745\r\ng=-50\r\n"));
}

TEST_F(IniFileTest, SeesChangesMadeByOthers) {
  const QString path = WriteRaw("[S]\nk=1\n");
  const IniFile reader(path);
  EXPECT_EQ(reader.ReadInteger(QStringLiteral("S"), QStringLiteral("k"), 0), 1);
  IniFile writer(path);
  ASSERT_TRUE(writer.WriteInteger(QStringLiteral("S"), QStringLiteral("k"), 2));
  EXPECT_EQ(reader.ReadInteger(QStringLiteral("S"), QStringLiteral("k"), 0), 2);
  // Same size, written in place by someone else.
  WriteRaw("[S]\r\nk=3\r\n");
  EXPECT_EQ(reader.ReadInteger(QStringLiteral("S"), QStringLiteral("k"), 0), 3);
  QFile::remove(path);
  EXPECT_EQ(reader.ReadInteger(QStringLiteral("S"), QStringLiteral("k"), 0), 0);
}

TEST_F(IniFileTest, ReplacesTheFileAtomically) {
  const QString path = WriteRaw("[S]\nk=1\n");
  struct stat before {};
  ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &before), 0);
  IniFile ini(path);
  ASSERT_TRUE(ini.WriteString(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("2")));
  struct stat after {};
  ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &after), 0);
  EXPECT_NE(before.st_ino, after.st_ino);  // a new file took the old one's name
  EXPECT_EQ(DirEntries(), QStringList{QStringLiteral("test.ini")});

  // A write that fails half-way (file size limit, as on a full disk) leaves
  // the old file as it was and no temporary file behind.
  const QByteArray old = ReadRaw(path);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  ::getrlimit(RLIMIT_FSIZE, &saved);
  rlimit small = saved;
  small.rlim_cur = 64;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool written =
      ini.WriteString(QStringLiteral("S"), QStringLiteral("long"), QString(200, QLatin1Char('x')));
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previousHandler);
  EXPECT_FALSE(written);
  EXPECT_EQ(ReadRaw(path), old);
  EXPECT_EQ(DirEntries(), QStringList{QStringLiteral("test.ini")});
  EXPECT_EQ(ini.ReadString(QStringLiteral("S"), QStringLiteral("long"), QStringLiteral("none")),
            QStringLiteral("none"));
}

TEST_F(IniFileTest, RefusesWritesItCannotDoSafely) {
  IniFile ini(PathOf(QStringLiteral("no/such/folder/x.ini")));
  EXPECT_FALSE(ini.WriteInteger(QStringLiteral("S"), QStringLiteral("k"), 1));
  // A path that exists but cannot be read as a file is never replaced.
  ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("adir")));
  IniFile dirIni(PathOf(QStringLiteral("adir")));
  EXPECT_FALSE(dirIni.WriteInteger(QStringLiteral("S"), QStringLiteral("k"), 1));
  EXPECT_TRUE(QFileInfo(PathOf(QStringLiteral("adir"))).isDir());
  // Names the file format cannot hold.
  IniFile good(PathOf(QStringLiteral("good.ini")));
  const char* badKeys[] = {"", "  ", "a=b", "a\nb", "[x", ";x"};
  for (const char* k : badKeys)
    EXPECT_FALSE(good.WriteString(QStringLiteral("S"), QLatin1String(k), QStringLiteral("v"))) << k;
  EXPECT_FALSE(good.WriteString(QStringLiteral("a]b"), QStringLiteral("k"), QStringLiteral("v")));
  EXPECT_FALSE(QFile::exists(PathOf(QStringLiteral("good.ini"))));
}

TEST_F(IniFileTest, KeepsWindows1252Bytes) {
  const QString path = WriteRaw(
      "[Units]\nC=\xB0"
      "C\nEuro=\x80\n");
  IniFile ini(path);
  EXPECT_EQ(ini.ReadString(QStringLiteral("units"), QStringLiteral("c"), QString()),
            QStringLiteral("\u00B0C"));
  EXPECT_EQ(ini.ReadString(QStringLiteral("units"), QStringLiteral("euro"), QString()),
            QStringLiteral("\u20AC"));
  ASSERT_TRUE(
      ini.WriteString(QStringLiteral("Units"), QStringLiteral("F"), QStringLiteral("\u00B0F \u2126")));
  EXPECT_EQ(ReadRaw(path), QByteArray("[Units]\r\nC=\xB0"
                                      "C\r\nEuro=\x80\r\nF=\xB0"
                                      "F ?\r\n"));

  // Every byte survives the way through text and back.
  QByteArray all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(IniFile::ToWindows1252(IniFile::FromWindows1252(all)), all);
  EXPECT_EQ(IniFile::FromWindows1252(QByteArray("\x8A\x9F")), QStringLiteral("\u0160\u0178"));
}

TEST_F(IniFileTest, WritingThroughALinkKeepsTheLink) {
  const QString target = WriteRaw("[S]\nk=1\n", QStringLiteral("real.ini"));
  const QString link = PathOf(QStringLiteral("link.ini"));
  ASSERT_TRUE(QFile::link(target, link));
  IniFile ini(link);
  ASSERT_TRUE(ini.WriteInteger(QStringLiteral("S"), QStringLiteral("k"), 2));
  EXPECT_TRUE(QFileInfo(link).isSymLink());
  EXPECT_EQ(ReadRaw(target), QByteArray("[S]\r\nk=2\r\n"));
}

// Files the reader must not take as they are: what a read gives, whether a
// write is refused, and that a refused write leaves the path byte for byte
// as it was.
TEST_F(IniFileTest, BadFilesAreReadSafelyAndNeverDamaged) {
  struct Case {
    const char* what;
    QByteArray content;
    QString expectedValue;  // of [S] k
    bool writeAccepted;
    IniFile::Problem problem;
  };
  const QByteArray big = "[S]\nk=1\n" + QByteArray(IniFile::kMaxFileSize, ';');
  const Case cases[] = {
      {"CR line ends", "[S]\rk=cr\r[T]\rk=t\r", "cr", true, IniFile::Problem::None},
      {"mixed line ends", "[S]\r\nj=1\rk=mixed\n", "mixed", true, IniFile::Problem::None},
      {"NUL in a value", QByteArray("[S]\nk=a\0b\n", 10), QString::fromUtf16(u"a\0b", 3), true,
       IniFile::Problem::None},
      {"larger than the limit", big, "default", false, IniFile::Problem::TooLarge},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const QString path = WriteRaw(c.content);
    IniFile ini(path);
    EXPECT_EQ(ini.ReadString(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("default")),
              c.expectedValue);
    EXPECT_EQ(ini.LastProblem(), c.problem);
    // Writing back what was read changes nothing a reader sees.
    const QString value = ini.ReadString(QStringLiteral("S"), QStringLiteral("k"), QString());
    EXPECT_EQ(ini.WriteString(QStringLiteral("S"), QStringLiteral("new"), value), c.writeAccepted);
    if (c.writeAccepted) {
      const IniFile reread(path);
      EXPECT_EQ(reread.ReadString(QStringLiteral("S"), QStringLiteral("k"), QString()), c.expectedValue);
      EXPECT_EQ(reread.ReadString(QStringLiteral("S"), QStringLiteral("new"), QString()), value);
    } else {
      EXPECT_EQ(ReadRaw(path), c.content);
      EXPECT_FALSE(ini.ProblemText().isEmpty());
    }
  }
}

TEST_F(IniFileTest, ANulInAValueWritesBackByteForByte) {
  const QByteArray content("[Options]\r\nDecimalUserDefined=\0\r\n", 33);
  const QString path = WriteRaw(content);
  IniFile ini(path);
  const QString v =
      ini.ReadString(QStringLiteral("Options"), QStringLiteral("DecimalUserDefined"), QString());
  ASSERT_EQ(v, QString(QChar(0)));
  EXPECT_TRUE(ini.WriteString(QStringLiteral("Options"), QStringLiteral("DecimalUserDefined"), v));
  EXPECT_EQ(ReadRaw(path), content);
}

TEST_F(IniFileTest, ValuesWithBlanksOrQuotesReadBackAsWritten) {
  IniFile ini(PathOf(QStringLiteral("q.ini")));
  const QString values[] = {QStringLiteral(" lead"),      QStringLiteral("trail\t"),
                            QStringLiteral("\"quoted\""), QStringLiteral("\""),
                            QStringLiteral("a \"b\" c"),  QString(QChar(0)) + QStringLiteral(" "),
                            QStringLiteral("\u00A0nbsp")};
  for (const QString& v : values) {
    ASSERT_TRUE(ini.WriteString(QStringLiteral("S"), QStringLiteral("k"), v));
    EXPECT_EQ(IniFile(PathOf(QStringLiteral("q.ini")))
                  .ReadString(QStringLiteral("S"), QStringLiteral("k"), QString()),
              v);
  }
  // Plain values stay unquoted.
  ASSERT_TRUE(ini.WriteString(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("a b")));
  EXPECT_EQ(ReadRaw(PathOf(QStringLiteral("q.ini"))), QByteArray("[S]\r\nk=a b\r\n"));
}

TEST_F(IniFileTest, PathsThatAreNoRegularFileAreRefusedAtOnce) {
  const QString fifo = PathOf(QStringLiteral("fifo.ini"));
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  for (const QString& path : {fifo, QStringLiteral("/dev/zero"), QStringLiteral("/dev/null")}) {
    SCOPED_TRACE(path.toStdString());
    QElapsedTimer t;
    t.start();
    IniFile ini(path);
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("S"), QStringLiteral("k"), 7), 7);
    EXPECT_EQ(ini.LastProblem(), IniFile::Problem::NotAFile);
    EXPECT_FALSE(ini.WriteInteger(QStringLiteral("S"), QStringLiteral("k"), 1));
    EXPECT_EQ(ini.CheckAccess(), IniFile::Problem::NotAFile);
    EXPECT_LT(t.elapsed(), 2000);  // no wait for a writer, no endless read
  }
  struct stat st;
  ASSERT_EQ(::stat(QFile::encodeName(fifo).constData(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files | QDir::System | QDir::Hidden),
            QStringList{QStringLiteral("fifo.ini")});
}

TEST_F(IniFileTest, AnUpdateReplacesTheFileOnceAtItsEnd) {
  const QString path = WriteRaw("[S]\nk=1\n");
  IniFile ini(path);
  const QByteArray before = ReadRaw(path);
  {
    IniFile::Batch batch(ini);
    EXPECT_TRUE(ini.WriteInteger(QStringLiteral("S"), QStringLiteral("k"), 2));
    EXPECT_TRUE(ini.WriteInteger(QStringLiteral("T"), QStringLiteral("x"), 3));
    EXPECT_TRUE(ini.DeleteKey(QStringLiteral("S"), QStringLiteral("k")));
    EXPECT_TRUE(ini.WriteInteger(QStringLiteral("S"), QStringLiteral("k"), 4));
    // The writes are seen by reads but not yet on disk.
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("T"), QStringLiteral("x"), 0), 3);
    EXPECT_EQ(ReadRaw(path), before);
  }
  EXPECT_EQ(ReadRaw(path), QByteArray("[S]\r\nk=4\r\n[T]\r\nx=3\r\n"));

  // A replace that fails at the end leaves the file and drops the pending
  // writes from what reads see.
  IniFile missing(PathOf(QStringLiteral("no/such/folder/x.ini")));
  missing.BeginUpdate();
  EXPECT_TRUE(missing.WriteInteger(QStringLiteral("S"), QStringLiteral("k"), 1));
  EXPECT_FALSE(missing.EndUpdate());
  EXPECT_EQ(missing.LastProblem(), IniFile::Problem::Unwritable);
  EXPECT_EQ(missing.ReadInteger(QStringLiteral("S"), QStringLiteral("k"), 9), 9);
}

TEST_F(IniFileTest, ADocumentInMemoryNeverTouchesAFile) {
  IniFile ini = IniFile::FromContent("[S]\rk=1\r");
  EXPECT_EQ(ini.ReadInteger(QStringLiteral("S"), QStringLiteral("k"), 0), 1);
  EXPECT_TRUE(ini.WriteInteger(QStringLiteral("S"), QStringLiteral("j"), 2));
  EXPECT_EQ(ini.Content(), QByteArray("[S]\r\nk=1\r\nj=2\r\n"));
  EXPECT_TRUE(DirEntries().isEmpty());
}

// Writes in memory and inside an update change the cached document in
// place; every read after each write must see what a fresh read of the
// document sees (duplicate and case-variant sections, keys before blank
// lines, names the file's character set cannot hold).
TEST_F(IniFileTest, ReadsAfterInPlaceWritesMatchAFreshRead) {
  struct Write {
    const char* section;
    const char* key;
    const char* value;
  };
  const QByteArray document = "k0=top\n[A]\nx=1\n\n\n[b]\ny=2\n[a]\nx=3\nz=4\n;c=5\n[B]\nw=6\n\n";
  const std::vector<Write> writes = {
      {"A", "x", "7"},       {"a", "z", "8"},        {"b", "new", "9"},   {"A", "new", "10"},
      {"C", "c", "11"},      {"c", "d", "12"},       {"B", "w", "13"},    {"\u0101", "k", "14"},
      {"?", "\u0101", "15"}, {"A", "X", " padded "}, {"A", "y", "\"q\""}, {"b", "Y", "16"},
      {"B", "NEW", "17"},    {"C", "z", "18"},
  };
  const QStringList sections = {"A", "a", "b", "B", "C", "c", "?", "\u0101", "none"};
  const QStringList keys = {"x", "X", "y", "z", "w", "new", "c", "d", "k", "\u0101", "?", "k0", "none"};
  auto expectSameReads = [&](const IniFile& ini, std::size_t step) {
    const IniFile fresh = IniFile::FromContent(ini.Content());
    for (const QString& s : sections) {
      EXPECT_EQ(ini.ReadSection(s), fresh.ReadSection(s)) << step << ' ' << s.toStdString();
      for (const QString& k : keys)
        EXPECT_EQ(ini.ReadString(s, k, "-"), fresh.ReadString(s, k, "-"))
            << step << ' ' << s.toStdString() << ' ' << k.toStdString();
    }
  };
  IniFile inMemory = IniFile::FromContent(document);
  const QString path = WriteRaw(document);
  IniFile updated(path);
  updated.BeginUpdate();
  for (std::size_t i = 0; i < writes.size(); ++i) {
    const Write& w = writes[i];
    EXPECT_TRUE(inMemory.WriteString(QString::fromUtf8(w.section), QString::fromUtf8(w.key),
                                     QString::fromUtf8(w.value)));
    EXPECT_TRUE(updated.WriteString(QString::fromUtf8(w.section), QString::fromUtf8(w.key),
                                    QString::fromUtf8(w.value)));
    expectSameReads(inMemory, i);
    expectSameReads(updated, i);
  }
  EXPECT_TRUE(updated.EndUpdate());
  EXPECT_EQ(ReadRaw(path), inMemory.Content());
  EXPECT_EQ(inMemory.ReadString("a", "new", "-"), QStringLiteral("10"));
  EXPECT_EQ(inMemory.ReadString("c", "D", "-"), QStringLiteral("12"));
  EXPECT_EQ(inMemory.ReadString("b", "w", "-"), QStringLiteral("13"));  // [b] comes first
}

}  // namespace
