#include <gtest/gtest.h>

#include <QDialog>
#include <QPushButton>
#include <vector>

#include "setup_common/setup_change_timer.h"
#include "tests/support/wait_for.h"

namespace {

using Rule = SetupChangeTimer::TagRule;
using test_support::WaitForEvents;

struct Fixture {
  explicit Fixture(const SetupChangeTimer::TRules& rules)
      : ok(new QPushButton(&dialog)),
        timer(new SetupChangeTimer(&dialog, QStringLiteral("ParamChangeTimer"), rules)) {
    timer->OkButton = ok;
    timer->OnFire = [this](int tag) { fired.push_back(tag); };
  }
  QDialog dialog;
  QPushButton* ok;
  SetupChangeTimer* timer;
  std::vector<int> fired;
};

SetupChangeTimer::TRules Rules(Rule tags) {
  SetupChangeTimer::TRules r;
  r.intervalMs = 60000;  // fired by hand unless a case waits for it
  r.tags = tags;
  return r;
}

// What a change of a second control does to the first one's pending change.
TEST(SetupChangeTimerTest, TagRules) {
  struct Case {
    Rule rule;
    std::vector<int> firedByChange;  // before the pending change fires
    int pending;
  };
  const Case cases[] = {
      {Rule::LastWins, {}, 2},
      {Rule::FlushPrevious, {1}, 2},
      {Rule::Accumulate, {}, 3},
  };
  for (const Case& c : cases) {
    Fixture f(Rules(c.rule));
    f.timer->Change(1);
    f.timer->Change(1);  // the same control again changes nothing of the rule
    f.timer->Change(2);
    EXPECT_EQ(f.fired, c.firedByChange) << static_cast<int>(c.rule);
    EXPECT_EQ(f.timer->PendingTag(), c.pending);
    f.timer->FireNow();
    EXPECT_EQ(f.fired.back(), c.pending);
    EXPECT_FALSE(f.timer->isActive());
    EXPECT_EQ(f.timer->PendingTag(), 0);
  }
}

// The interval counts from the last change; a change may bring its own.
TEST(SetupChangeTimerTest, FiresAfterTheInterval) {
  SetupChangeTimer::TRules rules;  // the plain 100 ms timer
  Fixture f(rules);
  f.timer->Change(7);
  EXPECT_TRUE(f.timer->Pending(7));
  ASSERT_TRUE(WaitForEvents([&] { return !f.fired.empty(); }, 5000));
  EXPECT_EQ(f.fired, std::vector<int>{7});
  f.timer->Change(8, 50);
  ASSERT_TRUE(WaitForEvents([&] { return f.fired.size() == 2; }, 5000));
  EXPECT_EQ(f.fired.back(), 8);
}

// Leaving the control fires at once only under its rule; OK is disabled by
// a change only under its rule.
TEST(SetupChangeTimerTest, LeavingTheControlAndTheOkButton) {
  for (const bool rule : {false, true}) {
    SetupChangeTimer::TRules rules = Rules(Rule::LastWins);
    rules.fireWhenLeft = rule;
    rules.okDisabledWhilePending = rule;
    Fixture f(rules);
    f.timer->Change(4);
    EXPECT_EQ(f.ok->isEnabled(), !rule);
    f.timer->ControlLeft();
    EXPECT_EQ(f.fired.size(), rule ? 1u : 0u);
    EXPECT_EQ(f.timer->isActive(), !rule);
  }
}

// A busy firing keeps the change and tries again after the interval only
// under its rule.
TEST(SetupChangeTimerTest, RetryWhileBusy) {
  for (const bool rule : {false, true}) {
    SetupChangeTimer::TRules rules = Rules(Rule::LastWins);
    rules.retryWhileBusy = rule;
    Fixture f(rules);
    bool busy = true;
    f.timer->Busy = [&] { return busy; };
    f.timer->Change(5);
    f.timer->FireNow();
    EXPECT_EQ(f.timer->Pending(5), rule);
    EXPECT_EQ(f.fired.size(), rule ? 0u : 1u);
    busy = false;
    if (rule) f.timer->FireNow();
    EXPECT_EQ(f.fired, std::vector<int>{5});
  }
}

// Closing the dialog drops the pending change unless the dialog keeps it.
TEST(SetupChangeTimerTest, StoppedOnClose) {
  for (const bool rule : {false, true}) {
    SetupChangeTimer::TRules rules = Rules(Rule::LastWins);
    rules.stoppedOnClose = rule;
    Fixture f(rules);
    f.dialog.show();
    f.timer->Change(3);
    f.dialog.reject();
    EXPECT_EQ(f.timer->isActive(), !rule);
    EXPECT_TRUE(f.fired.empty());
    f.timer->Discard();
    EXPECT_FALSE(f.timer->isActive());
  }
}

}  // namespace
