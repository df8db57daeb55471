// The binder between a dialog's named controls and the name-keyed values:
// filling never runs a change handler that looks at the loading flag,
// reading gives back what was filled, item maps translate both ways, and
// values of the wrong kind or for unknown names are left out.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>

#include "setup_common/control_binder.h"
#include "ui/d_spin_edit.h"
#include "ui/event_adapters.h"
#include "ui/loading_guard.h"
#include "ui/named_widgets.h"
#include "ui/radio_group.h"

namespace {

class ControlBinderTest : public ::testing::Test {
 protected:
  ControlBinderTest() : binder_(loading_) {
    check_ = new QCheckBox(&form_);
    check_->setObjectName(QStringLiteral("cbSmartAvg"));
    combo_ = NamedWidgets::Combo(&form_, "cbAmbSrc",
                                 {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    radio_ = NamedWidgets::Radio(&form_, "rgMode", QStringLiteral("Mode"),
                                 {QStringLiteral("x"), QStringLiteral("y")});
    spin_ = NamedWidgets::Spin(&form_, "seLimit", 0, 0.0, 100.0, 1.0, 1);
    edit_ = new QLineEdit(&form_);
    edit_->setObjectName(QStringLiteral("eEmiss"));
    NamedWidgets::Label(&form_, "lblEmiss", QStringLiteral("Emissivity:"));
    new QLineEdit(&form_);  // no name: not a component
    // Every handler counts only the user's changes, as the dialogs' do.
    EventAdapters::OnCheckClick(check_, [this] {
      if (!loading_) ++handlerRuns_;
    });
    radio_->OnClick = [this](QObject*) {
      if (!loading_) ++handlerRuns_;
    };
    spin_->OnChange = [this](QObject*) {
      if (!loading_) ++handlerRuns_;
    };
    QObject::connect(edit_, &QLineEdit::textChanged, [this] {
      if (!loading_) ++handlerRuns_;
    });
    EventAdapters::OnComboChange(combo_, [this] { ++handlerRuns_; });
    binder_.BindAll(&form_);
  }

  QWidget form_;
  LoadingFlag loading_;
  TControlBinder binder_;
  QCheckBox* check_;
  QComboBox* combo_;
  RadioGroup* radio_;
  TDSpinEdit* spin_;
  QLineEdit* edit_;
  int handlerRuns_ = 0;
};

TEST_F(ControlBinderTest, BindsTheNamedControlsOfKnownKindsInFormOrder) {
  EXPECT_EQ(binder_.Names(),
            (QStringList{QStringLiteral("cbSmartAvg"), QStringLiteral("cbAmbSrc"), QStringLiteral("rgMode"),
                         QStringLiteral("seLimit"), QStringLiteral("eEmiss")}));
  EXPECT_EQ(binder_.Control(QStringLiteral("EEMISS")), edit_);
  TControlBinder::TKind kind;
  ASSERT_TRUE(TControlBinder::KindOf(spin_, kind));
  EXPECT_EQ(kind, TControlBinder::TKind::Spin);  // a spin edit is a line edit too
}

TEST_F(ControlBinderTest, LoadFillsWithoutHandlersAndReadGivesItBack) {
  SetupValues values;
  values.SetMark(QStringLiteral("cbSmartAvg"), true);
  values.SetIndex(QStringLiteral("cbAmbSrc"), 2);
  values.SetIndex(QStringLiteral("rgMode"), 1);
  values.SetSpin(QStringLiteral("seLimit"), 42.5);
  values.SetText(QStringLiteral("EEMISS"), QStringLiteral(" 0,950"));  // exactly as it stands
  values.SetText(QStringLiteral("lblEmiss"), QStringLiteral("ignored"));
  values.SetText(QStringLiteral("cbSmartAvg2"), QStringLiteral("ignored"));

  EXPECT_EQ(binder_.Load(values), 5);
  EXPECT_EQ(handlerRuns_, 0);
  EXPECT_FALSE(loading_.IsSet());
  EXPECT_TRUE(check_->isChecked());
  EXPECT_EQ(combo_->currentIndex(), 2);
  EXPECT_EQ(radio_->ItemIndex(), 1);
  EXPECT_EQ(spin_->text(), QStringLiteral("42.5"));
  EXPECT_EQ(edit_->text(), QStringLiteral(" 0,950"));

  const SetupValues read = binder_.Read();
  EXPECT_EQ(read.Names(), binder_.Names());
  EXPECT_TRUE(read.Mark(QStringLiteral("cbSmartAvg")));
  EXPECT_EQ(read.Index(QStringLiteral("cbAmbSrc")), 2);
  EXPECT_EQ(read.Index(QStringLiteral("rgMode")), 1);
  EXPECT_DOUBLE_EQ(read.Spin(QStringLiteral("seLimit")), 42.5);
  EXPECT_EQ(read.Text(QStringLiteral("eEmiss")), QStringLiteral(" 0,950"));
  EXPECT_EQ(binder_.Read(QStringLiteral("lblEmiss")), SetupValue::OfText(QString()));
}

TEST_F(ControlBinderTest, ApplyRunsTheClickEventAsAUsersChangeWould) {
  EXPECT_TRUE(binder_.Apply(QStringLiteral("cbsmartavg"), SetupValue::OfMark(true)));
  EXPECT_EQ(handlerRuns_, 1);
  EXPECT_FALSE(binder_.Apply(QStringLiteral("cbNone"), SetupValue::OfMark(true)));
}

TEST_F(ControlBinderTest, ValuesOfAnotherKindAreLeftOut) {
  combo_->setCurrentIndex(1);
  SetupValues values;
  values.SetText(QStringLiteral("cbAmbSrc"), QStringLiteral("2"));
  values.SetMark(QStringLiteral("eEmiss"), true);
  edit_->setText(QStringLiteral("1.000"));
  EXPECT_EQ(binder_.Load(values), 0);
  EXPECT_EQ(combo_->currentIndex(), 1);
  EXPECT_EQ(edit_->text(), QStringLiteral("1.000"));
}

// A combo box whose items stand for other values than their index; values
// no item stands for, and indexes out of the list, select nothing.
TEST_F(ControlBinderTest, ItemMapsTranslateBothWays) {
  binder_.SetItemMap(QStringLiteral("cbAmbSrc"), {4, 1, 2});
  struct Case {
    int value;
    int row;
    int readBack;
  };
  for (const Case c : {Case{4, 0, 4}, Case{1, 1, 1}, Case{2, 2, 2}, Case{3, -1, -1}, Case{-1, -1, -1}}) {
    SetupValues values;
    values.SetIndex(QStringLiteral("cbAmbSrc"), c.value);
    binder_.Load(values);
    EXPECT_EQ(combo_->currentIndex(), c.row) << c.value;
    EXPECT_EQ(binder_.Read(QStringLiteral("cbAmbSrc")).Index, c.readBack) << c.value;
  }
  binder_.SetItemMap(QStringLiteral("cbAmbSrc"), {});
  SetupValues outside;
  outside.SetIndex(QStringLiteral("cbAmbSrc"), 3);
  binder_.Load(outside);
  EXPECT_EQ(combo_->currentIndex(), -1);
}

// A nested load keeps the flag set until the outer one ends.
TEST_F(ControlBinderTest, TheLoadingFlagIsRestoredAfterANestedLoad) {
  LoadingGuard outer(loading_);
  SetupValues values;
  values.SetMark(QStringLiteral("cbSmartAvg"), true);
  binder_.Load(values);
  EXPECT_TRUE(loading_.IsSet());
}

}  // namespace
