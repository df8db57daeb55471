// Time the main window's close takes to store its settings: every key the
// close writes, on a normal settings file and on one padded to 10 MB.
//
// "batched" is the program as built: the close writes go into one batch and
// replace the file once. "per key" writes the same keys one by one through
// the ini layer, one replace each, as the close did before batching (every
// value changes on every close here, so every key is a replace).
//
// Built from a tree without batching, the program prints only the "per key"
// figures of that tree's own close path (the old figure).
//
// Usage: bench_settings_close [rounds]   (default 5; TS_BENCH_SMOKE=1: 1)

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string_view>
#include <utility>
#include <vector>

#include "measurement/config.h"
#include "platform/ini_file.h"

namespace {

// The writes of the main window's close, with values that change with
// `round` so that every key is really written.
void CloseWrites(TConfig& c, int round) {
  c.WriteWindowRect({100 + round, 100, 1800, 900});
  c.WriteMenuPanel(50 + round);
  c.WriteGlowReadout2(60 + round);
  c.WriteSmoothCycles(1 + round);
  c.WriteSmartSmoothing(round % 2 == 0);
  TGraphProperties g;
  g.PenWidth = static_cast<std::uint8_t>(1 + round % 3);
  g.Color = static_cast<std::uint32_t>(round);
  g.ShowDigital = g.ShowDiagram = g.RangeDiagram = round % 2 == 0;
  c.WriteTObjGraph(g);
  c.WriteTIntGraph(g);
  c.WriteTBoxGraph(g);
  c.WriteTActGraph(g);
  c.WriteTQuotGraph(g);
  c.WriteTSingleGraph(g);
  c.WriteTauGraph(g);
  c.WriteEpsGraph(g);
  c.WritemVinGraph(g);
  c.WriteVccGraph(g);
  c.WriteAmbientGraph(g);
  c.WriteArgo1ms(round % 2 == 0);
  c.WriteInitialTime(10.0f + static_cast<float>(round));
  c.WriteScale(1 + round);
  c.WriteMinScale(static_cast<float>(round));
  c.WriteMaxScale(100.0f + static_cast<float>(round));
  c.WriteYRangeMin(-50.0f - static_cast<float>(round));
  c.WriteYRangeMax(3000.0f + static_cast<float>(round));
  TOptions o = c.ReadOptions();
  o.Flags ^= 0x1FFFFFu;
  o.ApplicationTitle_Title = QStringLiteral("Therma Sentinel %1").arg(round);
  c.WriteOptions(o);
  c.WriteArgoSerial(1000 + round);
  c.WriteRS845Addr(static_cast<std::uint8_t>(round));
  c.WriteDeviceType(static_cast<std::uint8_t>(round % 4));
  c.WriteTemperatureUnit(round % 2 == 0);
  c.WriteLanguageFile(QStringLiteral("English%1.lng").arg(round));
  c.WriteDisplayList({QStringLiteral("display %1").arg(round)});
  c.WriteInvisible(round % 2 == 0);
}

template <typename Config>
constexpr bool kHasBatches = requires(Config& c) {
  typename Config::Batch;
};

// A template, so that a tree without batches does not compile the batch.
template <typename Config>
double CloseMs(const QString& path, int round, bool batched) {
  QElapsedTimer t;
  t.start();
  Config c(path);
  if constexpr (kHasBatches<Config>) {
    if (batched) {
      typename Config::Batch batch(c);
      CloseWrites(c, round);
      return static_cast<double>(t.nsecsElapsed()) / 1e6;
    }
  }
  CloseWrites(c, round);
  return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

// The keys of the close, written one by one through the ini layer.
double PerKeyMs(const QString& path, int round) {
  // The keys and values the close stores, taken from a close into memory.
  QTemporaryDir scratch;
  const QString probe = scratch.filePath(QStringLiteral("probe.ini"));
  {
    TConfig c(probe);
    CloseWrites(c, round);
  }
  const IniFile source(probe);
  std::vector<QStringList> writes;
  for (const QString& section : source.ReadSections())
    for (const QString& key : source.ReadSection(section))
      writes.push_back({section, key, source.ReadString(section, key, QString())});
  QElapsedTimer t;
  t.start();
  IniFile ini(path);
  ini.EraseSection(QStringLiteral("GlowReadout"));
  for (const QStringList& w : writes) ini.WriteString(w[0], w[1], w[2]);
  return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::exit(1);
  f.write(bytes);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const bool smoke = qEnvironmentVariableIsSet("TS_BENCH_SMOKE");
  int rounds = smoke ? 1 : 5;
  if (argc > 1 && argv[1][0] != '-') rounds = std::max(1, std::atoi(argv[1]));

  // On the disk the program's settings live on (not a memory file system):
  // the file is synced on every replace.
  QTemporaryDir dir(QDir::current().filePath(QStringLiteral("bench_settings_close-XXXXXX")));
  const QString path = dir.filePath(QStringLiteral("ThermaSentinel.ini"));
  {
    TConfig c(path);
    c.NormaliseSettings();
  }
  QByteArray normal;
  {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return 1;
    normal = f.readAll();
  }
  // The same settings padded to 10 MB (1 MB in a smoke run) with a section
  // of other keys.
  const qsizetype largeSize = (smoke ? 1 : 10) * 1024 * 1024;
  QByteArray large = normal + "[Archive]\r\n";
  for (int i = 0; large.size() < largeSize; ++i)
    large += "Entry" + QByteArray::number(i) + "=" + QByteArray(40, 'x') + "\r\n";

  std::printf("settings close: %d rounds, file on %s\n", rounds, qPrintable(dir.path()));
  std::printf("%-8s %-10s %12s %12s\n", "file", "writes", "mean ms", "max ms");
  const char* largeName = smoke ? "1 MB" : "10 MB";
  for (const auto& [name, content] : {std::pair{"normal", normal}, std::pair{largeName, large}}) {
    struct Way {
      const char* name;
      bool available;
      std::function<double(int)> run;
    };
    const Way ways[] = {
        {"batched", kHasBatches<TConfig>, [&](int r) { return CloseMs<TConfig>(path, r, true); }},
        {"per key", true,
         [&](int r) { return kHasBatches<TConfig> ? PerKeyMs(path, r) : CloseMs<TConfig>(path, r, false); }},
    };
    double batchedMean = 0.0;
    for (const Way& way : ways) {
      if (!way.available) continue;
      WriteFile(path, content);
      double sum = 0.0, most = 0.0;
      for (int r = 0; r < rounds; ++r) {
        const double ms = way.run(r + 1);
        // The close really stored its values.
        if (TConfig(path).ReadMenuPanel() != 51 + r) {
          std::printf("%s %s: the settings were not stored\n", name, way.name);
          return 1;
        }
        sum += ms;
        most = std::max(most, ms);
      }
      const double mean = sum / rounds;
      std::printf("%-8s %-10s %12.1f %12.1f", name, way.name, mean, most);
      if (std::string_view(way.name) == "batched")
        batchedMean = mean;
      else if (batchedMean > 0.0)
        std::printf("   (%.1fx the batched time)", mean / batchedMean);
      std::printf("\n");
    }
  }
  return 0;
}
