// A full second-generation configuration write through the bootstrap
// loader: `WriteBriov2Images` on an emulated Briov2 programs the
// configuration (0x1000), extended (0xC000, with the read-back of the
// segment's other half) and calibration (0x1080) segments and restarts the
// device. Prints, from the emulator's request log:
// - the write's time against the sleeps the write must make (entering the
//   loader 3 x 100 ms, the restart 2 x 500 ms), and the line time of every
//   byte that crossed the wire (requests and replies, 10 bits a byte at 8N1,
//   11 at the loader's 8E1), with their ratios;
// - the flash itself (first erase to the last block's acknowledgement), per
//   segment and in all, with the bytes programmed a second.
//
// Usage: bench_brio_gen2_flash [writes]   (default 5; TS_BENCH_SMOKE=1: 1)

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

#include "drivers/brio/pyreon_brio_ma.h"
#include "platform/fake_serial_device.h"
#include "platform/fake_serial_line.h"
#include "tools/devsim/brio_gen2_model.h"
#include "tools/devsim/brio_profiles.h"
#include "tools/devsim/fake_line_server.h"

namespace {

constexpr double kBaud = 9600.0;
// What the write must sleep: 100 ms after raising DTR, after the parity
// switch and after clearing the queues; DTR low 500 ms and high 500 ms to
// restart the device.
constexpr double kPrescribedSleepMs = 3 * 100.0 + 2 * 500.0;

struct Segment {
  const char* name;
  std::uint16_t first;
  std::uint16_t last;
};
constexpr Segment kSegments[] = {
    {"configuration 0x1000", 0x1000, 0x107F},
    {"extended 0xC000", 0xC000, 0xC1FF},
    {"calibration 0x1080", 0x1080, 0x10FF},
};

using TimePoint = DeviceModel::Clock::time_point;

double Ms(TimePoint from, TimePoint to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

double LineMs(std::size_t bytes, bool loader) {
  return 1000.0 * static_cast<double>(bytes) * (loader ? 11 : 10) / kBaud;
}

std::uint16_t FrameAddress(const BrioRequestRecord& r) {
  return r.bytes.size() >= 6 ? static_cast<std::uint16_t>(r.bytes[4] | r.bytes[5] << 8) : 0;
}
bool IsLoaderCommand(const BrioRequestRecord& r, std::uint8_t command) {
  return r.loader && r.bytes.size() >= 8 && r.bytes[0] == 0x80 && r.bytes[1] == command;
}

struct Span {
  std::optional<TimePoint> begin, end;
  void Widen(TimePoint b, TimePoint e) {
    if (!begin || b < *begin) begin = b;
    if (!end || e > *end) end = e;
  }
  double Milliseconds() const { return begin && end ? Ms(*begin, *end) : 0.0; }
};

struct WriteFigures {
  double wallMs = 0.0;
  double requestLineMs = 0.0;
  double replyLineMs = 0.0;
  std::size_t requestBytes = 0;
  std::size_t replyBytes = 0;
  std::uint64_t programmed = 0;
  double flashMs = 0.0;
  double flashRequestLineMs = 0.0;
  double segmentMs[3] = {};
  double segmentRequestLineMs[3] = {};
  double LineMs() const { return requestLineMs + replyLineMs; }
  // The emulated line hands the host's bytes over at once and paces only
  // the device's answers: a real line adds the requests' line time.
  double RealWallMs() const { return wallMs + requestLineMs; }
  double RealFlashMs() const { return flashMs + flashRequestLineMs; }
};

// Reads the log of one write: the line time of everything sent and
// answered, and the span of the erase and program frames per segment (from
// the first erase to the answer of the last program frame).
WriteFigures Analyse(const std::vector<BrioRequestRecord>& log) {
  WriteFigures w;
  Span flash;
  Span segments[3];
  for (const BrioRequestRecord& r : log) {
    w.requestBytes += r.bytes.size();
    w.replyBytes += r.reply.size();
    w.requestLineMs += LineMs(r.bytes.size(), r.loader);
    w.replyLineMs += LineMs(r.reply.size(), r.loader);
    if (!IsLoaderCommand(r, 0x16) && !IsLoaderCommand(r, 0x12)) continue;
    const auto end =
        r.time + std::chrono::microseconds(static_cast<long long>(1000 * LineMs(r.reply.size(), true)));
    flash.Widen(r.time, end);
    const std::uint16_t address = FrameAddress(r);
    for (int s = 0; s < 3; ++s)
      if (address >= kSegments[s].first && address <= kSegments[s].last) segments[s].Widen(r.time, end);
  }
  w.flashMs = flash.Milliseconds();
  for (int s = 0; s < 3; ++s) w.segmentMs[s] = segments[s].Milliseconds();
  // Every request inside a span (syncs and reads too) takes its line time there.
  for (const BrioRequestRecord& r : log) {
    const double line = LineMs(r.bytes.size(), r.loader);
    if (flash.begin && r.time >= *flash.begin && r.time <= *flash.end) w.flashRequestLineMs += line;
    for (int s = 0; s < 3; ++s)
      if (segments[s].begin && r.time >= *segments[s].begin && r.time <= *segments[s].end)
        w.segmentRequestLineMs[s] += line;
  }
  return w;
}

bool ReadEverything(TpyreonBrio_mA& driver) {
  if (!driver.PowerOnHandshake(true)) {
    std::fprintf(stderr, "no power-on handshake\n");
    return false;
  }
  driver.Identify();
  driver.ReadAllImages();
  return driver.ConfigImage(1).Loaded && driver.VectorImage().Loaded && driver.ExtendedImage().Loaded &&
         driver.CalibrationImage(1).Loaded;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  int writes = std::getenv("TS_BENCH_SMOKE") ? 1 : 5;
  // Options (such as the benchmark library's, which CI passes) are not a count.
  if (argc > 1 && argv[1][0] != '-') writes = std::max(1, std::atoi(argv[1]));

  // An in-process line: it carries the DTR power cycle and the loader's parity.
  auto model = std::make_shared<BrioGen2Model>(*BrioProfiles::Find(2, QStringLiteral("briov2")));
  auto line = FakeSerialLine::Create();
  FakeLineServer server(model, line);
  server.Start();
  FakeSerialDevice::Register(QStringLiteral("bench-brio2-flash"), line);
  QTemporaryDir dir;
  const QString ports = dir.filePath(QStringLiteral("ports.ini"));
  QFile f(ports);
  if (!f.open(QIODevice::WriteOnly)) return 1;
  f.write("[Ports]\r\nCOM9=bench-brio2-flash\r\n");
  f.close();
  qputenv("THERMASENTINEL_PORTS", ports.toUtf8());
  TpyreonBrio_mA driver;
  driver.SetComPort(9);
  if (!driver.OpenPort()) return 1;

  std::vector<WriteFigures> runs;
  for (int i = 0; i < writes; ++i) {
    if (!ReadEverything(driver)) {
      std::fprintf(stderr, "images not read from the device\n");
      return 1;
    }
    BrioConfigImage config = driver.ConfigImage(2);
    BrioExtendedImage extended = driver.ExtendedImage();
    BrioCalibrationImage calibration = driver.CalibrationImage(1);
    // A change in each image, so every write programs new contents.
    config.Data[100] = static_cast<std::uint8_t>(i);
    extended.Data[200] = static_cast<std::uint8_t>(i);
    calibration.Data[120] = static_cast<std::uint8_t>(i);
    model->ClearRequests();
    const std::uint64_t programmedBefore = model->ProgrammedBytes();
    QElapsedTimer wall;
    wall.start();
    if (!driver.WriteBriov2Images(config, extended, calibration)) {
      std::fprintf(stderr, "write %d failed\n", i + 1);
      return 1;
    }
    WriteFigures w = Analyse(model->Requests());
    w.wallMs = wall.nsecsElapsed() / 1e6;
    w.programmed = model->ProgrammedBytes() - programmedBefore;
    runs.push_back(w);
  }
  driver.ClosePort();
  server.Stop();
  FakeSerialDevice::Unregister(QStringLiteral("bench-brio2-flash"));

  WriteFigures mean;
  const double n = static_cast<double>(runs.size());
  for (const WriteFigures& w : runs) {
    mean.wallMs += w.wallMs / n;
    mean.requestLineMs += w.requestLineMs / n;
    mean.replyLineMs += w.replyLineMs / n;
    mean.requestBytes += w.requestBytes;
    mean.replyBytes += w.replyBytes;
    mean.programmed += w.programmed;
    mean.flashMs += w.flashMs / n;
    mean.flashRequestLineMs += w.flashRequestLineMs / n;
    for (int s = 0; s < 3; ++s) {
      mean.segmentMs[s] += w.segmentMs[s] / n;
      mean.segmentRequestLineMs[s] += w.segmentRequestLineMs[s] / n;
    }
  }
  mean.requestBytes /= runs.size();
  mean.replyBytes /= runs.size();
  mean.programmed /= runs.size();
  const auto perSecond = [](double bytes, double ms) { return ms > 0 ? 1000.0 * bytes / ms : 0.0; };
  std::printf(
      "second-generation configuration write (WriteBriov2Images: configuration, extended and calibration "
      "segments), mean of %d:\n",
      writes);
  std::printf(
      "  time on the wire (line time of every byte at 9600 Bd, 8E1 in the loader): %.0f ms "
      "(requests %zu bytes %.0f ms, answers %zu bytes %.0f ms)\n",
      mean.LineMs(), mean.requestBytes, mean.requestLineMs, mean.replyBytes, mean.replyLineMs);
  std::printf("  prescribed sleeps: %.0f ms; time on the wire / sleeps: %.2f\n", kPrescribedSleepMs,
              mean.LineMs() / kPrescribedSleepMs);
  std::printf(
      "  whole write measured: %.0f ms (the emulated line passes requests at once and paces the answers); "
      "on a 9600 Bd line: %.0f ms; / sleeps: %.2f; / (sleeps + wire): %.2f\n",
      mean.wallMs, mean.RealWallMs(), mean.RealWallMs() / kPrescribedSleepMs,
      mean.RealWallMs() / (kPrescribedSleepMs + mean.LineMs()));
  std::printf(
      "flash through the boot loader (first erase to the last block acknowledged), on a 9600 Bd line:\n");
  for (int s = 0; s < 3; ++s)
    std::printf("  %s: %.0f ms (measured %.0f ms)\n", kSegments[s].name,
                mean.segmentMs[s] + mean.segmentRequestLineMs[s], mean.segmentMs[s]);
  std::printf(
      "  all three: %.0f ms for %llu bytes programmed = %.0f bytes/s (measured %.0f ms, %.0f bytes/s); "
      "over the whole write %.0f bytes/s\n",
      mean.RealFlashMs(), static_cast<unsigned long long>(mean.programmed),
      perSecond(static_cast<double>(mean.programmed), mean.RealFlashMs()), mean.flashMs,
      perSecond(static_cast<double>(mean.programmed), mean.flashMs),
      perSecond(static_cast<double>(mean.programmed), mean.RealWallMs()));
  for (std::size_t i = 0; i < runs.size(); ++i)
    std::printf(
        "  write %zu: %.0f ms on a 9600 Bd line (measured %.0f ms), flash %.0f ms, %llu bytes programmed\n",
        i + 1, runs[i].RealWallMs(), runs[i].wallMs, runs[i].RealFlashMs(),
        static_cast<unsigned long long>(runs[i].programmed));
  return 0;
}
