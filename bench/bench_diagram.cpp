// Timed scenarios of the time chart: feeding, overwriting, polling gaps, the
// chart update cycle, hold on a full buffer, loading a rising data file, and
// the cost of one drawing at 10 k .. 10 M slots. Each scenario runs in its own
// child process so that its peak resident memory is its own.
//
// TS_BENCH_SMOKE=1 shrinks every volume so the whole run takes seconds.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QScrollBar>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "ui/diagram.h"
#include "ui/diagram_painter.h"
#include "ui/diagram_scroll_bar.h"

namespace {

constexpr int kGraphs = 11;
bool g_smoke = false;

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::int64_t Scaled(std::int64_t full) { return g_smoke ? std::max<std::int64_t>(full / 1000, 1000) : full; }

// The shape of the signal: half a swing every `HalfPeriod` slots, and a
// one-slot spike at `SpikeAt` (or every 1000003 slots when negative).
struct Shape {
  double HalfPeriod = 100000.0;
  std::int64_t SpikeAt = -1;
};

struct Feed {
  float v[kGraphs];
  explicit Feed(std::int64_t i, const Shape& shape = {}) {
    // A slow swing with a little noise, like a temperature, and a rare spike.
    const double swing = 10.0 * std::sin(static_cast<double>(i) * 3.14159265358979 / shape.HalfPeriod);
    for (int g = 0; g < kGraphs; ++g)
      v[g] = static_cast<float>(20.0 + 3.0 * g + swing + ((i * 7919 + g * 31) % 100) * 0.005);
    if (shape.SpikeAt < 0 ? i % 1000003 == 500000 : i == shape.SpikeAt) v[0] = 55.0f;
  }
  std::span<const float> span() const { return {v, kGraphs}; }
};

void SetUpChart(TDiagramModel& c, std::int64_t maxData, TDiagramMemoryMode mode, int penWidth = 1,
                int graphs = kGraphs) {
  c.SetGraphCount(graphs);
  c.SetResolution(0.001);
  c.SetYRangeMin(-100);
  c.SetYRangeMax(3000);
  c.SetMaxData(maxData);
  c.SetMemoryMode(mode);
  c.Reset(smLocal, 0, 10);
  c.SetYMin(0);
  c.SetYMax(60);
  for (int g = 0; g < graphs; ++g) {
    TGraphProperties p;
    p.ShowDiagram = true;
    p.RangeDiagram = true;
    p.Color = 0x000000FFu << (g % 3 * 8);
    p.PenWidth = static_cast<std::uint8_t>(penWidth);
    c.SetGraph(g, p);
  }
}

void Fill(TDiagramModel& c, std::int64_t slots, bool drop, const Shape& shape = {}) {
  for (std::int64_t i = 0; i <= slots; ++i) {
    c.AddValues(Feed(i, shape).span(), static_cast<double>(i) * 0.001);
    if (drop) c.DropOverflow();
  }
}

// ---- scenarios ----------------------------------------------------------------

void B1() {
  TDiagramModel c;
  const std::int64_t n = Scaled(10'000'000);
  SetUpChart(c, n, dmmStop);
  const double t0 = Now();
  Fill(c, n, false);
  const double t = Now() - t0;
  std::printf("B1 feed %lld slots x %d graphs (stop): %.3f s, %.1f ns/sample, store %.1f MB\n",
              static_cast<long long>(n), kGraphs, t, t / n * 1e9, c.StoreBytes() / 1048576.0);
}

void B2(std::int64_t fullMax) {
  TDiagramModel c;
  const std::int64_t maxData = Scaled(fullMax);
  SetUpChart(c, maxData, dmmOverwrite);
  Fill(c, maxData + 1000, true);
  const int batches = g_smoke ? 100 : 10000;
  std::int64_t i = maxData + 1001;
  const double t0 = Now();
  for (int b = 0; b < batches; ++b) {
    for (int r = 0; r < 100; ++r, ++i) c.AddValues(Feed(i).span(), static_cast<double>(i) * 0.001);
    c.DropOverflow();
  }
  const double t = Now() - t0;
  std::printf("B2 overwrite MaxData %lld, batches of 100: %.2f us/batch (offset %lld)\n",
              static_cast<long long>(maxData), t / batches * 1e6, static_cast<long long>(c.SlotOffset()));
}

void B3() {
  TDiagramModel c;
  const std::int64_t maxData = Scaled(10'000'000);
  SetUpChart(c, maxData, dmmStop);
  const double t0 = Now();
  std::int64_t samples = 0;
  for (std::int64_t slot = 0; slot <= maxData; slot += 50, ++samples)
    c.AddValues(Feed(slot).span(), static_cast<double>(slot) * 0.001);
  const double t = Now() - t0;
  std::printf("B3 polling with 50-slot gaps to %lld slots: %.3f s for %lld samples (%.2f us/sample)\n",
              static_cast<long long>(maxData), t, static_cast<long long>(samples), t / samples * 1e6);
}

void B4() {
  TDiagram chart;
  chart.resize(1200, 600);
  const std::int64_t n = Scaled(10'000'000);
  SetUpChart(chart, n, dmmStop);
  chart.SetYScaleMode(smLocal);
  chart.SetXConstDiff(true);
  Fill(chart, n, false);
  chart.Reset(smLocal, 0, 10);  // keep the data: refill quickly below
  Fill(chart, n, false);
  chart.SetXConstDiff(false);
  chart.SetXMin(0);
  chart.SetXMax(10);
  chart.SetXConstDiff(true);
  const int cycles = g_smoke ? 20 : 200;
  double t0 = Now();
  for (int k = 0; k < cycles; ++k) {
    chart.SetXMax(static_cast<double>(n) * 0.001 - (cycles - k) * 0.1);
    (void)chart.BackBuffer();
  }
  const double follow = (Now() - t0) / cycles;
  t0 = Now();
  for (int k = 0; k < cycles / 4; ++k) {
    chart.SetYScaleMode(smGlobal);
    chart.XZoomFull();
    (void)chart.BackBuffer();
  }
  const double full = (Now() - t0) / (cycles / 4);
  std::printf("B4 update cycle on %lld slots x %d graphs: 10 k window %.2f ms, zoom full %.2f ms\n",
              static_cast<long long>(n), kGraphs, follow * 1e3, full * 1e3);
}

void B5() {
  TDiagramModel c;
  const std::int64_t maxData = Scaled(10'000'000);
  SetUpChart(c, maxData, dmmOverwrite);
  Fill(c, maxData + 1000, true);
  const std::size_t before = c.StoreBytes();
  const int toggles = g_smoke ? 100 : 1000;
  std::int64_t i = maxData + 1001;
  const double t0 = Now();
  for (int k = 0; k < toggles; ++k) {
    c.ToggleHold();  // hold: frozen picture
    for (int r = 0; r < 100; ++r, ++i) c.AddValues(Feed(i).span(), static_cast<double>(i) * 0.001);
    c.DropOverflow();
    c.ToggleHold();  // continue
  }
  const double t = Now() - t0;
  std::printf(
      "B5 hold/continue on a full overwrite buffer of %lld slots: %.2f us per pair (store %.1f -> %.1f MB)\n",
      static_cast<long long>(maxData), t / toggles * 1e6, before / 1048576.0, c.StoreBytes() / 1048576.0);
}

void B6() {
  TDiagram chart;
  chart.resize(1200, 600);
  const std::int64_t rows = Scaled(1'000'000);
  SetUpChart(chart, 10'000'000, dmmStop);
  chart.SetYMax(-100);
  chart.SetYRangeMax(-100);
  chart.SetYMin(5000);
  chart.SetYRangeMin(5000);
  chart.Reset(smLocal, 0, 1);
  chart.SetYScaleMode(smGlobal);
  chart.SetXExcludeRanging(1.5);
  const double t0 = Now();
  for (std::int64_t r = 0; r < rows; ++r) {
    const float v = static_cast<float>(r) * 0.001f;
    float vals[kGraphs];
    for (float& x : vals) x = v;
    if (v + 1 > chart.YRangeMax()) {
      chart.SetYRangeMax(v + 1);
      chart.SetYMax(v + 1);
    }
    if (v - 1 < chart.YRangeMin()) {
      chart.SetYRangeMin(v - 1);
      chart.SetYMin(v - 1);
    }
    chart.SetXScaleMode(r + 1 == rows ? smLocal : smGlobal);
    chart.AddValues(std::span<const float>(vals, kGraphs), static_cast<double>(r) * 0.001);
  }
  (void)chart.BackBuffer();
  const double t = Now() - t0;
  std::printf("B6 load of %lld rising rows: %.3f s (%.2f us/row, %llu drawings)\n",
              static_cast<long long>(rows), t, t / rows * 1e6,
              static_cast<unsigned long long>(chart.RenderCount()));
}

// Time of the curve points alone (the summary queries), all graphs, at
// full zoom over a plot of `P` pixel columns.
double CurveQueryTime(const TDiagramModel& c, int P, int reps) {
  TDiagramPainter::TCurveGeometry geo;
  geo.L = 40;
  geo.B0 = 560;
  geo.P = P;
  geo.Start = c.WindowStart();
  geo.Width = c.WindowWidth();
  geo.xs = static_cast<double>(P) / static_cast<double>(geo.Width);
  geo.ys = -9.0;
  geo.Limit = c.ShownLast();
  std::size_t points = 0;
  // As in a paint, the queries start with cold caches.
  std::vector<char> flush(std::size_t{64} << 20, 1);
  double t = 0;
  for (int k = 0; k < reps; ++k) {
    for (std::size_t b = 0; b < flush.size(); b += 64) flush[b] = static_cast<char>(flush[b] + 1);
    const double t0 = Now();
    const auto columns = TDiagramPainter::ModelColumnEnvelopes(c, geo);
    for (int g = 0; g < c.GraphCount(); ++g)
      points += TDiagramPainter::CurvePoints(TDiagramPainter::ModelSource(c, g, &columns), geo).size();
    t += Now() - t0;
  }
  if (points == 0) std::printf("(no points)\n");
  return t / reps;
}

struct PaintFigures {
  double Paint = 0;  // seconds per full drawing
  double Query = 0;  // seconds for the curve points alone, cold caches
  double Rss = 0;    // MB, peak before the query timing
};

PaintFigures MeasurePaint(std::int64_t n) {
  TDiagram chart;
  chart.resize(1200, 600);
  SetUpChart(chart, n, dmmStop);
  // The same picture at every size: 100 half swings and one spike.
  Fill(chart, n, false, Shape{static_cast<double>(n) / 100.0, n / 2 + 1});
  chart.XZoomFull();
  (void)chart.BackBuffer();
  const int reps = g_smoke ? 3 : 30;
  PaintFigures f;
  const double t0 = Now();
  for (int k = 0; k < reps; ++k) chart.Paint();
  f.Paint = (Now() - t0) / reps;
  struct rusage ru {};
  getrusage(RUSAGE_SELF, &ru);  // before the cache flush of the query timing
  f.Rss = static_cast<double>(ru.ru_maxrss) / 1024.0;
  f.Query = CurveQueryTime(chart, 1150, reps);
  return f;
}

// The paint at full zoom over n slots, and its ratio to the paint of the same
// picture over 10 k slots measured in the same process.
void PaintAt(std::int64_t fullSlots) {
  const std::int64_t n = g_smoke ? std::min<std::int64_t>(fullSlots, 100'000) : fullSlots;
  const PaintFigures f = MeasurePaint(n);
  const PaintFigures ref = n == 10'000 ? f : MeasurePaint(10'000);
  std::printf(
      "Paint full zoom, %lld slots x %d graphs, 1200x600: %.2f ms, %.2fx the 10 k paint (%.2f ms); curve "
      "points "
      "alone, cold caches: %.2f ms (10 k: %.2f ms); peak RSS %.1f MB\n",
      static_cast<long long>(n), kGraphs, f.Paint * 1e3, f.Paint / ref.Paint, ref.Paint * 1e3, f.Query * 1e3,
      ref.Query * 1e3, f.Rss);
}

double CpuSeconds() {
  struct rusage ru {};
  getrusage(RUSAGE_SELF, &ru);
  return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
         static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) * 1e-6;
}

// A shown chart following live data as the main window drives it: 1150
// samples a second, the window moved to the newest time every 50 ms and the
// events (paints of the plot and of the scroll bars) handled after each move.
// `shape` sets how busy the picture is, `penWidth` the pen of every graph.
void Live(const Shape& shape, int penWidth = 1) {
  TDiagram chart;
  chart.resize(1200, 600);
  SetUpChart(chart, 10'000'000, dmmStop, penWidth);
  chart.SetYScaleMode(smGlobal);
  chart.show();
  constexpr double kRate = 1150.0, kPeriod = 0.05, kWindow = 10.0;
  const double seconds = g_smoke ? 1.0 : 10.0;
  std::int64_t sample = 0;
  std::uint64_t renders = 0;
  auto feedUntil = [&](double end) {
    for (; sample / kRate < end; ++sample) chart.AddValues(Feed(sample, shape).span(), sample / kRate);
    chart.SetXMax(end);
    QCoreApplication::processEvents();
  };
  // The window first grows with the data, then follows it at constant width.
  double t = kPeriod;
  for (; t < kWindow; t += kPeriod) {
    chart.SetXConstDiff(false);
    chart.SetXMin(0);
    feedUntil(t);
  }
  chart.SetXMin(t - kWindow);
  chart.SetXMax(t);
  chart.SetXConstDiff(true);
  const double cpu0 = CpuSeconds();
  const double wall0 = Now();
  const std::uint64_t renders0 = chart.RenderCount();
  const std::uint64_t scrolls0 = chart.ScrollCount();
  auto* xBar = static_cast<TDiagramScrollBar*>(chart.findChild<QScrollBar*>("XScrollBar"));
  const int barRequests0 = xBar->RepaintRequests(), barDrawings0 = xBar->StyleDrawings();
  for (double end = t + seconds; t < end; t += kPeriod) feedUntil(t);
  const double cpu = CpuSeconds() - cpu0;
  const double wall = Now() - wall0;
  renders = chart.RenderCount() - renders0;
  const std::uint64_t scrolls = chart.ScrollCount() - scrolls0;
  const double p0 = Now();
  for (int k = 0; k < 20; ++k) chart.Paint();
  const double paint = (Now() - p0) / 20;
  std::printf(
      "Live (half swing %.0f samples, pen %d): %.0f samples/s x %d graphs into 1200x600, update every %.0f "
      "ms, %.0f "
      "s "
      "of data: %.3f s CPU "
      "(%.2f%% of a core), %.3f s wall, %llu drawings (%llu moved; a full one %.2f ms), X bar drawn %d "
      "times "
      "(style %d times)\n",
      shape.HalfPeriod, penWidth, kRate, kGraphs, kPeriod * 1e3, seconds, cpu, cpu / seconds * 100.0, wall,
      static_cast<unsigned long long>(renders), static_cast<unsigned long long>(scrolls), paint * 1e3,
      xBar->RepaintRequests() - barRequests0, xBar->StyleDrawings() - barDrawings0);
}

// The live window as the main window keeps it while a burst streams:
// `graphs` graphs at 1 ms resolution, a window of 10 s at constant width,
// 115 samples appended per 100 ms tick and one drawing per tick into a chart
// of 800 x 400 pixels, the values passed through a unit conversion as the
// main window does. Two charts take the same samples, tick by tick: one
// draws everything at every tick (as every drawing did while a value
// transform was set), the other moves its previous picture.
void Scrolling(int graphs) {
  constexpr double kRate = 1150.0, kTick = 0.1, kWindow = 10.0;
  const int ticks = g_smoke ? 20 : 600;
  struct Chart {
    TDiagram Widget;
    bool Fahrenheit = false;
    double Seconds = 0;
    std::uint64_t Drawings = 0, Moved = 0;
  };
  Chart charts[2];  // [0] draws everything, [1] moves
  for (Chart& c : charts) {
    c.Widget.resize(800, 400);
    SetUpChart(c.Widget, 10'000'000, dmmStop, 2, graphs);
    c.Widget.SetYScaleMode(smGlobal);
    c.Widget.OnProcessDiagramPaint = [&c](double v) { return c.Fahrenheit ? v * 1.8 + 32.0 : v; };
  }
  std::int64_t sample = 0;
  auto feedUntil = [&](double end) {
    for (; sample / kRate < end; ++sample) {
      const Feed f(sample, Shape{2300.0, -1});
      for (Chart& c : charts)
        c.Widget.AddValues(f.span().first(static_cast<std::size_t>(graphs)), sample / kRate);
    }
    for (Chart& c : charts) c.Widget.DropOverflow();
  };
  // The window grows with the data up to its width, then follows it.
  feedUntil(kWindow);
  for (Chart& c : charts) {
    c.Widget.SetXConstDiff(false);
    c.Widget.SetXMin(0);
    c.Widget.SetXMax(kWindow);
    c.Widget.SetXConstDiff(true);
    (void)c.Widget.BackBuffer();
    c.Drawings = c.Widget.RenderCount();
    c.Moved = c.Widget.ScrollCount();
  }
  double t = kWindow;
  for (int k = 0; k < ticks; ++k) {
    t += kTick;
    feedUntil(t);
    for (int i = 0; i < 2; ++i) {
      Chart& c = charts[(i + k) % 2];  // neither always goes first
      c.Widget.SetXMax(t);
      const double t0 = Now();
      if (&c == &charts[0])
        c.Widget.Paint();
      else
        (void)c.Widget.BackBuffer();
      c.Seconds += Now() - t0;
    }
  }
  for (Chart& c : charts) {
    c.Drawings = c.Widget.RenderCount() - c.Drawings;
    c.Moved = c.Widget.ScrollCount() - c.Moved;
  }
  const double full = charts[0].Seconds / static_cast<double>(std::max<std::uint64_t>(charts[0].Drawings, 1));
  const double moved =
      charts[1].Seconds / static_cast<double>(std::max<std::uint64_t>(charts[1].Drawings, 1));
  std::printf(
      "Scrolling %d graphs, 10 s window at 1 ms, %.0f samples per %.0f ms tick, 800x400, pen 2, unit "
      "conversion, %d ticks: everything drawn %.3f ms per drawing, moved picture %.3f ms per drawing (%llu "
      "of "
      "%llu moved), %.1fx less; at 10 drawings a second %.2f%% vs %.2f%% of a core\n",
      graphs, kRate * kTick, kTick * 1e3, ticks, full * 1e3, moved * 1e3,
      static_cast<unsigned long long>(charts[1].Moved), static_cast<unsigned long long>(charts[1].Drawings),
      full / moved, full * 10 * 100, moved * 10 * 100);
}

// Runs one scenario in a child process and prints its peak resident memory.
void Run(const char* name, const std::function<void()>& body) {
  std::fflush(stdout);
  const pid_t pid = fork();
  if (pid == 0) {
    int argc = 1;
    char arg0[] = "bench_diagram";
    char* argv[] = {arg0, nullptr};
    QApplication app(argc, argv);
    body();
    std::fflush(stdout);
    _exit(0);
  }
  int status = 0;
  struct rusage ru {};
  if (pid < 0 || wait4(pid, &status, 0, &ru) < 0) {
    std::printf("%s: could not run\n", name);
    return;
  }
  std::printf("  %s process peak RSS %.1f MB%s\n", name, ru.ru_maxrss / 1024.0,
              WIFEXITED(status) && WEXITSTATUS(status) == 0 ? "" : " (failed)");
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  const char* smoke = std::getenv("TS_BENCH_SMOKE");
  g_smoke = smoke && *smoke && std::string(smoke) != "0";
  const std::string only = argc > 1 ? argv[1] : "";
  struct Scenario {
    const char* name;
    std::function<void()> body;
  };
  const std::vector<Scenario> scenarios = {
      {"B1", B1},
      {"B2-1M", [] { B2(1'000'000); }},
      {"B2-10M", [] { B2(10'000'000); }},
      {"B3", B3},
      {"B4", B4},
      {"B5", B5},
      {"B6", B6},
      {"Live", [] { Live(Shape{}); }},
      {"Live-busy",
       [] {
         Live(Shape{100.0, -1});
       }},
      // The program's default pen is two pixels wide.
      {"Live-pen2", [] { Live(Shape{}, 2); }},
      {"Live-busy-pen2",
       [] {
         Live(Shape{100.0, -1}, 2);
       }},
      {"Scrolling-4", [] { Scrolling(4); }},
      {"Scrolling-11", [] { Scrolling(kGraphs); }},
      {"Paint-10k", [] { PaintAt(10'000); }},
      {"Paint-100k", [] { PaintAt(100'000); }},
      {"Paint-1M", [] { PaintAt(1'000'000); }},
      {"Paint-10M", [] { PaintAt(10'000'000); }},
  };
  for (const Scenario& s : scenarios)
    if (only.empty() || only == s.name) Run(s.name, s.body);
  return 0;
}
