// How long ThermaSentinel's window stops answering while a device is
// connected and its whole configuration read, and while a device that does
// not answer is tried: the program runs offscreen with its 10 ms tick probe
// (THERMASENTINEL_TEST_TICKS=1) and reports the longest gap between two
// ticks. A program without the probe is measured from outside: the time
// from "Waiting" to the end of the attempt, during which its window is
// blocked when the device work runs on the GUI thread.
//
//   bench_gui_stall                 9600 Bd for the read; TS_BENCH_SMOKE=1
//                                   reads at 115200 Bd and leaves out the
//                                   device falling silent during the read.
//   TS_BENCH_PROGRAM=<path>         the program to measure (default: the one
//                                   built beside this benchmark).

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
#include <functional>
#include <memory>

#include "bench/program_report.h"
#include "tools/devsim/argo_model.h"
#include "tools/devsim/devsim_options.h"
#include "tools/devsim/pty_server.h"

namespace {

struct Result {
  bool ok = false;
  double attemptMs = 0.0;  // from "Waiting" to connected / given up
  QString maxTickGap;      // empty: the program has no probe
  QString state;
};

enum class Device { Answering, Silent, SilentDuringRead };

// One program run against a device at `baud` that answers, never answers,
// or falls silent a few requests into the read of its configuration. Ends
// when the program is connected, or closed again.
Result Run(const QString& exe, int baud, Device device) {
  Result result;
  QTemporaryDir dir;
  const QString ports = dir.filePath(QStringLiteral("ports.ini"));
  const QString report = dir.filePath(QStringLiteral("report.txt"));
  ArgoOptions options;
  options.baudRate = baud;
  auto model = std::make_shared<ArgoModel>(ArgoProfiles::Default(), options);
  if (device == Device::Silent) {
    ArgoFaults f;
    f.silent = true;
    model->SetFaults(f);
  }
  PtyServer server(model);
  QString error;
  if (!server.Start(&error) || !SetPortsEntry(ports, 3, server.SlavePath(), error)) {
    std::fprintf(stderr, "bench_gui_stall: %s\n", qPrintable(error));
    return result;
  }
  QDir().mkpath(dir.filePath(QStringLiteral("cfg/ThermaSentinel")));
  {
    QFile settings(dir.filePath(QStringLiteral("cfg/ThermaSentinel/ThermaSentinel.ini")));
    if (!settings.open(QIODevice::WriteOnly)) return result;
    const int index = baud == 9600 ? 1 : 5;
    // The stored serial lets the start-up scan take the device by itself.
    settings.write(QStringLiteral("[COM]\r\nCOM=3\r\nBaudrate=%1\r\nDeviceType=1\r\nArgo_Serial=%2\r\n"
                                  "[Options]\r\nAutoScan=1\r\nAutoStart=0\r\nAskForSaving=0\r\n")
                       .arg(index)
                       .arg(ArgoProfiles::Default().state.serial)
                       .toLatin1());
  }
  QProcess program;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("cfg")));
  env.insert(QStringLiteral("THERMASENTINEL_PORTS"), ports);
  env.insert(QStringLiteral("THERMASENTINEL_TEST_REPORT"), report);
  env.insert(QStringLiteral("THERMASENTINEL_TEST_TICKS"), QStringLiteral("1"));
  program.setProcessEnvironment(env);
  program.setStandardOutputFile(QProcess::nullDevice());
  program.setStandardErrorFile(QProcess::nullDevice());
  program.start(exe, {});
  if (!program.waitForStarted(10000)) return result;

  QElapsedTimer clock;
  clock.start();
  qint64 waitingAt = -1;
  qint64 endAt = -1;
  // The program reports Waiting (2) when it starts connecting, Connected (5)
  // or Closed (1) again when the attempt ends; an old program that blocks
  // its window writes nothing in between.
  while (clock.elapsed() < 120000 && program.state() == QProcess::Running) {
    const auto r = ReadProgramReport(report);
    const QString state = r.value(QStringLiteral("State"));
    if (device == Device::SilentDuringRead && model->RequestCount() >= 12 && !model->Faults().silent) {
      ArgoFaults f;
      f.silent = true;
      model->SetFaults(f);
    }
    if (waitingAt < 0 && state == QStringLiteral("2")) waitingAt = clock.elapsed();
    if (waitingAt >= 0 && (state == QStringLiteral("5") || state == QStringLiteral("1"))) {
      endAt = clock.elapsed();
      break;
    }
    QThread::msleep(5);
  }
  if (waitingAt >= 0 && endAt >= 0) {
    result.ok = true;
    result.attemptMs = static_cast<double>(endAt - waitingAt);
    result.state = ReadProgramReport(report).value(QStringLiteral("State"));
  }
  // A few ticks after the attempt, then the report written at close holds
  // the longest gap of the whole run.
  QThread::msleep(300);
  ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
  if (!program.waitForFinished(60000)) program.kill();
  result.maxTickGap = ReadProgramReport(report).value(QStringLiteral("MaxTickGap"));
  server.Stop();
  return result;
}

void Print(const char* what, const Result& r) {
  if (!r.ok) {
    std::printf("%-44s no result\n", what);
    return;
  }
  std::printf("%-44s attempt %7.0f ms, state %s, longest GUI gap: %s\n", what, r.attemptMs,
              qPrintable(r.state),
              r.maxTickGap.isEmpty() ? "no probe (blocked for the attempt when it runs on the GUI thread)"
                                     : qPrintable(r.maxTickGap + QStringLiteral(" ms")));
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const bool smoke = qEnvironmentVariable("TS_BENCH_SMOKE") == QStringLiteral("1");
  QString exe = QCoreApplication::applicationDirPath() + QStringLiteral("/../app/ThermaSentinel");
  if (qEnvironmentVariableIsSet("TS_BENCH_PROGRAM")) exe = qEnvironmentVariable("TS_BENCH_PROGRAM");
  const int baud = smoke ? 115200 : 9600;
  Print(smoke ? "connect and read all at 115200 Bd:" : "connect and read all at 9600 Bd:",
        Run(exe, baud, Device::Answering));
  Print("a device that does not answer (all tries):", Run(exe, baud, Device::Silent));
  if (!smoke) Print("a device falling silent during the read:", Run(exe, baud, Device::SilentDuringRead));
  return 0;
}
