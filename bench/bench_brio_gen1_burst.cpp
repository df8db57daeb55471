// Burst stream of a first-generation Brio device with all five channels at
// the line's pace (9600 Bd), started and taken by the driver the way the
// main window does (a drain every 64 ms), beside the single-colour burst at
// its fastest settings measured in the same run. Prints the frames sent
// against the records taken (lost, duplicated), the driver's CPU time in %
// of one core and its wake-ups a second (voluntary context switches) from
// the process's own counters without the emulator's thread, and the ratios
// to the single-colour burst.
//
// The stream runs on a pseudo-terminal, so the driver reads through the
// real line backend; the emulated device is powered without DTR and ignores
// parity, which a pseudo-terminal cannot carry. The burst start programs
// the channels through the loader and restarts the device at its reset
// vector as on a real line.
//
// Usage: bench_brio_gen1_burst [seconds]   (default 30; TS_BENCH_SMOKE=1: 1.5)

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "bench/bench_args.h"
#include "bench/burst_bench.h"
#include "drivers/brio/pyreon_brio.h"
#include "tools/devsim/brio_gen1_model.h"
#include "tools/devsim/brio_profiles.h"

namespace {

using burst_bench::Figures;

Figures FirstGenerationBurst(double seconds) {
  Figures f;
  f.name = QStringLiteral("first-generation burst, 5 channels");
  BrioOptions options;
  options.framePeriodMs = 1;  // as fast as the line carries them
  options.externalPower = true;
  options.checkParity = false;
  auto model = std::make_shared<BrioGen1Model>(BrioProfiles::Default(1), options);
  burst_bench::DriverCounters counters;
  burst_bench::EmulatedPort port(model, 5, counters);
  if (!port.Ok()) return f;

  TpyreonBrio driver;
  int errors = 0;
  driver.OnError = [&](QObject*, int) { ++errors; };
  driver.SetComPort(5);
  if (!driver.OpenPort()) return f;
  QElapsedTimer boot;
  boot.start();
  while (model->CurrentMode() != BrioDeviceModel::Mode::Application && boot.elapsed() < 5000)
    QCoreApplication::processEvents();
  driver.ReadAllImages();
  QElapsedTimer start;
  start.start();
  if (!driver.StartBurst(0x0200, 0x0202, 0x0204, 0x0212, 0x025F)) {
    std::fprintf(stderr, "burst did not start (errors %d)\n", errors);
    return f;
  }
  while (driver.BurstCount() == 0 && start.elapsed() < 10000) QCoreApplication::processEvents();
  std::printf("%s: burst start (loader write, power cycle, first record) %.2f s\n", qPrintable(f.name),
              start.nsecsElapsed() / 1e9);
  std::vector<TBrioBurstRecord> taken;
  burst_bench::RunStream(f, counters, seconds, [&] {
    TBrioBurstRecord r;
    while (driver.GetNextBurstEntry(r)) taken.push_back(r);
  });
  driver.ClosePort();
  if (errors > 0) std::printf("%s: driver errors %d\n", qPrintable(f.name), errors);

  burst_bench::MatchFrames(f, model->SentFrames(), taken);
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const double seconds = bench_args::Seconds(argc, argv, 30.0, 1.5);

  const Figures reference = burst_bench::SingleColourBurst(seconds);
  const Figures brio = FirstGenerationBurst(seconds);
  std::printf("\n");
  burst_bench::Print(reference);
  burst_bench::Print(brio);
  burst_bench::PrintRatio(brio, reference);
  return brio.taken > 0 && reference.taken > 0 ? 0 : 1;
}
