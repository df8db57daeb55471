#include "measurement/display_record.h"

#include <QStringList>

#include "platform/number_text.h"

QString TDisplayRecord::ToLine() const {
  QString name = Name;
  name.replace(kSeparator, QLatin1Char(' '));
  const QStringList fields{QString::number(Kind),
                           QString::number(Window),
                           name,
                           QString::number(Left),
                           QString::number(Top),
                           QString::number(Width),
                           QString::number(Height),
                           QString::number(Transparent ? 1 : 0),
                           QString::number(Border ? 1 : 0),
                           QString::number(Colour),
                           QString::number(Contrast ? 1 : 0),
                           QString::number(CrossX),
                           QString::number(CrossY),
                           QString::number(CrossOn)};
  QString line;
  for (const QString& f : fields) line += f + kSeparator;
  return line;
}

std::optional<TDisplayRecord> TDisplayRecord::Parse(const QString& line) {
  const QStringList f = line.split(kSeparator);
  // 14 fields, each followed by the separator; the text after the last one
  // (normally empty) is not a field.
  if (f.size() < 14) return std::nullopt;
  TDisplayRecord r;
  auto number = [&f](int index, int& out) { return NumberText::TryStrToInt(f[index], out); };
  std::int64_t window = 0;
  int transparent = 0, border = 0, contrast = 0;
  if (!number(0, r.Kind) || !NumberText::TryStrToInt(f[1], window) || window < 0 || window > 0xFFFFFFFFLL ||
      !number(3, r.Left) || !number(4, r.Top) || !number(5, r.Width) || !number(6, r.Height) ||
      !number(7, transparent) || !number(8, border) || !number(9, r.Colour) || !number(10, contrast) ||
      !number(11, r.CrossX) || !number(12, r.CrossY) ||
      !NumberText::TryStrToInt(f[13].trimmed(), r.CrossOn)) {
    return std::nullopt;
  }
  r.Window = static_cast<std::uint32_t>(window);
  r.Name = f[2];
  r.Transparent = transparent != 0;
  r.Border = border != 0;
  r.Contrast = contrast != 0;
  return r;
}
