// Timed scenarios of the serial port over a pseudo-terminal:
//  1. throughput: a writer thread floods the far end without pacing; the
//     port's OnRxChar reads every byte and stamps it into a TRingBuffer on
//     the GUI thread, which runs the event loop;
//  2. latency: one byte at a time, from the far end's write to OnRxChar;
//  3. idle cost: CPU time of the process while the port is open and the
//     line silent, with the GUI thread blocked in a wait (the I/O thread
//     must sleep, not poll).
// TS_BENCH_SMOKE=1 runs every scenario very briefly.

#include <sys/resource.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/pty_pair.h"
#include "transport/com_port.h"
#include "transport/com_port_error.h"
#include "transport/ring_buffer.h"

namespace {

using Steady = std::chrono::steady_clock;
using namespace std::chrono_literals;

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void PumpUntil(const std::function<bool()>& done, Steady::time_point deadline) {
  while (!done() && Steady::now() < deadline) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

struct Throughput {
  std::uint64_t written = 0;
  std::uint64_t received = 0;
  std::uint64_t handlerCalls = 0;
  std::uint64_t ringLost = 0;
  double seconds = 0;
};

Throughput RunThroughput(PtyPair& pty, std::chrono::milliseconds span) {
  Throughput result;
  TComPort port;
  TRingBuffer ring;
  // One entry more than the input queue, so a full queue fits into the ring.
  ring.SetCount(10001);
  port.SetPort(QStringLiteral("COM1"));
  port.SetBaudRate(br115200);
  port.SetEvents({evRxChar});
  port.Buffer().SetInputSize(10000);
  std::vector<std::uint8_t> block(10000);
  port.OnRxChar = [&](QObject*, int count) {
    ++result.handlerCalls;
    const int n = port.Read(block.data(), std::min<int>(count, static_cast<int>(block.size())));
    const std::int64_t now = Clock::Counter();
    for (int i = 0; i < n; ++i) ring.Put(block[static_cast<std::size_t>(i)], now);
    result.received += static_cast<std::uint64_t>(n);
    // The parser side: take everything out again.
    TRingBufferEntry entry;
    while (ring.Available() > 0) ring.Get(entry);
  };
  port.Open();

  std::atomic<bool> stop{false};
  std::atomic<std::uint64_t> written{0};
  std::thread writer([&] {
    std::vector<std::uint8_t> chunk(4096);
    for (std::size_t i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<std::uint8_t>(i);
    while (!stop) written += pty.Write(chunk, 20ms);
  });

  const auto start = Steady::now();
  PumpUntil([] { return false; }, start + span);
  stop = true;
  writer.join();
  result.written = written;
  // Let the rest that is already on its way arrive.
  std::uint64_t last = 0;
  do {
    last = result.received;
    PumpUntil([] { return false; }, Steady::now() + 50ms);
  } while (result.received != last);
  result.seconds = std::chrono::duration<double>(Steady::now() - start).count();
  result.ringLost = ring.LostCount();
  port.Close();
  return result;
}

std::vector<double> RunLatency(PtyPair& pty, int samples) {
  std::vector<double> micros;
  TComPort port;
  port.SetPort(QStringLiteral("COM1"));
  port.SetEvents({evRxChar});
  Steady::time_point sent;
  bool got = false;
  port.OnRxChar = [&](QObject*, int count) {
    std::vector<std::uint8_t> b(static_cast<std::size_t>(count));
    port.Read(b.data(), count);
    micros.push_back(std::chrono::duration<double, std::micro>(Steady::now() - sent).count());
    got = true;
  };
  port.Open();
  const std::uint8_t one[1] = {0x42};
  for (int i = 0; i < samples; ++i) {
    got = false;
    sent = Steady::now();
    pty.Write(one);
    PumpUntil([&] { return got; }, Steady::now() + 1s);
  }
  port.Close();
  std::sort(micros.begin(), micros.end());
  return micros;
}

double RunIdle(std::chrono::milliseconds span) {
  TComPort port;
  port.SetPort(QStringLiteral("COM1"));
  port.SetEvents({evRxChar, evTxEmpty});
  port.Open();
  const double before = CpuSeconds();
  std::this_thread::sleep_for(span);
  const double used = CpuSeconds() - before;
  port.Close();
  return used;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const bool smoke = qEnvironmentVariableIntValue("TS_BENCH_SMOKE") == 1;

  PtyPair pty;
  if (!pty.IsValid()) {
    std::fprintf(stderr, "no pseudo-terminal: errno %d\n", pty.Error());
    return 1;
  }
  QTemporaryDir dir;
  const QString mapFile = dir.filePath(QStringLiteral("ports.ini"));
  {
    QFile f(mapFile);
    if (!f.open(QIODevice::WriteOnly)) return 1;
    f.write("[Ports]\nCOM1=" + pty.SlavePath().toUtf8() + "\n");
  }
  qputenv("THERMASENTINEL_PORTS", mapFile.toUtf8());

  try {
    const Throughput t = RunThroughput(pty, smoke ? 200ms : 3000ms);
    std::printf("throughput: %.0f bytes/s received (%llu of %llu written in %.2f s)\n",
                static_cast<double>(t.received) / t.seconds, static_cast<unsigned long long>(t.received),
                static_cast<unsigned long long>(t.written), t.seconds);
    std::printf("throughput: %llu OnRxChar calls, %.0f bytes per call, %llu ring entries lost\n",
                static_cast<unsigned long long>(t.handlerCalls),
                t.handlerCalls ? static_cast<double>(t.received) / static_cast<double>(t.handlerCalls) : 0.0,
                static_cast<unsigned long long>(t.ringLost));
    std::printf("throughput: 115200 Bd is about 11520 bytes/s (%.0fx headroom)\n",
                static_cast<double>(t.received) / t.seconds / 11520.0);

    const std::vector<double> lat = RunLatency(pty, smoke ? 20 : 500);
    if (!lat.empty()) {
      std::printf("latency write->OnRxChar: median %.0f us, 99th %.0f us, max %.0f us (%zu samples)\n",
                  lat[lat.size() / 2], lat[std::min(lat.size() - 1, lat.size() * 99 / 100)], lat.back(),
                  lat.size());
    }

    const auto idleSpan = smoke ? 200ms : 1500ms;
    const double baselineStart = CpuSeconds();
    std::this_thread::sleep_for(idleSpan);
    const double baseline = CpuSeconds() - baselineStart;
    const double idle = RunIdle(idleSpan);
    std::printf(
        "idle: %.2f ms CPU over %.1f s with the port open (%.3f%% of one core; %.2f ms with no port)\n",
        idle * 1000.0, std::chrono::duration<double>(idleSpan).count(),
        idle * 100.0 / std::chrono::duration<double>(idleSpan).count(), baseline * 1000.0);
  } catch (const EComPort& e) {
    std::fprintf(stderr, "port failure: %s\n", e.what());
    return 1;
  }
  return 0;
}
