// How long ThermaSentinel's window stops answering while a device is
// connected and its whole configuration read, and while a device that does
// not answer is tried: the program runs offscreen with its 10 ms tick probe
// (THERMASENTINEL_TEST_TICKS=1) and reports the longest gap between two
// ticks. A program without the probe is measured from outside: the time
// from "Waiting" to the end of the attempt, during which its window is
// blocked when the device work runs on the GUI thread.
//
// The device sits on an RS485 bus at the address the settings store (as
// the program stores it at close after it read a bus device), so the
// start-up connects it directly on the stored port: the program's own
// connect, which reports "Waiting" and gives a device that does not answer
// up after its connect time-out. Without a stored address the start-up
// runs the scan dialog instead, which keeps waiting for the user when it
// finds nothing, and the scan command cannot be reached from outside.
//
// Each scenario has its own deadlines, far above what it takes; one that
// misses them (or ends in the wrong state) is reported on stderr and the
// benchmark exits with 1.
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

// The device's bus address, stored in the settings.
constexpr int kBusAddress = 1;
// From the program's start to its "Waiting" (start-up takes well under a
// second), and from "Waiting" to the attempt's end: the connect time-out
// is 4 s, a read of everything at 9600 Bd a few seconds.
constexpr int kWaitingDeadlineMs = 15000;
constexpr int kAttemptDeadlineMs = 30000;

constexpr const char* kClosed = "1";
constexpr const char* kWaiting = "2";
constexpr const char* kConnected = "5";

struct Result {
  bool ok = false;
  QString failure;         // why there is no figure
  double attemptMs = 0.0;  // from "Waiting" to connected / given up
  QString maxTickGap;      // empty: the program has no probe
  QString state;
};

enum class Device { Answering, Silent, SilentDuringRead };

// One program run against a device at `baud` that answers, never answers,
// or falls silent a few requests into the read of its configuration. Ends
// when the program is connected, or closed again, or a deadline passed.
Result Run(const QString& exe, int baud, Device device) {
  Result result;
  QTemporaryDir dir;
  const QString ports = dir.filePath(QStringLiteral("ports.ini"));
  const QString report = dir.filePath(QStringLiteral("report.txt"));
  ArgoOptions options;
  options.baudRate = baud;
  options.onBus = true;
  ArgoProfile profile = ArgoProfiles::Default();
  profile.state.busAddress = kBusAddress;
  auto model = std::make_shared<ArgoModel>(profile, options);
  if (device == Device::Silent) {
    ArgoFaults f;
    f.silent = true;
    model->SetFaults(f);
  }
  PtyServer server(model);
  QString error;
  if (!server.Start(&error) || !SetPortsEntry(ports, 3, server.SlavePath(), error)) {
    result.failure = QStringLiteral("emulator: ") + error;
    return result;
  }
  QDir().mkpath(dir.filePath(QStringLiteral("cfg/ThermaSentinel")));
  {
    QFile settings(dir.filePath(QStringLiteral("cfg/ThermaSentinel/ThermaSentinel.ini")));
    if (!settings.open(QIODevice::WriteOnly)) {
      result.failure = QStringLiteral("cannot write the settings");
      return result;
    }
    const int index = baud == 9600 ? 1 : 5;
    // The stored bus address lets the start-up connect the stored port.
    settings.write(QStringLiteral("[COM]\r\nCOM=3\r\nBaudrate=%1\r\nDeviceType=1\r\nRS845Addr=%2\r\n"
                                  "Argo_Serial=%3\r\n"
                                  "[Options]\r\nAutoScan=1\r\nAutoStart=0\r\nAskForSaving=0\r\n")
                       .arg(index)
                       .arg(kBusAddress)
                       .arg(profile.state.serial)
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
  if (!program.waitForStarted(10000)) {
    result.failure = QStringLiteral("the program did not start: ") + program.errorString();
    return result;
  }

  QElapsedTimer clock;
  clock.start();
  QString state;
  // The program reports Waiting (2) when it starts connecting, Connected (5)
  // or Closed (1) again when the attempt ends; an old program that blocks
  // its window writes nothing in between. Each check also lets the device
  // fall silent once the read is under way, and gives up when the program
  // ended.
  const auto reached = [&](std::initializer_list<const char*> states) {
    if (program.state() != QProcess::Running) return true;
    state = ReadProgramReport(report).value(QStringLiteral("State"));
    if (device == Device::SilentDuringRead && model->RequestCount() >= 12 && !model->Faults().silent) {
      ArgoFaults f;
      f.silent = true;
      model->SetFaults(f);
    }
    for (const char* s : states)
      if (state == QLatin1String(s)) return true;
    return false;
  };
  const auto lastState = [&] { return state.isEmpty() ? QStringLiteral("none") : state; };
  qint64 waitingAt = -1;
  qint64 endAt = -1;
  // A program that connects without saying "Waiting" first fails at once.
  const auto startsWaiting = [&] { return reached({kWaiting, kConnected}); };
  if (!WaitFor(startsWaiting, kWaitingDeadlineMs) || state != QLatin1String(kWaiting)) {
    const QString ended =
        program.state() == QProcess::Running ? QString() : QStringLiteral(", program ended");
    result.failure = state == QLatin1String(kConnected)
                         ? QStringLiteral("connected without reporting \"Waiting\" first")
                         : QStringLiteral("no \"Waiting\" within %1 s of the start (state %2%3)")
                               .arg(kWaitingDeadlineMs / 1000)
                               .arg(lastState(), ended);
  } else {
    waitingAt = clock.elapsed();
    const auto ends = [&] { return reached({kConnected, kClosed}); };
    if (!WaitFor(ends, kAttemptDeadlineMs) ||
        (state != QLatin1String(kConnected) && state != QLatin1String(kClosed))) {
      const QString ended =
          program.state() == QProcess::Running ? QString() : QStringLiteral(", program ended");
      result.failure = QStringLiteral("the attempt did not end within %1 s of \"Waiting\" (state %2%3)")
                           .arg(kAttemptDeadlineMs / 1000)
                           .arg(lastState(), ended);
    } else {
      endAt = clock.elapsed();
    }
  }
  if (endAt >= 0) {
    result.ok = true;
    result.attemptMs = static_cast<double>(endAt - waitingAt);
    result.state = state;
    // Only the answering device is connected; the others are given up.
    const QLatin1String expected(device == Device::Answering ? kConnected : kClosed);
    if (state != expected) {
      result.ok = false;
      result.failure = QStringLiteral("the attempt ended in state %1 after %2 ms, not %3")
                           .arg(state)
                           .arg(endAt - waitingAt)
                           .arg(expected);
    }
  }
  // A few ticks after the attempt, then the report written at close holds
  // the longest gap of the whole run.
  QThread::msleep(300);
  ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
  if (!program.waitForFinished(10000)) {
    std::fprintf(stderr, "bench_gui_stall: the program did not end within 10 s of SIGTERM\n");
    program.kill();
    program.waitForFinished(5000);
  }
  result.maxTickGap = ReadProgramReport(report).value(QStringLiteral("MaxTickGap"));
  server.Stop();
  return result;
}

// Prints the scenario's line; false when it has no figure.
bool Print(const char* what, const Result& r) {
  if (!r.ok) {
    std::printf("%-44s FAILED: %s\n", what, qPrintable(r.failure));
    std::fprintf(stderr, "bench_gui_stall: %s %s\n", what, qPrintable(r.failure));
    return false;
  }
  std::printf("%-44s attempt %7.0f ms, state %s, longest GUI gap: %s\n", what, r.attemptMs,
              qPrintable(r.state),
              r.maxTickGap.isEmpty() ? "no probe (blocked for the attempt when it runs on the GUI thread)"
                                     : qPrintable(r.maxTickGap + QStringLiteral(" ms")));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const bool smoke = qEnvironmentVariable("TS_BENCH_SMOKE") == QStringLiteral("1");
  QString exe = QCoreApplication::applicationDirPath() + QStringLiteral("/../app/ThermaSentinel");
  if (qEnvironmentVariableIsSet("TS_BENCH_PROGRAM")) exe = qEnvironmentVariable("TS_BENCH_PROGRAM");
  const int baud = smoke ? 115200 : 9600;
  bool ok = Print(smoke ? "connect and read all at 115200 Bd:" : "connect and read all at 9600 Bd:",
                  Run(exe, baud, Device::Answering));
  ok = Print("a device that does not answer (all tries):", Run(exe, baud, Device::Silent)) && ok;
  if (!smoke)
    ok = Print("a device falling silent during the read:", Run(exe, baud, Device::SilentDuringRead)) && ok;
  std::fflush(stdout);
  return ok ? 0 : 1;
}
