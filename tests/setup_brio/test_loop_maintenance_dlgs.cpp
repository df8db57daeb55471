// The Brio loop-maintenance dialogs against the emulated devices on a
// serial line that carries DTR and parity: the bytes each showing, change,
// reset and way of closing puts on the wire, and the device's output after.

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "drivers/brio/brio_notify.h"
#include "drivers/device_type.h"
#include "measurement/brio_family.h"
#include "measurement/brio_ma_family.h"
#include "setup_brio/loop_current_output.h"
#include "setup_brio/loop_maintenance_dlg_brio.h"
#include "setup_brio/loop_maintenance_dlg_dazo4_20.h"
#include "setup_brio/loop_temperature_output.h"
#include "tests/support/brio_emulator.h"
#include "tests/support/wait_for.h"
#include "tools/devsim/brio_wire.h"
#include "ui/d_spin_edit.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using test_support::BrioEmulator;
using test_support::WaitForEvents;

constexpr int kPort = 9;

// Every way a user closes a loop-maintenance dialog.
template <class Dialog>
std::vector<std::pair<const char*, std::function<void(Dialog&)>>> Closings() {
  return {
      {"close button", [](Dialog& d) { d.BtnClose->click(); }},
      {"Esc",
       [](Dialog& d) {
         QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
         QApplication::sendEvent(&d, &esc);
       }},
      {"close box", [](Dialog& d) { d.close(); }},
  };
}

// Types the digits `text` over the edit's contents at once (well within any delay).
void TypeOver(TDSpinEdit* edit, const QString& text) {
  edit->setFocus();
  edit->selectAll();
  for (const QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_0 + c.digitValue(), Qt::NoModifier, QString(c));
    QApplication::sendEvent(edit, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_0 + c.digitValue(), Qt::NoModifier, QString(c));
    QApplication::sendEvent(edit, &release);
  }
}

class LoopDialogTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (family_) family_->Shutdown(500, 2000);
    family_.reset();
    emulator_.Stop();
    qunsetenv("THERMASENTINEL_PORTS");
  }

  // The requests of the loop commands the device got since the last clear
  // (the driver's own polls aside).
  std::vector<Bytes> Requests() const {
    std::vector<Bytes> out;
    for (const BrioRequestRecord& r : emulator_.Model().Requests())
      if (!r.loader && !r.bytes.empty() &&
          std::find(loopCommands_.begin(), loopCommands_.end(), r.bytes[0]) != loopCommands_.end())
        out.push_back(r.bytes);
    return out;
  }
  bool WaitIdle() {
    return WaitForEvents([&] { return !family_->Busy(); }, 20000);
  }
  bool WaitForRequest(const Bytes& request) {
    return WaitForEvents(
        [&] {
          for (const Bytes& r : Requests())
            if (r == request) return true;
          return false;
        },
        20000);
  }
  std::size_t Count(std::uint8_t command) const {
    std::size_t n = 0;
    for (const Bytes& r : Requests()) n += !r.empty() && r[0] == command;
    return n;
  }

  QTemporaryDir dir_;
  BrioEmulator emulator_;
  std::unique_ptr<DeviceFamily> family_;
  std::vector<std::uint8_t> loopCommands_;
};

// --- First generation -------------------------------------------------------

class LoopDialogBrioTest : public LoopDialogTest {
 protected:
  // A first-generation device with its output range (°C); `read` false
  // leaves its configuration unread. The device is then switched into loop
  // maintenance, as the main window does before the dialog shows.
  void Connect(double low, double high, bool read = true) {
    loopCommands_ = {0x3A, 0x3D};  // word and byte writes
    BrioProfile profile = BrioProfiles::Default(1);
    BrioProfiles::SetOutputRange(profile, low, high);
    ASSERT_TRUE(emulator_.Start(profile, dir_.path(), kPort));
    auto* family = new BrioFamily(nullptr, DeviceType::Voduz1);
    family_.reset(family);
    bool ready = false;
    family->OnComOpen = [family] { family->PowerOn({}); };
    family->OnConnect = [&, family] {
      if (read)
        family->ReadConfiguration({});
      else
        ready = true;
    };
    family->OnAllLoaded = [&] { ready = true; };
    family->Open(kPort, 0, 0, {});
    ASSERT_TRUE(WaitForEvents([&] { return ready; }, 30000));
    ASSERT_TRUE(WaitIdle());
    family->PostDriverJob([](TpyreonBrio& d) { d.EnterLoopMaintenance(); });
    ASSERT_TRUE(WaitIdle());
    ASSERT_EQ(emulator_.Gen1()->OperatingMode(), BrioWire::kModeLoop);
    family->OnComOpen = nullptr;
    family->OnConnect = nullptr;
    family->OnAllLoaded = nullptr;
    emulator_.Model().ClearRequests();
    dlg_.SetDevice(family);
  }
  // Shows the dialog and waits until it has its range.
  void Show() {
    dlg_.show();
    ASSERT_TRUE(WaitForEvents([&] { return !dlg_.Loading() && dlg_.seIrOut->isEnabled(); }, 10000));
  }
  bool WaitSent() {
    return WaitForEvents([&] { return !dlg_.Output().Pending() && !family_->Busy(); }, 10000);
  }

  TLoopMaintenanceDlgBrio dlg_;
};

TEST_F(LoopDialogBrioTest, EveryShowingSendsTheMiddleOfTheRange) {
  Connect(0.0, 350.0);
  const Bytes start{0x3A, 0x02, 0x12, 0x0A, 0xBE};  // 175.0 °C
  for (int showing = 1; showing <= 2; ++showing) {
    SCOPED_TRACE(showing);
    Show();
    EXPECT_EQ(dlg_.seIrOut->MinValue(), 0);
    EXPECT_EQ(dlg_.seIrOut->MaxValue(), 3500);
    EXPECT_EQ(dlg_.seIrOut->Value(), 1750);
    // Not at once: after the delay.
    EXPECT_TRUE(dlg_.Output().Pending());
    EXPECT_EQ(Count(0x3A), 0u);
    ASSERT_TRUE(WaitSent());
    EXPECT_EQ(Requests(), std::vector<Bytes>{start});
    EXPECT_EQ(emulator_.Gen1()->LoopOutputWord(), 0x0ABE);
    dlg_.BtnClose->click();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Requests().back(), (Bytes{0x3D, 0x02, 0x61, 0x80}));
    EXPECT_EQ(emulator_.Gen1()->OperatingMode(), BrioWire::kModeNormal);
    // The device is elsewhere before the next showing.
    emulator_.Model().ClearRequests();
    const std::uint8_t other[2] = {0x00, 0x00};
    emulator_.Model().WriteMemory(BrioWire::kLoopOutput, other);
  }
}

TEST_F(LoopDialogBrioTest, TypingWithinTheDelaySendsOnlyTheLastValue) {
  Connect(0.0, 350.0);
  Show();
  ASSERT_TRUE(WaitSent());
  emulator_.Model().ClearRequests();
  TypeOver(dlg_.seIrOut, QStringLiteral("250"));
  EXPECT_EQ(dlg_.seIrOut->text(), QStringLiteral("250"));
  ASSERT_TRUE(WaitSent());
  EXPECT_EQ(Requests(), (std::vector<Bytes>{{0x3A, 0x02, 0x12, 0x04, 0xE2}}));  // 25.0 °C
  dlg_.BtnClose->click();
  ASSERT_TRUE(WaitIdle());
}

TEST_F(LoopDialogBrioTest, AnUnreadOrInvertedRangeSendsNothing) {
  struct Case {
    const char* what;
    double low, high;
    bool read;
  };
  for (const Case& c : {Case{"not read", 0.0, 350.0, false}, Case{"inverted", 350.0, 0.0, true}}) {
    SCOPED_TRACE(c.what);
    Connect(c.low, c.high, c.read);
    Show();
    EXPECT_EQ(dlg_.seIrOut->MinValue(), -300);
    EXPECT_EQ(dlg_.seIrOut->MaxValue(), 10000);
    EXPECT_FALSE(dlg_.Output().Pending());
    dlg_.BtnClose->click();
    ASSERT_TRUE(WaitIdle());
    // Only the way back to normal mode, never -100.0 °C.
    EXPECT_EQ(Requests(), (std::vector<Bytes>{{0x3D, 0x02, 0x61, 0x80}}));
    TearDown();
  }
}

TEST_F(LoopDialogBrioTest, EveryWayOfClosingLeavesLoopMaintenance) {
  Connect(0.0, 350.0);
  for (const auto& [name, closeIt] : Closings<TLoopMaintenanceDlgBrio>()) {
    SCOPED_TRACE(name);
    Show();
    TypeOver(dlg_.seIrOut, QStringLiteral("1000"));
    closeIt(dlg_);
    EXPECT_FALSE(dlg_.isVisible());
    ASSERT_TRUE(WaitIdle());
    // What was still pending is dropped; the device is back in normal mode.
    EXPECT_EQ(Count(0x3A), 0u);
    ASSERT_FALSE(Requests().empty());
    EXPECT_EQ(Requests().back(), (Bytes{0x3D, 0x02, 0x61, 0x80}));
    EXPECT_EQ(emulator_.Gen1()->OperatingMode(), BrioWire::kModeNormal);
    emulator_.Model().ClearRequests();
  }
}

// --- 4-20 mA models ----------------------------------------------------------

class LoopDialogDazoTest : public LoopDialogTest {
 protected:
  void Connect() {
    loopCommands_ = {0x81, 0x82};
    ASSERT_TRUE(emulator_.Start(2, QStringLiteral("brio-2w"), dir_.path(), kPort));
    auto* family = new BrioMaFamily(nullptr);
    family_.reset(family);
    bool found = false;
    family->OnBrioNotify = [&, family](std::uint16_t msg, std::uint32_t, std::int32_t) {
      if (msg == MsgBrioPortOpened) family->PowerOn({});
      if (msg == MsgBrioDeviceFound) found = true;
    };
    family->Open(kPort, 0, 0, {});
    ASSERT_TRUE(WaitForEvents([&] { return found; }, 30000));
    ASSERT_TRUE(WaitIdle());
    family->OnBrioNotify = nullptr;
    emulator_.Model().ClearRequests();
    dlg_.SetDevice(family);
    dlg_.FOnSettingsChanged = [this](QObject* sender) {
      EXPECT_EQ(sender, &dlg_);
      ++callbacks_;
    };
  }
  int Loop() const { return emulator_.Gen2()->LoopOutput(); }
  // Shows the dialog and lets its first second pass (a callback).
  void ShowAndWaitASecond() {
    const int before = callbacks_;
    dlg_.show();
    ASSERT_TRUE(WaitForEvents([&] { return callbacks_ > before; }, 10000));
  }

  TLoopMaintenanceDlgDazo4_20 dlg_;
  int callbacks_ = 0;
};

TEST_F(LoopDialogDazoTest, ShowingSendsNothingAndAChangeSendsAtOnce) {
  Connect();
  for (int showing = 1; showing <= 2; ++showing) {
    SCOPED_TRACE(showing);
    ShowAndWaitASecond();
    EXPECT_EQ(dlg_.seIrOut->Value(), 40);
    EXPECT_TRUE(Requests().empty());
    EXPECT_EQ(Loop(), -1);
    TypeOver(dlg_.seIrOut, QStringLiteral("120"));
    ASSERT_TRUE(WaitForRequest({0x81, 0x78}));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Requests(), (std::vector<Bytes>{{0x81, 0x78}}));
    EXPECT_EQ(Loop(), 120);
    EXPECT_FALSE(dlg_.TextMarked());
    dlg_.BtnClose->click();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Loop(), -1);
    emulator_.Model().ClearRequests();
  }
}

TEST_F(LoopDialogDazoTest, OutOfRangeTextTurnsRedAndSendsNothing) {
  Connect();
  ShowAndWaitASecond();
  TypeOver(dlg_.seIrOut, QStringLiteral("160"));
  ASSERT_TRUE(WaitForRequest({0x81, 0xA0}));
  emulator_.Model().ClearRequests();
  TypeOver(dlg_.seIrOut, QStringLiteral("250"));
  EXPECT_TRUE(dlg_.TextMarked());
  EXPECT_EQ(dlg_.seIrOut->palette().color(QPalette::Text), QColor(Qt::red));
  ASSERT_TRUE(WaitIdle());
  EXPECT_TRUE(Requests().empty());
  EXPECT_EQ(Loop(), 160);
  // Corrected: sent at once, the colour back.
  TypeOver(dlg_.seIrOut, QStringLiteral("120"));
  ASSERT_TRUE(WaitForRequest({0x81, 0x78}));
  EXPECT_FALSE(dlg_.TextMarked());
  EXPECT_NE(dlg_.seIrOut->palette().color(QPalette::Text), QColor(Qt::red));
  dlg_.BtnClose->click();
  ASSERT_TRUE(WaitIdle());
}

TEST_F(LoopDialogDazoTest, ResetReturnsToNormalAndKeepsTheDialogOpen) {
  Connect();
  ShowAndWaitASecond();
  TypeOver(dlg_.seIrOut, QStringLiteral("120"));
  ASSERT_TRUE(WaitForRequest({0x81, 0x78}));
  dlg_.BtnReset->click();
  ASSERT_TRUE(WaitForRequest({0x82}));
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(Loop(), -1);
  EXPECT_TRUE(dlg_.isVisible());
  dlg_.close();
  ASSERT_TRUE(WaitIdle());
}

TEST_F(LoopDialogDazoTest, EveryCloseAfterACurrentReturnsToNormal) {
  Connect();
  for (const auto& [name, closeIt] : Closings<TLoopMaintenanceDlgDazo4_20>()) {
    SCOPED_TRACE(name);
    ShowAndWaitASecond();
    TypeOver(dlg_.seIrOut, QStringLiteral("120"));
    ASSERT_TRUE(WaitForRequest({0x81, 0x78}));
    closeIt(dlg_);
    EXPECT_FALSE(dlg_.isVisible());
    ASSERT_TRUE(WaitIdle());
    ASSERT_FALSE(Requests().empty());
    EXPECT_EQ(Requests().back(), Bytes{0x82});
    EXPECT_EQ(Loop(), -1);
    emulator_.Model().ClearRequests();
  }
  // The close box without a current sends nothing; the close button resets.
  ShowAndWaitASecond();
  dlg_.close();
  ASSERT_TRUE(WaitIdle());
  EXPECT_TRUE(Requests().empty());
  ShowAndWaitASecond();
  dlg_.BtnClose->click();
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(Requests(), std::vector<Bytes>{Bytes{0x82}});
}

TEST_F(LoopDialogDazoTest, NoCallbackAfterClosing) {
  Connect();
  ShowAndWaitASecond();
  dlg_.close();
  const int calls = callbacks_;
  // Timer1 stopped with the dialog: a second and a half without a tick.
  bool ticked = false;
  QTimer::singleShot(1500, [&] { ticked = true; });
  ASSERT_TRUE(WaitForEvents([&] { return ticked; }, 5000));
  EXPECT_EQ(callbacks_, calls);
}

}  // namespace
