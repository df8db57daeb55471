#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// Finds the language keys the program's sources read with a literal key:
// calls of MessageText, OtherText, OtherTextOrKey and ReadText (with a
// literal section), and the table markers LNG_OTHER_KEY and LNG_OTHER_TEXT.
// Keys the code computes at run time are not seen here; those are recorded
// while the forms are built (EnglishLngBuilder).
class TextKeyScanner {
 public:
  struct TextKey {
    QString section;
    QString key;
    std::optional<QString> defaultText;  // none when the default is no literal
    QString file;                        // relative to the scanned root
    int line = 0;
  };

  // The keys of one source text (C++; comments are skipped).
  static std::vector<TextKey> ScanText(const QString& text, const QString& file = QString());
  // The keys of every .cpp file below the given folders of `root`, in file
  // name order.
  static std::vector<TextKey> ScanTree(const QString& root, const QStringList& folders);
};
