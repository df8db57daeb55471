// Burst stream of a single-colour device at 115200 baud with the fastest
// channel set, taken by the driver the way the main window takes it (every
// 64 ms). Prints the frames sent against the records taken (lost,
// duplicated), the CPU time of the driver's thread, and the frame parser's
// throughput in bytes per second.
//
// Usage: bench_argo_burst [seconds]   (default 60; TS_BENCH_SMOKE=1: 2)

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

#include "bench/bench_args.h"
#include "drivers/argo/argo_burst_parser.h"
#include "drivers/argo/pyreon_argo.h"
#include "tools/devsim/argo_model.h"
#include "tools/devsim/pty_server.h"
#include "transport/ring_buffer.h"

namespace {

double ThreadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9;
}

double ProcessCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9;
}

class CountFrames : public ArgoBurstParser::Listener {
 public:
  void OnFrame(const TArgoBurstRecord&) override { ++frames; }
  std::uint64_t frames = 0;
};

void ParserThroughput(double seconds) {
  // Frames of two channels (6 bytes), values free of sync bytes.
  std::vector<std::uint8_t> stream;
  for (int i = 0; i < 1000; ++i) {
    const std::uint16_t a = static_cast<std::uint16_t>(0x1000 + i),
                        b = static_cast<std::uint16_t>(0x2000 + i);
    stream.insert(stream.end(), {0xAA, 0xAA, static_cast<std::uint8_t>(a >> 8), static_cast<std::uint8_t>(a),
                                 static_cast<std::uint8_t>(b >> 8), static_cast<std::uint8_t>(b)});
  }
  TRingBuffer ring;
  ring.SetCount(5000);
  ArgoBurstParser parser;
  parser.SetChannelCount(2);
  CountFrames sink;
  std::uint64_t bytes = 0;
  std::size_t pos = 0;
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < seconds * 1000) {
    for (int n = 0; n < 4000; ++n) {
      ring.Put(stream[pos], 0);
      pos = (pos + 1) % stream.size();
    }
    bytes += 4000;
    parser.Pass(ring, sink);
  }
  const double s = t.nsecsElapsed() / 1e9;
  std::printf("parser: %.1f MB/s (%llu bytes, %llu frames in %.2f s)\n", bytes / s / 1e6,
              static_cast<unsigned long long>(bytes), static_cast<unsigned long long>(sink.frames), s);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const double seconds = bench_args::Seconds(argc, argv, 60.0, 2.0);

  ParserThroughput(seconds > 5 ? 3.0 : 0.5);

  ArgoOptions options;
  options.baudRate = 115200;
  options.framePeriodUs = 1000;
  auto model = std::make_shared<ArgoModel>(*ArgoProfiles::Find(QStringLiteral("argo-current")), options);
  PtyServer server(model);
  QString error;
  if (!server.Start(&error)) {
    std::fprintf(stderr, "no pseudo-terminal: %s\n", qPrintable(error));
    return 1;
  }
  QTemporaryDir dir;
  const QString ports = dir.filePath(QStringLiteral("ports.ini"));
  QFile f(ports);
  if (!f.open(QIODevice::WriteOnly)) return 1;
  f.write("[Ports]\r\nCOM7=" + server.SlavePath().toUtf8() + "\r\n");
  f.close();
  qputenv("THERMASENTINEL_PORTS", ports.toUtf8());

  TpyreonArgo driver;
  int errors = 0;
  driver.OnError = [&](QObject*, int) { ++errors; };
  driver.SetComPort(7);
  driver.SetBaudrate(argo115200);
  if (!driver.OpenPort() || driver.GetFirmwareRevision() == 0xFFFF) {
    std::fprintf(stderr, "device did not answer\n");
    return 1;
  }
  driver.SetBurstChannels({1, 4, 0, 0, 0, 0, 0, 0});
  std::vector<TArgoBurstRecord> taken;
  taken.reserve(static_cast<std::size_t>(seconds * 2200) + 1000);

  const double cpu0 = ThreadCpuSeconds();
  const double proc0 = ProcessCpuSeconds();
  QElapsedTimer wall;
  wall.start();
  driver.SetBurstMode(true);
  // The main window's pace: a drain every 64 ms, everything else event driven.
  QTimer drain;
  drain.setInterval(64);
  QObject::connect(&drain, &QTimer::timeout, [&] {
    TArgoBurstRecord r;
    while (driver.GetNextBurstEntry(r)) taken.push_back(r);
  });
  drain.start();
  // The extra 300 ms let the parser catch up with what is on the line.
  QTimer::singleShot(static_cast<int>(seconds * 1000) + 300, &app, &QCoreApplication::quit);
  app.exec();
  drain.stop();
  const std::uint64_t sentBeforeStop = model->FramesSent();
  TArgoBurstRecord r;
  while (driver.GetNextBurstEntry(r)) taken.push_back(r);
  const double cpu = ThreadCpuSeconds() - cpu0;
  const double proc = ProcessCpuSeconds() - proc0;
  const double elapsed = wall.nsecsElapsed() / 1e9;
  driver.SetBurstMode(false);

  // Match the records with the frames sent: the first record may start a
  // few frames in (the driver clears its buffers after the start reply).
  const auto sent = model->SentFrames();
  std::size_t i0 = 0;
  while (i0 < 50 && i0 < sent.size() && !taken.empty() && sent[i0].values != taken[0].Values) ++i0;
  std::uint64_t lost = 0, duplicated = 0, matched = 0;
  std::size_t s = i0;
  for (std::size_t j = 0; j < taken.size(); ++j) {
    if (j > 0 && taken[j].Values == taken[j - 1].Values && taken[j].Time == taken[j - 1].Time) {
      ++duplicated;
      continue;
    }
    std::size_t k = s;
    while (k < sent.size() && k < s + 200 && sent[k].values != taken[j].Values) ++k;
    if (k >= sent.size() || k >= s + 200) continue;
    lost += k - s;
    s = k + 1;
    ++matched;
  }
  std::printf("stream: %.1f s at 115200 Bd, channels {1, 4}\n", elapsed);
  std::printf("frames sent before the stop: %llu (first taken frame index %zu)\n",
              static_cast<unsigned long long>(sentBeforeStop), i0);
  std::printf("records taken: %zu, matched %llu, lost %llu, duplicated %llu, still on the line %lld\n",
              taken.size(), static_cast<unsigned long long>(matched), static_cast<unsigned long long>(lost),
              static_cast<unsigned long long>(duplicated),
              static_cast<long long>(sentBeforeStop) - static_cast<long long>(i0 + matched + lost));
  std::printf("ring bytes lost: %llu, driver errors: %d\n",
              static_cast<unsigned long long>(driver.BurstBytesLost()), errors);
  std::printf("driver thread CPU: %.3f s (%.2f %% of one core); whole process (with the emulator): %.3f s\n",
              cpu, 100.0 * cpu / elapsed, proc);
  driver.ClosePort();
  server.Stop();
  return 0;
}
