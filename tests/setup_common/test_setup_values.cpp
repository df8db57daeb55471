// The name-keyed control values the setup dialogs, their codecs and their
// files share.

#include <gtest/gtest.h>

#include "setup_common/setup_values.h"

namespace {

TEST(SetupValues, NamesMatchWithoutCaseAndKeepTheirFirstSpellingAndOrder) {
  SetupValues values;
  values.SetText(QStringLiteral("eEmiss"), QStringLiteral("0.950"));
  values.SetIndex(QStringLiteral("cbAmbSrc"), 2);
  values.SetMark(QStringLiteral("cbSmartAvg"), true);
  values.SetText(QStringLiteral("EEMISS"), QStringLiteral("1.000"));

  EXPECT_EQ(values.Names(), (QStringList{QStringLiteral("eEmiss"), QStringLiteral("cbAmbSrc"),
                                          QStringLiteral("cbSmartAvg")}));
  EXPECT_EQ(values.Text(QStringLiteral("eemiss")), QStringLiteral("1.000"));
  EXPECT_EQ(values.Index(QStringLiteral("CBAMBSRC")), 2);
  EXPECT_TRUE(values.Mark(QStringLiteral("cbSmartAvg")));
  EXPECT_EQ(values.Index(QStringLiteral("cbMissing"), -1), -1);
  EXPECT_FALSE(values.Get(QStringLiteral("cbMissing")).has_value());

  values.Remove(QStringLiteral("CBAMBSRC"));
  EXPECT_EQ(values.Count(), 2);
  EXPECT_FALSE(values.Has(QStringLiteral("cbAmbSrc")));
}

}  // namespace
