// The saved line of an external display.

#include <gtest/gtest.h>

#include "measurement/display_record.h"

namespace {

QString Line(const char* text) {
  QString s = QString::fromUtf8(text);
  s.replace(QLatin1Char('|'), TDisplayRecord::kSeparator);
  return s;
}

}  // namespace

TEST(DisplayRecord, LineRoundTrip) {
  TDisplayRecord r;
  r.Kind = 6;
  r.Window = 12345;
  r.Name = QStringLiteral("T 2C");
  r.Left = 812;
  r.Top = -5;
  r.Width = 200;
  r.Height = 100;
  r.Transparent = true;
  r.Colour = 16711680;
  r.Contrast = true;
  r.CrossX = -1;
  r.CrossY = -1;
  const QString line = r.ToLine();
  EXPECT_EQ(line, Line("6|12345|T 2C|812|-5|200|100|1|0|16711680|1|-1|-1|0|"));
  EXPECT_EQ(TDisplayRecord::Parse(line), r);

  // A separator in a name would break the line: it is written as a blank.
  r.Name = QStringLiteral("a") + TDisplayRecord::kSeparator + QStringLiteral("b");
  EXPECT_EQ(TDisplayRecord::Parse(r.ToLine())->Name, "a b");
}

TEST(DisplayRecord, WhatIsReadAndWhatIsNot) {
  struct Case {
    const char* line;
    bool ok;
  };
  const Case cases[] = {
      {"1|12345|TObj|812|430|200|100|1|0|16711680|1|-1|-1|0|", true},
      {"1|12345|TObj|812|430|200|100|1|0|16711680|1|-1|-1| 1 |", true},     // last field trimmed
      {"1|12345|TObj|812|430|200|100|1|0|16711680|1|-1|-1|0", true},        // no final separator
      {"1|4294967295|TObj|812|430|200|100|1|0|16711680|1|-1|-1|0|", true},  // a window id written unsigned
      {"1|4294967296|TObj|812|430|200|100|1|0|16711680|1|-1|-1|0|", false},
      {"1|-1|TObj|812|430|200|100|1|0|16711680|1|-1|-1|0|", false},
      {"1|12345|TObj|812|430|200|100|1|0|16711680|1|-1|-1|", false},  // 13 fields
      {"1|12345|TObj|8x2|430|200|100|1|0|16711680|1|-1|-1|0|", false},
      {"", false},
      {"garbage", false},
  };
  for (const Case& c : cases) EXPECT_EQ(TDisplayRecord::Parse(Line(c.line)).has_value(), c.ok) << c.line;
  EXPECT_EQ(TDisplayRecord::Parse(Line("1|4294967295|T|1|2|3|4|1|0|5|1|-1|-1|0|"))->Window, 4294967295u);
}
