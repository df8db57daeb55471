#include "setup_argo/head_code_validator.h"

#include <algorithm>

#include "drivers/argo/pyreon_argo.h"

const QString& HeadCodeValidator::Alphabet() {
  static const QString alphabet = QStringLiteral("0123456789ABCDEFGHIJKLMNOPQRSTUV");
  return alphabet;
}

HeadCodeValidator::TMode HeadCodeValidator::ModeForFirmware(int firmware) {
  return TpyreonArgo::UsesLargeHeadCode(firmware) ? TMode::Large : TMode::Short;
}

HeadCodeValidator::TResult HeadCodeValidator::Validate(const QString& text, TMode mode) {
  TResult result;
  const int length = CodeLength(mode);
  for (const QChar c : text) {
    if (result.Code.size() >= length) break;
    if (c == QLatin1Char('-')) continue;
    const QChar upper = (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ? QChar(c.unicode() - 32) : c;
    if (upper == QLatin1Char(' ') || Alphabet().contains(upper)) {
      result.Code.append(upper);
    } else {
      result.Rejected.push_back(static_cast<int>(result.Code.size()));
      result.Code.append(QLatin1Char(' '));
    }
  }
  result.Valid = result.Code.size() == length;
  for (const QChar c : result.Code)
    if (!Alphabet().contains(c)) result.Valid = false;
  return result;
}

QString HeadCodeValidator::Overtype(const QString& text, int caretIndex, TMode mode) {
  QString bare = text;
  bare.remove(QLatin1Char('-'));
  const int excess = static_cast<int>(bare.size()) - CodeLength(mode);
  if (excess > 0 && caretIndex >= 0 && caretIndex < bare.size())
    bare.remove(caretIndex, std::min(excess, static_cast<int>(bare.size()) - caretIndex));
  return bare;
}

QString HeadCodeValidator::JoinGroups(const QStringList& groups, TMode mode) {
  QString code;
  for (int i = 0; i < GroupCount(mode); ++i) {
    const QString group = i < groups.size() ? groups[i].left(4) : QString();
    code += group.leftJustified(4, QLatin1Char(' '));
  }
  return code;
}

QStringList HeadCodeValidator::SplitGroups(const QString& code, TMode mode) {
  QStringList groups;
  for (int i = 0; i < GroupCount(mode); ++i) groups << code.mid(4 * i, 4);
  return groups;
}

QString HeadCodeValidator::DisplayText(const QString& code) {
  QString text;
  for (int i = 0; i < code.size(); ++i) {
    if (i > 0 && i % 4 == 0) text += QLatin1Char('-');
    text += code[i];
  }
  return text;
}
