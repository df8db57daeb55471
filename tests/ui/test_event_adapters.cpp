#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>
#include <QWidget>

#include "tests/support/wait_for.h"
#include "ui/event_adapters.h"
#include "ui/loading_guard.h"
#include "ui/radio_group.h"

namespace {

using test_support::WaitForEvents;

TEST(LoadingGuard, SetsTheFlagForItsScopeAndRestoresIt) {
  LoadingFlag loading;
  EXPECT_FALSE(loading);
  {
    LoadingGuard outer(loading);
    EXPECT_TRUE(loading);
    {
      LoadingGuard inner(loading);
      EXPECT_TRUE(loading.IsSet());
    }
    EXPECT_TRUE(loading);  // the outer load is still running
  }
  EXPECT_FALSE(loading);
  bool plain = false;
  try {
    LoadingGuard guard(plain);
    throw 1;
  } catch (int) {
    // Thrown only to leave the guard's scope by an exception.
  }
  EXPECT_FALSE(plain);
}

TEST(EventAdapters, ComboChangeFiresOnUserChoiceOnly) {
  QComboBox combo;
  combo.addItems({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
  int changes = 0;
  EventAdapters::OnComboChange(&combo, [&] { ++changes; });
  combo.setCurrentIndex(2);
  EXPECT_EQ(changes, 0);
  QKeyEvent up(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier);
  QApplication::sendEvent(&combo, &up);
  EXPECT_EQ(combo.currentIndex(), 1);
  EXPECT_EQ(changes, 1);

  QComboBox editable;
  editable.setEditable(true);
  int edits = 0;
  EventAdapters::OnComboChange(&editable, [&] { ++edits; });
  editable.setEditText(QStringLiteral("from code"));
  EXPECT_EQ(edits, 0);
  QKeyEvent key(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
  QApplication::sendEvent(editable.lineEdit(), &key);
  EXPECT_EQ(edits, 1);
}

TEST(EventAdapters, CheckClickFiresAlsoWhenCodeSetsTheState) {
  QCheckBox box;
  int clicks = 0;
  EventAdapters::OnCheckClick(&box, [&] { ++clicks; });
  box.setChecked(true);
  box.setChecked(true);
  EXPECT_EQ(clicks, 1);
  box.click();
  EXPECT_EQ(clicks, 2);
  EXPECT_FALSE(box.isChecked());
}

TEST(RadioGroup, ClickFiresWhenTheIndexChangesByCodeOrUser) {
  RadioGroup group;
  group.SetItems({QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three")});
  std::vector<int> seen;
  group.OnClick = [&](QObject* sender) {
    EXPECT_EQ(sender, &group);
    seen.push_back(group.ItemIndex());
  };
  group.SetItemIndex(1);
  group.SetItemIndex(1);
  group.Button(2)->click();
  group.Button(2)->click();  // clicking the checked item again changes nothing
  EXPECT_EQ(seen, (std::vector<int>{1, 2}));
  EXPECT_TRUE(group.Button(2)->isChecked());
  EXPECT_FALSE(group.Button(1)->isChecked());
  group.SetItemIndex(7);
  EXPECT_EQ(group.ItemIndex(), -1);
  EXPECT_FALSE(group.Button(2)->isChecked());
  EXPECT_EQ(seen.size(), 2u);
}

TEST(EventAdapters, ExitAndEnterFollowTheFocusBetweenControlsOfOneWindow) {
  QWidget window;
  auto* layout = new QVBoxLayout(&window);
  auto* first = new QLineEdit(&window);
  auto* second = new QLineEdit(&window);
  auto* combo = new QComboBox(&window);
  combo->setEditable(true);
  layout->addWidget(first);
  layout->addWidget(second);
  layout->addWidget(combo);
  window.show();
  window.activateWindow();
  ASSERT_TRUE(WaitForEvents([&] { return window.isActiveWindow(); }));

  int firstExits = 0;
  int secondEnters = 0;
  int comboExits = 0;
  EventAdapters::OnExit(first, [&] { ++firstExits; });
  EventAdapters::OnEnter(second, [&] { ++secondEnters; });
  EventAdapters::OnExit(combo, [&] { ++comboExits; });

  first->setFocus(Qt::TabFocusReason);
  ASSERT_TRUE(WaitForEvents([&] { return first->hasFocus(); }));
  second->setFocus(Qt::TabFocusReason);
  ASSERT_TRUE(WaitForEvents([&] { return firstExits == 1 && secondEnters == 1; }));

  // Focus moving inside a compound control is not an exit.
  combo->setFocus(Qt::TabFocusReason);
  ASSERT_TRUE(WaitForEvents([&] { return combo->hasFocus() || combo->lineEdit()->hasFocus(); }));
  combo->lineEdit()->setFocus(Qt::OtherFocusReason);
  QApplication::processEvents();
  EXPECT_EQ(comboExits, 0);
  first->setFocus(Qt::TabFocusReason);
  ASSERT_TRUE(WaitForEvents([&] { return comboExits == 1; }));
}

TEST(EventAdapters, CloseUpRunsAfterTheChosenItemIsCommitted) {
  QComboBox combo;
  combo.addItems({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
  combo.show();
  std::vector<int> atCloseUp;
  EventAdapters::OnCloseUp(&combo, [&] { atCloseUp.push_back(combo.currentIndex()); });
  combo.showPopup();
  QAbstractItemView* view = combo.view();
  ASSERT_TRUE(WaitForEvents([&] { return view->isVisible(); }));
  // The user moves to the third item and takes it with Return.
  view->setCurrentIndex(combo.model()->index(2, 0));
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(view, &enter);
  ASSERT_TRUE(WaitForEvents([&] { return !atCloseUp.empty(); }));
  EXPECT_EQ(atCloseUp, std::vector<int>{2});
}

}  // namespace
