// Burst stream of a second-generation Brio device (Briov2) at its fastest
// settings: frames as fast as the 9600 Bd line carries them, received by the
// driver's burst handler and parser and drained every 64 ms as the main
// window drains them. Two channel sets: one channel (the most records a
// second) and eight (the longest frames). Beside them the single-colour
// burst at its fastest settings, measured in the same run. Prints the
// frames sent against the records taken (lost, duplicated), the driver's
// CPU time in % of one core and its wake-ups a second (voluntary context
// switches) from the process's own counters without the emulator's thread,
// and the ratios to the single-colour burst.
//
// The stream runs on a pseudo-terminal, so the driver reads through the
// real line backend; a pseudo-terminal cannot carry the DTR power cycle
// that a burst start ends with, so the emulated device is configured for
// the channels and streams from power-up, and the driver listens to it
// (the burst start through the loader is covered by the driver's tests).
//
// Usage: bench_brio_gen2_burst [seconds]   (default 30 a stream; TS_BENCH_SMOKE=1: 1.5)

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QObject>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "bench/bench_args.h"
#include "bench/burst_bench.h"
#include "drivers/brio/pyreon_brio_ma.h"
#include "tools/devsim/brio_gen2_model.h"
#include "tools/devsim/brio_profiles.h"

namespace {

using burst_bench::Figures;

burst_bench::Figures SecondGenerationBurst(double seconds, const std::array<std::uint16_t, 8>& codes,
                                           const QString& name) {
  Figures f;
  f.name = name;
  BrioOptions options;
  options.framePeriodMs = 1;  // as fast as the line carries them
  options.externalPower = true;
  options.checkParity = false;
  BrioProfile profile = *BrioProfiles::Find(2, QStringLiteral("briov2"));
  std::vector<std::uint16_t> channels;
  for (std::uint16_t c : codes)
    if (c != 0) channels.push_back(c);
  BrioProfiles::SetBurstChannels(profile, channels);
  auto model = std::make_shared<BrioGen2Model>(profile, options);
  burst_bench::DriverCounters counters;
  burst_bench::EmulatedPort port(model, 9, counters);
  if (!port.Ok()) return f;
  TpyreonBrio_mA driver;
  driver.SetComPort(9);
  if (!driver.OpenPort()) {
    std::fprintf(stderr, "%s: the port did not open\n", qPrintable(name));
    return f;
  }
  driver.BeginBurstReception(static_cast<int>(channels.size()));
  QElapsedTimer start;
  start.start();
  // Measured from the first record on.
  while (driver.BurstCount() == 0 && start.elapsed() < 10000) QCoreApplication::processEvents();
  if (driver.BurstCount() == 0) {
    std::fprintf(stderr, "%s: no records\n", qPrintable(name));
    return f;
  }
  std::vector<TBrioV2BurstRecord> taken;
  burst_bench::RunStream(f, counters, seconds, [&] {
    while (driver.BurstCount() > 0) {
      TBrioV2BurstRecord r;
      driver.GetNextBurstEntry(r);
      taken.push_back(r);
    }
  });
  driver.ClosePort();
  burst_bench::MatchFrames(f, model->SentFrames(), taken);
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const double seconds = bench_args::Seconds(argc, argv, 30.0, 1.5);

  const Figures reference = burst_bench::SingleColourBurst(seconds);
  const Figures one = SecondGenerationBurst(seconds, {0x0200, 0, 0, 0, 0, 0, 0, 0},
                                            QStringLiteral("second-generation burst, 1 channel"));
  const Figures eight =
      SecondGenerationBurst(seconds, {0x0200, 0x0202, 0x0204, 0x0206, 0x0208, 0x020A, 0x020C, 0x020E},
                            QStringLiteral("second-generation burst, 8 channels"));
  std::printf("\n");
  for (const Figures* f : {&reference, &one, &eight}) burst_bench::Print(*f);
  burst_bench::PrintRatio(one, reference);
  burst_bench::PrintRatio(eight, reference);
  return one.taken > 0 && eight.taken > 0 && reference.taken > 0 ? 0 : 1;
}
