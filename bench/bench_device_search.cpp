// The device scan's cost: one search thread per port number, all at once.
//  1. one silent port alone (a pseudo-terminal with nothing on its far end):
//     the time a single search takes;
//  2. the scan: 255 searches in parallel, a few of them on silent ports, the
//     rest on port numbers without a device (a path that does not exist, or
//     no entry in the port map);
//  3. the worst scan: 255 searches on 255 silent ports.
// The scan should end in about the time of one silent port. Printed: wall
// time and its ratio to the single port, CPU in % of one core, voluntary
// context switches per second, heartbeats received.
// TS_BENCH_SMOKE=1 runs the scan of scenario 2 only, with fewer silent ports.

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "bench/process_sample.h"
#include "drivers/argosuche.h"
#include "platform/pty_pair.h"

namespace {

using Steady = std::chrono::steady_clock;
constexpr std::uint16_t kHeartbeat = 1025;
constexpr int kPorts = 255;

class HeartbeatCounter : public QObject {
 public:
  long count = 0;

 protected:
  void customEvent(QEvent* event) override {
    if (event->type() == static_cast<QEvent::Type>(kHeartbeat)) ++count;
  }
};

struct ScanFigures {
  double seconds = 0;
  double cpuPercent = 0;
  double switchesPerSecond = 0;
  long heartbeats = 0;
  int found = 0;
  int done = 0;
};

// Points the first `silent` port numbers at pseudo-terminals; of the rest,
// even numbers at paths that do not exist, odd ones at nothing.
bool WritePortMap(const QTemporaryDir& dir, int ports, int silent,
                  std::vector<std::unique_ptr<PtyPair>>& ptys) {
  QByteArray text = "[Ports]\r\n";
  for (int n = 1; n <= ports; ++n) {
    if (n <= silent) {
      auto pty = std::make_unique<PtyPair>();
      if (!pty->IsValid()) {
        std::fprintf(stderr, "no pseudo-terminal for port %d: errno %d\n", n, pty->Error());
        return false;
      }
      text += "COM" + QByteArray::number(n) + "=" + pty->SlavePath().toUtf8() + "\r\n";
      ptys.push_back(std::move(pty));
    } else if (n % 2 == 0) {
      text += "COM" + QByteArray::number(n) + "=" +
              dir.filePath(QStringLiteral("missing-%1").arg(n)).toUtf8() + "\r\n";
    }
  }
  const QString path = dir.filePath(QStringLiteral("ports-%1-%2.ini").arg(ports).arg(silent));
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly)) return false;
  f.write(text);
  f.close();
  qputenv("THERMASENTINEL_PORTS", path.toUtf8());
  return true;
}

// Runs one search per port number 1..ports at once, the calling (GUI)
// thread handling the heartbeats and polling Done as the scan dialog does.
ScanFigures RunScan(const QTemporaryDir& dir, int ports, int silent) {
  ScanFigures out;
  std::vector<std::unique_ptr<PtyPair>> ptys;
  if (!WritePortMap(dir, ports, silent, ptys)) return out;
  HeartbeatCounter receiver;
  std::vector<std::unique_ptr<TArgosuche>> searches;
  for (int n = 1; n <= ports; ++n) {
    searches.push_back(std::make_unique<TArgosuche>(true, static_cast<std::uint8_t>(n)));
    searches.back()->SetWindowHandle(&receiver);
    searches.back()->SetMessageNo(kHeartbeat);
  }
  const ProcessSample before = SampleProcess(QCoreApplication::applicationPid());
  const auto start = Steady::now();
  for (auto& s : searches) s->Resume();
  const auto giveUp = start + std::chrono::seconds(60);
  auto allDone = [&] {
    return std::all_of(searches.begin(), searches.end(), [](const auto& s) { return s->Done(); });
  };
  // The scan dialog's poll: a timer, the event loop sleeping in between.
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (allDone() || Steady::now() >= giveUp) loop.quit();
  });
  poll.start(20);
  loop.exec();
  out.seconds = std::chrono::duration<double>(Steady::now() - start).count();
  const ProcessSample after = SampleProcess(QCoreApplication::applicationPid());
  for (auto& s : searches) {
    s->wait();
    out.done += s->Done() ? 1 : 0;
    out.found += s->ResultFound() ? 1 : 0;
  }
  QCoreApplication::sendPostedEvents(&receiver);
  out.heartbeats = receiver.count;
  out.cpuPercent = 100.0 * (after.cpuSeconds - before.cpuSeconds) / out.seconds;
  out.switchesPerSecond =
      static_cast<double>(after.voluntarySwitches - before.voluntarySwitches) / out.seconds;
  return out;
}

void Print(const char* what, const ScanFigures& f, double single) {
  std::printf("%s: %.2f s", what, f.seconds);
  if (single > 0) std::printf(" (%.2fx one silent port)", f.seconds / single);
  std::printf(", CPU %.1f%% of a core, %.0f voluntary switches/s, %ld heartbeats, %d done, %d found\n",
              f.cpuPercent, f.switchesPerSecond, f.heartbeats, f.done, f.found);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const bool smoke = qEnvironmentVariableIntValue("TS_BENCH_SMOKE") == 1;
  QTemporaryDir dir;
  if (!dir.isValid()) {
    std::fprintf(stderr, "no temporary folder\n");
    return 1;
  }
  double single = 0;
  if (!smoke) {
    const ScanFigures one = RunScan(dir, 1, 1);
    single = one.seconds;
    Print("one silent port", one, 0);
  }
  const int silent = smoke ? 4 : 16;
  const ScanFigures scan = RunScan(dir, kPorts, silent);
  std::printf("scan of %d ports, %d silent, the rest without a device\n", kPorts, silent);
  Print("  all done", scan, single);
  if (!smoke) {
    const ScanFigures worst = RunScan(dir, kPorts, kPorts);
    std::printf("scan of %d silent ports\n", kPorts);
    Print("  all done", worst, single);
  }
  return scan.done == kPorts ? 0 : 1;
}
