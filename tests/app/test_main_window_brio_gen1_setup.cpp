// The first-generation setup command end to end, against the emulated
// device served over RFC 2217 (which carries the DTR supply and the
// loader's parity): the window's own dialog opens on the device's images,
// edits on several pages (one fail-safe limit changed on the device) and OK
// program exactly the expected configuration block while the calibration
// block stays as it was; Cancel sends nothing; a device without a converter
// scale opens with the factory defaults; a device that vanishes during the
// write is reported as failed and the edited images are kept and offered
// again. The window never pauses long while the dialog or the write runs.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>
#include <vector>

#include "app/modal_result.h"
#include "app/scan_device_dlg.h"
#include "app/therma_sentinel_form.h"
#include "drivers/device_type.h"
#include "setup_brio/brio_device_setup_dlg.h"
#include "setup_brio/brio_first_gen_codec.h"
#include "tests/support/modal_dialog.h"
#include "tests/support/program_home.h"
#include "tests/support/stall_limit.h"
#include "tests/support/wait_for.h"
#include "tools/devsim/brio_gen1_model.h"
#include "tools/devsim/brio_profiles.h"
#include "tools/devsim/rfc2217_server.h"
#include "ui/panel_status_bar.h"

namespace {

using test_support::EventPump;
using test_support::WaitForEvents;
using Bytes = std::vector<std::uint8_t>;

constexpr int kDevicePort = 9;
constexpr std::uint16_t kW = 4254;
constexpr std::uint16_t kS = 3764;

// Longest pause between the ticks of a 10 ms timer while the test waits.
class StallProbe {
 public:
  StallProbe() {
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] { gap_ = std::max(gap_, tick_.restart()); });
  }
  void Start() {
    gap_ = 0;
    tick_.start();
    timer_.start(10);
  }
  qint64 Stop() {
    timer_.stop();
    return gap_;
  }

 private:
  QTimer timer_;
  QElapsedTimer tick_;
  qint64 gap_ = 0;
};

class MainWindowBrioGen1SetupTest : public ::testing::Test {
 protected:
  void TearDown() override {
    form_.reset();
    if (server_) server_->Stop();
  }

  // The device with the first factory image and a calibration of scale
  // `w`; `config` edits the configuration before it starts.
  void Prepare(std::uint16_t w, const std::function<void(BrioConfigImage&)>& config = {}) {
    ASSERT_TRUE(home_.IsValid());
    BrioProfile profile = *BrioProfiles::Find(1, QStringLiteral("voduz1"));
    BrioConfigImage image;
    BrioFirstGenCodec::LoadDefaults(0, image);
    if (config) config(image);
    BrioProfiles::SetConfiguration(profile, image.Data);
    BrioProfiles::SetCalibrationWord(profile, 0x10D0, w);
    BrioProfiles::SetCalibrationWord(profile, 0x10D2, kS);
    BrioProfiles::SetCalibrationWord(profile, 0x10D6, 0);
    BrioProfiles::SetCalibrationWord(profile, 0x10BE, 0x1F95);
    BrioProfiles::SetCalibrationWord(profile, 0x10CC, 0x0068);
    const std::uint32_t serial = static_cast<std::uint32_t>(
        profile.calibration[2] << 16 | profile.calibration[3] << 8 | profile.calibration[4]);
    model_ = std::make_shared<BrioGen1Model>(profile);
    server_ = std::make_unique<Rfc2217Server>(model_);
    QString error;
    ASSERT_TRUE(server_->Start(0, &error)) << error.toStdString();
    QFile ports(dir_.filePath(QStringLiteral("ports.ini")));
    ASSERT_TRUE(ports.open(QIODevice::WriteOnly));
    ports.write("[Ports]\r\nCOM" + QByteArray::number(kDevicePort) + "=" + server_->Url().toUtf8() + "\r\n");
    ports.close();
    qputenv("THERMASENTINEL_PORTS", ports.fileName().toUtf8());
    QFile f(home_.SettingsFile());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[COM]\r\nCOM=" + QByteArray::number(kDevicePort) + "\r\nDeviceType=3\r\nBrio_Serial=" +
            QByteArray::number(serial) + "\r\n[Options]\r\nAutoScan=1\r\nAutoStart=0\r\nAskForSaving=0\r\n");
  }

  TThermaSentinelForm& Start() {
    form_ = std::make_unique<TThermaSentinelForm>(QStringList{QStringLiteral("ThermaSentinel")});
    // The scan sees the device's port as a Brio adapter.
    form_->ScanDeviceDlg->Scanner().ListAdapters = [] {
      return QList<TUsbAdapter>{{kDevicePort, 0x10C4, 0x80C4}};
    };
    form_->show();
    dlg_ = form_->BrioDeviceSetupDLg;
    dlg_->ShowMessage = [this](const QString& text) { messages_.push_back(text); };
    dlg_->AskYesNo = [this](const QString& text) {
      questions_.push_back(text);
      return true;
    };
    return *form_;
  }

  bool WaitConnected(TThermaSentinelForm& f, int ms = 40000) {
    return WaitForEvents([&] { return f.State() == csConnected && !f.Family()->Busy(); }, ms,
                         EventPump::EventLoop);
  }
  bool WaitCommandOver(TThermaSentinelForm& f, int ms = 60000) {
    return WaitForEvents([&] { return f.State() != csBusy; }, ms, EventPump::EventLoop);
  }

  void ShowPageOf(QWidget* control) {
    for (int i = 0; i < dlg_->pControl->count(); ++i)
      if (dlg_->pControl->widget(i)->isAncestorOf(control)) dlg_->pControl->setCurrentIndex(i);
  }
  // Types into `edit` and leaves it for the OK button.
  void TypeAndLeave(QLineEdit* edit, const QString& text) {
    ShowPageOf(edit);
    edit->setFocus(Qt::TabFocusReason);
    WaitForEvents([&] { return edit->hasFocus(); }, 2000);
    edit->setText(text);
    dlg_->btnOK->setFocus(Qt::TabFocusReason);
    WaitForEvents([&] { return dlg_->btnOK->hasFocus(); }, 2000);
  }

  // What the dialog makes of the device's images when nothing is edited.
  BrioConfigImage Untouched() const {
    TBrioDeviceSetupDLg dialog;
    TBrioSetupImages images;
    images.Config.Loaded = true;
    const Bytes config = model_->Configuration();
    const Bytes calibration = model_->Calibration();
    std::copy(config.begin(), config.end(), images.Config.Data.begin());
    std::copy(calibration.begin(), calibration.end(), images.Calibration.Data.begin());
    TBrioSetupContext context;
    context.DeviceType = DeviceType::Voduz1;
    dialog.SetImages(images, context);
    dialog.ParamsToControls();
    dialog.show();
    EXPECT_TRUE(dialog.ControlsToParams());
    return dialog.Images().Config;
  }

  test_support::ProgramHome home_;
  QTemporaryDir dir_;
  std::shared_ptr<BrioGen1Model> model_;
  std::unique_ptr<Rfc2217Server> server_;
  std::unique_ptr<TThermaSentinelForm> form_;
  TBrioDeviceSetupDLg* dlg_ = nullptr;
  std::vector<QString> messages_;
  std::vector<QString> questions_;
};

void PutWord(BrioConfigImage& image, std::size_t offset, std::uint16_t value) {
  image.Data[offset] = static_cast<std::uint8_t>(value & 0xFF);
  image.Data[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

// Edits on the General, Post Processing and Calibration pages; the device
// holds a lower fail-safe limit of 0 °C with the upper one at its default,
// which OK keeps. Only the configuration block is programmed; the window
// keeps answering while the dialog works and while the flash is written.
TEST_F(MainWindowBrioGen1SetupTest, OkProgramsTheEditedConfigurationAndKeepsTheCalibration) {
  Prepare(kW, [](BrioConfigImage& c) { PutWord(c, 12, 1000); });
  TThermaSentinelForm& f = Start();
  ASSERT_TRUE(WaitConnected(f)) << int(f.State());
  ASSERT_TRUE(f.mDeviceSetup->isEnabled());
  BrioConfigImage expected = Untouched();
  PutWord(expected, 0, 800);     // emissivity 0.8
  PutWord(expected, 6, 25);      // hold time 2.5 s (peak hold)
  PutWord(expected, 20, 49152);  // gain 1.5
  expected.Data[42] = static_cast<std::uint8_t>((expected.Data[42] & ~0x87) | 0x04);
  const Bytes calibrationBefore = model_->Calibration();

  StallProbe probe;
  qint64 dialogGap = -1;
  bool failsafeTicked = false;
  test_support::WhenShown(dlg_, [&] {
    failsafeTicked = dlg_->cbFailsafe->isChecked();
    probe.Start();
    TypeAndLeave(dlg_->eEmiss, QStringLiteral("0,8"));
    // Peak hold: leaving the list normalises it, and the next tick enables
    // the hold time.
    ShowPageOf(dlg_->cbHoldMode);
    dlg_->cbHoldMode->setFocus(Qt::TabFocusReason);
    WaitForEvents([&] { return dlg_->cbHoldMode->hasFocus(); }, 2000);
    dlg_->cbHoldMode->setCurrentIndex(1);
    dlg_->btnOK->setFocus(Qt::TabFocusReason);
    WaitForEvents([&] { return dlg_->eHTime->isEnabled(); }, 2000);
    TypeAndLeave(dlg_->eHTime, QStringLiteral("2.5"));
    TypeAndLeave(dlg_->eGain, QStringLiteral("1.5"));
    dialogGap = probe.Stop();
    model_->ClearRequests();
    probe.Start();
    dlg_->btnOK->click();
  });
  f.mDeviceSetupClick(f.mDeviceSetup);
  ASSERT_TRUE(
      WaitForEvents([&] { return dialogGap >= 0 && !dlg_->isVisible(); }, 30000, EventPump::EventLoop));
  EXPECT_TRUE(failsafeTicked);
  EXPECT_TRUE(messages_.empty()) << messages_.front().toStdString();
  EXPECT_LT(dialogGap, test_support::StallLimitMs(50)) << "the dialog stalled the window";
  // The window takes no input while the flash is written.
  ASSERT_TRUE(WaitForEvents([&] { return !f.centralWidget()->isEnabled(); }, 5000, EventPump::EventLoop));
  EXPECT_FALSE(f.MainMenu->isEnabled());
  ASSERT_TRUE(WaitForEvents([&] { return f.centralWidget()->isEnabled(); }, 30000, EventPump::EventLoop));
  const qint64 writeGap = probe.Stop();
  EXPECT_LT(writeGap, test_support::StallLimitMs(50)) << "the write stalled the window";
  EXPECT_TRUE(f.StatusBar()->PanelText(4).endsWith(QStringLiteral("OK!")))
      << f.StatusBar()->PanelText(4).toStdString();

  const Bytes written = model_->Configuration();
  EXPECT_EQ(written, Bytes(expected.Data.begin(), expected.Data.end()));
  EXPECT_EQ(written[12] | written[13] << 8, 1000) << "the one-sided fail-safe limit was lost";
  EXPECT_EQ(model_->Calibration(), calibrationBefore);
  EXPECT_EQ(f.BrioSetup().KeptImages(), nullptr);
  // Disconnected, and the scan finds the device again. (Whether the
  // connection that follows gets the port depends on how soon the access
  // server has seen the scan's probe go, which is not this command's.)
  EXPECT_TRUE(WaitForEvents([&] { return f.State() != csBusy && f.ScanDeviceDlg->Found.size() == 1; }, 60000,
                            EventPump::EventLoop));
}

// Cancel: the dialog and the command exchange nothing with the device.
TEST_F(MainWindowBrioGen1SetupTest, CancelSendsNothing) {
  Prepare(kW);
  TThermaSentinelForm& f = Start();
  ASSERT_TRUE(WaitConnected(f)) << int(f.State());
  const Bytes before = model_->Configuration();
  const auto started = model_->StartedAt();
  std::size_t whileShown = 1;
  test_support::WhenShown(dlg_, [&] {
    model_->ClearRequests();
    TypeAndLeave(dlg_->eEmiss, QStringLiteral("0.5"));
    WaitForEvents([] { return false; }, 300);
    whileShown = model_->Requests().size();
    dlg_->btnCancel->click();
  });
  f.mDeviceSetupClick(f.mDeviceSetup);
  ASSERT_TRUE(WaitCommandOver(f));
  EXPECT_EQ(whileShown, 0u);
  for (const BrioRequestRecord& r : model_->Requests()) EXPECT_FALSE(r.loader) << r.name.toStdString();
  EXPECT_EQ(model_->Configuration(), before);
  EXPECT_EQ(model_->StartedAt(), started);
  EXPECT_EQ(f.State(), csConnected);
}

// A calibration without a converter scale cannot be decoded: the dialog
// opens with the factory defaults, without asking.
TEST_F(MainWindowBrioGen1SetupTest, AnUndecodableDeviceOpensWithTheDefaults) {
  Prepare(0, [](BrioConfigImage& c) { PutWord(c, 0, 700); });
  TThermaSentinelForm& f = Start();
  ASSERT_TRUE(WaitConnected(f)) << int(f.State());
  QString emissivity, levelHigh;
  test_support::WhenShown(dlg_, [&] {
    emissivity = dlg_->eEmiss->text();
    levelHigh = dlg_->eFsmVmax->text();
    dlg_->btnCancel->click();
  });
  f.mDeviceSetupClick(f.mDeviceSetup);
  ASSERT_TRUE(WaitCommandOver(f));
  EXPECT_EQ(emissivity, QStringLiteral("0.950"));
  EXPECT_EQ(levelHigh, QStringLiteral("4500"));
  EXPECT_TRUE(questions_.empty());
}

// The device vanishes while its flash is programmed: "Failed!", the user is
// told the configuration was not written and may open the dialog again on
// the edited images, which are kept.
TEST_F(MainWindowBrioGen1SetupTest, ADeviceVanishingDuringTheWriteKeepsTheEditedImages) {
  Prepare(kW);
  TThermaSentinelForm& f = Start();
  ASSERT_TRUE(WaitConnected(f)) << int(f.State());
  std::vector<QString> offers;
  f.OnAskKeptImages = [&](const QString& text) {
    offers.push_back(text);
    return offers.size() == 1;  // the first time: open the dialog again
  };
  int shown = 0;
  QString reopenedWith;
  std::function<void()> act = [&] {
    ++shown;
    if (shown == 1) {
      TypeAndLeave(dlg_->eEmiss, QStringLiteral("0.8"));
      BrioFaults faults;
      faults.vanishAfterProgrammedBytes = 40;
      model_->SetFaults(faults);
      dlg_->btnOK->click();
    } else {
      reopenedWith = dlg_->eEmiss->text();
      dlg_->btnOK->click();  // writes once more, which fails again
    }
    if (shown == 1) test_support::WhenShown(dlg_, act, 60000);
  };
  test_support::WhenShown(dlg_, act);
  f.mDeviceSetupClick(f.mDeviceSetup);
  ASSERT_TRUE(WaitForEvents([&] { return offers.size() == 2; }, 90000, EventPump::EventLoop));
  EXPECT_EQ(shown, 2);
  EXPECT_EQ(reopenedWith, QStringLiteral("0.800"));
  EXPECT_TRUE(offers[0].contains(QStringLiteral("configuration (0x1000)"))) << offers[0].toStdString();
  EXPECT_TRUE(f.StatusBar()->PanelText(4).endsWith(QStringLiteral("Failed!")));
  const TBrioSetupDispatch::TKeptImages* kept = f.BrioSetup().KeptImages();
  ASSERT_NE(kept, nullptr);
  EXPECT_EQ(kept->Images.Config.WordAt(0), 800);
  EXPECT_EQ(kept->DeviceType, DeviceType::Voduz1);
  ASSERT_TRUE(WaitCommandOver(f));
  EXPECT_TRUE(f.centralWidget()->isEnabled());
  EXPECT_NE(f.State(), csConnected);
}

}  // namespace
