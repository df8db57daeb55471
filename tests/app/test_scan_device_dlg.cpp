// The device scan against emulated devices of both families among silent,
// missing and unmapped ports: it finds exactly the devices, in bounded time;
// the dialog closes by itself on the wanted serial, selects a row, and
// ignores preview notifications for rows that do not exist.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMap>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <memory>
#include <set>
#include <tuple>
#include <vector>

#include "app/device_scan.h"
#include "app/interface_dlg.h"
#include "app/scan_device_dlg.h"
#include "drivers/device_type.h"
#include "drivers/sentinel_utils.h"
#include "measurement/argo_family.h"
#include "platform/fake_serial_device.h"
#include "platform/fake_serial_line.h"
#include "platform/pty_pair.h"
#include "tests/app/dialog_texts.h"
#include "tests/support/wait_for.h"
#include "tools/devsim/argo_model.h"
#include "tools/devsim/argo_profiles.h"
#include "tools/devsim/brio_gen1_model.h"
#include "tools/devsim/brio_gen2_model.h"
#include "tools/devsim/brio_profiles.h"
#include "tools/devsim/fake_line_server.h"
#include "tools/devsim/pty_server.h"
#include "ui/opt_string_grid.h"

namespace {

using test_support::WaitForEvents;

constexpr std::uint16_t kSiliconLabs = 0x10C4;

// Emulated devices served under COM numbers in one ports file.
class ScanBench {
 public:
  explicit ScanBench(const QTemporaryDir& dir) : dir_(dir) {}
  ~ScanBench() {
    for (auto& s : ptyServers_) s->Stop();
    for (auto& s : lineServers_) s->Stop();
    for (const QString& n : lineNames_) FakeSerialDevice::Unregister(n);
    qunsetenv("THERMASENTINEL_PORTS");
  }

  bool AddArgo(int port, std::uint32_t serial, int baud,
               const QString& profileName = QStringLiteral("argo-current")) {
    auto profile = ArgoProfiles::Find(profileName);
    if (!profile) return false;
    ArgoOptions o;
    o.baudRate = baud;
    auto model = std::make_shared<ArgoModel>(*profile, o);
    ArgoDeviceState state = model->State();
    state.serial = serial;
    model->SetState(state);
    auto server = std::make_unique<PtyServer>(model);
    if (!server->Start()) return false;
    entries_ += "COM" + QByteArray::number(port) + "=" + server->SlavePath().toUtf8() + "\r\n";
    argoServers_[port] = server.get();
    ptyServers_.push_back(std::move(server));
    argos_[port] = model;
    return true;
  }

  bool AddBrio(int port, int generation, const QString& name) {
    const auto profile = BrioProfiles::Find(generation, name);
    if (!profile) return false;
    std::shared_ptr<BrioDeviceModel> model;
    if (generation == 1)
      model = std::make_shared<BrioGen1Model>(*profile, BrioOptions{});
    else
      model = std::make_shared<BrioGen2Model>(*profile, BrioOptions{});
    auto line = FakeSerialLine::Create();
    lines_[port] = line;
    const QString lineName = QStringLiteral("scan-test-") + name;
    FakeSerialDevice::Register(lineName, line);
    lineNames_.append(lineName);
    auto server = std::make_unique<FakeLineServer>(model, line);
    server->Start();
    lineServers_.push_back(std::move(server));
    entries_ += "COM" + QByteArray::number(port) + "=" + lineName.toUtf8() + "\r\n";
    adapters_.append({port, kSiliconLabs, 0x80C4});
    serials_.insert({port, profile->serial});
    return true;
  }

  // A pseudo-terminal with nothing on its far end.
  bool AddSilent(int port, bool brioAdapter) {
    auto pty = std::make_unique<PtyPair>();
    if (!pty->IsValid()) return false;
    entries_ += "COM" + QByteArray::number(port) + "=" + pty->SlavePath().toUtf8() + "\r\n";
    silent_.push_back(std::move(pty));
    if (brioAdapter) adapters_.append({port, kSiliconLabs, 0x834E});
    return true;
  }

  void AddMissing(int port) {
    entries_ += "COM" + QByteArray::number(port) + "=" +
                dir_.filePath(QStringLiteral("gone-%1").arg(port)).toUtf8() + "\r\n";
    adapters_.append({port, kSiliconLabs, 0x80C4});
  }

  bool Publish() {
    QFile f(dir_.filePath(QStringLiteral("ports.ini")));
    if (!f.open(QIODevice::WriteOnly)) return false;
    f.write(entries_);
    f.close();
    qputenv("THERMASENTINEL_PORTS", f.fileName().toUtf8());
    return true;
  }

  QList<TUsbAdapter> Adapters() const { return adapters_; }
  std::shared_ptr<FakeSerialLine> Line(int port) const { return lines_.value(port); }
  std::shared_ptr<ArgoModel> Argo(int port) const { return argos_.value(port); }
  // The rates the single-colour device on `port` was sent bytes at, in order.
  std::vector<int> RatesTried(int port) const {
    const PtyServer* server = argoServers_.value(port);
    return server != nullptr ? server->HostSendingRates() : std::vector<int>{};
  }

 private:
  const QTemporaryDir& dir_;
  QByteArray entries_ = "[Ports]\r\n";
  std::vector<std::unique_ptr<PtyServer>> ptyServers_;
  std::vector<std::unique_ptr<FakeLineServer>> lineServers_;
  std::vector<std::unique_ptr<PtyPair>> silent_;
  QStringList lineNames_;
  QList<TUsbAdapter> adapters_;
  QMap<int, std::shared_ptr<FakeSerialLine>> lines_;
  QMap<int, std::shared_ptr<ArgoModel>> argos_;
  QMap<int, const PtyServer*> argoServers_;
  std::set<std::pair<int, std::uint32_t>> serials_;
};

using Found = std::set<std::tuple<int, std::uint32_t, int, int>>;  // port, serial, baud index, device type

Found AsSet(const QList<TScanResult>& results) {
  Found s;
  for (const TScanResult& r : results) {
    EXPECT_EQ(r.PortName, QStringLiteral("COM") + QString::number(r.Port));
    s.insert({r.Port, r.Serial, r.BaudIndex, r.DeviceType});
  }
  return s;
}

class ScanTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
  QTemporaryDir dir_;
};

TEST_F(ScanTest, FindsExactlyTheDevicesOfBothFamiliesInBoundedTime) {
  ScanBench bench(dir_);
  ASSERT_TRUE(bench.AddArgo(3, 10123, 9600));
  ASSERT_TRUE(bench.AddArgo(41, 1000777, 38400));
  ASSERT_TRUE(bench.AddBrio(8, 2, QStringLiteral("brio-2w")));
  ASSERT_TRUE(bench.AddBrio(12, 1, QStringLiteral("voduz1")));
  ASSERT_TRUE(bench.AddSilent(20, true));
  ASSERT_TRUE(bench.AddSilent(200, false));
  bench.AddMissing(21);
  ASSERT_TRUE(bench.Publish());

  TDeviceScan scan;
  scan.ListAdapters = [&bench] { return bench.Adapters(); };
  std::vector<int> progress;
  scan.OnProgress = [&progress](int p) { progress.push_back(p); };
  bool finished = false;
  TDeviceScan::Outcome outcome;
  QElapsedTimer took;
  took.start();
  scan.Scan(DeviceType::None, DeviceType::None, 0, true, [&](const TDeviceScan::Outcome& o) {
    outcome = o;
    finished = true;
  });
  ASSERT_TRUE(WaitForEvents([&] { return finished; }, 40000));
  // The single-colour searches run side by side (about 5.3 s for a silent
  // port), then the Brio probes side by side.
  EXPECT_LT(took.elapsed(), 30000);
  EXPECT_EQ(AsSet(outcome.Found), (Found{{3, 10123, 0, DeviceType::Argo},
                                         {41, 1000777, 2, DeviceType::Argo},
                                         {8, 10501, 0, DeviceType::Brio2W},
                                         {12, 11000, 0, DeviceType::Voduz1}}));
  // The single-colour family first, then the Brio family.
  ASSERT_EQ(outcome.Found.size(), 4);
  EXPECT_EQ(outcome.Found[0].DeviceType, DeviceType::Argo);
  EXPECT_EQ(outcome.Found[1].DeviceType, DeviceType::Argo);
  EXPECT_EQ(outcome.DeviceType, outcome.Found.last().DeviceType);
  EXPECT_EQ(outcome.WantedIndex, -1);
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.back(), 100);
  EXPECT_FALSE(scan.Running());
}

TEST_F(ScanTest, WithoutAdaptersAndNonUsbOffNoSearchRuns) {
  ScanBench bench(dir_);
  ASSERT_TRUE(bench.AddArgo(3, 10123, 9600));
  ASSERT_TRUE(bench.Publish());
  TDeviceScan scan;
  scan.ListAdapters = [] { return QList<TUsbAdapter>{}; };
  bool finished = false;
  TDeviceScan::Outcome outcome;
  QElapsedTimer took;
  took.start();
  scan.Scan(DeviceType::Argo, DeviceType::None, 0, false, [&](const TDeviceScan::Outcome& o) {
    outcome = o;
    finished = true;
  });
  ASSERT_TRUE(WaitForEvents([&] { return finished; }, 5000));
  EXPECT_TRUE(outcome.Found.isEmpty());
  EXPECT_LT(took.elapsed(), 2000);
}

TEST_F(ScanTest, PassEndsAfterTheTimeOutWhileSearchesStillRun) {
  ScanBench bench(dir_);
  ASSERT_TRUE(bench.AddSilent(4, false));
  ASSERT_TRUE(bench.Publish());
  TDeviceScan scan;
  scan.TimeoutSeconds = 1;
  bool finished = false;
  QElapsedTimer took;
  took.start();
  scan.SearchPass({4}, [&](const TDeviceScan::Results& r) {
    EXPECT_TRUE(r.isEmpty());
    finished = true;
  });
  ASSERT_TRUE(WaitForEvents([&] { return finished; }, 5000));
  // A silent port takes about 5.3 s; the pass gave up after one.
  EXPECT_LT(took.elapsed(), 4000);
}

TEST_F(ScanTest, CancellingEndsRunningBrioProbesPromptly) {
  ScanBench bench(dir_);
  for (int port : {20, 22, 24}) ASSERT_TRUE(bench.AddSilent(port, true));
  ASSERT_TRUE(bench.Publish());
  TDeviceScan scan;
  bool reported = false;
  scan.ProbeBrio({20, 22, 24}, [&](const TDeviceScan::Results&) { reported = true; });
  // The probes are in their power-on handshakes.
  WaitForEvents([] { return false; }, 500);
  QElapsedTimer took;
  took.start();
  scan.Cancel();
  EXPECT_LT(took.elapsed(), 2500);
  WaitForEvents([] { return false; }, 100);
  EXPECT_FALSE(reported);
  EXPECT_FALSE(scan.Running());
}

TEST_F(ScanTest, DialogClosesByItselfWhenThePreferredPortHoldsTheWantedDevice) {
  ScanBench bench(dir_);
  ASSERT_TRUE(bench.AddArgo(5, 10555, 19200));
  ASSERT_TRUE(bench.AddArgo(6, 10666, 9600));
  ASSERT_TRUE(bench.Publish());
  TScanDeviceDlg dlg;
  dlg.Scanner().ListAdapters = [] { return QList<TUsbAdapter>{}; };
  dlg.StoredDeviceType = DeviceType::Argo;
  dlg.DeviceType = DeviceType::None;
  dlg.PreferredPort = 5;
  dlg.WantedSerial = 10555;
  dlg.ScanNonUSB = true;
  QElapsedTimer took;
  took.start();
  dlg.open();
  ASSERT_TRUE(WaitForEvents([&] { return !dlg.isVisible(); }, 15000));
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_TRUE(dlg.AutoSelected);
  ASSERT_EQ(dlg.SelectedIndex, 0);
  EXPECT_EQ(dlg.Found[0].Port, 5);
  EXPECT_EQ(dlg.Found[0].BaudIndex, 1);
  EXPECT_EQ(dlg.DeviceType, DeviceType::Argo);
  // Only the preferred port was searched: port 6's device was never seen.
  EXPECT_EQ(dlg.Found.size(), 1);
  EXPECT_LT(took.elapsed(), 8000);
}

// The start-up scan searches the stored port at the stored rate first and
// then at the others in rising order: the device found and the rates tried
// stay the same, only their order changes.
TEST_F(ScanTest, ThePreferredPortIsSearchedAtTheStoredRateFirst) {
  struct Case {
    const char* name;
    int storedIndex;  // baud index stored with the device (-1: none)
    int deviceRate;
    int foundIndex;
    std::vector<int> tried;
  };
  const std::vector<Case> cases = {
      {"at the stored rate", 4, 115200, 4, {115200}},
      {"at another rate", 4, 19200, 1, {115200, 9600, 19200}},
      {"nothing stored", -1, 38400, 2, {9600, 19200, 38400}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScanBench bench(dir_);
    ASSERT_TRUE(bench.AddArgo(5, 10555, c.deviceRate));
    ASSERT_TRUE(bench.Publish());
    TScanDeviceDlg dlg;
    dlg.Scanner().ListAdapters = [] { return QList<TUsbAdapter>{}; };
    dlg.StoredDeviceType = DeviceType::Argo;
    dlg.DeviceType = DeviceType::None;
    dlg.PreferredPort = 5;
    dlg.PreferredBaudIndex = c.storedIndex;
    dlg.WantedSerial = 10555;
    dlg.ScanNonUSB = false;
    dlg.open();
    ASSERT_TRUE(WaitForEvents([&] { return !dlg.isVisible(); }, 15000));
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    ASSERT_EQ(dlg.SelectedIndex, 0);
    EXPECT_EQ(dlg.Found[0].Port, 5);
    EXPECT_EQ(dlg.Found[0].BaudIndex, c.foundIndex);
    EXPECT_EQ(dlg.Found[0].DeviceType, DeviceType::Argo);
    EXPECT_EQ(bench.RatesTried(5), c.tried);
  }
}

TEST_F(ScanTest, DialogListsDevicesAndSelectsARow) {
  ScanBench bench(dir_);
  ASSERT_TRUE(bench.AddArgo(5, 10555, 9600));
  ASSERT_TRUE(bench.AddBrio(9, 2, QStringLiteral("fenn-2w")));
  ASSERT_TRUE(bench.Publish());
  TScanDeviceDlg dlg;
  dlg.Scanner().ListAdapters = [&bench] { return bench.Adapters(); };
  dlg.PreferredPort = 5;
  dlg.ScanNonUSB = false;
  dlg.open();
  ASSERT_TRUE(WaitForEvents([&] { return dlg.Grid->RowCount() == 3 && dlg.pnlGrid->isVisible(); }, 20000));
  EXPECT_EQ(dlg.Grid->Cells(3, 1), QStringLiteral("COM5"));
  EXPECT_EQ(dlg.Grid->Cells(2, 1), QStringLiteral(" #10555"));
  EXPECT_EQ(dlg.Grid->Cells(1, 2), QStringLiteral("Fenn 2W"));
  EXPECT_EQ(dlg.Grid->Cells(2, 2), QStringLiteral(" #10703"));
  // The preview replaces the first texts with the devices' temperatures.
  EXPECT_TRUE(WaitForEvents(
      [&] {
        return dlg.Grid->Cells(5, 2) != QStringLiteral("000.0\u00B0C") && !dlg.Grid->Cells(5, 2).isEmpty();
      },
      15000));
  dlg.Grid->selectRow(2);
  ASSERT_TRUE(WaitForEvents([&] { return dlg.btnSelect->isEnabled(); }, 2000));
  dlg.btnSelect->click();
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_EQ(dlg.SelectedIndex, 1);
  EXPECT_EQ(dlg.DeviceType, DeviceType::Fenn2W);
}

// A single-colour row that turns out a ratio model shows that name whole,
// as every other text of the list.
TEST_F(ScanTest, ARatioDeviceIsListedWhole) {
  ScanBench bench(dir_);
  ASSERT_TRUE(bench.AddArgo(5, 10555, 9600, QStringLiteral("ratio")));
  ASSERT_TRUE(bench.Publish());
  TScanDeviceDlg dlg;
  dlg.Scanner().ListAdapters = [&bench] { return bench.Adapters(); };
  dlg.PreferredPort = 5;
  dlg.ScanNonUSB = false;
  dlg.DeviceType = 0;
  dlg.open();
  QString ratio;
  SentinelUtils::DeviceTypeName(DeviceType::ArgoRatio, ratio);
  ASSERT_TRUE(
      WaitForEvents([&] { return dlg.Grid->RowCount() == 2 && dlg.Grid->Cells(1, 1) == ratio; }, 20000))
      << dlg.Grid->Cells(1, 1).toStdString();
  const QStringList clipped = test_support::ClippedTexts(&dlg);
  EXPECT_TRUE(clipped.isEmpty()) << clipped.join(QLatin1Char('\n')).toStdString();
  dlg.reject();
}

// The operations a device was asked for, in order.
QStringList RequestNames(const ArgoModel& model) {
  QStringList names;
  for (const ArgoRequestRecord& r : model.Requests()) names.append(r.name);
  return names;
}

TEST_F(ScanTest, SingleColourPreviewReadsTheConfigurationAndThenOnlyTemperatures) {
  ScanBench bench(dir_);
  ASSERT_TRUE(bench.AddArgo(5, 10555, 9600));
  ASSERT_TRUE(bench.AddArgo(7, 10777, 9600));
  ASSERT_TRUE(bench.Publish());

  // What a whole configuration read asks a device for, taken from the
  // driver on the second device.
  const auto reference = bench.Argo(7);
  ASSERT_TRUE(reference);
  QStringList configurationRead;
  {
    ArgoFamily family;
    bool opened = false;
    bool read = false;
    family.Open(7, 0, 0, [&](bool ok) {
      opened = ok;
      reference->ClearRequests();
      family.PostDriverJob([](TpyreonArgo& d) { d.ReadAllParameters(true); }, [&](bool) { read = true; });
    });
    ASSERT_TRUE(WaitForEvents([&] { return read; }, 15000));
    ASSERT_TRUE(opened);
    configurationRead = RequestNames(*reference);
    family.Close();
  }
  ASSERT_FALSE(configurationRead.isEmpty());

  const auto device = bench.Argo(5);
  ASSERT_TRUE(device);
  TScanDeviceDlg dlg;
  dlg.Scanner().ListAdapters = [] { return QList<TUsbAdapter>{}; };
  dlg.StoredDeviceType = DeviceType::Argo;
  dlg.DeviceType = DeviceType::Argo;
  dlg.PreferredPort = 5;
  dlg.open();
  ASSERT_TRUE(WaitForEvents([&] { return dlg.pnlGrid->isVisible(); }, 15000));
  ASSERT_TRUE(WaitForEvents(
      [&] { return RequestNames(*device).count(QStringLiteral("ReadObjectTemperature")) >= 3; }, 15000));
  dlg.reject();
  const QStringList all = RequestNames(*device);
  const QString log = all.join(QLatin1Char(' '));
  // The search's requests, then the configuration read once, then the
  // temperature reads alone.
  int at = -1;
  for (int i = 0; i + configurationRead.size() <= all.size(); ++i)
    if (all.mid(i, configurationRead.size()) == configurationRead) at = i;
  ASSERT_GE(at, 0) << log.toStdString();
  for (const QString& name : all.mid(at + configurationRead.size()))
    EXPECT_EQ(name, QStringLiteral("ReadObjectTemperature")) << log.toStdString();
  EXPECT_EQ(all.count(QStringLiteral("GetSpotIllumination")),
            configurationRead.count(QStringLiteral("GetSpotIllumination")))
      << log.toStdString();
}

TEST_F(ScanTest, PleaseWaitShowsOnceTheSingleColourSearchIsOver) {
  ScanBench bench(dir_);
  ASSERT_TRUE(bench.AddArgo(5, 10555, 9600));
  // A Brio adapter with nothing on it keeps the Brio probe busy a while.
  ASSERT_TRUE(bench.AddSilent(20, true));
  ASSERT_TRUE(bench.Publish());
  TScanDeviceDlg dlg;
  dlg.Scanner().ListAdapters = [&bench] { return bench.Adapters(); };
  dlg.StoredDeviceType = DeviceType::Argo;
  dlg.DeviceType = DeviceType::None;
  dlg.PreferredPort = 5;
  // The texts of the message panel, in order, each once.
  QStringList texts;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (dlg.pnlMessage->isVisible() && (texts.isEmpty() || texts.last() != dlg.pnlMessage->text()))
      texts.append(dlg.pnlMessage->text());
  });
  watch.start(5);
  dlg.open();
  ASSERT_TRUE(WaitForEvents([&] { return dlg.pnlGrid->isVisible(); }, 20000));
  watch.stop();
  dlg.reject();
  const QString all = texts.join(QStringLiteral(" | "));
  const QString wait = QStringLiteral("Please wait ...");
  // Shown after the search's last progress, and kept while the Brio family
  // is probed.
  const int at = static_cast<int>(texts.indexOf(wait));
  ASSERT_GE(at, 1) << all.toStdString();
  EXPECT_EQ(texts.last(), wait) << all.toStdString();
  EXPECT_TRUE(texts[at - 1].startsWith(QStringLiteral("Scan Argo."))) << all.toStdString();
}

TEST_F(ScanTest, BytesWaitingFromASecondGenerationBrioLeadToOneRescan) {
  ScanBench bench(dir_);
  ASSERT_TRUE(bench.AddBrio(9, 2, QStringLiteral("brio-2w")));
  ASSERT_TRUE(bench.Publish());
  const auto line = bench.Line(9);
  ASSERT_TRUE(line);
  TScanDeviceDlg dlg;
  dlg.Scanner().ListAdapters = [&bench] { return bench.Adapters(); };
  dlg.StoredDeviceType = DeviceType::Brio2W;
  dlg.DeviceType = DeviceType::Brio2W;
  dlg.open();
  const auto previewing = [&] {
    return dlg.pnlGrid->isVisible() && dlg.Grid->RowCount() == 2 &&
           dlg.Grid->Cells(5, 1) != QStringLiteral("000.0\u00B0C") && !dlg.Grid->Cells(5, 1).isEmpty();
  };
  ASSERT_TRUE(WaitForEvents(previewing, 20000));
  EXPECT_NE(dlg.WantedSerial, -1);
  // Every time the grid gives way to the message panel a scan runs.
  int rescans = 0;
  bool gridShown = true;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    const bool shown = dlg.pnlGrid->isVisible();
    if (gridShown && !shown) ++rescans;
    gridShown = shown;
  });
  watch.start(2);
  // Stray bytes on the line between two reads of the preview.
  line->Inject(std::string_view("\x55\xAA\x01", 3));
  ASSERT_TRUE(WaitForEvents([&] { return rescans > 0; }, 5000));
  EXPECT_EQ(dlg.WantedSerial, -1);
  // The rescan finds the device again and its preview runs on quietly.
  ASSERT_TRUE(WaitForEvents(previewing, 20000));
  WaitForEvents([] { return false; }, 1500);
  watch.stop();
  EXPECT_EQ(rescans, 1);
  EXPECT_TRUE(previewing());
  dlg.reject();
}

TEST_F(ScanTest, APortArrivingWhileTheDialogIsOpenLeadsToOneRescan) {
  const QString device = dir_.filePath(QStringLiteral("ttyPlugged"));
  QFile ports(dir_.filePath(QStringLiteral("ports.ini")));
  ASSERT_TRUE(ports.open(QIODevice::WriteOnly));
  ports.write("[Ports]\r\nCOM5=" + device.toUtf8() + "\r\n");
  ports.close();
  qputenv("THERMASENTINEL_PORTS", ports.fileName().toUtf8());
  TScanDeviceDlg dlg;
  dlg.Scanner().ListAdapters = [] { return QList<TUsbAdapter>{}; };
  dlg.StoredDeviceType = DeviceType::Argo;
  dlg.open();
  const QString none = QStringLiteral("No devices found!");
  ASSERT_TRUE(WaitForEvents([&] { return dlg.pnlMessage->text() == none; }, 5000));
  EXPECT_FALSE(dlg.DelayTimer->isActive());
  QFile node(device);
  ASSERT_TRUE(node.open(QIODevice::WriteOnly));
  node.close();
  ASSERT_TRUE(WaitForEvents([&] { return dlg.DelayTimer->isActive(); }, 5000));
  // The rescan runs when the delay has passed and finds nothing again.
  ASSERT_TRUE(WaitForEvents([&] { return !dlg.DelayTimer->isActive(); }, 5000));
  EXPECT_EQ(dlg.WantedSerial, -1);
  EXPECT_TRUE(WaitForEvents([&] { return dlg.pnlMessage->text() == none; }, 5000));
  dlg.reject();
  qunsetenv("THERMASENTINEL_PORTS");
}

TEST_F(ScanTest, InterfaceDialogSwitchesTheSupplyOfTheBrioDeviceItScanned) {
  ScanBench bench(dir_);
  ASSERT_TRUE(bench.AddBrio(9, 2, QStringLiteral("brio-2w")));
  ASSERT_TRUE(bench.Publish());
  TScanDeviceDlg scan;
  scan.Scanner().ListAdapters = [&bench] { return bench.Adapters(); };
  TInterfaceDlg dlg;
  dlg.SetScanDialog(&scan);
  // A bus address stored for an earlier device.
  dlg.RS485Address = 7;
  dlg.open();
  dlg.cbScanDevice->setCurrentIndex(1);
  bool selected = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (selected || !scan.isVisible() || !scan.btnSelect->isEnabled()) return;
    selected = true;
    scan.btnSelect->click();
  });
  poll.start(50);
  QTimer::singleShot(30000, &scan, [&scan] { scan.reject(); });
  dlg.btnScan->click();
  ASSERT_TRUE(selected);
  EXPECT_EQ(dlg.DeviceType, DeviceType::Brio2W);
  EXPECT_EQ(dlg.stcomPort->text(), QStringLiteral("COM9"));
  EXPECT_EQ(dlg.stSerial->text(), QStringLiteral("10501"));
  EXPECT_TRUE(dlg.btnOK->isEnabled());
  ASSERT_TRUE(dlg.btnPowerOnOff->isEnabled());
  ASSERT_FALSE(dlg.TestPortClosed);
  const auto line = bench.Line(9);
  ASSERT_TRUE(line);
  EXPECT_FALSE(line->Dtr());
  dlg.btnPowerOnOff->click();
  EXPECT_TRUE(line->Dtr());
  EXPECT_EQ(dlg.btnPowerOnOff->text(), QStringLiteral("Power off"));
  dlg.btnPowerOnOff->click();
  EXPECT_FALSE(line->Dtr());
  EXPECT_EQ(dlg.btnPowerOnOff->text(), QStringLiteral("Power on"));
  dlg.btnOK->click();
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_EQ(dlg.Port, 9);
  // The device the scan found is reached without a bus address.
  EXPECT_EQ(dlg.RS485Address, 0);
  EXPECT_TRUE(dlg.TestPortClosed);
}

TEST_F(ScanTest, GridStartsWithItsDefaultCellSizes) {
  TScanDeviceDlg dlg;
  EXPECT_EQ(dlg.Grid->ColCount(), 7);
  EXPECT_EQ(dlg.Grid->DefaultColWidth(), 45);
  EXPECT_EQ(dlg.Grid->DefaultRowHeight(), 18);
  // Rows added for the devices found start at that height.
  dlg.Grid->SetRowCount(3);
  EXPECT_EQ(dlg.Grid->RowHeights(2), 18);
  EXPECT_EQ(dlg.Grid->ColWidths(6), 45);
}

TEST_F(ScanTest, LatePreviewNotificationsForMissingRowsAreIgnored) {
  TScanDeviceDlg dlg;
  dlg.Grid->SetRowCount(2);
  dlg.Grid->SetCells(5, 1, QStringLiteral("x"));
  // No row has a device: every index is out of range, also the one the
  // grid still has a line for.
  for (std::uint32_t w : {0u, 1u, 5u, 0xFFFFu, 0x0001FFFFu}) dlg.MsgBrioNewValues(w, 1234);
  EXPECT_EQ(dlg.Grid->Cells(5, 1), QStringLiteral("x"));
  EXPECT_EQ(dlg.Grid->RowCount(), 2);
}

}  // namespace
