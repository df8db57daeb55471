// The whole device scan as the scan dialog runs it (TDeviceScan, single-
// colour family, every port 1..255): a few emulated devices, some silent
// ports (pseudo-terminals with nothing on their far end), the rest missing
// (a path that does not exist) or unmapped.
//  1. old: the silent ports searched one after the other, as a search
//     without a thread per port would;
//  2. new: the scan over 255 ports, all searches side by side.
// The scan should end in about the time of one silent port (5.3 s), 6 s or
// less. Printed: wall time, its ratio to one silent port and to the one-
// after-the-other search, CPU in % of one core, voluntary context switches
// per second, devices found.
// TS_BENCH_SMOKE=1 runs the scan only, with fewer silent ports.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <vector>

#include "app/device_scan.h"
#include "bench/process_sample.h"
#include "drivers/argosuche.h"
#include "drivers/device_type.h"
#include "platform/pty_pair.h"
#include "tools/devsim/argo_model.h"
#include "tools/devsim/argo_profiles.h"
#include "tools/devsim/pty_server.h"

namespace {

constexpr int kPorts = 255;
constexpr int kDevices = 2;

struct Setup {
  std::vector<std::unique_ptr<PtyServer>> devices;
  std::vector<std::unique_ptr<PtyPair>> silent;
};

// Ports 1..kDevices hold devices, the next `silent` ones silent ports; of
// the rest, even numbers map to missing paths, odd ones to nothing.
bool WritePortMap(const QTemporaryDir& dir, int silent, Setup& setup) {
  QByteArray text = "[Ports]\r\n";
  for (int n = 1; n <= kPorts; ++n) {
    QByteArray path;
    if (n <= kDevices) {
      auto profile = ArgoProfiles::Find(QStringLiteral("argo-current"));
      ArgoOptions o;
      o.baudRate = n == 1 ? 9600 : 19200;
      auto model = std::make_shared<ArgoModel>(*profile, o);
      ArgoDeviceState s = model->State();
      s.serial = 10100 + static_cast<std::uint32_t>(n);
      model->SetState(s);
      auto server = std::make_unique<PtyServer>(model);
      if (!server->Start()) return false;
      path = server->SlavePath().toUtf8();
      setup.devices.push_back(std::move(server));
    } else if (n <= kDevices + silent) {
      auto pty = std::make_unique<PtyPair>();
      if (!pty->IsValid()) return false;
      path = pty->SlavePath().toUtf8();
      setup.silent.push_back(std::move(pty));
    } else if (n % 2 == 0) {
      path = dir.filePath(QStringLiteral("missing-%1").arg(n)).toUtf8();
    } else {
      continue;
    }
    text += "COM" + QByteArray::number(n) + "=" + path + "\r\n";
  }
  QFile f(dir.filePath(QStringLiteral("ports.ini")));
  if (!f.open(QIODevice::WriteOnly)) return false;
  f.write(text);
  f.close();
  qputenv("THERMASENTINEL_PORTS", f.fileName().toUtf8());
  return true;
}

struct Figures {
  double seconds = 0;
  double cpuPercent = 0;
  double switchesPerSecond = 0;
  int found = 0;
};

template <typename Run>
Figures Measure(Run run) {
  Figures f;
  const ProcessSample before = SampleProcess(QCoreApplication::applicationPid());
  QElapsedTimer clock;
  clock.start();
  f.found = run();
  f.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
  const ProcessSample after = SampleProcess(QCoreApplication::applicationPid());
  f.cpuPercent = 100.0 * (after.cpuSeconds - before.cpuSeconds) / f.seconds;
  f.switchesPerSecond = static_cast<double>(after.voluntarySwitches - before.voluntarySwitches) / f.seconds;
  return f;
}

// The silent ports searched one after the other.
int SearchOneAfterTheOther(int silent) {
  int found = 0;
  for (int n = kDevices + 1; n <= kDevices + silent; ++n) {
    TArgosuche search(false, static_cast<std::uint8_t>(n));
    search.wait();
    found += search.ResultFound() ? 1 : 0;
  }
  return found;
}

int Scan() {
  TDeviceScan scan;
  scan.ListAdapters = [] { return QList<TUsbAdapter>{}; };
  QEventLoop loop;
  int found = -1;
  scan.Scan(DeviceType::Argo, DeviceType::Argo, 0, true, [&](const TDeviceScan::Outcome& o) {
    found = static_cast<int>(o.Found.size());
    loop.quit();
  });
  QTimer::singleShot(60000, &loop, &QEventLoop::quit);
  loop.exec();
  return found;
}

void Print(const char* what, const Figures& f, double single, double sequential) {
  std::printf("%s: %.2f s", what, f.seconds);
  if (single > 0) std::printf(" (%.2fx one silent port", f.seconds / single);
  if (sequential > 0) std::printf(", %.3fx one after the other", f.seconds / sequential);
  if (single > 0) std::printf(")");
  std::printf(", CPU %.1f%% of a core, %.0f voluntary switches/s, %d found\n", f.cpuPercent,
              f.switchesPerSecond, f.found);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const bool smoke = qEnvironmentVariableIntValue("TS_BENCH_SMOKE") == 1;
  QTemporaryDir dir;
  Setup setup;
  const int silent = smoke ? 4 : 16;
  if (!dir.isValid() || !WritePortMap(dir, silent, setup)) {
    std::fprintf(stderr, "cannot set up the ports\n");
    return 1;
  }
  double single = 0;
  double sequential = 0;
  if (!smoke) {
    const int oldPorts = 3;
    const Figures old = Measure([&] { return SearchOneAfterTheOther(oldPorts); });
    single = old.seconds / oldPorts;
    sequential = single * (kPorts - kDevices);
    std::printf("old: %d silent ports one after the other: %.2f s, %.2f s per port (%.0f s for %d ports)\n",
                oldPorts, old.seconds, single, sequential, kPorts - kDevices);
  }
  std::printf("new: scan of %d ports: %d devices, %d silent, the rest missing or unmapped\n", kPorts,
              kDevices, silent);
  const Figures scan = Measure(Scan);
  Print("  scan", scan, single, sequential);
  return scan.found == kDevices ? 0 : 1;
}
