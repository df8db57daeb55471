// Writes the English language file from the program itself: the captions of
// the real main window and of every form it creates, the texts the forms
// read while they are built, and every key the sources read with a literal
// key, each with its English default. Keys already in the file keep their
// values.
//
// Usage: update_english_lng <path of English.lng> [<source folder>]

#include <QApplication>
#include <QFile>
#include <cstdio>

#include "lang/english_lng_builder.h"

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: %s <path of English.lng> [<source folder>]\n", argv[0]);
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const QString target = QFile::decodeName(argv[1]);
  const QString sources = argc == 3 ? QFile::decodeName(argv[2]) : QStringLiteral(TS_SOURCE_DIR);

  const EnglishLngBuilder::Result result = EnglishLngBuilder::Update(target, sources);
  if (!result.ok) {
    std::fprintf(stderr, "%s\n", qPrintable(result.error));
    return 1;
  }
  for (const QString& key : result.added) std::printf("added %s\n", qPrintable(key));
  for (const QString& key : result.unresolved)
    std::fprintf(stderr, "no default for %s: give it a literal default\n", qPrintable(key));
  std::printf("%s: %lld keys added\n", argv[1], static_cast<long long>(result.added.size()));
  return result.unresolved.isEmpty() ? 0 : 1;
}
