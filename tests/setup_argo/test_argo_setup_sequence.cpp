// The device work bookkeeping the setup dialogs share, against the emulated
// device: the sequence listens to the driver's progress while it runs,
// beside the device's own listener, and stops however the sequence ends, and the snapshot refresh leaves the
// cache alone when its job never ran.

#include <gtest/gtest.h>

#include <QString>
#include <functional>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "drivers/argo/pyreon_argo.h"
#include "setup_argo/argo_setup_param_planner.h"
#include "setup_argo/argo_setup_sequence.h"
#include "setup_argo/argo_setup_session.h"
#include "tests/setup_argo/argo_session_fixture.h"

namespace argotest {
namespace {

using Outcome = ArgoSetupSession::TOutcome;
using Planner = ArgoSetupParamPlanner;

class ArgoSetupSequenceTest : public ArgoSessionTest {
 protected:
  void Open() {
    StartSession({}, QStringLiteral("argo-1500"));
    ReadAllAndOpenSetup();
    sequence_.SetInputEnabled = [this](bool enabled) {
      hooks_.push_back(enabled ? "input on" : "input off");
    };
    sequence_.ShowRunning = [this](bool running, bool stoppable) {
      hooks_.push_back(!running ? "hidden" : stoppable ? "shown, stoppable" : "shown");
    };
    sequence_.Progress = [this](int, const QString& caption) { chained_.push_back(caption); };
    // Whoever listened before the sequence (the main window's progress bar).
    family_->OnProgress = [this](int, const QString& caption) { listener_.push_back(caption); };
  }
  void TearDown() override {
    if (family_) family_->OnProgress = nullptr;
    setup_.reset();
    ArgoSessionTest::TearDown();
  }
  // Writes `writes` as one job and waits for it.
  void Write(const ArgoSetupWrites& writes) {
    bool done = false;
    setup_->Write(writes, [&](const Outcome&) { done = true; });
    ASSERT_TRUE(WaitForEvents([&] { return done; }, 20000));
  }

  ArgoSetupSequence sequence_;
  std::vector<const char*> hooks_;
  std::vector<QString> chained_;
  std::vector<QString> listener_;
};

// Cancel's write-back as a sequence, ended from its report as the dialogs
// do: run to its end, stopped between exchanges, and cut short by the
// device going away. Each time the listener hears every caption the
// sequence showed, and afterwards the sequence hears no more while the
// device's own callback is still the one it had.
TEST_F(ArgoSetupSequenceTest, TheDriversProgressIsGivenBackHoweverTheSequenceEnds) {
  Open();
  struct Ending {
    const char* name;
    std::function<void()> beforeStart;   // once the edits are written
    std::function<void()> whileRunning;  // after the first request went out
    bool stoppable;
  };
  const std::vector<Ending> endings = {
      {"runs to its end", [] {}, [] {}, false},
      // The emulator holds the first request until the stop was made.
      {"stopped", [this] { model_->HoldNextRequest(); },
       [this] {
         ASSERT_TRUE(WaitForEvents([&] { return model_->Holding(); }, 10000));
         setup_->CancelSequence();
         model_->Release();
       },
       true},
      // The first write-back is answered, the device vanishes on the second.
      {"device vanishes", [this] { SetFaults([](ArgoFaults& f) { f.vanishAfterRequests = 2; }); }, [] {},
       true},
  };
  for (const Ending& ending : endings) {
    SCOPED_TRACE(ending.name);
    // Each ending opens on the same values and edits all three, whatever
    // the one before left: a stop that lands inside an exchange leaves the
    // driver's cache on the value it sent, and a write-back with nothing
    // to write shows "READY" alone.
    Write(Planner::Plan(1, 0.95, {}));
    Write(Planner::Plan(14, 0.0, {}));
    Write(Planner::Plan(15, 1.0, {}));
    std::optional<Outcome> atOpen;
    setup_->ReadCache([&](const Outcome& o) { atOpen = o; });
    ASSERT_TRUE(WaitForEvents([&] { return atOpen.has_value(); }, 10000));
    Write(Planner::Plan(1, 0.8, {}));
    Write(Planner::Plan(14, 2.0, {}));
    Write(Planner::Plan(15, 1.1, {}));
    std::optional<Outcome> edited;
    setup_->ReadCache([&](const Outcome& o) { edited = o; });
    ASSERT_TRUE(WaitForEvents([&] { return edited.has_value(); }, 10000));
    ASSERT_NE(edited->config.Emissivity, atOpen->config.Emissivity);
    ASSERT_NE(edited->config.TweakOffset, atOpen->config.TweakOffset);
    ASSERT_NE(edited->config.TweakGain, atOpen->config.TweakGain);
    model_->ClearRequests();
    hooks_.clear();
    chained_.clear();
    listener_.clear();
    ending.beforeStart();

    sequence_.Begin(family_.get(), ending.stoppable);
    std::optional<Outcome> out;
    setup_->Restore(atOpen->config, [&](const Outcome& o) {
      out = o;
      EXPECT_TRUE(sequence_.End());
    });
    ASSERT_TRUE(WaitForEvents(
        [&] { return model_->RequestCount() >= 1 || model_->Holding() || out.has_value(); }, 10000));
    ending.whileRunning();
    ASSERT_TRUE(WaitForEvents([&] { return out.has_value(); }, 20000));
    EXPECT_EQ(out->report.Cancelled, std::string_view(ending.name) == "stopped");
    EXPECT_EQ(out->report.DeviceLost, std::string_view(ending.name) == "device vanishes");
    EXPECT_FALSE(sequence_.Running());
    EXPECT_EQ(hooks_, (std::vector<const char*>{"input off", ending.stoppable ? "shown, stoppable" : "shown",
                                                "hidden", "input on"}));
    ASSERT_FALSE(chained_.empty());
    EXPECT_TRUE(chained_.front().startsWith(QStringLiteral("WRITE"))) << chained_.front().toStdString();
    EXPECT_EQ(listener_, chained_);

    // The device's own callback again: the sequence hears no more.
    ASSERT_TRUE(family_->OnProgress);
    family_->DeliverProgress(50, QStringLiteral("after"));
    EXPECT_EQ(listener_.back(), QStringLiteral("after"));
    EXPECT_EQ(chained_.size() + 1, listener_.size());
  }
}

// A second Begin while a sequence runs (a page's work that follows the
// dialog's own) keeps the listener it has: each report is passed on once,
// one End stops it, and an End that comes late (the dialog closed first)
// leaves whatever callback the device has by then.
TEST_F(ArgoSetupSequenceTest, OneChainPerSequenceAndALateEndTouchesNothing) {
  Open();
  sequence_.Begin(family_.get());
  sequence_.Begin(family_.get(), false);
  family_->DeliverProgress(10, QStringLiteral("one"));
  EXPECT_EQ(chained_, std::vector<QString>{QStringLiteral("one")});
  EXPECT_EQ(listener_, std::vector<QString>{QStringLiteral("one")});

  EXPECT_TRUE(sequence_.End());
  family_->DeliverProgress(20, QStringLiteral("two"));
  EXPECT_EQ(chained_.size(), 1u);
  EXPECT_EQ(listener_.back(), QStringLiteral("two"));

  std::vector<QString> later;
  family_->OnProgress = [&later](int, const QString& caption) { later.push_back(caption); };
  EXPECT_FALSE(sequence_.End());
  family_->DeliverProgress(30, QStringLiteral("three"));
  EXPECT_EQ(later, std::vector<QString>{QStringLiteral("three")});
  EXPECT_EQ(chained_.size(), 1u);
  EXPECT_EQ(hooks_, (std::vector<const char*>{"input off", "shown, stoppable", "input off", "shown", "hidden",
                                              "input on"}));
  family_->OnProgress = nullptr;
}

// The refresh copies the driver's cache and then shows it; a refresh whose
// job was dropped (the user stopped the sequence queued before it) shows
// nothing and leaves the cache as it was, and the job count comes back to
// nothing either way. Without a session it shows the cache at once.
TEST_F(ArgoSetupSequenceTest, ARefreshThatNeverRanLeavesTheCache) {
  Open();
  TArgoConfig cache;
  int shown = 0;
  sequence_.ReadCache(setup_.get(), cache, [&] { ++shown; });
  EXPECT_EQ(sequence_.JobsInFlight(), 1);
  ASSERT_TRUE(WaitForEvents([&] { return sequence_.JobsInFlight() == 0; }, 10000));
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(cache.SerialNumber, family_->Snapshot().SerialNumber);
  ASSERT_NE(cache.SerialNumber, TArgoConfig{}.SerialNumber);

  // A write-back held up by a slow device, the refresh queued behind it,
  // and both dropped by the stop.
  Write(Planner::Plan(1, 0.8, {}));
  const TArgoConfig before = cache;
  TArgoConfig atOpen = cache;
  atOpen.Emissivity = 0.95f;
  SetFaults([](ArgoFaults& f) { f.lateReplyMs = 300; });
  std::optional<Outcome> restored;
  setup_->Restore(atOpen, [&](const Outcome& o) { restored = o; });
  cache.Emissivity = 0.5f;
  sequence_.ReadCache(setup_.get(), cache, [&] { ++shown; });
  EXPECT_EQ(sequence_.JobsInFlight(), 1);
  setup_->CancelSequence();
  ASSERT_TRUE(WaitForEvents([&] { return restored.has_value() && sequence_.JobsInFlight() == 0; }, 20000));
  EXPECT_EQ(shown, 1);
  EXPECT_FLOAT_EQ(cache.Emissivity, 0.5f);
  EXPECT_EQ(cache.SerialNumber, before.SerialNumber);

  sequence_.ReadCache(nullptr, cache, [&] { ++shown; });
  EXPECT_EQ(shown, 2);
  EXPECT_EQ(sequence_.JobsInFlight(), 0);
}

}  // namespace
}  // namespace argotest
