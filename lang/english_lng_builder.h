#pragma once

#include <QString>
#include <QStringList>

// Brings the English language file up to date with the program: every
// caption of the program's forms (the real main window, built offscreen
// without touching a port, and the dialogs it creates), every text the
// forms read while they are built, and every key the sources read with a
// literal key (TextKeyScanner), each with its English default. Keys already
// in the file keep their values; new keys are appended to their sections.
class EnglishLngBuilder {
 public:
  struct Result {
    bool ok = false;
    QString error;
    // "Section/Key" of every key that was added, in the order written.
    QStringList added;
    // "Section/Key" of every text read while the forms were built.
    QStringList read;
    // "Section/Key (file:line)" of keys found without a literal default
    // that were neither read while building nor in the file.
    QStringList unresolved;
  };

  // Updates the language file `fileName` in place; `sourceRoot` is the
  // source tree that is scanned for literal keys. Needs a QApplication.
  static Result Update(const QString& fileName, const QString& sourceRoot);

  // The source folders scanned for keys.
  static QStringList SourceFolders();
};
