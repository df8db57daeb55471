#pragma once

#include <QString>
#include <cstdint>
#include <optional>

// One running external display as the main program keeps and saves it: a
// text line of 14 fields in this order, each written as decimal text and
// followed by the character 1 (also after the last field):
// kind, window, name, left, top, width, height, transparent (0/1),
// border (0/1), colour (RGB), contrast (0/1), cross x, cross y, cross on.
struct TDisplayRecord {
  int Kind = 0;
  std::uint32_t Window = 0;
  QString Name;
  int Left = 0;
  int Top = 0;
  int Width = 200;
  int Height = 100;
  bool Transparent = false;
  bool Border = false;
  std::int32_t Colour = 0;
  bool Contrast = false;
  int CrossX = -1;
  int CrossY = -1;
  int CrossOn = 0;

  bool operator==(const TDisplayRecord&) const = default;

  static constexpr QChar kSeparator = QChar(1);

  // The line of this record (a separator inside the name becomes a blank).
  QString ToLine() const;
  // The record of `line`, or nothing when the line is not one: fewer than
  // 14 fields, a number that is not one, a window id beyond 32 bits.
  // Numbers are read as StrToInt reads them; the last field is trimmed.
  static std::optional<TDisplayRecord> Parse(const QString& line);
};
