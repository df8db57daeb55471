#pragma once

// What the burst benchmarks share: the driver's own CPU time and wake-ups
// taken from the process's counters (the in-process emulator's threads left
// out), the records taken matched against the frames the emulator sent,
// and the single-colour burst at its fastest settings as the reference.

#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QList>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "bench/process_sample.h"
#include "drivers/argo/pyreon_argo.h"
#include "tools/devsim/argo_model.h"
#include "tools/devsim/pty_server.h"

namespace burst_bench {

// The threads of this process, by id.
inline QSet<QString> ThreadIds() {
  QSet<QString> ids;
  for (const QString& id : SampleThreads(::getpid()).keys()) ids.insert(id);
  return ids;
}

// CPU time of a thread in nanoseconds from its schedstat (finer than the
// clock ticks of its stat); false when the kernel does not keep it.
inline bool ScheduledSeconds(const QString& tid, double& seconds) {
  QFile f(QStringLiteral("/proc/%1/task/%2/schedstat").arg(::getpid()).arg(tid));
  if (!f.open(QIODevice::ReadOnly)) return false;
  const QList<QByteArray> fields = f.readAll().trimmed().split(' ');
  bool ok = false;
  const double ns = fields.isEmpty() ? 0.0 : fields.first().toDouble(&ok);
  if (ok) seconds = ns / 1e9;
  return ok;
}

// CPU time and voluntary context switches of every thread of the process
// but the emulator's: the driver's thread, its port's I/O thread and
// whatever else the program runs.
class DriverCounters {
 public:
  // The threads that appeared since `before` are the emulator's.
  void SetEmulatorThreads(const QSet<QString>& before) { emulator_ = ThreadIds() - before; }

  // The counters of each of those threads, by id.
  QMap<QString, ThreadSample> Threads() const {
    QMap<QString, ThreadSample> threads = SampleThreads(::getpid());
    for (const QString& id : emulator_) threads.remove(id);
    for (auto it = threads.begin(); it != threads.end(); ++it)
      ScheduledSeconds(it.key(), it.value().counters.cpuSeconds);
    return threads;
  }
  ProcessSample Sample() const {
    ProcessSample total;
    for (const ThreadSample& t : Threads()) {
      total.cpuSeconds += t.counters.cpuSeconds;
      total.voluntarySwitches += t.counters.voluntarySwitches;
    }
    return total;
  }
  int EmulatorThreadCount() const { return static_cast<int>(emulator_.size()); }

 private:
  QSet<QString> emulator_;
};

struct Figures {
  QString name;
  double seconds = 0.0;
  std::uint64_t sent = 0;
  // Frames from the one the first record gives to the one the last gives.
  std::uint64_t spanned = 0;
  std::uint64_t taken = 0;
  std::uint64_t matched = 0;
  std::uint64_t lost = 0;
  std::uint64_t duplicated = 0;
  std::uint64_t unmatched = 0;
  double cpuSeconds = 0.0;
  long wakeups = 0;
  // Per thread (name: CPU seconds, wake-ups) over the stream.
  QStringList threads;
  double CpuPercent() const { return seconds > 0 ? 100.0 * cpuSeconds / seconds : 0.0; }
  double WakeupsPerSecond() const { return seconds > 0 ? wakeups / seconds : 0.0; }
  double RecordsPerSecond() const { return seconds > 0 ? taken / seconds : 0.0; }
  // CPU time per record taken, in microseconds.
  double CpuPerRecordUs() const { return taken > 0 ? 1e6 * cpuSeconds / static_cast<double>(taken) : 0.0; }
};

// Matches the records taken, in order, with the frames sent: the first
// record may start a few frames in; frames passed over between two matched
// records are lost; a record equal to its predecessor (values and time) is
// a duplicate; a record no frame within the next 200 gives is unmatched.
// `same(k, j)` compares sent frame k with record j, `equalToPrevious(j)`
// record j with record j - 1.
inline void MatchRecords(Figures& f, std::size_t sentCount, std::size_t takenCount,
                         const std::function<bool(std::size_t, std::size_t)>& same,
                         const std::function<bool(std::size_t)>& equalToPrevious) {
  f.sent = sentCount;
  f.taken = takenCount;
  std::size_t s = 0, first = 0;
  for (std::size_t j = 0; j < takenCount; ++j) {
    if (j > 0 && equalToPrevious(j)) {
      ++f.duplicated;
      continue;
    }
    std::size_t k = s;
    while (k < sentCount && k < s + 200 && !same(k, j)) ++k;
    if (k >= sentCount || k >= s + 200) {
      ++f.unmatched;
      continue;
    }
    if (f.matched > 0) f.lost += k - s;
    if (f.matched == 0) first = k;
    s = k + 1;
    ++f.matched;
  }
  f.spanned = f.matched > 0 ? s - first : 0;
}

// MatchRecords for records with `Values` and `Time` against sent frames with
// `values` (in channel order, as many as the frame carried): a record gives
// a frame when its values are the frame's, followed by zeros.
template <class Sent, class Record>
void MatchFrames(Figures& f, const std::vector<Sent>& sent, const std::vector<Record>& taken) {
  MatchRecords(
      f, sent.size(), taken.size(),
      [&](std::size_t k, std::size_t j) {
        const auto& want = sent[k].values;
        const auto& got = taken[j].Values;
        if (want.size() > got.size()) return false;
        for (std::size_t c = 0; c < got.size(); ++c)
          if (got[c] != (c < want.size() ? want[c] : 0)) return false;
        return true;
      },
      [&](std::size_t j) {
        return taken[j].Values == taken[j - 1].Values && taken[j].Time == taken[j - 1].Time;
      });
}

// Drains `take` every 64 ms (the main window's pace) for `seconds` plus
// 300 ms for the parser to catch up, and measures the driver's counters
// over that time.
inline void RunStream(Figures& f, const DriverCounters& counters, double seconds,
                      const std::function<void()>& take) {
  const QMap<QString, ThreadSample> threadsBefore = counters.Threads();
  const ProcessSample before = counters.Sample();
  QElapsedTimer wall;
  wall.start();
  QTimer drain;
  drain.setInterval(64);
  QObject::connect(&drain, &QTimer::timeout, take);
  drain.start();
  QEventLoop loop;
  QTimer::singleShot(static_cast<int>(seconds * 1000) + 300, &loop, &QEventLoop::quit);
  loop.exec();
  drain.stop();
  take();
  const ProcessSample after = counters.Sample();
  f.seconds = wall.nsecsElapsed() / 1e9;
  const QMap<QString, ThreadSample> threadsAfter = counters.Threads();
  for (auto it = threadsAfter.begin(); it != threadsAfter.end(); ++it) {
    const ThreadSample start = threadsBefore.value(it.key());
    const double cpu = it.value().counters.cpuSeconds - start.counters.cpuSeconds;
    const long switches = it.value().counters.voluntarySwitches - start.counters.voluntarySwitches;
    if (cpu > 0 || switches > 0)
      f.threads << QStringLiteral("%1 %2 s, %3/s")
                       .arg(it.value().name)
                       .arg(cpu, 0, 'f', 4)
                       .arg(switches / f.seconds, 0, 'f', 1);
  }
  f.cpuSeconds = after.cpuSeconds - before.cpuSeconds;
  f.wakeups = after.voluntarySwitches - before.voluntarySwitches;
}

inline void Print(const Figures& f) {
  std::printf(
      "%s: %.1f s, records taken %llu (%.0f/s); frames sent from the first record's to the last's %llu "
      "(%llu in the whole run): matched %llu, lost %llu, duplicated %llu, unmatched %llu\n",
      qPrintable(f.name), f.seconds, static_cast<unsigned long long>(f.taken), f.RecordsPerSecond(),
      static_cast<unsigned long long>(f.spanned), static_cast<unsigned long long>(f.sent),
      static_cast<unsigned long long>(f.matched), static_cast<unsigned long long>(f.lost),
      static_cast<unsigned long long>(f.duplicated), static_cast<unsigned long long>(f.unmatched));
  std::printf("%s: CPU %.4f s = %.2f %% of one core (%.1f us a record), wake-ups %.1f/s\n",
              qPrintable(f.name), f.cpuSeconds, f.CpuPercent(), f.CpuPerRecordUs(), f.WakeupsPerSecond());
  std::printf("%s: by thread (CPU, wake-ups): %s\n", qPrintable(f.name),
              qPrintable(f.threads.join(QStringLiteral("; "))));
}

inline double Ratio(double a, double b) { return b > 0 ? a / b : 0.0; }

inline void PrintRatio(const Figures& brio, const Figures& reference) {
  std::printf("%s / %s: CPU %% %.2f, CPU a record %.2f, wake-ups/s %.2f\n", qPrintable(brio.name),
              qPrintable(reference.name), Ratio(brio.CpuPercent(), reference.CpuPercent()),
              Ratio(brio.CpuPerRecordUs(), reference.CpuPerRecordUs()),
              Ratio(brio.WakeupsPerSecond(), reference.WakeupsPerSecond()));
}

// Serves `model` on a pseudo-terminal reachable as "COM<com>", so the
// driver reads through the real line backend (with its input batching); the
// threads the server starts are marked as the emulator's. A pseudo-terminal
// carries neither DTR nor parity: Brio models run powered and parity-blind.
class EmulatedPort {
 public:
  EmulatedPort(std::shared_ptr<DeviceModel> model, int com, DriverCounters& counters) {
    const QSet<QString> before = ThreadIds();
    server_ = std::make_unique<PtyServer>(std::move(model));
    QString error;
    ok_ = server_->Start(&error);
    if (!ok_) std::fprintf(stderr, "no pseudo-terminal: %s\n", qPrintable(error));
    counters.SetEmulatorThreads(before);
    const QString ports = dir_.filePath(QStringLiteral("ports.ini"));
    QFile f(ports);
    if (f.open(QIODevice::WriteOnly))
      f.write(QStringLiteral("[Ports]\r\nCOM%1=%2\r\n").arg(com).arg(server_->SlavePath()).toUtf8());
    f.close();
    qputenv("THERMASENTINEL_PORTS", ports.toUtf8());
  }
  ~EmulatedPort() {
    server_->Stop();
    qunsetenv("THERMASENTINEL_PORTS");
  }
  bool Ok() const { return ok_; }

 private:
  QTemporaryDir dir_;
  std::unique_ptr<PtyServer> server_;
  bool ok_ = false;
};

// The single-colour burst at its fastest settings (115200 Bd, a frame every
// millisecond while the line keeps up, two channels), on the same kind of
// line as the Brio bursts (as bench_argo_burst runs it).
inline Figures SingleColourBurst(double seconds) {
  Figures f;
  f.name = QStringLiteral("single-colour burst");
  ArgoOptions options;
  options.baudRate = 115200;
  options.framePeriodUs = 1000;
  auto model = std::make_shared<ArgoModel>(*ArgoProfiles::Find(QStringLiteral("argo-current")), options);
  DriverCounters counters;
  EmulatedPort port(model, 7, counters);
  if (!port.Ok()) return f;
  TpyreonArgo driver;
  driver.SetComPort(7);
  driver.SetBaudrate(argo115200);
  if (!driver.OpenPort() || driver.GetFirmwareRevision() == 0xFFFF) {
    std::fprintf(stderr, "single-colour device did not answer\n");
    return f;
  }
  driver.SetBurstChannels({1, 4, 0, 0, 0, 0, 0, 0});
  std::vector<TArgoBurstRecord> taken;
  driver.SetBurstMode(true);
  RunStream(f, counters, seconds, [&] {
    TArgoBurstRecord r;
    while (driver.GetNextBurstEntry(r)) taken.push_back(r);
  });
  driver.SetBurstMode(false);
  driver.ClosePort();
  MatchFrames(f, model->SentFrames(), taken);
  return f;
}

}  // namespace burst_bench
