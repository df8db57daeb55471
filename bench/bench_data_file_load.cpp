// Loading a large measurement data file into the chart's data: the time, the
// peak memory of the process, and the longest stretch the owner's (GUI)
// thread is busy without a chance to repaint.
//
// "whole file" reads every row into memory first and then moves them into
// the chart in one go, as the window did before; "batches" reads on a worker
// and moves batches into the chart while the owner thread stays free
// between them. Each way runs in a child process of its own, so the peak
// memory (VmHWM) is its own.
//
// Usage: bench_data_file_load [rows]   (default 4,000,000, about 400 MB;
//        TS_BENCH_SMOKE=1: 20,000)

#include <sys/wait.h>
#include <unistd.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>

#include "measurement/measurement_data.h"
#include "measurement/measurement_data_file.h"
#include "measurement/measurement_data_loader.h"
#include "ui/diagram_model.h"

namespace {

long PeakRssKb() {
  QFile f(QStringLiteral("/proc/self/status"));
  if (!f.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : f.readAll().split('\n'))
    if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').first().toLong();
  return -1;
}

void WriteFile(const QString& path, std::int64_t rows) {
  MeasurementData data;
  data.Header.Resolution = 0.001;
  data.Reserve(rows);
  for (std::int64_t i = 0; i < rows; ++i) {
    TChannelValues v{};
    for (std::size_t c = 0; c < v.size(); ++c) v[c] = 20.0f + static_cast<float>((i + c) % 500);
    v[7] = 0.95f;
    data.Append(static_cast<double>(i) * 0.001, v);
  }
  MeasurementDataFile file;
  file.SetDecimalSeparator(QLatin1Char('.'));
  if (!file.Write(path, data.Header, data).Ok()) std::exit(1);
}

void Prepare(TDiagramModel& chart, const MeasurementFileHeader& header, std::int64_t rows) {
  chart.SetGraphCount(11);
  chart.SetMaxData(std::clamp<std::int64_t>(rows + 10, 1000, TDiagramModel::kMaxDataMax));
  chart.SetResolution(header.Resolution);
  chart.Reset(smLocal, 0.0, 1.0);
  chart.SetXScaleMode(smGlobal);
}

void AddRows(TDiagramModel& chart, const MeasurementData& data) {
  for (std::int64_t i = 0; i < data.SampleCount(); ++i) {
    const TChannelValues v = data.Values(i);
    chart.AddValues(std::span<const float>(v.data(), v.size()), data.SampleTime(i));
  }
}

struct Figures {
  double seconds = 0.0;
  double longestBusyMs = 0.0;
  long peakKb = 0;
  std::int64_t slots = 0;
};

Figures LoadWhole(const QString& path, std::int64_t rows) {
  Figures f;
  QElapsedTimer t;
  t.start();
  MeasurementData data;
  MeasurementDataFile().Read(path, data);
  TDiagramModel chart;
  Prepare(chart, data.Header, rows);
  AddRows(chart, data);
  f.seconds = static_cast<double>(t.nsecsElapsed()) / 1e9;
  f.longestBusyMs = f.seconds * 1000.0;  // one call, nothing in between
  f.slots = chart.UsedData();
  return f;
}

Figures LoadBatches(const QString& path, std::int64_t rows) {
  Figures f;
  QElapsedTimer t;
  t.start();
  TDiagramModel chart;
  bool prepared = false;
  MeasurementDataLoader loader;
  loader.Start(path);
  // The owner returns to its event loop after every batch.
  for (;;) {
    const bool more = loader.WaitForBatches(50);
    for (const MeasurementData& batch : loader.TakeBatches()) {
      QElapsedTimer busy;
      busy.start();
      if (!prepared) {
        prepared = true;
        Prepare(chart, batch.Header, rows);
      }
      AddRows(chart, batch);
      f.longestBusyMs = std::max(f.longestBusyMs, static_cast<double>(busy.nsecsElapsed()) / 1e6);
    }
    if (!more) break;
  }
  f.seconds = static_cast<double>(t.nsecsElapsed()) / 1e9;
  f.slots = chart.UsedData();
  return f;
}

// Runs `load` in a child process and reads its figures back through a pipe.
Figures InChild(Figures (*load)(const QString&, std::int64_t), const QString& path, std::int64_t rows) {
  int fds[2];
  if (::pipe(fds) != 0) std::exit(1);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    Figures f = load(path, rows);
    f.peakKb = PeakRssKb();
    if (::write(fds[1], &f, sizeof f) != static_cast<ssize_t>(sizeof f)) ::_exit(1);
    ::_exit(0);
  }
  ::close(fds[1]);
  Figures f;
  if (::read(fds[0], &f, sizeof f) != static_cast<ssize_t>(sizeof f)) std::exit(1);
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const bool smoke = qEnvironmentVariableIsSet("TS_BENCH_SMOKE");
  std::int64_t rows = smoke ? 20000 : 4000000;
  if (argc > 1 && argv[1][0] != '-') rows = std::max<std::int64_t>(1, std::atoll(argv[1]));

  QTemporaryDir dir(QDir::current().filePath(QStringLiteral("bench_data_file_load-XXXXXX")));
  const QString path = dir.filePath(QStringLiteral("large.dat"));
  // Written by a child, so that the samples it holds never count in the
  // memory of the loads.
  if (const pid_t writer = ::fork(); writer == 0) {
    WriteFile(path, rows);
    ::_exit(0);
  } else {
    int status = 0;
    ::waitpid(writer, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return 1;
  }
  const double mb = static_cast<double>(QFileInfo(path).size()) / (1024.0 * 1024.0);
  std::printf("data file load: %lld rows, %.0f MB\n", static_cast<long long>(rows), mb);
  std::printf("%-12s %10s %12s %16s %12s\n", "way", "seconds", "s per GB", "longest busy ms", "peak MB");
  const Figures whole = InChild(&LoadWhole, path, rows);
  const Figures batches = InChild(&LoadBatches, path, rows);
  for (const auto& [name, f] : {std::pair{"whole file", whole}, std::pair{"batches", batches}}) {
    std::printf("%-12s %10.2f %12.1f %16.1f %12.0f   (%lld slots)\n", name, f.seconds,
                f.seconds * 1024.0 / mb, f.longestBusyMs, static_cast<double>(f.peakKb) / 1024.0,
                static_cast<long long>(f.slots));
  }
  std::printf("batches/whole: time %.2fx, longest busy %.4fx, peak memory %.2fx\n",
              batches.seconds / whole.seconds, batches.longestBusyMs / whole.longestBusyMs,
              static_cast<double>(batches.peakKb) / static_cast<double>(whole.peakKb));
  return whole.slots == batches.slots ? 0 : 1;
}
