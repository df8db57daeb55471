#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include "drivers/argo/pyreon_argo.h"
#include "setup_argo/argo_device_setup_dlg.h"
#include "setup_argo/argo_device_setup_view.h"
#include "setup_argo/argo_head_param_dlg.h"
#include "setup_argo/mat_table_dlg.h"
#include "setup_common/adjust_slope_dlg.h"
#include "tests/setup_argo/argo_session_fixture.h"
#include "ui/d_spin_edit.h"
#include "ui/radio_group.h"

namespace {

using test_support::EventPump;

// Waits with a real event loop, so the program's idle handlers run as they
// do in the dialog's own loop.
bool WaitForEvents(const std::function<bool()>& done, int timeoutMs = 5000) {
  return test_support::WaitForEvents(done, timeoutMs, EventPump::EventLoop);
}
void Pump(int ms) {
  WaitForEvents([] { return false; }, ms);
}
using View = ArgoDeviceSetupView;
using Bytes = std::vector<std::uint8_t>;

// A request with its XOR checksum appended.
Bytes Req(Bytes bytes) {
  std::uint8_t x = 0;
  for (std::uint8_t b : bytes) x ^= b;
  bytes.push_back(x);
  return bytes;
}

// Temperature word of the wire: tenths above -100 °C.
std::uint16_t Word(double celsius) { return static_cast<std::uint16_t>(std::lround(celsius * 10 + 1000)); }

// --- The view rules, without a display -------------------------------------------

TEST(ArgoDeviceSetupView, ItemMapsLeaveValuesWithoutAnItemUnselected) {
  // Emissivity source 0 external, 1 fixed, 2 table; 3 has no item.
  const int emissivity[] = {1, 0, 2, -1};
  const int ambient[] = {1, 2, 0, -1};
  for (std::uint8_t v = 0; v < 4; ++v) {
    EXPECT_EQ(View::EmissivityItem(v), emissivity[v]) << int(v);
    EXPECT_EQ(View::AmbientItem(v), ambient[v]) << int(v);
    if (emissivity[v] >= 0) {
      EXPECT_EQ(View::EmissivitySourceForItem(emissivity[v]), v);
    }
    if (ambient[v] >= 0) {
      EXPECT_EQ(View::AmbientSourceForItem(ambient[v]), v);
    }
  }
  EXPECT_EQ(View::EmissivitySourceForItem(-1), -1);
  EXPECT_EQ(View::SourceItem(2), 2);
  EXPECT_EQ(View::SourceItem(3), -1);
  EXPECT_EQ(View::OutputModeItem(5), 5);
  EXPECT_EQ(View::OutputModeItem(6), -1);
  EXPECT_EQ(View::OutputModeItem(7), -1);
  EXPECT_EQ(View::RangeItem(1), 1);
  EXPECT_EQ(View::RangeItem(2), -1);
}

TEST(ArgoDeviceSetupView, PostProcessingModeFromTheCache) {
  struct Case {
    std::uint8_t adv;
    float peak, valley;
    std::optional<float> avg;
    std::optional<int> item;
  };
  const Case cases[] = {
      {1, 0, 0, {}, View::ppAdvPeakHold},   {2, 5, 0, {}, View::ppAdvValleyHold},
      {3, 0, 0, {}, View::ppOff},           {7, 1, 1, 2.0f, View::ppOff},
      {0, 1.5f, 0, 0.0f, View::ppPeakHold}, {0, 0, 2, {}, View::ppValleyHold},
      {0, 0, 0, 0.0f, View::ppOff},         {0, 0, 0, 0.5f, View::ppAveraging},
      {0, 0, 0, {}, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(View::PostProcMode(c.adv, c.peak, c.valley, c.avg), c.item)
        << int(c.adv) << " " << c.peak << " " << c.valley;
  }
  EXPECT_TRUE(View::PostProcNeedsAverageTime(0, 0, 0));
  EXPECT_FALSE(View::PostProcNeedsAverageTime(0, 1, 0));
  EXPECT_FALSE(View::PostProcNeedsAverageTime(3, 0, 0));
}

TEST(ArgoDeviceSetupView, TimeResolutionAndFirmwareRules) {
  TArgoModelInfo ms, tenMs, plain;
  ms.Time_in_ms = true;
  tenMs.Time_in_10ms = true;
  EXPECT_EQ(View::TimeResolution(ms).decimals, 3);
  EXPECT_DOUBLE_EQ(View::TimeResolution(ms).increment, 0.001);
  EXPECT_EQ(View::TimeResolution(tenMs).decimals, 2);
  EXPECT_EQ(View::TimeResolution(plain).decimals, 1);
  EXPECT_DOUBLE_EQ(View::TimeResolution(plain).increment, 0.1);
  EXPECT_EQ(View::AvgTimeStep(ms, 2.5).decimals, 1);
  EXPECT_EQ(View::AvgTimeStep(ms, 0.05).decimals, 3);

  const std::pair<int, std::array<bool, 3>> firmware[] = {
      // boxes 4-5 shown, single output, panel lock
      {1010, {false, false, false}}, {1011, {false, false, true}},  {1999, {false, false, true}},
      {2000, {true, false, true}},   {2399, {true, false, true}},   {2400, {true, true, true}},
      {2499, {true, true, true}},    {2500, {true, false, true}},   {3000, {true, false, true}},
      {3001, {false, false, true}},  {65535, {false, false, true}},
  };
  for (const auto& [fw, rules] : firmware) {
    EXPECT_EQ(View::ShowsLargeHeadBoxes(fw), rules[0]) << fw;
    EXPECT_EQ(View::SingleOutputFirmware(fw), rules[1]) << fw;
    EXPECT_EQ(View::HasPanelLock(fw), rules[2]) << fw;
  }
}

TEST(ArgoDeviceSetupView, RangesInTheDisplayUnit) {
  const View::Ranges c = View::TemperatureRanges(1000, false);
  EXPECT_DOUBLE_EQ(c.alarm.min, -50);
  EXPECT_DOUBLE_EQ(c.alarm.max, 1000);
  EXPECT_DOUBLE_EQ(c.ambHigh.min, -40);
  EXPECT_DOUBLE_EQ(c.ambient.max, 3000);
  EXPECT_DOUBLE_EQ(c.alarmHysteresis.max, 20);
  const View::Ranges f = View::TemperatureRanges(1000, true);
  EXPECT_NEAR(f.alarm.min, -58, 1e-3);
  EXPECT_NEAR(f.alarm.max, 1832, 1e-3);
  // The alarm hysteresis is a difference: 0..36 °F, not 32..68.
  EXPECT_NEAR(f.alarmHysteresis.min, 0, 1e-6);
  EXPECT_NEAR(f.alarmHysteresis.max, 36, 1e-3);
  EXPECT_DOUBLE_EQ(View::AlarmIncrement(999.9, false), 0.1);
  EXPECT_DOUBLE_EQ(View::AlarmIncrement(999.9, true), 0.2);
  EXPECT_DOUBLE_EQ(View::AlarmIncrement(1000, true), 1.0);
}

TEST(ArgoDeviceSetupView, EnabledStatesAndMaterialTableUse) {
  const View::Enabled e = View::EnabledStates(0, 2, 4, 0, 1, 3);
  EXPECT_TRUE(e.emissivity);
  EXPECT_FALSE(e.matTable);
  EXPECT_TRUE(e.ambientValue);
  EXPECT_FALSE(e.ambientRange);
  EXPECT_TRUE(e.avgTime);
  EXPECT_FALSE(e.holdTime);
  EXPECT_TRUE(e.advHold);
  EXPECT_TRUE(e.channel2Digital);
  EXPECT_FALSE(e.channel1Digital);
  EXPECT_TRUE(e.adjustSlope);
  EXPECT_FALSE(View::EnabledStates(2, 1, 0, 1, 1, 4).adjustSlope);  // thermocouple
  EXPECT_FALSE(View::EnabledStates(2, 1, 0, 1, 1, -1).adjustSlope);
  EXPECT_FALSE(View::EnabledStates(2, 1, 0, 1, 1, 0).avgTime);

  TArgoConfig c;
  for (auto& row : c.MaterialTable) row.DevLo = row.DevHi = 4;
  c.MaterialTable[5].DevHi = 3;
  c.EmissivitySource = 1;
  EXPECT_EQ(View::UsedByMaterialTable(c), (std::array<bool, 4>{false, false, false, false}));
  c.EmissivitySource = 2;
  EXPECT_EQ(View::UsedByMaterialTable(c), (std::array<bool, 4>{false, false, false, true}));
}

// --- The dialog on an emulated device -------------------------------------------------

class ArgoDeviceSetupDlgTest : public argotest::ArgoSessionTest {
 public:
  void TearDown() override {
    dlg_.reset();
    ArgoSessionTest::TearDown();
  }

  // Connects, reads everything as the main window does before showing,
  // and shows the dialog on `page` until its snapshot arrived.
  void Open(const std::function<void(ArgoDeviceState&)>& change = {}, int page = 0) {
    StartSession([&](ArgoDeviceState& s) {
      s.alarm = {Word(25), Word(30), Word(200), Word(300)};
      s.f3Temp1 = Word(100);
      s.f3Temp2 = Word(105);
      s.alarmMode = {0x30, 0x30, 0x30, 0x30};
      s.emissivity = 900;
      s.transmission = 1000;
      s.tweakGain = 32768;
      s.tweakOffset = Word(0);
      s.emissivitySource = 2;  // fixed value: the emissivity edit takes input
      if (change) change(s);
    });
    RunOnSession([](TpyreonArgo& d) { d.ReadAllParameters(false); });
    model_->ClearRequests();
    opening_ = State();
    dlg_ = std::make_unique<TArgoDeviceSetupDlg>();
    dlg_->SetDevice(family_.get());
    dlg_->ShowMessage = [this](const QString& text) { messages_.push_back(text); };
    dlg_->SetActivePage(page);
    dlg_->show();
    dlg_->activateWindow();
    ASSERT_TRUE(WaitForEvents([&] { return !dlg_->DeviceWorkPending() && dlg_->isActiveWindow(); }, 10000));
  }

  std::vector<Bytes> Setters() const {
    std::vector<Bytes> out;
    for (const auto& r : model_->Requests()) {
      if (r.name.startsWith(QLatin1String("Set")) || r.name == QLatin1String("ResetLoopOutput")) {
        out.push_back(r.bytes);
      }
    }
    return out;
  }
  std::vector<QString> SetterNames() const {
    std::vector<QString> out;
    for (const auto& r : model_->Requests()) {
      if (r.name.startsWith(QLatin1String("Set"))) out.push_back(r.name);
    }
    return out;
  }
  bool Settled() {
    return WaitForEvents([&] { return !dlg_->WritePending() && !dlg_->DeviceWorkPending() && WaitIdleNow(); },
                         10000);
  }
  bool WaitIdleNow() const { return !family_->Busy(); }

  // Types `text` into `edit` and leaves it, which writes at once.
  void TypeAndLeave(TDSpinEdit* edit, const QString& text) {
    ShowPageOf(edit);
    edit->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(WaitForEvents([&] { return edit->hasFocus(); }));
    edit->setText(text);
    dlg_->btnSave->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(WaitForEvents([&] { return dlg_->btnSave->hasFocus(); }));
    ASSERT_TRUE(Settled());
  }
  void ShowPageOf(QWidget* control) {
    for (int i = 0; i < dlg_->ArgoDeviceSetup_PageControl->count(); ++i) {
      if (dlg_->ArgoDeviceSetup_PageControl->widget(i)->isAncestorOf(control)) dlg_->SetActivePage(i);
    }
  }
  void Reopen() {
    dlg_->reject();
    dlg_->show();
    dlg_->activateWindow();
    ASSERT_TRUE(WaitForEvents([&] { return !dlg_->DeviceWorkPending() && dlg_->isActiveWindow(); }, 10000));
  }
  void Choose(QComboBox* combo, int item) {
    ShowPageOf(combo);
    combo->setCurrentIndex(item);
    Q_EMIT combo->activated(item);
    ASSERT_TRUE(Settled());
  }

  std::unique_ptr<TArgoDeviceSetupDlg> dlg_;
  std::vector<QString> messages_;
  ArgoDeviceState opening_;
};

TEST_F(ArgoDeviceSetupDlgTest, OpeningAndRefreshingEveryPageWriteNothing) {
  // A gain the edit cannot show exactly, and hold times and an alarm
  // hysteresis the edits would round: loading them must not write them.
  Open(
      [](ArgoDeviceState& s) {
        s.tweakGain = 33171;  // 1.012298
        s.alarmHysteresis = 0;
        s.unit = 0;  // the device shows °F
      },
      2);
  EXPECT_EQ(dlg_->stFirmware->text(), QStringLiteral("2510"));
  for (int page : {2, 0, 1, 2}) {
    dlg_->SetActivePage(page);
    const int before = dlg_->RefreshCount();
    ASSERT_TRUE(WaitForEvents([&] { return dlg_->RefreshCount() >= before + 2; }, 10000)) << page;
  }
  EXPECT_TRUE(dlg_->btnOK->isEnabled());
  EXPECT_FALSE(dlg_->WritePending());
  EXPECT_TRUE(SetterNames().empty()) << SetterNames().front().toStdString();
  // Every temperature in °F, the hysteresis as a difference with its unit.
  EXPECT_EQ(dlg_->seAlarm1->text(), QStringLiteral("77.0"));
  EXPECT_EQ(dlg_->TempLbl[0]->text(), QStringLiteral(" [°F]:"));
  EXPECT_EQ(dlg_->lblAlHystUnit->text(), QStringLiteral(" [°F]:"));
  EXPECT_NEAR(dlg_->seAlHyst->MaxValue(), 36, 1e-3);
  EXPECT_EQ(dlg_->seAlHyst->text(), QStringLiteral("0.0"));
  EXPECT_EQ(dlg_->rgTempUnit->ItemIndex(), 1);
}

TEST_F(ArgoDeviceSetupDlgTest, RefreshFollowsTheDeviceAndPausesWhileItDoesNotAnswer) {
  Open({}, 0);
  // A change made behind the dialog's back reaches the snapshot through a read.
  SetState([](ArgoDeviceState& s) { s.emissivity = 800; });
  RunOnSession([](TpyreonArgo& d) { d.GetEmissivity(); });
  ASSERT_TRUE(WaitForEvents([&] { return dlg_->seEmissivity->text() == QStringLiteral("0.800"); }, 10000));

  int callbacks = 0;
  bool unit = true;
  dlg_->FOnSettingsChanged = [&](QObject* sender, bool fahrenheit) {
    EXPECT_EQ(sender, dlg_.get());
    unit = fahrenheit;
    ++callbacks;
  };
  ASSERT_TRUE(WaitForEvents([&] { return callbacks >= 2; }, 10000));
  EXPECT_FALSE(unit);
  // Bounded rate: a second of idle time gives a handful of refreshes, not thousands.
  const int before = dlg_->RefreshCount();
  Pump(1000);
  const int perSecond = dlg_->RefreshCount() - before;
  EXPECT_GE(perSecond, 1);
  EXPECT_LE(perSecond, 1000 / TArgoDeviceSetupDlg::kRefreshMs + 1);

  // The device stops answering: once the driver says so, no refresh starts.
  SetFaults([](ArgoFaults& f) { f.silent = true; });
  RunOnSession([](TpyreonArgo& d) { d.GetEmissivity(); });
  ASSERT_TRUE(WaitForEvents([&] { return !family_->Snapshot().Connected; }, 10000));
  const int stopped = dlg_->RefreshCount();
  Pump(3 * TArgoDeviceSetupDlg::kRefreshMs);
  EXPECT_EQ(dlg_->RefreshCount(), stopped);
}

TEST_F(ArgoDeviceSetupDlgTest, FirmwareRulesOnTheForm) {
  Open([](ArgoDeviceState& s) { s.firmware = 2450; }, 1);
  EXPECT_FALSE(dlg_->gbOutputChannel2->isVisible());
  EXPECT_FALSE(dlg_->gbPresets->isVisible());
  EXPECT_TRUE(dlg_->stHeadParam[4]->isVisibleTo(dlg_->TabSheetAdvanced));
  EXPECT_TRUE(dlg_->sbtnPanelLock->isEnabled());
  // Millisecond times on this model.
  EXPECT_EQ(dlg_->seAvgTime->Decimal(), 3);
  EXPECT_TRUE(dlg_->seAlHyst->isVisibleTo(dlg_->TabSheetOutput));
}

TEST_F(ArgoDeviceSetupDlgTest, OldFirmwareLocksThePanelButtonAndShowsTheShortCode) {
  Open(
      [](ArgoDeviceState& s) {
        s.firmware = 1010;
        s.panelLock = 1;
      },
      2);
  EXPECT_FALSE(dlg_->sbtnPanelLock->isEnabled());
  EXPECT_FALSE(dlg_->sbtnPanelLock->isChecked());
  EXPECT_FALSE(dlg_->stHeadParam[3]->isVisibleTo(dlg_->TabSheetAdvanced));
  EXPECT_TRUE(dlg_->gbOutputChannel2->isVisibleTo(dlg_->TabSheetOutput));
  EXPECT_TRUE(dlg_->gbPresets->isVisibleTo(dlg_->TabSheetOutput));
}

TEST_F(ArgoDeviceSetupDlgTest, EditsAndChoicesReachTheDeviceAsOnTheWire) {
  struct Case {
    const char* what;
    std::function<void(ArgoDeviceSetupDlgTest&, TArgoDeviceSetupDlg&)> act;
    std::vector<Bytes> wire;
  };
  const auto type = [](TDSpinEdit* TArgoDeviceSetupDlg::*edit, QString text) {
    return [edit, text](ArgoDeviceSetupDlgTest& t, TArgoDeviceSetupDlg& d) { t.TypeAndLeave(d.*edit, text); };
  };
  const Case cases[] = {
      {"emissivity",
       type(&TArgoDeviceSetupDlg::seEmissivity, QStringLiteral("0.95")),
       {{0x84, 0x03, 0xB6, 0x31}}},
      {"emissivity clamped high",
       type(&TArgoDeviceSetupDlg::seEmissivity, QStringLiteral("1.2")),
       {{0x84, 0x04, 0x4C, 0xCC}}},
      {"emissivity clamped low",
       type(&TArgoDeviceSetupDlg::seEmissivity, QStringLiteral("0.05")),
       {{0x84, 0x00, 0x64, 0xE0}}},
      {"alarm 1 above alarm 2 raises alarm 2",
       type(&TArgoDeviceSetupDlg::seAlarm1, QStringLiteral("40")),
       {Req({0x8A, 0x05, 0x78}), Req({0x8B, 0x05, 0x78})}},
      {"alarm 2 below alarm 1 lowers alarm 1",
       type(&TArgoDeviceSetupDlg::seAlarm2, QStringLiteral("20")),
       {Req({0x8B, 0x04, 0xB0}), Req({0x8A, 0x04, 0xB0})}},
      {"ambient span of 10 K",
       type(&TArgoDeviceSetupDlg::seAmbLoRangeTemp, QStringLiteral("100")),
       {{0xAB, 0x07, 0x9E, 0x32}}},
      {"offset", type(&TArgoDeviceSetupDlg::seOffset, QStringLiteral("1.5")), {Req({0xA6, 0x03, 0xF7})}},
      {"emissivity source fixed",
       [](ArgoDeviceSetupDlgTest& t, TArgoDeviceSetupDlg& d) { t.Choose(d.cbEmissivityMode, 0); },
       {{0x95, 0x02, 0x97}}},
      {"ambient source internal",
       [](ArgoDeviceSetupDlgTest& t, TArgoDeviceSetupDlg& d) { t.Choose(d.cbAmbientSource, 0); },
       {{0x93, 0x03, 0x90}}},
      {"visual alarm 1 closed",
       [](ArgoDeviceSetupDlgTest& t, TArgoDeviceSetupDlg& d) {
         d.rgNormally1->SetItemIndex(1);
         ASSERT_TRUE(t.Settled());
       },
       {{0xA8, 0x00, 0x20, 0x88}}},
      {"preset standard",
       [](ArgoDeviceSetupDlgTest& t, TArgoDeviceSetupDlg& d) {
         d.btnPresetStandard->click();
         ASSERT_TRUE(t.Settled());
       },
       {{0xA8, 0x00, 0x20, 0x88},
        {0xA8, 0x01, 0x20, 0x89},
        {0x8A, 0x04, 0xE2, 0x6C},
        {0x8B, 0x05, 0x14, 0x9A}}},
      {"preset blue: the model's range ends, unconverted",
       [](ArgoDeviceSetupDlgTest& t, TArgoDeviceSetupDlg& d) {
         d.FRangeLow = -20;
         d.FRangeHigh = 500;
         d.btnPresetBlue->click();
         ASSERT_TRUE(t.Settled());
       },
       {{0xA8, 0x00, 0x30, 0x98},
        {0xA8, 0x01, 0x30, 0x99},
        Req({0x8A, 0x03, 0x20}),
        Req({0x8B, 0x17, 0x70})}},
      {"reset offset and gain",
       [](ArgoDeviceSetupDlgTest& t, TArgoDeviceSetupDlg& d) {
         d.btnResetOffsetGain->click();
         ASSERT_TRUE(t.Settled());
       },
       {{0xA6, 0x03, 0xE8, 0x4D}, {0xA7, 0x80, 0x00, 0x27}}},
      {"unit Fahrenheit",
       [](ArgoDeviceSetupDlgTest& t, TArgoDeviceSetupDlg& d) {
         d.rgTempUnit->SetItemIndex(1);
         ASSERT_TRUE(WaitForEvents([&] { return d.WritePending(); }));
         d.btnSave->setFocus(Qt::TabFocusReason);
         ASSERT_TRUE(WaitForEvents([&] { return !d.WritePending(); }, 5000));
         ASSERT_TRUE(t.Settled());
       },
       {{0x89, 0x00, 0x89}}},
  };
  Open({}, 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // Each case starts from the opening state.
    model_->SetState(opening_);
    RunOnSession([](TpyreonArgo& d) { d.ReadAllParameters(false); });
    Reopen();
    model_->ClearRequests();
    c.act(*this, *dlg_);
    EXPECT_EQ(Setters(), c.wire);
    EXPECT_TRUE(messages_.empty()) << messages_.front().toStdString();
    messages_.clear();
    EXPECT_TRUE(dlg_->btnOK->isEnabled());
  }
}

TEST_F(ArgoDeviceSetupDlgTest, PanelLockTogglesAndShowsTheDeviceState) {
  Open([](ArgoDeviceState& s) { s.firmware = 1500; }, 2);
  EXPECT_FALSE(dlg_->sbtnPanelLock->isChecked());
  dlg_->sbtnPanelLock->click();
  ASSERT_TRUE(Settled());
  EXPECT_EQ(Setters(), (std::vector<Bytes>{{0x44, 0x01, 0x45}}));
  EXPECT_TRUE(dlg_->sbtnPanelLock->isChecked());
  EXPECT_EQ(dlg_->sbtnPanelLock->text(), QStringLiteral("Locked"));
  dlg_->sbtnPanelLock->click();
  ASSERT_TRUE(Settled());
  EXPECT_EQ(Setters().back(), (Bytes{0x44, 0x00, 0x44}));
  EXPECT_EQ(dlg_->sbtnPanelLock->text(), QStringLiteral("Unlocked"));
  EXPECT_TRUE(messages_.empty());
}

TEST_F(ArgoDeviceSetupDlgTest, PostProcessingRemembersItsTimes) {
  Open(
      [](ArgoDeviceState& s) {
        s.averageTime = 0;
        s.peakHoldTime = 0;
        s.valleyHoldTime = 0;
      },
      0);
  EXPECT_EQ(dlg_->cbPostProcMode->currentIndex(), View::ppOff);
  const auto choose = [&](int item) { Choose(dlg_->cbPostProcMode, item); };
  // Averaging with no time ever set writes 0.2 s.
  choose(View::ppAveraging);
  EXPECT_NEAR(dlg_->Cache().AverageTime, 0.2, 1e-4);
  TypeAndLeave(dlg_->seAvgTime, QStringLiteral("2.5"));
  EXPECT_NEAR(dlg_->Cache().AverageTime, 2.5, 1e-4);
  choose(View::ppOff);
  EXPECT_EQ(dlg_->Cache().AverageTime, 0.0f);
  choose(View::ppAveraging);
  EXPECT_NEAR(dlg_->Cache().AverageTime, 2.5, 1e-4);
  // The first peak hold writes 1.0 s, the valley hold off, the mode 0.
  model_->ClearRequests();
  choose(View::ppPeakHold);
  EXPECT_NEAR(dlg_->Cache().PeakHoldTime, 1.0, 1e-4);
  EXPECT_EQ(Setters(),
            (std::vector<Bytes>{{0x87, 0x00, 0x00, 0x87}, {0x88, 0x00, 0x0A, 0x82}, {0x9D, 0x00, 0x9D}}));
  model_->ClearRequests();
  choose(View::ppAdvValleyHold);
  EXPECT_EQ(SetterNames(), (std::vector<QString>{QStringLiteral("SetAdvancedHoldMode")}));
  EXPECT_EQ(State().advancedHoldMode, 2);
}

TEST_F(ArgoDeviceSetupDlgTest, ATypedValueIsWrittenOnceAfterTheDelay) {
  Open({}, 0);
  dlg_->seEmissivity->setFocus(Qt::TabFocusReason);
  ASSERT_TRUE(WaitForEvents([&] { return dlg_->seEmissivity->hasFocus(); }));
  QElapsedTimer clock;
  clock.start();
  dlg_->seEmissivity->setText(QStringLiteral("0.9"));
  dlg_->seEmissivity->setText(QStringLiteral("0.95"));
  EXPECT_FALSE(dlg_->btnOK->isEnabled());
  ASSERT_TRUE(WaitForEvents([&] { return !Setters().empty(); }, 10000));
  EXPECT_GE(clock.elapsed(), TArgoDeviceSetupDlg::kWriteDelayMs - 10);
  ASSERT_TRUE(Settled());
  EXPECT_EQ(Setters(), (std::vector<Bytes>{{0x84, 0x03, 0xB6, 0x31}}));
  EXPECT_TRUE(dlg_->btnOK->isEnabled());
}

TEST_F(ArgoDeviceSetupDlgTest, EscDropsAPendingChangeAndCancelRestoresTheOpeningState) {
  Open({}, 0);
  TypeAndLeave(dlg_->seEmissivity, QStringLiteral("0.5"));
  TypeAndLeave(dlg_->seTransmissivity, QStringLiteral("0.7"));
  Choose(dlg_->cbAmbientSource, 0);
  dlg_->SetActivePage(1);
  TypeAndLeave(dlg_->seAlarm3, QStringLiteral("150"));
  dlg_->rgNormally2->SetItemIndex(1);
  ASSERT_TRUE(Settled());
  EXPECT_NE(State(), opening_);
  // A change still pending when Esc is pressed never reaches the device.
  dlg_->seAlarm4->setFocus(Qt::TabFocusReason);
  ASSERT_TRUE(WaitForEvents([&] { return dlg_->seAlarm4->hasFocus(); }));
  dlg_->seAlarm4->setText(QStringLiteral("333"));
  ASSERT_TRUE(dlg_->WritePending());
  QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(dlg_.get(), &esc);
  ASSERT_TRUE(WaitForEvents([&] { return !dlg_->isVisible(); }, 20000));
  EXPECT_EQ(dlg_->result(), QDialog::Rejected);
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(State(), opening_);
  EXPECT_TRUE(messages_.empty());
}

TEST_F(ArgoDeviceSetupDlgTest, OkWritesTheAddressOnlyWhenChanged) {
  Open({}, 2);
  dlg_->btnOK->click();
  ASSERT_TRUE(WaitForEvents([&] { return !dlg_->isVisible(); }, 10000));
  EXPECT_EQ(dlg_->result(), QDialog::Accepted);
  EXPECT_TRUE(Setters().empty());

  dlg_->show();
  ASSERT_TRUE(WaitForEvents([&] { return !dlg_->DeviceWorkPending(); }, 10000));
  dlg_->seAddress->setValue(5);
  dlg_->btnOK->click();
  ASSERT_TRUE(WaitForEvents([&] { return !dlg_->isVisible(); }, 10000));
  EXPECT_EQ(Setters(), (std::vector<Bytes>{{0x90, 0x05, 0x95}}));
}

TEST_F(ArgoDeviceSetupDlgTest, AnEmptiedEditWritesNothingAndNeverWedgesTheDialog) {
  Open({}, 0);
  TypeAndLeave(dlg_->seEmissivity, QString());
  EXPECT_TRUE(Setters().empty());
  EXPECT_EQ(dlg_->seEmissivity->text(), QStringLiteral("0.900"));
  EXPECT_TRUE(dlg_->btnOK->isEnabled());
  // Still usable: the next edit is written and the refresh goes on.
  TypeAndLeave(dlg_->seEmissivity, QStringLiteral("0.95"));
  EXPECT_EQ(Setters(), (std::vector<Bytes>{{0x84, 0x03, 0xB6, 0x31}}));
  const int before = dlg_->RefreshCount();
  ASSERT_TRUE(WaitForEvents([&] { return dlg_->RefreshCount() > before; }, 10000));
}

TEST_F(ArgoDeviceSetupDlgTest, ADeviceVanishingAfterAnEditGivesOneMessageAndKeepsTheValue) {
  Open({}, 0);
  SetFaults([](ArgoFaults& f) { f.vanishAfterRequests = 1; });
  TypeAndLeave(dlg_->seEmissivity, QStringLiteral("0.55"));
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_TRUE(messages_[0].contains(QStringLiteral("Emissivity"), Qt::CaseInsensitive))
      << messages_[0].toStdString();
  EXPECT_EQ(dlg_->NotWritten(), (std::set<int>{1}));
  EXPECT_EQ(dlg_->seEmissivity->text(), QStringLiteral("0.55"));
  Pump(3 * TArgoDeviceSetupDlg::kRefreshMs);
  EXPECT_EQ(dlg_->seEmissivity->text(), QStringLiteral("0.55"));
  EXPECT_EQ(messages_.size(), 1u);
  // The dialog stays usable: Cancel ends it without a hang.
  dlg_->btnCancel->click();
  ASSERT_TRUE(WaitForEvents([&] { return !dlg_->isVisible(); }, 30000));
}

// Emissivity from the table and output channel 1 analog (0..10 V): the
// material table and output slope buttons take clicks.
void TableAndAnalogOutput(ArgoDeviceState& s) {
  s.emissivitySource = 3;
  s.alarmMode[3] = 0x38;
}

TEST_F(ArgoDeviceSetupDlgTest, SubDialogsGetTheCacheAndTheirResultsReachTheDevice) {
  Open(TableAndAnalogOutput, 0);
  ASSERT_TRUE(dlg_->btnEditMatTable->isEnabled());
  ASSERT_TRUE(dlg_->btnAdjustOutputSlope->isEnabled());
  // Material table: the cached table goes in, the edited one is written on OK.
  dlg_->RunSubDialog = [](QDialog* dialog) {
    auto* table = qobject_cast<TMatTableDlg*>(dialog);
    EXPECT_NE(table, nullptr);
    if (!table) return int(QDialog::Rejected);
    table->FTable[3].Emiss = 0.5f;
    return int(QDialog::Accepted);
  };
  dlg_->btnEditMatTable->click();
  ASSERT_TRUE(Settled());
  EXPECT_EQ(State().material[3][0], 500);
  EXPECT_EQ(SetterNames().size(), 32u);

  // Head code: the form is the driver's (firmware 2510 keeps the large code).
  model_->ClearRequests();
  dlg_->RunSubDialog = [](QDialog* dialog) {
    auto* head = qobject_cast<TArgoHeadParamDlg*>(dialog);
    EXPECT_NE(head, nullptr);
    if (!head) return int(QDialog::Rejected);
    EXPECT_EQ(head->Mode, TArgoHeadParamDlg::TMode::Large);
    head->FLargeCode = {QStringLiteral("0001"), QStringLiteral("0002"), QStringLiteral("0003"),
                        QStringLiteral("0004"), QStringLiteral("000V")};
    return int(QDialog::Accepted);
  };
  dlg_->btnHeadParam->click();
  ASSERT_TRUE(Settled());
  EXPECT_EQ(State().headCode[4], 31u);
  EXPECT_EQ(dlg_->stHeadParam[4]->text(), QStringLiteral("000V"));

  // Output slope: rasters and colour go in and come back whatever the result.
  dlg_->FSlopeRasters = {5, 2};
  dlg_->FAdjustColor = 0x123456;
  dlg_->RunSubDialog = [](QDialog* dialog) {
    auto* slope = qobject_cast<TAdjustSlopeDlg*>(dialog);
    EXPECT_NE(slope, nullptr);
    if (!slope) return int(QDialog::Rejected);
    EXPECT_EQ(slope->TempRaster, 5);
    EXPECT_EQ(slope->DiagramColor, 0x123456u);
    slope->TempRaster = 20;
    slope->OutputRaster = 0;
    slope->DiagramColor = 0xFF;
    return int(QDialog::Rejected);
  };
  dlg_->btnAdjustOutputSlope->click();
  EXPECT_EQ(dlg_->FSlopeRasters, (TSlopeRaster{20, 0}));
  EXPECT_EQ(dlg_->FAdjustColor, 0xFFu);
  EXPECT_TRUE(messages_.empty());
}

TEST_F(ArgoDeviceSetupDlgTest, AMaterialTableWriteCutShortIsReportedOnce) {
  Open(TableAndAnalogOutput, 0);
  dlg_->RunSubDialog = [](QDialog* dialog) {
    if (auto* table = qobject_cast<TMatTableDlg*>(dialog)) table->FTable[0].Emiss = 0.5f;
    return int(QDialog::Accepted);
  };
  SetFaults([](ArgoFaults& f) { f.vanishAfterRequests = 5; });
  dlg_->btnEditMatTable->click();
  ASSERT_TRUE(WaitForEvents([&] { return !dlg_->DeviceWorkPending(); }, 30000));
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_TRUE(messages_[0].contains(QStringLiteral("Material table"), Qt::CaseInsensitive))
      << messages_[0].toStdString();
  EXPECT_TRUE(dlg_->ArgoDeviceSetup_PageControl->isEnabled());
  dlg_->btnCancel->click();
  ASSERT_TRUE(WaitForEvents([&] { return !dlg_->isVisible(); }, 30000));
}

TEST_F(ArgoDeviceSetupDlgTest, SaveAndLoadThroughTheDialog) {
  Open({}, 0);
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QString proposed;
  const QString file = dir.filePath(QStringLiteral("Argo_test.cfg"));
  dlg_->ChooseFile = [&](bool, const QString& name) {
    proposed = name;
    return file;
  };
  dlg_->btnSave->click();
  ASSERT_TRUE(Settled());
  EXPECT_TRUE(QFile::exists(file));
  EXPECT_EQ(proposed, QStringLiteral("Argo_%1.cfg").arg(dlg_->Cache().SerialNumber));
  EXPECT_TRUE(Setters().empty());

  // The device changes; loading the file writes back only what differs.
  TypeAndLeave(dlg_->seEmissivity, QStringLiteral("0.5"));
  model_->ClearRequests();
  dlg_->btnLoad->click();
  ASSERT_TRUE(WaitForEvents([&] { return !dlg_->DeviceWorkPending(); }, 30000));
  EXPECT_EQ(SetterNames(), (std::vector<QString>{QStringLiteral("SetEmissivity")}));
  EXPECT_EQ(State().emissivity, 900);
  EXPECT_EQ(dlg_->seEmissivity->text(), QStringLiteral("0.900"));
  EXPECT_TRUE(messages_.empty());

  // A file that does not load writes nothing and says why.
  model_->ClearRequests();
  dlg_->ChooseFile = [&](bool, const QString&) { return dir.filePath(QStringLiteral("missing.cfg")); };
  dlg_->btnLoad->click();
  ASSERT_TRUE(WaitForEvents([&] { return !dlg_->DeviceWorkPending(); }, 30000));
  EXPECT_TRUE(Setters().empty());
  EXPECT_EQ(messages_.size(), 1u);
  // A save that fails is reported.
  messages_.clear();
  dlg_->ChooseFile = [&](bool, const QString&) {
    return dir.filePath(QStringLiteral("no/such/folder/x.cfg"));
  };
  dlg_->btnSave->click();
  ASSERT_TRUE(WaitForEvents([&] { return !dlg_->DeviceWorkPending(); }, 30000));
  EXPECT_EQ(messages_.size(), 1u);
}

TEST_F(ArgoDeviceSetupDlgTest, CancelShowsItsProgressAndCanBeStopped) {
  Open({}, 0);
  TypeAndLeave(dlg_->seEmissivity, QStringLiteral("0.5"));
  TypeAndLeave(dlg_->seTransmissivity, QStringLiteral("0.7"));
  TypeAndLeave(dlg_->seAlarm3, QStringLiteral("150"));
  TypeAndLeave(dlg_->seAlarm4, QStringLiteral("250"));
  TypeAndLeave(dlg_->seOffset, QStringLiteral("2"));
  TypeAndLeave(dlg_->seGain, QStringLiteral("1.1"));
  dlg_->btnCancel->click();
  dlg_->btnStopSequence->click();
  ASSERT_TRUE(WaitForEvents([&] { return !dlg_->DeviceWorkPending(); }, 20000));
  // Stopped: the dialog stays open, usable, and says what was not restored.
  EXPECT_TRUE(dlg_->isVisible());
  EXPECT_TRUE(dlg_->ArgoDeviceSetup_PageControl->isEnabled());
  EXPECT_FALSE(dlg_->lblProgress->isVisible());
  ASSERT_EQ(messages_.size(), 1u);
  // Stopped between exchanges: at most the write under way got through.
  EXPECT_NE(State(), opening_);

  // Run to its end, Cancel restores the opening state; input is held off
  // while it runs and the driver's "WRITE" progress shows (whoever listened
  // to the progress before still hears it).
  SetFaults([](ArgoFaults& f) { f.lateReplyMs = 0; });
  std::vector<QString> captions;
  family_->OnProgress = [&](int, const QString& caption) { captions.push_back(caption); };
  dlg_->btnCancel->click();
  EXPECT_FALSE(dlg_->ArgoDeviceSetup_PageControl->isEnabled());
  EXPECT_FALSE(dlg_->btnOK->isEnabled());
  EXPECT_FALSE(dlg_->btnCancel->isEnabled());
  EXPECT_TRUE(dlg_->lblProgress->isVisibleTo(dlg_.get()));
  ASSERT_TRUE(WaitForEvents([&] { return !dlg_->isVisible(); }, 20000));
  ASSERT_FALSE(captions.empty());
  EXPECT_TRUE(captions.front().startsWith(QStringLiteral("WRITE"))) << captions.front().toStdString();
  EXPECT_EQ(dlg_->lblProgress->text(), captions.back());
  EXPECT_EQ(State(), opening_);
  family_->OnProgress = nullptr;  // `captions` goes now; the family lives on to TearDown
}

TEST_F(ArgoDeviceSetupDlgTest, ChoosingFahrenheitShowsEveryTemperatureInIt) {
  Open({}, 2);
  EXPECT_EQ(dlg_->TempLbl[5]->text(), QStringLiteral(" [°C]:"));
  dlg_->rgTempUnit->SetItemIndex(1);
  dlg_->btnSave->setFocus(Qt::TabFocusReason);
  ASSERT_TRUE(Settled());
  EXPECT_EQ(Setters(), (std::vector<Bytes>{{0x89, 0x00, 0x89}}));
  dlg_->SetActivePage(1);
  ASSERT_TRUE(WaitForEvents([&] { return dlg_->seAlarm1->text() == QStringLiteral("77.0"); }, 10000));
  EXPECT_EQ(dlg_->seAlarm3->text(), QStringLiteral("392.0"));  // 200 °C
  EXPECT_EQ(dlg_->TempLbl[5]->text(), QStringLiteral(" [°F]:"));
  EXPECT_NEAR(dlg_->seAlarm3->MaxValue(), 1832, 1e-3);
  EXPECT_NEAR(dlg_->seAlHyst->MaxValue(), 36, 1e-3);
  EXPECT_EQ(Setters().size(), 1u);  // showing the new unit writes nothing
}

}  // namespace
