// End-to-end runs of ThermaSentinel against the emulated single-colour
// pyrometer on a pseudo-terminal at 115200 Bd, one after the other:
//   - the 4-channel burst (object, internal, box and actual temperature) as
//     fast as the line carries its 10-byte frames (868 us each, about
//     1,150 frames/s): the emulator offers a frame every 200 us and sends
//     one whenever the line is free;
//   - the fastest burst (one frame per millisecond, object and actual
//     temperature alone).
//
// Prints: cold-start time to the main window's deferred start, frames the
// emulator sent versus records the program took and samples it added to the
// chart (gaps and repeats in the received sequence, frames not taken at the
// end), and the program's CPU share and resident memory at the start and at
// the end of the measurement, and per thread its CPU share and its wake-ups
// per second (voluntary context switches).
//
//   bench_end_to_end [seconds]     per run, default 600; TS_BENCH_SECONDS also
//                                  sets it; TS_BENCH_SMOKE=1 runs 3 s each.
//   TS_BENCH_PROGRAM=<path>        the program to measure (default: the one
//                                  built beside this benchmark), so an older
//                                  build can be measured in the same run.

#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <cstdio>
#include <memory>

#include "bench/process_sample.h"
#include "bench/program_report.h"
#include "tools/devsim/argo_model.h"
#include "tools/devsim/devsim_options.h"
#include "tools/devsim/pty_server.h"

namespace {}  // namespace

// One streaming configuration of the program and the emulator.
struct Scenario {
  const char* title;
  bool fastLayout;    // the program's 1 ms mode (object and actual alone)
  int framePeriodUs;  // the emulator's frame pace
  int tickUs;         // how often the emulator looks at its line
};

int RunScenario(const Scenario& scenario, int seconds) {
  std::printf("== %s ==\n", scenario.title);
  QTemporaryDir dir;
  if (!dir.isValid()) return 1;
  const QString ports = dir.filePath(QStringLiteral("ports.ini"));
  const QString report = dir.filePath(QStringLiteral("report.txt"));
  const QString records = dir.filePath(QStringLiteral("records.txt"));

  ArgoOptions options;
  options.baudRate = 115200;
  options.framePeriodUs = scenario.framePeriodUs;
  const ArgoProfile profile = ArgoProfiles::Default();
  auto model = std::make_shared<ArgoModel>(profile, options);
  PtyServer server(model);
  server.SetTickInterval(std::chrono::microseconds(scenario.tickUs));
  QString error;
  if (!server.Start(&error) || !SetPortsEntry(ports, 3, server.SlavePath(), error)) {
    std::fprintf(stderr, "bench_end_to_end: %s\n", qPrintable(error));
    return 1;
  }

  // The program chooses the 4-channel burst when its 1 ms mode is off.
  QDir().mkpath(dir.filePath(QStringLiteral("cfg/ThermaSentinel")));
  {
    QFile settings(dir.filePath(QStringLiteral("cfg/ThermaSentinel/ThermaSentinel.ini")));
    if (!settings.open(QIODevice::WriteOnly)) return 1;
    // The stored serial lets the start-up scan take the device by itself.
    settings.write(QByteArray("[COM]\r\nCOM=3\r\nBaudrate=5\r\nDeviceType=1\r\nArgo_Serial=") +
                   QByteArray::number(profile.state.serial) +
                   "\r\n[Options]\r\nAutoScan=1\r\nAutoStart=1\r\nAskForSaving=0\r\n"
                   "[Settings]\r\nArgo1ms=" +
                   (scenario.fastLayout ? "1" : "0") +
                   "\r\nCommunicationMode=1\r\nResolution=0.001\r\nArgoBurstStartDelay=0\r\n");
  }
  QProcess program;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  if (!env.contains(QStringLiteral("QT_QPA_PLATFORM")))
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("cfg")));
  env.insert(QStringLiteral("THERMASENTINEL_PORTS"), ports);
  env.insert(QStringLiteral("THERMASENTINEL_TEST_REPORT"), report);
  env.insert(QStringLiteral("THERMASENTINEL_TEST_RECORDS"), records);
  program.setProcessEnvironment(env);
  program.setStandardOutputFile(QProcess::nullDevice());
  program.setStandardErrorFile(QProcess::nullDevice());
  QString exe = QCoreApplication::applicationDirPath() + QStringLiteral("/../app/ThermaSentinel");
  if (qEnvironmentVariableIsSet("TS_BENCH_PROGRAM")) exe = qEnvironmentVariable("TS_BENCH_PROGRAM");

  QElapsedTimer clock;
  clock.start();
  program.start(exe, {});
  if (!program.waitForStarted(10000)) {
    std::fprintf(stderr, "bench_end_to_end: cannot start %s\n", qPrintable(exe));
    return 1;
  }
  const qint64 pid = program.processId();
  if (!WaitFor([&] { return ReadProgramReport(report).contains(QStringLiteral("StatusPanel0")); }, 30000)) {
    std::fprintf(stderr, "bench_end_to_end: the main window never started\n");
    return 1;
  }
  const double coldStartMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
  if (!WaitFor(
          [&] { return ReadProgramReport(report).value(QStringLiteral("State")) == QStringLiteral("7"); },
          30000)) {
    std::fprintf(stderr, "bench_end_to_end: no measurement started\n");
    return 1;
  }
  const std::uint64_t sentAtStart = model->FramesSent();
  const ProcessSample first = SampleProcess(pid);
  const auto threadsFirst = SampleThreads(pid);
  QElapsedTimer run;
  run.start();
  std::printf("measuring for %d s ...\n", seconds);
  std::fflush(stdout);
  while (run.elapsed() < seconds * 1000LL && program.state() == QProcess::Running) QThread::msleep(200);
  const ProcessSample last = SampleProcess(pid);
  const auto threadsLast = SampleThreads(pid);
  const double wall = static_cast<double>(run.nsecsElapsed()) / 1e9;

  const std::uint64_t sentAtStop = model->FramesSent();
  ::kill(static_cast<pid_t>(pid), SIGTERM);
  program.waitForFinished(30000);
  server.Stop();

  const auto r = ReadProgramReport(report);
  const std::uint64_t sent = model->FramesSent();
  const long long taken = r.value(QStringLiteral("Records")).toLongLong();
  const long long samples = r.value(QStringLiteral("Samples")).toLongLong();
  const long long queued = r.value(QStringLiteral("Queued")).toLongLong();

  long long gaps = 0, repeats = 0, rows = 0;
  int valuesPerRecord = 0;
  QFile rec(records);
  if (rec.open(QIODevice::ReadOnly)) {
    int previous = -1;
    while (!rec.atEnd()) {
      const QByteArray line = rec.readLine();
      const int tab = line.indexOf('\t');
      if (tab <= 0) continue;
      const int v = line.left(tab).toInt();
      if (rows == 0) {
        // Channels the burst does not carry stay 0; the last field is the time.
        const QList<QByteArray> fields = line.trimmed().split('\t');
        for (qsizetype i = 0; i + 1 < fields.size(); ++i) valuesPerRecord += fields[i].toInt() != 0 ? 1 : 0;
      }
      ++rows;
      if (previous >= 0) {
        const int step = (v - previous + 100) % 100;
        if (step == 0)
          ++repeats;
        else if (step != 1)
          gaps += step - 1;
      }
      previous = v;
    }
  }

  std::printf("cold start to the main window: %.0f ms\n", coldStartMs);
  std::printf("measured: %.1f s\n", wall);
  std::printf("frames sent by the emulator:   %llu (%.0f frames/s while measured)\n",
              static_cast<unsigned long long>(sent),
              wall > 0 ? static_cast<double>(sentAtStop - sentAtStart) / wall : 0.0);
  std::printf("channels carried per record:   %d\n", valuesPerRecord);
  std::printf("records taken by the program:  %lld (queued at exit %lld)\n", taken, queued);
  std::printf("samples added to the chart:    %lld\n", samples);
  std::printf("frames lost inside the stream: %lld, repeated: %lld (of %lld records)\n", gaps, repeats, rows);
  std::printf("records dropped by the record queue: %s\n",
              qPrintable(r.value(QStringLiteral("Dropped"), QStringLiteral("(not reported)"))));
  std::printf("frames sent before the program reported measuring: %llu, after it was asked to end: %llu\n",
              static_cast<unsigned long long>(sentAtStart),
              static_cast<unsigned long long>(sent - sentAtStop));
  std::printf("frames not taken at the end:   %lld\n", static_cast<long long>(sent) - taken - queued);
  std::printf("CPU share while measuring:     %.1f %% of one core\n",
              wall > 0 ? 100.0 * (last.cpuSeconds - first.cpuSeconds) / wall : 0.0);
  std::printf("resident memory: start %ld KB, end %ld KB\n", first.rssKb, last.rssKb);
  std::printf("per thread (busy ones; CPU %% of one core, wake-ups/s):\n");
  for (auto it = threadsLast.constBegin(); it != threadsLast.constEnd(); ++it) {
    const ProcessSample before = threadsFirst.value(it.key()).counters;
    const ProcessSample& after = it->counters;
    const double cpu = wall > 0 ? 100.0 * (after.cpuSeconds - before.cpuSeconds) / wall : 0.0;
    const double wakeups =
        wall > 0 ? static_cast<double>(after.voluntarySwitches - before.voluntarySwitches) / wall : 0.0;
    if (cpu < 0.05 && wakeups < 1.0) continue;
    std::printf("  %-8s %-16s %5.2f %%  %7.1f /s\n", qPrintable(it.key()), qPrintable(it->name), cpu,
                wakeups);
  }
  return 0;
}

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  int seconds = 600;
  if (qEnvironmentVariableIsSet("TS_BENCH_SECONDS"))
    seconds = qEnvironmentVariableIntValue("TS_BENCH_SECONDS");
  if (argc > 1) seconds = QString::fromLocal8Bit(argv[1]).toInt();
  if (qEnvironmentVariable("TS_BENCH_SMOKE") == QStringLiteral("1")) seconds = 3;
  if (seconds <= 0) seconds = 5;

  static const Scenario kScenarios[] = {
      {"4-channel burst, 115200 Bd, as fast as the line carries it (about 1,150 frames/s)", false, 200, 200},
      {"fast burst, 2 channels, 115200 Bd, 1 ms per frame", true, 1000, 1000},
  };
  int failed = 0;
  for (const Scenario& scenario : kScenarios) {
    failed += RunScenario(scenario, seconds);
    std::fflush(stdout);
  }
  return failed == 0 ? 0 : 1;
}
