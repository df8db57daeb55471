#include "lang/text_key_scanner.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <algorithm>

namespace {

const QString kMessages = QStringLiteral("Messages");
const QString kOther = QStringLiteral("Other");

// The text with comments blanked out (line breaks kept, so positions keep
// their line numbers); string and character literals stay as they are.
QString WithoutComments(const QString& text) {
  QString out = text;
  const qsizetype n = out.size();
  for (qsizetype i = 0; i < n; ++i) {
    const QChar c = out[i];
    if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
      for (++i; i < n && out[i] != c; ++i)
        if (out[i] == QLatin1Char('\\')) ++i;
    } else if (c == QLatin1Char('/') && i + 1 < n && out[i + 1] == QLatin1Char('/')) {
      for (; i < n && out[i] != QLatin1Char('\n'); ++i) out[i] = QLatin1Char(' ');
    } else if (c == QLatin1Char('/') && i + 1 < n && out[i + 1] == QLatin1Char('*')) {
      for (; i < n && !(out[i] == QLatin1Char('*') && i + 1 < n && out[i + 1] == QLatin1Char('/')); ++i)
        if (out[i] != QLatin1Char('\n')) out[i] = QLatin1Char(' ');
      if (i + 1 < n) out[i] = out[i + 1] = QLatin1Char(' ');
      ++i;
    }
  }
  return out;
}

// The arguments of the call whose '(' stands at `open`, split at top-level
// commas; empty when the parentheses do not close.
QStringList Arguments(const QString& text, qsizetype open) {
  QStringList args;
  int depth = 0;
  qsizetype start = open + 1;
  for (qsizetype i = open; i < text.size(); ++i) {
    const QChar c = text[i];
    if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
      for (++i; i < text.size() && text[i] != c; ++i)
        if (text[i] == QLatin1Char('\\')) ++i;
    } else if (c == QLatin1Char('(') || c == QLatin1Char('{') || c == QLatin1Char('[')) {
      ++depth;
    } else if (c == QLatin1Char(')') || c == QLatin1Char('}') || c == QLatin1Char(']')) {
      if (--depth == 0) {
        args << text.mid(start, i - start).trimmed();
        return args;
      }
    } else if (c == QLatin1Char(',') && depth == 1) {
      args << text.mid(start, i - start).trimmed();
      start = i + 1;
    }
  }
  return {};
}

// The value of an argument made of string literals only, plain or wrapped
// in QStringLiteral, QLatin1String, QString::fromLatin1 or
// QString::fromUtf8; adjacent literals are joined.
std::optional<QString> Literal(QString arg) {
  for (const char* wrapper :
       {"QStringLiteral", "QLatin1String", "QString::fromLatin1", "QString::fromUtf8"}) {
    const QString w = QString::fromLatin1(wrapper);
    if (arg.startsWith(w) && arg.endsWith(QLatin1Char(')'))) {
      const QString inner = arg.mid(w.size()).trimmed();
      if (!inner.startsWith(QLatin1Char('('))) continue;
      arg = inner.mid(1, inner.size() - 2).trimmed();
      break;
    }
  }
  if (!arg.startsWith(QLatin1Char('"'))) return std::nullopt;
  QString value;
  qsizetype i = 0;
  while (i < arg.size()) {
    if (arg[i].isSpace()) {
      ++i;
      continue;
    }
    if (arg[i] != QLatin1Char('"')) return std::nullopt;
    for (++i; i < arg.size() && arg[i] != QLatin1Char('"'); ++i) {
      if (arg[i] != QLatin1Char('\\')) {
        value += arg[i];
        continue;
      }
      if (++i >= arg.size()) return std::nullopt;
      switch (arg[i].unicode()) {
        case 'n':
          value += QLatin1Char('\n');
          break;
        case 'r':
          value += QLatin1Char('\r');
          break;
        case 't':
          value += QLatin1Char('\t');
          break;
        default:
          value += arg[i];
      }
    }
    if (i >= arg.size()) return std::nullopt;
    ++i;
  }
  return value;
}

}  // namespace

std::vector<TextKeyScanner::TextKey> TextKeyScanner::ScanText(const QString& source, const QString& file) {
  const QString text = WithoutComments(source);
  std::vector<TextKey> keys;
  static const QStringList kCalls = {QStringLiteral("MessageText"),   QStringLiteral("OtherTextOrKey"),
                                     QStringLiteral("OtherText"),     QStringLiteral("ReadText"),
                                     QStringLiteral("LNG_OTHER_KEY"), QStringLiteral("LNG_OTHER_TEXT")};
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (!text[i].isLetter() || (i > 0 && (text[i - 1].isLetterOrNumber() || text[i - 1] == QLatin1Char('_'))))
      continue;
    for (const QString& call : kCalls) {
      if (!QStringView(text).mid(i).startsWith(call)) continue;
      qsizetype open = i + call.size();
      while (open < text.size() && text[open].isSpace()) ++open;
      if (open >= text.size() || text[open] != QLatin1Char('(')) break;  // a longer name, or no call
      const QStringList args = Arguments(text, open);
      const std::optional<QString> key = args.isEmpty() ? std::nullopt : Literal(args[0]);
      if (!key) break;  // a key the code computes
      TextKey found;
      found.file = file;
      found.line = static_cast<int>(text.left(i).count(QLatin1Char('\n'))) + 1;
      found.key = *key;
      if (call == QLatin1String("OtherTextOrKey") || call == QLatin1String("LNG_OTHER_KEY")) {
        found.section = kOther;
        found.defaultText = *key;
      } else if (args.size() >= 2) {
        found.defaultText = Literal(args[1]);
        if (call == QLatin1String("ReadText")) {
          const std::optional<QString> section = args.size() >= 3 ? Literal(args[2]) : std::nullopt;
          if (!section) break;  // recorded at run time instead
          found.section = *section;
        } else {
          found.section = call == QLatin1String("MessageText") ? kMessages : kOther;
        }
      } else {
        break;
      }
      keys.push_back(found);
      break;
    }
  }
  return keys;
}

std::vector<TextKeyScanner::TextKey> TextKeyScanner::ScanTree(const QString& root,
                                                              const QStringList& folders) {
  QStringList files;
  for (const QString& folder : folders) {
    QDirIterator it(QDir(root).filePath(folder), {QStringLiteral("*.cpp")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) files << it.next();
  }
  std::sort(files.begin(), files.end());
  std::vector<TextKey> keys;
  for (const QString& path : files) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) continue;
    const std::vector<TextKey> found =
        ScanText(QString::fromUtf8(f.readAll()), QDir(root).relativeFilePath(path));
    keys.insert(keys.end(), found.begin(), found.end());
  }
  return keys;
}
