// The first-generation setup command from OK to the device measuring
// again: ThermaSentinel's main window (offscreen, in this process) is
// connected to the emulated device on an in-process line at 9600 Bd (which
// carries the DTR supply and the loader's parity); the setup dialog opens on
// the device's images, one field is changed and OK is pressed. Timed: OK to
// the end of the configuration write, the write's end to the reconnection,
// and OK to the device connected and polled again. Printed beside them: the
// sleeps the command must make (entering the loader 100 ms, the pause before
// the reconnection 100 ms, and for each power-up of the device on the way,
// as the line saw them, its power cycle of 2000 + 100 ms and the driver's
// 1000 ms reconnect poll that finds the device afterwards) and the line time of every byte that
// crossed the wire in that span (10 bits a byte at 8N1, 11 in the loader).
// The emulated line passes the host's bytes at once, so the time on a real
// line is the measured time plus the requests' line time.
//
// Usage: bench_brio_gen1_setup [runs]   (default 3; TS_BENCH_SMOKE=1: 1)
//        TS_BENCH_GAPS=1 also lists the pauses over 150 ms between requests.

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "app/scan_device_dlg.h"
#include "app/therma_sentinel_form.h"
#include "platform/fake_serial_device.h"
#include "platform/fake_serial_line.h"
#include "setup_brio/brio_device_setup_dlg.h"
#include "setup_brio/brio_first_gen_codec.h"
#include "tests/support/modal_dialog.h"
#include "tests/support/program_home.h"
#include "tests/support/wait_for.h"
#include "tools/devsim/brio_gen1_model.h"
#include "tools/devsim/brio_profiles.h"
#include "tools/devsim/fake_line_server.h"
#include "ui/panel_status_bar.h"

namespace {

using test_support::EventPump;
using test_support::WaitForEvents;

constexpr double kBaud = 9600.0;
constexpr double kLoaderStartSleepMs = 100.0;
constexpr double kReconnectPauseMs = 100.0;
constexpr double kPowerCycleMs = 2000.0 + 100.0;
// After a power-up the driver's reconnect poll (1000 ms) finds the device.
constexpr double kConnectPollMs = 1000.0;

// The emulated device, with the times its supply (DTR) fell and rose.
class DtrWatch : public DeviceModel {
 public:
  explicit DtrWatch(std::shared_ptr<BrioGen1Model> model) : model_(std::move(model)) {}
  QString Name() const override { return model_->Name(); }
  int BaudRate() const override { return model_->BaudRate(); }
  void OnReceived(std::span<const std::uint8_t> bytes, DeviceLink& link) override {
    model_->OnReceived(bytes, link);
  }
  void OnDtr(bool on, DeviceLink& link) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!on)
        offAt_ = Clock::now();
      else if (offAt_)
        offPeriods_.push_back(std::chrono::duration<double, std::milli>(Clock::now() - *offAt_).count());
      if (on) offAt_.reset();
    }
    model_->OnDtr(on, link);
  }
  void OnParity(SerialLineSettings::Parity parity, DeviceLink& link) override {
    model_->OnParity(parity, link);
  }
  void Tick(Clock::time_point now, DeviceLink& link) override { model_->Tick(now, link); }
  bool WantsTicks() const override { return model_->WantsTicks(); }

  // Supply interruptions of at least `ms` since the last call.
  int TakePowerCycles(double ms) {
    std::lock_guard<std::mutex> lock(mutex_);
    const int n = static_cast<int>(
        std::count_if(offPeriods_.begin(), offPeriods_.end(), [ms](double p) { return p >= ms; }));
    offPeriods_.clear();
    return n;
  }

 private:
  std::shared_ptr<BrioGen1Model> model_;
  std::mutex mutex_;
  std::optional<Clock::time_point> offAt_;
  std::vector<double> offPeriods_;
};

double LineMs(std::size_t bytes, bool loader) {
  return 1000.0 * static_cast<double>(bytes) * (loader ? 11 : 10) / kBaud;
}

struct Figures {
  double toWriteEndMs = 0.0;
  double toConnectedMs = 0.0;
  double lineMs = 0.0;
  double loaderLineMs = 0.0;
  double requestLineMs = 0.0;
  int powerUps = 0;
  // The emulated line hands the host's bytes over at once and paces only
  // the device's answers: a real line adds the requests' line time.
  double RealToConnectedMs() const { return toConnectedMs + requestLineMs; }
  double PrescribedMs() const {
    return kLoaderStartSleepMs + kReconnectPauseMs + powerUps * (kPowerCycleMs + kConnectPollMs);
  }
};

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  int runs = std::getenv("TS_BENCH_SMOKE") ? 1 : 3;
  if (argc > 1 && argv[1][0] != '-') runs = std::max(1, std::atoi(argv[1]));

  test_support::ProgramHome home;
  BrioProfile profile = *BrioProfiles::Find(1, QStringLiteral("voduz1"));
  BrioConfigImage image;
  BrioFirstGenCodec::LoadDefaults(0, image);
  BrioProfiles::SetConfiguration(profile, image.Data);
  BrioProfiles::SetCalibrationWord(profile, 0x10D0, 4254);
  BrioProfiles::SetCalibrationWord(profile, 0x10D2, 3764);
  const std::uint32_t serial = static_cast<std::uint32_t>(
      profile.calibration[2] << 16 | profile.calibration[3] << 8 | profile.calibration[4]);
  auto model = std::make_shared<BrioGen1Model>(profile);
  auto line = FakeSerialLine::Create();
  auto supply = std::make_shared<DtrWatch>(model);
  FakeLineServer server(supply, line);
  server.Start();
  FakeSerialDevice::Register(QStringLiteral("bench-brio1-setup"), line);
  {
    QFile ports(QString::fromLocal8Bit(qgetenv("THERMASENTINEL_PORTS")));
    if (!ports.open(QIODevice::WriteOnly)) return 1;
    ports.write("[Ports]\r\nCOM9=bench-brio1-setup\r\n");
  }
  {
    QFile settings(home.SettingsFile());
    if (!settings.open(QIODevice::WriteOnly)) return 1;
    settings.write("[COM]\r\nCOM=9\r\nDeviceType=3\r\nBrio_Serial=" + QByteArray::number(serial) +
                   "\r\n[Options]\r\nAutoScan=1\r\nAutoStart=0\r\nAskForSaving=0\r\n");
  }

  auto form = std::make_unique<TThermaSentinelForm>(QStringList{QStringLiteral("ThermaSentinel")});
  form->ScanDeviceDlg->Scanner().ListAdapters = [] { return QList<TUsbAdapter>{{9, 0x10C4, 0x80C4}}; };
  form->show();
  TThermaSentinelForm& f = *form;
  const auto connected = [&] { return f.State() == csConnected && f.Family() && !f.Family()->Busy(); };
  if (!WaitForEvents(connected, 60000, EventPump::EventLoop)) {
    std::fprintf(stderr, "the device was not connected\n");
    return 1;
  }
  TBrioDeviceSetupDLg* dlg = f.BrioDeviceSetupDLg;
  dlg->ShowMessage = [](const QString& text) { std::fprintf(stderr, "message: %s\n", qPrintable(text)); };

  std::vector<Figures> all;
  for (int run = 0; run < runs; ++run) {
    QElapsedTimer clock;
    double writeEnd = -1.0;
    test_support::WhenShown(dlg, [&] {
      dlg->eEmiss->setText(QStringLiteral("0.%1").arg(900 - run));
      model->ClearRequests();
      supply->TakePowerCycles(0.0);
      clock.start();
      dlg->btnOK->click();
    });
    // The write has ended when its result stands in the status bar.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      const QString status = f.StatusBar()->PanelText(4);
      if (clock.isValid() && writeEnd < 0 &&
          (status.endsWith(QStringLiteral("OK!")) || status.endsWith(QStringLiteral("Failed!"))))
        writeEnd = clock.nsecsElapsed() / 1e6;
    });
    poll.start(1);
    f.mDeviceSetupClick(f.mDeviceSetup);
    if (!WaitForEvents([&] { return clock.isValid() && f.State() != csBusy; }, 60000, EventPump::EventLoop) ||
        !WaitForEvents(connected, 90000, EventPump::EventLoop)) {
      std::fprintf(stderr, "run %d: the device did not come back\n", run + 1);
      return 1;
    }
    Figures fig;
    // The program's power cycles hold the supply off for 2000 ms.
    fig.powerUps = supply->TakePowerCycles(1900.0);
    fig.toConnectedMs = clock.nsecsElapsed() / 1e6;
    fig.toWriteEndMs = writeEnd;
    std::optional<DeviceModel::Clock::time_point> previous;
    for (const BrioRequestRecord& r : model->Requests()) {
      if (std::getenv("TS_BENCH_GAPS") && previous &&
          std::chrono::duration<double, std::milli>(r.time - *previous).count() > 150)
        std::printf("    gap %.0f ms before %s\n",
                    std::chrono::duration<double, std::milli>(r.time - *previous).count(),
                    qPrintable(r.name));
      previous = r.time;
      const double ms = LineMs(r.bytes.size(), r.loader) + LineMs(r.reply.size(), r.loader);
      fig.lineMs += ms;
      fig.requestLineMs += LineMs(r.bytes.size(), r.loader);
      if (r.loader) fig.loaderLineMs += ms;
    }
    all.push_back(fig);
  }

  std::printf(
      "first-generation setup: OK to the device measuring again (9600 Bd, in-process line), %d run(s)\n",
      runs);
  for (std::size_t i = 0; i < all.size(); ++i) {
    const Figures& fig = all[i];
    const double floor = fig.PrescribedMs() + fig.lineMs;
    std::printf(
        "  run %zu: OK -> write done %.0f ms; OK -> connected again %.0f ms measured, %.0f ms on a 9600 Bd "
        "line | "
        "prescribed sleeps %.0f ms (loader 100, pause 100, %d power cycle(s) of 2100 each followed by the "
        "1000 ms reconnect poll) + line time %.0f ms "
        "(loader %.0f ms) = %.0f ms; line / (sleeps + line) = %.2f (goal <= 1.10)\n",
        i + 1, fig.toWriteEndMs, fig.toConnectedMs, fig.RealToConnectedMs(), fig.PrescribedMs(), fig.powerUps,
        fig.lineMs, fig.loaderLineMs, floor, floor > 0 ? fig.RealToConnectedMs() / floor : 0.0);
  }
  form.reset();
  server.Stop();
  FakeSerialDevice::Unregister(QStringLiteral("bench-brio1-setup"));
  return 0;
}
