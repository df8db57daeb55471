// The write side of the single-colour setup dialog against the emulated
// device on a pseudo-terminal, run as jobs on the device's session: what
// each operation puts on the line and leaves in the device, the
// post-processing modes, writes the device does not confirm, Cancel's
// write-back, and saving and loading configuration files.

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "drivers/argo/pyreon_argo.h"
#include "platform/number_text.h"
#include "setup_argo/argo_setup_param_planner.h"
#include "setup_argo/argo_setup_post_processing.h"
#include "setup_argo/argo_setup_selection_writes.h"
#include "setup_argo/argo_setup_session.h"
#include "tests/setup_argo/argo_session_fixture.h"

namespace argotest {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Outcome = ArgoSetupSession::TOutcome;
using Planner = ArgoSetupParamPlanner;
using Selections = ArgoSetupSelectionWrites;

std::vector<std::pair<QString, TArgoWriteResult>> Items(const TArgoWriteReport& report) {
  std::vector<std::pair<QString, TArgoWriteResult>> out;
  for (const TArgoWriteItem& i : report.Items) out.emplace_back(i.Name, i.Result);
  return out;
}

class ArgoSetupSessionTest : public ArgoSessionTest {
 protected:
  // The emulated device ("argo-1500": range -40..600 degrees C, tenths of a
  // second, panel lock, alarm hysteresis) read whole, as the main window
  // does before the dialog opens. The visual alarms start closed on source 3
  // and output channel 1 on the object temperature, both digital 0..10 V.
  void Open(const std::function<void(ArgoDeviceState&)>& change = {}) {
    StartSession(
        [&](ArgoDeviceState& s) {
          s.alarmMode[0] = 0x00;
          s.alarmMode[1] = 0x00;
          s.alarmMode[3] = 0x20;
          if (change) change(s);
        },
        QStringLiteral("argo-1500"));
    ReadAllAndOpenSetup();
    cache_ = Run([](ArgoSetupSession& s, ArgoSetupSession::Done done) { s.ReadCache(done); }).config;
    model_->ClearRequests();
  }
  void TearDown() override {
    setup_.reset();
    ArgoSessionTest::TearDown();
  }

  // Starts one operation and waits for its report; keeps the cache it returns.
  Outcome Run(const std::function<void(ArgoSetupSession&, ArgoSetupSession::Done)>& start,
              int timeoutMs = 20000) {
    std::optional<Outcome> out;
    start(*setup_, [&](const Outcome& o) { out = o; });
    EXPECT_TRUE(WaitForEvents([&] { return out.has_value(); }, timeoutMs));
    if (out && out->ran) cache_ = out->config;
    return out.value_or(Outcome{});
  }
  Outcome Write(const ArgoSetupWrites& writes) {
    return Run([&](ArgoSetupSession& s, ArgoSetupSession::Done done) { s.Write(writes, done); });
  }

  TArgoConfig cache_;
};

Planner::TEdits Celsius() { return {}; }
Planner::TEdits Fahrenheit() {
  Planner::TEdits e;
  e.fahrenheit = true;
  return e;
}
Planner::TEdits With(Planner::TEdits e, const std::function<void(Planner::TEdits&)>& change) {
  change(e);
  return e;
}

struct WireCase {
  const char* name;
  std::function<ArgoSetupWrites(const TArgoConfig& cache)> writes;
  std::vector<Bytes> expected;  // the requests, checksums included
};

// One table of the dialog's operations (with the values a user enters, in
// the unit shown) and the bytes they put on the line; the device's echoes
// then stand in the driver's cache.
TEST_F(ArgoSetupSessionTest, OperationsPutTheExpectedBytesOnTheLine) {
  Open();
  const auto tag = [](int t, double v, Planner::TEdits e = Celsius()) {
    return [=](const TArgoConfig&) { return Planner::Plan(t, v, e); };
  };
  const std::vector<WireCase> cases = {
      {"emissivity 0.95", tag(1, 0.95), {{0x84, 0x03, 0xB6, 0x31}}},
      {"emissivity 1.2 is sent as 1.1", tag(1, 1.2), {{0x84, 0x04, 0x4C, 0xCC}}},
      {"emissivity 0.05 is sent as 0.1", tag(1, 0.05), {{0x84, 0x00, 0x64, 0xE0}}},
      {"transmission 0.5", tag(2, 0.5), {{0x85, 0x01, 0xF4, 0x70}}},
      {"ambient low 100 below high 105 becomes 95",
       tag(8, 100, With(Celsius(), [](auto& e) { e.ambHigh = 105; })),
       {{0xAB, 0x07, 0x9E, 0x32}}},
      {"ambient low 212 F below high 221 F becomes 95 C",
       tag(8, 212, With(Fahrenheit(), [](auto& e) { e.ambHigh = 221; })),
       {{0xAB, 0x07, 0x9E, 0x32}}},
      {"ambient high 50 above low 45 becomes 55",
       tag(9, 50, With(Celsius(), [](auto& e) { e.ambLow = 45; })),
       {{0xAC, 0x06, 0x0E, 0xA4}}},
      {"alarm 1 raised above alarm 2 raises alarm 2",
       tag(3, 300, With(Celsius(), [](auto& e) { e.alarm2 = 200; })),
       {{0x8A, 0x0F, 0xA0, 0x25}, {0x8B, 0x0F, 0xA0, 0x24}}},
      {"alarm 2 lowered below alarm 1 lowers alarm 1",
       tag(4, 100, With(Celsius(), [](auto& e) { e.alarm1 = 150; })),
       {{0x8B, 0x07, 0xD0, 0x5C}, {0x8A, 0x07, 0xD0, 0x5D}}},
      {"alarm 1 of 77 F below alarm 2",
       tag(3, 77, With(Fahrenheit(), [](auto& e) { e.alarm2 = 86; })),
       {{0x8A, 0x04, 0xE2, 0x6C}}},
      {"alarm 4", tag(6, 450), {{0x8D, 0x15, 0x7C, 0xE4}}},
      {"ambient fixed value 23.5", tag(7, 23.5), {{0x94, 0x04, 0xD3, 0x43}}},
      {"average time 2.5 s", tag(10, 2.5), {{0x86, 0x00, 0x19, 0x9F}}},
      {"hold time without a hold mode writes nothing",
       tag(11, 3.0, With(Celsius(), [](auto& e) { e.postProcItem = 1; })),
       {}},
      {"peak-hold time 1.0 s",
       tag(11, 1.0, With(Celsius(), [](auto& e) { e.postProcItem = 2; })),
       {{0x88, 0x00, 0x0A, 0x82}}},
      {"valley-hold time 1.0 s",
       tag(11, 1.0, With(Celsius(), [](auto& e) { e.postProcItem = 3; })),
       {{0x87, 0x00, 0x0A, 0x8D}}},
      {"advanced-hold hysteresis 9 F is 5 K", tag(13, 9.0, Fahrenheit()), {{0xA2, 0x00, 0x32, 0x90}}},
      {"offset 1.8 F is 1 K", tag(14, 1.8, Fahrenheit()), {{0xA6, 0x03, 0xF2, 0x57}}},
      {"alarm hysteresis 3.6 F is 2 K",
       tag(17, 3.6, With(Fahrenheit(), [](auto& e) { e.alarmHysteresis = true; })),
       {{0x4A, 0x14, 0x5E}}},
      {"no alarm hysteresis on a model without one", tag(17, 3.6, Fahrenheit()), {}},
      {"unit Fahrenheit", tag(16, 1), {{0x89, 0x00, 0x89}}},
      {"unit Celsius", tag(16, 0), {{0x89, 0x01, 0x88}}},
      {"Tags 0 and 18 write nothing",
       [](const TArgoConfig&) {
         ArgoSetupWrites w = Planner::Plan(0, 1.0, Celsius());
         const ArgoSetupWrites w18 = Planner::Plan(18, 1.0, Celsius());
         w.insert(w.end(), w18.begin(), w18.end());
         return w;
       },
       {}},
      {"emissivity fixed value",
       [](const TArgoConfig&) { return Selections::EmissivitySource(0); },
       {{0x95, 0x02, 0x97}}},
      {"emissivity from the table",
       [](const TArgoConfig&) { return Selections::EmissivitySource(2); },
       {{0x95, 0x03, 0x96}}},
      {"ambient internal",
       [](const TArgoConfig&) { return Selections::AmbientSource(0); },
       {{0x93, 0x03, 0x90}}},
      {"ambient fixed value",
       [](const TArgoConfig&) { return Selections::AmbientSource(2); },
       {{0x93, 0x02, 0x91}}},
      {"no ambient item writes nothing",
       [](const TArgoConfig&) { return Selections::AmbientSource(-1); },
       {}},
      {"smart averaging",
       [](const TArgoConfig&) { return Selections::SmartAveraging(true); },
       {{0x9C, 0x01, 0x9D}}},
      {"visual alarm 1 on TObj, closed",
       [](const TArgoConfig& c) {
         return Selections::AlarmMode(0, {0, 1, -1, -1}, c.AlarmMode[0]);
       },
       {{0xA8, 0x00, 0x20, 0x88}}},
      {"visual alarm 2 on TObj, open",
       [](const TArgoConfig& c) {
         return Selections::AlarmMode(1, {0, 0, -1, -1}, c.AlarmMode[1]);
       },
       {{0xA8, 0x01, 0x30, 0x99}}},
      {"output channel 1 analog 4..20 mA keeps its source",
       [](const TArgoConfig& c) {
         return Selections::AlarmMode(3, {-1, 0, 1, 3}, c.AlarmMode[3]);
       },
       {{0xA8, 0x03, 0x3B, 0x90}}},
      {"preset standard",
       [](const TArgoConfig& c) { return Selections::PresetStandard(c); },
       {{0xA8, 0x00, 0x20, 0x88},
        {0xA8, 0x01, 0x20, 0x89},
        {0x8A, 0x04, 0xE2, 0x6C},
        {0x8B, 0x05, 0x14, 0x9A}}},
      {"preset blue: the range ends in degrees C",
       [](const TArgoConfig& c) { return Selections::PresetBlue(c, -40.0f, 600.0f); },
       {{0xA8, 0x00, 0x30, 0x98},
        {0xA8, 0x01, 0x30, 0x99},
        {0x8A, 0x02, 0x58, 0xD0},
        {0x8B, 0x1B, 0x58, 0xC8}}},
      {"reset offset and gain",
       [](const TArgoConfig&) { return Selections::ResetOffsetGain(); },
       {{0xA6, 0x03, 0xE8, 0x4D}, {0xA7, 0x80, 0x00, 0x27}}},
      {"panel lock",
       [](const TArgoConfig& c) { return Selections::TogglePanelLock(c); },
       {{0x44, 0x01, 0x45}}},
      {"panel unlock",
       [](const TArgoConfig& c) { return Selections::TogglePanelLock(c); },
       {{0x44, 0x00, 0x44}}},
      {"OK with the address unchanged writes nothing",
       [](const TArgoConfig& c) { return Selections::Address(c.RS485Addr, c.RS485Addr); },
       {}},
      {"OK with a new address",
       [](const TArgoConfig& c) { return Selections::Address(5, c.RS485Addr); },
       {{0x90, 0x05, 0x95}}},
  };
  for (const WireCase& c : cases) {
    SCOPED_TRACE(c.name);
    model_->ClearRequests();
    const Outcome o = Write(c.writes(cache_));
    EXPECT_TRUE(o.ran);
    EXPECT_EQ(HexRequests(RequestBytes()), HexRequests(c.expected));
    EXPECT_TRUE(o.report.AllConfirmed()) << ArgoSetupSession::NotWrittenNames(o.report).toStdString();
    EXPECT_EQ(o.report.Items.size(), c.expected.size());
  }
  // The device holds what was written last, and so does the cache.
  const ArgoDeviceState s = State();
  EXPECT_EQ(s.emissivity, 100);
  EXPECT_EQ(s.alarm[0], 600);
  EXPECT_EQ(s.alarm[1], 7000);
  EXPECT_EQ(s.alarmMode[0], 0x30);
  EXPECT_EQ(s.alarmMode[3], 0x3B);
  EXPECT_EQ(s.panelLock, 0);
  EXPECT_EQ(s.busAddress, 5);
  EXPECT_EQ(s.unit, 1);
  EXPECT_EQ(cache_.RS485Addr, 5);
  EXPECT_FLOAT_EQ(cache_.TweakGain, 1.0f);
  EXPECT_FLOAT_EQ(cache_.Alarm[1], 600.0f);
}

// Leaving a post-processing mode remembers its times; coming back restores
// them, and a mode without a remembered time gets the defaults.
TEST_F(ArgoSetupSessionTest, PostProcessingModesRememberTheirTimes) {
  Open([](ArgoDeviceState& s) {
    s.averageTime = 0;
    s.peakHoldTime = 0;
    s.valleyHoldTime = 0;
  });
  ArgoSetupPostProcessing pp;
  const auto choose = [&](int item) {
    model_->ClearRequests();
    Write(pp.Choose(item, cache_.AverageTime, cache_.PeakHoldTime, cache_.ValleyHoldTime));
    return HexRequests(RequestBytes());
  };
  // Averaging with no time ever set: 0.2 s.
  EXPECT_EQ(choose(ArgoSetupPostProcessing::Averaging), HexRequests({{0x88, 0x00, 0x00, 0x88},
                                                                     {0x87, 0x00, 0x00, 0x87},
                                                                     {0x86, 0x00, 0x02, 0x84},
                                                                     {0x9D, 0x00, 0x9D}}));
  // The user sets 2.5 s, switches off and back: 2.5 s again.
  Write(Planner::Plan(10, 2.5, Celsius()));
  EXPECT_EQ(choose(ArgoSetupPostProcessing::Off), HexRequests({{0x86, 0x00, 0x00, 0x86},
                                                               {0x88, 0x00, 0x00, 0x88},
                                                               {0x87, 0x00, 0x00, 0x87},
                                                               {0x9D, 0x00, 0x9D}}));
  EXPECT_EQ(choose(ArgoSetupPostProcessing::Averaging), HexRequests({{0x88, 0x00, 0x00, 0x88},
                                                                     {0x87, 0x00, 0x00, 0x87},
                                                                     {0x86, 0x00, 0x19, 0x9F},
                                                                     {0x9D, 0x00, 0x9D}}));
  EXPECT_EQ(State().averageTime, 25);
  // Peak hold for the first time: 1.0 s, the average time stays.
  EXPECT_EQ(choose(ArgoSetupPostProcessing::PeakHold),
            HexRequests({{0x87, 0x00, 0x00, 0x87}, {0x88, 0x00, 0x0A, 0x82}, {0x9D, 0x00, 0x9D}}));
  // Valley hold switches peak hold off and remembers it.
  EXPECT_EQ(choose(ArgoSetupPostProcessing::ValleyHold),
            HexRequests({{0x88, 0x00, 0x00, 0x88}, {0x87, 0x00, 0x0A, 0x8D}, {0x9D, 0x00, 0x9D}}));
  EXPECT_FLOAT_EQ(pp.LastPeakHold(), 1.0f);
  // The advanced modes change no time.
  EXPECT_EQ(choose(ArgoSetupPostProcessing::AdvValleyHold), HexRequests({{0x9D, 0x02, 0x9F}}));
  EXPECT_EQ(choose(ArgoSetupPostProcessing::AdvPeakHold), HexRequests({{0x9D, 0x01, 0x9C}}));
  EXPECT_EQ(State().advancedHoldMode, 1);
  EXPECT_EQ(State().valleyHoldTime, 10);
}

// A write the device does not confirm is reported by name and leaves the
// cache as it was; a sequence cut short by the device going away says what
// reached it and what did not, and ends promptly.
TEST_F(ArgoSetupSessionTest, UnconfirmedWritesAreNamed) {
  Open();
  const TArgoConfig before = cache_;
  SetFaults([](ArgoFaults& f) { f.silent = true; });
  const Outcome silent = Write(Planner::Plan(1, 0.5, Celsius()));
  EXPECT_EQ(Items(silent.report), (std::vector<std::pair<QString, TArgoWriteResult>>{
                                      {QStringLiteral("EMISSIVITY"), TArgoWriteResult::Unconfirmed}}));
  EXPECT_TRUE(silent.report.DeviceLost);
  EXPECT_EQ(ArgoSetupSession::NotWrittenNames(silent.report), QStringLiteral("EMISSIVITY"));
  EXPECT_FLOAT_EQ(silent.config.Emissivity, before.Emissivity);
  EXPECT_FALSE(silent.connected);

  // A rejected value is no lost device: the rest of the sequence goes on.
  SetFaults([](ArgoFaults& f) { f.silent = false; });
  Write(Planner::Plan(1, 0.9, Celsius()));
  const Outcome rejected = Write({ArgoSetupWrite::Of(ArgoSetupWrite::Alarm2, 5000.0f),
                                  ArgoSetupWrite::Of(ArgoSetupWrite::Alarm1, 100.0f)});
  EXPECT_EQ(Items(rejected.report), (std::vector<std::pair<QString, TArgoWriteResult>>{
                                        {QStringLiteral("ALARM 2"), TArgoWriteResult::Rejected},
                                        {QStringLiteral("ALARM 1"), TArgoWriteResult::Confirmed}}));
  EXPECT_FALSE(rejected.report.DeviceLost);

  // The device vanishes on the preset's second write.
  model_->ClearRequests();
  SetFaults([](ArgoFaults& f) { f.vanishAfterRequests = 2; });
  QElapsedTimer t;
  t.start();
  const Outcome preset = Write(Selections::PresetStandard(cache_));
  EXPECT_LT(t.elapsed(), 5000);
  EXPECT_EQ(preset.report.Names(true), QStringList{QStringLiteral("ALARM MODE 0")});
  EXPECT_EQ(ArgoSetupSession::NotWrittenNames(preset.report),
            QStringLiteral("ALARM MODE 1, ALARM 1, ALARM 2"));
  EXPECT_TRUE(preset.report.DeviceLost);
  EXPECT_EQ(RequestBytes().size(), 2u);
}

// The material table and the head code go through the same writes; the
// device vanishing in the middle of the table's 32 exchanges is reported
// once, naming the table, and what followed was not sent.
TEST_F(ArgoSetupSessionTest, MaterialTableAndHeadCodeWrites) {
  Open();
  TArgoMaterialTable table = cache_.MaterialTable;
  table[0].Emiss = 0.5f;
  table[7].DevHi = 4;
  model_->ClearRequests();
  Outcome o = Write({ArgoSetupWrite::OfMaterialTable(table)});
  EXPECT_TRUE(o.report.AllConfirmed());
  EXPECT_EQ(RequestBytes().size(), 32u);
  EXPECT_EQ(RequestBytes().front(), (Bytes{0xA3, 0x00, 0x01, 0xF4, 0x56}));
  EXPECT_EQ(o.config.MaterialTable[7].DevHi, 4);

  o = Write({ArgoSetupWrite::OfHeadCode(
      TArgoHeadCodeShort{QStringLiteral("0001"), QStringLiteral("0002"), QStringLiteral("v")})});
  EXPECT_TRUE(o.report.AllConfirmed());
  EXPECT_EQ(State().headCode[2], 31u);
  EXPECT_EQ(o.config.HeadCodeShort[2], QStringLiteral("000V"));

  table[3].Emiss = 0.25f;
  model_->ClearRequests();
  SetFaults([](ArgoFaults& f) { f.vanishAfterRequests = 10; });
  o = Write({ArgoSetupWrite::OfMaterialTable(table), ArgoSetupWrite::Of(ArgoSetupWrite::Emissivity, 0.9f)});
  EXPECT_EQ(Items(o.report), (std::vector<std::pair<QString, TArgoWriteResult>>{
                                 {QStringLiteral("MATERIAL TABLE"), TArgoWriteResult::Unconfirmed},
                                 {QStringLiteral("EMISSIVITY"), TArgoWriteResult::NotAttempted}}));
  EXPECT_EQ(RequestBytes().size(), 10u);
}

// Cancel after several edits writes back exactly what changed and leaves
// the device as it was at opening.
TEST_F(ArgoSetupSessionTest, CancelRestoresTheOpeningState) {
  Open();
  const ArgoDeviceState atOpen = State();
  const TArgoConfig configAtOpen = cache_;
  Write(Planner::Plan(1, 0.8, Celsius()));
  Write(Planner::Plan(3, 300, With(Celsius(), [](auto& e) { e.alarm2 = 200; })));
  Write(Selections::PresetStandard(cache_));
  Write(Selections::TogglePanelLock(cache_));
  Write(Planner::Plan(16, 1, Celsius()));
  Write(Planner::Plan(14, 2.0, Fahrenheit()));
  ASSERT_NE(State(), atOpen);

  std::vector<QString> progress;
  family_->OnProgress = [&](int, const QString& caption) { progress.push_back(caption); };
  model_->ClearRequests();
  const Outcome o =
      Run([&](ArgoSetupSession& s, ArgoSetupSession::Done done) { s.Restore(configAtOpen, done); });
  EXPECT_TRUE(o.report.AllConfirmed()) << ArgoSetupSession::NotWrittenNames(o.report).toStdString();
  EXPECT_EQ(o.report.Names(true),
            (QStringList{QStringLiteral("EMISSIVITY"), QStringLiteral("ALARM 1"), QStringLiteral("ALARM 2"),
                         QStringLiteral("ALARM MODE 0"), QStringLiteral("ALARM MODE 1"),
                         QStringLiteral("TEMP. UNIT"), QStringLiteral("TWEAK OFFSET"),
                         QStringLiteral("PANEL LOCK")}));
  EXPECT_EQ(RequestBytes().size(), 8u);
  EXPECT_EQ(State(), atOpen);
  ASSERT_TRUE(WaitForEvents([&] { return !progress.empty() && progress.back() == QStringLiteral("READY"); }));
  EXPECT_EQ(progress.front(), QStringLiteral("WRITE EMISSIVITY"));
  family_->OnProgress = nullptr;  // `progress` goes now; the family lives on to TearDown
}

// The device vanishes while Cancel writes back: the report names what did
// and did not reach it, and Cancel ends without waiting for the rest.
TEST_F(ArgoSetupSessionTest, CancelOnAVanishingDeviceSaysWhatWasNotWritten) {
  Open();
  const TArgoConfig configAtOpen = cache_;
  Write(Planner::Plan(1, 0.8, Celsius()));
  Write(Planner::Plan(14, 2.0, Celsius()));
  Write(Planner::Plan(6, 450, Celsius()));
  Write(Selections::TogglePanelLock(cache_));
  SetFaults([](ArgoFaults& f) { f.vanishAfterRequests = 2; });
  QElapsedTimer t;
  t.start();
  const Outcome o =
      Run([&](ArgoSetupSession& s, ArgoSetupSession::Done done) { s.Restore(configAtOpen, done); });
  EXPECT_LT(t.elapsed(), 5000);
  EXPECT_TRUE(o.report.DeviceLost);
  EXPECT_EQ(o.report.Names(true), QStringList{QStringLiteral("EMISSIVITY")});
  EXPECT_EQ(ArgoSetupSession::NotWrittenNames(o.report), QStringLiteral("ALARM 4, TWEAK OFFSET, PANEL LOCK"));
}

// The dialog cancels Cancel's write-back while its first exchange is
// under way: nothing more goes out and the report names the rest.
TEST_F(ArgoSetupSessionTest, ASequenceCanBeCancelledBetweenExchanges) {
  Open();
  const TArgoConfig configAtOpen = cache_;
  Write(Planner::Plan(1, 0.8, Celsius()));
  Write(Planner::Plan(14, 2.0, Celsius()));
  model_->ClearRequests();
  // The emulator holds the first request until the cancel was made, so the
  // cancel lands inside the first exchange. Whether that write was still
  // confirmed depends on whether the driver saw its reply or the cancel
  // first; nothing after it is attempted either way.
  model_->HoldNextRequest();
  std::optional<Outcome> out;
  setup_->Restore(configAtOpen, [&](const Outcome& o) { out = o; });
  EXPECT_TRUE(setup_->Busy());
  ASSERT_TRUE(WaitForEvents([&] { return model_->Holding(); }, 5000));
  setup_->CancelSequence();
  model_->Release();
  ASSERT_TRUE(WaitForEvents([&] { return out.has_value(); }, 5000));
  EXPECT_FALSE(setup_->Busy());
  ASSERT_TRUE(out->ran);
  EXPECT_TRUE(out->report.Cancelled);
  EXPECT_FALSE(out->report.DeviceLost);
  const auto items = Items(out->report);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].first, QStringLiteral("EMISSIVITY"));
  EXPECT_TRUE(items[0].second == TArgoWriteResult::Confirmed ||
              items[0].second == TArgoWriteResult::Unconfirmed);
  EXPECT_EQ(items[1], (std::pair<QString, TArgoWriteResult>{QStringLiteral("TWEAK OFFSET"),
                                                            TArgoWriteResult::NotAttempted}));
  // The held request reaches the emulator's log once it was let through;
  // the job has ended, so nothing can follow it.
  EXPECT_TRUE(WaitForEvents([&] { return model_->RequestCount() >= 1; }, 5000));
  EXPECT_EQ(model_->RequestCount(), 1u);
}

}  // namespace
}  // namespace argotest
