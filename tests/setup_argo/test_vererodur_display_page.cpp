// The "Display settings" page of the ratio setup dialog on its own, bound to
// a setup session on the emulated ratio device: what the device receives for
// row edits, source changes and the standard display, what a pending row
// change does when it is dropped or flushed, and what the page shows for
// each firmware and for a source byte it has no item for.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <memory>
#include <optional>
#include <vector>

#include "drivers/argo/pyreon_argo.h"
#include "setup_argo/argo_setup_session.h"
#include "setup_argo/vererodur_display_page.h"
#include "tests/setup_argo/argo_session_fixture.h"
#include "ui/d_spin_edit.h"
#include "ui/radio_group.h"

namespace argotest {
namespace {

using Outcome = ArgoSetupSession::TOutcome;
using Bytes = std::vector<std::uint8_t>;

class DisplayPageTest : public ArgoSessionTest {
 protected:
  // The device `profile` with `change` applied, read in full, and the page
  // bound to a setup session and filled from the cache.
  void Open(const QString& profile, const std::function<void(ArgoDeviceState&)>& change = {}) {
    StartSession(change, profile);
    ReadAllAndOpenSetup();
    std::optional<Outcome> out;
    setup_->ReadCache([&](const Outcome& o) { out = o; });
    ASSERT_TRUE(WaitForEvents([&] { return out.has_value(); }, 10000));
    page_ = std::make_unique<TVererodurDisplayPage>();
    page_->Bind(setup_.get(), nullptr);
    QObject::connect(page_.get(), &TVererodurDisplayPage::deviceWorkStarted, [this] { ++started_; });
    QObject::connect(page_.get(), &TVererodurDisplayPage::deviceWorkFinished,
                     [this](const Outcome& o) { finished_.push_back(o); });
    page_->LoadDisplayPage(out->config);
    model_->ClearRequests();
  }
  void TearDown() override {
    page_.reset();
    setup_.reset();
    ArgoSessionTest::TearDown();
  }
  template <typename T>
  T* Child(const QString& name) {
    T* w = page_->findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name.toStdString();
    return w;
  }
  TDSpinEdit* Edit(const char* name, int row) { return Child<TDSpinEdit>(QString::fromLatin1(name) + QString::number(row)); }
  QCheckBox* Box(const char* name, int row) { return Child<QCheckBox>(QString::fromLatin1(name) + QString::number(row)); }
  bool Shown(const char* name) { return Child<QWidget>(QString::fromLatin1(name))->isVisibleTo(page_.get()); }
  QTimer* Timer() { return Child<QTimer>(QStringLiteral("tiVisualAL")); }
  void Choose(const char* combo, int index) {
    QComboBox* cb = Child<QComboBox>(QString::fromLatin1(combo));
    cb->setCurrentIndex(index);
    Q_EMIT cb->activated(index);
  }
  bool WaitPageIdle() {
    return WaitForEvents([&] { return !page_->Busy(); }, 20000);
  }

  std::unique_ptr<TVererodurDisplayPage> page_;
  int started_ = 0;
  std::vector<Outcome> finished_;
};

// A check box and an edit of row 2: the check box arms the write for
// 500 ms, the edit re-arms it for 2000 ms; flushed, all eight rows go out
// once (0x6F each), row 2 with the new high end and LEDs blue + red packed
// as 5, the other rows and row 2's other sources as the device had them.
TEST_F(DisplayPageTest, RowChangeWritesAllRowsWithPackedLeds) {
  Open(QStringLiteral("ratio-5015"));
  const ArgoDeviceState before = State();
  Box("cbBlue", 2)->setChecked(true);
  Box("cbGreen", 2)->setChecked(false);
  Box("cbRed", 2)->setChecked(true);
  EXPECT_TRUE(page_->WritePending());
  EXPECT_EQ(Timer()->interval(), TVererodurDisplayPage::kSelectionDelayMs);
  Edit("dseLow", 2)->setText(QStringLiteral("1000.0"));
  Edit("dseHigh", 2)->setText(QStringLiteral("1200.5"));
  EXPECT_EQ(Timer()->interval(), TVererodurDisplayPage::kEditDelayMs);
  EXPECT_TRUE(RequestBytes().empty());

  page_->FlushPendingWrite();
  EXPECT_FALSE(page_->WritePending());
  ASSERT_TRUE(WaitPageIdle());
  const auto requests = RequestBytes();
  ASSERT_EQ(requests.size(), 8u);
  for (std::size_t i = 0; i < 8; ++i) {
    ASSERT_EQ(requests[i].size(), 23u);
    EXPECT_EQ(requests[i][0], 0x6F);
    EXPECT_EQ(requests[i][1], i);
  }
  const ArgoDeviceState after = State();
  for (std::size_t i = 0; i < 8; ++i)
    if (i != 2) {
      EXPECT_EQ(after.visualAlarm[i], before.visualAlarm[i]) << i;
    }
  EXPECT_EQ(Bytes(after.visualAlarm[2].begin(), after.visualAlarm[2].begin() + 5),
            (Bytes{0x2A, 0xF8, 0x32, 0xCD, 0x05}));
  EXPECT_TRUE(std::equal(before.visualAlarm[2].begin() + 5, before.visualAlarm[2].end(),
                         after.visualAlarm[2].begin() + 5));
  EXPECT_EQ(started_, 1);
  ASSERT_EQ(finished_.size(), 1u);
  EXPECT_TRUE(finished_[0].report.AllConfirmed());
  // Refilled from the cache the write left.
  EXPECT_EQ(Edit("dseHigh", 2)->text(), QStringLiteral("1200.5"));
  EXPECT_TRUE(Box("cbRed", 2)->isChecked());
  EXPECT_FALSE(page_->WritePending());
}

// In °F the rows show and take Fahrenheit; the device gets °C, and rows
// left as filled go back exactly as the device had them.
TEST_F(DisplayPageTest, FahrenheitRowsAreWrittenInCelsius) {
  Open(QStringLiteral("ratio-5015"), [](ArgoDeviceState& s) {
    s.unit = 0;
    s.visualAlarmSource = 0;
    s.ratioAlarmMode = 0;
    for (std::size_t row = 0; row < 8; ++row) {
      s.visualAlarm[row][0] = 0x23;  // 800.3 °C: 1472.5 °F shown
      s.visualAlarm[row][1] = 0x2B;
    }
  });
  const ArgoDeviceState before = State();
  EXPECT_EQ(Child<QLabel>(QStringLiteral("lblUnitHigh5"))->text(), QStringLiteral("[°F]"));
  EXPECT_EQ(Edit("dseLow", 0)->text(), QStringLiteral("1472.5"));
  Edit("dseHigh", 5)->setText(QStringLiteral("2192.9"));
  page_->FlushPendingWrite();
  ASSERT_TRUE(WaitPageIdle());
  ASSERT_EQ(RequestBytes().size(), 8u);
  const ArgoDeviceState after = State();
  for (std::size_t i = 0; i < 8; ++i) {
    if (i != 5) {
      EXPECT_EQ(after.visualAlarm[i], before.visualAlarm[i]) << i;
    }
  }
  EXPECT_EQ(Bytes(after.visualAlarm[5].begin(), after.visualAlarm[5].begin() + 4),
            (Bytes{0x23, 0x2B, 0x32, 0xCD}));  // 800.3 kept, 1200.5 °C
}

// A row change dropped within its delay never reaches the device; text that
// is not a number writes nothing and the edit shows the cache again.
TEST_F(DisplayPageTest, DroppedOrUnparsableChangesWriteNothing) {
  Open(QStringLiteral("ratio-5014"));
  const ArgoDeviceState before = State();
  Edit("dseLow", 1)->setText(QStringLiteral("900.0"));
  Box("cbGreen", 4)->toggle();
  page_->DiscardPendingWrite();
  EXPECT_FALSE(page_->WritePending());
  Pump(2600);
  EXPECT_TRUE(RequestBytes().empty());
  EXPECT_EQ(State().visualAlarm, before.visualAlarm);
  EXPECT_EQ(started_, 0);

  page_->LoadDisplayPage(page_->Cache());
  const QString cached = Edit("dseLow", 3)->text();
  Edit("dseLow", 3)->setText(QStringLiteral("-"));
  page_->FlushPendingWrite();
  ASSERT_TRUE(WaitPageIdle());
  EXPECT_TRUE(RequestBytes().empty());
  EXPECT_EQ(Edit("dseLow", 3)->text(), cached);
  EXPECT_EQ(started_, 0);
}

// A source byte the page has no item for, or a fixed colour: the rows are
// disabled and hidden, the combo shows no item, and no change writes rows.
TEST_F(DisplayPageTest, SourceWithoutRowsWritesNothing) {
  for (const std::uint8_t source : {std::uint8_t{8}, std::uint8_t{255}, std::uint8_t{5}}) {
    SCOPED_TRACE(source);
    Open(QStringLiteral("ratio-5015"), [&](ArgoDeviceState& s) {
      s.visualAlarmSource = source;
      s.ratioAlarmMode = 0;
    });
    EXPECT_EQ(Child<QComboBox>(QStringLiteral("cbVisualAlSource"))->currentIndex(), source < 8 ? source : -1);
    for (int row = 0; row < 8; ++row)
      EXPECT_FALSE(Child<QFrame>(QStringLiteral("pVA") + QString::number(row))->isEnabled()) << row;
    EXPECT_FALSE(Shown("pVA0"));
    EXPECT_TRUE(Shown("cbVisualAlSource"));
    Box("cbBlue", 0)->toggle();
    Edit("dseHigh", 7)->setText(QStringLiteral("1500.0"));
    page_->FlushPendingWrite();
    Pump(100);
    EXPECT_FALSE(page_->Busy());
    EXPECT_TRUE(RequestBytes().empty());
    TearDown();
    started_ = 0;
    finished_.clear();
  }
}

// Choosing another source first writes the rows waiting for the old one;
// the source itself is reported (Tag 23) for the dialog's change timer and
// stays chosen through refills until the dialog says it was written. The
// main-value source likewise (Tag 24). The page writes no source itself.
TEST_F(DisplayPageTest, SourceChangeWritesPendingRowsFirstAndReportsTheSource) {
  Open(QStringLiteral("ratio-5015"), [](ArgoDeviceState& s) {
    s.visualAlarmSource = 0;
    s.displayMainSource = 0;
    s.ratioAlarmMode = 0;
  });
  std::vector<std::pair<int, QWidget*>> tags;
  QObject::connect(page_.get(), &TVererodurDisplayPage::tagChanged,
                   [&](int tag, QWidget* control) { tags.emplace_back(tag, control); });
  Edit("dseHigh", 0)->setText(QStringLiteral("1100.0"));
  Choose("cbVisualAlSource", 2);
  ASSERT_TRUE(WaitPageIdle());
  const std::vector<QString> names = RequestNames();
  ASSERT_EQ(names.size(), 8u);
  for (const QString& name : names) EXPECT_EQ(name, QStringLiteral("SetVisualAlarmSettings"));
  ASSERT_EQ(tags.size(), 1u);
  EXPECT_EQ(tags[0].first, TVererodurDisplayPage::kTagVisualAlSource);
  EXPECT_EQ(tags[0].second, Child<QComboBox>(QStringLiteral("cbVisualAlSource")));
  const ArgoDeviceState after = State();
  EXPECT_EQ(after.visualAlarmSource, 0);
  EXPECT_EQ(Bytes(after.visualAlarm[0].begin() + 2, after.visualAlarm[0].begin() + 4),
            (Bytes{0x2E, 0xE0}));  // 1100.0 °C
  // Refilled after the rows' write: the chosen source and its rows (Tau in percent).
  EXPECT_EQ(Child<QComboBox>(QStringLiteral("cbVisualAlSource"))->currentIndex(), 2);
  EXPECT_EQ(Child<QLabel>(QStringLiteral("lblUnitLow0"))->text(), QStringLiteral("[%]"));
  EXPECT_DOUBLE_EQ(Edit("dseLow", 0)->MinValue(), -50.0);
  page_->SourceChoiceDone(TVererodurDisplayPage::kTagVisualAlSource);
  page_->LoadDisplayPage(page_->Cache());
  EXPECT_EQ(Child<QComboBox>(QStringLiteral("cbVisualAlSource"))->currentIndex(), 0);

  model_->ClearRequests();
  tags.clear();
  Choose("cbDisplayMainSource", 3);
  Pump(700);
  EXPECT_TRUE(RequestNames().empty());
  ASSERT_EQ(tags.size(), 1u);
  EXPECT_EQ(tags[0].first, TVererodurDisplayPage::kTagDisplayMainSource);
  page_->LoadDisplayPage(page_->Cache());
  EXPECT_EQ(Child<QComboBox>(QStringLiteral("cbDisplayMainSource"))->currentIndex(), 3);
  page_->DiscardPendingWrite();
  page_->LoadDisplayPage(page_->Cache());
  EXPECT_EQ(Child<QComboBox>(QStringLiteral("cbDisplayMainSource"))->currentIndex(), 0);
}

// "Set Display to STANDARD": 0x80 0x00, the device's display settings back
// to standard, and the page refilled from the settings read back.
TEST_F(DisplayPageTest, StandardDisplayRefillsThePage) {
  StartSession({}, QStringLiteral("ratio-5014"));
  const ArgoDeviceState standard = State();
  TearDown();
  Open(QStringLiteral("ratio-5014"), [](ArgoDeviceState& s) {
    s.visualAlarmSource = 3;
    s.displayMainSource = 4;
    s.ratioAlarmMode = 0;
    s.visualAlarm[1][19] = 0x07;  // TBox LEDs of row 1: all three
  });
  EXPECT_TRUE(Box("cbGreen", 1)->isChecked());
  Box("cbRed", 6)->toggle();  // replaced by the standard display, never written
  ASSERT_TRUE(Shown("btnStandardDisplay"));
  Child<QPushButton>(QStringLiteral("btnStandardDisplay"))->click();
  EXPECT_FALSE(page_->WritePending());
  ASSERT_TRUE(WaitPageIdle());
  EXPECT_EQ(RequestBytes().front(), (Bytes{0x80, 0x00, 0x80}));
  EXPECT_EQ(RequestNames().size(), 11u);
  EXPECT_EQ(State().visualAlarm, standard.visualAlarm);
  EXPECT_EQ(Child<QComboBox>(QStringLiteral("cbVisualAlSource"))->currentIndex(), standard.visualAlarmSource);
  EXPECT_EQ(Child<QComboBox>(QStringLiteral("cbDisplayMainSource"))->currentIndex(), standard.displayMainSource);
  EXPECT_EQ(page_->Cache().VisualAlarms, finished_.back().config.VisualAlarms);
  const int s = standard.visualAlarmSource < 4 ? standard.visualAlarmSource : 0;
  if (standard.visualAlarmSource < 4) {
    EXPECT_EQ(Box("cbGreen", 1)->isChecked(),
              (standard.visualAlarm[1][static_cast<std::size_t>(5 * s + 4)] & 2) != 0);
  }
  Pump(700);
  EXPECT_EQ(RequestNames().size(), 11u);
}

// Firmware 5012 has no backlight mode; 5013..5099 choose ranges or
// thresholds by ALmode bit 0, and switching the mode shows its controls at
// once and leaves the write to the dialog.
TEST_F(DisplayPageTest, BacklightModeByFirmware) {
  struct Case {
    const char* profile;
    std::uint8_t mode;
    bool choice, threshold;
  };
  const Case cases[] = {{"ratio-5012", 1, false, false}, {"ratio-5014", 0, true, false},
                        {"ratio-5015", 1 | 8, true, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.profile);
    Open(QString::fromLatin1(c.profile), [&](ArgoDeviceState& s) { s.ratioAlarmMode = c.mode; });
    EXPECT_EQ(Shown("rbBacklightAlarmMode"), c.choice);
    EXPECT_EQ(Shown("gbBacklightAlarmThreshold"), c.threshold);
    EXPECT_EQ(Shown("gbBacklightSettings"), !c.threshold);
    EXPECT_EQ(Shown("btnStandardDisplay"), !c.threshold);
    if (c.choice) {
      auto* mode = Child<RadioGroup>(QStringLiteral("rbBacklightAlarmMode"));
      EXPECT_EQ(mode->ItemIndex(), c.threshold ? 1 : 0);
      EXPECT_EQ(Child<RadioGroup>(QStringLiteral("rgNoNcRed"))->ItemIndex(), (c.mode & 8) ? 1 : 0);
      std::vector<int> tags;
      QObject::connect(page_.get(), &TVererodurDisplayPage::tagChanged,
                       [&](int tag, QWidget* control) {
                         tags.push_back(tag);
                         EXPECT_EQ(control, mode);
                       });
      mode->SetItemIndex(c.threshold ? 0 : 1);
      EXPECT_EQ(tags, std::vector<int>{TVererodurDisplayPage::kTagAlarmMode});
      EXPECT_EQ(Shown("gbBacklightAlarmThreshold"), !c.threshold);
      EXPECT_EQ(Shown("btnStandardDisplay"), c.threshold);
      Pump(100);
      EXPECT_TRUE(RequestBytes().empty());
    }
    TearDown();
  }
}

}  // namespace
}  // namespace argotest
