#pragma once

#include <QString>
#include <QStringList>
#include <vector>

// The rules of a head parameter code as the user types it: base-32
// characters ('0'..'9', 'A'..'V') in groups of four, three groups for the
// short code and five for the large one. Lower case counts as upper case.
// Widget-free, so the editor's behaviour is checked as tables.
class HeadCodeValidator {
 public:
  enum class TMode { Short, Large };

  struct TResult {
    // The bare code (no dashes), upper-cased, at most CodeLength characters;
    // rejected characters are blanks.
    QString Code;
    // Indices into Code of the characters that were replaced by a blank.
    std::vector<int> Rejected;
    // Every position filled with a code character.
    bool Valid = false;
  };

  static const QString& Alphabet();
  static int GroupCount(TMode mode) { return mode == TMode::Large ? 5 : 3; }
  static int CodeLength(TMode mode) { return 4 * GroupCount(mode); }
  // The form a device with `firmware` keeps (the driver's own rule).
  static TMode ModeForFirmware(int firmware);

  // Checks typed or pasted text. Dashes are the display's group separators
  // and are dropped; text beyond the code's length is cut off; a character
  // that is neither a code character nor a blank becomes a blank and is
  // listed in Rejected.
  static TResult Validate(const QString& text, TMode mode);

  // The edit works in overtype, as a masked field does: when an insertion at
  // `caretIndex` (an index into the bare code) made the bare code longer
  // than the code, the characters after the caret that were pushed out are
  // dropped. Returns the bare text (dashes removed), for Validate.
  static QString Overtype(const QString& text, int caretIndex, TMode mode);

  // The groups as one bare code; a group shorter than four (an empty one
  // too) is filled with blanks so the later groups keep their positions.
  static QString JoinGroups(const QStringList& groups, TMode mode);
  // The bare code cut into GroupCount groups of four characters.
  static QStringList SplitGroups(const QString& code, TMode mode);
  // The code with a dash after every fourth character, as it is shown.
  static QString DisplayText(const QString& code);
  // Position in DisplayText of the character at `codeIndex`.
  static int DisplayPosition(int codeIndex) { return codeIndex + codeIndex / 4; }
};
