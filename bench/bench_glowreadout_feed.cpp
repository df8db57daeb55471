// Four GlowReadout displays (offscreen) fed through the main program's
// display link during a 115200-Bd single-colour burst, at two rates:
//   - as the main window feeds them: one value after every burst batch
//     (every 64 ms at 115200 Bd);
//   - one value per burst frame (2 sync bytes and one 2-byte value: 2880
//     frames a second), far more than the main window ever sends.
// Each once with a repaint per value message (the old way) and once with
// the bounded repaint.
//
// Prints per display its CPU share in % of one core and its voluntary
// context switches (wake-ups) per second, both from /proc, and the ratios.
//
//   bench_glowreadout_feed [seconds]   default 10; TS_BENCH_SMOKE=1 runs 0.5 s.

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <cstdio>
#include <vector>

#include "app/display_link.h"
#include "bench/process_sample.h"

namespace {

constexpr int kDisplays = 4;
constexpr int kFramesPerSecond = 115200 / 10 / 4;
constexpr int kBatchesPerSecond = 1000 / 64;

bool Pump(const std::function<bool()>& done, int timeoutMs) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return true;
}

struct Result {
  double cpuPercent = 0.0;  // mean per display
  double wakeupsPerSecond = 0.0;
  bool ok = false;
};

Result Run(const char* repaintIntervalMs, int valuesPerSecond, double seconds) {
  qputenv("GLOWREADOUT_REPAINT_INTERVAL_MS", repaintIntervalMs);
  Result result;
  TDisplayLink link;
  link.SetProgram(QCoreApplication::applicationDirPath() + QStringLiteral("/../app/GlowReadout"));
  int arrived = 0;
  link.OnStartFinished = [&arrived](int, std::uint32_t window) { arrived += window != 0 ? 1 : 0; };
  for (int i = 0; i < kDisplays; ++i) {
    TDisplayRecord r;
    r.Kind = 1;
    r.Name = QStringLiteral("T Obj %1").arg(i);
    r.Left = 50 + 250 * i;
    r.Top = 50;
    if (link.StartDisplay(r) == 0) return result;
  }
  if (!Pump([&] { return arrived == kDisplays; }, 20000)) return result;
  // Let the displays settle after their start.
  Pump([] { return false; }, 500);

  std::vector<qint64> pids;
  for (const TDisplayRecord& r : link.Records()) pids.push_back(link.ProcessId(r.Window));
  std::vector<ProcessSample> before;
  for (qint64 pid : pids) before.push_back(SampleProcess(pid));

  QElapsedTimer clock;
  clock.start();
  std::int64_t sent = 0;
  std::uint32_t raw = 1000;
  while (clock.elapsed() < seconds * 1000.0) {
    // The frames due by now, each one value to every display.
    const auto due = static_cast<std::int64_t>(clock.elapsed() * valuesPerSecond / 1000);
    for (; sent < due; ++sent) {
      raw = 1000 + static_cast<std::uint32_t>(sent % 8000);
      link.SendValue(1, raw);
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    QThread::usleep(500);
  }
  const double elapsed = clock.elapsed() / 1000.0;
  double cpu = 0.0, wakeups = 0.0;
  for (std::size_t i = 0; i < pids.size(); ++i) {
    const ProcessSample after = SampleProcess(pids[i]);
    cpu += (after.cpuSeconds - before[i].cpuSeconds) / elapsed * 100.0;
    wakeups += static_cast<double>(after.voluntarySwitches - before[i].voluntarySwitches) / elapsed;
  }
  result.cpuPercent = cpu / static_cast<double>(pids.size());
  result.wakeupsPerSecond = wakeups / static_cast<double>(pids.size());
  result.ok = true;
  std::printf(
      "  %4d values/s, repaint interval %2s ms: %lld values per display in %.1f s (%.0f/s); per display %.2f "
      "%% CPU, "
      "%.0f wake-ups/s\n",
      valuesPerSecond, repaintIntervalMs, static_cast<long long>(sent), elapsed,
      static_cast<double>(sent) / elapsed, result.cpuPercent, result.wakeupsPerSecond);
  link.CloseAll();
  Pump([&] { return link.RunningCount() == 0; }, 2000);
  Pump([] { return false; }, 300);
  return result;
}

}  // namespace

int main(int argc, char* argv[]) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  double seconds = qEnvironmentVariableIsSet("TS_BENCH_SMOKE") ? 0.5 : 10.0;
  if (argc > 1) seconds = std::max(1.0, QString::fromLocal8Bit(argv[1]).toDouble());
  std::printf("GlowReadout, %d displays during a 115200-Bd burst\n", kDisplays);
  for (const int rate : {kBatchesPerSecond, kFramesPerSecond}) {
    const Result perValue = Run("0", rate, seconds);
    const Result bounded = Run("50", rate, seconds);
    if (!perValue.ok || !bounded.ok) {
      std::printf("displays did not start\n");
      return 1;
    }
    std::printf("  %4d values/s: bounded / per value: CPU %.2f %% / %.2f %% per display (ratio %.2f)\n", rate,
                bounded.cpuPercent, perValue.cpuPercent,
                perValue.cpuPercent > 0 ? bounded.cpuPercent / perValue.cpuPercent : 0.0);
  }
  return 0;
}
