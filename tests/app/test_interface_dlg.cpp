// The interface dialog: port texts, the RS485 serial range and address list,
// OK refusing a text that names no port, and the round trip from the main
// window through the settings file with the emulated single-colour device
// on an RS485 address.

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>

#include "app/interface_dlg.h"
#include "app/scan_device_dlg.h"
#include "app/therma_sentinel_form.h"
#include "drivers/device_type.h"
#include "platform/folders.h"
#include "tests/support/program_home.h"
#include "tests/support/wait_for.h"
#include "ui/lng_ini_supp.h"

namespace {

using test_support::EventPump;
using test_support::WaitForEvents;

TEST(InterfaceDlgTest, PortTexts) {
  const struct {
    const char* text;
    int port;
  } cases[] = {{"COM7", 7},  {"com12", 12}, {" COM255 ", 255}, {"9", 9},      {"----", 0},
               {"", 0},      {"COM", 0},    {"COM0", 0},       {"COM256", 0}, {"/dev/ttyUSB0", 0},
               {"COM1x", 0}, {"COM-1", 0}};
  for (const auto& c : cases)
    EXPECT_EQ(TInterfaceDlg::PortFromText(QString::fromLatin1(c.text)), c.port) << c.text;
}

TEST(InterfaceDlgTest, Rs485SerialRangeAndAddresses) {
  for (auto [serial, accepted] : {std::pair{10001, false}, std::pair{10002, true}, std::pair{11129999, true},
                                  std::pair{11130000, false}, std::pair{-1, false}})
    EXPECT_EQ(TInterfaceDlg::Rs485SerialAccepted(serial), accepted) << serial;
  TInterfaceDlg dlg;
  ASSERT_EQ(dlg.cbRS485Addr->count(), 79);
  EXPECT_EQ(dlg.cbRS485Addr->itemText(0), QStringLiteral("1"));
  EXPECT_EQ(dlg.cbRS485Addr->itemText(78), QStringLiteral("79"));
  EXPECT_EQ(dlg.cbRS485Baud->count(), 5);
  EXPECT_EQ(dlg.cbRS485Baud->itemText(4), QStringLiteral("115200"));
}

TEST(InterfaceDlgTest, OkRefusesAPortTextThatNamesNoPort) {
  TInterfaceDlg dlg;
  dlg.DeviceType = DeviceType::Voduz1;
  dlg.Serial = 11000;
  dlg.Port = 9;
  dlg.open();
  ASSERT_TRUE(dlg.isVisible());
  EXPECT_EQ(dlg.stcomPort->text(), QStringLiteral("COM9"));
  EXPECT_TRUE(dlg.btnOK->isEnabled());
  // As after a cancelled scan with a serial still shown.
  dlg.stcomPort->setText(QStringLiteral("----"));
  dlg.btnOK->click();
  EXPECT_TRUE(dlg.isVisible());
  EXPECT_FALSE(dlg.lblPortError->isHidden());
  EXPECT_EQ(dlg.Port, 9);
  dlg.stcomPort->setText(QStringLiteral("COM11"));
  dlg.btnOK->click();
  EXPECT_FALSE(dlg.isVisible());
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_EQ(dlg.Port, 11);
}

TEST(InterfaceDlgTest, ChoosingAnotherFamilyClearsTheRs485Mode) {
  TInterfaceDlg dlg;
  dlg.open();
  dlg.cbArgoRS485->click();
  EXPECT_TRUE(dlg.cbArgoRS485->isChecked());
  EXPECT_EQ(dlg.cbScanDevice->currentIndex(), 2);
  EXPECT_FALSE(dlg.btnScan->isEnabled());
  dlg.cbScanDevice->setCurrentIndex(1);
  dlg.cbScanDeviceChange();
  EXPECT_FALSE(dlg.cbArgoRS485->isChecked());
  EXPECT_TRUE(dlg.btnScan->isEnabled());
  dlg.reject();
}

TEST(InterfaceDlgTest, CancellingTheScanLeavesNoPortAndOkDisabled) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QFile ports(dir.filePath(QStringLiteral("ports.ini")));
  ASSERT_TRUE(ports.open(QIODevice::WriteOnly));
  ports.write("[Ports]\r\n");
  ports.close();
  qputenv("THERMASENTINEL_PORTS", ports.fileName().toUtf8());
  TScanDeviceDlg scan;
  scan.Scanner().ListAdapters = [] { return QList<TUsbAdapter>{}; };
  TInterfaceDlg dlg;
  dlg.SetScanDialog(&scan);
  dlg.DeviceType = DeviceType::Argo;
  dlg.Serial = 10555;
  dlg.Port = 3;
  dlg.BaudCode = 5;
  dlg.open();
  EXPECT_TRUE(dlg.btnOK->isEnabled());
  QTimer::singleShot(300, &scan, [&scan] { scan.btnCancel->click(); });
  dlg.btnScan->click();
  EXPECT_EQ(scan.result(), QDialog::Rejected);
  EXPECT_EQ(dlg.stcomPort->text(), QStringLiteral("----"));
  EXPECT_TRUE(dlg.stSerial->text().isEmpty());
  EXPECT_FALSE(dlg.btnOK->isEnabled());
  dlg.reject();
  qunsetenv("THERMASENTINEL_PORTS");
}

// The main window with the emulator program on COM4 at bus address 7,
// connected there at start.
class InterfaceRoundTripTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const QString devsim = QStringLiteral(TS_BINARY_DIR "/tools/devsim/thermasentinel-devsim");
    if (!QFileInfo::exists(devsim)) GTEST_SKIP() << "the emulator program is not built";
    ASSERT_TRUE(dir_.isValid());
    test_support::PrepareProgramHome(dir_);
    devsim_.start(devsim,
                  {QStringLiteral("--model"), QStringLiteral("argo"), QStringLiteral("--address"),
                   QStringLiteral("7"), QStringLiteral("--serial"), QStringLiteral("10777"),
                   QStringLiteral("--pty"), QStringLiteral("--ports-file"),
                   dir_.filePath(QStringLiteral("ports.ini")), QStringLiteral("--com"), QStringLiteral("4")});
    ASSERT_TRUE(devsim_.waitForStarted(10000));
    ASSERT_TRUE(WaitForEvents([&] { return QFile(dir_.filePath(QStringLiteral("ports.ini"))).size() > 0; },
                              10000, EventPump::EventLoop));
    const QString name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    QDir().mkpath(dir_.filePath(QStringLiteral("cfg/") + name));
    settings_ =
        dir_.filePath(QStringLiteral("cfg/") + name + QLatin1Char('/') + name + QStringLiteral(".ini"));
    QFile f(settings_);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(
        "[COM]\r\nCOM=4\r\nBaudrate=5\r\nDeviceType=1\r\nRS845Addr=7\r\n[Options]\r\nAutoScan=1\r\nAutoStart="
        "0\r\nAskForSaving=0\r\n");
  }

  void TearDown() override {
    form_.reset();
    if (devsim_.state() != QProcess::NotRunning) {
      devsim_.terminate();
      devsim_.waitForFinished(5000);
    }
    test_support::LeaveProgramHome();
  }

  TThermaSentinelForm& StartConnected() {
    form_ = std::make_unique<TThermaSentinelForm>(QStringList{QStringLiteral("ThermaSentinel")});
    form_->show();
    EXPECT_TRUE(WaitForEvents([&] { return form_->State() == csConnected; }, 15000, EventPump::EventLoop));
    return *form_;
  }

  // Runs the interface command; `act` works the dialog while it is shown.
  void RunInterface(TThermaSentinelForm& form, const std::function<void(TInterfaceDlg&)>& act) {
    bool acted = false;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
      if (acted || form.InterfaceDlg == nullptr || !form.InterfaceDlg->isVisible()) return;
      acted = true;
      act(*form.InterfaceDlg);
      // A dialog the case left open would hold the test up.
      if (form.InterfaceDlg->isVisible()) {
        ADD_FAILURE() << "the dialog stayed open: " << form.InterfaceDlg->lblPortError->text().toStdString();
        form.InterfaceDlg->reject();
      }
    });
    poll.start();
    form.mInterfaceClick(nullptr);
    EXPECT_TRUE(acted);
  }

  QByteArray Settings() const {
    QFile f(settings_);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }

  QTemporaryDir dir_;
  QProcess devsim_;
  QString settings_;
  std::unique_ptr<TThermaSentinelForm> form_;
};

TEST_F(InterfaceRoundTripTest, CancelKeepsTheSettingsAndOkStoresTheBusDeviceAndReconnects) {
  TThermaSentinelForm& form = StartConnected();
  ASSERT_EQ(form.State(), csConnected);
  const QByteArray before = Settings();

  RunInterface(form, [](TInterfaceDlg& dlg) {
    EXPECT_EQ(dlg.stDevice->text(), QStringLiteral("Argo"));
    EXPECT_EQ(dlg.stcomPort->text(), QStringLiteral("COM4"));
    EXPECT_EQ(dlg.stSerial->text(), QStringLiteral("10777"));
    // Other choices, then Cancel: nothing of them is stored.
    dlg.cbArgoRS485->click();
    dlg.cbRS485Baud->setCurrentIndex(0);
    dlg.cbRS485Addr->setCurrentIndex(0);
    dlg.btnCancel->click();
  });
  EXPECT_EQ(Settings(), before);
  EXPECT_EQ(form.State(), csClosed);

  RunInterface(form, [](TInterfaceDlg& dlg) {
    // The mode stays as it was left.
    EXPECT_TRUE(dlg.cbArgoRS485->isChecked());
    dlg.cbRS485Comport->setCurrentIndex(dlg.cbRS485Comport->findText(QStringLiteral("COM4")));
    dlg.cbRS485Baud->setCurrentIndex(4);
    dlg.cbRS485Addr->setCurrentIndex(6);
    dlg.stSerial->clear();
    dlg.btnArgoRS485Connect->click();
    EXPECT_TRUE(WaitForEvents([&] { return dlg.btnArgoRS485Connect->isEnabled(); }, 10000));
    EXPECT_EQ(dlg.stSerial->text(), QStringLiteral("10777"));
    EXPECT_TRUE(dlg.btnOK->isEnabled());
    dlg.btnOK->click();
  });
  const QByteArray after = Settings();
  EXPECT_TRUE(after.contains("RS845Addr=7")) << after.toStdString();
  EXPECT_TRUE(after.contains("COM=4")) << after.toStdString();
  EXPECT_TRUE(after.contains("Baudrate=5")) << after.toStdString();
  EXPECT_TRUE(WaitForEvents([&] { return form.State() == csConnected; }, 15000, EventPump::EventLoop));
}

}  // namespace
