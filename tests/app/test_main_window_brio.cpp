// The main window with the emulated Brio devices (in process, on a fake
// line that carries DTR and parity): connection with the model decision,
// burst and poll measurements and their stop (the device restarts and gets
// back the configuration the burst changed), automatic start, the close
// that waits for a running measurement to stop, a device vanishing in
// the middle of a burst, the progress bar during the power-on handshake and
// the programming, and which devices are offered the emissivity command.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <atomic>
#include <chrono>
#include <cmath>
#include <memory>
#include <ostream>
#include <span>

#include "app/change_emiss_dlg.h"
#include "app/device_info_dlg.h"
#include "app/scan_device_dlg.h"
#include "app/therma_sentinel_form.h"
#include "drivers/brio/brio_boot_loader.h"
#include "drivers/device_type.h"
#include "drivers/sentinel_utils.h"
#include "platform/folders.h"
#include "platform/ini_file.h"
#include "tests/support/brio_emulator.h"
#include "tests/support/modal_dialog.h"
#include "tests/support/stall_limit.h"
#include "tests/support/wait_for.h"
#include "ui/d_spin_edit.h"
#include "ui/lng_ini_supp.h"
#include "ui/panel_status_bar.h"

namespace {

using test_support::BrioEmulator;
using test_support::EventPump;
using test_support::WaitForEvents;

constexpr int kPort = 9;
constexpr std::uint16_t kSiliconLabsVendor = 0x10C4;
constexpr std::uint16_t kBrioProduct = 0x80C4;

struct BrioCase {
  int generation;
  const char* profile;
};
void PrintTo(const BrioCase& c, std::ostream* os) {
  *os << "generation " << c.generation << " " << c.profile;
}

class MainWindowBrioTest : public ::testing::Test {
 protected:
  void TearDown() override {
    form_.reset();
    emulator_.Stop();
    Folders::SetProgramFolderForTesting(QString());
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("THERMASENTINEL_PORTS");
  }

  // A per-test home with the language file, the emulated device on COM9 and
  // the settings that connect it at start.
  void Prepare(int generation, const QString& profile, int communicationMode, bool autoStart) {
    ASSERT_TRUE(dir_.isValid());
    QDir().mkpath(dir_.filePath(QStringLiteral("prog")));
    QFile::copy(QStringLiteral(TS_SOURCE_DIR "/lang/English.lng"),
                dir_.filePath(QStringLiteral("prog/English.lng")));
    Folders::SetProgramFolderForTesting(dir_.filePath(QStringLiteral("prog")));
    qputenv("XDG_CONFIG_HOME", dir_.filePath(QStringLiteral("cfg")).toLocal8Bit());
    TLngINISupp::ResetSharedStateForTesting();
    ASSERT_TRUE(emulator_.Start(generation, profile, dir_.path(), kPort));
    const QString name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    QDir().mkpath(dir_.filePath(QStringLiteral("cfg/") + name));
    settings_ =
        dir_.filePath(QStringLiteral("cfg/") + name + QLatin1Char('/') + name + QStringLiteral(".ini"));
    QFile f(settings_);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    // The stored serial (written with a leading zero, so its rewrite at
    // close shows) lets the start-up scan take the device by itself.
    f.write("[COM]\r\nCOM=9\r\nBrio_Serial=0" + QByteArray::number(emulator_.Profile().serial) +
            "\r\nDeviceType=" + QByteArray::number(emulator_.Profile().deviceTypeCode) +
            "\r\n[Options]\r\nAutoScan=1\r\nAutoStart=" + QByteArray(autoStart ? "1" : "0") +
            "\r\nAskForSaving=0\r\n[Settings]\r\nBrioBurstStartDelay=0\r\nCommunicationMode=" +
            QByteArray::number(communicationMode) + "\r\n");
  }

  // The window, its scan seeing the emulated device's port as a Brio
  // adapter.
  void MakeForm() {
    form_ = std::make_unique<TThermaSentinelForm>(QStringList{QStringLiteral("ThermaSentinel")});
    form_->ScanDeviceDlg->Scanner().ListAdapters = [] {
      return QList<TUsbAdapter>{{kPort, kSiliconLabsVendor, kBrioProduct}};
    };
  }

  TThermaSentinelForm& StartConnected() {
    MakeForm();
    form_->show();
    EXPECT_TRUE(WaitForEvents([&] { return form_->State() == csConnected; }, 30000, EventPump::EventLoop))
        << int(form_->State()) << " " << StatusTexts().toStdString();
    return *form_;
  }

  // The status bar's panels, for a failure message that says where the
  // window stopped.
  QString StatusTexts() const {
    QStringList texts;
    for (int i = 0; i <= 5; ++i) texts << form_->StatusBar()->PanelText(i);
    return texts.join(QStringLiteral(" | "));
  }

  // Waits for a stopped measurement's restart: the device read again, its
  // configuration written back, connected.
  bool WaitReconnected(TThermaSentinelForm& f, int rewrites) {
    return WaitForEvents(
        [&] { return f.State() == csConnected && !f.RewritePending() && f.RewritesDone() == rewrites; },
        60000, EventPump::EventLoop);
  }

  std::vector<std::uint8_t> FlashConfiguration() const { return emulator_.Model().ReadMemory(0x1000, 128); }
  // The configuration the device had before the burst, as the model's
  // writer programs it (the 4-20 mA models' writer clears data bytes 40
  // and 41).
  std::vector<std::uint8_t> ProfileConfiguration() const {
    const auto& c = emulator_.Profile().configuration;
    std::vector<std::uint8_t> bytes(c.begin(), c.end());
    if (emulator_.Profile().deviceTypeCode >= DeviceType::Brio2W &&
        emulator_.Profile().deviceTypeCode <= DeviceType::Fenn2W)
      bytes[40] = bytes[41] = 0;
    return bytes;
  }

  QTemporaryDir dir_;
  QString settings_;
  BrioEmulator emulator_;
  std::unique_ptr<TThermaSentinelForm> form_;
};

// What the progress bar showed and how the window kept going meanwhile:
// every value with the probe's tick count, the bar's paint count and the
// status text (what the window said it was doing) at that moment.
//
// Given the device's line, it also holds the driver after each loader SYNC
// it sends until the window's probe ticked three more times. Without that,
// a window thread the machine left waiting for the whole of a loader run
// would take every report of it in one go, and the run would look as if it
// had blocked the window. A run on the window's thread sits out each hold
// to its five-second bound without a tick (the probe cannot run meanwhile),
// so the check still sees it.
class ProgressWatch : public QObject {
 public:
  struct Seen {
    int percent;
    int ticks;
    int paints;
    QString status;
  };

  explicit ProgressWatch(TThermaSentinelForm& form, FakeSerialLine* line = nullptr) : line_(line) {
    QProgressBar* bar = form.ProgressBar;
    bar->installEventFilter(this);
    QObject::connect(bar, &QProgressBar::valueChanged, this, [this, &form](int v) {
      seen.push_back({v, ticks_->load(), paints_, form.StatusBar()->PanelText(4)});
    });
    QObject::connect(&probe_, &QTimer::timeout, this, [this] { ++*ticks_; });
    probe_.start(10);
    if (line_ != nullptr) {
      // On the driver's thread; holds the counter, never this object.
      line_->SetResponder([ticks = ticks_](FakeSerialLine&, std::span<const std::uint8_t> written) {
        if (written.size() != 1 || written[0] != TBrioBootLoader::kSync) return;
        const int from = ticks->load();
        test_support::WaitFor([&] { return ticks->load() >= from + 3; }, std::chrono::seconds(5));
      });
    }
  }
  ~ProgressWatch() override {
    if (line_ != nullptr) line_->SetResponder(nullptr);
  }
  ProgressWatch(const ProgressWatch&) = delete;
  ProgressWatch& operator=(const ProgressWatch&) = delete;

  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::Paint) ++paints_;
    return QObject::eventFilter(o, e);
  }

  // The values shown under a status text starting with `status`, from the
  // first that is not 0 up to the first 100 (empty when 100 never came).
  std::vector<Seen> RiseTo100(const QString& status = QString()) const {
    std::vector<Seen> rise;
    for (std::size_t i = 0; i < seen.size(); ++i) {
      if (!seen[i].status.startsWith(status)) continue;
      if (rise.empty() && seen[i].percent == 0) continue;
      rise.push_back(seen[i]);
      if (seen[i].percent == 100) return rise;
    }
    return {};
  }
  static bool Rising(const std::vector<Seen>& rise) {
    for (std::size_t i = 1; i < rise.size(); ++i)
      if (rise[i].percent <= rise[i - 1].percent) return false;
    return true;
  }

  std::vector<Seen> seen;

 private:
  FakeSerialLine* line_;
  QTimer probe_;
  std::shared_ptr<std::atomic<int>> ticks_ = std::make_shared<std::atomic<int>>(0);
  int paints_ = 0;
};

class MainWindowBrioModels : public MainWindowBrioTest, public ::testing::WithParamInterface<BrioCase> {};

// Every model line: connected with its model and serial, a burst measured
// and stopped (the configuration the burst programmed is written back), a
// polled measurement, and the disconnect. Programming the burst start and
// the rewrite after the stop each move the progress bar up to 100 % while
// the window keeps running its timers and painting.
TEST_P(MainWindowBrioModels, ConnectsMeasuresAndDisconnects) {
  Prepare(GetParam().generation, QString::fromLatin1(GetParam().profile), 1, false);
  TThermaSentinelForm& f = StartConnected();
  ASSERT_EQ(f.State(), csConnected);
  const BrioProfile& p = emulator_.Profile();
  EXPECT_EQ(f.DeviceTypeCode(), p.deviceTypeCode);
  QString label;
  SentinelUtils::DeviceTypeName(static_cast<std::uint8_t>(p.deviceTypeCode), label);
  EXPECT_EQ(f.StatusBar()->PanelText(1), label + QStringLiteral(": Connected"));
  EXPECT_EQ(f.StatusBar()->PanelText(5), QStringLiteral("Keep %1 #%2 plugged in").arg(label).arg(p.serial));
  if (GetParam().generation == 2) {
    EXPECT_GT(f.BrioNotifications(), 0);
  }
  // The Fenn 2W profile's firmware is 1000: no emissivity command.
  const bool emissivity = p.deviceTypeCode != DeviceType::Fenn2W;
  EXPECT_EQ(f.mEmissivity->isVisible(), emissivity);
  EXPECT_EQ(!f.btnEmissivity->isHidden(), emissivity);

  // Burst: through Waiting to Measuring once the first frame came.
  ProgressWatch watch(f, &emulator_.Line());
  f.mStartClick(f.mStart);
  EXPECT_EQ(f.MeasureMode(), MeasureMode::Burst);
  EXPECT_TRUE(f.RewritePending());
  ASSERT_TRUE(WaitForEvents([&] { return f.State() == csMeasuring && f.SampleCount() > 20; }, 30000,
                            EventPump::EventLoop))
      << int(f.State());
  EXPECT_NEAR(f.CurrentValues()[ChannelValues::TObj], p.live.target, 100.0);
  EXPECT_NE(FlashConfiguration(), ProfileConfiguration());
  // Start, password, segments and block, (first generation) the restart.
  const auto programmed = watch.RiseTo100();
  EXPECT_GE(programmed.size(), 4u);
  EXPECT_TRUE(ProgressWatch::Rising(programmed));
  if (!programmed.empty()) {
    EXPECT_GT(programmed.back().ticks, programmed.front().ticks);
    EXPECT_GT(programmed.back().paints, programmed.front().paints);
  }
  f.mStopClick(f.mStop);
  ASSERT_TRUE(WaitReconnected(f, 1)) << int(f.State());
  EXPECT_EQ(FlashConfiguration(), ProfileConfiguration());
  const auto rewritten = watch.RiseTo100(QStringLiteral("Rewrite old Status"));
  EXPECT_GE(rewritten.size(), 4u);
  EXPECT_TRUE(ProgressWatch::Rising(rewritten));
  if (!rewritten.empty()) {
    EXPECT_GT(rewritten.back().ticks, rewritten.front().ticks);
  }
  EXPECT_EQ(f.ProgressBar->value(), 0);

  // Poll: the values come through the driver's notifications or events.
  f.Config()->WriteCommunicationMode(2);
  f.mStartClick(f.mStart);
  EXPECT_EQ(f.MeasureMode(), MeasureMode::Poll);
  EXPECT_EQ(f.State(), csMeasuring);
  ASSERT_TRUE(WaitForEvents([&] { return f.SampleCount() >= 3; }, 20000, EventPump::EventLoop));
  EXPECT_NEAR(f.CurrentValues()[ChannelValues::TObj], p.live.target, 0.6);
  f.mStopClick(f.mStop);
  ASSERT_TRUE(WaitReconnected(f, 1)) << int(f.State());

  f.mDisconnectClick(f.mDisconnect);
  EXPECT_EQ(f.State(), csClosed);
  ASSERT_TRUE(WaitForEvents([&] { return !f.Family()->Busy(); }, 5000, EventPump::EventLoop));
  EXPECT_FALSE(f.Family()->Snapshot().PortOpen);
  EXPECT_TRUE(f.mScan->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(Models, MainWindowBrioModels,
                         ::testing::Values(BrioCase{1, "voduz1"}, BrioCase{2, "brio-2w"},
                                           BrioCase{2, "duna-2w-v1"}, BrioCase{2, "fenn-2w"},
                                           BrioCase{2, "briov2"}, BrioCase{2, "dunav2"},
                                           BrioCase{2, "duna-2w-v2"}, BrioCase{2, "duna-2w2m-v2"}),
                         [](const auto& info) {
                           QString name = QString::fromLatin1(info.param.profile);
                           name.remove(QLatin1Char('-'));
                           return name.toStdString();
                         });

// The emissivity command by device type code and firmware version word:
// never for the ratio model, for the Fenn 2W only after firmware 10004.
TEST(EmissivityCommand, OfferedByCodeAndFirmware) {
  struct Row {
    std::uint8_t code;
    int firmware;
    bool offered;
  };
  const Row rows[] = {
      {DeviceType::Argo, 0, true},           {DeviceType::ArgoRatio, 0, false},
      {DeviceType::ArgoRatio, 20000, false}, {DeviceType::Voduz1, 0, true},
      {DeviceType::Brio2W, 1000, true},      {DeviceType::Fenn2W, 0, false},
      {DeviceType::Fenn2W, 1000, false},     {DeviceType::Fenn2W, 10004, false},
      {DeviceType::Fenn2W, 10005, true},     {DeviceType::Fenn2W, 10500, true},
      {DeviceType::Briov2, 1018, true},      {DeviceType::None, 0, true},
  };
  for (const Row& r : rows)
    EXPECT_EQ(DeviceType::OffersEmissivity(r.code, r.firmware), r.offered)
        << int(r.code) << " " << r.firmware;
}

// The second-generation power-on handshake moves the progress bar: a
// rising sequence to 100 % over the second the device waits, the window
// handling its timers and painting the bar meanwhile; the image reads then
// start from 0 again.
TEST_F(MainWindowBrioTest, HandshakeShowsProgress) {
  Prepare(2, QStringLiteral("brio-2w"), 1, false);
  MakeForm();
  ProgressWatch watch(*form_);
  form_->show();
  ASSERT_TRUE(WaitForEvents([&] { return form_->State() == csConnected; }, 30000, EventPump::EventLoop))
      << int(form_->State());
  const auto rise = watch.RiseTo100(QStringLiteral("Brio Comport opened. Brio Power On"));
  ASSERT_GE(rise.size(), 8u);
  EXPECT_TRUE(ProgressWatch::Rising(rise));
  // The handshake waits a second for the device: the window's own timer
  // ticked and the bar was painted while the values came.
  EXPECT_GT(rise.back().ticks - rise.front().ticks, 10);
  EXPECT_GT(rise.back().paints - rise.front().paints, 3);
  EXPECT_EQ(form_->ProgressBar->value(), 0);
}

// A device measuring in hundredths: the polled values arrive as the
// driver's new-value notifications, the panel shows two decimals and the
// external displays get the hundredths with the two-decimals flag.
TEST_F(MainWindowBrioTest, HighResolutionValuesKeepTheirHundredths) {
  Prepare(2, QStringLiteral("fenn-2w-hires"), 2, false);
  TThermaSentinelForm& f = StartConnected();
  ASSERT_EQ(f.DeviceTypeCode(), DeviceType::Fenn2W);
  // Firmware 10500: the emissivity command is offered.
  EXPECT_TRUE(f.mEmissivity->isVisible());
  EXPECT_FALSE(f.btnEmissivity->isHidden());
  f.mStartClick(f.mStart);
  ASSERT_EQ(f.MeasureMode(), MeasureMode::Poll);
  ASSERT_TRUE(WaitForEvents([&] { return f.SampleCount() >= 2; }, 20000, EventPump::EventLoop));
  const double target = emulator_.Profile().live.target;
  EXPECT_NEAR(f.CurrentValues()[ChannelValues::TObj], target, 0.006);
  EXPECT_TRUE(f.Panels1[ChannelValues::TObj].Label->text().startsWith(QString::number(target, 'f', 2)))
      << f.Panels1[ChannelValues::TObj].Label->text().toStdString();
  const TDisplayValueMessage shown = f.DisplayValue(1);
  EXPECT_TRUE(shown.HasValue);
  EXPECT_EQ(shown.Flags() & DisplayValueFlags::TwoDecimals, DisplayValueFlags::TwoDecimals);
  EXPECT_EQ(shown.Raw(), static_cast<int>(std::lround(target * 100.0)) + 10000);
}

// The emissivity dialog on a second-generation device measuring in
// hundredths: the window, resting, polls the device every second for the
// dialog, which shows the object temperature with two decimals; a live
// change reaches the device and Cancel takes it back.
TEST_F(MainWindowBrioTest, EmissivityDialogThroughTheMenu) {
  Prepare(2, QStringLiteral("fenn-2w-hires"), 2, false);
  TThermaSentinelForm& f = StartConnected();
  ASSERT_TRUE(f.mEmissivity->isEnabled());
  const std::uint16_t before = emulator_.Model().LiveValues().emissivity;
  ASSERT_NE(before, 800);
  QString objectText;
  SentinelUtils::FormatTemperature(false, true, objectText,
                                   static_cast<float>(emulator_.Profile().live.target));
  TChangeEmissDlg& dlg = *f.ChangeEmissDlg;
  int step = 0;
  QElapsedTimer clock;
  clock.start();
  QTimer script;
  QObject::connect(&script, &QTimer::timeout, [&] {
    if (clock.elapsed() > 30000) {
      script.stop();
      dlg.reject();
    } else if (step == 0 && dlg.isVisible() && dlg.btnOK->isEnabled() && dlg.lblTObj->text() == objectText) {
      EXPECT_EQ(f.State(), csBusy);
      EXPECT_FALSE(f.PollTimer->isActive());
      dlg.seEmissivity->setText(QStringLiteral("0.800"));
      step = 1;
    } else if (step == 1 && emulator_.Model().LiveValues().emissivity == 800) {
      step = 2;
      script.stop();
      dlg.btnCancel->click();
    }
  });
  script.start(5);
  f.mEmissivity->trigger();
  EXPECT_EQ(step, 2) << "TObj " << dlg.lblTObj->text().toStdString() << ", expected "
                     << objectText.toStdString();
  EXPECT_EQ(f.State(), csConnected);
  EXPECT_TRUE(WaitForEvents([&] { return emulator_.Model().LiveValues().emissivity == before; }, 10000,
                            EventPump::EventLoop));
}

// AutoStart: the measurement starts by itself once the device is read.
// A first-generation device gives no firmware revision: the device
// information says so instead of showing revision 0.
TEST_F(MainWindowBrioTest, DeviceInformationOfTheFirstGenerationShowsNoFirmwareRevisionZero) {
  Prepare(1, QStringLiteral("voduz1"), 1, false);
  TThermaSentinelForm& f = StartConnected();
  ASSERT_EQ(f.Family()->Snapshot().Firmware, 0);
  QString firmware;
  test_support::WhenShown(f.DeviceInfoDlg, [&] {
    firmware = f.DeviceInfoDlg->stFirmware->text();
    f.DeviceInfoDlg->reject();
  });
  f.mDeviceInfo->trigger();
  EXPECT_EQ(firmware, QStringLiteral("unknown"));
}

TEST_F(MainWindowBrioTest, AutoStartMeasures) {
  Prepare(2, QStringLiteral("brio-2w"), 1, true);
  MakeForm();
  form_->show();
  ASSERT_TRUE(WaitForEvents([&] { return form_->State() == csMeasuring && form_->SampleCount() > 5; }, 40000,
                            EventPump::EventLoop))
      << int(form_->State());
  EXPECT_EQ(form_->MeasureMode(), MeasureMode::Burst);
}

// Closing during a burst, or while the burst is still being programmed:
// the window stays responsive while the device is stopped, restarted and
// given its configuration back, then closes within the deadline and stores
// the device's serial number.
struct CloseCase {
  int generation;
  const char* profile;
  bool whileStarting;
};
void PrintTo(const CloseCase& c, std::ostream* os) {
  *os << c.profile << (c.whileStarting ? " while starting" : " while measuring");
}

class MainWindowBrioClose : public MainWindowBrioTest, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(MainWindowBrioClose, StopsWaitsAndCloses) {
  Prepare(GetParam().generation, QString::fromLatin1(GetParam().profile), 1, false);
  TThermaSentinelForm& f = StartConnected();
  f.mStartClick(f.mStart);
  if (!GetParam().whileStarting) {
    ASSERT_TRUE(WaitForEvents([&] { return f.State() == csMeasuring && f.SampleCount() > 5; }, 30000,
                              EventPump::EventLoop));
  }
  QElapsedTimer clock;
  clock.start();
  EXPECT_FALSE(f.close());
  EXPECT_TRUE(f.isVisible());
  EXPECT_TRUE(f.StopRequested());
  // Responsive meanwhile: a timer of the window's thread keeps its pace.
  int ticks = 0;
  qint64 longestGap = 0, last = clock.elapsed();
  QTimer probe;
  QObject::connect(&probe, &QTimer::timeout, [&] {
    ++ticks;
    longestGap = std::max(longestGap, clock.elapsed() - last);
    last = clock.elapsed();
  });
  probe.start(10);
  ASSERT_TRUE(WaitForEvents([&] { return !f.isVisible(); }, TThermaSentinelForm::kBrioStopDeadlineMs + 5000,
                            EventPump::EventLoop));
  EXPECT_LT(clock.elapsed(), TThermaSentinelForm::kBrioStopDeadlineMs);
  EXPECT_GT(ticks, 10);
  EXPECT_LT(longestGap, test_support::StallLimitMs(1000));
  EXPECT_EQ(f.RewritesDone(), 1);
  EXPECT_EQ(FlashConfiguration(), ProfileConfiguration());
  form_.reset();
  IniFile ini(settings_);
  EXPECT_EQ(ini.ReadInteger(QStringLiteral("COM"), QStringLiteral("Brio_Serial"), -1),
            static_cast<int>(emulator_.Profile().serial));
  EXPECT_EQ(ini.ReadString(QStringLiteral("COM"), QStringLiteral("Brio_Serial"), QString()),
            QString::number(emulator_.Profile().serial));
  EXPECT_EQ(ini.ReadInteger(QStringLiteral("COM"), QStringLiteral("DeviceType"), -1),
            emulator_.Profile().deviceTypeCode);
}

INSTANTIATE_TEST_SUITE_P(Cases, MainWindowBrioClose,
                         ::testing::Values(CloseCase{1, "voduz1", false}, CloseCase{2, "brio-2w", false},
                                           CloseCase{2, "briov2", true}),
                         [](const auto& info) {
                           QString name = QString::fromLatin1(info.param.profile);
                           name.remove(QLatin1Char('-'));
                           return name.toStdString() + (info.param.whileStarting ? "Starting" : "Measuring");
                         });

// The device vanishes while the close waits for its stop: the close goes
// on without waiting for the deadline.
TEST_F(MainWindowBrioTest, CloseGoesOnWhenTheDeviceVanishes) {
  Prepare(2, QStringLiteral("brio-2w"), 1, false);
  TThermaSentinelForm& f = StartConnected();
  f.mStartClick(f.mStart);
  ASSERT_TRUE(WaitForEvents([&] { return f.State() == csMeasuring && f.SampleCount() > 5; }, 30000,
                            EventPump::EventLoop));
  QElapsedTimer clock;
  clock.start();
  EXPECT_FALSE(f.close());
  emulator_.Vanish();
  ASSERT_TRUE(WaitForEvents([&] { return !f.isVisible(); }, TThermaSentinelForm::kBrioStopDeadlineMs + 5000,
                            EventPump::EventLoop));
  EXPECT_LT(clock.elapsed(), TThermaSentinelForm::kBrioStopDeadlineMs / 3) << clock.elapsed();
  EXPECT_EQ(f.RewritesDone(), 0);
}

// Closing with a Brio device connected and idle: it is disconnected and the
// window closes after a short pause, without waiting for any deadline.
TEST_F(MainWindowBrioTest, CloseWhileConnectedDisconnects) {
  Prepare(2, QStringLiteral("duna-2w-v1"), 1, false);
  TThermaSentinelForm& f = StartConnected();
  QElapsedTimer clock;
  clock.start();
  EXPECT_FALSE(f.close());
  EXPECT_EQ(f.State(), csClosed);
  ASSERT_TRUE(WaitForEvents([&] { return !f.isVisible(); }, 5000, EventPump::EventLoop));
  EXPECT_GE(clock.elapsed(), TThermaSentinelForm::kBrioDisconnectPauseMs - 50);
  EXPECT_EQ(f.RewritesDone(), 0);
}

// The device vanishes in the middle of a burst: the connection is closed
// once, and the window stays usable (the device is connected again after
// it came back).
TEST_F(MainWindowBrioTest, DeviceVanishingMidBurstClosesOnce) {
  Prepare(2, QStringLiteral("briov2"), 1, false);
  TThermaSentinelForm& f = StartConnected();
  f.mStartClick(f.mStart);
  ASSERT_TRUE(WaitForEvents([&] { return f.State() == csMeasuring && f.SampleCount() > 5; }, 30000,
                            EventPump::EventLoop));
  emulator_.Vanish();
  ASSERT_TRUE(WaitForEvents([&] { return f.State() == csClosed; }, 10000, EventPump::EventLoop))
      << int(f.State());
  ASSERT_TRUE(WaitForEvents([&] { return !f.Family()->Busy(); }, 5000, EventPump::EventLoop));
  EXPECT_FALSE(f.Family()->Snapshot().PortOpen);
  // Nothing reconnects behind the user's back.
  WaitForEvents([] { return false; }, 1500, EventPump::EventLoop);
  EXPECT_EQ(f.State(), csClosed);
  EXPECT_TRUE(f.mScan->isEnabled());
  EXPECT_TRUE(f.mOpen->isEnabled());
}

}  // namespace
