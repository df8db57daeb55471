// The main window with an emulated Brio device: the scan at start finds the
// device through the scan dialog (the stored port or an adapter, the stored
// serial selecting it by itself), and the setup and loop-maintenance
// commands follow the dialogs there are; the setup command writes what its
// dialog gave back and reconnects the device.

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QTemporaryDir>
#include <QToolButton>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/modal_result.h"
#include "app/scan_device_dlg.h"
#include "app/therma_sentinel_form.h"
#include "drivers/device_type.h"
#include "platform/ini_file.h"
#include "tests/support/brio_emulator.h"
#include "tests/support/program_home.h"
#include "tests/support/wait_for.h"

namespace {

using test_support::EventPump;
using test_support::WaitForEvents;

constexpr int kDevicePort = 9;
constexpr std::uint16_t kSiliconLabsVendor = 0x10C4;
constexpr std::uint16_t kBrioProduct = 0x80C4;

// A setup dialog that records the window's state while it is shown and
// gives back its images with a new configuration.
class SetupDialogStandIn : public TBrioSetupDialog {
 public:
  explicit SetupDialogStandIn(TThermaSentinelForm& form) : form_(form) {}
  void SetImages(const TBrioSetupImages& images, const TBrioSetupContext& context) override {
    images_ = images;
    context_ = context;
  }
  void ParamsToControls() override {}
  void btnDefaultClick() override {}
  void SelectFirstPage() override {}
  int ShowModal() override {
    stateWhileShown = form_.State();
    setupEnabledWhileShown = form_.mDeviceSetup->isEnabled();
    for (std::size_t i = 3; i < images_.Config.Data.size(); ++i)
      images_.Config.Data[i] = static_cast<std::uint8_t>(0x30 + i);
    return result;
  }
  TBrioSetupImages Images() const override { return images_; }

  int result = mrOk;
  std::uint8_t stateWhileShown = 0;
  bool setupEnabledWhileShown = true;
  TBrioSetupImages images_;
  TBrioSetupContext context_;

 private:
  TThermaSentinelForm& form_;
};

class LoopDialogStandIn : public TBrioLoopMaintenanceDialog {
 public:
  explicit LoopDialogStandIn(TThermaSentinelForm& form) : form_(form) {}
  void SetDevice(DeviceFamily* family) override { devices.push_back(family); }
  int ShowModal() override {
    stateWhileShown = form_.State();
    return mrOk;
  }
  std::vector<DeviceFamily*> devices;
  std::uint8_t stateWhileShown = 0;

 private:
  TThermaSentinelForm& form_;
};

class MainWindowBrioSetupTest : public ::testing::Test {
 protected:
  void TearDown() override {
    form_.reset();
    emulator_.Stop();
  }

  // The emulated device on COM9; the settings store `storedPort` and
  // `serialText` as the device to search for at start.
  void Prepare(int generation, const char* profile, int storedPort, const QString& serialText) {
    ASSERT_TRUE(home_.IsValid());
    ASSERT_TRUE(emulator_.Start(generation, QString::fromLatin1(profile), dir_.path(), kDevicePort));
    settings_ = home_.SettingsFile();
    QFile f(settings_);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[COM]\r\nCOM=" + QByteArray::number(storedPort) +
            "\r\nDeviceType=" + QByteArray::number(emulator_.Profile().deviceTypeCode) + "\r\nBrio_Serial=" +
            serialText.toLatin1() + "\r\n[Options]\r\nAutoScan=1\r\nAutoStart=0\r\nAskForSaving=0\r\n");
  }

  // The window, its scan seeing COM9 as a Brio adapter.
  TThermaSentinelForm& Start() {
    form_ = std::make_unique<TThermaSentinelForm>(QStringList{QStringLiteral("ThermaSentinel")});
    form_->ScanDeviceDlg->Scanner().ListAdapters = [] {
      return QList<TUsbAdapter>{{kDevicePort, kSiliconLabsVendor, kBrioProduct}};
    };
    form_->show();
    return *form_;
  }

  bool WaitConnected(TThermaSentinelForm& f, int ms = 40000) {
    return WaitForEvents([&] { return f.State() == csConnected && !f.Family()->Busy(); }, ms,
                         EventPump::EventLoop);
  }

  test_support::ProgramHome home_;
  QTemporaryDir dir_;
  QString settings_;
  test_support::BrioEmulator emulator_;
  std::unique_ptr<TThermaSentinelForm> form_;
};

// The stored port holds no device: the adapter with the stored serial is
// taken by itself, connected, and its port becomes the stored one.
TEST_F(MainWindowBrioSetupTest, StartFindsTheStoredDeviceOnAnAdapterAndStoresItsPort) {
  Prepare(2, "briov2", 3, QString::number(1080004));
  TThermaSentinelForm& f = Start();
  ASSERT_TRUE(WaitConnected(f)) << int(f.State());
  EXPECT_TRUE(f.ScanDeviceDlg->AutoSelected);
  EXPECT_FALSE(f.ScanDeviceDlg->isVisible());
  EXPECT_EQ(f.DeviceTypeCode(), DeviceType::Briov2);
  EXPECT_EQ(f.Family()->Snapshot().ComPort, kDevicePort);
  EXPECT_EQ(f.Config()->ReadComPort(), kDevicePort);
}

// A device whose serial is not the stored one waits in the dialog's list
// for the user; Cancel leaves the window closed.
TEST_F(MainWindowBrioSetupTest, AnotherDeviceWaitsForTheUserAndCancelConnectsNothing) {
  Prepare(1, "voduz1", kDevicePort, QStringLiteral("12345"));
  TThermaSentinelForm& f = Start();
  ASSERT_TRUE(
      WaitForEvents([&] { return f.ScanDeviceDlg->pnlGrid->isVisible(); }, 40000, EventPump::EventLoop));
  EXPECT_EQ(f.ScanDeviceDlg->Found.size(), 1);
  EXPECT_TRUE(f.ScanDeviceDlg->isVisible());
  EXPECT_EQ(f.State(), csClosed);
  f.ScanDeviceDlg->btnCancelClick();
  EXPECT_FALSE(f.ScanDeviceDlg->isVisible());
  WaitForEvents([] { return false; }, 300, EventPump::EventLoop);
  EXPECT_EQ(f.State(), csClosed);
  EXPECT_FALSE(f.Family()->Snapshot().PortOpen);
}

// The user's pick connects that device.
TEST_F(MainWindowBrioSetupTest, TheDevicePickedIsConnected) {
  Prepare(2, "duna-2w-v2", 4, QStringLiteral("0"));
  TThermaSentinelForm& f = Start();
  ASSERT_TRUE(
      WaitForEvents([&] { return f.ScanDeviceDlg->pnlGrid->isVisible(); }, 40000, EventPump::EventLoop));
  ASSERT_EQ(f.ScanDeviceDlg->Found.size(), 1);
  f.ScanDeviceDlg->btnSelectClick();
  ASSERT_TRUE(WaitConnected(f)) << int(f.State());
  EXPECT_FALSE(f.ScanDeviceDlg->AutoSelected);
  EXPECT_EQ(f.DeviceTypeCode(), DeviceType::Duna2Wv2);
  EXPECT_EQ(f.Config()->ReadComPort(), kDevicePort);
}

// Without its dialog the command stays disabled; with it, the window is
// busy while the dialog is shown, the edited configuration reaches the
// device and the device is connected again.
struct SetupCase {
  int generation;
  const char* profile;
  std::uint32_t serial;
};
void PrintTo(const SetupCase& c, std::ostream* os) { *os << c.profile; }

class MainWindowBrioSetupWrites : public MainWindowBrioSetupTest,
                                  public ::testing::WithParamInterface<SetupCase> {};

TEST_P(MainWindowBrioSetupWrites, SetupWritesTheDialogsImagesAndReconnects) {
  const SetupCase& c = GetParam();
  Prepare(c.generation, c.profile, kDevicePort, QString::number(c.serial));
  TThermaSentinelForm& f = Start();
  ASSERT_TRUE(WaitConnected(f)) << int(f.State());
  const std::uint8_t code = f.DeviceTypeCode();
  const auto kind = TBrioSetupDispatch::DialogKindOf(code);
  // The command follows the window's own dialog for the model.
  TBrioSetupDialog* const own = f.BrioSetup().DialogFor(code);
  EXPECT_EQ(f.mDeviceSetup->isEnabled(), own != nullptr);
  EXPECT_EQ(f.btnDeviceSetup->isEnabled(), own != nullptr);
  // The loop-maintenance command follows its own dialogs (first generation: there).
  EXPECT_EQ(f.mLoopMaintenance->isEnabled(), f.BrioLoopMaintenance().DialogFor(code) != nullptr);
  EXPECT_EQ(f.mLoopMaintenance->isEnabled(), c.generation == 1);

  SetupDialogStandIn dialog(f);
  f.BrioSetup().SetDialog(kind, &dialog);
  f.UpdateState();
  ASSERT_TRUE(f.mDeviceSetup->isEnabled());
  EXPECT_TRUE(f.btnDeviceSetup->isEnabled());
  const auto before = emulator_.Model().ReadMemory(0x1000, 128);
  f.mDeviceSetupClick(f.mDeviceSetup);
  ASSERT_TRUE(WaitForEvents([&] { return dialog.stateWhileShown != 0; }, 20000, EventPump::EventLoop));
  EXPECT_EQ(dialog.stateWhileShown, csBusy);
  EXPECT_FALSE(dialog.setupEnabledWhileShown);
  EXPECT_EQ(dialog.context_.DeviceType, code);
  EXPECT_EQ(dialog.context_.SerialText, QString::number(c.serial));
  EXPECT_EQ(
      std::vector<std::uint8_t>(dialog.images_.Config.Data.begin(), dialog.images_.Config.Data.begin() + 3),
      std::vector<std::uint8_t>(before.begin(), before.begin() + 3));

  // Disconnected and connected again, with the new configuration.
  ASSERT_TRUE(WaitForEvents([&] { return f.State() != csBusy && f.State() != csConnected; }, 30000,
                            EventPump::EventLoop));
  ASSERT_TRUE(WaitConnected(f)) << int(f.State());
  const auto after = emulator_.Model().ReadMemory(0x1000, 128);
  EXPECT_EQ(after,
            std::vector<std::uint8_t>(dialog.images_.Config.Data.begin(), dialog.images_.Config.Data.end()));
  EXPECT_NE(after, before);
  EXPECT_TRUE(f.mDeviceSetup->isEnabled());
  EXPECT_EQ(f.DeviceTypeCode(), code);
  f.BrioSetup().SetDialog(kind, own);
}

INSTANTIATE_TEST_SUITE_P(Models, MainWindowBrioSetupWrites,
                         ::testing::Values(SetupCase{1, "voduz1", 11000}, SetupCase{2, "briov2", 1080004}),
                         [](const ::testing::TestParamInfo<SetupCase>& info) {
                           return std::string(info.param.generation == 1 ? "FirstGeneration" : "Briov2");
                         });

// Cancel writes nothing and leaves the device connected as it was.
TEST_F(MainWindowBrioSetupTest, SetupCancelKeepsTheConnection) {
  Prepare(1, "voduz1", kDevicePort, QString::number(11000));
  TThermaSentinelForm& f = Start();
  ASSERT_TRUE(WaitConnected(f)) << int(f.State());
  SetupDialogStandIn dialog(f);
  dialog.result = mrCancel;
  f.BrioSetup().SetDialog(TBrioSetupDispatch::TDialogKind::Brio, &dialog);
  f.UpdateState();
  const auto before = emulator_.Model().ReadMemory(0x1000, 128);
  const int poweredOn = static_cast<int>(emulator_.Model().StartedAt().time_since_epoch().count());
  f.mDeviceSetupClick(f.mDeviceSetup);
  ASSERT_TRUE(WaitForEvents([&] { return dialog.stateWhileShown != 0 && f.State() != csBusy; }, 20000,
                            EventPump::EventLoop));
  EXPECT_EQ(dialog.stateWhileShown, csBusy);
  EXPECT_EQ(f.State(), csConnected);
  EXPECT_TRUE(f.Family()->Snapshot().PortOpen);
  EXPECT_EQ(emulator_.Model().ReadMemory(0x1000, 128), before);
  EXPECT_EQ(static_cast<int>(emulator_.Model().StartedAt().time_since_epoch().count()), poweredOn);
  f.BrioSetup().SetDialog(TBrioSetupDispatch::TDialogKind::Brio, nullptr);
}

// Loop maintenance: the window is busy while the dialog has the device and
// connected again afterwards.
TEST_F(MainWindowBrioSetupTest, LoopMaintenanceGivesTheDialogTheDevice) {
  Prepare(2, "briov2", kDevicePort, QString::number(1080004));
  TThermaSentinelForm& f = Start();
  ASSERT_TRUE(WaitConnected(f)) << int(f.State());
  LoopDialogStandIn dialog(f);
  f.BrioLoopMaintenance().SetDialog(TBrioLoopMaintenance::TDialogKind::Briov2, &dialog);
  f.UpdateState();
  ASSERT_TRUE(f.mLoopMaintenance->isEnabled());
  f.mLoopMaintenanceClick(f.mLoopMaintenance);
  ASSERT_TRUE(WaitForEvents([&] { return dialog.devices.size() == 2 && f.State() != csBusy; }, 30000,
                            EventPump::EventLoop));
  EXPECT_EQ(dialog.stateWhileShown, csBusy);
  EXPECT_EQ(dialog.devices, (std::vector<DeviceFamily*>{f.Family(), nullptr}));
  EXPECT_EQ(f.State(), csConnected);
  f.BrioLoopMaintenance().SetDialog(TBrioLoopMaintenance::TDialogKind::Briov2, nullptr);
}

}  // namespace
