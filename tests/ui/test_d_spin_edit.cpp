#include <gtest/gtest.h>

#include <ostream>

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QToolButton>
#include <cmath>
#include <limits>

#include "platform/number_text.h"
#include "ui/d_spin_edit.h"

namespace {

// Counts the beeps of refused input.
class CountingSpinEdit : public TDSpinEdit {
 public:
  int beeps = 0;

 protected:
  void Beep() override { ++beeps; }
};

// Sets the program's decimal separator for one test.
class SeparatorScope {
 public:
  explicit SeparatorScope(QChar separator) : old_(NumberText::DecimalSeparator()) {
    NumberText::SetDecimalSeparator(separator);
  }
  ~SeparatorScope() { NumberText::SetDecimalSeparator(old_); }

 private:
  QChar old_;
};

void Press(QWidget* widget, int key, const QString& text = QString(),
           Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
  QApplication::sendEvent(widget, &press);
  QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
  QApplication::sendEvent(widget, &release);
}

void Type(QWidget* widget, const QString& text) {
  for (QChar c : text) Press(widget, c.unicode() >= 'a' ? Qt::Key_A : Qt::Key_0, QString(c));
}

struct WriteCase {
  double min;
  double max;
  int decimal;
  char separator;
  double value;
  const char* text;
};

std::ostream& operator<<(std::ostream& os, const WriteCase& c) {
  return os << c.value << " in [" << c.min << ", " << c.max << "] with " << c.decimal << " decimals and '"
            << c.separator << "'";
}

class SpinEditWrite : public ::testing::TestWithParam<WriteCase> {};

TEST_P(SpinEditWrite, ClampsAndFormats) {
  const WriteCase& c = GetParam();
  SeparatorScope scope(QLatin1Char(c.separator));
  TDSpinEdit edit;
  edit.SetMinValue(c.min);
  edit.SetMaxValue(c.max);
  edit.SetDecimal(static_cast<std::uint8_t>(c.decimal));
  edit.SetValue(c.value);
  EXPECT_EQ(edit.text(), QString::fromUtf8(c.text));
}

INSTANTIATE_TEST_SUITE_P(
    Table, SpinEditWrite,
    ::testing::Values(WriteCase{0, 1, 3, '.', 1.2345, "1.000"}, WriteCase{0, 1, 3, '.', -5, "0.000"},
                      WriteCase{0, 1, 3, '.', 0.5, "0.500"}, WriteCase{0, 0, 2, '.', 1234.5, "1234.50"},
                      WriteCase{0, 0, 2, ',', 0.5, "0,50"}, WriteCase{0, 0, 2, '.', 1234.567, "1234.57"},
                      // Upper limit below the lower one: below the lower limit gives
                      // the lower limit, everything else the upper one.
                      WriteCase{5, 1, 1, '.', 0, "5.0"}, WriteCase{5, 1, 1, '.', 7, "1.0"},
                      WriteCase{5, 1, 1, '.', 5, "1.0"},
                      // Values that would show as no number stand for the lower limit.
                      WriteCase{0.1, 1.1, 3, '.', std::numeric_limits<double>::quiet_NaN(), "0.100"},
                      WriteCase{0.1, 1.1, 3, '.', std::numeric_limits<double>::infinity(), "1.100"},
                      WriteCase{-3, -3, 1, '.', std::numeric_limits<double>::infinity(), "-3.0"}));

TEST(SpinEdit, LargeValuesFallBackToExponentForm) {
  TDSpinEdit edit;
  edit.SetValue(1234567);
  EXPECT_TRUE(edit.text().contains(QLatin1Char('E'))) << edit.text().toStdString();
}

struct ReadCase {
  char separator;
  const char* text;
  double value;
};

std::ostream& operator<<(std::ostream& os, const ReadCase& c) {
  return os << '"' << c.text << "\" under '" << c.separator << "'";
}

class SpinEditRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(SpinEditRead, AcceptsBothSeparatorsAndFallsBackToMinValue) {
  const ReadCase& c = GetParam();
  SeparatorScope scope(QLatin1Char(c.separator));
  TDSpinEdit edit;
  edit.SetMinValue(-7.5);
  edit.SetMaxValue(100);
  edit.setText(QString::fromUtf8(c.text));
  EXPECT_DOUBLE_EQ(edit.Value(), c.value);
}

INSTANTIATE_TEST_SUITE_P(Table, SpinEditRead,
                         ::testing::Values(ReadCase{'.', "0.5", 0.5}, ReadCase{'.', "0,5", 0.5},
                                           ReadCase{',', "0,50", 0.5}, ReadCase{',', "0.5", 0.5},
                                           ReadCase{'.', "-12.25", -12.25}, ReadCase{'.', "abc", -7.5},
                                           ReadCase{'.', "", -7.5}, ReadCase{'.', "1-2", -7.5},
                                           // Reading does not clamp: leaving the field does.
                                           ReadCase{'.', "250", 250}));

TEST(SpinEdit, TryValueTellsTextThatIsNoNumber) {
  TDSpinEdit edit;
  double value = 42;
  edit.setText(QString());
  EXPECT_FALSE(edit.TryValue(value));
  EXPECT_EQ(value, 42);
  edit.setText(QStringLiteral("0,25"));
  EXPECT_TRUE(edit.TryValue(value));
  EXPECT_DOUBLE_EQ(value, 0.25);
}

TEST(SpinEdit, ArrowKeysAndButtonsStep) {
  CountingSpinEdit edit;
  edit.SetIncrement(0.1);
  edit.SetValue(0.95);
  Press(&edit, Qt::Key_Up);
  EXPECT_EQ(edit.text(), QStringLiteral("1.05"));
  Press(&edit, Qt::Key_Down);
  Press(&edit, Qt::Key_Down);
  EXPECT_EQ(edit.text(), QStringLiteral("0.85"));
  edit.UpButton()->click();
  EXPECT_EQ(edit.text(), QStringLiteral("0.95"));
  edit.DownButton()->click();
  EXPECT_EQ(edit.text(), QStringLiteral("0.85"));

  edit.SetMinValue(0);
  edit.SetMaxValue(0.9);
  Press(&edit, Qt::Key_Up);
  EXPECT_EQ(edit.text(), QStringLiteral("0.90"));

  edit.setReadOnly(true);
  Press(&edit, Qt::Key_Down);
  EXPECT_EQ(edit.text(), QStringLiteral("0.90"));
  EXPECT_EQ(edit.beeps, 1);
}

TEST(SpinEdit, TypingIsFilteredPerCharacter) {
  SeparatorScope scope(QLatin1Char(','));
  CountingSpinEdit edit;
  edit.setText(QString());
  Type(&edit, QStringLiteral("-1,5x."));
  EXPECT_EQ(edit.text(), QStringLiteral("-1,5"));
  EXPECT_EQ(edit.beeps, 2);  // the letter and the full stop
  EXPECT_TRUE(edit.AcceptsChar(QLatin1Char('+')));
  EXPECT_TRUE(edit.AcceptsChar(QChar(8)));
  EXPECT_FALSE(edit.AcceptsChar(QChar(13)));
}

TEST(SpinEdit, DisabledEditorRefusesTextButStillSteps) {
  CountingSpinEdit edit;
  edit.SetEditorEnabled(false);
  edit.SetValue(1);
  Type(&edit, QStringLiteral("5"));
  Press(&edit, Qt::Key_Backspace, QStringLiteral("\b"));
  Press(&edit, Qt::Key_Delete);
  Press(&edit, Qt::Key_V, QStringLiteral("\x16"), Qt::ControlModifier);
  EXPECT_EQ(edit.text(), QStringLiteral("1.00"));
  EXPECT_EQ(edit.beeps, 3);  // digit, backspace, delete; the paste is dropped silently
  EXPECT_FALSE(edit.AcceptsChar(QLatin1Char('5')));
  EXPECT_FALSE(edit.AcceptsChar(QChar(8)));
  EXPECT_TRUE(edit.AcceptsChar(QChar(1)));
  Press(&edit, Qt::Key_Up);
  EXPECT_EQ(edit.text(), QStringLiteral("2.00"));
}

TEST(SpinEdit, ChangeFiresOnEveryTextChangeAlsoFromCode) {
  TDSpinEdit edit;
  int changes = 0;
  edit.OnChange = [&](QObject* sender) {
    EXPECT_EQ(sender, &edit);
    ++changes;
  };
  edit.SetValue(3);
  EXPECT_EQ(changes, 1);
  edit.SetValue(3);  // the same text: no change
  EXPECT_EQ(changes, 1);
  Press(&edit, Qt::Key_Up);
  EXPECT_EQ(changes, 2);
}

TEST(SpinEdit, LeavingClampsOnlyOutOfRangeText) {
  TDSpinEdit edit;
  edit.SetMinValue(0);
  edit.SetMaxValue(10);
  QString textAtExit;
  edit.OnExit = [&](QObject*) { textAtExit = edit.text(); };
  auto leave = [&](Qt::FocusReason reason) {
    QFocusEvent out(QEvent::FocusOut, reason);
    QApplication::sendEvent(&edit, &out);
  };
  edit.setText(QStringLiteral("5.5"));
  leave(Qt::TabFocusReason);
  EXPECT_EQ(edit.text(), QStringLiteral("5.5"));  // in range: kept as typed
  edit.setText(QStringLiteral("12"));
  leave(Qt::PopupFocusReason);  // a context menu opening is no exit
  EXPECT_EQ(edit.text(), QStringLiteral("12"));
  leave(Qt::MouseFocusReason);
  EXPECT_EQ(textAtExit, QStringLiteral("12"));  // the exit event comes first
  EXPECT_EQ(edit.text(), QStringLiteral("10.00"));
}

}  // namespace
