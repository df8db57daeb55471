// Cold start of ThermaSentinel with the emulated single-colour pyrometer on a
// pseudo-terminal (connected at start, not measuring), timed from the
// program's start:
//   - offscreen: to the main window's deferred start (its test report
//     names the status bar text), as bench_end_to_end times it;
//   - on an X server (Xvfb started here): to the main window mapped (the
//     server's MapNotify for a top-level window, seen from outside the
//     program), and to the deferred start in the same run.
// Each is started several times; the median and the fastest are printed.
// Then, offscreen with automatic start on, the time from start to measuring
// with the device stored at 115200 Bd: the start-up scan searches the
// stored port at the stored rate first, then the others in rising order.
// Beside it, the same start with 9600 Bd stored, whose search order is the
// rising one every rate was tried in before the stored rate came first
// (9600 .. 115200); the device and the rates tried are the same.
//
//   bench_cold_start [runs]        default 10; TS_BENCH_SMOKE=1 runs 2.
//   TS_BENCH_PROGRAM=<path>        the program to measure (default: the one
//                                  built beside this benchmark).

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#ifdef TS_HAVE_XCB
#include <xcb/xcb.h>
#endif

#include "bench/program_report.h"
#include "tools/devsim/argo_model.h"
#include "tools/devsim/devsim_options.h"
#include "tools/devsim/pty_server.h"

namespace {

double Ms(const QElapsedTimer& clock) { return static_cast<double>(clock.nsecsElapsed()) / 1e6; }

bool Started(const QString& report) {
  return ReadProgramReport(report).contains(QStringLiteral("StatusPanel0"));
}

// A program run's settings, port list and report file.
struct ProgramFiles {
  QTemporaryDir dir;
  QString ports = dir.filePath(QStringLiteral("ports.ini"));
  QString report = dir.filePath(QStringLiteral("report.txt"));

  // `baudrateCode` is the settings' "Baudrate" (1..5: 9600..115200 Bd).
  bool Write(const QString& slavePath, QString& error, int baudrateCode = 5, bool autoStart = false) {
    if (!dir.isValid() || !SetPortsEntry(ports, 3, slavePath, error)) return false;
    QDir().mkpath(dir.filePath(QStringLiteral("cfg/ThermaSentinel")));
    QFile settings(dir.filePath(QStringLiteral("cfg/ThermaSentinel/ThermaSentinel.ini")));
    if (!settings.open(QIODevice::WriteOnly)) return false;
    // The stored serial lets the start-up scan take the device by itself.
    settings.write(
        "[COM]\r\nCOM=3\r\nBaudrate=" + QByteArray::number(baudrateCode) +
        "\r\nDeviceType=1\r\nArgo_Serial=" + QByteArray::number(ArgoProfiles::Default().state.serial) +
        "\r\n[Options]\r\nAutoScan=1\r\nAutoStart=" + QByteArray(autoStart ? "1" : "0") +
        "\r\nAskForSaving=0\r\n");
    return true;
  }

  QProcessEnvironment Environment(const QString& platform, const QString& display) const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    if (!display.isEmpty()) env.insert(QStringLiteral("DISPLAY"), display);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("cfg")));
    env.insert(QStringLiteral("THERMASENTINEL_PORTS"), ports);
    env.insert(QStringLiteral("THERMASENTINEL_TEST_REPORT"), report);
    return env;
  }
};

// Whether the program still runs (asked of the kernel: without an event
// loop QProcess does not learn of its end; the child is not reaped here).
bool Running(const QProcess& program) {
  const auto pid = static_cast<pid_t>(program.processId());
  if (pid <= 0) return false;
  siginfo_t info{};
  if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0) return false;
  return info.si_pid == 0;
}

void EndProgram(QProcess& program) {
  if (program.state() == QProcess::NotRunning) return;
  ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
  if (!program.waitForFinished(10000)) {
    program.kill();
    program.waitForFinished(5000);
  }
}

void PrintFigures(const char* what, std::vector<double> ms) {
  if (ms.empty()) {
    std::printf("%-44s no run finished\n", what);
    return;
  }
  std::sort(ms.begin(), ms.end());
  std::printf("%-44s median %6.1f ms, fastest %6.1f ms (%zu runs)\n", what, ms[ms.size() / 2], ms.front(),
              ms.size());
}

// Starts the program offscreen with `files` and times it until `reached`
// holds for its report file: milliseconds, or -1 when it ended or took
// longer than `timeoutMs`.
double TimedStart(const QString& exe, const ProgramFiles& files, bool (*reached)(const QString& report),
                  int timeoutMs, int pollMs) {
  QProcess program;
  program.setProcessEnvironment(files.Environment(QStringLiteral("offscreen"), {}));
  program.setStandardOutputFile(QProcess::nullDevice());
  program.setStandardErrorFile(QProcess::nullDevice());
  QElapsedTimer clock;
  clock.start();
  program.start(exe, {});
  double result = -1;
  if (program.waitForStarted(10000) &&
      WaitFor([&] { return reached(files.report) || !Running(program); }, timeoutMs, pollMs) &&
      reached(files.report))
    result = Ms(clock);
  EndProgram(program);
  return result;
}

// One start offscreen: milliseconds to the deferred start, or -1.
double OffscreenStart(const QString& exe, const QString& slavePath) {
  ProgramFiles files;
  QString error;
  if (!files.Write(slavePath, error)) return -1;
  return TimedStart(exe, files, Started, 30000, 500);
}

bool Measuring(const QString& report) {
  return ReadProgramReport(report).value(QStringLiteral("State")) == QStringLiteral("7");
}

// One start offscreen with automatic start on and `baudrateCode` stored,
// against a device just switched on (at 115200 Bd, not streaming):
// milliseconds to measuring, or -1.
double StartToMeasuring(const QString& exe, int baudrateCode) {
  PtyServer device(std::make_shared<ArgoModel>(ArgoProfiles::Default(), ArgoOptions{}));
  QString error;
  if (!device.Start(&error)) {
    std::fprintf(stderr, "bench_cold_start: %s\n", qPrintable(error));
    return -1;
  }
  ProgramFiles files;
  if (!files.Write(device.SlavePath(), error, baudrateCode, true)) return -1;
  const double result = TimedStart(exe, files, Measuring, 40000, 2000);
  device.Stop();
  return result;
}

double Median(std::vector<double> ms) {
  if (ms.empty()) return -1;
  std::sort(ms.begin(), ms.end());
  return ms[ms.size() / 2];
}

#ifdef TS_HAVE_XCB

// An Xvfb of its own on a free display, ended with the benchmark.
class XServer {
 public:
  bool Start() {
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty()) return false;
    server_.start(xvfb, {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                         QStringLiteral("0"), QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                         QStringLiteral("tcp")});
    if (!server_.waitForStarted(5000)) return false;
    QByteArray number;
    QElapsedTimer t;
    t.start();
    while (!number.contains('\n') && t.elapsed() < 10000) {
      server_.waitForReadyRead(200);
      number += server_.readAllStandardOutput();
    }
    if (!number.contains('\n')) return false;
    display_ = QStringLiteral(":") + QString::fromLatin1(number.trimmed());
    return true;
  }
  ~XServer() {
    if (server_.state() == QProcess::NotRunning) return;
    server_.terminate();
    if (!server_.waitForFinished(5000)) server_.kill();
    server_.waitForFinished(2000);
  }
  const QString& Display() const { return display_; }

 private:
  QProcess server_;
  QString display_;
};

struct XStart {
  double mappedMs = -1;
  double startedMs = -1;
};

// One start on the X server: milliseconds to the first top-level window
// mapped and to the deferred start.
XStart XServerStart(const QString& exe, const QString& slavePath, const QString& display) {
  XStart out;
  ProgramFiles files;
  QString error;
  if (!files.Write(slavePath, error)) return out;
  const QByteArray name = display.toLatin1();
  xcb_connection_t* x = xcb_connect(name.constData(), nullptr);
  if (xcb_connection_has_error(x) != 0) {
    xcb_disconnect(x);
    return out;
  }
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
  const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  xcb_change_window_attributes(x, root, XCB_CW_EVENT_MASK, &mask);
  xcb_flush(x);

  QProcess program;
  program.setProcessEnvironment(files.Environment(QStringLiteral("xcb"), display));
  program.setStandardOutputFile(QProcess::nullDevice());
  program.setStandardErrorFile(QProcess::nullDevice());
  QElapsedTimer clock;
  clock.start();
  program.start(exe, {});
  if (program.waitForStarted(10000)) {
    pollfd fd{xcb_get_file_descriptor(x), POLLIN, 0};
    while (out.mappedMs < 0 && clock.elapsed() < 30000 && Running(program) &&
           xcb_connection_has_error(x) == 0) {
      if (out.startedMs < 0 && Started(files.report)) out.startedMs = Ms(clock);
      ::poll(&fd, 1, 1);
      while (xcb_generic_event_t* e = xcb_poll_for_event(x)) {
        if ((e->response_type & 0x7f) == XCB_MAP_NOTIFY) {
          const auto* map = reinterpret_cast<const xcb_map_notify_event_t*>(e);
          if (map->event == root && map->override_redirect == 0 && out.mappedMs < 0) out.mappedMs = Ms(clock);
        }
        std::free(e);
      }
    }
    if (out.startedMs < 0 &&
        WaitFor([&] { return Started(files.report) || !Running(program); }, 30000, 500) &&
        Started(files.report))
      out.startedMs = Ms(clock);
  }
  if (out.startedMs < 0)
    std::fprintf(stderr, "bench_cold_start: a run on the X server never reported its start (%s)\n",
                 Running(program) ? "still running" : "ended");
  EndProgram(program);
  xcb_disconnect(x);
  return out;
}

#endif

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  int runs = 10;
  if (argc > 1) runs = QString::fromLocal8Bit(argv[1]).toInt();
  if (qEnvironmentVariable("TS_BENCH_SMOKE") == QStringLiteral("1")) runs = 2;
  runs = std::max(1, runs);

  QString exe = QCoreApplication::applicationDirPath() + QStringLiteral("/../app/ThermaSentinel");
  if (qEnvironmentVariableIsSet("TS_BENCH_PROGRAM")) exe = qEnvironmentVariable("TS_BENCH_PROGRAM");

  auto model = std::make_shared<ArgoModel>(ArgoProfiles::Default(), ArgoOptions{});
  PtyServer device(model);
  QString error;
  if (!device.Start(&error)) {
    std::fprintf(stderr, "bench_cold_start: %s\n", qPrintable(error));
    return 1;
  }

  std::vector<double> offscreen;
  for (int i = 0; i < runs; ++i)
    if (const double ms = OffscreenStart(exe, device.SlavePath()); ms >= 0) offscreen.push_back(ms);
  PrintFigures("offscreen, to the deferred start:", offscreen);

#ifdef TS_HAVE_XCB
  XServer server;
  if (!server.Start()) {
    std::printf("X server: Xvfb not found or not started, skipped\n");
  } else {
    std::vector<double> mapped, started;
    for (int i = 0; i < runs; ++i) {
      const XStart s = XServerStart(exe, device.SlavePath(), server.Display());
      if (s.mappedMs >= 0) mapped.push_back(s.mappedMs);
      if (s.startedMs >= 0) started.push_back(s.startedMs);
    }
    PrintFigures("X server (Xvfb), to the main window mapped:", mapped);
    PrintFigures("X server (Xvfb), to the deferred start:", started);
  }
#else
  std::printf("X server: built without xcb, skipped\n");
#endif

  // Start to measuring, the two search orders taking turns in one run.
  std::vector<double> storedFirst, rising;
  for (int i = 0; i < runs; ++i) {
    if (const double ms = StartToMeasuring(exe, 5); ms >= 0) storedFirst.push_back(ms);
    if (const double ms = StartToMeasuring(exe, 1); ms >= 0) rising.push_back(ms);
  }
  std::printf("\nstart to measuring, device stored at 115200 Bd, automatic start (offscreen):\n");
  PrintFigures("  stored rate first (now):", storedFirst);
  PrintFigures("  every rate from 9600 Bd up (before):", rising);
  if (!storedFirst.empty() && !rising.empty())
    std::printf("  median before / now: %.2f (goal: now <= 3000 ms)\n", Median(rising) / Median(storedFirst));
  device.Stop();
  return offscreen.empty() || storedFirst.empty() ? 1 : 0;
}
