#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

#include "setup_argo/argo_head_param_dlg.h"
#include "setup_argo/head_code_validator.h"

namespace {

using TMode = HeadCodeValidator::TMode;

void Key(QWidget* widget, int key, const QString& text = QString()) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
  QApplication::sendEvent(widget, &press);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
  QApplication::sendEvent(widget, &release);
}

void Type(QWidget* widget, const QString& text) {
  for (const QChar c : text) Key(widget, QChar(c).toUpper().unicode(), QString(c));
}

struct ValidationCase {
  const char* text;
  TMode mode;
  const char* code;
  std::vector<int> rejected;
  bool valid;
};

TEST(HeadCodeValidatorTest, TypedAndPastedText) {
  const ValidationCase cases[] = {
      {"0123456789AB", TMode::Short, "0123456789AB", {}, true},
      {"0123-4567-89AB", TMode::Short, "0123456789AB", {}, true},   // pasted as shown
      {"abcd-efgh-ijkl", TMode::Short, "ABCDEFGHIJKL", {}, true},   // lower case taken as upper
      {"0123-4567-89A", TMode::Short, "0123456789A", {}, false},    // one short
      {"0123 4567 89AB", TMode::Short, "0123 4567 89", {}, false},  // blanks are unfilled places
      {"ABCDVVVV0000w", TMode::Short, "ABCDVVVV0000", {}, true},    // cut at twelve
      {"ABCDW", TMode::Short, "ABCD ", {4}, false},
      {"wxyz", TMode::Short, "    ", {0, 1, 2, 3}, false},
      {"AB#D\u00e9FGH", TMode::Short, "AB D FGH", {2, 4}, false},
      {"0000-1111-2222-3333-VVVV", TMode::Large, "0000111122223333VVVV", {}, true},
      {"0000-1111-2222-3333-VVV", TMode::Large, "0000111122223333VVV", {}, false},
      {"0000-1111-2222-3333-VVVw", TMode::Large, "0000111122223333VVV ", {19}, false},
      {"", TMode::Large, "", {}, false},
  };
  for (const auto& c : cases) {
    const auto result = HeadCodeValidator::Validate(QString::fromUtf8(c.text), c.mode);
    EXPECT_EQ(result.Code, QString::fromUtf8(c.code)) << c.text;
    EXPECT_EQ(result.Rejected, c.rejected) << c.text;
    EXPECT_EQ(result.Valid, c.valid) << c.text;
  }
}

TEST(HeadCodeValidatorTest, TypingOvertypesLikeAMaskedField) {
  struct Case {
    const char* text;
    int caret;
    const char* bare;
  };
  const Case cases[] = {
      {"0123-4567-89AXB", 12, "0123456789AX"},  // typed at the end of a full code
      {"0123-X4567-89AB", 5, "0123X56789AB"},   // typed in the middle: the next one goes
      {"AB-CD", 2, "ABCD"},                     // not full yet: nothing goes
      {"0123-4567-89AB-PASTED", 12, "0123456789AB"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(HeadCodeValidator::Overtype(QString::fromLatin1(c.text), c.caret, TMode::Short),
              QString::fromLatin1(c.bare))
        << c.text;
}

TEST(HeadCodeValidatorTest, ModeFollowsTheDriversRule) {
  const std::pair<int, TMode> cases[] = {{1010, TMode::Short}, {1999, TMode::Short}, {2000, TMode::Short},
                                         {2001, TMode::Large}, {2510, TMode::Large}, {2999, TMode::Large},
                                         {3000, TMode::Short}, {5016, TMode::Short}};
  for (const auto& [firmware, mode] : cases)
    EXPECT_EQ(HeadCodeValidator::ModeForFirmware(firmware), mode) << firmware;
}

TEST(HeadCodeValidatorTest, GroupsKeepTheirPlaces) {
  // An empty group (nothing read) is blank, and the groups after it stay put.
  const QString code =
      HeadCodeValidator::JoinGroups({QStringLiteral("AB"), QString(), QStringLiteral("1234")}, TMode::Short);
  EXPECT_EQ(code, QStringLiteral("AB      1234"));
  EXPECT_FALSE(HeadCodeValidator::Validate(code, TMode::Short).Valid);
  EXPECT_EQ(HeadCodeValidator::SplitGroups(QStringLiteral("0000111122223333VVVV"), TMode::Large),
            (QStringList{"0000", "1111", "2222", "3333", "VVVV"}));
  EXPECT_EQ(HeadCodeValidator::DisplayText(QStringLiteral("0123456789AB")), QStringLiteral("0123-4567-89AB"));
  EXPECT_EQ(HeadCodeValidator::DisplayPosition(4), 5);
}

class HeadParamDlgTest : public ::testing::Test {
 protected:
  void Open(TMode mode) {
    dlg.Mode = mode;
    dlg.Beep = [this] { ++beeps; };
    dlg.show();
  }
  TArgoHeadParamDlg dlg;
  int beeps = 0;
};

TEST_F(HeadParamDlgTest, ShortCodeEnablesOkOnlyWhenComplete) {
  dlg.FShortCode = {QStringLiteral("0123"), QStringLiteral("4567"), QStringLiteral("89AB")};
  dlg.FLargeCode = {};
  Open(TMode::Short);
  EXPECT_EQ(dlg.meHeadParam->text(), QStringLiteral("0123-4567-89AB"));
  EXPECT_TRUE(dlg.BtnOK->isEnabled());
  dlg.meHeadParam->setCursorPosition(14);
  Key(dlg.meHeadParam, Qt::Key_Backspace);
  EXPECT_FALSE(dlg.BtnOK->isEnabled());
  Type(dlg.meHeadParam, QStringLiteral("v"));
  EXPECT_TRUE(dlg.BtnOK->isEnabled());
  EXPECT_EQ(beeps, 0);
  dlg.BtnOK->click();
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_EQ(dlg.FShortCode[2], QStringLiteral("89AV"));
}

TEST_F(HeadParamDlgTest, RefusedCharacterBeepsAndBecomesBlank) {
  dlg.FShortCode = {};
  dlg.FLargeCode = {QStringLiteral("0000"), QStringLiteral("1111"), QStringLiteral("2222"),
                    QStringLiteral("3333"), QStringLiteral("444")};
  Open(TMode::Large);
  EXPECT_FALSE(dlg.BtnOK->isEnabled());
  dlg.meHeadParam->setCursorPosition(23);  // on the blank of the last group
  Type(dlg.meHeadParam, QStringLiteral("w"));
  EXPECT_EQ(beeps, 1);
  EXPECT_EQ(dlg.meHeadParam->text(), QStringLiteral("0000-1111-2222-3333-444 "));
  EXPECT_EQ(dlg.meHeadParam->selectionStart(), 23);
  EXPECT_EQ(dlg.meHeadParam->selectedText(), QStringLiteral(" "));
  EXPECT_FALSE(dlg.BtnOK->isEnabled());
}

TEST_F(HeadParamDlgTest, CancelKeepsTheGroupsAndModeDecidesTheArray) {
  // A device whose code could not be read hands in empty groups: the dialog
  // still edits the form the caller named, never the other one.
  dlg.FShortCode = {};
  dlg.FLargeCode = {};
  Open(TMode::Short);
  Type(dlg.meHeadParam, QStringLiteral("abcdefghijkl"));
  ASSERT_TRUE(dlg.BtnOK->isEnabled());
  dlg.BtnOK->click();
  EXPECT_EQ(dlg.FShortCode, (TArgoHeadCodeShort{"ABCD", "EFGH", "IJKL"}));
  EXPECT_EQ(dlg.FLargeCode, TArgoHeadCodeLarge{});

  dlg.FLargeCode = {"0000", "1111", "2222", "3333", "4444"};
  Open(TMode::Large);
  const int largeWidth = dlg.width();
  EXPECT_EQ(dlg.meHeadParam->text(), QStringLiteral("0000-1111-2222-3333-4444"));
  Type(dlg.meHeadParam, QStringLiteral("9"));
  dlg.btnCancel->click();
  EXPECT_EQ(dlg.result(), QDialog::Rejected);
  EXPECT_EQ(dlg.FLargeCode[0], QStringLiteral("0000"));
  Open(TMode::Short);
  EXPECT_GT(dlg.meHeadParam->font().pixelSize(), 20);
  EXPECT_LE(dlg.width(), largeWidth);
}

}  // namespace
