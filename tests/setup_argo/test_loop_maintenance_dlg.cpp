#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <memory>

#include "setup_argo/loop_maintenance_dlg.h"
#include "setup_argo/loop_output_percent.h"
#include "tests/setup_argo/argo_session_fixture.h"
#include "tests/setup_argo/loop_dialog_closings.h"
#include "ui/d_spin_edit.h"

namespace {

using argotest::WaitForEvents;

TEST(LoopOutputPercentTest, DeviceByteAsShown) {
  const std::pair<std::uint8_t, int> cases[] = {{0, 0},     {42, 42}, {100, 100}, {101, 100},
                                                {127, 100}, {128, 0}, {254, 0},   {255, 0}};
  for (const auto& [byte, shown] : cases)
    EXPECT_EQ(LoopOutputPercent::FromDeviceByte(byte), shown) << int(byte);
}

class LoopMaintenanceDlgTest : public argotest::ArgoSessionTest {
 protected:
  void SetUp() override {
    StartSession();
    dlg_.FDevice = family_.get();
  }
  void TearDown() override {
    dlg_.FDevice = nullptr;
    ArgoSessionTest::TearDown();
  }

  // Shows the dialog and waits until it took the device's values.
  void Show() {
    dlg_.show();
    ASSERT_TRUE(WaitForEvents([&] { return dlg_.seIrOut->isEnabled(); }, 10000));
  }
  // Waits until the device received `count` requests and the session is idle.
  bool WaitForRequests(std::size_t count) {
    return WaitForEvents([&] { return model_->Requests().size() >= count && !family_->Busy(); }, 10000);
  }
  std::vector<QString> Names() const { return RequestNames(); }

  TLoopMaintenanceDlg dlg_;
};

TEST_F(LoopMaintenanceDlgTest, ShowReadsTheOutputsAndWritesNothing) {
  SetState([](ArgoDeviceState& s) {
    s.irDacPercent = 42;
    s.ambientDacPercent = 255;
  });
  Show();
  EXPECT_EQ(dlg_.seIrOut->Value(), 42);
  EXPECT_EQ(dlg_.seAmbientOut->Value(), 0);
  EXPECT_EQ(Names(), (std::vector<QString>{"GetIRDacPercent", "GetAmbientDacPercent"}));

  dlg_.reject();
  ASSERT_TRUE(WaitForRequests(3));
  model_->ClearRequests();
  // Opened again with other values on the device: still only the two reads.
  SetState([](ArgoDeviceState& s) {
    s.irDacPercent = 7;
    s.ambientDacPercent = 120;
  });
  Show();
  EXPECT_EQ(dlg_.seIrOut->Value(), 7);
  EXPECT_EQ(dlg_.seAmbientOut->Value(), 100);
  EXPECT_TRUE(WaitForRequests(2));
  EXPECT_EQ(Names(), (std::vector<QString>{"GetIRDacPercent", "GetAmbientDacPercent"}));
  EXPECT_FALSE(State().loopOutputFixed);
}

TEST_F(LoopMaintenanceDlgTest, EveryStepIsWrittenAtOnce) {
  Show();
  model_->ClearRequests();
  for (int i = 0; i < 3; ++i) dlg_.seIrOut->StepUp();
  dlg_.seAmbientOut->StepUp();
  ASSERT_TRUE(WaitForRequests(4));
  const auto bytes = RequestBytes();
  ASSERT_EQ(bytes.size(), 4u);
  const std::vector<std::pair<std::uint8_t, std::uint8_t>> expected = {
      {0x9A, 1}, {0x9A, 2}, {0x9A, 3}, {0x9B, 1}};
  for (std::size_t i = 0; i < expected.size(); ++i) {
    ASSERT_GE(bytes[i].size(), 2u);
    EXPECT_EQ(bytes[i][0], expected[i].first) << i;
    EXPECT_EQ(bytes[i][1], expected[i].second) << i;
  }
  EXPECT_EQ(State().irDacPercent, 3);
  EXPECT_TRUE(State().loopOutputFixed);

  // Reset keeps the dialog open and its values; the next change fixes again.
  dlg_.BtnReset->click();
  ASSERT_TRUE(WaitForEvents([&] { return !State().loopOutputFixed && !family_->Busy(); }, 10000));
  EXPECT_TRUE(dlg_.isVisible());
  EXPECT_EQ(dlg_.seIrOut->Value(), 3);
  dlg_.seIrOut->StepDown();
  ASSERT_TRUE(WaitForEvents([&] { return State().loopOutputFixed && State().irDacPercent == 2; }, 10000));
}

TEST_F(LoopMaintenanceDlgTest, EveryWayOfClosingResetsTheOutputs) {
  for (const auto& [name, closeIt] : argotest::LoopDialogClosings()) {
    Show();
    dlg_.seIrOut->StepUp();
    ASSERT_TRUE(WaitForEvents([&] { return State().loopOutputFixed; }, 10000)) << name;
    closeIt(dlg_);
    EXPECT_FALSE(dlg_.isVisible()) << name;
    EXPECT_TRUE(WaitForEvents([&] { return !family_->Busy(); }, 10000)) << name;
    EXPECT_FALSE(State().loopOutputFixed) << name;
    ASSERT_FALSE(Names().empty());
    EXPECT_EQ(Names().back(), QStringLiteral("ResetLoopOutput")) << name;
    model_->ClearRequests();
  }
}

TEST_F(LoopMaintenanceDlgTest, CallbackEverySecondWithTheDevicesUnit) {
  SetState([](ArgoDeviceState& s) { s.unit = 0; });
  RunOnSession([](TpyreonArgo& d) { d.GetTemperatureUnit(); });
  std::vector<bool> units;
  dlg_.FOnSettingsChanged = [&](QObject* sender, bool fahrenheit) {
    EXPECT_EQ(sender, &dlg_);
    units.push_back(fahrenheit);
  };
  Show();
  ASSERT_TRUE(WaitForEvents([&] { return !units.empty(); }, 5000));
  EXPECT_TRUE(units.front());
  dlg_.reject();
  const std::size_t calls = units.size();
  argotest::Pump(1200);
  EXPECT_EQ(units.size(), calls);
}

}  // namespace
