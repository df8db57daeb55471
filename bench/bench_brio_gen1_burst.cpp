// Burst stream of a first-generation Brio device with all five channels at
// the line's pace (9600 Bd), started and taken by the driver the way the
// main window does (a drain every 64 ms). Prints the frames sent against the
// records taken (lost, duplicated) and the CPU time of the driver's thread.
//
// Usage: bench_brio_gen1_burst [seconds]   (default 30; TS_BENCH_SMOKE=1: 2)

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <vector>

#include "drivers/brio/pyreon_brio.h"
#include "platform/fake_serial_device.h"
#include "platform/fake_serial_line.h"
#include "tools/devsim/brio_gen1_model.h"
#include "tools/devsim/brio_profiles.h"
#include "tools/devsim/fake_line_server.h"
#include "transport/com_port.h"

namespace {

double ThreadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  double seconds = std::getenv("TS_BENCH_SMOKE") ? 2.0 : 30.0;
  if (argc > 1) seconds = std::atof(argv[1]);

  BrioOptions options;
  options.framePeriodMs = 1;  // as fast as the line carries them
  auto model = std::make_shared<BrioGen1Model>(BrioProfiles::Default(1), options);
  auto line = FakeSerialLine::Create();
  FakeLineServer server(model, line);
  server.Start();
  FakeSerialDevice::Register(QStringLiteral("brio-bench-line"), line);
  QTemporaryDir dir;
  const QString ports = dir.filePath(QStringLiteral("ports.ini"));
  QFile f(ports);
  if (!f.open(QIODevice::WriteOnly)) return 1;
  f.write("[Ports]\r\nCOM5=brio-bench-line\r\n");
  f.close();
  qputenv("THERMASENTINEL_PORTS", ports.toUtf8());

  TpyreonBrio driver;
  int errors = 0;
  driver.OnError = [&](QObject*, int) { ++errors; };
  driver.SetComPort(5);
  if (!driver.OpenPort()) return 1;
  driver.Port()->SetDTR(true);
  QElapsedTimer boot;
  boot.start();
  while (model->CurrentMode() != BrioDeviceModel::Mode::Application && boot.elapsed() < 5000)
    QCoreApplication::processEvents();
  driver.ReadAllImages();
  if (!driver.StartBurst(0x0200, 0x0202, 0x0204, 0x0212, 0x025F)) {
    std::fprintf(stderr, "burst did not start (errors %d)\n", errors);
    return 1;
  }
  std::vector<TBrioBurstRecord> taken;
  const double cpu0 = ThreadCpuSeconds();
  QElapsedTimer wall;
  wall.start();
  QTimer drain;
  drain.setInterval(64);
  QObject::connect(&drain, &QTimer::timeout, [&] {
    TBrioBurstRecord r;
    while (driver.GetNextBurstEntry(r)) taken.push_back(r);
  });
  drain.start();
  QTimer::singleShot(static_cast<int>(seconds * 1000) + 300, &app, &QCoreApplication::quit);
  app.exec();
  drain.stop();
  TBrioBurstRecord r;
  while (driver.GetNextBurstEntry(r)) taken.push_back(r);
  const double cpu = ThreadCpuSeconds() - cpu0;
  const double elapsed = wall.nsecsElapsed() / 1e9;
  driver.ClosePort();

  // Each record against the frames sent, in order: frames passed over are
  // lost, a record equal to its predecessor (same values and time) doubled.
  const auto sent = model->SentFrames();
  std::size_t s = 0;
  std::uint64_t lost = 0, duplicated = 0, matched = 0, unmatched = 0;
  for (std::size_t j = 0; j < taken.size(); ++j) {
    if (j > 0 && taken[j].Values == taken[j - 1].Values && taken[j].Time == taken[j - 1].Time) {
      ++duplicated;
      continue;
    }
    auto same = [&](std::size_t k) {
      for (std::size_t c = 0; c < 5; ++c)
        if (c >= sent[k].values.size() || sent[k].values[c] != taken[j].Values[c]) return false;
      return true;
    };
    std::size_t k = s;
    while (k < sent.size() && k < s + 200 && !same(k)) ++k;
    if (k >= sent.size() || k >= s + 200) {
      ++unmatched;
      continue;
    }
    if (matched > 0) lost += k - s;
    s = k + 1;
    ++matched;
  }
  std::printf("stream: %.1f s at 9600 Bd, five channels (frames of 12 bytes)\n", elapsed);
  std::printf(
      "frames sent: %zu, records taken: %zu, matched %llu, lost between matches %llu, duplicated %llu, "
      "unmatched %llu\n",
      sent.size(), taken.size(), static_cast<unsigned long long>(matched),
      static_cast<unsigned long long>(lost), static_cast<unsigned long long>(duplicated),
      static_cast<unsigned long long>(unmatched));
  std::printf("driver thread CPU: %.3f s (%.2f %% of one core), driver errors: %d\n", cpu,
              100.0 * cpu / elapsed, errors);
  server.Stop();
  FakeSerialDevice::Unregister(QStringLiteral("brio-bench-line"));
  return 0;
}
