// The main window's loop-maintenance command with the real Brio dialogs
// and an emulated device, end to end: the step into loop maintenance with
// its progress (the window paints and takes no input), the dialog on the
// device, and the way back to normal operation, in this order on the wire.

#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <memory>
#include <vector>

#include "app/scan_device_dlg.h"
#include "app/therma_sentinel_form.h"
#include "setup_brio/loop_maintenance_dlg_brio.h"
#include "setup_brio/loop_maintenance_dlg_dazo4_20.h"
#include "tests/support/brio_emulator.h"
#include "tests/support/modal_dialog.h"
#include "tests/support/program_home.h"
#include "tests/support/wait_for.h"
#include "tools/devsim/brio_wire.h"
#include "ui/d_spin_edit.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using test_support::EventPump;
using test_support::WaitForEvents;
using test_support::WhenShown;

constexpr int kDevicePort = 9;
constexpr std::uint16_t kSiliconLabsVendor = 0x10C4;
constexpr std::uint16_t kBrioProduct = 0x80C4;

class MainWindowBrioLoopTest : public ::testing::Test {
 protected:
  void TearDown() override {
    form_.reset();
    emulator_.Stop();
  }

  // `profile` on COM9, stored as the device to connect to at start.
  void Prepare(const BrioProfile& profile, bool fahrenheit) {
    ASSERT_TRUE(home_.IsValid());
    ASSERT_TRUE(emulator_.Start(profile, dir_.path(), kDevicePort));
    QFile f(home_.SettingsFile());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[MAIN]\r\nTemperatureUnit=" + QByteArray(fahrenheit ? "1" : "0") +
            "\r\n[COM]\r\nCOM=9\r\nDeviceType=" + QByteArray::number(profile.deviceTypeCode) +
            "\r\nBrio_Serial=" + QByteArray::number(profile.serial) +
            "\r\n[Options]\r\nAutoScan=1\r\nAutoStart=0\r\nAskForSaving=0\r\n");
  }
  TThermaSentinelForm& StartConnected() {
    form_ = std::make_unique<TThermaSentinelForm>(QStringList{QStringLiteral("ThermaSentinel")});
    form_->ScanDeviceDlg->Scanner().ListAdapters = [] {
      return QList<TUsbAdapter>{{kDevicePort, kSiliconLabsVendor, kBrioProduct}};
    };
    form_->show();
    TThermaSentinelForm& f = *form_;
    EXPECT_TRUE(WaitForEvents([&] { return f.State() == csConnected && !f.Family()->Busy(); }, 40000,
                              EventPump::EventLoop));
    return f;
  }
  std::vector<Bytes> Requests() const {
    std::vector<Bytes> out;
    for (const BrioRequestRecord& r : emulator_.Model().Requests())
      if (!r.loader) out.push_back(r.bytes);
    return out;
  }
  bool Sent(const Bytes& request) const {
    const auto all = Requests();
    return std::find(all.begin(), all.end(), request) != all.end();
  }
  // Positions of `expected` in the requests, each after the one before
  // (-1 from the first one missing on).
  std::vector<long> InOrder(const std::vector<Bytes>& expected) const {
    const auto all = Requests();
    std::vector<long> at;
    auto from = all.begin();
    for (const Bytes& e : expected) {
      from = std::find(from, all.end(), e);
      at.push_back(from == all.end() ? -1 : long(from - all.begin()));
      if (from != all.end()) ++from;
    }
    return at;
  }
  // Runs the command; until the dialog shows, records whether the window
  // showed progress with its input held. `act` runs in the shown dialog.
  void RunCommand(TThermaSentinelForm& f, QDialog* dialog, std::function<void()> act) {
    emulator_.Model().ClearRequests();
    bool shown = false;
    WhenShown(
        dialog,
        [&, act] {
          shown = true;
          act();
        },
        30000);
    ASSERT_TRUE(f.mLoopMaintenance->isEnabled());
    f.mLoopMaintenanceClick(f.mLoopMaintenance);
    ASSERT_TRUE(WaitForEvents(
        [&] {
          if (f.ProgressBar->value() > 0 && !f.menuWidget()->isEnabled()) progressWithInputHeld_ = true;
          return shown;
        },
        30000, EventPump::EventLoop));
    ASSERT_TRUE(WaitForEvents([&] { return f.State() == csConnected && !f.Family()->Busy(); }, 30000,
                              EventPump::EventLoop));
    EXPECT_EQ(f.ProgressBar->value(), 0);
    EXPECT_TRUE(f.menuWidget()->isEnabled());
  }

  test_support::ProgramHome home_;
  QTemporaryDir dir_;
  test_support::BrioEmulator emulator_;
  std::unique_ptr<TThermaSentinelForm> form_;
  bool progressWithInputHeld_ = false;
};

TEST_F(MainWindowBrioLoopTest, FirstGenerationEntersShowsAndPowersUpAgain) {
  BrioProfile profile = BrioProfiles::Default(1);
  BrioProfiles::SetOutputRange(profile, 0.0, 350.0);
  Prepare(profile, false);
  TThermaSentinelForm& f = StartConnected();
  TLoopMaintenanceDlgBrio& dlg = *f.LoopMaintenanceDlgBrio;
  std::uint8_t stateWhileShown = 0;
  RunCommand(f, &dlg, [&] {
    stateWhileShown = f.State();
    // The start value reaches the device; then the user closes.
    EXPECT_TRUE(WaitForEvents([&] { return Sent({0x3A, 0x02, 0x12, 0x0A, 0xBE}); }, 10000));
    EXPECT_EQ(emulator_.Gen1()->OperatingMode(), BrioWire::kModeLoop);
    EXPECT_EQ(emulator_.Gen1()->LoopOutputWord(), 0x0ABE);
    dlg.BtnClose->click();
  });
  EXPECT_EQ(stateWhileShown, csBusy);
  EXPECT_TRUE(progressWithInputHeld_);
  // Enter, the output, leave, then powered up into normal mode.
  const std::vector<long> at = InOrder({{0x3D, 0x02, 0x61, 0x90},
                                        {0x3D, 0x02, 0x64, 0x02},
                                        {0x3A, 0x02, 0x12, 0x0A, 0xBE},
                                        {0x3D, 0x02, 0x61, 0x80},
                                        {0x3D, 0x02, 0x61, 0x8C},
                                        {0x3D, 0x02, 0x61, 0x80}});
  EXPECT_TRUE(std::none_of(at.begin(), at.end(), [](long i) { return i < 0; })) << testing::PrintToString(at);
  EXPECT_EQ(emulator_.Gen1()->OperatingMode(), BrioWire::kModeNormal);
  EXPECT_EQ(f.State(), csConnected);
}

TEST_F(MainWindowBrioLoopTest, FourToTwentyMilliampereCurrentEndsNormalAfterTheCloseBox) {
  Prepare(*BrioProfiles::Find(2, QStringLiteral("brio-2w")), true);
  TThermaSentinelForm& f = StartConnected();
  ASSERT_TRUE(f.Fahrenheit());
  TLoopMaintenanceDlgDazo4_20& dlg = *f.LoopMaintenanceDlgDazo4_20;
  bool ticked = false;
  RunCommand(f, &dlg, [&] {
    // Nothing at show; a current at once; the window refreshed every
    // second in its own unit.
    dlg.seIrOut->setFocus();
    dlg.seIrOut->selectAll();
    dlg.seIrOut->insert(QStringLiteral("120"));
    EXPECT_TRUE(WaitForEvents([&] { return emulator_.Gen2()->LoopOutput() == 120; }, 10000));
    QTimer::singleShot(1500, [&] { ticked = true; });
    EXPECT_TRUE(WaitForEvents([&] { return ticked; }, 5000));
    dlg.close();
  });
  // No enter or leave step for this model: no progress.
  EXPECT_FALSE(progressWithInputHeld_);
  const auto all = Requests();
  ASSERT_FALSE(all.empty());
  const std::vector<long> at = InOrder({{0x81, 0x78}, {0x82}});
  ASSERT_GE(at[0], 0);
  ASSERT_GE(at[1], 0);
  // The showing sent no current of its own; the close box ended the test current.
  for (long i = 0; i < at[0]; ++i) EXPECT_NE(all[std::size_t(i)][0], 0x81) << i;
  for (std::size_t i = std::size_t(at[1]) + 1; i < all.size(); ++i) EXPECT_NE(all[i][0], 0x81) << i;
  EXPECT_EQ(emulator_.Gen2()->LoopOutput(), -1);
  EXPECT_TRUE(f.Fahrenheit());
  EXPECT_EQ(f.State(), csConnected);
}

}  // namespace
